#include "app/main_core.h"

#include <gtest/gtest.h>

#include <set>

#include "app/application.h"
#include "app/headless_runner.h"
#include "app/settings_table.h"
#include "decoders/decoder_chain.h"
#include "support/core_config.h"
#include "support/test_paths.h"

namespace vexa::app {
namespace {

constexpr const char* kOnePass =
    "Begin creating main dialog\n"
    "Init Main Dialog - step 1\n"
    "Init Main Dialog - step 2\n"
    "Init Main Dialog - step 3\n"
    "Init Main Dialog - step 4\n"
    "Init Main Dialog - step 5\n"
    "Main dialog has been created\nRunning Modal Loop\n"
    "Init Main Dialog - step 6\n"
    "Init Main Dialog - step 7\n"
    "Init Main Dialog - step 8\n";

constexpr const char* kRestOfInit =
    "Setting High Priority - step 9\n"
    "Init Main Dialog - step 10\n"
    "Init Main Dialog - step 11\n"
    "Init Main Dialog - step 12\n"
    "Init Main Dialog - step 13\n"
    "Init Main Dialog - step 14\n"
    "Init Main Dialog - step 15\n"
    "Init Main Dialog - step 16\n"
    "Init Main Dialog - step 17\n"
    "Init Main Dialog - step 18\n"
    "Init Main Dialog - step 19\n"
    "Init Main Dialog - step 20 (Last)\n";

constexpr const char* kHead =
    "Init instance\n"
    "Enable Control Container\n"
    "Enable 3D Controls\n"
    "Init Rich Edit\n"
    "Init Common Controls\n"
    "Get English Resourse Handle\n";

constexpr const char* kTail = "Exit from Modal Loop\nMain dialog deleted\n";

struct Fixture {
  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  platform::FixedPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio = platform::MakeNullBackend();
  platform::TraceLog trace{dir.File("VexaDbg.log")};

