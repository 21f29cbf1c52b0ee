#include "common/mode.h"

#include <cctype>

namespace vexa {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

std::optional<Mode> ParseMode(std::string_view text) {
  if (text.empty()) return std::nullopt;
  if (text.size() <= 2 && std::isdigit(static_cast<unsigned char>(text[0])) &&
      std::isdigit(static_cast<unsigned char>(text.back()))) {
    int n = 0;
    for (char c : text) n = n * 10 + (c - '0');
    return ModeFromNumber(n);
  }
  for (const ModeRow& r : kModeTable) {
    if (*r.cliName != '\0' && EqualsNoCase(text, r.cliName)) return r.mode;
  }
  for (const ModeRow& r : kModeTable) {
    if (r.mode != Mode::Unnamed7 && EqualsNoCase(text, r.name)) return r.mode;
  }
  return std::nullopt;
}

std::string ModeCliNames(bool (*accept)(Mode), std::string_view separator) {
  std::string out;
  for (const ModeRow& r : kModeTable) {
    if (*r.cliName == '\0' || !accept(r.mode)) continue;
    if (!out.empty()) out += separator;
    out += r.cliName;
  }
  return out;
}

}  // namespace vexa
