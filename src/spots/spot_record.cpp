#include "spots/spot_record.h"

#include <array>
#include <cstdio>

namespace vexa::spots {
namespace {

constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
constexpr bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// One line layout: every column test that must hold, and where the fields are. Columns are
// zero-based character positions; -1 ends a list.
struct Layout {
  size_t longerThan;                // the line must be longer than this
  std::array<int, 4> spaces;        // columns that must hold a space
  const char* prefix;               // the line starts with this ("" when it need not)
  int zColumn;                      // column that must hold 'Z' (-1: none)
  std::array<int, 4> letters;       // columns that must hold a letter
  std::array<int, 4> callChars;     // columns that must hold a callsign character
  int tenthsColumn;                 // the frequency's tenths digit; the point stands left of it
  int timeColumn;                   // first of the four HHMM digits
  int spotterColumn, dxCallColumn;  // where the two callsign fields start
  int commentFirst, commentLast;    // comment columns; commentLast -1: to the end of the line
};

constexpr int kEnd = -1;

constexpr std::array<Layout, 4> kLayouts = {{
    // A: the program's own spot line, as formatSpotLine writes it.
    {24, {17, 22, kEnd}, "", kEnd, {kEnd}, {0, 23, 24, kEnd}, 16, 18, 0, 23, 35, kEnd},
    // B: spotter first, the remark before the time, three letters after it.
    {70,
     {17, 64, 67, kEnd},
     "",
     kEnd,
     {68, 69, 70, kEnd},
     {0, 18, 19, kEnd},
     16,
     60,
     0,
     18,
     30,
     59},
    // C: "DX de" with the time ending in 'Z' at column 74.
    {74, {25, kEnd}, "DX ", 74, {kEnd}, {6, 26, kEnd}, 23, 70, 6, 26, 39, 69},
    // D: the shorter "DX de" line with 'Z' at column 68.
    {74, {19, kEnd}, "DX ", 68, {kEnd}, {20, kEnd}, 17, 64, 6, 20, 33, 63},
}};

// All columns of `cols` up to kEnd satisfy `test`.
template <typename Test>
bool AllAt(std::string_view line, const std::array<int, 4>& cols, Test test) {
  for (int c : cols) {
    if (c == kEnd) break;
    if (!test(line[static_cast<size_t>(c)])) return false;
  }
  return true;
}

std::string CallsignField(std::string_view line, size_t from) {
  size_t end = from;
  while (end < line.size() && IsCallsignChar(line[end])) ++end;
  return std::string(line.substr(from, end - from));
}

std::string_view TrimTrailingWhite(std::string_view s) {
  while (!s.empty() && IsWhite(s.back())) s.remove_suffix(1);
  return s;
}

// The frequency whose tenths digit stands at `t` (the caller checked the digits and the
// point): tenths × 100 Hz, then kHz digits leftwards until the first non-digit. A run of
// digits too long for 32 bits wraps as 32-bit arithmetic does; it cannot overflow.
int32_t FrequencyAt(std::string_view line, size_t t) {
  uint32_t hz = static_cast<uint32_t>(line[t] - '0') * 100u;
  uint32_t weight = 1000u;
  for (size_t i = t - 1; i-- > 0 && IsDigit(line[i]);) {
    hz += static_cast<uint32_t>(line[i] - '0') * weight;
    weight *= 10u;
  }
  return static_cast<int32_t>(hz);
}

bool Matches(const Layout& l, std::string_view line) {
  if (line.size() <= l.longerThan) return false;
  if (!line.starts_with(l.prefix)) return false;
  if (!AllAt(line, l.spaces, [](char c) { return c == ' '; })) return false;
  if (l.zColumn != kEnd && line[static_cast<size_t>(l.zColumn)] != 'Z') return false;
  if (!AllAt(line, l.letters, IsLetter)) return false;
  if (!AllAt(line, l.callChars, IsCallsignChar)) return false;
  const size_t t = static_cast<size_t>(l.tenthsColumn);
  if (!IsDigit(line[t]) || line[t - 1] != '.' || !IsDigit(line[t - 2]) || !IsDigit(line[t - 3]) ||
      !IsDigit(line[t - 4]))
    return false;
  for (size_t i = 0; i < 4; ++i)
    if (!IsDigit(line[static_cast<size_t>(l.timeColumn) + i])) return false;
  return true;
}

}  // namespace

bool SpotRecord::parseSpotLine(std::string_view line) {
  line = line.substr(0, line.find('\0'));
  for (const Layout& l : kLayouts) {
    if (!Matches(l, line)) continue;
    spotter = CallsignField(line, static_cast<size_t>(l.spotterColumn));
    dxCall = CallsignField(line, static_cast<size_t>(l.dxCallColumn));
    frequency = FrequencyAt(line, static_cast<size_t>(l.tenthsColumn));
    const char* hhmm = line.data() + l.timeColumn;
    const int hour = (hhmm[0] - '0') * 10 + (hhmm[1] - '0');
    const int minute = (hhmm[2] - '0') * 10 + (hhmm[3] - '0');
    // Digits past 23:59 carry over as a clock does (2510 is 01:10); only the time of day stays.
    const int ofDay = (hour * 60 + minute) % (24 * 60);
    time = SpotTime{ofDay / 60, ofDay % 60};
    const size_t first = static_cast<size_t>(l.commentFirst);
    std::string_view text;
    if (l.commentLast == kEnd) {
      if (line.size() > first) text = line.substr(first);
    } else {
      text = line.substr(first, static_cast<size_t>(l.commentLast) - first + 1);
    }
    comment = std::string(TrimTrailingWhite(text));
    return true;
  }
  return false;
}

std::string SpotRecord::formatSpotLine() const {
  char buf[kSpotLineChars + 1];
  // snprintf cuts the line at the buffer's end; the fields are text and may be of any length.
  std::snprintf(buf, sizeof buf, "%-8s%9.1f %02i%02i %-12s%s", spotter.c_str(), frequency * 0.001,
                time.hour, time.minute, dxCall.c_str(), comment.c_str());
  return buf;
}

}  // namespace vexa::spots
