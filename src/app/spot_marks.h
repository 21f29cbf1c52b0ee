#pragma once
// What the spot window shows beside each spot: how it stands against the log (a new country, a
// country new on this band, a call already worked on this band), and the band and mode filter.
// The list is built from the ring's display lines, so its numbers are the ring's numbers.
#include <string>
#include <string_view>
#include <vector>

#include "callinfo/country_table.h"
#include "callinfo/multiplier_tally.h"
#include "log/worked_table.h"
#include "spots/spot_record.h"

namespace vexa::app {

enum class SpotMark {
  Unknown,         // the country file does not know the call
  NewCountry,      // the country was never worked
  NewBandCountry,  // the country was worked, but not on the spot's band
  WorkedOnBand,    // this call was already worked on this band
  Worked,          // the country is worked on this band; the call is not
};

// The mode family of a spot: from a word of its remark ("CW"; "FT8", "RTTY", "PSK31" and the
// other digital modes; "SSB", "USB", "LSB", "AM", "FM"), else from the band segment of its
// frequency; a log::BandSegment, or -1 outside the bands.
int SpotSegment(const spots::SpotRecord& spot);

// -1 in a field lets every spot through.
struct SpotFilter {
  int band = -1;     // band index 0..8 (log::BandOf)
  int segment = -1;  // a log::BandSegment
  bool Passes(const spots::SpotRecord& spot) const;
};

// The tables the marks come from (the logbook section's; the country table keeps the memory of
// its last lookup, hence not const).
struct SpotMarkTables {
  callinfo::CountryTable* countries = nullptr;
  const callinfo::MultiplierTally* tally = nullptr;
  const log::WorkedTable* worked = nullptr;
};

SpotMark MarkSpot(const spots::SpotRecord& spot, const SpotMarkTables& tables);

struct SpotListEntry {
  int number = 0;    // the ring's display number, from 1
  std::string line;  // as displayed
  spots::SpotRecord record;
  SpotMark mark = SpotMark::Unknown;
};

// The entries of `lines` (SpotsSection::DisplayLines) that pass the filter, marked.
std::vector<SpotListEntry> BuildSpotList(const std::vector<std::string>& lines,
                                         const SpotMarkTables& tables, const SpotFilter& filter);

}  // namespace vexa::app
