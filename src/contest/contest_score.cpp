#include "contest/contest_score.h"

#include <cstdarg>
#include <cstdio>

#include "callinfo/call_areas.h"
#include "contest/contest_catalogue.h"
#include "log/band_table.h"
#include "log/qso_record.h"

namespace vexa::contest {
namespace {

std::string Fmt(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* fmt, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

constexpr uint16_t kCwClassBit = 1u << 0;
constexpr uint16_t kPhoneClassBit = 1u << 1;

template <typename Words>
int CountOnBand(const Words& words, int band) {
  int n = 0;
  for (const auto& w : words) n += w[static_cast<size_t>(band)] != 0;
  return n;
}

// QSOs, points and multipliers of one band.
struct BandSums {
  int qsos = 0, points = 0, countries = 0, regions = 0, zones = 0, statesProv = 0, continents = 0;
  int calls = 0;  // distinct calls (the ARRL 10 METERS total counts each call once)
};

}  // namespace

std::string CallOfKey(uint64_t key) {
  char text[12];
  for (int i = 11; i >= 0; --i) {
    const uint64_t d = key % 38u;
    key /= 38u;
    text[i] = d == 0   ? '\0'
              : d == 1 ? '/'
              : d < 12 ? static_cast<char>('0' + (d - 2))
                       : static_cast<char>('A' + (d - 12));
  }
  std::string out;
  for (char c : text) {
    if (c == '\0') break;
    out += c;
  }
  return out;
}

ScoreStation ScoreStationOf(callinfo::CountryTable& table, std::string_view call) {
  ScoreStation s;
  callinfo::CountryInfo info;
  s.country = table.LookupCountry(call, &info);
  if (s.country >= 0) {
    s.continent = info.continent;
    s.region = callinfo::RegionOf(call, info.primaryPrefix);
  }
  return s;
}

int QsoPoints(int contest, const ScoreStation& mine, const ScoreStation& other,
              std::string_view call, int band, int singleBand, bool cw) {
  const bool known = other.country >= 0;
  const bool sameCountry = known && other.country == mine.country;
  const bool sameContinent = !known || other.continent == mine.continent;
  switch (contest) {
    case kCccc:
      if (!sameContinent) return 15;
      if (!sameCountry) return 10;
      return mine.region >= 0 && other.region != mine.region ? 10 : 5;
    case kCqWwRtty:
      if (!sameContinent) return 3;
      return sameCountry ? 1 : 2;
    case kJarts:
      return sameContinent ? 2 : 3;
    case kCqWwSsb:
    case kCqWwCw:
      if (!sameContinent) return 3;
      if (sameCountry) return 0;
      return mine.continent == "NA" ? 2 : 1;
    case kArrl10: {
      if (!cw) return 2;
      const size_t slash = call.find('/', 1);
      const bool mobileOrNovice = slash != std::string_view::npos && slash + 1 < call.size() &&
                                  (call[slash + 1] == 'N' || call[slash + 1] == 'T');
      return mobileOrNovice ? 8 : 4;
    }
    case kWpxRtty: {
      if (singleBand >= 0 && band != singleBand) return 0;
      const int p = !sameContinent ? 3 : sameCountry ? 1 : 2;
      return band >= 0 && band <= 2 ? 2 * p : p;
    }
    case kArrlCw:
      return 0;
    case kUkrainian:
      return 2;
    default:
      return 1;
  }
}

bool ScoreUsesBand(int contest, int band) {
  if (band < 0 || band >= log::kBandCount || band == 3 || band == 5 || band == 7) return false;
  switch (contest) {
    case kUkrainian:
      return band == 0 || band == 1;
    case kArrl10:
      return band == 8;
    case kCccc:
    case kCqWwRtty:
    case kTara:
    case kBartgSprint:
    case kJarts:
    case kWae:
    case kArrlRoundup:
    case kWpxRtty:
      return band != 0;
    default:
      return true;
  }
}

std::string ContestScoreText(int n, int s, const log::WorkedTable& worked,
                             const callinfo::MultiplierTally& tally, callinfo::CountryTable& table,
                             std::string_view myCall) {
  if (n < 0 || n >= kContestCount || n == kArrlCw) return {};
  std::string out;
  switch (n) {
    case kCccc:
    case kTara:
      out = "\tQSOs\tPoints\tDxcc\tRegions\t Single Band Score\r\n";
      break;
    case kCqWwRtty:
      out = "\t QSOs\tPoints\t Dxcc\tSt/Prov\t   CQ\tSingle Band Score\r\n";
      break;
    case kBartgSprint:
    case kBartgSpring:
      out = "\tQSOs\tPoints\tDxcc\tRegions\tContinents\r\n";
      break;
    case kJarts:
      out = "\tQSOs\tPoints\tDxcc\tRegions\r\n";
      break;
    case kCqWwSsb:
    case kCqWwCw:
      out = "\t QSOs\tPoints\t Dxcc\t CQ\tSingle Band Score\r\n";
      break;
    case kWae:
      out = "\t QSOs\tPoints\tMults with Bonus\r\n";
      break;
    case kArrl10:
    case kArrlRoundup:
      out = "\t QSOs\tPoints\tDxcc\tStates/Prov.\r\n";
      break;
    case kWpxRtty:
      out = "\t QSOs\tPoints\tWPX\r\n";
      break;
    case kUkrainian:
      out = "\t QSOs\tPoints\t\r\n";
      break;
    default:
      break;
  }

  const ScoreStation mine = ScoreStationOf(table, myCall);
  // Each worked call is looked up once.
  std::vector<ScoreStation> others;
  std::vector<std::string> calls;
  others.reserve(worked.size());
  for (const auto& e : worked.entries()) {
    calls.push_back(CallOfKey(e.key));
    others.push_back(ScoreStationOf(table, calls.back()));
  }
  const int prefixes = static_cast<int>(tally.prefixes.size());

  BandSums total;
  BandSums single;
  int singleMetres = s >= 0 && s < log::kBandCount ? log::kBands[static_cast<size_t>(s)].metres : 0;
  for (int b = 0; b < log::kBandCount; ++b) {
    if (!ScoreUsesBand(n, b)) continue;
    BandSums sum;
    const auto& entries = worked.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
      const uint16_t w = entries[i].bands[static_cast<size_t>(b)];
      if (w == 0) continue;
      if (n == kArrl10) {
        if (w & (kCwClassBit | kPhoneClassBit)) ++sum.calls;
        if (w & kCwClassBit) {
          ++sum.qsos;
          sum.points += QsoPoints(n, mine, others[i], calls[i], b, s, true);
        }
        if (w & kPhoneClassBit) {
          ++sum.qsos;
          sum.points += QsoPoints(n, mine, others[i], calls[i], b, s, false);
        }
        continue;
      }
      ++sum.qsos;
      ++sum.calls;
      sum.points += QsoPoints(n, mine, others[i], calls[i], b, s, false);
    }
    sum.countries = CountOnBand(tally.countries, b);
    if (n == kWae) {
      const int weight = b == 1 ? 4 : b == 2 ? 3 : 2;
      sum.countries *= weight;
    }
    sum.regions = CountOnBand(tally.regions, b);
    sum.zones = CountOnBand(tally.cqZones, b);
    sum.statesProv = CountOnBand(tally.states, b) + CountOnBand(tally.provinces, b);
    sum.continents = CountOnBand(tally.continents, b);
    const int m = log::kBands[static_cast<size_t>(b)].metres;

    switch (n) {
      case kCccc:
      case kTara:
        out += Fmt("%3i\t%5i\t%5i\t%5i\t%5i\t%12i\r\n", m, sum.qsos, sum.points, sum.countries,
                   sum.regions, sum.points * (sum.countries + sum.regions));
        break;
      case kCqWwRtty:
        out += Fmt("%3i\t%5i\t%5i\t%5i\t%5i\t%5i\t%12i\r\n", m, sum.qsos, sum.points, sum.countries,
                   sum.statesProv, sum.zones,
                   sum.points * (sum.countries + sum.statesProv + sum.zones));
        break;
      case kBartgSprint:
        out += Fmt("%3i\t%5i\t%5i\r\n", m, sum.qsos, sum.points);
        break;
      case kJarts:
      case kBartgSpring:
        out +=
            Fmt("%3i\t%5i\t%5i\t%5i\t%5i\r\n", m, sum.qsos, sum.points, sum.countries, sum.regions);
        break;
      case kCqWwSsb:
      case kCqWwCw:
        out += Fmt("%3i\t%5i\t%5i\t%5i\t%5i\t%12i\r\n", m, sum.qsos, sum.points, sum.countries,
                   sum.zones, sum.points * (sum.countries + sum.zones));
        break;
      case kWae:
        out += Fmt("%3i\t%5i\t%5i\t%5i\r\n", m, sum.qsos, sum.points, sum.countries);
        break;
      case kArrl10:
      case kArrlRoundup:
        out += Fmt("%3i\t%5i\t%5i\t%5i\t%5i\r\n", m, sum.qsos, sum.points, sum.countries,
                   sum.statesProv);
        break;
      case kWpxRtty:
        if (b == s)
          out += Fmt("%3i\t%5i\t%5i\t%5i\r\n", m, sum.qsos, sum.points, prefixes);
        else
          out += Fmt("%3i\t%5i\t%5i\r\n", m, sum.qsos, sum.points);
        break;
      case kUkrainian:
        out += Fmt("%3i\t%5i\t??\r\n", m, sum.qsos);
        break;
      default:
        break;
    }
    if (b == s) single = sum;
    total.qsos += sum.qsos;
    total.calls += sum.calls;
    total.points += sum.points;
    total.countries += sum.countries;
    total.regions += sum.regions;
    total.zones += sum.zones;
    total.statesProv += sum.statesProv;
    total.continents += sum.continents;
  }

