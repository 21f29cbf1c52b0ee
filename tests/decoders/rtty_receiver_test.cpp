#include "decoders/rtty_receiver.h"

#include <gtest/gtest.h>

#include "decoders/rx_test_util.h"

namespace vexa::decoders {
namespace {

using testutil::BaudotSlots;
using testutil::FskFromSlots;

std::vector<int16_t> Tone(double hz, int samples, double amplitude = 8000) {
  std::vector<int16_t> v;
  for (int n = 0; n < samples; ++n) {
    v.push_back(static_cast<int16_t>(amplitude * std::sin(2 * M_PI * hz * n / 11025.0)));
  }
  return v;
}

TEST(RttyWindow, LengthFollowsTheSymbolStep) {
  RttySingleTone ch;
  EXPECT_EQ(ch.symbolStep, 3971);  // 45.45 baud at 750 Hz
  EXPECT_EQ(RttyWindowLength(ch.symbolStep), 16);
  ch.SetSymbolRate(300);
  EXPECT_EQ(ch.symbolStep, 26214);
  EXPECT_EQ(RttyWindowLength(ch.symbolStep), 2);
  ch.SetSymbolRate(20);
  EXPECT_EQ(RttyWindowLength(ch.symbolStep), 37);
  ch.SetSymbolRate(15);  // below 21 baud the window is limited to 48
  EXPECT_EQ(RttyWindowLength(ch.symbolStep), 48);
  EXPECT_EQ(RttyWindowLength(0), 48);
  // MTTY uses half the window and keeps 45.45 baud.
  engine::RxTextQueue q;
  MttyChannel m(&q);
  m.SetSymbolRate(100);
  EXPECT_EQ(m.symbolStep, 3971);
  m.SetCarrier(1000);
  m.ProcessBlock(Tone(1000, 2000));
  EXPECT_EQ(m.avg.length, 8);
}

TEST(RttySingleTone, ToneAboveTheCarrierSettlesAt1600AndIsMark) {
  engine::RxTextQueue q;
  RttySingleTone ch(&q);
  ch.SetCarrier(1000);
  ch.ProcessBlock(Tone(1085, 11025));
  EXPECT_EQ(ch.avg.length, 16);
  EXPECT_EQ(ch.discOut, 1600);  // 16 steps of d clipped to 100
  EXPECT_EQ(ch.clock.lastBit, 1);
  EXPECT_EQ(ch.decoder.state, BaudotDecoder::kIdle);  // mark: idle, nothing decoded
  EXPECT_TRUE(q.Empty());
  // Below the carrier the sum goes the other way and the bit is a space.
  RttySingleTone low(&q);
  low.SetCarrier(1000);
  low.ProcessBlock(Tone(915, 11025));
  EXPECT_EQ(low.discOut, -1600);
  EXPECT_EQ(low.clock.lastBit, 0);
}

TEST(RttySingleTone, InversionMakesTheLowerToneMark) {
  engine::RxTextQueue q;
  RttySingleTone ch(&q);
  ch.SetCarrier(1000);
  ch.invert = true;
  ch.ProcessBlock(Tone(915, 11025));
  EXPECT_EQ(ch.decoder.state, BaudotDecoder::kIdle);
  RttySingleTone plain(&q);
  plain.SetCarrier(1000);
  plain.ProcessBlock(Tone(915, 11025));  // a long space: framing error, waits for mark
  EXPECT_EQ(plain.decoder.state, BaudotDecoder::kWaitMark);
  EXPECT_TRUE(q.Empty());
}

TEST(RttyBitClock, SteadyLevelSamplesEvery16AndAHalfSteps) {
  BaudotDecoder d;
  RttyBitClock clock;
  clock.lastBit = 1;
  int samples = 0;
  for (int step = 0; step < 330; ++step) {
    const int32_t before = clock.bitClock;
    clock.Step(1, 3971, false, d);
    if (clock.bitClock < before) ++samples;
  }
  EXPECT_EQ(samples, 20);  // 330 * 3971 / 65536
}

TEST(RttyBitClock, LevelChangeHalvesAndStartBitRestartsTheClock) {
  BaudotDecoder d;
  d.state = BaudotDecoder::kIdle;
  RttyBitClock clock;
  clock.lastBit = 1;
  clock.bitClock = 20000;
  EXPECT_TRUE(clock.Step(0, 3971, false, d));  // to space: halved, no bit given
  EXPECT_EQ(clock.bitClock, (20000 + 3971) / 2);
  while (d.state == BaudotDecoder::kIdle) clock.Step(0, 3971, false, d);
  EXPECT_EQ(d.state, BaudotDecoder::kData);  // the space was taken as a start bit
  EXPECT_EQ(clock.bitClock, -0x8000);
}

struct RoundTrip {
  const char* name;
  int kind;  // 0 single tone, 1 two tone, 2 MTTY
  double shift;
  double baud;
};

class RttyRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RttyRoundTrip, FramesFromTheEncoderDecodeBack) {
  const RoundTrip& p = GetParam();
  const std::string text = "RYRY CQ DE DL1ABC 599 (73)? 1/2\r\n";
  const double slotRate = 2 * p.baud;
  const auto audio = FskFromSlots(BaudotSlots(text), 1200, p.shift, slotRate, 9000);
  engine::RxTextQueue q;
  RttySingleTone single(&q);
  RttyTwoTone two(&q);
  MttyChannel mtty(&q);
  engine::ReceiveChannel* ch = p.kind == 0   ? static_cast<engine::ReceiveChannel*>(&single)
                               : p.kind == 1 ? static_cast<engine::ReceiveChannel*>(&two)
                                             : static_cast<engine::ReceiveChannel*>(&mtty);
  ch->SetCarrier(1200);
  ch->SetSymbolRate(p.baud);
  ch->ProcessBlock(audio);
  EXPECT_EQ(testutil::Drain(q), "RYRY CQ DE DL1ABC 599 (73)? 1/2\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Demodulators, RttyRoundTrip,
    ::testing::Values(RoundTrip{"single170", 0, 170, 45.45}, RoundTrip{"single180", 0, 180, 45.45},
                      RoundTrip{"single75baud", 0, 170, 75}, RoundTrip{"twotone170", 1, 170, 45.45},
                      RoundTrip{"twotone180", 1, 180, 45.45}, RoundTrip{"twotone50", 1, 180, 50},
                      RoundTrip{"mtty", 2, 22.725, 45.45}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RttyTwoTone, OscillatorsSit90HzEitherSideAndSilenceIsHarmless) {
  engine::RxTextQueue q;
  RttyTwoTone ch(&q);
  ch.SetCarrier(1000);
  EXPECT_EQ(ch.phaseStep, engine::PhaseStepFor(1090, 11025));
  EXPECT_EQ(ch.phaseStep2, engine::PhaseStepFor(910, 11025));
  ch.ProcessBlock(std::vector<int16_t>(11025, 0));  // log of zero amplitude is clamped
  EXPECT_EQ(ch.discOut, 0);
  EXPECT_TRUE(q.Empty());
  ch.ResetFilters();
  EXPECT_EQ(ch.sums2[2], 0);
  EXPECT_EQ(ch.phase2, 0);
}

TEST(RttyTwoTone, CopyBehavesLikeTheOriginal) {
  const auto audio = FskFromSlots(BaudotSlots("CQ TEST"), 1000, 170, 90.9, 9000);
  engine::RxTextQueue q1, q2;
  RttyTwoTone a(&q1);
  a.SetCarrier(1000);
  a.ProcessBlock(std::span(audio).first(audio.size() / 2));
  RttyTwoTone b = a;
  b.decoder.output = &q2;
  testutil::Drain(q1);
  a.ProcessBlock(std::span(audio).subspan(audio.size() / 2));
  b.ProcessBlock(std::span(audio).subspan(audio.size() / 2));
  EXPECT_EQ(testutil::Drain(q1), testutil::Drain(q2));
  EXPECT_EQ(a.discOut, b.discOut);
}

}  // namespace
}  // namespace vexa::decoders
