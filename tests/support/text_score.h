#pragma once
// Scoring decoded text against the text that was sent.
#include <string>
#include <string_view>

namespace vexa::test {

// Levenshtein distance: insertions, deletions and substitutions, one each.
size_t EditDistance(std::string_view a, std::string_view b);

// Character error rate: EditDistance(expected, got) / expected length. An empty expected text
// scores 0 against an empty result and 1 against anything else.
double CharErrorRate(std::string_view expected, std::string_view got);

// Line ends made uniform for comparing: CR LF and lone CR become LF.
std::string NormalizeLineEnds(std::string_view text);

// The text after its first line (everything after the first LF; "" when there is none).
std::string AfterFirstLine(std::string_view text);

}  // namespace vexa::test
