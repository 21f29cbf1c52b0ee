// vexa-cli ports: the serial devices present and which device each port number opens. Port
// number n (COMn in section Ports) names a device path, so a number can point at a stable
// /dev/serial/by-id/ name instead of a ttyUSB number that changes with the plugging order.
#include <unistd.h>

#include <iostream>
#include <string>

#include "app/settings_table.h"
#include "cli/cli.h"
#include "platform/files/settings_store.h"
#include "platform/serial/serial_devices.h"

namespace vexa::cli {

int CmdPorts(CliContext& ctx) {
  std::string root = "/dev";
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    if (ctx.args[i] == "--dev-root" && i + 1 < ctx.args.size()) {
      root = ctx.args[++i];
    } else {
      ctx.err << "vexa-cli ports: unknown argument '" << ctx.args[i] << "'\n"
              << "usage: vexa-cli ports\n";
      return kExitUsage;
    }
  }
  const auto devices = platform::ListSerialDevices(root);
  ctx.out << "Serial devices:\n";
  if (devices.empty()) ctx.out << "  none found (is the interface plugged in?)\n";
  for (const auto& d : devices) {
    ctx.out << "  " << d.path;
    if (!d.target.empty()) ctx.out << " -> " << d.target;
    const std::string& dev = d.target.empty() ? d.path : d.target;
    if (access(dev.c_str(), R_OK | W_OK) != 0)
      ctx.out << "  (no permission: add your user to the 'dialout' group)";
    ctx.out << "\n";
  }

  const platform::SettingsStore store(ctx.paths.settingsFile);
  const int comPort = store.ReadSettingInt("TX1", "ComPort", 2);
  ctx.out << "\nPort numbers (section Ports):\n";
  for (int n = 1; n <= 9; ++n) {
    std::string key = "COM";
    key += std::to_string(n);
    const std::string dev = store.ReadSettingText("Ports", key, app::DefaultPortDevice(n));
    ctx.out << "  " << key << " = " << dev << (access(dev.c_str(), F_OK) == 0 ? "" : "  (absent)")
            << (n == comPort ? "  <- transceiver port (TX1 ComPort)" : "") << "\n";
  }
  if (comPort == 0) ctx.out << "The transceiver port is off (TX1 ComPort = 0).\n";
  ctx.out << "\nPoint a number at a device with: vexa-cli settings set Ports COM2 "
             "/dev/serial/by-id/NAME\n";
  return kExitOk;
}

}  // namespace vexa::cli