  CoreConfig Config() { return test::TestCoreConfig(store, dir.path(), prompt, *audio); }
};

TEST(Application, TracesAStartAndAnExitExactly) {
  Fixture f;
  test::WriteFileBytes(f.trace.path(), "left over from the last run\n");
  Application app(f.Config(), f.trace);
  HeadlessRunner runner;
  EXPECT_EQ(app.InitInstance(runner), kResultCancel);
  EXPECT_EQ(test::ReadFileBytes(f.trace.path()),
            std::string(kHead) + kOnePass + kRestOfInit + kTail + "Final Exit\n");
}

TEST(Application, LargeScreenReloadsOnceFromTheLargeTemplate) {
  Fixture f;
  ASSERT_EQ(f.store.WriteSettingInt("Keyboard", "LargeScreen", 1), 0);
  Application app(f.Config(), f.trace);
  HeadlessRunner runner;
  app.InitInstance(runner);
  EXPECT_EQ(app.templateNumber(), kTemplateLarge);
  EXPECT_EQ(test::ReadFileBytes(f.trace.path()), std::string(kHead) + kOnePass +
                                                     "Reloading Large Dialog\n" + kTail + kOnePass +
                                                     kRestOfInit + kTail + "Final Exit\n");
}

TEST(Application, ATimerFaultStopsInitialisationWithAMessage) {
  Fixture f;
  Application app(f.Config(), f.trace);
  HeadlessRunner runner;
  runner.failTimer = true;
  app.InitInstance(runner);
  EXPECT_EQ(f.prompt.shown, "Timer fault\n");
  const std::string t = test::ReadFileBytes(f.trace.path());
  EXPECT_NE(t.find("Init Main Dialog - step 11\nExit from Modal Loop\n"), std::string::npos) << t;
}

TEST(Application, MembersAreSavedWhenTheWindowGoes) {
  Fixture f;
  Application app(f.Config(), f.trace);
  HeadlessRunner runner;
  runner.onStart = [](MainCore& core) {
    core.SetMode(vexa::Mode::Rtty);
    core.receive().SetAfc(true);
    core.receive().SetRigFrequency(7040000);
    core.transmit().transmitter().keyer().SetNormalDotTicks(17);
  };
  app.InitInstance(runner);
  EXPECT_EQ(f.store.ReadSettingInt("Misc", "ModeOnExit", 0), 4);
  EXPECT_EQ(f.store.ReadSettingInt("Misc", "FqOnExit", 0), 7040000);
  EXPECT_EQ(f.store.ReadSettingInt("Misc", "AFC", 0), 1);
  EXPECT_EQ(f.store.ReadSettingInt("CW", "NormalSpeed", 0), 17);
  // Every member key and nothing else the window does not own.
  std::set<std::string> members;
  for (const auto& d : SettingsTable())
    if (d.regime == kMember) members.insert(d.section + "/" + d.key);
  for (const auto& m : members) {
    const auto slash = m.find('/');
    EXPECT_TRUE(f.store.HasSetting(m.substr(0, slash), m.substr(slash + 1))) << m;
  }
  EXPECT_FALSE(f.store.HasSetting("Station", "MyName"));
  EXPECT_EQ(f.store.ReadSettingInt("Main", "Left", -1), 0);
}

TEST(Application, WithSaveFqOnExitOffTheStoredFrequencyAndModeStay) {
  Fixture f;
  ASSERT_EQ(f.store.WriteSettingInt("Misc", "SaveFqOnExit", 0), 0);
  ASSERT_EQ(f.store.WriteSettingInt("Misc", "ModeOnExit", 17), 0);
  ASSERT_EQ(f.store.WriteSettingInt("Misc", "FqOnExit", 3580000), 0);
  Application app(f.Config(), f.trace);
  HeadlessRunner runner;
  runner.onStart = [](MainCore& core) {
    EXPECT_EQ(core.mode(), Mode::Psk31);  // not restored
    core.SetMode(vexa::Mode::Cw);
    core.receive().SetRigFrequency(1830000);
  };
  app.InitInstance(runner);
  EXPECT_EQ(f.store.ReadSettingInt("Misc", "ModeOnExit", 0), 17);
  EXPECT_EQ(f.store.ReadSettingInt("Misc", "FqOnExit", 0), 3580000);
}

// A core built and initialised in a headless host, driven by hand.
struct CoreRig : Fixture {
  HeadlessRunner host;
  std::unique_ptr<MainCore> core;
  TextReceiveView view;
  CoreRig() {
    core = std::make_unique<MainCore>(Config(), trace, host, kTemplateNormal);
    core->OnInitDialog();
    core->receive().AttachReceiveView(&view);
  }
};

TEST(MainCore, StartsInPsk31At1000HzAsNocall) {
  CoreRig r;
  EXPECT_EQ(r.core->mode(), Mode::Psk31);
  EXPECT_DOUBLE_EQ(r.core->receive().rxFrequency(), 1000.0);
  EXPECT_EQ(r.core->receive().rigFrequency(), 14070000);
  EXPECT_EQ(r.core->caption(), "Vexa [NOCALL]");
  EXPECT_EQ(r.host.caption, "Vexa [NOCALL]");
}

TEST(MainCore, ReceivedTextGoesToTheWindowLineByLine) {
  CoreRig r;
  r.core->receive().mainQueue().Put("CQ DE\rX\nAB\r\nZ\n\n");
  r.core->OnTimer();
  EXPECT_EQ(r.view.text, "CQ DE\rX\nAB\r\nZ\n\n");
  // CR ends a line; LF ends one unless it follows CR: "CQ DE\r", "X\n", "AB\r", "Z\n", "\n".
  EXPECT_EQ(r.view.lines, 5);
}

TEST(MainCore, ABackspaceRemovesTheLastCharacter) {
  CoreRig r;
  r.core->receive().mainQueue().Put("ABX");
  r.core->receive().mainQueue().Put(8);
  r.core->receive().mainQueue().Put("C");
  r.core->OnTimer();
  EXPECT_EQ(r.view.text, "ABC");
}

TEST(MainCore, TextWaitsWhileTheReceiveWindowHasTheFocus) {
  CoreRig r;
  r.view.focus = true;
  r.core->receive().mainQueue().Put("HELLO");
  r.core->OnTimer();
  EXPECT_EQ(r.view.text, "");
  r.view.focus = false;
  r.core->OnTimer();
  EXPECT_EQ(r.view.text, "HELLO");
}

TEST(MainCore, SquelchClosesBelow20AndDiscardsText) {
  CoreRig r;
  r.core->receive().SetSquelchSwitch(true);
  auto& bpsk = r.core->receive().decoders().bpsk();
  bpsk.quality = 10;
  r.core->receive().mainQueue().Put("noise");
  r.core->OnTimer();
  EXPECT_FALSE(r.core->receive().squelchOpen());
  EXPECT_EQ(r.view.text, "");
  EXPECT_TRUE(r.core->receive().mainQueue().Empty());
  // Hysteresis: 150 does not open it, 201 does.
  bpsk.quality = 150;
  r.core->OnTimer();
  EXPECT_FALSE(r.core->receive().squelchOpen());
  bpsk.quality = 201;
  r.core->receive().mainQueue().Put("text");
  r.core->OnTimer();
  EXPECT_TRUE(r.core->receive().squelchOpen());
  EXPECT_EQ(r.view.text, "text");
  // Outside the PSK modes the squelch does not act.
  r.core->SetMode(vexa::Mode::Rtty);
  bpsk.quality = 0;
  r.core->receive().mainQueue().Put("rtty");
  r.core->OnTimer();
  EXPECT_EQ(r.view.text, "textrtty");
}

TEST(MainCore, HintsShowEveryEighthTickAndHideOnTheNext) {
  CoreRig r;
  auto& bpsk = r.core->receive().decoders().bpsk();
  bpsk.quality = 250;
  bpsk.qpskLikeness = 250;
  for (int i = 0; i < 7; ++i) r.core->OnTimer();
  EXPECT_EQ(r.core->receive().hint(), ReceiveSection::Hint::None);
  r.core->OnTimer();  // tick 8
  EXPECT_EQ(r.core->receive().hint(), ReceiveSection::Hint::LooksLikeQpsk);
  for (int i = 0; i < 8; ++i) r.core->OnTimer();  // tick 16 hides it
  EXPECT_EQ(r.core->receive().hint(), ReceiveSection::Hint::None);
  r.core->SetMode(vexa::Mode::Qpsk);
  auto& qpsk = r.core->receive().decoders().qpsk();
  qpsk.quality = 250;
  qpsk.qpskLikeness = 10;
  for (int i = 0; i < 8; ++i) r.core->OnTimer();
  EXPECT_EQ(r.core->receive().hint(), ReceiveSection::Hint::LooksLikeBpsk);
}

TEST(MainCore, ClosingAsksAboutUnsavedTextAndHonoursEachAnswer) {
  for (auto answer :
       {platform::PromptAnswer::Yes, platform::PromptAnswer::No, platform::PromptAnswer::Cancel}) {
    CoreRig r;
    r.core->logbook().TypeEntry("DL1ABC 599 599 Hans");
    ASSERT_TRUE(r.core->logbook().entryUnsaved());
    r.prompt.SetAnswer(answer);
    const bool closed = r.core->RequestClose();
    EXPECT_EQ(r.prompt.asked.substr(0, 26), "Text is not saved!\r\nSave?\n");
    EXPECT_EQ(closed, answer != platform::PromptAnswer::Cancel);
    const std::string log = test::ReadFileBytes(r.dir.File("log.log"));
    if (answer == platform::PromptAnswer::Yes) {
      EXPECT_NE(log.find("DL1ABC 599 599 Hans"), std::string::npos) << log;
      EXPECT_FALSE(r.core->logbook().entryUnsaved());
    } else {
      EXPECT_EQ(log.find("DL1ABC"), std::string::npos) << log;
    }
  }
  CoreRig clean;
  EXPECT_TRUE(clean.core->RequestClose());
  EXPECT_EQ(clean.prompt.asked, "");
}

TEST(MainCore, OneSecondCadenceFromThe55msTick) {
  CoreRig r;
  for (int i = 0; i < 100; ++i) r.core->OnTimer();
  // 100 ticks are 5500 ms: five whole seconds.
  EXPECT_EQ(r.core->seconds(), 5u);
  for (int i = 0; i < 10; ++i) r.core->OnTimer();
  EXPECT_EQ(r.core->seconds(), 6u);  // 6050 ms
}

}  // namespace
}  // namespace vexa::app

