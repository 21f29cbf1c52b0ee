// vexa-cli rig: the transceiver over CAT, as the program drives it. "rig read" asks the rig
// where it is and prints the dial and operating frequency; "rig set FREQ" tunes it so that a
// signal at the receive audio frequency is at FREQ. The station core runs on a scratch copy of
// the settings, so nothing the program keeps (window places, the mode on exit) is touched.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <set>
#include <sstream>

#include "app/main_core.h"
#include "cli/cli.h"
#include "platform/audio/audio_backend.h"

namespace vexa::cli {
namespace {

constexpr const char* kUsage =
    "usage: vexa-cli rig freq [HZ]            the dial frequency in hertz (read, or set)\n"
    "       vexa-cli rig qsy FREQ [--mode M] [--audio HZ]\n"
    "                                         tune so that the signal under the receive\n"
    "                                         marker is at FREQ (14.070.150, 14070.15, 14070150)\n"
    "       vexa-cli rig mode [M]             the program's mode as the rig follows it, or set\n"
    "       vexa-cli rig ptt on|off [--seconds S]   on: keyed for S seconds (2), then released\n"
    "       vexa-cli rig status               the link, the dial and the operating frequency\n"
    "       vexa-cli rig monitor SECONDS      every command, reply and decoded value\n"
    "       (read = status, set = qsy; --seconds S: how long to wait for the rig, default 3)\n";

// Prints what passes on the transceiver link while the monitor runs.
class MonitorProbe final : public app::Section {
 public:
  explicit MonitorProbe(std::ostream& out) : out_(out) {}
  const char* name() const override { return "rig monitor"; }
  void OnTransceiverBytes(std::span<const uint8_t> bytes) override {
    out_ << "< " << Show(bytes) << "\n";
  }
  void OnRigFrequency(int64_t dialHz) override { out_ << "dial " << dialHz << "\n"; }
  void OnModeChange(Mode mode) override { out_ << "mode " << ModeName(mode) << "\n"; }
  // Text protocols as text, binary frames in hexadecimal.
  static std::string Show(std::span<const uint8_t> bytes) {
    bool text = !bytes.empty();
    for (uint8_t b : bytes)
      if (b < 0x20 || b > 0x7E) text = b == '\n' || b == '\r';
    std::string s;
    if (text) {
      for (uint8_t b : bytes)
        if (b >= 0x20) s.push_back(static_cast<char>(b));
      return s;
    }
    char hex[4];
    for (uint8_t b : bytes) {
      std::snprintf(hex, sizeof hex, "%02X ", b);
      s += hex;
    }
    if (!s.empty()) s.pop_back();
    return s;
  }

 private:
  std::ostream& out_;
};

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
  static const std::set<std::string> kCommands = {"freq",   "qsy",     "mode", "ptt",
                                                  "status", "monitor", "read", "set"};
  if (a.empty() || !kCommands.count(a[0])) {
    ctx.err << kUsage;
    return kExitUsage;
  }
  std::string cmd = a[0];
  if (cmd == "set") cmd = "qsy";
  const bool legacyRead = cmd == "read";
  if (legacyRead) cmd = "status";
  double seconds = 3, audio = 0;
  bool secondsGiven = false;
  std::optional<int64_t> target;
  std::optional<Mode> mode;
  std::optional<bool> ptt;
  for (size_t i = 1; i < a.size(); ++i) {
    double v = 0;
    if (a[i] == "--seconds" && i + 1 < a.size() && ParseNumber(a[i + 1], v) && v > 0 &&
        v <= 86400) {
      seconds = v;
      secondsGiven = true;
      ++i;
    } else if (cmd == "qsy" && a[i] == "--audio" && i + 1 < a.size() && ParseNumber(a[i + 1], v) &&
               v > 0 && v < 5512.5) {
      audio = v;
      ++i;
    } else if (cmd == "qsy" && a[i] == "--mode" && i + 1 < a.size() &&
               (mode = ParseMode(a[i + 1]))) {
      ++i;
    } else if ((cmd == "qsy" || cmd == "freq") && !target && (target = tx::ParseFrequency(a[i]))) {
    } else if (cmd == "mode" && !mode && (mode = ParseMode(a[i]))) {
    } else if (cmd == "ptt" && !ptt && (a[i] == "on" || a[i] == "off")) {
      ptt = a[i] == "on";
    } else if (cmd == "monitor" && !secondsGiven && ParseNumber(a[i], v) && v > 0 && v <= 86400) {
      seconds = v;
      secondsGiven = true;
    } else {
      ctx.err << "vexa-cli rig: bad argument '" << a[i] << "'\n" << kUsage;
      return kExitUsage;
    }
  }
  if (cmd == "qsy" && !target) {
    ctx.err << "vexa-cli rig qsy: which frequency?\n" << kUsage;
    return kExitUsage;
  }
  if (cmd == "ptt" && !ptt) {
    ctx.err << "vexa-cli rig ptt: on or off?\n" << kUsage;
    return kExitUsage;
  }
  if (cmd == "monitor" && !secondsGiven) {
    ctx.err << "vexa-cli rig monitor: for how many seconds?\n" << kUsage;
    return kExitUsage;
  }
  // For ptt, --seconds is how long it stays keyed; the rig gets the usual time to answer.
  double hold = 0.2;
  if (cmd == "ptt" && *ptt) hold = secondsGiven ? seconds : 2;
  if (cmd == "ptt") seconds = 3;

