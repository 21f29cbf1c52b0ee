#pragma once
// A station core with a contest chosen, over the two-country file and (optionally) a log.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "app/headless_runner.h"
#include "app/main_core.h"
#include "platform/audio/audio_backend.h"
#include "platform/files/trace_log.h"
#include "support/core_config.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"
#include "support/two_country_cty.h"

namespace vexa::app {

struct ContestStation {
  // utc: the console's clock, set before the core starts (none: the real clock).
  ContestStation(const char* contest, const char* myCall, const char* logText = nullptr,
                 std::function<int64_t()> utc = {}) {
    test::WriteFileBytes(dir.File("cty.dat"), test::kTwoCountryCty);
    if (logText != nullptr) test::WriteFileBytes(dir.File("log.log"), logText);
    EXPECT_EQ(store.WriteSettingText("Station", "MyCall", myCall), 0);
    EXPECT_EQ(store.WriteSettingText("Contest", "Name", contest), 0);
    core = std::make_unique<MainCore>(test::TestCoreConfig(store, dir.path(), prompt, *audio),
                                      trace, host, kTemplateNormal);
    if (utc) core->console().SetUtcSource(std::move(utc));
    core->OnInitDialog();
  }
  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  test::ScriptPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio = platform::MakeNullBackend();
  platform::TraceLog trace{dir.File("VexaDbg.log")};
  HeadlessRunner host;
  std::unique_ptr<MainCore> core;
};

}  // namespace vexa::app
