// The signal browser panel under a headless display: opened from the menu over the demo band
// read from a file, it lists the PSK31 stations with their text, and a click on a line tunes
// the main receiver and the window's frequency field.
#include "ui/browser_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QRegularExpression>
#include <QTest>
#include <cmath>

#include "app/demo_audio.h"
#include "app/headless_runner.h"
#include "support/core_config.h"
#include "support/qt_app.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"
#include "ui/main_window.h"

namespace vexa::ui {
namespace {

TEST(BrowserWindow, ListsTheDemoStationsAndAClickTunesTheReceiver) {
  test::App();
  test::TempDir dir;
  const std::string wav = dir.File("demo.wav");
  std::string error;
  ASSERT_TRUE(app::WriteDemoAudio(wav, error, 30.0)) << error;
  platform::SettingsStore store(dir.File("vexa.ini"));
  test::ScriptPrompt prompt;
  platform::FileAudioOptions o;
  o.inputPath = wav;
  auto audio = platform::MakeFileBackend(o, error);
  ASSERT_NE(audio, nullptr) << error;
  app::HeadlessRunner host;
  app::MainCore core(test::TestCoreConfig(store, dir.path(), prompt, *audio), platform::TraceLog(),
                     host, app::kTemplateNormal);
  core.OnInitDialog();
  core.SetMode(Mode::Psk31);
  MainWindow window(core, app::kTemplateNormal);
  window.show();
  QApplication::processEvents();

  auto* action = window.findChild<QAction*>("signalBrowserAction");
  ASSERT_NE(action, nullptr);
  action->trigger();
  BrowserWindow* panel = window.browserWindow();
  ASSERT_TRUE(panel->isVisible());
  ASSERT_TRUE(core.browser().isOpen());

  // Thirty seconds of the demo, block by block, the ticks and the window's refresh in between.
  int blocks = 0;
  for (int i = 0; i < 4000 && blocks < 30 * 11025 / 2048; ++i) {
    blocks += core.OnInputBlocks();
    core.OnTimer();
    window.RefreshAfterTick();
  }
  ASSERT_GE(blocks, 30 * 11025 / 2048);

  // Both PSK31 stations are listed with their frequency and their text.
  QListWidget* list = panel->list();
  int row1500 = -1;
  bool saw1000 = false;
  for (int r = 0; r < list->count(); ++r) {
    const QString line = list->item(r)->text();
    if (line.contains("VX1DEM") &&
        std::fabs(list->item(r)->data(Qt::UserRole).toDouble() - 1000) < 4)
      saw1000 = true;
    if (line.contains("VX3PSK") &&
        std::fabs(list->item(r)->data(Qt::UserRole).toDouble() - 1500) < 4)
      row1500 = r;
  }
  std::string all;
  for (int r = 0; r < list->count(); ++r) all += list->item(r)->text().toStdString() + "\n";
  EXPECT_TRUE(saw1000) << all;
  ASSERT_GE(row1500, 0) << all;
  // The line reads "<frequency> Hz  <recent text>".
  const auto m = QRegularExpression("^ *(\\d+) Hz  ").match(list->item(row1500)->text());
  ASSERT_TRUE(m.hasMatch()) << list->item(row1500)->text().toStdString();
  EXPECT_NEAR(m.captured(1).toInt(), 1500, 4);
  EXPECT_TRUE(panel->status()->text().startsWith("PSK31: found ")) << all;

  // A click on the line tunes the receiver, and the window's receive field shows it.
  core.receive().TuneAll(600);
  const QRect rect = list->visualItemRect(list->item(row1500));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
  const double hz = list->item(row1500)->data(Qt::UserRole).toDouble();
  EXPECT_DOUBLE_EQ(core.receive().rxFrequency(), hz);
  EXPECT_NEAR(window.findChildren<QDoubleSpinBox*>()[0]->value(), hz, 0.5);

  // Closing the panel stops the browser.
  panel->close();
  QApplication::processEvents();
  EXPECT_FALSE(core.browser().isOpen());
  EXPECT_FALSE(panel->isVisible());
}

}  // namespace
}  // namespace vexa::ui