  const std::string scratch = ctx.paths.WorkFile("rig-cli.ini");
  std::error_code ec;
  std::filesystem::remove(scratch, ec);
  if (std::filesystem::exists(ctx.paths.settingsFile, ec))
    std::filesystem::copy_file(ctx.paths.settingsFile, scratch, ec);
  int rc = kExitOk;
  {
    platform::SettingsStore store(scratch);
    const int type = store.ReadSettingInt("TX1", "Type", 0);
    const bool networked = type == static_cast<int>(tx::CatFamily::Rigctld);
    if (type == 0 && cmd != "ptt") {
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
    MonitorProbe probe(ctx.out);  // outlives the core, which calls it up to its end
    app::MainCore core(c, platform::TraceLog(), host, app::kTemplateNormal);
    if (cmd == "monitor") core.AddSection(probe);
    core.OnInitDialog();
    auto& rig = core.rig();
    auto where = [&] {
      std::ostringstream s;
      s << "dial " << tx::FormatFrequency(rig.dialHz()) << ", operating " << rig.OperatingText()
        << " (" << ModeName(core.mode()) << " at " << core.receive().rxFrequency() << " Hz)";
      return s.str();
    };
    auto linkUp = [&] {
      // A rig server connects on the tick; a rig on the port gets a moment to answer the
      // start-up poll, so that its late answer does not undo the command (a rig that never
      // answers, such as a TenTec, is commanded anyway).
      Serve(core, host, networked ? seconds : std::min(seconds, 1.0),
            [&] { return rig.answering(); });
      return networked ? rig.answering() : core.transmit().portOpen();
    };
    auto awaitReply = [&] {
      Serve(core, host, seconds, [&] { return rig.answering(); });
      if (rig.answering()) return true;
      ctx.err << "vexa-cli rig: " << rig.StatusText() << "\n";
      return false;
    };
    if (!networked && !core.transmit().portOpen()) {
      ctx.err << "vexa-cli rig: " << core.transmit().portStatus() << "\n";
      rc = kExitFailure;
    } else if (cmd == "status") {
      const bool up = awaitReply();
      if (!legacyRead) ctx.out << "status: " << rig.StatusText() << "\n";
      if (up) ctx.out << where() << "\n";
      rc = up ? kExitOk : kExitFailure;
    } else if (cmd == "freq" && !target) {
      if (awaitReply())
        ctx.out << rig.dialHz() << "\n";
      else
        rc = kExitFailure;
    } else if (cmd == "mode" && !mode) {
      if (awaitReply())
        ctx.out << ModeName(core.mode()) << "\n";
      else
        rc = kExitFailure;
    } else if (!linkUp()) {
      ctx.err << "vexa-cli rig: " << rig.StatusText() << "\n";
      rc = kExitFailure;
    } else if (cmd == "freq") {
      rig.SetDial(*target);
      Serve(core, host, 0.2, [] { return false; });  // the rig's echo and answers drain
      ctx.out << rig.dialHz() << "\n";
    } else if (cmd == "qsy") {
      if (mode) core.SetMode(*mode);
      if (audio > 0) core.receive().TuneAll(audio);
      rig.SetOperatingFrequency(*target);
      Serve(core, host, 0.2, [] { return false; });
      ctx.out << where() << "\n";
    } else if (cmd == "mode") {
      core.SetMode(*mode);
      Serve(core, host, 0.2, [] { return false; });
      const int code = RigModeOf(*mode, core.members().useSb.value != 0);
      ctx.out << ModeName(core.mode());
      if (code != kNoRigMode) ctx.out << " (rig mode " << code << ")";
      ctx.out << "\n";
    } else if (cmd == "ptt") {
      core.transmit().SetPtt(*ptt);
      ctx.out << "PTT " << (*ptt ? "on" : "off") << "\n" << std::flush;
      Serve(core, host, hold, [] { return false; });
      if (*ptt) {
        core.transmit().SetPtt(false);
        Serve(core, host, 0.2, [] { return false; });
        ctx.out << "PTT off\n";
      }
    } else if (cmd == "monitor") {
      size_t shown = 0;
      using Clock = std::chrono::steady_clock;
      const auto end = Clock::now() + std::chrono::duration<double>(seconds);
      while (Clock::now() < end) {
        Serve(core, host, 0.05, [] { return false; });
        const auto& sent = rig.sent();
        // The record keeps the last 64 commands: show the new ones among them.
        const size_t fresh = std::min(rig.sentTotal() - shown, sent.size());
        for (size_t i = sent.size() - fresh; i < sent.size(); ++i)
          ctx.out << "> " << MonitorProbe::Show(sent[i]) << "\n";
        shown = rig.sentTotal();
      }
      ctx.out << "status: " << rig.StatusText() << "\n";
    }
  }
  std::filesystem::remove(scratch, ec);
  return rc;
}

}  // namespace vexa::cli
