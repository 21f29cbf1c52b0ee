// vexa-cli ports: the serial devices present and which device each port number opens. Port
// number n (COMn in section Ports) names a device path, so a number can point at a stable
// /dev/serial/by-id/ name instead of a ttyUSB number that changes with the plugging order.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>

#include "app/settings_table.h"
#include "cli/cli.h"
#include "platform/files/settings_store.h"
#include "platform/serial/serial_devices.h"
#include "platform/serial/serial_port.h"
#include "tx/key_lines.h"
#include "tx/port_monitor.h"

namespace vexa::cli {
namespace {

constexpr const char* kUsage =
    "usage: vexa-cli ports [--dev-root DIR]\n"
    "       vexa-cli ports monitor [--seconds S] [--count N]\n";

// The port monitor on the transceiver port: what arrives, in hexadecimal, until S seconds have
// passed (10 by default) or N bytes have come.
int Monitor(CliContext& ctx) {
  double seconds = 10;
  long count = 0;
  for (size_t i = 1; i < ctx.args.size(); ++i) {
    const std::string& a = ctx.args[i];
    double v = 0;
    if ((a == "--seconds" || a == "--count") && i + 1 < ctx.args.size() &&
        ParseNumber(ctx.args[i + 1], v) && v > 0) {
      if (a == "--seconds")
        seconds = v;
      else
        count = static_cast<long>(v);
      ++i;
    } else {
      ctx.err << "vexa-cli ports monitor: bad argument '" << a << "'\n" << kUsage;
      return kExitUsage;
    }
  }
  const platform::SettingsStore store(ctx.paths.settingsFile);
  const int n = store.ReadSettingInt("TX1", "ComPort", 2);
  if (n <= 0) {
    ctx.err << "vexa-cli ports monitor: the transceiver port is off (TX1 ComPort = 0)\n";
    return kExitFailure;
  }
  const std::string device =
      store.ReadSettingText("Ports", "COM" + std::to_string(n), app::DefaultPortDevice(n));
  tx::KeyLineSettings ks;
  ks.dtrMode = store.ReadSettingInt("TX1", "DtrMode", 0);
  ks.rtsMode = store.ReadSettingInt("TX1", "RtsMode", 0);
  ks.rigType = store.ReadSettingInt("TX1", "Type", 0);
  platform::SerialLineSettings ls;
  ls.baud = store.ReadSettingInt("TX1", "ComSpeed", 1200);
  ls.stopBits = ks.rigType >= 3 ? 2 : 0;

  std::mutex lock;
  std::condition_variable arrived;
  bool pending = false;
  platform::SerialPort port;
  port.SetNotifier([&](int) {
    std::lock_guard g(lock);
    pending = true;
    arrived.notify_all();
  });
  if (port.Open(n, device, ls) != platform::kSerialOk) {
    ctx.err << "vexa-cli ports monitor: " << port.lastError() << "\n";
    return kExitFailure;
  }
  // The lines at rest, as the program keeps them: opening must not key the transmitter.
  tx::KeyLines lines(nullptr);
  lines.SetSettings(ks);
  lines.SetPort(&port);
  lines.ApplyIdleLines();
  ctx.out << "Monitoring COM" << n << " (" << device << ", " << ls.baud << " baud)\n";

  tx::PortMonitor monitor;
  long seen = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  auto lastData = std::chrono::steady_clock::now();
  while (count == 0 || seen < count) {
    {
      std::unique_lock g(lock);
      if (!arrived.wait_until(g, end, [&] { return pending; })) break;
      pending = false;
    }
    const std::string bytes = port.ReadAll();
    if (bytes.empty()) continue;
    // The quiet-tick rule of the window's monitor, in 55 ms steps of real time.
    const auto now = std::chrono::steady_clock::now();
    for (auto t = lastData; now - t >= std::chrono::milliseconds(55);
         t += std::chrono::milliseconds(55))
      monitor.Tick();
    lastData = now;
    std::string text =
        monitor.Format(n, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    for (char c : text)
      if (c != '\r') ctx.out << c;
    ctx.out.flush();
    seen += static_cast<long>(bytes.size());
  }
  ctx.out << "\n" << seen << " bytes\n";
  lines.SetPort(nullptr);
  (void)port.Close();
  return kExitOk;
}

}  // namespace

int CmdPorts(CliContext& ctx) {
  if (!ctx.args.empty() && ctx.args[0] == "monitor") return Monitor(ctx);
  std::string root = "/dev";
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    if (ctx.args[i] == "--dev-root" && i + 1 < ctx.args.size()) {
      root = ctx.args[++i];
    } else {
      ctx.err << "vexa-cli ports: unknown argument '" << ctx.args[i] << "'\n" << kUsage;
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
