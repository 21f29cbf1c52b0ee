#pragma once
// Runs the main window core without a window, in virtual time: each input block advances the
// clock by its duration (2048 / 11025 s), and the 55 ms ticks that fall due are run in between,
// so a file is processed as fast as the machine allows while the core sees the same sequence
// of events as in real time. Used by the command line and by tests.
#include <cstdint>
#include <string>

#include "app/application.h"

namespace vexa::app {

class HeadlessRunner final : public MainWindowRunner, public CoreHost {
 public:
  // maxSeconds: virtual time after which the loop ends by itself (0: when the input runs dry).
  explicit HeadlessRunner(double maxSeconds = 0) : maxSeconds_(maxSeconds) {}

  CoreHost& Host() override { return *this; }
  int RunModal(MainCore& core) override;

  bool StartTickTimer(int periodMs) override {
    if (failTimer) return false;
    tickMs_ = periodMs;
    tickOn_ = true;
    return true;
  }
  void StopTickTimer() override { tickOn_ = false; }
  void SetCaption(const std::string& caption) override { this->caption = caption; }
  void EndModalLoop(int result) override {
    ended_ = true;
    result_ = result;
  }

  // Called once per virtual tick after the core's own tick work (for tests and the CLI).
  std::function<void(MainCore&)> onTick;
  // Called once after initialisation, before the loop.
  std::function<void(MainCore&)> onStart;

  bool failTimer = false;
  std::string caption;
  double virtualSeconds() const { return nowMs_ / 1000.0; }

 private:
  double maxSeconds_;
  int tickMs_ = 55;
  bool tickOn_ = false;
  bool ended_ = false;
  int result_ = kResultCancel;
  double nowMs_ = 0;
};

}  // namespace vexa::app
