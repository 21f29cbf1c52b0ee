#include "packet/packet_channels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "packet/mixer_demodulator.h"
#include "packet/tnc2_text.h"
#include "support/packet_signal.h"

namespace vexa::packet {
namespace {

std::vector<uint8_t> Bytes(const std::string& tnc2) {
  return EncodeFrame(*ParseTnc2(tnc2));
}

struct Heard {
  int monitor = 0, modem = 0;
  std::vector<std::string> lines;
  PacketChannels::Listener Listener() {
    return [this](const Ax25Frame& f, PacketChannels::Source s) {
      (s == PacketChannels::Source::Monitor ? monitor : modem)++;
      lines.push_back(FormatTnc2(f));
    };
  }
};

TEST(PacketChannels, TheTncAndUnknownTypesBuildNoReceivers) {
  PacketChannels ch;
  PacketModemSettings s;
  for (int t : {7, 8, -1}) {
    s.type = t;
    ch.Configure(s);
    EXPECT_EQ(ch.monitor(), nullptr);
    EXPECT_EQ(ch.modem(), nullptr);
    EXPECT_EQ(ch.Level(), 0);
    EXPECT_FALSE(ch.Busy());
  }
}

// The monitor listens at 300 bit/s around the receive frequency whatever the modem type; the
// modem hears only its own signal.
TEST(PacketChannels, MonitorHearsTheHfSignalAndTheModemItsOwn) {
  Heard h;
  PacketChannels ch(h.Listener());
  PacketModemSettings s;
  s.type = 1;
  s.receiveHz = 1500;
  ch.Configure(s);
  PacketModemSettings hf = s;
  hf.type = 0;
  const auto hfSignal = SendFrames(hf, {Bytes("DL1ABC>APRS:on the HF pair")});
  const auto vhfSignal = SendFrames(s, {Bytes("DL1ABC>APRS:at 1200 bit/s")});
  for (const auto* sig : {&hfSignal, &vhfSignal}) {
    ch.monitor()->ProcessSamples(*sig);
    ch.modem()->ProcessSamples(*sig);
  }
  EXPECT_EQ(h.monitor, 1);
  EXPECT_EQ(h.modem, 1);
  EXPECT_EQ(h.lines,
            (std::vector<std::string>{"DL1ABC>APRS:on the HF pair", "DL1ABC>APRS:at 1200 bit/s"}));
}

TEST(PacketChannels, TuningMovesTheMonitorAndTheHfModem) {
  PacketChannels ch;
  PacketModemSettings s;
  s.type = 0;
  s.receiveHz = 1000;
  ch.Configure(s);
  ch.Tune(1700);
  auto* m = dynamic_cast<PacketReceiver*>(ch.monitor());
  ASSERT_NE(m, nullptr);
  auto* mixer = dynamic_cast<MixerDemodulator*>(m->demodulator());
  ASSERT_NE(mixer, nullptr);
  EXPECT_EQ(mixer->centreHz(), 1700.0);
  auto* d =
      dynamic_cast<MixerDemodulator*>(dynamic_cast<PacketReceiver*>(ch.modem())->demodulator());
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->centreHz(), 1700.0);
  // With the correlators the receivers are built again for the new tones and still decode.
  Heard h;
  ch.set_listener(h.Listener());
  s.demod = DemodChoice::Best;
  ch.Configure(s);
  ch.Tune(1700);
  s.receiveHz = 1700;
  auto sig = SendFrames(s, {Bytes("N0CALL>CQ:retuned")});
  sig.insert(sig.end(), 5000, 0);  // the closing flag still has to pass the filters
  ch.modem()->ProcessSamples(sig);
  ch.monitor()->ProcessSamples(sig);
  EXPECT_EQ(h.modem, 1);
  EXPECT_EQ(h.monitor, 1);
}

// More frames than one bit buffer holds go out as several transmissions, each with its own TX
// delay, and every frame arrives whole.
TEST(PacketChannels, SendFramesSplitsWhatOneTransmissionCannotHold) {
  PacketModemSettings s;
  s.type = 2;
  std::vector<std::vector<uint8_t>> frames;
  std::vector<std::string> lines;
  for (int i = 0; i < 40; ++i) {
    lines.push_back("N0CALL-" + std::to_string(1 + i % 15) + ">APRS:" + std::to_string(i) + " " +
                    std::string(230, static_cast<char>('a' + i % 26)));
    frames.push_back(Bytes(lines.back()));
  }
  PacketSendOptions o;
  o.txDelay = 30;
  const auto sig = SendFrames(s, frames, o);
  // 40 frames of about 250 bytes need some 80000 bits: two transmissions, one gap of silence.
  int gaps = 0;
  size_t zeros = 0;
  for (int16_t x : sig) {
    zeros = x == 0 ? zeros + 1 : 0;
    if (zeros == static_cast<size_t>(o.gapSamples)) ++gaps;
  }
  EXPECT_EQ(gaps, 1);
  EXPECT_EQ(test::DecodeLines(s, sig), lines);
  // The external TNC sends nothing through the sound card.
  s.type = 7;
  EXPECT_TRUE(SendFrames(s, frames).empty());
}

}  // namespace
}  // namespace vexa::packet
