#pragma once
// Scoring of decoded text against what was sent.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::test {

// Character error rate: the edit distance (insertions, deletions, substitutions) from want to
// got divided by the length of want. 0 is perfect; it can exceed 1 when got is mostly garbage.
inline double CwCharErrorRate(std::string_view want, std::string_view got) {
  if (want.empty()) return got.empty() ? 0.0 : 1.0;
  std::vector<size_t> prev(got.size() + 1), cur(got.size() + 1);
  for (size_t j = 0; j <= got.size(); ++j) prev[j] = j;
  for (size_t i = 1; i <= want.size(); ++i) {
    cur[0] = i;
    for (size_t j = 1; j <= got.size(); ++j) {
      const size_t sub = prev[j - 1] + (want[i - 1] == got[j - 1] ? 0 : 1);
      cur[j] = std::min({sub, prev[j] + 1, cur[j - 1] + 1});
    }
    std::swap(prev, cur);
  }
  return static_cast<double>(prev[got.size()]) / static_cast<double>(want.size());
}

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
