#pragma once
// The programmable keys: 24 keys numbered 0..23 (F1..F12, then Shift F1..Shift F12), each with
// a text and a caption, plus the texts played like keys (Auto CQ, Ins, Gray Plus) and the Auto
// CQ listen time. Texts are kept in their stored form: carriage return as "<CR>", line feed as
// "<LF>" and a space at the very end as "<SP>", so that a settings file line holds them whole.
#include <array>
#include <string>
#include <string_view>

namespace vexa::console {

inline constexpr int kKeyCount = 24;

// Texts beyond the 24 keys that are played the same way (numbers for PlayKeyText).
enum SpecialKey : int {
  kKeyAutoCq = 24,
  kKeyIns = 25,
  kKeyGrayPlus = 26,
  kKeyImdReport = 27,
};

// "F1".."F12" for 0..11, "Shift F1".."Shift F12" for 12..23; "" for other numbers.
std::string KeyName(int key);

// The stored form of an edited text: CR -> "<CR>", LF -> "<LF>", a trailing space -> "<SP>".
std::string ToStoredForm(std::string_view edited);
// The edited form of a stored text: "<CR>", "<LF>", "<SP>" back to their characters.
std::string ToEditForm(std::string_view stored);

// The key a nested key token addresses ("<F1>" -> 0, "<SF1>" -> 10, "<SF3>" -> 12, "<F11>" ->
// 20, "<SF11>" -> 22), -1 for anything else. The tokens are numbered apart from the key names:
// ten plain and two shifted tokens cover the first row.
int KeyOfToken(std::string_view token);
// The tokens in the order one nesting pass replaces them: <F1>..<F10>, <F11>, <F12>,
// <SF1>..<SF12>.
const std::array<std::string_view, kKeyCount>& NestedKeyTokens();

struct KeyTable {
  std::array<std::string, kKeyCount> texts;       // stored form
  std::array<std::string, kKeyCount> captions;    // button texts
  std::string insText, grayPlusText, autoCqText;  // stored form
  int autoCqDelaySeconds = 10;

  // The stored text of a key 0..23 or of a special key; "" for other numbers.
  const std::string& Text(int key) const;
};

}  // namespace vexa::console
