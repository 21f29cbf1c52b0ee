#include "app/spot_marks.h"

#include <array>

#include "log/band_table.h"

namespace vexa::app {
namespace {

struct ModeWord {
  const char* word;
  int segment;
};

constexpr std::array<ModeWord, 20> kModeWords{{
    {"CW", log::kSegmentCw},          {"SSB", log::kSegmentPhone},
    {"USB", log::kSegmentPhone},      {"LSB", log::kSegmentPhone},
    {"AM", log::kSegmentPhone},       {"FM", log::kSegmentPhone},
    {"FT8", log::kSegmentDigital},    {"FT4", log::kSegmentDigital},
    {"RTTY", log::kSegmentDigital},   {"PSK", log::kSegmentDigital},
    {"PSK31", log::kSegmentDigital},  {"BPSK", log::kSegmentDigital},
    {"QPSK", log::kSegmentDigital},   {"JT65", log::kSegmentDigital},
    {"JT9", log::kSegmentDigital},    {"MFSK", log::kSegmentDigital},
    {"OLIVIA", log::kSegmentDigital}, {"HELL", log::kSegmentDigital},
    {"PACTOR", log::kSegmentDigital}, {"DIGI", log::kSegmentDigital},
}};

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != b[i]) return false;
  }
  return true;
}

}  // namespace

int SpotSegment(const spots::SpotRecord& spot) {
  std::string_view rest = spot.comment;
  while (!rest.empty()) {
    size_t start = 0;
    while (start < rest.size() && !spots::IsCallsignChar(rest[start])) ++start;
    size_t end = start;
    while (end < rest.size() && spots::IsCallsignChar(rest[end])) ++end;
    const std::string_view word = rest.substr(start, end - start);
    for (const ModeWord& m : kModeWords)
      if (SameWord(word, m.word)) return m.segment;
    rest.remove_prefix(end);
  }
  int segment = -1;
  if (log::BandOf(spot.frequency, &segment) < 0) return -1;
  return segment;
}

bool SpotFilter::Passes(const spots::SpotRecord& spot) const {
  if (band >= 0 && log::BandOf(spot.frequency) != band) return false;
  if (segment >= 0 && SpotSegment(spot) != segment) return false;
  return true;
}

SpotMark MarkSpot(const spots::SpotRecord& spot, const SpotMarkTables& t) {
  if (t.countries == nullptr || t.countries->size() == 0) return SpotMark::Unknown;
  const int country = t.countries->LookupCountry(spot.dxCall);
  if (country < 0) return SpotMark::Unknown;
  const int band = log::BandOf(spot.frequency);
  if (t.tally != nullptr && static_cast<size_t>(country) < t.tally->countries.size()) {
    const callinfo::BandWords& words = t.tally->countries[static_cast<size_t>(country)];
    if (words[callinfo::kTotalWord] == 0) return SpotMark::NewCountry;
    if (band >= 0 && words[static_cast<size_t>(band)] == 0) return SpotMark::NewBandCountry;
  }
  if (t.worked != nullptr && band >= 0) {
    if (const log::WorkedTable::Entry* e = t.worked->Find(spot.dxCall);
        e != nullptr && e->bands[static_cast<size_t>(band)] != 0)
      return SpotMark::WorkedOnBand;
  }
  return SpotMark::Worked;
}

std::vector<SpotListEntry> BuildSpotList(const std::vector<std::string>& lines,
                                         const SpotMarkTables& tables, const SpotFilter& filter) {
  std::vector<SpotListEntry> list;
  int number = 0;
  for (const std::string& line : lines) {
    ++number;
    SpotListEntry e;
    if (!e.record.parseSpotLine(line)) continue;  // a stored line always parses; kept safe
    if (!filter.Passes(e.record)) continue;
    e.number = number;
    e.line = line;
    e.mark = MarkSpot(e.record, tables);
    list.push_back(std::move(e));
  }
  return list;
}

}  // namespace vexa::app
