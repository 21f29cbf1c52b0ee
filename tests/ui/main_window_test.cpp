// The desktop program under a headless display: the window is a view over the core, driven here
// with the demo audio block by block and with synthetic mouse events.
#include "ui/main_window.h"
#include "ui/setup_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDoubleSpinBox>
#include <QImage>
#include <QMouseEvent>
#include <QProcess>
#include <QTabWidget>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <set>

#include "app/demo_audio.h"
#include "app/file_receiver.h"
#include "app/headless_runner.h"
#include "decoders/decoder_chain.h"
#include "support/core_config.h"
#include "support/qt_app.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"

namespace vexa::ui {
namespace {

using test::App;

class Rig {
 public:
  explicit Rig(int soundHistory = 0) {
    App();
    EXPECT_EQ(store.WriteSettingInt("Misc", "SoundHistory", soundHistory), 0);
    core = std::make_unique<app::MainCore>(test::TestCoreConfig(store, dir.path(), prompt, *audio),
                                           platform::TraceLog(), host, app::kTemplateNormal);
    core->OnInitDialog();
    window = std::make_unique<MainWindow>(*core, app::kTemplateNormal);
    window->resize(1060, 640);
    window->show();
    QApplication::processEvents();
  }
  // Feeds the next blocks of the demo through the receive loop, repainting the waterfall and
  // running the ticks that fall into each block's time.
  void Feed(int blocks) {
    for (int b = 0; b < blocks; ++b) {
      const size_t at = static_cast<size_t>(next_++) * 2048;
      ASSERT_LE(at + 2048, demo.size());
      core->receive().receiveLoop().ProcessBlock(std::span<const int16_t>(demo.data() + at, 2048));
      (void)window->spectrum()->grab();  // a repaint: computes the frame, applies clicks
      for (; tickMs_ < (next_ * 2048.0 * 1000 / 11025); tickMs_ += 55) {
        core->OnTimer();
        window->RefreshAfterTick();
      }
    }
  }
  void Click(double hz, Qt::MouseButton button, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    const int x = core->receive().spectrum().MarkerX(hz);
    const QPointF pos(x + 0.5, 100);
    QMouseEvent e(QEvent::MouseButtonPress, pos, window->spectrum()->mapToGlobal(pos), button,
                  button, mods);
    QApplication::sendEvent(window->spectrum(), &e);
  }
  std::string ReceivedText() const { return window->receiveText()->toPlainText().toStdString(); }

