// The console section driven through the core: keys through the settings, the expander's actions
// on the logbook and transmitter, Escape's abort counter, and Auto CQ on a fake wall clock.
#include "app/console_section.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/main_core.h"
#include "log/log_file.h"
#include "support/core_config.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"
#include "support/wake_host.h"

namespace vexa::app {
namespace {

struct ConsoleStation {
  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  test::ScriptPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio;
  test::WakeHost host;
  std::unique_ptr<MainCore> core;
  int64_t utc = 1796652309;  // 2026-12-07 14:05:09 UTC

  void Start() {
    platform::FileAudioOptions o;
    o.outputPath = dir.File("tx.wav");
    std::string error;
    audio = platform::MakeFileBackend(o, error);
    ASSERT_NE(audio, nullptr) << error;
    (void)store.WriteSettingText("Station", "MyCall", "DL1ABC");
    core = std::make_unique<MainCore>(test::TestCoreConfig(store, dir.path(), prompt, *audio),
                                      platform::TraceLog(), host, kTemplateNormal);
    core->console().SetUtcSource([this] { return utc; });
    core->OnInitDialog();
  }
  ConsoleSection& console() { return core->console(); }
  const std::string& window() { return core->transmit().plainTransmitText().text(); }
  bool sending() { return core->transmit().transmitter().active(); }
  // One second of wall time in 55 ms ticks.
  void Second() {
    ++utc;
    for (int i = 0; i < 19; ++i) core->OnTimer();
  }
};

TEST(ConsoleSection, SitsBetweenMemoriesAndSpots) {
  ConsoleStation st;
  st.Start();
  std::vector<std::string> names;
  for (Section* s : st.core->sections()) names.emplace_back(s->name());
  const auto at = [&](const char* n) { return std::find(names.begin(), names.end(), n); };
  ASSERT_NE(at("console"), names.end());
  EXPECT_EQ(at("console") - at("memories"), 1);
  EXPECT_EQ(at("spots") - at("console"), 1);
}

TEST(ConsoleSection, NestedKeysFromTheSettingsGoIntoTheTransmitWindow) {
  ConsoleStation st;
  (void)st.store.WriteSettingText("Keyboard", "F1", "CQ <F2><TX>");
  (void)st.store.WriteSettingText("Keyboard", "F2", "de <MYCALL> <MYCALL><SP>");
  (void)st.store.WriteSettingText("Keyboard", "F1 Caption", "CQ");
  st.Start();
  EXPECT_EQ(st.console().Caption(0), "CQ");
  EXPECT_EQ(st.console().Caption(13), "Shift F2");  // the built-in caption is the key name
  st.console().PressKey(0);
  EXPECT_EQ(st.window().substr(0, 17), "CQ de DL1ABC DL1A");
  EXPECT_TRUE(st.sending());
}

TEST(ConsoleSection, EditedTextsAreStoredInTheirStoredForm) {
  ConsoleStation st;
  st.Start();
  EXPECT_EQ(ConsoleSection::TextDialogTitle(14), "Text for Shift F3");
  EXPECT_EQ(ConsoleSection::CaptionDialogTitle(2), "Caption for F3");
  st.console().SetEditedText(2, "TU\r\n73 ");
  st.console().SetEditedText(console::kKeyIns, "<CALL> de <MYCALL>\r\n");
  st.console().SetCaption(2, "TU");
  EXPECT_EQ(st.store.ReadSettingText("Keyboard", "F3", ""), "TU<CR><LF>73<SP>");
  EXPECT_EQ(st.store.ReadSettingText("Keyboard", "Ins", ""), "<CALL> de <MYCALL><CR><LF>");
  EXPECT_EQ(st.store.ReadSettingText("Keyboard", "F3 Caption", ""), "TU");
  EXPECT_EQ(st.console().EditText(2), "TU\r\n73 ");
  st.core.reset();
  st.Start();  // a new window reads them back
  EXPECT_EQ(st.console().EditText(2), "TU\r\n73 ");
  EXPECT_EQ(st.console().Caption(2), "TU");
}

TEST(ConsoleSection, StampAndSaveFromAKeyWriteTheLog) {
  ConsoleStation st;
  (void)st.store.WriteSettingText("Keyboard", "F9", "<TIMESTAMP><SAVE>");
  st.Start();
  st.core->logbook().entry().call = "G4XYZ";
  st.core->logbook().TypeEntry("G4XYZ");
  st.console().PressKey(8);
  const std::string log = test::ReadFileBytes(st.dir.File(log::kLogFileName));
  EXPECT_NE(log.find("G4XYZ"), std::string::npos) << log << st.prompt.asked;
  EXPECT_NE(log.find("14.0"), std::string::npos) << log;
}

TEST(ConsoleSection, InsTakesTheLastReceivedCallIntoAnEmptyField) {
  ConsoleStation st;
  (void)st.store.WriteSettingText("Keyboard", "Ins", "<CALL> de <MYCALL>");
  st.Start();
  st.console().SetLastReceivedCall("OK1RR");
  st.console().PressIns();
  EXPECT_EQ(st.core->logbook().entry().call, "OK1RR");
  EXPECT_EQ(st.window(), "OK1RR de DL1ABC");
  st.console().SetLastReceivedCall("SP9ZZ");
  st.console().PressIns();  // a call already there stays
  EXPECT_EQ(st.core->logbook().entry().call, "OK1RR");
}

TEST(ConsoleSection, DoubleEscapeAbortsASoundTransmission) {
  ConsoleStation st;
  st.Start();
  st.core->transmit().plainTransmitText().Type("a long text that is still waiting");
  st.core->transmit().ToggleTransmit();
  ASSERT_TRUE(st.sending());
  st.console().PressEscape();
  EXPECT_TRUE(st.sending());
  EXPECT_TRUE(st.core->transmit().plainTransmitText().allSelected());
  // Six ticks later the first press has faded below the threshold.
  for (int i = 0; i < 6; ++i) st.core->OnTimer();
  st.console().PressEscape();
  EXPECT_TRUE(st.sending());
  // A quick second press aborts.
  st.core->OnTimer();
  st.console().PressEscape();
  EXPECT_FALSE(st.sending());
  EXPECT_EQ(st.window(), "");
}

TEST(ConsoleSection, AutoCqCallsAgainBetweenTenAndElevenSeconds) {
  ConsoleStation st;
  st.Start();
  st.console().AutoCqDialog(ConsoleSection::AutoCqButton::kBegin, "CQ de <MYCALL>\r\n", 10);
  EXPECT_TRUE(st.console().autoCqOn());
  EXPECT_EQ(st.store.ReadSettingText("Keyboard", "AutoCq", ""), "CQ de <MYCALL><CR><LF>");
  EXPECT_EQ(st.store.ReadSettingInt("Keyboard", "AutoCqDelay", 0), 10);
  ASSERT_TRUE(st.sending());
  st.Second();
  st.Second();
  st.core->transmit().transmitter().Abort();  // the call went out
  st.core->transmit().plainTransmitText().ClearWindow();
  ASSERT_FALSE(st.sending());
  for (int s = 1; s <= 10; ++s) {
    st.Second();
    EXPECT_FALSE(st.sending()) << s;
  }
  st.Second();
  EXPECT_TRUE(st.sending());
  EXPECT_EQ(st.window().substr(0, 12), "CQ de DL1ABC");
}

TEST(ConsoleSection, AutoCqStopsOnEveryWayOut) {
  ConsoleStation st;
  st.Start();
  auto& c = st.console();
  const auto restart = [&] { c.AutoCqDialog(ConsoleSection::AutoCqButton::kApply, "CQ", 10); };
  restart();
  EXPECT_TRUE(c.autoCqOn());
  EXPECT_FALSE(st.sending());  // Apply does not call at once
  c.AutoCqDialog(ConsoleSection::AutoCqButton::kCancel, "", 0);
  EXPECT_FALSE(c.autoCqOn());
  restart();
  c.PressEscape();
  EXPECT_FALSE(c.autoCqOn());
  restart();
  c.PressKey(5);
  EXPECT_FALSE(c.autoCqOn());
  restart();
  c.PressIns();
  EXPECT_FALSE(c.autoCqOn());
  restart();
  st.core->SetMode(Mode::Rtty);
  EXPECT_FALSE(c.autoCqOn());
  restart();
  st.core->rig().SetDial(7040000);
  c.OnRigFrequency(7040000);
  EXPECT_FALSE(c.autoCqOn());
  restart();
  st.core->logbook().entry().call = "W1AW";
  st.core->OnTimer();
  EXPECT_FALSE(c.autoCqOn());
  // <ACQ> switches it on again.
  st.core->logbook().entry().call.clear();
  (void)c.console().ExpandMacros("<ACQ>");
  EXPECT_TRUE(c.autoCqOn());
}

TEST(ConsoleSection, ClockShowsUtcOrLocalTime) {
  ConsoleStation st;
  st.Start();
  st.core->OnTimer();
  EXPECT_EQ(st.console().clockText(), "14:05:09");
  st.Second();
  EXPECT_EQ(st.console().clockText(), "14:05:10");
}

TEST(ConsoleSection, FieldsComeFromTheEntryAndTheRig) {
  ConsoleStation st;
  st.Start();
  st.core->rig().SetDial(14070000);
  auto& e = st.core->logbook().entry();
  e.call = "G4XYZ";
  e.name = "John";
  e.ownNumber = "090";
  st.core->members().short0.value = 1;
  st.core->members().short9.value = 1;
  st.core->SetMode(Mode::Cw);
  const std::string out = st.console().console().ExpandMacros("<CALL> <NAME> <NR> <RST> <MODE>");
  EXPECT_EQ(out, "G4XYZ John TNT 599 CW");
  const std::string band = st.console().console().ExpandMacros("<BAND>");
  EXPECT_TRUE(band == "20m") << band;
}

TEST(ConsoleSection, SecondContactOnTheSameBandShowsQsoBefore) {
  ConsoleStation st;
  st.Start();
  int beeps = 0;
  st.console().SetBeeper([&](int hz, int ms) {
    EXPECT_EQ(hz, 1500);
    EXPECT_EQ(ms, 100);
    ++beeps;
  });
  st.core->rig().SetDial(14070000);
  st.core->SetMode(Mode::Rtty);
  auto& e = st.core->logbook().entry();
  st.core->logbook().TypeEntry("G4XYZ");
  st.core->OnTimer();
  EXPECT_EQ(st.console().alertText().find("QSO BEFORE"), std::string::npos);
  e.call = "G4XYZ";
  ASSERT_EQ(st.console().SaveEntry(), log::kSaveOk) << st.prompt.asked;
  (void)e.ClearQso();
  st.utc += 3600 + 5 * 60;
  st.core->logbook().TypeEntry("g4xyz 599");
  st.core->OnTimer();
  EXPECT_EQ(st.console().analysedCall(), "G4XYZ");
  EXPECT_EQ(st.console().alertText(), "     QSO BEFORE   1:05 ago");
  EXPECT_EQ(beeps, 1);
  // On another band it is no duplicate.
  st.core->rig().SetDial(7040000);
  st.console().AnalyseCall("G4XYZ");
  EXPECT_EQ(st.console().alertText().find("QSO BEFORE"), std::string::npos);
  EXPECT_EQ(beeps, 1);
}

TEST(ConsoleSection, LogViewEditAndDeleteWithTheirQuestion) {
  ConsoleStation st;
  std::ofstream(st.dir.File(log::kLogFileName))
      << "G4XYZ 599/579 07/Dec/2026 10:00:00z CW 14.020.000\r\n\r\n"
      << "not a record at all\r\n\r\n"
      << "OK1RR 599/599 07/Dec/2026 11:00:00z RTTY 14.080.000\r\n\r\n";
  st.Start();
  auto& c = st.console();
  ASSERT_EQ(c.logView().RowCount(), 2);
  EXPECT_EQ(c.logView().Cells(1)[0], "OK1RR");
  // The age of a contact read from the file: 3 h 05 min before the clock.
  st.core->rig().SetDial(14080000);
  st.core->SetMode(Mode::Rtty);
  c.AnalyseCall("OK1RR");
  EXPECT_EQ(c.alertText(), "     QSO BEFORE   3:05 ago");
  // Edit: a text that is no record changes nothing.
  EXPECT_EQ(c.EditLogRow(0, "rubbish"), -1);
  const std::string edited = c.LogRowText(0);
  ASSERT_NE(edited.find("G4XYZ"), std::string::npos) << edited;
  std::string text = edited;
  text.replace(text.find("G4XYZ"), 5, "G4XYW");
  EXPECT_EQ(c.EditLogRow(0, text), 0);
  EXPECT_EQ(c.logView().Cells(0)[0], "G4XYW");
  std::string file = test::ReadFileBytes(st.dir.File(log::kLogFileName));
  EXPECT_NE(file.find("G4XYW"), std::string::npos);
  EXPECT_NE(file.find("not a record at all"), std::string::npos);  // nothing else is lost
  // Delete asks first; No keeps the contact.
  st.prompt.answer = platform::PromptAnswer::No;
  EXPECT_EQ(c.DeleteLogRow(1), 0);
  EXPECT_NE(st.prompt.asked.find("Are you sure to delete this QSO?"), std::string::npos);
  EXPECT_EQ(c.logView().RowCount(), 2);
  st.prompt.answer = platform::PromptAnswer::Yes;
  EXPECT_EQ(c.DeleteLogRow(1), 0);
  EXPECT_EQ(c.logView().RowCount(), 1);
  file = test::ReadFileBytes(st.dir.File(log::kLogFileName));
  EXPECT_EQ(file.find("OK1RR"), std::string::npos);
  EXPECT_NE(file.find("not a record at all"), std::string::npos);
  EXPECT_NE(c.DeleteLogRow(5), 0);
}

TEST(ConsoleSection, ReceivedTextFeedsTheLastCallAndTheExchange) {
  ConsoleStation st;
  std::ofstream(st.dir.File("names.dat")) << "Hans\n\n";
  st.Start();
  st.core->SetMode(Mode::Rtty);
  TextReceiveView view;
  st.core->receive().AttachReceiveView(&view);
  for (char c : std::string("de OK1RR OK1RR name hans 14\r\n"))
    st.core->receive().mainQueue().Put(static_cast<uint8_t>(c));
  for (int i = 0; i < 3; ++i) st.core->OnTimer();
  EXPECT_EQ(st.console().lastReceivedCall(), "OK1RR");
  EXPECT_EQ(st.console().scan().findings().name, "HANS");
  EXPECT_EQ(st.core->logbook().entry().zone, "14");
  // <GETCALL> takes it into the empty call field.
  (void)st.console().console().ExpandMacros("<GETCALL>");
  EXPECT_EQ(st.core->logbook().entry().call, "OK1RR");
}

TEST(ConsoleSection, CallbookFillsNameAndQthOnlyWhenThereIsOne) {
  ConsoleStation st;
  st.Start();
  auto& e = st.core->logbook().entry();
  e.call = "W1AW";
  (void)st.console().console().ExpandMacros("<LOOKUP>");  // no callbook: nothing, no error
  EXPECT_EQ(e.name, "");
  st.console().SetCallbook([](const std::string& call) {
    return call == "W1AW" ? std::string("Hiram\nNewington CT\n") : std::string();
  });
  (void)st.console().console().ExpandMacros("<LOOKUP>");
  EXPECT_EQ(e.name, "Hiram");
  EXPECT_EQ(e.qth, "Newington CT");
}

}  // namespace
}  // namespace vexa::app
