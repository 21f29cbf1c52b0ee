// The packet dialogs of the window under a headless display: "Connect to..." with its texts,
// CONNECT and the abort of a running link; the "AX.25 Setup" sheet with its pages, the values
// it shows, a refused value keeping it open on its page, OK applying, the network TNC's address
// on its page reaching the settings file; the carrier-detect indicator in the status line.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <functional>

#include "app/headless_runner.h"
#include "packet/ax25_frame.h"
#include "packet/packet_modem.h"
#include "support/core_config.h"
#include "support/qt_app.h"
#include "support/test_paths.h"
#include "ui/main_window.h"

namespace vexa::ui {
namespace {

struct PacketWindow {
  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  platform::FixedPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio = platform::MakeNullBackend();
  app::HeadlessRunner host;
  std::unique_ptr<app::MainCore> core;
  std::unique_ptr<MainWindow> window;

  void Start() {
    test::App();
    core = std::make_unique<app::MainCore>(test::TestCoreConfig(store, dir.path(), prompt, *audio),
                                           platform::TraceLog(), host, app::kTemplateNormal);
    core->OnInitDialog();
    window = std::make_unique<MainWindow>(*core, app::kTemplateNormal);
    window->show();
    QApplication::processEvents();
  }
  std::string MainText() {
    std::string s;
    uint8_t c;
    while (core->receive().mainQueue().Get(c)) s += static_cast<char>(c);
    return s;
  }
};

// Runs `step` once the modal dialog `open()` returns is up (inside its own event loop).
void WhenOpen(const std::function<QDialog*()>& open, std::function<void(QDialog*)> step) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, open, step] {
    QDialog* d = open();
    if (!d || !d->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    step(d);
  });
  timer->start();
}

TEST(PacketWindow, ConnectToWithItsTextsAndTheAbortOfARunningLink) {
  PacketWindow w;
  ASSERT_EQ(w.store.WriteSettingText("AX.25", "DefaultRemoteCall", "DB0ABC"), 0);
  ASSERT_EQ(w.store.WriteSettingText("AX.25", "DefaultMyCall", "DL1ME"), 0);
  w.Start();
  // Outside mode 13: only the message, no dialog.
  w.window->ConnectCommand();
  EXPECT_NE(w.prompt.shown.find("This works for Packet mode only (AX25TX)"), std::string::npos);

  w.core->SetMode(Mode::Ax25Tx);
  bool seen = false;
  WhenOpen([&] { return w.window->connectDialog(); },
           [&](QDialog*) {
             ConnectDialog* d = w.window->connectDialog();
             seen = true;
             EXPECT_EQ(d->windowTitle(), "Connect to...");
             EXPECT_EQ(d->remote()->text(), "DB0ABC");
             EXPECT_EQ(d->myCall()->text(), "DL1ME");
             EXPECT_EQ(d->tryAllSsids()->text(), "&Try all SSIDs in MyCall");
             EXPECT_EQ(d->connectButton()->text(), "CONNECT");
             EXPECT_EQ(d->cancelButton()->text(), "Cancel/Disc");
             d->remote()->setText("dl2you-2");
             d->digis()->setText("db0aaa");
             d->tryAllSsids()->setChecked(false);
             d->connectButton()->click();
           });
  w.window->ConnectCommand();
  ASSERT_TRUE(seen);
  auto* link = w.core->packet().engine().console().current();
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(packet::FormatCallsign(link->remote()), "DL2YOU-2");
  EXPECT_EQ(w.core->members().defaultRemoteCall.value, "DL2YOU-2");
  EXPECT_EQ(w.store.ReadSettingInt("AX.25", "TryAllSsids", 1), 0);
  EXPECT_EQ(w.MainText(), "*** TRYING...\n");

  // Again: the running link is aborted before the dialog; Cancel/Disc leaves none.
  seen = false;
  WhenOpen([&] { return w.window->connectDialog(); },
           [&](QDialog*) {
             seen = true;
             EXPECT_EQ(w.window->connectDialog()->remote()->text(), "DL2YOU-2");
             w.window->connectDialog()->cancelButton()->click();
           });
  w.window->ConnectCommand();
  ASSERT_TRUE(seen);
  EXPECT_EQ(w.core->packet().engine().console().current(), nullptr);
  EXPECT_EQ(w.MainText(), "*** ABORTED.\n");
}

