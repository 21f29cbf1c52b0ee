#pragma once
// A station core for tests: settings and working folder in a temporary folder, a silent prompt,
// no sound, a host whose wake-ups can be waited for, and the waits the core asks for recorded
// instead of slept.
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "app/main_core.h"
#include "support/core_config.h"
#include "support/test_paths.h"
#include "support/wake_host.h"

namespace vexa::test {

struct TestStation {
  TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  platform::FixedPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio = platform::MakeNullBackend();
  WakeHost host;
  std::vector<int> sleeps;  // every wait the core asked for, in milliseconds
  // Runs for each wait after it is recorded (e.g. to let a peer on a pseudo-terminal read).
  std::function<void(int ms)> onSleep;
  std::unique_ptr<app::MainCore> core;

  // Builds and initialises the core; with openPort the configured serial ports are opened.
  void Start(bool openPort = false) {
    app::CoreConfig c = TestCoreConfig(store, dir.path(), prompt, *audio);
    c.openSerialPort = openPort;
    c.sleep = [this](int ms) {
      sleeps.push_back(ms);
      if (onSleep) onSleep(ms);
    };
    core = std::make_unique<app::MainCore>(c, platform::TraceLog(), host, app::kTemplateNormal);
    core->OnInitDialog();
  }
  // Runs the main loop's wake-ups (and every `tickEvery` rounds a tick, 0: none) until `done`
  // holds; bounded at about 5 s. False when it never did.
  bool Serve(const std::function<bool()>& done, int tickEvery = 0) {
    for (int i = 0; i < 5000; ++i) {
      core->OnWake();
      if (tickEvery > 0 && i % tickEvery == 0) core->OnTimer();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
};

}  // namespace vexa::test
