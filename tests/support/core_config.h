#pragma once
// The configuration of a station core in tests: settings and working folder in a temporary
// folder, the test's prompt and audio, no transceiver port and no real waits.
#include <string>

#include "app/station_context.h"

namespace vexa::test {

inline app::CoreConfig TestCoreConfig(platform::SettingsStore& store, const std::string& workDir,
                                      platform::Prompt& prompt, platform::AudioBackend& audio) {
  app::CoreConfig c;
  c.store = &store;
  c.paths.settingsFile = store.path();
  c.paths.workDir = workDir;
  c.prompt = &prompt;
  c.audio = &audio;
  c.openSerialPort = false;
  c.sleep = [](int) {};
  return c;
}

}  // namespace vexa::test
