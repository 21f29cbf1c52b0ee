// The sections driven through the core as the program drives them: serial bytes from a
// pseudo-terminal through the port's own reader thread, transmissions recorded by the file
// backend and decoded again, the receiver commands with a scripted prompt, and the announcements
// the sections make to each other.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "app/headless_runner.h"
#include "app/main_core.h"
#include "decoders/receive_path.h"
#include "decoders/rx_commands.h"
#include "support/core_config.h"
#include "support/pty.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"
#include "support/wake_host.h"
#include "tx/transmit_text.h"

namespace vexa::app {
namespace {

// Records what the sections announce.
class Probe final : public Section {
 public:
  const char* name() const override { return "probe"; }
  void OnReceivedLine(std::string_view line) override { lines.emplace_back(line); }
  void OnTransmitFrequency(double hz) override { txHz.push_back(hz); }
  void OnInversion(bool on) override { inversion.push_back(on); }
  void OnRttyBaud(double baud) override { bauds.push_back(baud); }
  void OnTransmitting(bool on) override { transmitting.push_back(on); }
  void OnTransceiverBytes(std::span<const uint8_t> b) override { bytes.append(b.begin(), b.end()); }
  std::vector<std::string> lines;
  std::vector<double> txHz, bauds;
  std::vector<bool> inversion, transmitting;
  std::string bytes;
};

struct Station {
  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  test::ScriptPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio;
  test::WakeHost host;
  TextReceiveView view;
  Probe probe;
  std::unique_ptr<MainCore> core;

  // Where the voice keyer plays (empty: nowhere).
  std::string voiceWav;

  // Settings to write before the core reads them; serial: open the transceiver port.
  void Start(bool serial = false, const std::string& inputWav = "") {
    platform::FileAudioOptions o;
    o.inputPath = inputWav;
    o.outputPath = dir.File("tx.wav");
    std::string error;
    audio = platform::MakeFileBackend(o, error);
    ASSERT_NE(audio, nullptr) << error;
    CoreConfig c = test::TestCoreConfig(store, dir.path(), prompt, *audio);
    c.openSerialPort = serial;
    if (!voiceWav.empty()) {
      c.voiceOutput = [out = voiceWav] {
        platform::FileAudioOptions v;
        v.outputPath = out;
        std::string e;
        return platform::MakeFileBackend(v, e);
      };
    }
    core = std::make_unique<MainCore>(c, platform::TraceLog(), host, kTemplateNormal);
    core->AddSection(probe);
    core->OnInitDialog();
    core->receive().AttachReceiveView(&view);
  }

