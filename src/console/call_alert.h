#pragma once
// The alert line of the call analysis: built from what the worked table, the country tables and
// the last contact with the call say, each time the call in the entry box changes.
#include <cstdint>
#include <string>

namespace vexa::console {

// Results of the worked table for the call.
enum WorkedResult : int {
  kCallUnknown = 0,      // never worked
  kWorkedHere = 1,       // worked on this band in this mode class: a duplicate
  kWorkedElsewhere = 2,  // worked, but not on this band in this class
};

struct CallAlertInput {
  int worked = kCallUnknown;
  int modeClass = 0;  // 0..9
  // The last contact with the call (UTC seconds), when known.
  bool lastQsoKnown = false;
  int64_t lastQsoUtc = 0;
  int64_t nowUtc = 0;
  // In a contest, the call's region and whether its word for this band has the class bit.
  bool contest = false;
  bool hasRegion = false;
  bool regionWorked = false;
  // The country: known, its name, its total word, and its word for this band.
  bool countryKnown = false;
  std::string countryName;
  uint32_t countryTotal = 0;
  uint32_t countryBand = 0;
  // "K" and "VE" stations in the ARRL RTTY Roundup are no country alert.
  bool noCountryAlert = false;
};

// The country-table bit of a mode class: 1 << class for 0..6, 128 for PACTOR, HELL and MTTY.
uint32_t CountryModeBit(int modeClass);
// " New DXCC CW : " and the other labels of the classes 0..9 ("" outside).
const char* NewCountryLabel(int modeClass);
// The alert text. localDate formats a date in the user's own form (the "QSO BEFORE" of a contact
// a day or more ago).
std::string CallAlertText(const CallAlertInput& in, std::string (*localDate)(int64_t utc));
// The user's own date form of a moment, in local time ("%x" in the user's locale).
std::string LocalDateText(int64_t utc);

}  // namespace vexa::console
