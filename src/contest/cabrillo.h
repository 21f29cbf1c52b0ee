#pragma once
// The Cabrillo 3.0 log of a contest, the form contest robots accept: the header tags from the
// chosen contest, category and personal data, the claimed score of the report pass, and one
// "QSO:" line per contact of the contest in the fixed columns of the common template:
//
//   QSO: freq  mo date       time call-sent     rst exch   call-rcvd     rst exch   t
//   QSO: 14085 RY 2000-09-26 0010 DL1ABC        599 14     K1AR          599 05 MA
//
// (frequency in kHz right-aligned in 5 columns, mode CW/PH/FM/RY/DG, the sent and received
// exchange six columns each; exchanges of two parts, "05-MA", are written as "05 MA").
// Duplicates are listed like every other contact: the robots mark them themselves.
#include <string>
#include <string_view>

#include "callinfo/country_table.h"
#include "contest/contest_report.h"
#include "log/adif3.h"
#include "platform/files/prompt.h"

namespace vexa::contest {

// The name robots and ADIF know a contest by ("CQ-WW-RTTY"), and back; "" when none.
std::string RobotContestName(std::string_view contestName);
std::string ContestNameOfRobotName(std::string_view robotName);
// The mapping for the ADIF 3 export and import.
log::ContestIds AdifContestIds();

// Cabrillo mode of a stored mode code: "CW", "PH", "FM", "RY" or "DG".
std::string CabrilloMode(std::string_view modeCode);

// The CATEGORY-* lines of a category text of the contest, each ending "\r\n".
std::string CabrilloCategoryLines(std::string_view contestName, std::string_view category,
                                  int singleBand);

// The claimed score at the end of a score text ("... = 210 points"), 0 when it has none.
long ClaimedScore(std::string_view scoreText);

// The whole Cabrillo text of the contest's records in the log bytes (CR LF line ends).
std::string BuildCabrillo(std::string_view logBytes, const ReportSetup& setup,
                          callinfo::CountryTable& table, platform::Prompt& prompt);

// "<call>.cbr" (the report's base name) in `workDir` from its "log.log". A ReportError.
[[nodiscard]] int ExportCabrillo(const std::string& workDir, const ReportSetup& setup,
                                 callinfo::CountryTable& table, platform::Prompt& prompt,
                                 std::string* fileName = nullptr);

}  // namespace vexa::contest
