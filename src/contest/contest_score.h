#pragma once
// The claimed score of a contest: points per QSO by the contest's rules, and the score table
// (`ContestScoreText`) built from the worked table (the QSOs per band) and the multiplier tally
// (the multipliers per band). The same text is shown in the Contest dialog and written into the
// summary sheet.
#include <cstdint>
#include <string>
#include <string_view>

#include "callinfo/country_table.h"
#include "callinfo/multiplier_tally.h"
#include "log/worked_table.h"

namespace vexa::contest {

// The call a worked-table key was packed from (characters other than letters, digits and '/'
// come back as '/').
std::string CallOfKey(uint64_t key);

// One side of a contact as the points rules see it.
struct ScoreStation {
  int country = -1;  // country number, -1 unknown
  std::string continent;
  int region = -1;
};
ScoreStation ScoreStationOf(callinfo::CountryTable& table, std::string_view call);

// Points of one QSO in contest `contest` on band `band` (0..8) with the single band `singleBand`
// (-1 all bands). `cw` tells the CW points from the phone points of "ARRL 10 METERS"; `call` is
// the other station's call. A station whose country is unknown counts as one of another country
// on the own continent.
int QsoPoints(int contest, const ScoreStation& mine, const ScoreStation& other,
              std::string_view call, int band, int singleBand, bool cw);

// The bands a contest's score table lists, in order.
bool ScoreUsesBand(int contest, int band);

// The score table of contest number `contest` (Part of the catalogue order) and single band
// `singleBand` (-1 all bands) for the operator `myCall`. "" for contest 11 and unknown numbers.
std::string ContestScoreText(int contest, int singleBand, const log::WorkedTable& worked,
                             const callinfo::MultiplierTally& tally, callinfo::CountryTable& table,
                             std::string_view myCall);

}  // namespace vexa::contest
