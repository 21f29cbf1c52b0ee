#pragma once
// The operator's side of the country database: loading it at start-up with a plain hint when
// it is missing, and the "DXCC INFO" window.
#include <string>
#include <string_view>

#include "callinfo/country_table.h"
#include "callinfo/multiplier_tally.h"
#include "platform/files/prompt.h"

namespace vexa::callinfo {

// Loads "cty.dat" from the working folder. When it is missing, says once how to get one (an
// information message, not an error: the program works without it). Returns the load result.
int LoadCountryFileWithHint(CountryTable& table, const std::string& workDir,
                            platform::Prompt& prompt);

// The word "DXCC INFO" looks up: the selected text of the entry box, else the first word of its
// current line, else what the operator types when asked "DXCC INFO" ("" when cancelled).
std::string CountryInfoInput(std::string_view selection, std::string_view currentLine,
                             platform::Prompt& prompt);

// Shows one "Beaming info" message per matching country. Returns the number shown.
int ShowCountryInfo(const CountryTable& table, const MultiplierTally* tally,
                    std::string_view selection, std::string_view currentLine, double myLat,
                    double myLon, platform::Prompt& prompt);

}  // namespace vexa::callinfo
