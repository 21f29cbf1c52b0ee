#include "packet/ax25_address.h"

#include <cctype>

namespace vexa::packet {

std::optional<Ax25Address> ParseCallsign(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  Ax25Address a;
  size_t i = 0;
  while (i < text.size() && std::isalnum(static_cast<unsigned char>(text[i]))) {
    if (i >= 6) return std::nullopt;  // a seventh letter or digit
    a.call[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    ++i;
  }
  if (i == 0) return std::nullopt;
  if (i == text.size()) return a;
  if (text[i] != '-') return std::nullopt;
  std::string_view digits = text.substr(i + 1);
  if (digits.empty() || digits.size() > 2) return std::nullopt;
  int ssid = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    ssid = ssid * 10 + (c - '0');
  }
  if (ssid > 15) return std::nullopt;
  a.ssid = static_cast<uint8_t>(ssid);
  return a;
}

std::string FormatCallsign(const Ax25Address& address) {
  std::string s(address.Call());
  if (address.ssid != 0) {
    s += '-';
    s += std::to_string(address.ssid);
  }
  return s;
}

int ParseCallsignList(std::string_view text, Ax25AddressList& list) {
  list.Clear();
  // The text ends at the first control character other than a space.
  for (size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) < '!' && text[i] != ' ') {
      text = text.substr(0, i);
      break;
    }
  }
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos >= text.size()) break;
    size_t end = text.find(' ', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view token = text.substr(pos, end - pos);
    if (token.size() > 9) token = token.substr(0, 9);
    auto a = ParseCallsign(token);
    if (!a || !list.Add(*a)) return -1;
    pos = end;
  }
  return list.count();
}

std::string FormatCallsignList(const Ax25AddressList& list) {
  std::string s;
  for (int i = 0; i < list.count(); ++i) {
    s += FormatCallsign(list[i]);
    s += ' ';
  }
  return s;
}

}  // namespace vexa::packet