  // The claimed single-band score, printed under the totals.
  std::string singleLine;
  if (s >= 0) {
    switch (n) {
      case kCccc:
      case kTara:
        singleLine = Fmt("  Claimed   %3im   Score:\t%i*(%i+%i) = %i points\r\n", singleMetres,
                         single.points, single.countries, single.regions,
                         single.points * (single.countries + single.regions));
        break;
      case kCqWwRtty:
        singleLine = Fmt("  Claimed   %3im   Score:\t%i*(%i+%i+%i) = %i points\r\n", singleMetres,
                         single.points, single.countries, single.statesProv, single.zones,
                         single.points * (single.countries + single.statesProv + single.zones));
        break;
      case kCqWwSsb:
      case kCqWwCw:
        singleLine = Fmt("  Claimed   %3im   Score:\t%i*(%i+%i) = %i points\r\n", singleMetres,
                         single.points, single.countries, single.zones,
                         single.points * (single.countries + single.zones));
        break;
      case kWpxRtty:
        singleLine = Fmt("  Claimed   %3im   Score:\t%i*%i = %i points\r\n", singleMetres,
                         single.points, prefixes, single.points * prefixes);
        break;
      case kUkrainian:
        singleLine = Fmt("  Claimed   %3im   Score:", singleMetres);
        break;
      default:
        break;
    }
  }