TEST(PacketWindow, TheAx25SetupSheetShowsChecksAndApplies) {
  PacketWindow w;
  ASSERT_EQ(w.store.WriteSettingInt("AX.25", "TxDelay", 30), 0);
  ASSERT_EQ(w.store.WriteSettingInt("AX.25", "TncSpeed", 9600), 0);
  w.Start();
  w.core->SetMode(Mode::Ax25Tx);
  bool refusedKeptOpen = false, done = false;
  WhenOpen([&] { return static_cast<QDialog*>(w.window->ax25Sheet()); },
           [&](QDialog*) {
             CAx25PropertySheet* s = w.window->ax25Sheet();
             EXPECT_EQ(s->windowTitle(), "AX.25 Setup");
             ASSERT_EQ(s->tabs()->count(), 4);
             EXPECT_EQ(s->tabs()->tabText(0), "General");
             EXPECT_EQ(s->tabs()->tabText(1), "Beacon/Monitor");
             EXPECT_EQ(s->tabs()->tabText(2), "Parameters");
             EXPECT_EQ(s->tabs()->tabText(3), "TNC & Custom AFSK");
             EXPECT_NE(dynamic_cast<CAx25GeneralPage*>(s->tabs()->widget(0)), nullptr);
             EXPECT_NE(dynamic_cast<TncPage*>(s->tabs()->widget(3)), nullptr);
             auto* txDelay = qobject_cast<QLineEdit*>(s->Editor("TxDelay"));
             ASSERT_NE(txDelay, nullptr);
             EXPECT_EQ(txDelay->text(), "300");
             auto* speed = qobject_cast<QComboBox*>(s->Editor("TncSpeed"));
             ASSERT_NE(speed, nullptr);
             EXPECT_EQ(speed->currentIndex(), 3);
             EXPECT_EQ(speed->currentText(), "9600");
             auto* modem = qobject_cast<QComboBox*>(s->Editor("Modem_type"));
             ASSERT_NE(modem, nullptr);
             EXPECT_EQ(modem->count(), 8);
             auto* rr = qobject_cast<QCheckBox*>(s->Editor("MonitorMask", 8));
             ASSERT_NE(rr, nullptr);
             EXPECT_EQ(rr->text(), "&RR,RNR,REJ");
             EXPECT_TRUE(rr->isChecked());

             // A value out of range keeps the sheet open on its page.
             s->tabs()->setCurrentIndex(0);
             qobject_cast<QLineEdit*>(s->Editor("MaxFrame"))->setText("9");
             s->accept();
             refusedKeptOpen = s->isVisible() && s->tabs()->currentIndex() == 2;
             EXPECT_NE(s->lastError().find("between 1 and 7"), std::string::npos);

             qobject_cast<QLineEdit*>(s->Editor("MaxFrame"))->setText("5");
             txDelay->setText("450");
             speed->setCurrentIndex(4);
             rr->setChecked(false);
             modem->setCurrentIndex(1);
             s->accept();
             done = !s->isVisible();
             if (s->isVisible()) s->reject();
           });
  w.window->OpenAx25Setup();
  EXPECT_TRUE(refusedKeptOpen);
  EXPECT_NE(w.prompt.shown.find("between 1 and 7"), std::string::npos);
  ASSERT_TRUE(done);
  auto& m = w.core->members();
  EXPECT_EQ(m.maxFrame.value, 5);
  EXPECT_EQ(m.txDelay.value, 45);
  EXPECT_EQ(m.tncSpeed.value, 19200);
  EXPECT_EQ(m.monitorMask.value, 7);
  EXPECT_EQ(w.store.ReadSettingInt("AX.25", "MaxFrame", 0), 5);
  // Applied: the station runs with them.
  EXPECT_EQ(w.core->packet().engine().settings().station.link.maxFrame, 5);
  EXPECT_EQ(w.core->packet().engine().settings().modem.type, 1);
  EXPECT_EQ(w.core->packet().engine().console().monitorMask(), 7);
}

