// The whole transmit path of the program: text typed into the transmit text, the TX switch,
// the transmitter refilling every returned block on the file backend, the echo into the
// receive window, the end of the transmission back to receive; then the recorded WAV decoded
// by the program's own receive path.
#include <gtest/gtest.h>

#include "app/file_receiver.h"
#include "app/headless_runner.h"
#include "app/main_core.h"
#include "support/test_paths.h"
#include "tx/transmit_text.h"

namespace vexa::app {
namespace {

struct Station {
  explicit Station(const std::string& dir, const std::string& in, const std::string& out)
      : store(dir + "/vexa.ini") {
    platform::FileAudioOptions o;
    o.inputPath = in;
    o.outputPath = out;
    std::string error;
    audio = platform::MakeFileBackend(o, error);
    EXPECT_NE(audio, nullptr) << error;
    CoreConfig c;
    c.store = &store;
    c.prompt = &prompt;
    c.audio = audio.get();
    c.openSerialPort = false;
    core = std::make_unique<MainCore>(c, platform::TraceLog(), runner, kTemplateNormal);
    core->receive().AttachReceiveView(&view);
  }
  platform::SettingsStore store;
  platform::FixedPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio;
  HeadlessRunner runner;
  TextReceiveView view;
  std::unique_ptr<MainCore> core;
};

std::string Transmit(const std::string& dir, int mode, double hz, const std::string& text,
                     std::string* echo = nullptr) {
  const std::string wav = dir + "/tx.wav";
  Station s(dir, "", wav);
  s.core->OnInitDialog();
  s.core->SetMode(static_cast<vexa::Mode>(mode));
  s.core->receive().TuneAll(hz);
  s.core->receive().SetTxFrequency(hz);
  s.core->transmit().plainTransmitText().Type(text);
  s.core->transmit().plainTransmitText().PostAtEnd(tx::kTxEnd);
  s.core->transmit().ToggleTransmit();
  EXPECT_TRUE(s.core->transmit().transmitting());
  EXPECT_TRUE(s.core->receive().receiveLoop().channels().psk != nullptr);
  for (int guard = 0; guard < 20000 && s.core->transmit().transmitting(); ++guard) {
    s.core->OnOutputDone();
    s.core->OnTimer();
  }
  EXPECT_FALSE(s.core->transmit().transmitting()) << "the transmission did not end";
  EXPECT_TRUE(s.core->soundCard().inputOpen()) << "reception resumes after the transmission";
  EXPECT_EQ(s.core->transmit().plainTransmitText().text(), "")
      << "sent characters leave the window";
  s.core->OnTimer();
  if (echo != nullptr) *echo = s.view.text;
  return wav;
}

std::string Receive(const std::string& dir, const std::string& wav, int mode, double hz) {
  const auto r = ReceiveFile(wav, static_cast<vexa::Mode>(mode), hz, dir);
  EXPECT_TRUE(r.ok) << r.error;
  return r.text;
}

TEST(TransmitPath, TypedTextGoesOutEchoesAndComesBackThroughTheReceiver) {
  struct Case {
    int mode;
    double hz;
    const char* text;
  };
  for (Case c :
       {Case{9, 1200, "cq cq de vx1abc vx1abc pse k"}, Case{10, 1500, "QPSK test 73 de VX1ABC"},
        Case{4, 1000, "RYRY CQ DE VX1ABC 599 K"}}) {
    test::TempDir dir;
    std::string echo;
    const std::string wav = Transmit(dir.path(), c.mode, c.hz, c.text, &echo);
    EXPECT_NE(echo.find(c.text), std::string::npos) << "echo: " << echo;
    const std::string got = Receive(dir.path(), wav, c.mode, c.hz);
    EXPECT_NE(got.find(c.text), std::string::npos) << "mode " << c.mode << " decoded: " << got;
  }
}

TEST(TransmitPath, TheSwitchDuringATransmissionEndsItAfterTheTail) {
  test::TempDir dir;
  Station s(dir.path(), "", dir.File("tx.wav"));
  s.core->OnInitDialog();
  s.core->transmit().plainTransmitText().Type("a long text that will not be sent to its end");
  s.core->transmit().ToggleTransmit();
  ASSERT_TRUE(s.core->transmit().transmitting());
  EXPECT_FALSE(s.core->soundCard().inputOpen());
  s.core->OnOutputDone();
  s.core->transmit().ToggleTransmit();  // back to receive: the postamble runs out first
  int blocks = 0;
  while (s.core->transmit().transmitting() && blocks < 200) {
    s.core->OnOutputDone();
    ++blocks;
  }
  EXPECT_FALSE(s.core->transmit().transmitting());
  EXPECT_LT(blocks, 50);
  EXPECT_TRUE(s.core->soundCard().inputOpen());
}

TEST(TransmitPath, PacketAndPactorIgnoreTheSwitch) {
  test::TempDir dir;
  Station s(dir.path(), "", dir.File("tx.wav"));
  s.core->OnInitDialog();
  s.core->transmit().plainTransmitText().Type("x");
  for (int mode : {12, 14}) {
    s.core->SetMode(static_cast<vexa::Mode>(mode));
    s.core->transmit().ToggleTransmit();
    EXPECT_FALSE(s.core->transmit().transmitting()) << mode;
  }
}

}  // namespace
}  // namespace vexa::app
