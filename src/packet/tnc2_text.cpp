#include "packet/tnc2_text.h"

#include <cstdio>

namespace vexa::packet {

std::string FormatTnc2(const Ax25Frame& f) {
  std::string s = FormatCallsign(f.source);
  s += '>';
  s += FormatCallsign(f.destination);
  for (int i = 0; i < f.digis.count(); ++i) {
    s += ',';
    s += FormatCallsign(f.digis[i]);
    if (i + 1 == f.repeated) s += '*';
  }
  s += ':';
  for (uint8_t b : f.info) {
    if (b < 0x20 || b == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<0x%02x>", static_cast<unsigned>(b));
      s += hex;
    } else {
      s += static_cast<char>(b);
    }
  }
  return s;
}

std::optional<Ax25Frame> ParseTnc2(std::string_view line) {
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view head = line.substr(0, colon);
  const size_t gt = head.find('>');
  if (gt == std::string_view::npos) return std::nullopt;
  Ax25Frame f;
  f.type = FrameType::Ui;
  f.cr = kCommand;
  f.pid = kPidNoLayer3;
  auto src = ParseCallsign(head.substr(0, gt));
  if (!src) return std::nullopt;
  f.source = *src;
  std::string_view rest = head.substr(gt + 1);
  bool first = true;
  while (true) {
    const size_t comma = rest.find(',');
    std::string_view token = rest.substr(0, comma);
    bool starred = false;
    if (!first && !token.empty() && token.back() == '*') {
      starred = true;
      token.remove_suffix(1);
    }
    auto a = ParseCallsign(token);
    if (!a) return std::nullopt;
    if (first) {
      f.destination = *a;
      first = false;
    } else {
      if (!f.digis.Add(*a)) return std::nullopt;
      if (starred) f.repeated = f.digis.count();
    }
    if (comma == std::string_view::npos) break;
    rest = rest.substr(comma + 1);
  }
  const std::string_view info = line.substr(colon + 1);
  f.info.assign(info.begin(), info.end());
  return f;
}

}  // namespace vexa::packet
