// The operating console in the window under a headless display: the key rows and their
// keyboard bindings, the entry line's save, and the call analysis lines.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTableWidget>
#include <QTest>
#include <QUrl>
#include <cstdio>
#include <sstream>

#include "cli/cli.h"
#include "log/log_file.h"
#include "support/core_config.h"
#include "support/qt_app.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"
#include "ui/main_window.h"

namespace vexa::ui {
namespace {

using test::App;

class NullHost final : public app::CoreHost {
 public:
  bool StartTickTimer(int) override { return true; }
  void StopTickTimer() override {}
  void SetCaption(const std::string&) override {}
  void EndModalLoop(int) override {}
};

struct ConsoleWindow {
  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  test::ScriptPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio;
  NullHost host;
  std::unique_ptr<app::MainCore> core;
  std::unique_ptr<MainWindow> window;
  int64_t utc = 1796652309;

  void Start() {
    App();
    platform::FileAudioOptions o;
    o.outputPath = dir.File("tx.wav");
    std::string error;
    audio = platform::MakeFileBackend(o, error);
    ASSERT_NE(audio, nullptr) << error;
    (void)store.WriteSettingText("Station", "MyCall", "DL1ABC");
    core = std::make_unique<app::MainCore>(test::TestCoreConfig(store, dir.path(), prompt, *audio),
                                           platform::TraceLog(), host, app::kTemplateNormal);
    core->console().SetUtcSource([this] { return utc; });
    core->OnInitDialog();
    window = std::make_unique<MainWindow>(*core, app::kTemplateNormal);
    window->resize(1060, 700);
    window->show();
    QApplication::processEvents();
  }
  void Tick() {
    core->OnTimer();
    window->RefreshAfterTick();
  }
  std::string TransmitText() const {
    return window->transmitText()->toPlainText().toLatin1().toStdString();
  }
};

TEST(ConsoleWindow, F1WithANestedTextPutsTheExpansionIntoTheTransmitWindow) {
  ConsoleWindow w;
  (void)w.store.WriteSettingText("Keyboard", "F1", "CQ CQ <F2>");
  (void)w.store.WriteSettingText("Keyboard", "F2", "de <MYCALL> pse k");
  (void)w.store.WriteSettingText("Keyboard", "F1 Caption", "CQ");
  w.Start();
  EXPECT_EQ(w.window->keyButton(0)->text(), "CQ");
  EXPECT_EQ(w.window->keyButton(12)->text(), "Shift F1");
  EXPECT_EQ(w.window->keyButton(0)->focusPolicy(), Qt::NoFocus);
  w.window->transmitText()->setFocus();
  QTest::keyClick(w.window->transmitText(), Qt::Key_F1);
  EXPECT_EQ(w.TransmitText(), "CQ CQ de DL1ABC pse k");
  // The button does the same, at the caret.
  w.window->keyButton(1)->click();
  EXPECT_EQ(w.TransmitText(), "CQ CQ de DL1ABC pse kde DL1ABC pse k");
}

TEST(ConsoleWindow, KeyLineEndsBecomeLinesAndShiftKeysPlayTheLowerRow) {
  ConsoleWindow w;
  (void)w.store.WriteSettingText("Keyboard", "Shift F3", "<CR><LF>TU <MYCALL><CR><LF>");
  w.Start();
  QTest::keyClick(w.window->transmitText(), Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(w.TransmitText(), "\nTU DL1ABC\n");
}

TEST(ConsoleWindow, SavingFromTheEntryBoxWritesARecordTheLogCheckAccepts) {
  ConsoleWindow w;
  w.Start();
  w.core->rig().SetDial(14080000);
  QTest::keyClicks(w.window->qsoEntry(), "G4XYZ 599 579 John London");
  QTest::keyClick(w.window->qsoEntry(), Qt::Key_Return);
  const std::string log = test::ReadFileBytes(w.dir.File(log::kLogFileName));
  ASSERT_NE(log.find("G4XYZ"), std::string::npos) << log << w.prompt.asked;
  std::ostringstream out, err;
  const int rc = cli::RunCli(
      {"--config", w.dir.File("vexa.ini"), "--workdir", w.dir.path(), "log", "check"}, out, err);
  EXPECT_EQ(rc, 0) << out.str() << err.str();
}

TEST(ConsoleWindow, ASecondContactWithTheSameCallOnTheSameBandShowsQsoBefore) {
  ConsoleWindow w;
  w.Start();
  w.core->rig().SetDial(14080000);
  QTest::keyClicks(w.window->qsoEntry(), "G4XYZ 599 579");
  QTest::keyClick(w.window->qsoEntry(), Qt::Key_Return);
  w.utc += 2 * 3600 + 10 * 60;
  w.window->qsoEntry()->clear();
  QTest::keyClicks(w.window->qsoEntry(), "G4XYZ");
  w.Tick();
  EXPECT_EQ(w.window->alertLine()->text().toStdString(), "     QSO BEFORE   2:10 ago");
  // A new call clears it.
  w.window->qsoEntry()->clear();
  QTest::keyClicks(w.window->qsoEntry(), "OK1RR");
  w.Tick();
  EXPECT_EQ(w.window->alertLine()->text().toStdString().find("QSO BEFORE"), std::string::npos);
  EXPECT_FALSE(w.window->beamMap()->pixmap().isNull());
}

TEST(ConsoleWindow, EscapeTwiceAbortsAndTheClockShowsUtc) {
  ConsoleWindow w;
  w.Start();
  w.window->transmitText()->setPlainText("a text that waits to be sent");
  w.core->transmit().ToggleTransmit();
  ASSERT_TRUE(w.core->transmit().transmitter().active());
  QTest::keyClick(w.window->transmitText(), Qt::Key_Escape);
  EXPECT_TRUE(w.core->transmit().transmitter().active());
  QTest::keyClick(w.window->transmitText(), Qt::Key_Escape);
  EXPECT_FALSE(w.core->transmit().transmitter().active());
  w.Tick();
  EXPECT_EQ(w.core->console().clockText(), "14:05:09");
}

TEST(ConsoleWindow, ADroppedTextFileIsSentLineByLineThroughTheMacros) {
  ConsoleWindow w;
  w.Start();
  {
    std::FILE* f = std::fopen(w.dir.File("brag.txt").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("op <MYCALL>\r\nrig home made\r\n", f);
    std::fclose(f);
  }
  EXPECT_TRUE(
      w.window->DropFiles({QUrl::fromLocalFile(QString::fromStdString(w.dir.File("brag.txt"))),
                           QUrl::fromLocalFile("/nonexistent/second.txt")}));
  EXPECT_FALSE(w.window->DropFiles({QUrl("http://example.org/a.txt")}));
  EXPECT_EQ(w.TransmitText(), "op DL1ABC\nrig home made\n");
}

TEST(ConsoleWindow, StatisticsAndDxccInfoWindowsOpenFromTheMenu) {
  ConsoleWindow w;
  w.Start();
  auto* stats = w.window->findChild<QAction*>("statistics");
  auto* dxcc = w.window->findChild<QAction*>("dxccInfo");
  ASSERT_NE(stats, nullptr);
  ASSERT_NE(dxcc, nullptr);
  stats->trigger();
  auto* d = w.window->findChild<QDialog*>("Statistics");
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->isVisible());
  EXPECT_FALSE(d->findChild<QPlainTextEdit*>()->toPlainText().isEmpty());
  dxcc->trigger();
  auto* info = w.window->findChild<QDialog*>("DXCC INFO");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->windowTitle(), "DXCC INFO");
}

TEST(ConsoleWindow, TheLogViewShowsSavedContactsAndDeletesAfterTheQuestion) {
  ConsoleWindow w;
  w.Start();
  w.core->rig().SetDial(14080000);
  for (const char* line : {"G4XYZ 599 579", "OK1RR 599 599"}) {
    QTest::keyClicks(w.window->qsoEntry(), line);
    QTest::keyClick(w.window->qsoEntry(), Qt::Key_Return);
  }
  w.window->findChild<QAction*>("logView")->trigger();
  auto* table = w.window->findChild<QTableWidget*>("logTable");
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->item(1, 0)->text(), "OK1RR");
  EXPECT_EQ(table->currentRow(), 1);  // the newest contact is selected
  EXPECT_TRUE(table->hasFocus() || !w.window->logDialog()->isActiveWindow());
  w.prompt.answer = platform::PromptAnswer::Yes;
  w.window->findChild<QPushButton*>("logDelete")->click();
  EXPECT_NE(w.prompt.asked.find("Are you sure to delete this QSO?"), std::string::npos);
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 0)->text(), "G4XYZ");
}