  template <typename W>
  W* Find(const char* name) const {
    W* w = window->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  test::ScriptPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio = platform::MakeNullBackend();
  app::HeadlessRunner host;
  std::unique_ptr<app::MainCore> core;
  std::unique_ptr<MainWindow> window;
  std::vector<int16_t> demo = app::MakeDemoAudio(30);

 private:
  int next_ = 0;
  double tickMs_ = 0;
};

TEST(MainWindow, AClickOnADemoSignalTunesToItAndItsTextAppears) {
  Rig r;
  r.core->receive().SetNet(true);  // the transmit frequency follows
  r.Feed(4);
  r.Click(1500, Qt::LeftButton);
  r.Feed(1);
  EXPECT_NEAR(r.core->receive().rxFrequency(), 1500, 3.0);
  EXPECT_NEAR(r.core->receive().txFrequency(), 1500, 3.0);
  EXPECT_NEAR(r.window->findChildren<QDoubleSpinBox*>()[0]->value(), 1500, 3.0);
  r.Feed(100);
  EXPECT_NE(r.ReceivedText().find("VX3PSK"), std::string::npos) << r.ReceivedText();
  EXPECT_EQ(r.ReceivedText().find("VX1DEM VX1DEM VX1DEM pse k"), std::string::npos)
      << "the station at 1000 Hz must not be heard at 1500 Hz";
}

TEST(MainWindow, WithoutNetTheTransmitFrequencyStaysAndARightClickMovesOnlyIt) {
  Rig r;
  r.Feed(1);
  r.Click(1500, Qt::LeftButton);
  r.Feed(1);
  EXPECT_NEAR(r.core->receive().rxFrequency(), 1500, 3.0);
  EXPECT_DOUBLE_EQ(r.core->receive().txFrequency(), 1000);
  r.core->receive().TuneAll(1000);
  r.Click(1200, Qt::RightButton);
  r.Feed(1);
  EXPECT_NEAR(r.core->receive().txFrequency(), 1200, 3.0);
  EXPECT_DOUBLE_EQ(r.core->receive().rxFrequency(), 1000);
}

TEST(MainWindow, ShiftClickStartsTheSecondChannelWithItsCatchUp) {
  Rig r(1);  // two seconds of history
  r.Click(1500, Qt::LeftButton);
  r.Feed(60);  // about 11 s at 1500 Hz; the ring holds the last 2 s of the band
  r.Click(1000, Qt::LeftButton, Qt::ShiftModifier);
  r.Feed(1);  // the next frame places the channel and starts the catch-up
  EXPECT_NEAR(r.core->receive().secondFrequency(), 1000, 3.0);
  EXPECT_GE(r.core->receive().receiveLoop().replayIndex(), 0);
  r.Feed(1);
  EXPECT_EQ(r.core->receive().receiveLoop().replayIndex(), -1)
      << "the catch-up ran through the ring";
  r.Feed(60);
  // The second channel window shows the station at 1000 Hz while the main window stays at 1500.
  QString second;
  for (auto* w : QApplication::topLevelWidgets())
    if (w->windowTitle().startsWith("Second RX channel") && w->isVisible())
      for (auto* t : w->findChildren<QPlainTextEdit*>()) second += t->toPlainText();
  // "pse k" was sent before the click: only the catch-up on the stored audio can have heard it.
  EXPECT_TRUE(second.contains("pse k")) << second.toStdString();
  EXPECT_TRUE(second.contains("Welcome to Vexa")) << second.toStdString();
  // Shift and the right button switch it off.
  r.Click(1000, Qt::RightButton, Qt::ShiftModifier);
  r.Feed(1);
  EXPECT_FALSE(r.core->receive().receiveLoop().secondActive());
}

TEST(MainWindow, TheProgramsScreenshotShowsTheWaterfallAndTheMarkers) {
  test::TempDir dir;
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("LSAN_OPTIONS",
             QString("suppressions=") + VEXA_LSAN_SUPPRESSIONS + ":fast_unwind_on_malloc=0");
  p.setProcessEnvironment(env);
  const QString shot = QString::fromStdString(dir.File("shot.png"));
  p.start(QString(VEXA_BIN_DIR) + "/vexa",
          {"--config", QString::fromStdString(dir.File("v.ini")), "--workdir",
           QString::fromStdString(dir.path()), "--demo", "--rx-freq", "1500", "--screenshot", shot,
           "--after", "3"});
  ASSERT_TRUE(p.waitForFinished(60000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  QImage img(shot);
  ASSERT_FALSE(img.isNull());
  EXPECT_GE(img.width(), 600);
  // The waterfall rows under the scale are not blank: many different colours.
  Rig r;  // the same geometry as the program's window
  const QPoint origin = r.window->spectrum()->mapTo(r.window.get(), QPoint(0, 0));
  std::set<QRgb> colours;
  for (int x = 0; x < 900; x += 3) colours.insert(img.pixel(origin.x() + x, origin.y() + 26));
  EXPECT_GT(colours.size(), 20u);
  // The receive marker (red) sits at the column of 1500 Hz in the scale strip.
  r.core->receive().TuneAll(1500);
  (void)r.window->spectrum()->grab();
  const int mx = r.core->receive().spectrum().MarkerX(1500);
  bool red = false;
  for (int y = 0; y < 24 && !red; ++y)
    for (int dx = -1; dx <= 1; ++dx)
      red = red || img.pixel(origin.x() + mx + dx, origin.y() + y) == qRgb(255, 0, 0);
  EXPECT_TRUE(red) << "no receive marker at x=" << mx;
}

// Decodes a WAV file through the program's receive path.
std::string DecodeWav(const std::string& wav, int mode, double hz) {
  test::TempDir dir;
  const auto r = app::ReceiveFile(wav, static_cast<vexa::Mode>(mode), hz, dir.path());
  EXPECT_TRUE(r.ok) << r.error;
  return r.text;
}

TEST(MainWindow, TextTypedBeforeTheCaretIsSentWithTheTxButton) {
  App();
  test::TempDir dir;
  platform::SettingsStore store(dir.File("vexa.ini"));
  platform::FileAudioOptions o;
  o.outputPath = dir.File("tx.wav");
  std::string error;
  auto audio = platform::MakeFileBackend(o, error);
  ASSERT_NE(audio, nullptr) << error;
  platform::FixedPrompt prompt;
  app::CoreConfig c;
  c.store = &store;
  c.prompt = &prompt;
  c.audio = audio.get();
  c.openSerialPort = false;
  app::HeadlessRunner host;
  app::MainCore core(c, platform::TraceLog(), host, app::kTemplateNormal);
  core.OnInitDialog();
  MainWindow w(core, app::kTemplateNormal);
  w.show();
  // Typed text; the caret is put back before "LATER", which must wait.
  auto* tx = w.transmitText();
  tx->insertPlainText("cq de vx7gui vx7gui k LATER");
  QTextCursor cur = tx->textCursor();
  cur.setPosition(21);
  tx->setTextCursor(cur);
  w.txButton()->click();
  ASSERT_TRUE(core.transmit().transmitting());
  EXPECT_TRUE(w.txButton()->isChecked());
  for (int i = 0; i < 400; ++i) {
    core.OnOutputDone();
    core.OnTimer();
  }
  EXPECT_EQ(tx->toPlainText().toStdString(), " LATER") << "sent characters leave the window";
  EXPECT_NE(w.receiveText()->toPlainText().toStdString().find("cq de vx7gui vx7gui k"),
            std::string::npos)
      << "echo";
  w.txButton()->click();  // back to receive after the tail
  for (int i = 0; i < 400 && core.transmit().transmitting(); ++i) core.OnOutputDone();
  EXPECT_FALSE(core.transmit().transmitting());
  w.RefreshAfterTick();
  EXPECT_FALSE(w.txButton()->isChecked());
  const std::string got = DecodeWav(dir.File("tx.wav"), 9, 1000);
  EXPECT_NE(got.find("cq de vx7gui vx7gui k"), std::string::npos) << got;
  EXPECT_EQ(got.find("LATER"), std::string::npos) << got;
}

TEST(MainWindow, HellschreiberWindowShowsInHellModeAndKeepsItsSwitches) {
  Rig r;
  EXPECT_FALSE(r.window->hellWindow()->isVisible());
  r.core->SetMode(vexa::Mode::Hell);
  r.window->SyncControls();
  EXPECT_TRUE(r.window->hellWindow()->isVisible());
  EXPECT_TRUE(r.window->hellWindow()->negative());  // the default
  // Pixels from the receiver reach the window's image.
  r.core->receive().decoders().hell().set_sink(&r.window->hellWindow()->image());
  std::vector<int16_t> tone(11025);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 1000 * i / 11025.0));
  r.core->receive().receiveLoop().ProcessBlock(tone);
  EXPECT_GT(r.window->hellWindow()->image().pixelCount(), 300);
  r.window.reset();  // closing writes the switches
  EXPECT_EQ(r.store.ReadSettingInt("Hellscreiber", "Negative", -1), 1);
  EXPECT_EQ(r.store.ReadSettingInt("Hellscreiber", "Scroll", -1), 0);
}

TEST(MainWindow, TheRttyControlsReachTheReceiver) {
  Rig r;
  r.core->SetMode(vexa::Mode::Rtty);
  r.window->SyncControls();
  auto& rx = r.core->receive();
  // The baud-rate box, answered 50, then refused at 5.
  r.prompt.answers = {"50", "5"};
  r.Find<QPushButton>("rttyBaud")->click();
  EXPECT_EQ(r.prompt.asked, "Set RTTY BAUDRATE: Baud rate [45.45]\n");
  EXPECT_DOUBLE_EQ(rx.rttyBaud(), 50.0);
  r.Find<QPushButton>("rttyBaud")->click();
  EXPECT_EQ(r.prompt.shown, "Baud rate is out of range\n");
  EXPECT_DOUBLE_EQ(rx.rttyBaud(), 50.0);
  // Unshift on space and the sideband switch.
  r.Find<QCheckBox>("unshiftOnSpace")->click();
  EXPECT_TRUE(rx.unshiftOnSpace());
  EXPECT_TRUE(rx.decoders().rttySingle().decoder.unshiftOnSpace);
  EXPECT_FALSE(rx.inversion());
  r.Find<QCheckBox>("lowerSideband")->click();
  EXPECT_TRUE(rx.lowerSideband());
  EXPECT_TRUE(rx.inversion());  // DigiSide 0: LSB inverts
  rx.decoders().rttySingle().decoder.decodeTable = decoders::kBaudotFigures;
  r.Find<QPushButton>("unshift")->click();
  EXPECT_FALSE(rx.decoders().rttySingle().decoder.InFigures());
  // The stronger demodulator in place of the classic ones, and back.
  EXPECT_FALSE(rx.bestDemod());
  r.Find<QCheckBox>("bestDemod")->click();
  EXPECT_TRUE(rx.bestDemod());
  r.Find<QCheckBox>("bestDemod")->click();
  EXPECT_FALSE(rx.bestDemod());
}

TEST(MainWindow, TheCwSpeedDialogAndTheLineTestAndThePortMonitor) {
  Rig r;
  r.Find<QPushButton>("cwSpeed")->click();
  ASSERT_TRUE(r.window->cwSpeedDialog()->isVisible());
  auto* caption = r.Find<QLabel>("cwCaption");
  EXPECT_EQ(caption->text().toStdString(), r.core->transmit().CwSpeedCaption());
  const int wpm = r.core->transmit().cwWpm();
  r.Find<QPushButton>("cwFaster")->click();
  EXPECT_GT(r.core->transmit().cwWpm(), wpm);
  EXPECT_EQ(caption->text().toStdString(),
            "CW SPEED " + std::to_string(r.core->transmit().cwWpm()) + " WPM");
  r.window->cwSpeedDialog()->move(130, 140);
  r.window->cwSpeedDialog()->done(0);
  EXPECT_EQ(r.store.ReadSettingInt("CwDialog", "Left", -1), r.window->cwSpeedDialog()->x());

  // No transceiver port here: the line test says so and leaves the boxes clear.
  r.Find<QAction>("testLines")->trigger();
  ASSERT_TRUE(r.window->testLinesDialog()->isVisible());
  auto* dtr = r.Find<QCheckBox>("testDtr");
  dtr->click();
  EXPECT_FALSE(dtr->isChecked());
  EXPECT_FALSE(r.Find<QLabel>("testState")->text().isEmpty());

  // The monitor action opens the window and switches the section's monitor.
  r.Find<QAction>("portMonitor")->trigger();
  EXPECT_TRUE(r.core->transmit().portMonitor());
  EXPECT_TRUE(r.window->portMonitorWindow()->isVisible());
  r.window->portMonitorWindow()->done(0);
  EXPECT_FALSE(r.core->transmit().portMonitor());
}

TEST(MainWindow, TheQsoLineSavesToTheLogAndAnUnsavedLineIsAskedAboutAtClose) {
  Rig r;
  auto* qso = r.window->qsoEntry();
  qso->setFocus();
  QTest::keyClicks(qso, "DL1ABC 599 599 Hans");
  EXPECT_TRUE(r.core->logbook().entryUnsaved());
  r.prompt.answer = platform::PromptAnswer::Yes;  // "Not parsed" without a frequency: save anyway
  r.Find<QPushButton>("qsoSave")->click();
  EXPECT_NE(test::ReadFileBytes(r.dir.File("log.log")).find("DL1ABC 599 599 Hans"),
            std::string::npos);
  EXPECT_FALSE(r.core->logbook().entryUnsaved());
  EXPECT_EQ(qso->text(), "");

  QTest::keyClicks(qso, "K1ABC");
  r.prompt.asked.clear();
  r.prompt.answer = platform::PromptAnswer::Cancel;
  EXPECT_FALSE(r.core->RequestClose());
  EXPECT_EQ(r.prompt.asked, "Text is not saved!\r\nSave?\n");
}

TEST(MainWindow, TheRigFrequencyShowsTheOperatingFrequencyAndAClickSetsIt) {
  Rig r;
  r.window->RefreshAfterTick();
  // No CAT: the display still follows the dial and the receive audio frequency.
  EXPECT_EQ(r.window->rigFrequency()->text().toStdString(), "14.072.000");  // 14.071 + 1000 Hz
  EXPECT_EQ(r.window->rigStatus()->text().toStdString().substr(0, 6), "No CAT");
  r.prompt.answers = {"7.041.500", "seven"};
  r.window->rigFrequency()->click();
  EXPECT_EQ(r.core->rig().dialHz(), 7040500);
  EXPECT_EQ(r.window->rigFrequency()->text().toStdString(), "7.041.500");
  EXPECT_EQ(r.core->receive().rigFrequency(), 7040500);  // the waterfall scale follows
  r.window->rigFrequency()->click();
  EXPECT_EQ(r.prompt.shown, "Not a frequency: seven\n");
  EXPECT_EQ(r.core->rig().dialHz(), 7040500);
}

TEST(MainWindow, TheMemoryRowStoresAndRecallsTheSelectedMemory) {
  Rig r;
  auto* list = r.window->memoryList();
  ASSERT_EQ(list->count(), 10);
  EXPECT_EQ(list->itemText(2).toStdString(), "M3  -");
  r.core->rig().SetDial(3580000);
  r.core->receive().TuneAll(1234);
  list->setCurrentIndex(2);
  r.Find<QPushButton>("memoryStore")->click();
  EXPECT_EQ(list->itemText(2).toStdString(), "M3  3.580.000");
  EXPECT_EQ(list->currentIndex(), 2);
  r.core->rig().SetDial(14070000);
  r.core->receive().TuneAll(800);
  r.Find<QPushButton>("memoryRecall")->click();
  EXPECT_EQ(r.core->rig().dialHz(), 3580000);
  EXPECT_EQ(r.window->rigFrequency()->text().toStdString(), "3.581.234");
  EXPECT_EQ(r.window->findChild<QDoubleSpinBox*>()->value(), 1234);  // the RX field follows
}

}  // namespace
}  // namespace vexa::ui

namespace vexa::ui {
namespace {

TEST(MainWindow, TheSetupSheetShowsItsPagesAndOkAppliesThem) {
  Rig r;
  SetupDialog sheet(*r.core, r.window.get());
  EXPECT_EQ(sheet.windowTitle().toStdString(), "Setup");
  auto* tabs = sheet.findChild<QTabWidget*>();
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->count(), 6);
  EXPECT_EQ(tabs->tabText(0).toStdString(), "Personal data");
  EXPECT_EQ(tabs->tabText(5).toStdString(), "Language");
  auto* name = qobject_cast<QLineEdit*>(sheet.Editor("Station", "MyName"));
  auto* type = qobject_cast<QComboBox*>(sheet.Editor("TX1", "Type"));
  auto* port = qobject_cast<QLineEdit*>(sheet.Editor("TX1", "NetRigPort"));
  auto* sb = qobject_cast<QCheckBox*>(sheet.Editor("CW", "UseSB"));
  ASSERT_TRUE(name && type && port && sb);
  EXPECT_EQ(name->text().toStdString(), "OP");
  EXPECT_TRUE(sb->isChecked());
  // The rig server's fields are for a rig on the network only.
  EXPECT_FALSE(port->isEnabled());
  type->setCurrentIndex(type->findData(6));
  EXPECT_TRUE(port->isEnabled());

