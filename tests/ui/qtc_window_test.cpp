// The QTC window under a headless display: opened from the menu, it shows the grid of the
// log's unsent contacts for the station asked for; Send types the QTC into the transmit window,
// a corrected cell goes out as corrected, OK records it; Save received QTC keeps the text
// marked in the receive window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include "app/headless_runner.h"
#include "support/core_config.h"
#include "support/qt_app.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"
#include "support/two_country_cty.h"
#include "ui/main_window.h"

namespace vexa::ui {
namespace {

struct QtcRig {
  QtcRig() {
    test::App();
    test::WriteFileBytes(dir.File("cty.dat"), test::kTwoCountryCty);
    test::WriteFileBytes(
        dir.File("log.log"),
        "DL1AA 13/Nov/1999 00:01:00z 14.085.000 RTTY 599/599 001&005 [WAE RTTY]\r\n\r\n"
        "DL6RAI 13/Nov/1999 00:03:00z 14.086.000 RTTY 599/599 002&012 [WAE RTTY]\r\n\r\n"
        "DA0WAE 13/Nov/1999 00:07:00z 14.087.000 RTTY 599/599 003&033 [WAE RTTY]\r\n\r\n");
    EXPECT_EQ(store.WriteSettingText("Station", "MyCall", "K1ABC"), 0);
    EXPECT_EQ(store.WriteSettingText("Contest", "Name", "WAE RTTY"), 0);
    core = std::make_unique<app::MainCore>(test::TestCoreConfig(store, dir.path(), prompt, *audio),
                                           platform::TraceLog(), host, app::kTemplateNormal);
    core->console().SetUtcSource([] { return int64_t{942454923}; });  // 13/Nov/1999 01:02:03
    core->OnInitDialog();
    window = std::make_unique<MainWindow>(*core, app::kTemplateNormal);
    window->show();
    QApplication::processEvents();
  }
  std::string TransmitWindow() const { return window->transmitText()->toPlainText().toStdString(); }
  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  test::ScriptPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio = platform::MakeNullBackend();
  app::HeadlessRunner host;
  std::unique_ptr<app::MainCore> core;
  std::unique_ptr<MainWindow> window;
};

TEST(QtcWindow, TheMenuOpensTheGridAndSendCorrectAndConfirmReachTheTransmitterAndTheRecord) {
  QtcRig r;
  QtcDialog* d = r.window->qtcDialog();
  ASSERT_NE(d, nullptr);
  auto* action = r.window->findChild<QAction*>("qtcWindow");
  ASSERT_NE(action, nullptr);
  r.prompt.answers = {"DL6RAI"};
  action->trigger();
  QApplication::processEvents();
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(d->receiver()->text().toStdString(), "DL6RAI");
  EXPECT_EQ(d->label()->text().toStdString(), "1/2");
  EXPECT_EQ(d->grid()->item(0, 0)->text().toStdString(), "0001");
  EXPECT_EQ(d->grid()->item(0, 1)->text().toStdString(), "DL1AA");
  EXPECT_EQ(d->grid()->item(1, 1)->text().toStdString(), "DA0WAE");
  EXPECT_EQ(d->grid()->item(1, 2)->text().toStdString(), "033");
  EXPECT_TRUE(d->grid()->item(2, 1)->text().isEmpty());
  EXPECT_EQ(r.TransmitWindow(), "") << "the menu opens without sending";
  // The contest's Total and Rate lines under the alert line (three contacts, two in the hour).
  r.core->OnTimer();
  r.window->RefreshAfterTick();
  auto* rate = r.window->findChild<QLabel*>("contestRate");
  ASSERT_NE(rate, nullptr);
  EXPECT_EQ(rate->text().toStdString(), "Total 3 QSOs\nRate 2 QSOs/hour");

  // The operator corrects a number, then sends: the transmit window holds the QTC (CR LF as
  // its line breaks, the end mark as its Latin-1 character).
  d->grid()->item(1, 2)->setText("034");
  d->Send();
  EXPECT_EQ(r.TransmitWindow(),
            "\nQTC 1/2 FOR DL6RAI\n0001/DL1AA/005\n0007/DA0WAE/034\n\nEND OF QTC 1/2\nCFM? "
            "BK\xC2\xAE");
  d->Confirm();
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(test::ReadFileBytes(r.dir.File("QTC.LOG")),
            "13/Nov/1999 01:02 Sent QTC 1/2 to DL6RAI\r\n0001/DL1AA/005\r\n0007/DA0WAE/034\r\n"
            "\r\n\r\n");
  EXPECT_EQ(r.store.ReadSettingInt("Contest", "QtcNumber", 0), 2);
}

TEST(QtcWindow, AnotherReceiverTypedIntoTheWindowGetsItsOwnGrid) {
  QtcRig r;
  QtcDialog* d = r.window->qtcDialog();
  r.prompt.answers = {"DL1AA"};
  ASSERT_EQ(d->OpenQtc(), contest::kQtcOk);
  EXPECT_EQ(d->grid()->item(0, 1)->text().toStdString(), "DL6RAI");
  d->receiver()->setText("DL6RAI");
  d->Send();
  EXPECT_EQ(d->grid()->item(0, 1)->text().toStdString(), "DL1AA");
  EXPECT_NE(r.TransmitWindow().find("QTC 1/2 FOR DL6RAI\n0001/DL1AA/005\n0007/DA0WAE/033\n"),
            std::string::npos)
      << r.TransmitWindow();
}

TEST(QtcWindow, SaveReceivedQtcKeepsTheMarkedReceiveText) {
  QtcRig r;
  for (char c : std::string("RYRY\r\nQTC 5/1 FOR K1ABC\r\n0100/K1AR/017\r\n"))
    r.window->receiveText()->AppendChar(static_cast<uint8_t>(c));
  QTextCursor cur = r.window->receiveText()->textCursor();
  cur.setPosition(5);
  cur.setPosition(5 + 31, QTextCursor::KeepAnchor);  // "QTC 5/1 FOR K1ABC" to "017"
  r.window->receiveText()->setTextCursor(cur);
  r.window->qsoEntry()->setText("DL6RAI");
  r.core->logbook().TypeEntry("DL6RAI");
  r.prompt.answer = platform::PromptAnswer::Ok;
  auto* action = r.window->findChild<QAction*>("saveQtc");
  ASSERT_NE(action, nullptr);
  action->trigger();
  EXPECT_EQ(test::ReadFileBytes(r.dir.File("QTC.LOG")),
            "13/Nov/1999 01:02 Rcvd QTC from DL6RAI\r\nQTC 5/1 FOR K1ABC\r\n0100/K1AR/017\r\n\r\n");
  // Nothing marked: the operator is told, nothing is written.
  cur.clearSelection();
  r.window->receiveText()->setTextCursor(cur);
  EXPECT_EQ(r.window->SaveReceivedQtc(), contest::kQtcNoSelection);
  EXPECT_NE(r.prompt.shown.find("Mark QTC to save, than try again"), std::string::npos);
}

}  // namespace
}  // namespace vexa::ui
