#pragma once
// The TNC terminal: an external controller on a serial port of its own, operated by hand. Every
// typed character goes to the port; every received byte is shown (LF left out, so CR starts a
// new line); each received line is offered to the spot list, so a cluster reached through the
// controller fills it like received text does. While the terminal is open the CW keyer hands
// its characters to the controller's keyer instead of keying a line.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/section.h"
#include "app/station_context.h"
#include "platform/serial/serial_port.h"

namespace vexa::app {

// Section "TNC": read when the terminal opens, written when it closes.
struct TncTerminalSettings {
  int com = 2;       // port number; 0 = no port
  int speed = 9600;  // bit/s
  int bits = 8;      // data bits
  int stopBits = 1;  // the port's stop-bit code plus 1: 1 one, 2 one and a half, 3 two
  bool useDtr = true;
  bool useRts = true;

  void Load(const platform::SettingsStore& store);
  // 0, or the number of settings the file did not take.
  int Save(platform::SettingsStore& store) const;

  // The settings dialog's indexes: speed 1200 -> 0, 2400 -> 1 .. 19200 -> 4; data bits - 7;
  // stop bits - 1.
  static int SpeedIndex(int speed);
  static int SpeedForIndex(int index);
};

class TncTerminalSection final : public Section {
 public:
  // Received characters as the window shows them (CR, printable bytes and other controls).
  using Display = std::function<void(uint8_t c)>;

  explicit TncTerminalSection(StationContext& ctx) : ctx_(ctx) {}
  ~TncTerminalSection() override;
  const char* name() const override { return "tnc terminal"; }

  // The terminal window opens: the settings are read and, with a port number, the port opened
  // (a port that cannot be opened leaves the terminal open without it; see portStatus()).
  void Open();
  // ...and closes: the port is closed and the settings written.
  void Close();
  bool isOpen() const { return open_; }
  bool portOpen() const { return port_ != nullptr && port_->IsOpen(); }
  const std::string& portStatus() const { return portStatus_; }
  const TncTerminalSettings& settings() const { return settings_; }
  // The settings dialog's OK: the port is closed, the values taken, the port opened again.
  void ApplySettings(const TncTerminalSettings& settings);

  // A character typed into the terminal goes to the controller.
  void Type(uint8_t c);
  void Send(std::string_view bytes);
  void SetDisplay(Display display) { display_ = std::move(display); }

  void OnWake() override;
  void OnClosing() override { Close(); }
  // Bytes as they come from the port (the reader thread's data, or a test's).
  void OnPortBytes(std::string_view bytes);

  // The longest line kept for the spot list; what goes beyond is dropped.
  static constexpr size_t kLineCapacity = 255;

 private:
  void OpenPort();
  void ClosePort();

  StationContext& ctx_;
  TncTerminalSettings settings_;
  std::unique_ptr<platform::SerialPort> port_;
  std::string portStatus_;
  bool open_ = false;
  Display display_;
  std::string line_;
};

}  // namespace vexa::app
