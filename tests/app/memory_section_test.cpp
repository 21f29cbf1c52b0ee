// The frequency memories through the core: store a whole set-up, change everything, recall it;
// the settings sections and their keys as written, an empty memory, and a restart.
#include "app/memory_section.h"

#include <gtest/gtest.h>

#include "app/headless_runner.h"
#include "app/main_core.h"
#include "decoders/rx_commands.h"
#include "support/core_config.h"
#include "support/test_paths.h"

namespace vexa::app {
namespace {

struct MemoryRig {
  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  platform::FixedPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio = platform::MakeNullBackend();
  HeadlessRunner host;
  std::unique_ptr<MainCore> core;
  MemoryRig() { Restart(); }
  void Restart() {
    core.reset();
    core = std::make_unique<MainCore>(test::TestCoreConfig(store, dir.path(), prompt, *audio),
                                      platform::TraceLog(), host, kTemplateNormal);
    core->OnInitDialog();
  }
};

TEST(Memories, StoreAndRecallAWholeSetUpThroughTheCommandRows) {
  MemoryRig r;
  auto& rx = r.core->receive();
  r.core->SetMode(Mode::Rtty);
  rx.TuneAll(1275.5);
  rx.SetTxFrequency(1300.25);
  rx.SetAfc(true);
  rx.SetNet(false);
  rx.SetTxFrequency(1300.25);
  r.core->rig().SetDial(7040000);
  r.prompt.SetAnswer(platform::PromptAnswer::Ok);
  double accepted = 0;
  ASSERT_EQ(decoders::ApplyRttyBaudRate("75", rx.decoders(), r.prompt, accepted), 0);
  r.core->OnMenuCommand(kCmdStoreMemory + 9);  // the tenth memory
  EXPECT_EQ(r.core->memories().ListText(9), "7.040.000");
  EXPECT_EQ(r.store.ReadSettingInt("Memory0", "SoundFq", -1), 1275500);
  EXPECT_EQ(r.store.ReadSettingInt("Memory0", "SoundFqTx", -1), 1300250);
  EXPECT_EQ(r.store.ReadSettingInt("Memory0", "HfFqRx", -1), 7040000);
  EXPECT_EQ(r.store.ReadSettingInt("Memory0", "HfFqTx", -1), 7040000);
  EXPECT_EQ(r.store.ReadSettingInt("Memory0", "Mode", -1), 4);
  EXPECT_EQ(r.store.ReadSettingInt("Memory0", "Param1", -1), 75000);
  EXPECT_EQ(r.store.ReadSettingInt("Memory0", "Flags", -1), 1);
  EXPECT_EQ(r.store.ReadSettingInt("Memory0", "Param3", -1), -1) << "never written";
  // The keys in the order they are written.
  const std::string ini = test::ReadFileBytes(r.dir.File("vexa.ini"));
  const size_t at = ini.find("[Memory0]");
  ASSERT_NE(at, std::string::npos);
  size_t last = at;
  for (const char* key : {"HfFqRx=", "HfFqTx=", "Mode=", "Param1=", "Param2=", "SoundFq=",
                          "SoundFqTx=", "SecondFq=", "Flags=", "Text="}) {
    const size_t k = ini.find(key, at);
    ASSERT_NE(k, std::string::npos) << key;
    EXPECT_GT(k, last) << key;
    last = k;
  }

  // Everything elsewhere, then back.
  r.core->SetMode(Mode::Psk31);
  rx.TuneAll(900);
  rx.SetTxFrequency(900);
  rx.SetAfc(false);
  r.core->rig().SetDial(14070000);
  ASSERT_EQ(decoders::ApplyRttyBaudRate("45.45", rx.decoders(), r.prompt, accepted), 0);
  r.core->OnMenuCommand(kCmdRecallMemory + 9);
  EXPECT_EQ(r.core->mode(), Mode::Rtty);
  EXPECT_DOUBLE_EQ(rx.rxFrequency(), 1275.5);
  EXPECT_DOUBLE_EQ(rx.txFrequency(), 1300.25);
  EXPECT_TRUE(rx.afc());
  EXPECT_DOUBLE_EQ(rx.rttyBaud(), 75.0);
  EXPECT_EQ(r.core->rig().dialHz(), 7040000);
  EXPECT_EQ(rx.rigFrequency(), 7040000);

  // A restart reads the memory back.
  r.Restart();
  EXPECT_TRUE(r.core->memories().memory(9).used);
  EXPECT_EQ(r.core->memories().ListText(9), "7.040.000");
  EXPECT_EQ(r.core->memories().ListText(0), "");
}

TEST(Memories, TheKeyerSpeedComesBackInCwOnlyAndNetIsSwitchedOn) {
  MemoryRig r;
  auto& tx = r.core->transmit();
  r.core->SetMode(Mode::Cw);
  const int stored = tx.transmitter().keyer().dotTicks();
  r.core->receive().SetNet(true);
  ASSERT_EQ(r.core->memories().StoreMemory(0), 0);
  EXPECT_EQ(r.store.ReadSettingInt("Memory1", "Flags", -1), 4);
  EXPECT_EQ(r.store.ReadSettingInt("Memory1", "Param2", -1), stored);
  ASSERT_EQ(r.core->memories().StoreMemory(1), 0);
  ASSERT_EQ(r.store.WriteSettingInt("Memory2", "Mode", 9), 0);  // memory 2 recalled as PSK31
  r.core->memories().LoadMemories();

  tx.CwFaster();
  tx.CwFaster();
  ASSERT_NE(tx.transmitter().keyer().dotTicks(), stored);
  const int faster = tx.transmitter().keyer().dotTicks();
  r.core->receive().SetNet(false);
  ASSERT_TRUE(r.core->memories().RecallMemory(1));  // PSK31 now: the keyer is left alone
  EXPECT_EQ(tx.transmitter().keyer().dotTicks(), faster);
  EXPECT_TRUE(r.core->receive().net());
  r.core->receive().SetNet(false);
  ASSERT_TRUE(r.core->memories().RecallMemory(0));  // CW: the keyer speed returns
  EXPECT_EQ(r.core->mode(), Mode::Cw);
  EXPECT_EQ(tx.transmitter().keyer().dotTicks(), stored);
  EXPECT_TRUE(r.core->receive().net());
}

TEST(Memories, AMemoryWithoutAudioFrequencyIsEmptyWhateverElseItHolds) {
  MemoryRig r;
  ASSERT_EQ(r.store.WriteSettingInt("Memory5", "SoundFq", 0), 0);
  ASSERT_EQ(r.store.WriteSettingInt("Memory5", "HfFqRx", 3573000), 0);
  ASSERT_EQ(r.store.WriteSettingInt("Memory5", "Mode", 0), 0);
  r.Restart();
  EXPECT_FALSE(r.core->memories().memory(4).used);
  EXPECT_EQ(r.core->memories().ListText(4), "");
  const double before = r.core->receive().rxFrequency();
  EXPECT_FALSE(r.core->memories().RecallMemory(4));
  EXPECT_EQ(r.core->mode(), Mode::Psk31);
  EXPECT_DOUBLE_EQ(r.core->receive().rxFrequency(), before);
  EXPECT_FALSE(r.core->memories().RecallMemory(10));
  EXPECT_FALSE(r.core->memories().RecallMemory(-1));
  EXPECT_EQ(r.core->memories().StoreMemory(10), 0);  // out of range: nothing written
  EXPECT_EQ(MemorySectionName(0), "Memory1");
  EXPECT_EQ(MemorySectionName(9), "Memory0");
}

}  // namespace
}  // namespace vexa::app
