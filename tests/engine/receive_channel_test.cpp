#include "engine/receive_channel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vexa::engine {
namespace {

// A channel that counts its decimated steps and keeps the last filter outputs.
class CountingChannel final : public ReceiveChannel {
 public:
  CountingChannel(int rate, double baud) : ReceiveChannel(rate, baud) {}
  void ProcessDecimated() override {
    ++steps;
    lastI = FilteredI();
    lastQ = FilteredQ();
  }
  int steps = 0;
  int32_t lastI = 0, lastQ = 0;
};

class ResetCounter final : public SymbolListener {
 public:
  void Reset() override { ++resets; }
  int resets = 0;
};

std::vector<int16_t> Tone(double hz, size_t n, double amp = 10000.0) {
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<int16_t>(amp * std::cos(2 * M_PI * hz * i / 11025));
  return s;
}

TEST(ReceiveChannel, DerivedValuesForEachChannelRate) {
  struct Case {
    int rate;
    double baud;
    int box;
    int decim;
    int symbol;
  };
  for (Case c : {Case{500, 31.25, 22, 2972, 4096}, Case{750, 45.45, 15, 4458, 3971},
                 Case{1500, 100, 7, 8916, 4369}}) {
    CountingChannel ch(c.rate, c.baud);
    EXPECT_EQ(ch.sampleRate, 11025);
    EXPECT_EQ(ch.boxLength, c.box) << c.rate;
    EXPECT_EQ(ch.decimStep, c.decim) << c.rate;
    EXPECT_EQ(ch.symbolStep, c.symbol) << c.rate;
  }
}

TEST(ReceiveChannel, PhaseStepFollowsTheCarrierAndSampleRate) {
  CountingChannel ch(500, 31.25);
  ch.SetCarrier(1000.0);
  EXPECT_EQ(ch.phaseStep, static_cast<uint16_t>(1000.0 / 11025 * 65536));  // 5944
  EXPECT_EQ(ch.phaseStep, 5944);
  ch.SetSampleRate(0);
  EXPECT_EQ(ch.phaseStep, 0);
  ch.SetSampleRate(11025);
  EXPECT_EQ(ch.phaseStep, 5944);
  ch.SetSymbolRate(62.5);
  EXPECT_EQ(ch.symbolStep, 8192);
  EXPECT_EQ(PhaseStepFor(-1000.0, 11025), static_cast<uint16_t>(65536 - 5944));
  EXPECT_EQ(PhaseStepFor(NAN, 11025), 0);
}

TEST(ReceiveChannel, NinetyTwoOrNinetyThreeStepsPerBlockAt500Hz) {
  CountingChannel ch(500, 31.25);
  std::vector<int16_t> block(2048, 0);
  int total = 0;
  for (int b = 0; b < 200; ++b) {
    const int before = ch.steps;
    ch.ProcessBlock(block);
    const int n = ch.steps - before;
    EXPECT_TRUE(n == 92 || n == 93) << n;
    total += n;
  }
  // 2972 / 65536 * 11025 = 499.97 steps a second.
  EXPECT_EQ(total, static_cast<int>(200 * 2048 * 2972 / 65536));
}

TEST(ReceiveChannel, TheTwoBoxcarsGiveASincSquaredResponse) {
  CountingChannel on(500, 31.25), off(500, 31.25);
  on.SetCarrier(1000);
  off.SetCarrier(1300);
  auto s = Tone(1000, 11025);
  on.ProcessBlock(s);
  off.ProcessBlock(s);
  const double magOn = std::hypot(on.lastI, on.lastQ);
  const double magOff = std::hypot(off.lastI, off.lastQ);
  // Gain of the two boxcars is boxLength^2 = 484; the mixer halves the amplitude and >>16 with
  // a table scaled to 32767 halves it again: 10000/4 * 484 = 1.21e6.
  EXPECT_NEAR(magOn, 10000.0 / 4 * 484, 0.02 * 1.21e6);
  // Two cascaded 22-sample moving sums: amplitude response (sin(pi f L/fs) / (L sin(pi f/fs)))^2.
  auto response = [](double f) {
    const double l = 22, fs = 11025;
    const double r = std::sin(M_PI * f * l / fs) / (l * std::sin(M_PI * f / fs));
    return r * r;
  };
  EXPECT_NEAR(magOff / magOn, response(300), 0.02);
  CountingChannel nullPoint(500, 31.25);
  nullPoint.SetCarrier(1000 + 11025.0 / 22);  // first null of the boxcar
  nullPoint.ProcessBlock(s);
  EXPECT_LT(std::hypot(nullPoint.lastI, nullPoint.lastQ), magOn / 100);
}

TEST(ReceiveChannel, ResetFiltersClearsStateAndResetsTheListener) {
  CountingChannel ch(750, 45.45);
  ResetCounter l;
  ch.listener = &l;
  ch.SetCarrier(915);
  ch.ProcessBlock(Tone(915, 3000));
  ch.firIndex = 17;
  ch.ResetFilters();
  EXPECT_EQ(l.resets, 1);
  EXPECT_EQ(ch.phase, 0);
  EXPECT_EQ(ch.decimPhase, 0);
  EXPECT_EQ(ch.symbolPhase, 0);
  EXPECT_EQ(ch.boxIndex, 0);
  EXPECT_EQ(ch.firIndex, 0);
  for (int32_t s : ch.sums) EXPECT_EQ(s, 0);
  for (const auto& h : ch.hist)
    for (int32_t v : h) EXPECT_EQ(v, 0);
  EXPECT_EQ(ch.phaseStep, PhaseStepFor(915, 11025));  // tuning survives a reset
}

TEST(ReceiveChannel, ACopyBehavesExactlyLikeTheOriginal) {
  CountingChannel a(500, 31.25);
  a.SetCarrier(1234.5);
  auto s = Tone(1230, 5000);
  a.ProcessBlock(std::span<const int16_t>(s.data(), 2500));
  CountingChannel b = a;
  a.ProcessBlock(std::span<const int16_t>(s.data() + 2500, 2500));
  b.ProcessBlock(std::span<const int16_t>(s.data() + 2500, 2500));
  EXPECT_EQ(a.steps, b.steps);
  EXPECT_EQ(a.lastI, b.lastI);
  EXPECT_EQ(a.lastQ, b.lastQ);
  EXPECT_EQ(a.phase, b.phase);
}

TEST(ReceiveChannel, FullScaleInputDoesNotOverflowTheSums) {
  CountingChannel ch(500, 31.25);
  ch.SetCarrier(0);
  std::vector<int16_t> s(20000, -32768);
  ch.ProcessBlock(s);
  // x * COS(0) >> 16 = -32768 * 32767 >> 16 = -16384; times 22 * 22.
  EXPECT_EQ(ch.lastI, -16384 * 22 * 22);
}

}  // namespace
}  // namespace vexa::engine