TEST(PacketWindow, TheNetworkTncAddressIsOnTheTncPageAndReachesTheFile) {
  PacketWindow w;
  w.Start();
  w.core->SetMode(Mode::Ax25Tx);
  bool refusedKeptOpen = false, done = false;
  WhenOpen([&] { return static_cast<QDialog*>(w.window->ax25Sheet()); },
           [&](QDialog*) {
             CAx25PropertySheet* s = w.window->ax25Sheet();
             auto* host = qobject_cast<QLineEdit*>(s->Editor("TncHost"));
             ASSERT_NE(host, nullptr);
             EXPECT_TRUE(s->tabs()->widget(3)->isAncestorOf(host)) << "on TNC & Custom AFSK";
             auto* form = qobject_cast<QFormLayout*>(s->tabs()->widget(3)->layout());
             ASSERT_NE(form, nullptr);
             auto* label = qobject_cast<QLabel*>(form->labelForField(host));
             ASSERT_NE(label, nullptr);
             EXPECT_EQ(label->text(), "&Network TNC (host:port)");
             EXPECT_EQ(label->buddy(), host) << "the accelerator reaches the field";
             EXPECT_EQ(host->text(), "");

             // No port: refused, the sheet stays open on the TNC page.
             s->tabs()->setCurrentIndex(0);
             host->setText("127.0.0.1");
             s->accept();
             refusedKeptOpen = s->isVisible() && s->tabs()->currentIndex() == 3;
             EXPECT_NE(s->lastError().find("Network TNC (host:port)"), std::string::npos)
                 << s->lastError();

             host->setText("127.0.0.1:8001");
             s->accept();
             done = !s->isVisible();
             if (s->isVisible()) s->reject();
           });
  w.window->OpenAx25Setup();
  EXPECT_TRUE(refusedKeptOpen);
  EXPECT_NE(w.prompt.shown.find("Network TNC (host:port)"), std::string::npos);
  ASSERT_TRUE(done);
  EXPECT_EQ(w.core->members().tncHost.value, "127.0.0.1:8001");
  // In the settings file itself, as another reader of it finds it.
  const platform::SettingsStore file(w.dir.File("vexa.ini"));
  EXPECT_EQ(file.ReadSettingText("AX.25", "TncHost", ""), "127.0.0.1:8001");
}

TEST(PacketWindow, TheCarrierDetectIndicatorShowsWhileTheChannelIsBusy) {
  PacketWindow w;
  ASSERT_EQ(w.store.WriteSettingInt("AX.25", "Modem_type", 1), 0);
  w.Start();
  w.core->SetMode(Mode::Ax25Tx);
  w.window->RefreshAfterTick();
  EXPECT_FALSE(w.window->carrierIndicator()->isVisible());
  packet::Ax25Frame ui;
  ui.source = *packet::ParseCallsign("DL2YOU");
  ui.destination = *packet::ParseCallsign("APRS");
  ui.type = packet::FrameType::Ui;
  ui.info.assign(200, 'x');
  packet::PacketModemSettings m;
  m.type = 1;
  const auto sig = packet::SendFrames(m, {packet::EncodeFrame(ui)});
  auto* modem = w.core->receive().packetChannels().modem();
  ASSERT_NE(modem, nullptr);
  modem->ProcessSamples(std::span<const int16_t>(sig.data(), sig.size() * 3 / 4));
  w.window->RefreshAfterTick();
  EXPECT_TRUE(w.window->carrierIndicator()->isVisible());
  EXPECT_EQ(w.window->carrierIndicator()->text(), "DCD");
  const std::vector<int16_t> silence(11025, 0);
  modem->ProcessSamples(silence);
  w.window->RefreshAfterTick();
  EXPECT_FALSE(w.window->carrierIndicator()->isVisible());
}

}  // namespace
}  // namespace vexa::ui
