#pragma once
// The country database read from "cty.dat": for every country entry its header (name, zones,
// continent, position, primary prefix) and its prefix list, and the lookup of a callsign.
//
// File layout: a header line "Name: cq: itu: cont: lat: lon(west +): utc: prefix:" followed by
// indented lines of prefixes separated by ',' and ended by ';'. A prefix may carry overrides:
// (cq zone), [itu zone], <lat/lon>, {continent}, ~utc offset~. "=CALL" entries match only the
// whole call and win over every prefix. A call matches the longest prefix; among entries with
// the same prefix the first in the file wins.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vexa::callinfo {

constexpr const char* kCountryFileName = "cty.dat";

struct CountryInfo {
  int index = -1;             // country number (entry order in the file)
  std::string primaryPrefix;  // as the file gives it ("DL", "3D2/c", "*TA1")
  std::string name;
  std::string continent;  // "NA", "SA", "EU", "AF", "AS", "OC"
  int cqZone = 0;
  int ituZone = 0;
  double latitude = 0;   // degrees, north positive
  double longitude = 0;  // degrees, east positive
  std::string beamText;  // short-path bearing from the station (when a station is set)
};

enum CountryLoadError : int {
  kCountryOk = 0,
  kCountryFileMissing = 1,  // no such file: the table stays empty and lookups give -1
  kCountryNoEntries = 2,    // the file holds no usable entry
};

struct CountryLoadStats {
  int entries = 0;         // entries stored
  int badHeaders = 0;      // header lines that were not eight ':'-separated fields
  int droppedEntries = 0;  // entries without prefixes, or under a bad header
  int exactCalls = 0;      // "=CALL" entries
};

class CountryTable {
 public:
  // Reads a country file, replacing the table. A missing file leaves the table empty.
  [[nodiscard]] int LoadCountryFile(const std::string& path);
  // Same, from the file's text. Returns kCountryOk or kCountryNoEntries.
  [[nodiscard]] int LoadText(std::string_view text);
  const CountryLoadStats& loadStats() const { return stats_; }

  int size() const { return static_cast<int>(entries_.size()); }
  bool empty() const { return entries_.empty(); }
  const std::string& Header(int index) const {
    return entries_.at(static_cast<size_t>(index)).header;
  }
  // ",P1,P2,...,Pn," with the overrides attached.
  const std::string& PrefixList(int index) const {
    return entries_.at(static_cast<size_t>(index)).prefixes;
  }

  // Country of a callsign (any case, with portable designators), or -1. Fills `out` when given.
  // Remembers the CQ zone and primary prefix of the latest successful lookup.
  int LookupCountry(std::string_view call, CountryInfo* out = nullptr);
  // The header fields of entry `index`; returns index, or -1 when out of range.
  int CountryFields(int index, CountryInfo* out) const;
  // Index of the entry with this primary prefix at or after `from`, or -1.
  int FindPrimaryPrefix(std::string_view prefix, int from = 0) const;

  // The station position for the bearing text of lookups (degrees, north and east positive).
  void SetStationPosition(double lat, double lon) {
    myLat_ = lat;
    myLon_ = lon;
    haveStation_ = true;
  }
  bool haveStation() const { return haveStation_; }

  int lastCqZone() const { return lastCqZone_; }
  const std::string& lastPrimaryPrefix() const { return lastPrefix_; }

  // The call as the prefix search sees it after the portable designators are resolved:
  // W1AW/P -> W1AW, W1AW/4 -> W4AW, DL/W1AW -> DL, W1AW/VE3 -> VE3 (upper case).
  static std::string ReduceCall(std::string_view call);

 private:
  struct Entry {
    std::string header;
    std::string prefixes;
    CountryInfo fields;  // parsed header
  };
  // One prefix or exact call of an entry, with its overrides.
  struct Hit {
    int country = -1;
    int rank =
        0;  // 0 plain, 1 "(", 2 "[", 3 other overrides: a plainer token of the same entry wins
    int cqZone = 0, ituZone = 0;  // 0 = from the header
    std::string continent;
    bool havePosition = false;
    double latitude = 0, longitude = 0;  // east positive
  };

  void StoreEntry(std::string header, std::string prefixes);
  void IndexToken(int country, std::string_view token);
  void Fill(const Hit& hit, std::string_view callAsGiven, CountryInfo* out);

  std::vector<Entry> entries_;
  std::unordered_map<std::string, Hit> prefixIndex_;
  std::unordered_map<std::string, Hit> exactIndex_;
  CountryLoadStats stats_;
  double myLat_ = 0, myLon_ = 0;
  bool haveStation_ = false;
  int lastCqZone_ = 0;
  std::string lastPrefix_;
};

// Parses a header line into `out` (index untouched). False when it has fewer than eight fields.
bool ParseCountryHeader(std::string_view header, CountryInfo& out);

}  // namespace vexa::callinfo
