#pragma once
// Comparing decoded text with what was sent, for the CW, FSK31 and PACTOR tests (the error rate
// itself is CharErrorRate in text_score.h).
#include <string>
#include <string_view>

namespace vexa::test {

// Collapses runs of white space (spaces, CR, LF) to one space and trims both ends, so that word
// spaces and line breaks the decoder inserts during pauses do not count as errors.
inline std::string SquashWhitespace(std::string_view s) {
  std::string out;
  bool space = false;
  for (char c : s) {
    if (c == ' ' || c == '\r' || c == '\n' || c == '\t') {
      space = !out.empty();
      continue;
    }
    if (space) out.push_back(' ');
    space = false;
    out.push_back(c);
  }
  return out;
}

}  // namespace vexa::test
