#pragma once
// The serial port monitor: what a port receives, shown in hexadecimal for checking a transceiver
// or TNC interface. A line "\r\n%i:" with the port number begins when the data comes from
// another port than the last shown, or after three or more 55 ms ticks without data; each byte
// is written as a space and two lower-case hexadecimal digits, and after 20 bytes on a line the
// text goes on in a new line indented by two spaces.
#include <cstdint>
#include <span>
#include <string>

namespace vexa::tx {

class PortMonitor {
 public:
  static constexpr int kBytesPerLine = 20;
  static constexpr int kQuietTicks = 3;

  // The text to append to the monitor window for bytes received on `port`.
  std::string Format(int port, std::span<const uint8_t> bytes);
  // One 55 ms tick of the main loop.
  void Tick() {
    if (quietTicks_ < kQuietTicks) ++quietTicks_;
  }
  void Reset() { *this = PortMonitor(); }

 private:
  int lastPort_ = -1;
  int quietTicks_ = kQuietTicks;
  int lineBytes_ = 0;
};

}  // namespace vexa::tx
