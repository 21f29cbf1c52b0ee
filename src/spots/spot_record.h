#pragma once
// One DX-cluster spot reduced to its fields, recognised in a line of text and written back as
// the program's own fixed-layout spot line. Pure functions over text: no I/O, no allocation
// beyond the fields themselves.
#include <cstdint>
#include <string>
#include <string_view>

namespace vexa::spots {

// Longest spot line the ring stores (its slots hold this many characters and a terminator).
constexpr size_t kSpotLineChars = 83;

// Digits, the ASCII letters and "/": the characters of a callsign field.
constexpr bool IsCallsignChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '/';
}

// Time of day of a spot. The date is always 1 January 2000 and the seconds 0, so only the hour
// and minute are kept; two spots at the same hour and minute on different days compare alike.
struct SpotTime {
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  friend bool operator==(const SpotTime&, const SpotTime&) = default;
};

struct SpotRecord {
  std::string comment;    // the spot's remark, trailing white space removed
  std::string dxCall;     // the spotted station
  std::string spotter;    // the station that sent the spot
  int32_t frequency = 0;  // radio frequency in Hz, resolution 100 Hz
  SpotTime time;

  // Recognises a spot in `line` by the four layouts (the program's own line, the long format,
  // and the long and short "DX de" lines) tried in that order, and fills the record from the
  // first that matches. False when none matches; the record is then unspecified. The line is
  // text: it ends at its first NUL byte.
  bool parseSpotLine(std::string_view line);

  // The fixed-layout spot line: spotter, frequency in kHz with one decimal, HHMM, DX call and
  // comment, cut to kSpotLineChars characters. Layout A of parseSpotLine reads it back.
  std::string formatSpotLine() const;

  friend bool operator==(const SpotRecord&, const SpotRecord&) = default;
};

}  // namespace vexa::spots