  const int qsos = n == kArrl10 ? total.calls : total.qsos;
  switch (n) {
    case kCccc:
      out += Fmt("Total:\t%5i\t%5i\t%5i\t%5i\r\n\r\n", qsos, total.points, total.countries,
                 total.regions);
      out += Fmt("  Claimed All Band Score:\t%i*(%i+%i) = %i points\r\n", total.points,
                 total.countries, total.regions, total.points * (total.countries + total.regions));
      out += singleLine;
      break;
    case kCqWwRtty:
    case kCqWwSsb:
    case kCqWwCw:
      if (n == kCqWwRtty)
        out += Fmt("Total:\t%5i\t%5i\t%5i\t%5i\t%5i\r\n\r\n", qsos, total.points, total.countries,
                   total.statesProv, total.zones);
      else
        out += Fmt("Total:\t%5i\t%5i\t%5i\t%5i\r\n\r\n", qsos, total.points, total.countries,
                   total.zones);
      if (s < 0)
        out += Fmt("  Claimed All Band Score:\t%i*(%i+%i+%i) = %i points\r\n\r\n", total.points,
                   total.countries, total.statesProv, total.zones,
                   total.points * (total.countries + total.statesProv + total.zones));
      else
        out += singleLine;
      break;
    case kTara:
    case kJarts:
      out += Fmt("Total:\t%5i\t%5i\t%5i\t%5i\r\n\r\n", qsos, total.points, total.countries,
                 total.regions);
      out += Fmt("  Claimed Score:\t%i*(%i+%i) = %i points\r\n", total.points, total.countries,
                 total.regions, total.points * (total.countries + total.regions));
      break;
    case kBartgSprint:
    case kBartgSpring:
      out += Fmt("Total:\t%5i\t%5i\t%5i\t%5i\t%5i\r\n\r\n", qsos, total.points, total.countries,
                 total.regions, total.continents);
      out += Fmt("  Claimed Score:\t%i*(%i+%i)*%i = %i points\r\n", total.points, total.countries,
                 total.regions, total.continents,
                 total.points * (total.countries + total.regions) * total.continents);
      break;
    case kWae:
      out += "Total: ...to be calculated manually\r\n";
      break;
    case kArrl10:
    case kArrlRoundup:
      out += Fmt("Total:\t%5i\t%5i\t%5i\t%5i\r\n\r\n", qsos, total.points, total.countries,
                 total.statesProv);
      out += Fmt("  Claimed Score:\t%i*(%i+%i) = %i points\r\n", total.points, total.countries,
                 total.statesProv, total.points * (total.countries + total.statesProv));
      break;
    case kWpxRtty:
      if (s < 0) {
        out += Fmt("Total:\t%5i\t%5i\t%5i\r\n\r\n", qsos, total.points, prefixes);
        out += Fmt("  Claimed Score:\t%i*%i = %i points\r\n", total.points, prefixes,
                   total.points * prefixes);
      } else {
        out += singleLine + "\r\n";
      }
      break;
    case kUkrainian:
      if (s < 0)
        out += "Total:\r\n\r\n  Claimed Score:\r\n";
      else
        out += singleLine + "\r\n";
      break;
    default:
      break;
  }
  return out;
}

}  // namespace vexa::contest
