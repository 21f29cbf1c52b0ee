#include "support/text_score.h"

#include <algorithm>
#include <vector>

namespace vexa::test {

size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diag = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diag = up;
    }
  }
  return row[b.size()];
}

double CharErrorRate(std::string_view expected, std::string_view got) {
  const size_t d = EditDistance(expected, got);
  if (expected.empty()) return got.empty() ? 0.0 : 1.0;
  return static_cast<double>(d) / static_cast<double>(expected.size());
}

std::string NormalizeLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string AfterFirstLine(std::string_view text) {
  const size_t lf = text.find('\n');
  return lf == std::string_view::npos ? std::string() : std::string(text.substr(lf + 1));
}

}  // namespace vexa::test