TEST(ConsoleWindow, ScreenshotOfTheConsole) {
  ConsoleWindow w;
  (void)w.store.WriteSettingText("Keyboard", "F1 Caption", "CQ");
  (void)w.store.WriteSettingText("Keyboard", "F2 Caption", "Answer");
  (void)w.store.WriteSettingText("Keyboard", "F3 Caption", "1st over");
  (void)w.store.WriteSettingText("Keyboard", "F6 Caption", "73");
  // With the country file when the shared test data has it: the map and the country line.
  const std::string cty = std::string(VEXA_TESTDATA_DIR) + "/cty/cty.dat";
  if (std::FILE* f = std::fopen(cty.c_str(), "rb")) {
    std::string bytes;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    std::fclose(f);
    std::FILE* o = std::fopen(w.dir.File("cty.dat").c_str(), "wb");
    ASSERT_NE(o, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), o);
    std::fclose(o);
  }
  (void)w.store.WriteSettingText("Station", "MyLatitude", "52.5");
  (void)w.store.WriteSettingText("Station", "MyLongitude", "13.4");
  w.Start();
  w.core->rig().SetDial(14080000);
  QTest::keyClicks(w.window->qsoEntry(), "JA1ABC 599 579 Taro");
  w.Tick();
  QTest::keyClick(w.window->transmitText(), Qt::Key_F2);
  QApplication::processEvents();
  const QImage shot = w.window->grab().toImage();
  EXPECT_EQ(shot.width(), w.window->width());
  if (const char* out = std::getenv("VEXA_CONSOLE_SCREENSHOT")) {
    EXPECT_TRUE(shot.save(out));
  }
}

}  // namespace
}  // namespace vexa::ui
