#pragma once
// The serial devices present on this machine, for the port list shown to the user: USB serial
// adapters (/dev/ttyUSB*, /dev/ttyACM*), built-in ports (/dev/ttyS*, listed only when a UART
// answers behind them, since the kernel creates many of them whether or not hardware exists)
// and the stable names under /dev/serial/by-id/ with the device each one points to.
#include <string>
#include <vector>

namespace vexa::platform {

struct SerialDeviceEntry {
  std::string path;    // e.g. /dev/ttyUSB0 or /dev/serial/by-id/usb-FTDI_...-if00-port0
  std::string target;  // for a by-id link, the device it resolves to; else empty
};

// Lists the devices under devRoot ("/dev" normally; tests pass a folder of their own), sorted by
// name within each group: ttyUSB, ttyACM, ttyS, then serial/by-id.
std::vector<SerialDeviceEntry> ListSerialDevices(const std::string& devRoot = "/dev");

// True when a UART answers behind a /dev/ttyS* device (it opens and reports a known port type).
bool BuiltInPortAnswers(const std::string& path);

}  // namespace vexa::platform