  // A refused value: said through the prompt, the sheet stays open, nothing is stored.
  port->setText("0");
  name->setText("Carla");
  sheet.show();
  sheet.accept();
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_NE(r.prompt.shown.find("Rig server port: from 1 to 65535"), std::string::npos)
      << r.prompt.shown;
  EXPECT_EQ(r.store.ReadSettingText("Station", "MyName", "<none>"), "<none>");

  port->setText("4533");
  sb->setChecked(false);
  sheet.accept();
  EXPECT_FALSE(sheet.isVisible());
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
  EXPECT_EQ(r.store.ReadSettingText("Station", "MyName", ""), "Carla");
  EXPECT_EQ(r.store.ReadSettingInt("TX1", "Type", 0), 6);
  EXPECT_EQ(r.store.ReadSettingInt("TX1", "NetRigPort", 0), 4533);
  EXPECT_EQ(r.core->members().useSb.value, 0);
  EXPECT_NE(r.core->rig().StatusText().find("rigctld: not connected to 127.0.0.1:4533"),
            std::string::npos)
      << r.core->rig().StatusText();
}

}  // namespace
}  // namespace vexa::ui

namespace vexa::ui {
namespace {

TEST(MainWindow, TheTncTerminalShowsWhatComesTakesTypingAndKeepsItsSettings) {
  Rig r;
  ASSERT_EQ(r.store.WriteSettingInt("TNC", "Com", 0), 0);
  ASSERT_EQ(r.store.WriteSettingInt("TNC", "Speed", 9600), 0);
  TncWindow* w = r.window->tncWindow();
  ASSERT_NE(w, nullptr);
  w->Toggle();
  ASSERT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle().toStdString(), "TNC");
  EXPECT_TRUE(r.core->tncTerminal().isOpen());
  EXPECT_EQ(w->status()->text().toStdString(), "No port (Settings...)");
  // Typing shows in the window even without a port; the controller's bytes come after it.
  QTest::keyClicks(w->text(), "sh/dx");
  QTest::keyClick(w->text(), Qt::Key_Return);
  r.core->tncTerminal().OnPortBytes(
      "DX de K7GS:      14004.0  C5R          op2                            2141Z\r\nok\n");
  EXPECT_EQ(w->text()->toPlainText().toStdString(),
            "sh/dx\nDX de K7GS:      14004.0  C5R          op2                            "
            "2141Z\nok");
  EXPECT_EQ(r.core->spots().DisplayLines().size(), 1u);

