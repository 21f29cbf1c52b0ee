// The packet station inside the main window core: in mode 13 a SABM in the receive audio is
// taken over at the next tick, the UA goes out through the transmitter as a sound
// transmission, and the notice appears in the second text queue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/headless_runner.h"
#include "app/main_core.h"
#include "app/receive_view.h"
#include "packet/packet_channels.h"
#include "platform/audio/audio_backend.h"
#include "support/test_paths.h"
#include "support/test_station.h"

namespace vexa::app {
namespace {

std::string Drain(engine::RxTextQueue& q) {
  std::string s;
  uint8_t c;
  while (q.Get(c)) s += static_cast<char>(c);
  return s;
}

TEST(PacketSection, AnswersAnIncomingConnectThroughTheSoundCard) {
  test::TempDir dir;
  packet::Ax25Frame sabm;
  sabm.source = *packet::ParseCallsign("DL2YOU");
  sabm.destination = *packet::ParseCallsign("DL1ME");
  sabm.type = packet::FrameType::Sabm;
  sabm.cr = packet::kCommand;
  sabm.pf = 1;
  packet::PacketModemSettings m;
  m.type = 1;
  std::vector<int16_t> audio(5512, 0);
  const auto sig = packet::SendFrames(m, {packet::EncodeFrame(sabm)});
  audio.insert(audio.end(), sig.begin(), sig.end());
  audio.resize(audio.size() + 11025 * 3, 0);
  const std::string in = dir.File("in.wav"), out = dir.File("out.wav");
  std::string error;
  ASSERT_TRUE(platform::WriteWavFile(in, audio, error)) << error;

  platform::SettingsStore store(dir.File("vexa.ini"));
  ASSERT_EQ(store.WriteSettingInt("AX.25", "Modem_type", 1), 0);
  ASSERT_EQ(store.WriteSettingText("AX.25", "IncomingMyCalls", "DL1ME "), 0);
  platform::FixedPrompt prompt;
  platform::FileAudioOptions o;
  o.inputPath = in;
  o.outputPath = out;
  auto backend = platform::MakeFileBackend(o, error);
  ASSERT_NE(backend, nullptr) << error;
  CoreConfig c;
  c.store = &store;
  c.prompt = &prompt;
  c.audio = backend.get();
  c.openSerialPort = false;
  c.paths.workDir = dir.path();
  HeadlessRunner runner;
  TextReceiveView view;
  {
    MainCore core(c, platform::TraceLog(), runner, kTemplateNormal);
    core.receive().AttachReceiveView(&view);
    core.OnInitDialog();
    core.SetMode(Mode::Ax25Tx);
    // Outside mode 13 the connect command refuses; in it, the station is live.
    std::string second;
    bool transmitted = false;
    for (int i = 0; i < 400; ++i) {
      core.OnInputBlocks();
      core.OnTimer();
      core.OnOutputDone();
      transmitted = transmitted || core.transmit().transmitting();
      second += Drain(core.receive().secondQueue());
    }
    EXPECT_NE(second.find("*** INCOMING CONNECT from DL2YOU\n"), std::string::npos) << second;
    EXPECT_NE(second.find("DL1ME>DL2YOU>UA,F"), std::string::npos) << second;
    EXPECT_TRUE(transmitted);
    ASSERT_NE(core.packet().engine().console().current(), nullptr);
    EXPECT_EQ(core.packet().engine().console().current()->state(), packet::Ax25Link::kConnected);
    // Leaving mode 13 ends the connection.
    core.SetMode(Mode::Psk31);
    EXPECT_EQ(core.packet().engine().console().current(), nullptr);
    EXPECT_FALSE(core.packet().ConnectCommand("DL2YOU", "DL1ME", "", false));
    EXPECT_NE(prompt.shown.find("This works for Packet mode only (AX25TX)"), std::string::npos);
  }
  // The UA is in the recorded output, decodable by the modem's receiver.
  std::vector<int16_t> sent;
  ASSERT_TRUE(platform::ReadAudioFile(out, sent, error)) << error;
  std::vector<std::string> heard;
  packet::PacketChannels ch([&](const packet::Ax25Frame& f, packet::PacketChannels::Source s) {
    if (s == packet::PacketChannels::Source::Modem) heard.push_back(packet::MonitorText(f));
  });
  ch.Configure(m);
  ch.modem()->ProcessSamples(sent);
  ASSERT_FALSE(heard.empty());
  EXPECT_EQ(heard[0], "DL1ME>DL2YOU>UA,F\r\n");
}

TEST(PacketSection, TheCarrierDetectIndicatorFollowsTheModemsLevel) {
  packet::Ax25Frame ui;
  ui.source = *packet::ParseCallsign("DL2YOU");
  ui.destination = *packet::ParseCallsign("APRS");
  ui.type = packet::FrameType::Ui;
  ui.info.assign(120, 'x');
  packet::PacketModemSettings m;
  m.type = 1;
  std::vector<std::vector<uint8_t>> frames(6, packet::EncodeFrame(ui));
  std::vector<int16_t> audio(11025, 0);  // one second of silence, about 4 s of signal
  const auto sig = packet::SendFrames(m, frames);
  audio.insert(audio.end(), sig.begin(), sig.end());
  const size_t signalEnd = audio.size();
  audio.resize(audio.size() + 11025 * 2, 0);

  test::TestStation t;
  ASSERT_EQ(t.store.WriteSettingInt("AX.25", "Modem_type", 1), 0);
  t.Start();
  t.core->SetMode(Mode::Ax25Tx);
  auto* modem = t.core->receive().packetChannels().modem();
  ASSERT_NE(modem, nullptr);
  // The receive loop's samples, a tick's worth (606) at a time, the indicator read after each.
  int onDuringSignal = 0, duringSignal = 0;
  for (size_t at = 0; at + 606 <= audio.size(); at += 606) {
    modem->ProcessSamples(std::span<const int16_t>(audio.data() + at, 606));
    t.core->OnTimer();
    const bool on = t.core->packet().carrierDetect();
    if (at + 606 <= 11025) {
      EXPECT_FALSE(on) << "silence at " << at;
    } else if (at > 11025 + 11025 / 2 && at + 606 < signalEnd) {
      ++duringSignal;
      if (on) ++onDuringSignal;
    } else if (at > signalEnd + 11025) {
      EXPECT_FALSE(on) << "silence at " << at;
    }
  }
  ASSERT_GT(duringSignal, 40);
  EXPECT_GE(onDuringSignal, duringSignal * 9 / 10);
  // Outside mode 13 there is no indicator.
  t.core->SetMode(Mode::Psk31);
  EXPECT_FALSE(t.core->packet().carrierDetect());
}

}  // namespace
}  // namespace vexa::app
