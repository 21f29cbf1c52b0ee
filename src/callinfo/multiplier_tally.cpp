#include "callinfo/multiplier_tally.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "callinfo/beam.h"
#include "log/log_file.h"
#include "log/qso_record.h"

namespace vexa::callinfo {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsWpxSuffix(std::string_view r) {
  for (std::string_view s : {"QRP", "MM", "AM", "P", "M", "A", "AE", "AA", "E", "AG", "G", "T"})
    if (r == s) return true;
  return false;
}

// Sets `bit` in the band word and the total; true when the band word lacked it.
bool Mark(BandWords& w, int band, uint32_t bit) {
  const bool isNew = (w[static_cast<size_t>(band)] & bit) == 0;
  w[static_cast<size_t>(band)] |= bit;
  w[kTotalWord] |= bit;
  return isNew;
}

int CountBand(const BandWords* words, size_t n, size_t band, uint32_t mask) {
  int count = 0;
  for (size_t i = 0; i < n; ++i) count += (words[i][band] & mask) != 0;
  return count;
}

std::string Int(const char* fmt, int v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

}  // namespace

int ContinentNumber(std::string_view c) {
  if (c == "NA") return 1;
  if (c == "SA") return 2;
  if (c == "AS") return 3;
  if (c == "OC") return 4;
  if (c == "AF") return 5;
  return 0;
}

std::string WpxPrefix(std::string_view call) {
  if (call.empty()) return {};
  const size_t slash = call.find('/');
  if (slash != std::string_view::npos) {
    const std::string_view l = call.substr(0, slash);
    const std::string_view r = call.substr(slash + 1);
    if (IsWpxSuffix(r)) return WpxPrefix(l);
    if (r.size() == 1 && IsDigit(r[0])) {
      std::string p = WpxPrefix(l);
      if (p.size() < 2) return {};
      p.back() = r[0];
      return p;
    }
    return WpxPrefix(r.size() < l.size() ? r : l);
  }
  size_t i = 0;
  if (IsDigit(call[0])) ++i;
  while (i < call.size() && IsLetter(call[i])) ++i;
  if (i == call.size() && !IsDigit(call[0])) {
    std::string p(call.substr(0, std::min<size_t>(2, call.size())));
    p += '0';
    return p;
  }
  size_t j = i;
  while (j < call.size() && IsDigit(call[j])) ++j;
  return std::string(call.substr(0, j));
}

void MultiplierTally::Reset(int countryCount) {
  countries.assign(static_cast<size_t>(std::max(countryCount, 0)), BandWords{});
  ituZones = {};
  cqZones = {};
  regions = {};
  states = {};
  provinces = {};
  continents = {};
  prefixes.clear();
  loaded_ = false;
  countriesEver_ = 0;
}

TallyResult MultiplierTally::TallyContact(CountryTable& table, std::string_view call,
                                          int32_t frequencyHz, std::string_view modeCode,
                                          std::string_view exchange, const TallyContest& contest) {
  TallyResult res;
  CountryInfo info;
  const int country = table.LookupCountry(call, &info);
  const std::string& prefix = info.primaryPrefix;
  const std::string& name = contest.name;

  std::string zoneText, stateText;
  if (!name.empty() && !exchange.empty()) {
    const size_t dash = exchange.find('-');
    if (dash != std::string_view::npos) {
      zoneText = exchange.substr(0, dash);
      stateText = exchange.substr(dash + 1);
    } else if (name == "ARRL 10 METERS" || name == "ARRL RTTY Roundup Contest") {
      stateText = exchange;
      zoneText = exchange;
    } else {
      zoneText = exchange;  // "CQ WW DX SSB", "CQ WW DX CW" and every other contest
    }
  }
  const int stateIndex = country >= 0 && prefix == "K" ? StateIndex(stateText) : -1;
  const int provinceIndex = country >= 0 && prefix == "VE" ? ProvinceIndex(stateText) : -1;
  const int region = country >= 0 ? RegionOf(call, prefix) : -1;
  int band = log::BandOf(frequencyHz);

  if (name == "WPX RTTY" && (contest.singleBand < 0 || band == contest.singleBand)) {
    std::string p = WpxPrefix(call);
    if (!p.empty() && std::find(prefixes.begin(), prefixes.end(), p) == prefixes.end()) {
      prefixes.push_back(p);
      res.flags |= kNewPrefix;
      res.texts[6] = p;
    }
  }
  if (country < 0 || band < 0 || static_cast<size_t>(country) >= countries.size()) return res;
  if (name == "BARTG RTTY Sprint" || name == "ARRL RTTY Roundup Contest") band = 1;

  uint32_t bit = log::ModeBit(modeCode);
  if (bit == 0) return res;
  if (name == "ARRL RTTY Roundup Contest") bit = 4;

  if (stateIndex >= 0) {
    if (Mark(states[static_cast<size_t>(stateIndex)], band, bit)) {
      res.flags |= kNewStateOrProvince;
      res.texts[4] = StateName(stateIndex);
    }
  } else if (provinceIndex >= 0) {
    if (Mark(provinces[static_cast<size_t>(provinceIndex)], band, bit)) {
      res.flags |= kNewStateOrProvince;
      res.texts[4] = ProvinceName(provinceIndex);
    }
  }
  if (region >= 0 && Mark(regions[static_cast<size_t>(region)], band, bit)) {
    res.flags |= kNewRegion;
    res.texts[3] = RegionLabel(region, prefix);
  }
  const bool countsByArea =
      (name == "ARRL RTTY Roundup Contest" && (prefix == "K" || prefix == "VE")) ||
      (name == "JARTS RTTY" &&
       (prefix == "VE" || prefix == "JA" || prefix == "K" || prefix == "VK"));
  BandWords& cw = countries[static_cast<size_t>(country)];
  const bool neverBefore = cw[kTotalWord] == 0;
  if (!countsByArea && Mark(cw, band, bit)) {
    res.flags |= kNewCountry;
    res.texts[0] = prefix;
  }
  if (neverBefore && cw[kTotalWord] != 0) ++countriesEver_;
  if (info.ituZone >= 1 && info.ituZone <= kItuZones &&
      Mark(ituZones[static_cast<size_t>(info.ituZone - 1)], band, bit)) {
    res.flags |= kNewItuZone;
    res.texts[1] = Int("%i", info.ituZone);
  }
  const long received = std::strtol(std::string(zoneText).c_str(), nullptr, 10);
  const int cq = received >= 1 && received <= kCqZones ? static_cast<int>(received) : info.cqZone;
  if (cq >= 1 && cq <= kCqZones && Mark(cqZones[static_cast<size_t>(cq - 1)], band, bit)) {
    res.flags |= kNewCqZone;
    res.texts[2] = Int("%2i", cq);
  }
  const int continentBand = name == "BARTG SPRING RTTY" ? 0 : band;
  if (Mark(continents[static_cast<size_t>(ContinentNumber(info.continent))], continentBand, bit)) {
    res.flags |= kNewContinent;
    res.texts[5] = info.continent;
  }
  return res;
}

int MultiplierTally::SaveWorkedFile(const std::string& path, const CountryTable& table) const {
  std::string out;
  for (size_t i = 0; i < countries.size() && static_cast<int>(i) < table.size(); ++i) {
    const BandWords& w = countries[i];
    if (w[kTotalWord] == 0) continue;
    CountryInfo f;
    if (table.CountryFields(static_cast<int>(i), &f) < 0) continue;
    out += f.primaryPrefix;
    for (int b = 0; b < log::kBandCount; ++b) {
      char buf[16];
      std::snprintf(buf, sizeof buf, " %x", static_cast<unsigned>(w[static_cast<size_t>(b)]));
      out += buf;
    }
    out += '\n';
  }
  return log::WriteFileAtomic(path, out);
}

int MultiplierTally::LoadWorkedFile(const std::string& path, const CountryTable& table) {
  std::string bytes;
  if (log::ReadLogBytes(path, bytes) != log::kLogOk) {
    loaded_ = true;
    return 0;
  }
  return LoadWorkedText(bytes, table);
}

int MultiplierTally::LoadWorkedText(std::string_view text, const CountryTable& table) {
  if (countries.size() < static_cast<size_t>(table.size()))
    countries.resize(static_cast<size_t>(table.size()), BandWords{});
  int used = 0;
  int next = 0;  // the file is in country order: search on from the last match
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(pos, eol - pos);
    pos = eol + 1;
    const size_t blank = line.find(' ', 1);
    if (line.empty() || blank == std::string_view::npos) continue;
    const std::string_view prefix = line.substr(0, blank);
    int country = table.FindPrimaryPrefix(prefix, next);
    // An unknown prefix (a country the current file no longer has) must not cost the lines
    // after it: search the rest of the table from the start.
    if (country < 0) country = table.FindPrimaryPrefix(prefix, 0);
    if (country < 0) continue;
    next = country + 1;
    CountryInfo f;
    table.CountryFields(country, &f);
    BandWords& w = countries[static_cast<size_t>(country)];
    const bool neverBefore = w[kTotalWord] == 0;
    uint32_t total = 0;
    std::string_view rest = line.substr(blank);
    for (int b = 0; b < log::kBandCount; ++b) {
      while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
      size_t n = 0;
      uint32_t v = 0;
      while (n < rest.size() && n < 8 && std::isxdigit(static_cast<unsigned char>(rest[n]))) {
        const char c = rest[n];
        v = v * 16u + static_cast<uint32_t>(IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
        ++n;
      }
      if (n == 0) break;
      rest.remove_prefix(n);
      w[static_cast<size_t>(b)] |= v;
      total |= v;
      if (f.cqZone >= 1 && f.cqZone <= kCqZones)
        cqZones[static_cast<size_t>(f.cqZone - 1)][static_cast<size_t>(b)] |= v;
      if (f.ituZone >= 1 && f.ituZone <= kItuZones)
        ituZones[static_cast<size_t>(f.ituZone - 1)][static_cast<size_t>(b)] |= v;
    }
    w[kTotalWord] |= total;
    if (f.cqZone >= 1 && f.cqZone <= kCqZones)
      cqZones[static_cast<size_t>(f.cqZone - 1)][kTotalWord] |= total;
    if (f.ituZone >= 1 && f.ituZone <= kItuZones)
      ituZones[static_cast<size_t>(f.ituZone - 1)][kTotalWord] |= total;
    if (neverBefore && w[kTotalWord] != 0) ++countriesEver_;
    ++used;
  }
  loaded_ = true;
  return used;
}

std::string StatisticsText(const MultiplierTally& t, int qsoTotal) {
  std::string s = "\r\nBand\ttotal\tcw\tssb\trtty\tpsk31\tsstv\twaz\titu\twas\r\n";
  auto line = [&t](size_t b, char* buf, size_t size, const char* head, double mhz) {
    const BandWords* c = t.countries.data();
    const size_t n = t.countries.size();
    const int states = CountBand(t.states.data(), t.states.size(), b, ~0u) +
                       CountBand(t.provinces.data(), t.provinces.size(), b, ~0u);
    if (head) {
      std::snprintf(buf, size, "%s\t%3i\t%3i\t%3i\t%3i\t%3i\t%3i\t%3i\t%3i\t%3i\r\n", head,
                    CountBand(c, n, b, ~0u), CountBand(c, n, b, 1), CountBand(c, n, b, 2),
                    CountBand(c, n, b, 4), CountBand(c, n, b, 16), CountBand(c, n, b, 8),
                    CountBand(t.cqZones.data(), t.cqZones.size(), b, ~0u),
                    CountBand(t.ituZones.data(), t.ituZones.size(), b, ~0u), states);
    } else {
      std::snprintf(buf, size, "%5.1f:\t%3i\t%3i\t%3i\t%3i\t%3i\t%3i\t%3i\t%3i\t%3i\r\n", mhz,
                    CountBand(c, n, b, ~0u), CountBand(c, n, b, 1), CountBand(c, n, b, 2),
                    CountBand(c, n, b, 4), CountBand(c, n, b, 16), CountBand(c, n, b, 8),
                    CountBand(t.cqZones.data(), t.cqZones.size(), b, ~0u),
                    CountBand(t.ituZones.data(), t.ituZones.size(), b, ~0u), states);
    }
  };
  char buf[256];
  for (size_t b = 0; b < log::kBandCount; ++b) {
    line(b, buf, sizeof buf, nullptr, log::kBands[b].lowKHz * 0.001);
    s += buf;
  }
  line(kTotalWord, buf, sizeof buf, "TOTAL:", 0);
  s += buf;
  if (qsoTotal >= 0) {
    std::snprintf(buf, sizeof buf, "\r\nQSOs total: %i\r\n", qsoTotal);
    s += buf;
  }
  return s;
}

std::vector<std::string> DxccInfoTexts(const CountryTable& table, const MultiplierTally* tally,
                                       std::string_view input, double myLat, double myLon) {
  std::vector<std::string> texts;
  const std::string upper = log::ToUpper(input);
  std::string t = "," + upper;
  while (t.size() > 1 && texts.empty()) {
    for (int i = 0; i < table.size(); ++i) {
      const std::string& list = table.PrefixList(i);
      CountryInfo f;
      table.CountryFields(i, &f);
      size_t at;
      if (list.find(t + ",") != std::string::npos) {
        // header zones
      } else if ((at = list.find(t + "(")) != std::string::npos) {
        const size_t open = at + t.size();
        const size_t close = list.find(')', open);
        if (close != std::string::npos) {
          f.cqZone = std::atoi(list.substr(open + 1, close - open - 1).c_str());
          if (close + 1 < list.size() && list[close + 1] == '[') {
            const size_t end = list.find(']', close + 1);
            if (end != std::string::npos)
              f.ituZone = std::atoi(list.substr(close + 2, end - close - 2).c_str());
          }
        }
      } else if ((at = list.find(t + "[")) != std::string::npos) {
        const size_t open = at + t.size();
        const size_t end = list.find(']', open);
        if (end != std::string::npos)
          f.ituZone = std::atoi(list.substr(open + 1, end - open - 1).c_str());
      } else {
        continue;
      }
      std::string m = upper + ":\r\n" + f.name + " (" + f.primaryPrefix + ")\r\n" + f.continent +
                      "\r\nWAZ " + std::to_string(f.cqZone) + "\r\nITU " +
                      std::to_string(f.ituZone) + "\r\n" +
                      BeamText(myLat, myLon, f.latitude, f.longitude, kBeamFull);
      if (tally && tally->loaded() && static_cast<size_t>(i) < tally->countries.size()) {
        m += "\r\n\r\nBand:\t cw/ssb/rtty/sstv/psk\r\n";
        const BandWords& w = tally->countries[static_cast<size_t>(i)];
        for (size_t b = 0; b < log::kBandCount; ++b) {
          char buf[96];
          std::snprintf(buf, sizeof buf, "%5.1f:\t %2i/%3i/%4i/%4i/%4i\r\n",
                        log::kBands[b].lowKHz * 0.001, (w[b] & 1) ? 1 : 0, (w[b] & 2) ? 1 : 0,
                        (w[b] & 4) ? 1 : 0, (w[b] & 8) ? 1 : 0, (w[b] & 16) ? 1 : 0);
          m += buf;
        }
      }
      texts.push_back(std::move(m));
    }
    t.pop_back();
  }
  return texts;
}

}  // namespace vexa::callinfo
