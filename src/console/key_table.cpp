#include "console/key_table.h"

namespace vexa::console {
namespace {

void ReplaceEvery(std::string& s, std::string_view token, std::string_view with) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t hit = s.find(token, pos);
    if (hit == std::string::npos) break;
    out.append(s, pos, hit - pos);
    out.append(with);
    pos = hit + token.size();
  }
  if (pos == 0) return;
  out.append(s, pos, std::string::npos);
  s.swap(out);
}

}  // namespace

std::string KeyName(int key) {
  if (key < 0 || key >= kKeyCount) return {};
  return key < 12 ? "F" + std::to_string(key + 1) : "Shift F" + std::to_string(key - 11);
}

std::string ToStoredForm(std::string_view edited) {
  std::string s(edited);
  ReplaceEvery(s, "\r", "<CR>");
  ReplaceEvery(s, "\n", "<LF>");
  if (!s.empty() && s.back() == ' ') {
    s.pop_back();
    s += "<SP>";
  }
  return s;
}

std::string ToEditForm(std::string_view stored) {
  std::string s(stored);
  ReplaceEvery(s, "<CR>", "\r");
  ReplaceEvery(s, "<LF>", "\n");
  ReplaceEvery(s, "<SP>", " ");
  return s;
}

const std::array<std::string_view, kKeyCount>& NestedKeyTokens() {
  static constexpr std::array<std::string_view, kKeyCount> kTokens = {
      "<F1>",  "<F2>",  "<F3>",  "<F4>",  "<F5>",  "<F6>",   "<F7>",   "<F8>",
      "<F9>",  "<F10>", "<F11>", "<F12>", "<SF1>", "<SF2>",  "<SF3>",  "<SF4>",
      "<SF5>", "<SF6>", "<SF7>", "<SF8>", "<SF9>", "<SF10>", "<SF11>", "<SF12>"};
  return kTokens;
}

int KeyOfToken(std::string_view token) {
  const bool shifted = token.starts_with("<SF");
  if (!shifted && !token.starts_with("<F")) return -1;
  if (!token.ends_with(">")) return -1;
  const std::string_view digits = token.substr(shifted ? 3 : 2, token.size() - (shifted ? 4 : 3));
  if (digits.empty() || digits.size() > 2 || digits.front() == '0') return -1;
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > 12) return -1;
  if (!shifted) return n <= 10 ? n - 1 : n + 9;  // <F11>, <F12>: keys 20, 21
  if (n <= 2) return n + 9;                      // <SF1>, <SF2>: keys 10, 11
  if (n <= 10) return n + 9;                     // <SF3>..<SF10>: keys 12..19
  return n + 11;                                 // <SF11>, <SF12>: keys 22, 23
}

const std::string& KeyTable::Text(int key) const {
  static const std::string kNone;
  if (key >= 0 && key < kKeyCount) return texts[static_cast<size_t>(key)];
  switch (key) {
    case kKeyAutoCq:
      return autoCqText;
    case kKeyIns:
      return insText;
    case kKeyGrayPlus:
      return grayPlusText;
    default:
      return kNone;
  }
}

}  // namespace vexa::console
