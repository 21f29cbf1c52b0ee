#include "tx/port_monitor.h"

#include <cstdio>

namespace vexa::tx {

std::string PortMonitor::Format(int port, std::span<const uint8_t> bytes) {
  std::string out;
  if (bytes.empty()) return out;
  if (port != lastPort_ || quietTicks_ >= kQuietTicks) {
    out += "\r\n" + std::to_string(port) + ":";
    lastPort_ = port;
    lineBytes_ = 0;
  }
  quietTicks_ = 0;
  for (uint8_t b : bytes) {
    if (lineBytes_ == kBytesPerLine) {
      out += "\r\n  ";
      lineBytes_ = 0;
    }
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02x", b);
    out += hex;
    ++lineBytes_;
  }
  return out;
}

}  // namespace vexa::tx