namespace vexa::app {
namespace {

TEST(MainCore, AMissingCountryFileIsANoticeNotAStop) {
  CoreRig r;
  EXPECT_NE(r.core->startupNotice().find("cty.dat"), std::string::npos) << r.core->startupNotice();
  EXPECT_EQ(r.prompt.shown, "") << "no dialog at start-up";
  EXPECT_TRUE(r.core->logbook().countries().empty());
}

TEST(MainCore, StartUpLoadsTheCountryFileAndPlacesTheStation) {
  VEXA_REQUIRE_TESTDATA("cty/cty.dat");
  Fixture f;
  std::filesystem::copy_file(test::TestDataPath("cty/cty.dat"), f.dir.File("cty.dat"));
  ASSERT_EQ(f.store.WriteSettingText("Station", "MyCall", "DL1ABC"), 0);
  HeadlessRunner host;
  MainCore core(f.Config(), f.trace, host, kTemplateNormal);
  core.OnInitDialog();
  EXPECT_EQ(core.startupNotice(), "");
  EXPECT_GT(core.logbook().countries().size(), 300);
  // Germany's position in the country file: about 51 N, 10 E.
  EXPECT_NEAR(core.logbook().myLatitude(), 51, 2);
  EXPECT_NEAR(core.logbook().myLongitude(), 10, 2);
}

TEST(MainCore, StartUpScansTheLogAndCountsItsErrors) {
  Fixture f;
  test::WriteFileBytes(f.dir.File("log.log"),
                       "DL1ABC 01/Dec/2026 12:00:00z 14.070.150 PSK31 599/579\r\n\r\n"
                       "\x01\x02 garbage that is no contact\r\n\r\n"
                       "W1AW 02/Dec/2026 13:00:00z 7.030.000 CW 579/559\r\n\r\n");
  HeadlessRunner host;
  MainCore core(f.Config(), f.trace, host, kTemplateNormal);
  core.OnInitDialog();
  EXPECT_EQ(core.logbook().logScan().qsoTotal, 2);
  EXPECT_EQ(core.logbook().logScan().errorCount, 1);
  EXPECT_NE(core.startupNotice().find("1 log lines do not parse"), std::string::npos);
}

TEST(MainCore, ExportCommandsWriteTheAdifAndCsvFiles) {
  Fixture f;
  test::WriteFileBytes(f.dir.File("log.log"),
                       "DL1ABC 01/Dec/2026 12:00:00z 14.070.150 PSK31 599/579\r\n\r\n");
  HeadlessRunner host;
  MainCore core(f.Config(), f.trace, host, kTemplateNormal);
  core.OnInitDialog();
  core.OnSysCommand(kCmdExportAdif);
  core.OnSysCommand(kCmdExportCsv | 0x3);  // the low four bits do not count
  EXPECT_NE(test::ReadFileBytes(f.dir.File("LOG.ADI")).find("<CALL:6>DL1ABC"), std::string::npos);
  EXPECT_NE(test::ReadFileBytes(f.dir.File("LOG.CSV")).find("DL1ABC;"), std::string::npos);
}

}  // namespace
}  // namespace vexa::app

