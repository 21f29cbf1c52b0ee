#include "decoders/fsk31_receiver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "decoders/decoder_chain.h"
#include "decoders/psk_receiver.h"
#include "decoders/rx_test_util.h"
#include "engine/receive_loop.h"
#include "support/cw_score.h"
#include "support/cw_signal.h"
#include "support/fsk31_signal.h"
#include "support/text_score.h"

namespace vexa::decoders {
namespace {

class BitLog final : public engine::SymbolListener {
 public:
  void PutBit(int bit) override { bits.push_back(bit); }
  std::vector<int> bits;
};

using testutil::Drain;

// One tone decision with averaged frequency value s (positive = upper tone).
void Decide(Fsk31Receiver& rx, int32_t s, int steps = 1) {
  for (int i = 0; i < steps; ++i) rx.DecideTone(s);
}

// --- The bit clock and the run rules ---

TEST(Fsk31BitClock, RunOfThreePointFourPeriodsGivesThreeBitsAndKeepsTheRemainder) {
  BitLog log;
  Fsk31Receiver rx;
  rx.listener = &log;
  Decide(rx, -80);  // lower tone, as lastBit 0
  rx.bitClock = 0x36666 - rx.symbolStep;
  Decide(rx, 80);                                    // change: the clock reaches 0x36666
  EXPECT_EQ(log.bits, (std::vector<int>{1, 1, 1}));  // lower tone without inversion = 1
  EXPECT_EQ(rx.bitClock, 0x3333);
  EXPECT_EQ(rx.lastBit, 1);
}

TEST(Fsk31BitClock, SteadyToneSendsNothingUntilItChanges) {
  BitLog log;
  Fsk31Receiver rx;
  rx.listener = &log;
  Decide(rx, 80, 16 * 5);  // five periods of the upper tone (16 steps each)
  EXPECT_TRUE(log.bits.empty());
  Decide(rx, -80);
  EXPECT_EQ(log.bits, (std::vector<int>{0, 0, 0, 0, 0}));
}

TEST(Fsk31BitClock, DirectVariantSendsTheOldToneAndInversionSwapsIt) {
  for (bool invert : {false, true}) {
    BitLog log;
    Fsk31Receiver rx;
    rx.listener = &log;
    rx.set_invert(invert);
    Decide(rx, 80, 16 * 2);   // upper for two periods
    Decide(rx, -80, 16 * 3);  // lower for three
    Decide(rx, 80);
    // Without inversion: upper = 0, lower = 1; with inversion the other way round.
    const std::vector<int> want =
        invert ? std::vector<int>{1, 1, 0, 0, 0} : std::vector<int>{0, 0, 1, 1, 1};
    EXPECT_EQ(log.bits, want) << invert;
  }
}

TEST(Fsk31BitClock, DifferentialVariantSendsZeroForTheChangeThenOnes) {
  BitLog log;
  Fsk31Receiver rx;
  rx.listener = &log;
  rx.set_differential(true);
  Decide(rx, 80, 16 * 4);
  Decide(rx, -80, 16 * 1);
  Decide(rx, 80);
  EXPECT_EQ(log.bits, (std::vector<int>{0, 1, 1, 1, 0}));
}

TEST(Fsk31BitClock, LongSteadyToneCountsSixteenPeriodsAtMost) {
  // A 20-bit clock holds 16 periods; a longer run is delivered as 16, never wrapped to a few.
  BitLog log;
  Fsk31Receiver rx;
  rx.listener = &log;
  Decide(rx, 80, 16 * 40);
  Decide(rx, -80);
  EXPECT_EQ(log.bits.size(), 16u);
}

TEST(Fsk31BitClock, PeaksFollowTheToneChanges) {
  Fsk31Receiver rx;
  EXPECT_EQ(rx.highPeak, 60);
  EXPECT_EQ(rx.lowPeak, -60);
  Decide(rx, 70);  // a change to 1: the high peak becomes the value
  EXPECT_EQ(rx.highPeak, 70);
  Decide(rx, -30);  // -30 < (70 - 60) / 2: a change to 0
  EXPECT_EQ(rx.lowPeak, -30);
  EXPECT_EQ(rx.lastBit, 0);
}

// --- Through the front end into the BPSK decoder's varicode register ---

struct Fsk31Rig {
  engine::RxTextQueue q;
  PskDecoder bpsk{&q};
  PskChannel psk;
  SymbolForwarder forwarder{&bpsk, &psk};
  Fsk31Receiver rx;
  explicit Fsk31Rig(const test::Fsk31Params& p) {
    rx.listener = &forwarder;
    rx.set_differential(p.differential);
    rx.SetCarrier(p.centreHz);
  }
  std::string Decode(const std::vector<int16_t>& audio) {
    rx.ProcessBlock(audio);
    return Drain(q);
  }
};

const std::string kText = "CQ CQ de K2ABC/P: fsk31 test 0123456789 - ok?\r\n";
// The idle after the text is a run without tone changes in the direct variant, and a run is only
// delivered when it ends: the final LF waits for the next transmission. So the audio tests look
// for everything up to it.
const std::string kShown = kText.substr(0, kText.size() - 1);

class Fsk31Audio : public ::testing::TestWithParam<std::tuple<bool, double>> {};

TEST_P(Fsk31Audio, TextRoundTripsThroughTheVaricodeDecoder) {
  test::Fsk31Params p;
  p.differential = std::get<0>(GetParam());
  p.centreHz = std::get<1>(GetParam());
  Fsk31Rig rig(p);
  const std::string got = rig.Decode(test::MakeFsk31Audio(kText, p));
  EXPECT_NE(got.find(kShown), std::string::npos) << got;
}
INSTANTIATE_TEST_SUITE_P(VariantsAndCentres, Fsk31Audio,
                         ::testing::Combine(::testing::Bool(),
                                            ::testing::Values(600.0, 1000.0, 2125.0)));

TEST(Fsk31AudioSideband, InversionReadsTheSwappedTonesInTheDirectVariant) {
  test::Fsk31Params p;
  p.swapTones = true;
  Fsk31Rig plain(p);
  EXPECT_EQ(plain.Decode(test::MakeFsk31Audio(kText, p)).find(kShown), std::string::npos);
  Fsk31Rig inverted(p);
  inverted.rx.set_invert(true);
  const std::string invGot = inverted.Decode(test::MakeFsk31Audio(kText, p));
  EXPECT_NE(invGot.find(kShown), std::string::npos) << invGot;
  // The differential variant does not care which tone is which.
  p.differential = true;
  Fsk31Rig diff(p);
  EXPECT_NE(diff.Decode(test::MakeFsk31Audio(kText, p)).find(kShown), std::string::npos);
}

TEST(Fsk31AudioClock, ToleratesASenderClockOffByHalfAPercent) {
  for (double baud : {31.25 * 0.995, 31.25 * 1.005}) {
    test::Fsk31Params p;
    p.differential = true;
    p.baud = baud;
    Fsk31Rig rig(p);
    const std::string got = rig.Decode(test::MakeFsk31Audio(kText, p));
    EXPECT_NE(got.find(kShown), std::string::npos) << baud << ": " << got;
  }
}

TEST(Fsk31Afc, AfcValuePointsTowardTheSignal) {
  // Tuned 2 Hz below the signal: the AFC value is negative, so f - afc * 2^-29 moves up.
  for (double offset : {+2.0, -2.0}) {
    test::Fsk31Params p;
    p.differential = true;
    Fsk31Rig rig(p);
    rig.rx.SetCarrier(p.centreHz - offset);
    rig.Decode(test::MakeFsk31Audio(kText, p));
    const double correctionHz = -rig.rx.afcValue / 536870912.0;
    EXPECT_GT(correctionHz * offset, 0) << offset << " Hz, afcValue " << rig.rx.afcValue;
  }
}

TEST(Fsk31AudioNoise, SweepStaysWithinMeasuredBounds) {
  struct Case {
    bool differential;
    double snrDb;
    double bound;
  };
  std::string text;
  for (int i = 0; i < 4; ++i) text += "the quick brown fox jumps over the lazy dog 73\r\n";
  for (const Case c : {Case{false, 10, 0.01}, Case{false, -3, 0.01}, Case{false, -6, 0.01},
                       Case{false, -9, 0.04}, Case{true, 10, 0.015}, Case{true, -3, 0.015},
                       Case{true, -6, 0.015}, Case{true, -9, 0.06}}) {
    test::Fsk31Params p;
    p.differential = c.differential;
    auto audio = test::MakeFsk31Audio(text, p);
    test::AddNoiseAtSnr(audio, p.amplitude, c.snrDb, 31);
    Fsk31Rig rig(p);
    const std::string got = rig.Decode(audio);
    // Measured: direct 0 down to -6 dB, 0.011 at -9 dB; differential 0.005 (a stray "e" from the
    // first tone change) down to -6 dB, 0.027 at -9 dB. Bounds: measured plus a margin.
    const double cer =
        test::CharErrorRate(test::SquashWhitespace(text), test::SquashWhitespace(got));
    std::printf("FSK31 %s %+.0f dB: CER %.3f\n", c.differential ? "differential" : "direct",
                c.snrDb, cer);
    EXPECT_LE(cer, c.bound);
  }
}

// --- In the main window's chain: mode 11 and 16 dispatch, forwarder, tuning, AFC source ---

TEST(Fsk31Chain, ModesElevenAndSixteenDecodeThroughTheReceiveLoop) {
  for (int mode : {11, 16}) {
    engine::RxTextQueue q;
    DecoderChain chain(q);
    chain.SetMode(static_cast<vexa::Mode>(mode));
    chain.TuneAll(1500);
    engine::ReceiveLoop loop(chain.Table(), 0);
    loop.SetMode(static_cast<vexa::Mode>(mode));
    test::Fsk31Params p;
    p.centreHz = 1500;
    p.differential = mode == 16;
    const auto audio = test::MakeFsk31Audio(kText, p);
    for (size_t i = 0; i < audio.size(); i += 2048) {
      loop.ProcessBlock(
          std::span<const int16_t>(audio.data() + i, std::min<size_t>(2048, audio.size() - i)));
    }
    EXPECT_NE(Drain(q).find(kShown), std::string::npos) << mode;
    EXPECT_EQ(chain.fsk31().differential, mode == 16);
  }
}

TEST(Fsk31Chain, AfcInFsk31ModesReadsTheReceiversValue) {
  engine::RxTextQueue q;
  DecoderChain chain(q);
  chain.SetMode(vexa::Mode::Fsk31b);
  chain.TuneAll(1000);
  chain.fsk31().afcValue = -536870912;  // asks for +1 Hz
  const AfcOutcome a = chain.AfcStep(true, false, 0);
  EXPECT_TRUE(a.moved);
  EXPECT_DOUBLE_EQ(a.receiveHz, 1001.0);
  EXPECT_DOUBLE_EQ(chain.fsk31().carrier, 1001.0);
  EXPECT_EQ(chain.fsk31().afcValue, -536870912 / 2);
}

}  // namespace
}  // namespace vexa::decoders
