#pragma once
// What was worked where: per band and in total, one word of mode bits (1 CW, 2 phone, 4 RTTY,
// 8 SSTV/FAX, 16 PSK, 32 FSK, 64 AX25, 128 HELL) for every country, ITU zone, CQ zone, call-area
// region, US state, Canadian province and continent, plus the distinct WPX prefixes. Filled by
// every logged contact (`TallyContact`) and kept between runs in "qcty.dat".
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "callinfo/call_areas.h"
#include "callinfo/country_table.h"
#include "log/band_table.h"

namespace vexa::callinfo {

constexpr const char* kWorkedFileName = "qcty.dat";
constexpr int kCqZones = 40;
constexpr int kItuZones = 75;
constexpr int kContinents = 6;
constexpr int kTotalWord = log::kBandCount;  // index of the total word in BandWords

// One word per band 0..8 and the total (index 9, the OR over the bands).
using BandWords = std::array<uint32_t, log::kBandCount + 1>;

// Continent number for the continent table: "NA" 1, "SA" 2, "AS" 3, "OC" 4, "AF" 5, else 0.
int ContinentNumber(std::string_view continent);

// The WPX prefix of a call: DL1ABC -> DL1, 3DA0XY -> 3DA0, W1AW/4 -> W4, DL/W1AW -> DL0,
// RAEM -> RA0.
std::string WpxPrefix(std::string_view call);

// Flags of TallyContact and the index of the text kept with each.
enum TallyFlag : unsigned {
  kNewCountry = 0x01,
  kNewItuZone = 0x02,
  kNewCqZone = 0x04,
  kNewRegion = 0x08,
  kNewStateOrProvince = 0x10,
  kNewContinent = 0x20,
  kNewPrefix = 0x40,
};

struct TallyResult {
  unsigned flags = 0;
  // Text of each new item, indexed by the bit number of its flag: the primary prefix, the ITU
  // zone, the CQ zone ("%2i"), the region label, the state or province, the continent, the prefix.
  std::array<std::string, 7> texts;
};

// The contest the tally counts for: its name ("" = none) and the single band (-1 = all bands).
struct TallyContest {
  std::string name;
  int singleBand = -1;
};

class MultiplierTally {
 public:
  // Sizes the tables for a country table of `countries` entries and clears them.
  void Reset(int countries);

  // Enters one contact. `table` resolves the call (its last-lookup memory changes).
  TallyResult TallyContact(CountryTable& table, std::string_view call, int32_t frequencyHz,
                           std::string_view modeCode, std::string_view receivedExchange,
                           const TallyContest& contest = {});

  // "qcty.dat": one line per country with worked bits, "PREFIX w0 w1 ... w8" in hexadecimal.
  [[nodiscard]] int SaveWorkedFile(const std::string& path, const CountryTable& table) const;
  // Reads "qcty.dat" into the tables (ORs into what is there); a missing file is not an error.
  // Lines are expected in country order; a prefix the table does not know is skipped. Afterwards
  // the tables count as loaded. Returns the number of lines used.
  int LoadWorkedFile(const std::string& path, const CountryTable& table);
  int LoadWorkedText(std::string_view text, const CountryTable& table);

  bool loaded() const { return loaded_; }
  int countriesEver() const { return countriesEver_; }

  std::vector<BandWords> countries;
  std::array<BandWords, kItuZones> ituZones{};
  std::array<BandWords, kCqZones> cqZones{};
  std::array<BandWords, kRegionCount> regions{};
  std::array<BandWords, kStateSlots> states{};
  std::array<BandWords, kProvinceCount> provinces{};
  std::array<BandWords, kContinents> continents{};
  std::vector<std::string> prefixes;

 private:
  bool loaded_ = false;
  int countriesEver_ = 0;
};

// The statistics window text: a header, one line per band and a total line with countries (all
// modes, then CW, SSB, RTTY, PSK, SSTV), CQ zones, ITU zones and states plus provinces; then the
// QSO total when the log has been scanned (qsoTotal >= 0).
std::string StatisticsText(const MultiplierTally& tally, int qsoTotal);

// The "DXCC INFO" texts for an input (a call or prefix): one text per country that matches at
// the longest matching length. `tally` adds the band table when it is loaded.
std::vector<std::string> DxccInfoTexts(const CountryTable& table, const MultiplierTally* tally,
                                       std::string_view input, double myLat, double myLon);

}  // namespace vexa::callinfo