namespace vexa::app {
namespace {

TEST(Application, ALayoutChangeInSetupRebuildsTheWindowFromTheOtherTemplate) {
  Fixture f;
  Application app(f.Config(), f.trace);
  HeadlessRunner runner;
  int passes = 0;
  runner.onStart = [&](MainCore& core) {
    ++passes;
    if (passes == 1) {
      EXPECT_EQ(core.templateNumber(), kTemplateNormal);
      EXPECT_FALSE(core.ApplyLayoutAndLanguage(false, 0));  // nothing changed: no reload
      EXPECT_TRUE(core.ApplyLayoutAndLanguage(true, 0));
    } else {
      EXPECT_EQ(core.templateNumber(), kTemplateLarge);
    }
  };
  app.InitInstance(runner);
  EXPECT_EQ(passes, 2);
  EXPECT_EQ(f.store.ReadSettingInt("Keyboard", "LargeScreen", 0), 1);
  const std::string t = test::ReadFileBytes(f.trace.path());
  size_t n = 0;
  for (size_t p = t.find("Begin creating main dialog"); p != std::string::npos;
       p = t.find("Begin creating main dialog", p + 1))
    ++n;
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(t.find("Reloading Large Dialog"), std::string::npos) << "built large at once";
}

}  // namespace
}  // namespace vexa::app

namespace vexa::app {
namespace {

TEST(MainCore, TncBytesGoToThePacketQueueOnlyWithTheExternalTnc) {
  CoreRig r;
  const uint8_t frame[] = {0xC0, 0x00, 0x41, 0xC0};
  r.core->OnTncSerialData(frame);
  EXPECT_TRUE(r.core->packetReceiveQueue().empty());
  r.core->members().modemType.value = 7;
  r.core->OnTncSerialData(frame);
  EXPECT_EQ(r.core->packetReceiveQueue().size(), 4u);
  std::vector<uint8_t> flood(70000, 0x55);
  r.core->OnTncSerialData(flood);
  EXPECT_EQ(r.core->packetReceiveQueue().size(), 65536u);
}

TEST(MainCore, SignalCheckTicksItsBoxWithoutASignal) {
  CoreRig r;
  r.core->SetMode(vexa::Mode::Rtty);
  r.core->receive().SetSignalCheck(true);
  std::vector<int16_t> silence(2048, 0);
  for (int i = 0; i < 6; ++i) {
    r.core->receive().receiveLoop().ProcessBlock(silence);
    r.core->receive().RenderSpectrum(1034, 160);
  }
  // More than three weak frames tick the box.
  EXPECT_TRUE(r.core->receive().spectrum().signalCheckChecked());
}

}  // namespace
}  // namespace vexa::app