  // The settings dialog shows 9600 as index 3; index 2 stores 4800.
  QDialog* d = w->MakeSettingsDialog();
  auto* speed = d->findChild<QComboBox*>("speed");
  ASSERT_NE(speed, nullptr);
  EXPECT_EQ(speed->currentIndex(), 3);
  speed->setCurrentIndex(2);
  w->ApplyDialog(d);
  delete d;
  EXPECT_EQ(r.core->tncTerminal().settings().speed, 4800);
  // The TNC command again closes it and writes the settings.
  w->Toggle();
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(r.core->tncTerminal().isOpen());
  EXPECT_EQ(r.store.ReadSettingInt("TNC", "Speed", 0), 4800);
}

}  // namespace
}  // namespace vexa::ui

namespace vexa::ui {
namespace {

TEST(MainWindow, TheContestDialogChoosesScoresAndWritesTheReportFiles) {
  Rig r;
  r.core->members().myCall.value = "W1AW/P";
  test::WriteFileBytes(
      r.dir.File("log.log"),
      "DL1ABC 12/Feb/2000 00:10:00z 14.085.000 RTTY 599/599 001&001 [WPX RTTY]\r\n\r\n"
      "W2XYZ 12/Feb/2000 00:30:00z 14.086.000 RTTY 599/599 003&010 [WPX RTTY]\r\n\r\n");
  ContestDialog* d = r.window->contestDialog();
  ASSERT_NE(d, nullptr);
  d->Open();
  EXPECT_EQ(d->contest()->currentIndex(), 0) << "no contest chosen yet";
  EXPECT_FALSE(d->category()->isEnabled());
  // The contest list in catalogue order after "(no contest)"; a single-band category.
  ASSERT_EQ(d->contest()->count(), 15);
  d->contest()->setCurrentIndex(d->contest()->findText("CQ WW RTTY"));
  EXPECT_EQ(d->period()->text().toStdString(), "26/Sep/2000 00:00:01 - 27/Sep/2000 23:59:59");
  d->category()->setCurrentIndex(d->category()->findText("Single Op 20m"));
  d->ApplyChoice();
  EXPECT_EQ(r.store.ReadSettingText("Contest", "Name", ""), "CQ WW RTTY");
  EXPECT_EQ(r.store.ReadSettingInt("Contest", "Class", -9), 4);
  EXPECT_EQ(r.store.ReadSettingInt("Contest", "SingleBandIdx", -9), 4);
  EXPECT_EQ(r.core->logbook().settings().contestName, "CQ WW RTTY");

  d->contest()->setCurrentIndex(d->contest()->findText("WPX RTTY"));
  d->CreateReport();
  EXPECT_EQ(d->status()->text().toStdString(), "Report files and Cabrillo log written");
  for (const char* ext : {".log", ".dup", ".wpx", ".sum", ".cbr"})
    EXPECT_TRUE(std::filesystem::exists(r.dir.File(std::string("W1AW_P") + ext))) << ext;
  EXPECT_NE(d->score()->toPlainText().toStdString().find("Claimed Score"), std::string::npos)
      << d->score()->toPlainText().toStdString();
  // Back to no contest: the logbook leaves contest mode.
  d->contest()->setCurrentIndex(0);
  d->ApplyChoice();
  EXPECT_EQ(r.store.ReadSettingText("Contest", "Name", "x"), "");
  EXPECT_EQ(r.core->logbook().settings().contestName, "");
}

}  // namespace
}  // namespace vexa::ui
