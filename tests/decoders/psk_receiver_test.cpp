#include "decoders/psk_receiver.h"

#include <gtest/gtest.h>

#include "decoders/rx_test_util.h"

namespace vexa::decoders {
namespace {

using testutil::Drain;

void Bits(PskDecoder& d, std::initializer_list<int> bits) {
  for (int b : bits) d.PutBit(b);
}

TEST(Varicode, BitsAfterIdleZerosGiveEAndT) {
  engine::RxTextQueue q;
  PskDecoder d(&q);
  Bits(d, {0, 0, 0, 0, 1, 1, 0, 0});
  EXPECT_EQ(Drain(q), "e");
  Bits(d, {1, 0, 1, 0, 0});
  EXPECT_EQ(Drain(q), "t");
  Bits(d, {1, 0, 0, 1, 1, 0, 1, 1, 0, 0});  // space (1), l (11011)
  EXPECT_EQ(Drain(q), " l");
}

TEST(Varicode, RegisterKeepsOnlyItsLow16Bits) {
  engine::RxTextQueue q;
  PskDecoder d(&q);
  for (int i = 0; i < 20; ++i) d.PutBit(1);
  EXPECT_EQ(d.varicodeReg, 0xFFFF);
  Bits(d, {0, 0});  // r = 0x1FFF is beyond the table: nothing, and the register restarts
  EXPECT_TRUE(q.Empty());
  EXPECT_EQ(d.varicodeReg, 0);
  // 14 bits of a long run, then the 2 bits of "e": the top of the run falls off, so what ends
  // is 0b1111111111111111 followed by 00, again too long.
  for (int i = 0; i < 14; ++i) d.PutBit(1);
  Bits(d, {1, 1, 0, 0});
  EXPECT_TRUE(q.Empty());
  Bits(d, {1, 1, 0, 0});
  EXPECT_EQ(Drain(q), "e");
}

TEST(Varicode, UnknownCodeGivesCharacterZeroAndResetClears) {
  // The largest valid 12-bit word that no character uses.
  uint16_t unused = 0;
  for (uint32_t w = 4093; w > 0 && unused == 0; --w) {
    bool used = false;
    for (int c = 0; c < 256; ++c) used = used || VaricodeEncode(static_cast<uint8_t>(c)) == w;
    if (IsVaricodeWord(w) && !used) unused = static_cast<uint16_t>(w);
  }
  ASSERT_NE(unused, 0);
  engine::RxTextQueue q;
  PskDecoder d(&q);
  for (int i = VaricodeLength(unused) - 1; i >= 0; --i) d.PutBit((unused >> i) & 1);
  Bits(d, {0, 0});
  EXPECT_EQ(Drain(q), std::string(1, '\0'));
  d.PutBit(1);
  d.prevX = 5;
  d.Reset();
  EXPECT_EQ(d.varicodeReg, 0);
  EXPECT_EQ(d.prevX, 0);
}

TEST(PskClasses, QuarterAndEighthTurns) {
  EXPECT_EQ(QuarterClass(0), 2);
  EXPECT_EQ(QuarterClass(-32768), 0);
  EXPECT_EQ(QuarterClass(16384), 3);
  EXPECT_EQ(QuarterClass(-16384), 1);
  EXPECT_EQ(EighthClass(0), 4);
  EXPECT_EQ(EighthClass(32767), 0);
  EXPECT_EQ(EighthClass(16384), 6);
  EXPECT_EQ(EighthClass(-16384), 2);
  EXPECT_EQ(EighthClass(8192), 5);
  EXPECT_EQ(BitLength(0), 0);
  EXPECT_EQ(BitLength(-5), 0);
  EXPECT_EQ(BitLength(1), 1);
  EXPECT_EQ(BitLength(255), 8);
  EXPECT_EQ(BitLength(256), 9);
}

// A channel that records the decimated steps at which the listener was called.
class ClockProbe : public PskChannel {
 public:
  void ProcessDecimated() override {
    const uint8_t wasInTransition = inTransition;
    const int32_t before = symbolsSinceCorr;
    PskChannel::ProcessDecimated();
    ++step;
    if (inTransition != 0 && wasInTransition == 0) transitionPhases.push_back(symbolPhase);
    if (symbolsSinceCorr != before && symbolsSinceCorr != 0) symbolSteps.push_back(step);
  }
  int step = 0;
  std::vector<int> symbolSteps;
  std::vector<uint16_t> transitionPhases;
};

TEST(PskChannel, CleanSignalGivesASymbolEvery16StepsCentredBetweenTransitions) {
  const auto audio = testutil::PskAudio(testutil::BpskSteps(std::vector<int>(200, 0)), 1000, 8000);
  ClockProbe ch;
  ch.SetCarrier(1000);
  ch.ProcessBlock(audio);
  ASSERT_GT(ch.symbolSteps.size(), 150u);
  for (size_t k = ch.symbolSteps.size() - 100; k < ch.symbolSteps.size(); ++k) {
    EXPECT_EQ(ch.symbolSteps[k] - ch.symbolSteps[k - 1], 16) << k;
  }
  // Transitions are seen half a symbol before the instant: the clock sits near 0x8000 there.
  ASSERT_GT(ch.transitionPhases.size(), 150u);
  for (size_t k = ch.transitionPhases.size() - 50; k < ch.transitionPhases.size(); ++k) {
    EXPECT_NEAR(ch.transitionPhases[k], 0x8000, 0x2000) << k;
  }
  EXPECT_LE(std::abs(ch.clockCorr), 256);
}

TEST(PskChannel, LargeClockCorrectionIsHalvedAtEachTransition) {
  PskChannel ch;
  auto fill = [&](int32_t v) {
    ch.firI.fill(v);
    ch.firQ.fill(0);
    ch.sums[2] = v * 1024;
    ch.sums[3] = 0;
  };
  ch.clockCorr = 1000;
  ch.symbolsSinceCorr = 0;  // no new estimate: only the halving rule acts
  ch.prevI = 300;
  ch.prevQ = 0;
  fill(-1000);  // the vector now points the other way: a transition
  ch.ProcessDecimated();
  EXPECT_EQ(ch.clockCorr, 500);
  EXPECT_EQ(ch.inTransition, 1);
  ch.inTransition = 0;
  ch.prevI = -300;
  fill(1000);
  ch.ProcessDecimated();
  EXPECT_EQ(ch.clockCorr, 250);
  ch.inTransition = 0;
  ch.prevI = 300;
  fill(-1000);
  ch.ProcessDecimated();
  EXPECT_EQ(ch.clockCorr, 250);  // within +-256: kept
}

std::string RoundTrip(const std::vector<int>& steps, int mode, bool mirror, bool invert,
                      double noiseRms = 0, double offsetHz = 0) {
  const auto audio = testutil::PskAudio(steps, 1000 + offsetHz, 8000, mirror, noiseRms, 7);
  testutil::RxSetup s;
  s.mode = mode;
  s.invert = invert;
  return testutil::Decode(audio, s);
}

const char kText[] = "CQ CQ de DL1ABC pse k\r\nRST 599, name Ann. 73!";

TEST(PskRoundTrip, BpskCleanAndInNoise) {
  const auto steps = testutil::BpskSteps(testutil::VaricodeBits(kText));
  EXPECT_NE(RoundTrip(steps, 9, false, false).find(kText), std::string::npos);
  // The other sideband does not matter to BPSK.
  EXPECT_NE(RoundTrip(steps, 9, true, false).find(kText), std::string::npos);
  // About 0 dB in a 3 kHz band: a few errors at most.
  const std::string noisy = RoundTrip(steps, 9, false, false, 5600);
  const size_t at = noisy.find("CQ");
  ASSERT_NE(at, std::string::npos) << noisy;
  EXPECT_NE(noisy.find("RST 599"), std::string::npos) << noisy;
}

TEST(PskRoundTrip, QpskAndInvertForTheOtherSideband) {
  const auto steps = testutil::QpskSteps(testutil::VaricodeBits(kText));
  EXPECT_NE(RoundTrip(steps, 10, false, false).find(kText), std::string::npos);
  EXPECT_EQ(RoundTrip(steps, 10, true, false).find(kText), std::string::npos);
  EXPECT_NE(RoundTrip(steps, 10, true, true).find(kText), std::string::npos);
  EXPECT_NE(RoundTrip(steps, 10, false, false, 5600).find("RST 599"), std::string::npos);
}

TEST(PskDecoder, QualityAndLikenessTellBpskFromQpskAndIdleCarrier) {
  std::vector<int> bits = testutil::VaricodeBits(std::string(40, 'e'));
  bits.resize(bits.size() - 32);  // without the unmodulated tail
  auto run = [](const std::vector<int>& steps, PskDecoder& d) {
    PskChannel ch;
    ch.SetCarrier(1000);
    ch.listener = &d;
    ch.ProcessBlock(testutil::PskAudio(steps, 1000, 8000));
  };
  PskDecoder b;
  run(testutil::BpskSteps(bits), b);
  EXPECT_GT(b.quality, 200);
  EXPECT_LT(b.qpskLikeness, 20);
  QpskDecoder q;
  run(testutil::QpskSteps(bits), q);
  EXPECT_GT(q.quality, 200);
  PskDecoder seenByBpsk;
  run(testutil::QpskSteps(bits), seenByBpsk);
  EXPECT_GT(seenByBpsk.qpskLikeness, b.qpskLikeness);
  // An unmodulated carrier: more than 20 symbols without a change zero the quality.
  PskDecoder idle;
  run(std::vector<int>(100, 0), idle);
  EXPECT_EQ(idle.quality, 0);
  EXPECT_GT(idle.runLength, 20);
}

TEST(QpskDecoder, ResetLoadsTheStartingMetricsAndViterbiFollowsACleanStream) {
  QpskDecoder d;
  EXPECT_EQ(d.metric[0], 9);
  EXPECT_EQ(d.metric[15], 0);
  EXPECT_EQ(static_cast<int32_t>(d.history[0]), -16);
  EXPECT_EQ(static_cast<int32_t>(d.history[15]), -1);
  // The expected symbols follow the two parities.
  EXPECT_EQ(d.expected[0], 0);
  EXPECT_EQ(d.expected[1], 3);  // both taps include bit 0
  EXPECT_EQ(d.expected[8], 2);  // 0x19 has bit 3, 0x17 does not
  // Encoder output fed straight in comes out 20 bits later.
  std::vector<int> bits;
  for (int i = 0; i < 200; ++i) bits.push_back((i * 7 + i / 3) % 5 < 2 ? 1 : 0);
  const auto steps = testutil::QpskSteps(bits);
  std::vector<int> out;
  for (int s : steps) out.push_back(d.ViterbiStep(s));
  int matches = 0;
  for (size_t i = 0; i + 20 < bits.size(); ++i) matches += out[i + 20] == bits[i] ? 1 : 0;
  EXPECT_EQ(matches, static_cast<int>(bits.size()) - 20);
}

}  // namespace
}  // namespace vexa::decoders
