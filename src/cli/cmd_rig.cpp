// vexa-cli rig: the transceiver over CAT, as the program drives it. "rig read" asks the rig
// where it is and prints the dial and operating frequency; "rig set FREQ" tunes it so that a
// signal at the receive audio frequency is at FREQ. The station core runs on a scratch copy of
// the settings, so nothing the program keeps (window places, the mode on exit) is touched.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>

#include "app/main_core.h"
#include "cli/cli.h"
#include "platform/audio/audio_backend.h"

namespace vexa::cli {
namespace {

constexpr const char* kUsage =
    "usage: vexa-cli rig read [--seconds S]\n"
    "       vexa-cli rig set FREQ [--mode M] [--audio HZ]   (FREQ as 14.070.150, 14070.15 or "
    "14070150)\n";

// Wake-ups from the port's reader thread, waited for on this thread.
class CliHost final : public app::CoreHost {
 public:
  bool StartTickTimer(int) override { return true; }
  void StopTickTimer() override {}
  void SetCaption(const std::string&) override {}
  void EndModalLoop(int) override {}
  void Wake() override {
    std::lock_guard lock(mutex_);
    woke_ = true;
    cv_.notify_all();
  }
  void WaitUpTo(std::chrono::milliseconds ms) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, ms, [this] { return woke_; });
    woke_ = false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool woke_ = false;
};

// Runs the core's events for `seconds` or until `done` holds.
template <typename Done>
void Serve(app::MainCore& core, CliHost& host, double seconds, Done done) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  auto nextTick = Clock::now();
  while (Clock::now() < end && !done()) {
    host.WaitUpTo(std::chrono::milliseconds(5));
    core.OnWake();
    if (Clock::now() >= nextTick) {
      core.OnTimer();
      nextTick += std::chrono::milliseconds(app::MainCore::kTickMs);
    }
  }
}

}  // namespace

int CmdRig(CliContext& ctx) {
  const auto& a = ctx.args;
  if (a.empty() || (a[0] != "read" && a[0] != "set")) {
    ctx.err << kUsage;
    return kExitUsage;
  }
  const bool set = a[0] == "set";
  double seconds = 3, audio = 0;
  std::optional<int64_t> target;
  std::optional<Mode> mode;
  for (size_t i = 1; i < a.size(); ++i) {
    double v = 0;
    if (a[i] == "--seconds" && i + 1 < a.size() && ParseNumber(a[i + 1], v) && v > 0) {
      seconds = v;
      ++i;
    } else if (set && a[i] == "--audio" && i + 1 < a.size() && ParseNumber(a[i + 1], v) && v > 0 &&
               v < 5512.5) {
      audio = v;
      ++i;
    } else if (set && a[i] == "--mode" && i + 1 < a.size() && (mode = ParseMode(a[i + 1]))) {
      ++i;
    } else if (set && !target && (target = tx::ParseFrequency(a[i]))) {
    } else {
      ctx.err << "vexa-cli rig: bad argument '" << a[i] << "'\n" << kUsage;
      return kExitUsage;
    }
  }
  if (set && !target) {
    ctx.err << "vexa-cli rig set: which frequency?\n" << kUsage;
    return kExitUsage;
  }

  const std::string scratch = ctx.paths.WorkFile("rig-cli.ini");
  std::error_code ec;
  std::filesystem::remove(scratch, ec);
  if (std::filesystem::exists(ctx.paths.settingsFile, ec))
    std::filesystem::copy_file(ctx.paths.settingsFile, scratch, ec);
  int rc = kExitOk;
  {
    platform::SettingsStore store(scratch);
    if (store.ReadSettingInt("TX1", "Type", 0) == 0) {
      ctx.err << "vexa-cli rig: no CAT control is set up (TX1 Type = 0)\n";
      std::filesystem::remove(scratch, ec);
      return kExitFailure;
    }
    platform::FixedPrompt prompt;
    std::unique_ptr<platform::AudioBackend> sound = platform::MakeNullBackend();
    app::CoreConfig c;
    c.store = &store;
    c.paths = ctx.paths;
    c.paths.settingsFile = scratch;
    c.prompt = &prompt;
    c.audio = sound.get();
    CliHost host;
    app::MainCore core(c, platform::TraceLog(), host, app::kTemplateNormal);
    core.OnInitDialog();
    auto& rig = core.rig();
    if (!core.transmit().portOpen()) {
      ctx.err << "vexa-cli rig: " << core.transmit().portStatus() << "\n";
      rc = kExitFailure;
    } else if (set) {
      if (mode) core.SetMode(*mode);
      if (audio > 0) core.receive().TuneAll(audio);
      rig.SetOperatingFrequency(*target);
      Serve(core, host, 0.2, [] { return false; });  // the rig's echo and answers drain
      ctx.out << "dial " << tx::FormatFrequency(rig.dialHz()) << ", operating "
              << rig.OperatingText() << " (" << ModeName(core.mode()) << " at "
              << core.receive().rxFrequency() << " Hz)\n";
    } else {
      Serve(core, host, seconds, [&] { return rig.answering(); });
      if (!rig.answering()) {
        ctx.err << "vexa-cli rig: " << rig.StatusText() << "\n";
        rc = kExitFailure;
      } else {
        ctx.out << "dial " << tx::FormatFrequency(rig.dialHz()) << ", operating "
                << rig.OperatingText() << " (" << ModeName(core.mode()) << " at "
                << core.receive().rxFrequency() << " Hz)\n";
      }
    }
  }
  std::filesystem::remove(scratch, ec);
  return rc;
}

}  // namespace vexa::cli