  // Sends the text in the current mode until the transmission ends; returns the WAV.
  std::string Send(const std::string& text, const std::function<void()>& midway = {}) {
    auto& tx = core->transmit();
    tx.plainTransmitText().Type(text);
    tx.plainTransmitText().PostAtEnd(tx::kTxEnd);
    tx.ToggleTransmit();
    EXPECT_TRUE(tx.transmitting());
    bool didMidway = false;
    for (int guard = 0; guard < 20000 && tx.transmitting(); ++guard) {
      core->OnOutputDone();
      core->OnTimer();
      if (midway && !didMidway && tx.plainTransmitText().text().size() <= text.size() / 2) {
        midway();
        didMidway = true;
      }
    }
    EXPECT_FALSE(tx.transmitting());
    return dir.File("tx.wav");
  }
};

// Decodes a recording through a receive path of its own (RTTY at rttyBaud when given).
std::string Decode(const std::string& wav, decoders::ReceiveOptions o, const char* rttyBaud = "") {
  std::vector<int16_t> samples;
  std::string error;
  EXPECT_TRUE(platform::ReadAudioFile(wav, samples, error)) << error;
  engine::RxTextQueue queue;
  decoders::ReceivePath path(queue, 0);
  path.Apply(o);
  if (*rttyBaud != '\0') {
    platform::FixedPrompt quiet;
    double accepted = 0;
    EXPECT_EQ(decoders::ApplyRttyBaudRate(rttyBaud, path.chain(), quiet, accepted),
              decoders::kRxOk);
  }
  std::string text;
  for (size_t at = 0; at < samples.size(); at += platform::kInputBlockSamples) {
    const size_t n = std::min<size_t>(platform::kInputBlockSamples, samples.size() - at);
    path.ProcessBlock(std::span<const int16_t>(samples.data() + at, n));
    uint8_t c = 0;
    while (queue.Get(c)) text.push_back(static_cast<char>(c));
  }
  return text;
}

TEST(TransmitSection, BytesFromThePtyReachTheMonitorOrTheSectionsThroughTheReaderThread) {
  test::Pty pty;
  ASSERT_FALSE(pty.name.empty()) << "no pseudo-terminal";
  Station s;
  ASSERT_EQ(s.store.WriteSettingInt("TX1", "ComPort", 3), 0);
  ASSERT_EQ(s.store.WriteSettingText("Ports", "COM3", pty.name), 0);
  s.Start(/*serial=*/true);
  auto& tx = s.core->transmit();
  ASSERT_TRUE(tx.portOpen()) << tx.portStatus();

  // Monitor on: the bytes show in hexadecimal, 20 to a line, under the port number.
  std::string monitor;
  tx.SetPortMonitor(true, [&](const std::string& t) { monitor += t; });
  std::string frame;
  for (int i = 0; i < 23; ++i) frame.push_back(static_cast<char>(0xF0 + (i % 16)));
  ASSERT_TRUE(pty.WriteMaster(frame));
  while (monitor.size() < std::string("\r\n3:").size() + 23 * 3 + 4 && s.host.WaitForWake())
    s.core->OnWake();
  EXPECT_EQ(monitor,
            "\r\n3: f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb fc fd fe ff f0 f1 f2 f3"
            "\r\n   f4 f5 f6");
  EXPECT_TRUE(s.probe.bytes.empty()) << "the monitor keeps the bytes from the parsers";

  // Monitor off: the bytes are announced to the sections unchanged.
  tx.SetPortMonitor(false);
  const std::string reply("\xFE\xFE\xE0\x58\x03\x00\x50\x07\x14\x00\xFD", 11);
  ASSERT_TRUE(pty.WriteMaster(reply));
  while (s.probe.bytes.size() < reply.size() && s.host.WaitForWake()) s.core->OnWake();
  EXPECT_EQ(s.probe.bytes, reply);

  // The line test reaches the open port.
  EXPECT_TRUE(tx.TestDtr(true));
  EXPECT_TRUE(tx.TestRts(true));
  EXPECT_TRUE(tx.TestDtr(false));
}

TEST(TransmitSection, WithoutAPortTheLineTestSaysSoAndAMissingDeviceIsExplained) {
  Station s;
  ASSERT_EQ(s.store.WriteSettingInt("TX1", "ComPort", 4), 0);
  ASSERT_EQ(s.store.WriteSettingText("Ports", "COM4", s.dir.File("no-such-tty")), 0);
  s.Start(/*serial=*/true);
  EXPECT_FALSE(s.core->transmit().portOpen());
  EXPECT_NE(s.core->transmit().portStatus().find("no-such-tty"), std::string::npos)
      << s.core->transmit().portStatus();
  EXPECT_FALSE(s.core->transmit().TestDtr(true));
  EXPECT_FALSE(s.core->transmit().TestRts(true));
  s.core->OnSerialData();  // nothing to read: a safe no-op
}

TEST(TransmitSection, ATransmitFrequencyChangeMovesARunningPskTransmission) {
  Station s;
  s.Start();
  s.core->receive().TuneAll(1000);
  s.core->receive().SetTxFrequency(1000);
  const std::string first = "first half at one thousand hertz ";
  const std::string second = "second half sent at sixteen hundred";
  const std::string wav = s.Send(first + second, [&] {
    // What a right click on the waterfall does during the transmission.
    s.core->receive().SetTxFrequency(1600);
  });
  EXPECT_EQ(s.probe.txHz.back(), 1600);
  decoders::ReceiveOptions at1000, at1600;
  at1000.receiveHz = 1000;
  at1600.receiveHz = 1600;
  const std::string low = Decode(wav, at1000), high = Decode(wav, at1600);
  EXPECT_NE(low.find("first half"), std::string::npos) << low;
  EXPECT_EQ(low.find("sixteen hundred"), std::string::npos) << low;
  EXPECT_NE(high.find("sixteen hundred"), std::string::npos) << high;
  EXPECT_EQ(high.find("first half"), std::string::npos) << high;
  EXPECT_EQ(s.probe.transmitting, (std::vector<bool>{true, false}));
}

TEST(ReceiveSection, TheSidebandAndDigiSideInvertDecodersAndModulatorsAlike) {
  for (int digiSide : {0, 1}) {
    Station s;
    ASSERT_EQ(s.store.WriteSettingInt("TX1", "DigiSide", digiSide), 0);
    s.Start();
    auto& rx = s.core->receive();
    s.core->SetMode(Mode::Rtty);
    rx.TuneAll(1500);
    rx.SetTxFrequency(1500);
    // The flag is set when the sideband differs from DigiSide.
    rx.SetLowerSideband(true);
    EXPECT_EQ(rx.inversion(), digiSide == 0);
    rx.SetLowerSideband(false);
    EXPECT_EQ(rx.inversion(), digiSide != 0);
    // Announced at start-up (upper sideband) and at each change.
    EXPECT_EQ(s.probe.inversion, (std::vector<bool>{digiSide != 0, digiSide == 0, digiSide != 0}));

    rx.SetLowerSideband(digiSide == 0);  // inverted in both cases
    ASSERT_TRUE(rx.inversion());
    const std::string wav = s.Send("RYRY CQ DE VX1INV VX1INV K");
    decoders::ReceiveOptions o;
    o.mode = Mode::Rtty;
    o.receiveHz = 1500;
    o.inversion = true;
    EXPECT_NE(Decode(wav, o).find("CQ DE VX1INV"), std::string::npos) << "digiSide " << digiSide;
    o.inversion = false;
    EXPECT_EQ(Decode(wav, o).find("CQ DE VX1INV"), std::string::npos) << "digiSide " << digiSide;
  }
}

// The stronger RTTY demodulator: read from Misc/RttyDemod at start, written at each change, and
// the station's own RTTY decodes with it.
TEST(ReceiveSection, TheRttyDemodulatorChoiceIsRememberedAndRuns) {
  Station s;
  ASSERT_EQ(s.store.WriteSettingInt("Misc", "RttyDemod", 1), 0);
  s.Start();
  auto& rx = s.core->receive();
  EXPECT_TRUE(rx.bestDemod());
  rx.SetBestDemod(false);
  EXPECT_EQ(s.store.ReadSettingInt("Misc", "RttyDemod", -1), 0);
  rx.SetBestDemod(true);
  EXPECT_EQ(s.store.ReadSettingInt("Misc", "RttyDemod", -1), 1);
  s.core->SetMode(Mode::Rtty);
  const std::string wav = s.Send("RYRY CQ DE VX1BST VX1BST K");
  decoders::ReceiveOptions o;
  o.mode = Mode::Rtty;
  o.bestDemod = true;
  EXPECT_NE(Decode(wav, o).find("CQ DE VX1BST VX1BST K"), std::string::npos);
}

TEST(ReceiveSection, TheBaudRateCommandAsksSetsBothEndsAndRefusesNonsense) {
  Station s;
  s.Start();
  auto& rx = s.core->receive();
  s.core->SetMode(Mode::Rtty);
  rx.TuneAll(1200);
  rx.SetTxFrequency(1200);

  s.prompt.answers = {"75"};
  EXPECT_EQ(rx.AskRttyBaud(), decoders::kRxOk);
  EXPECT_EQ(s.prompt.asked, "Set RTTY BAUDRATE: Baud rate [45.45]\n");
  EXPECT_DOUBLE_EQ(rx.rttyBaud(), 75.0);
  EXPECT_EQ(s.probe.bauds, (std::vector<double>{75.0}));

  // Out of range: refused with the message, nothing changes.
  s.prompt.answers = {"1000"};
  EXPECT_EQ(rx.AskRttyBaud(), decoders::kRxBaudOutOfRange);
  EXPECT_EQ(s.prompt.shown, "Baud rate is out of range\n");
  EXPECT_DOUBLE_EQ(rx.rttyBaud(), 75.0);
  // Cancelled: nothing changes either.
  EXPECT_EQ(rx.AskRttyBaud(), decoders::kRxOk);
  EXPECT_DOUBLE_EQ(rx.rttyBaud(), 75.0);
  EXPECT_EQ(s.probe.bauds.size(), 1u);

  // The modulator took the rate too: the recording decodes at 75 baud, not at 45.45.
  const std::string wav = s.Send("RYRY DE VX1BD 75 BAUD TEST K");
  decoders::ReceiveOptions o;
  o.mode = Mode::Rtty;
  o.receiveHz = 1200;
  const std::string text = Decode(wav, o, "75");
  EXPECT_NE(text.find("VX1BD 75 BAUD"), std::string::npos) << text;
  EXPECT_EQ(Decode(wav, o).find("VX1BD 75 BAUD"), std::string::npos);
}

TEST(ReceiveSection, CompletedLinesAreAnnouncedAndTheEchoedBackspaceDeletes) {
  Station s;
  s.Start();
  s.core->receive().mainQueue().Put("CQ DE VX1LN\r\nPSE K\r\n");
  s.core->OnTimer();
  EXPECT_EQ(s.probe.lines, (std::vector<std::string>{"CQ DE VX1LN", "PSE K"}));
  // Sent characters echo into the receive window; a sent backspace takes the last one back.
  s.core->receive().echoRing().Put("TEZ\bST");
  s.core->OnTimer();
  EXPECT_EQ(s.view.text.substr(s.view.text.size() - 4), "TEST");
}

TEST(TransmitSection, PhoneModesPlayVoiceMessagesAndOtherModesDoNot) {
  Station s;
  s.Start();
  EXPECT_FALSE(s.core->transmit().PlayVoiceMessage(0));  // PSK31
  for (Mode m : {Mode::Ssb1, Mode::Ssb2, Mode::Ssb3}) {
    s.core->SetMode(m);
    EXPECT_TRUE(s.core->transmit().PlayVoiceMessage(3)) << ModeName(m);
    EXPECT_FALSE(s.core->transmit().PlayVoiceMessage(24));
    EXPECT_FALSE(s.core->transmit().PlayVoiceMessage(-1));
  }
  s.core->SetMode(Mode::Cw);
  EXPECT_FALSE(s.core->transmit().PlayVoiceMessage(3));
}

TEST(TransmitSection, AProgrammableKeyPlaysItsRecordingWhileReceptionWaits) {
  Station s;
  s.voiceWav = s.dir.File("voice-out.wav");
  std::vector<int16_t> message(5000);
  for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<int16_t>((i * 37) % 4000);
  std::string error;
  ASSERT_TRUE(platform::WriteWavFile(s.dir.File("SSB4.wav"), message, error)) << error;
  s.Start();
  ASSERT_TRUE(s.core->soundCard().inputOpen());
  s.core->SetMode(Mode::Ssb1);
  ASSERT_TRUE(s.core->transmit().PlayVoiceMessage(3));  // the fourth key: SSB4.wav
  EXPECT_FALSE(s.core->soundCard().inputOpen()) << "reception stops for the message";
  // The keyer's thread asks the main loop to switch the sound card; the loop serves it.
  for (int i = 0; i < 2000 && s.core->transmit().voiceKeyer().running(); ++i) {
    (void)s.host.WaitForWake();
    s.core->OnWake();
  }
  s.core->transmit().voiceKeyer().Join();
  s.core->OnTimer();  // the reception restart the keyer asked for last
  EXPECT_TRUE(s.core->soundCard().inputOpen()) << "reception resumes after the message";
  std::vector<int16_t> played;
  ASSERT_TRUE(platform::ReadAudioFile(s.voiceWav, played, error)) << error;
  EXPECT_EQ(played, message);
}

TEST(TransmitSection, TheCwSpeedDialogStepsTheKeyer) {
  Station s;
  s.Start();
  auto& tx = s.core->transmit();
  const int start = tx.cwWpm();
  EXPECT_EQ(tx.CwSpeedCaption(), "CW SPEED " + std::to_string(start) + " WPM");
  tx.CwFaster();
  EXPECT_GT(tx.cwWpm(), start);
  tx.CwSlower();
  tx.CwSlower();
  EXPECT_LT(tx.cwWpm(), start);
  EXPECT_EQ(tx.CwSpeedCaption(), "CW SPEED " + std::to_string(tx.cwWpm()) + " WPM");
}

}  // namespace
}  // namespace vexa::app
