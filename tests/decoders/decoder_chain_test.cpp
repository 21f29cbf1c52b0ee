#include "decoders/decoder_chain.h"

#include <gtest/gtest.h>

#include "decoders/receive_path.h"
#include "decoders/rx_commands.h"
#include "decoders/rx_test_util.h"

namespace vexa::decoders {
namespace {

constexpr int32_t kOneHz = 1 << 29;  // drift units per hertz of AFC correction

TEST(DecoderChain, ModeChangeRetargetsTheForwarder) {
  engine::RxTextQueue q;
  DecoderChain c(q);
  c.SetMode(vexa::Mode::Qpsk);
  EXPECT_EQ(c.forwarder().target(), &c.qpsk());
  EXPECT_EQ(&c.ActivePsk(), &c.qpsk());
  c.SetMode(vexa::Mode::Rtty);  // other modes leave it alone
  EXPECT_EQ(c.forwarder().target(), &c.qpsk());
  for (int m : {9, 11, 16}) {
    c.SetMode(vexa::Mode::Qpsk);
    c.SetMode(static_cast<vexa::Mode>(m));
    EXPECT_EQ(c.forwarder().target(), &c.bpsk()) << m;
  }
  const engine::ChannelTable t = c.Table();
  EXPECT_EQ(t.psk, &c.psk());
  EXPECT_EQ(t.psk->listener, &c.forwarder());
  EXPECT_EQ(t.second->listener, &c.secondDecoder());
  EXPECT_EQ(c.secondDecoder().sink, &c.secondQueue());
  EXPECT_EQ(c.bpsk().sink, &q);
}

TEST(DecoderChain, TuneAllMovesEveryMainChannelButNotTheSecond) {
  engine::RxTextQueue q;
  DecoderChain c(q);
  EXPECT_EQ(c.receiveHz(), 1000.0);
  c.second().SetCarrier(1500);
  c.TuneAll(1234.5);
  for (engine::ReceiveChannel* ch : {static_cast<engine::ReceiveChannel*>(&c.psk()),
                                     static_cast<engine::ReceiveChannel*>(&c.rttySingle()),
                                     static_cast<engine::ReceiveChannel*>(&c.rttyTwoTone()),
                                     static_cast<engine::ReceiveChannel*>(&c.mtty())}) {
    EXPECT_EQ(ch->carrier, 1234.5);
  }
  EXPECT_EQ(c.second().carrier, 1500);
  EXPECT_NEAR(c.rttyTwoTone().phaseStep - c.rttyTwoTone().phaseStep2, 180 * 65536 / 11025.0, 1);
}

TEST(DecoderChain, UnshiftInversionAndBaudReachBothRttyDecoders) {
  engine::RxTextQueue q;
  DecoderChain c(q);
  c.rttySingle().decoder.decodeTable = kBaudotFigures;
  c.rttyTwoTone().decoder.decodeTable = kBaudotFigures;
  c.Unshift();
  EXPECT_FALSE(c.rttySingle().decoder.InFigures());
  EXPECT_FALSE(c.rttyTwoTone().decoder.InFigures());
  c.SetInversion(true);
  EXPECT_TRUE(c.rttySingle().invert && c.rttyTwoTone().invert && c.mtty().invert);
  EXPECT_EQ(c.qpsk().invert, 1);
  c.SetInversion(false);
  EXPECT_EQ(c.qpsk().invert, 0);
}

// The stronger MTTY demodulator is wired like the classic one: tuning, inversion, unshift on
// space, the rate kept at 45.45 by the baud command; the receive path runs it in mode 17 with
// the BEST switch on and the classic one with it off, each alone.
TEST(DecoderChain, MttyBestIsWiredLikeTheClassicMtty) {
  engine::RxTextQueue q;
  DecoderChain c(q);
  EXPECT_EQ(c.Table().mttyBest, &c.mttyBest());
  c.TuneAll(1234.5);
  EXPECT_EQ(c.mttyBest().carrier, 1234.5);
  c.SetInversion(true);
  EXPECT_TRUE(c.mttyBest().invert);
  c.SetInversion(false);
  EXPECT_FALSE(c.mttyBest().invert);
  c.SetUnshiftOnSpace(true);
  EXPECT_TRUE(c.mttyBest().decoder.unshiftOnSpace);
  platform::FixedPrompt prompt;
  double accepted = 0;
  EXPECT_EQ(ApplyRttyBaudRate("75", c, prompt, accepted), kRxOk);
  EXPECT_EQ(c.mttyBest().symbolRate, 45.45);

  const std::string text = "RYRY CQ DE DL1ABC 599 (73)? 1/2\r\n";
  const auto audio =
      testutil::FskFromSlots(testutil::BaudotSlots(text), 1200, 45.45 / 2, 2 * 45.45, 9000, true);
  for (bool best : {true, false}) {
    engine::RxTextQueue out;
    ReceivePath path(out, 0);
    ReceiveOptions o;
    o.mode = vexa::Mode::Mtty;
    o.receiveHz = 1200;
    o.bestDemod = best;
    o.inversion = true;  // mark on the lower tone
    path.Apply(o);
    for (size_t at = 0; at < audio.size(); at += engine::kInputBlockSamples) {
      const size_t n = std::min<size_t>(engine::kInputBlockSamples, audio.size() - at);
      path.ProcessBlock(std::span<const int16_t>(audio.data() + at, n));
    }
    EXPECT_EQ(testutil::Drain(out), text) << best;
    // Only the chosen demodulator has seen the signal.
    EXPECT_EQ(path.chain().mttyBest().discOut != 0, best);
    EXPECT_EQ(path.chain().mtty().discOut != 0, !best);
  }
}

TEST(RxCommands, BaudRateCommandAcceptsTenTo300) {
  engine::RxTextQueue q;
  DecoderChain c(q);
  platform::FixedPrompt prompt;
  double accepted = 0;
  EXPECT_EQ(ApplyRttyBaudRate("75", c, prompt, accepted), kRxOk);
  EXPECT_EQ(accepted, 75);
  EXPECT_EQ(c.rttySingle().symbolRate, 75);
  EXPECT_EQ(c.rttyTwoTone().symbolRate, 75);
  EXPECT_EQ(c.mtty().symbolRate, 45.45);  // MTTY keeps its rate
  EXPECT_EQ(ApplyRttyBaudRate("10", c, prompt, accepted), kRxOk);
  EXPECT_EQ(ApplyRttyBaudRate("300", c, prompt, accepted), kRxOk);
  EXPECT_TRUE(prompt.shown.empty());
  for (const char* bad : {"9.99", "300.5", "abc", "", "nan", "-50", "inf"}) {
    accepted = 0;
    EXPECT_EQ(ApplyRttyBaudRate(bad, c, prompt, accepted), kRxBaudOutOfRange) << bad;
    EXPECT_EQ(accepted, 0);
  }
  EXPECT_EQ(c.rttySingle().symbolRate, 300);  // unchanged by the refusals
  EXPECT_EQ(prompt.shown.substr(0, 26), "Baud rate is out of range\n");
  EXPECT_EQ(std::string(kBaudRateCaption), "Set RTTY BAUDRATE");
  EXPECT_EQ(ParseBaudText(kBaudRateInitialText), 45.45);
  EXPECT_EQ(ParseBaudText("50 baud"), 50);
}

TEST(RxCommands, SquelchHysteresisHintsAndInversionFlag) {
  EXPECT_TRUE(NextSquelchOpen(true, 20));
  EXPECT_FALSE(NextSquelchOpen(true, 19));
  EXPECT_FALSE(NextSquelchOpen(false, 200));
  EXPECT_TRUE(NextSquelchOpen(false, 201));
  EXPECT_EQ(PskHintFor(vexa::Mode::Psk31, 201, 201), PskHint::LooksLikeQpsk);
  EXPECT_EQ(PskHintFor(vexa::Mode::Psk31, 201, 200), PskHint::None);
  EXPECT_EQ(PskHintFor(vexa::Mode::Qpsk, 201, 19), PskHint::LooksLikeBpsk);
  EXPECT_EQ(PskHintFor(vexa::Mode::Qpsk, 200, 0), PskHint::None);
  EXPECT_EQ(PskHintFor(vexa::Mode::Rtty, 255, 0), PskHint::None);
  EXPECT_FALSE(InversionFlag(0, 0));
  EXPECT_TRUE(InversionFlag(1, 0));
  EXPECT_TRUE(InversionFlag(0, 1));
  EXPECT_FALSE(InversionFlag(1, 1));
}

TEST(PskAfc, MovesTheReceiveFrequencyByTheDriftAndHalvesIt) {
  engine::RxTextQueue q;
  DecoderChain c(q);
  c.SetMode(vexa::Mode::Psk31);
  c.bpsk().phaseErrAvg = kOneHz;
  AfcOutcome a = c.AfcStep(true, false, 0);
  EXPECT_TRUE(a.moved);
  EXPECT_DOUBLE_EQ(a.receiveHz, 999.0);
  EXPECT_DOUBLE_EQ(c.psk().carrier, 999.0);
  EXPECT_EQ(c.bpsk().phaseErrAvg, kOneHz / 2);
  // Switched off, transmitting, or outside the PSK modes: nothing.
  EXPECT_FALSE(c.AfcStep(false, false, 0).moved);
  EXPECT_FALSE(c.AfcStep(true, true, 0).moved);
  c.SetMode(vexa::Mode::Rtty);
  EXPECT_FALSE(c.AfcStep(true, false, 0).moved);
  c.SetMode(vexa::Mode::Psk31);
  // 0.05 Hz or less is left alone.
  c.bpsk().phaseErrAvg = kOneHz / 20;
  EXPECT_FALSE(c.AfcStep(true, false, 0).moved);
  // A wild freqErr (noise) stops the correction in BPSK, not in QPSK.
  c.bpsk().phaseErrAvg = -kOneHz;
  c.bpsk().freqErr = 100000000;
  EXPECT_FALSE(c.AfcStep(true, false, 0).moved);
  c.SetMode(vexa::Mode::Qpsk);
  c.qpsk().phaseErrAvg = -kOneHz;
  c.qpsk().freqErr = 100000000;
  a = c.AfcStep(true, false, 0);
  EXPECT_TRUE(a.moved);
  EXPECT_DOUBLE_EQ(a.receiveHz, 1000.0);
}

TEST(PskAfc, SecondChannelUsesItsOwnDecoderAndA0Point1HzThreshold) {
  engine::RxTextQueue q;
  DecoderChain c(q);
  c.SetMode(vexa::Mode::Psk31);
  c.second().SetCarrier(1500);
  c.secondDecoder().phaseErrAvg = kOneHz / 12;  // 0.083 Hz
  EXPECT_FALSE(c.AfcStep(true, false, 1500).secondMoved);
  c.secondDecoder().phaseErrAvg = kOneHz / 4;
  const AfcOutcome a = c.AfcStep(true, false, 1500);
  EXPECT_TRUE(a.secondMoved);
  EXPECT_FALSE(a.moved);
  EXPECT_DOUBLE_EQ(a.secondHz, 1499.75);
  EXPECT_DOUBLE_EQ(c.second().carrier, 1499.75);
  EXPECT_EQ(c.secondDecoder().phaseErrAvg, kOneHz / 8);
  EXPECT_FALSE(c.AfcStep(true, false, 0).secondMoved);  // second channel off
}

}  // namespace
}  // namespace vexa::decoders
