// The symbol generator: its steps, PSK crossfades, continuous-phase RTTY and FSK tones, and the
// click-free ramp between carrier-off and an RTTY tone.
#include "tx/symbol_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "tx/test_fading.h"

namespace vexa::tx {
namespace {

// Frequency from the zero crossings of a steady tone.
double ToneHz(const std::vector<int16_t>& s) {
  int crossings = 0;
  for (size_t i = 1; i < s.size(); ++i)
    if ((s[i - 1] < 0) != (s[i] < 0)) ++crossings;
  return crossings / 2.0 * 11025.0 / static_cast<double>(s.size());
}

std::vector<int16_t> Samples(SymbolGenerator& g, size_t n, int* dues = nullptr) {
  std::vector<int16_t> out(n);
  for (auto& s : out) {
    bool due = false;
    s = g.NextSample(due);
    if (due && dues != nullptr) ++*dues;
  }
  return out;
}

TEST(SymbolGenerator, StepsAtCreationAndAfterChanges) {
  SymbolGenerator g;
  // 31.25 * 2^32 / 11025 and 1000 / 11025 * 65536, truncated.
  EXPECT_EQ(g.symbolStep, 12173943u);
  EXPECT_EQ(g.centreStep, 5944);
  EXPECT_EQ(g.upperStep, 5990);  // 1007.8125 Hz
  EXPECT_EQ(g.lowerStep, 5897);  // 992.1875 Hz
  g.SetShiftAndRate(180, 90.9);
  EXPECT_EQ(g.symbolStep, 35411567u);
  EXPECT_EQ(g.upperStep, 6479);  // 1090 Hz
  EXPECT_EQ(g.lowerStep, 5409);  // 910 Hz
  g.SetSampleRate(0);
  EXPECT_EQ(g.symbolStep, 0u);
  EXPECT_EQ(g.centreStep, 0);
  EXPECT_EQ(g.upperStep, 0);
}

TEST(SymbolGenerator, SymbolClockWrapsAtTheSymbolRate) {
  SymbolGenerator g;
  int dues = 0;
  Samples(g, 11025, &dues);
  EXPECT_EQ(dues, 31);  // 31.25 symbols in one second
  g.SetShiftAndRate(180, 2 * 45.45);
  g.Reset();
  dues = 0;
  Samples(g, 11025 * 2, &dues);
  EXPECT_EQ(dues, 181);  // 90.9 half-bits per second
}

TEST(SymbolGenerator, SteadyCarrierIsFullScaleAtTheCentre) {
  SymbolGenerator g;
  g.SetSymbol(0);
  g.SetSymbol(0);
  const auto s = Samples(g, 11025);
  int peak = 0;
  for (int16_t v : s) peak = std::max(peak, std::abs(int{v}));
  EXPECT_GE(peak, 32700);
  EXPECT_NEAR(ToneHz(s), 1000.0, 1.0);
}

TEST(SymbolGenerator, ReversalPassesThroughZeroInTheMiddleOfTheSymbol) {
  SymbolGenerator g;
  g.SetSymbol(0);
  g.SetSymbol(2);                  // previous (1,0), current (-1,0)
  const auto s = Samples(g, 352);  // one symbol is 352.8 samples
  // The amplitude changes by about 290 per sample near the middle.
  auto peakAround = [&](size_t centre) {
    int p = 0;
    for (size_t i = centre - 2; i <= centre + 2; ++i) p = std::max(p, std::abs(int{s[i]}));
    return p;
  };
  EXPECT_GE(peakAround(10), 30000);
  EXPECT_LE(peakAround(176), 900);
  EXPECT_GE(peakAround(340), 30000);
}

TEST(SymbolGenerator, RttyTonesKeepTheirPhaseAcrossShifts) {
  SymbolGenerator g;
  g.SetShiftAndRate(180, 90.9);
  g.SetSymbol(SymbolGenerator::kRttyHigh);
  g.SetSymbol(SymbolGenerator::kRttyHigh);
  EXPECT_NEAR(ToneHz(Samples(g, 5000)), 1090, 2);
  g.SetSymbol(SymbolGenerator::kRttyLow);
  g.SetSymbol(SymbolGenerator::kRttyLow);
  EXPECT_NEAR(ToneHz(Samples(g, 5000)), 910, 2);
  // Random marks and spaces: no sample step larger than the steepest slope of the upper tone.
  g.Reset();
  g.SetSymbol(SymbolGenerator::kRttyLow);
  int prev = 0, maxStep = 0;
  bool first = true;
  unsigned seed = 12345;
  for (int k = 0; k < 2000; ++k) {
    bool due = false;
    const int v = g.NextSample(due);
    if (!first) maxStep = std::max(maxStep, std::abs(v - prev));
    first = false;
    prev = v;
    if (due) {
      seed = seed * 1103515245u + 12345u;
      g.SetSymbol(SymbolGenerator::kRttyLow + static_cast<int>((seed >> 16) & 1u));
    }
  }
  EXPECT_LE(maxStep, static_cast<int>(2 * M_PI * 1090 / 11025 * 32767 * 1.02));
}

TEST(SymbolGenerator, CarrierOnAndOffAroundAnRttyToneRampsWithoutAClick) {
  SymbolGenerator g;
  g.SetShiftAndRate(180, 90.9);
  g.Reset();                                // previous and current "off"
  g.SetSymbol(SymbolGenerator::kRttyHigh);  // off -> mark: ramp up over this symbol
  std::vector<int16_t> s;
  int symbols = 0;
  while (symbols < 4) {
    bool due = false;
    s.push_back(g.NextSample(due));
    if (due) {
      ++symbols;
      // mark, mark, then off (ramp down), then off
      g.SetSymbol(symbols < 2 ? SymbolGenerator::kRttyHigh : SymbolGenerator::kOff);
    }
  }
  const size_t sym = 121;  // samples per half-bit
  int startPeak = 0, midPeak = 0, endPeak = 0;
  for (size_t i = 0; i < 12; ++i) startPeak = std::max(startPeak, std::abs(int{s[i]}));
  for (size_t i = sym + 10; i < 2 * sym; ++i) midPeak = std::max(midPeak, std::abs(int{s[i]}));
  for (size_t i = 3 * sym - 12; i < 3 * sym; ++i) endPeak = std::max(endPeak, std::abs(int{s[i]}));
  EXPECT_LE(startPeak, 1000);  // starts from silence, not at full amplitude
  EXPECT_GE(midPeak, 32000);
  EXPECT_LE(endPeak, 1000);
  for (size_t i = 3 * sym + 2; i < s.size(); ++i) ASSERT_EQ(s[i], 0) << i;
}

TEST(SymbolGenerator, Fsk31TonesFollowSymbolChanges) {
  SymbolGenerator g;
  g.SetSymbol(5);
  g.SetSymbol(7);  // a change: the upper tone
  int dues = 0;
  std::vector<int16_t> s;
  while (s.size() < 3000) {
    bool due = false;
    s.push_back(g.NextSample(due));
    if (due) g.SetSymbol(g.curSymbol == 5 ? 7 : 5);
    dues += due;
  }
  EXPECT_NEAR(ToneHz(s), 1007.8, 2);
  g.SetReverse(true);
  s.clear();
  while (s.size() < 3000) {
    bool due = false;
    s.push_back(g.NextSample(due));
    if (due) g.SetSymbol(g.curSymbol == 5 ? 7 : 5);
  }
  EXPECT_NEAR(ToneHz(s), 992.2, 2);
}

TEST(SymbolGenerator, AbsurdSettingsGiveDefinedSteps) {
  // Frequencies from a settings file or a click can be anything; steps stay defined.
  EXPECT_EQ(PhaseStep16(-1000, 11025), static_cast<uint16_t>(-5944));
  EXPECT_EQ(PhaseStep16(1000 + 11025.0 * 1000, 11025), 5944);  // aliases like the register
  EXPECT_EQ(PhaseStep16(std::nan(""), 11025), 0);
  EXPECT_EQ(PhaseStep16(11025, 11025), 0);  // one full cycle per sample
  SymbolGenerator g;
  g.SetShiftAndRate(15.625, 1e12);
  EXPECT_EQ(g.symbolStep, 0xFFFFFFFFu);
  g.SetShiftAndRate(15.625, -5);
  EXPECT_EQ(g.symbolStep, 0u);
  g.SetShiftAndRate(15.625, std::nan(""));
  EXPECT_EQ(g.symbolStep, 0u);
}

TEST(TestFading, DepthSetsTheDeepestFadeAndZeroPeriodDisables) {
  TestFading f;
  EXPECT_FALSE(f.enabled());
  f.Set(0, 1.0, 1.0);  // one cycle per second, full depth
  EXPECT_TRUE(f.enabled());
  int lo = 40000, hi = 0;
  for (int i = 0; i < 11025; ++i) {
    const int v = f.Apply(30000);
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  EXPECT_LE(lo, 200);    // 1 - 1 * (0.5 + 1/2) = 0 at the top of the sine
  EXPECT_GE(hi, 29800);  // 1 - (0.5 - 1/2) = 1 at its bottom
  f.Set(0, 0, 1.0);
  EXPECT_FALSE(f.enabled());
  EXPECT_EQ(f.Apply(1234), 1234);
  f.Set(1, 2.0, 0.5);
  lo = 40000;
  for (int i = 0; i < 2 * 11025; ++i) lo = std::min(lo, int{f.Apply(30000)});
  EXPECT_NEAR(lo, 15000, 200);
  f.Set(2, 1e-12, std::nan(""));  // absurd values from a dialog: defined, no fading depth
  EXPECT_EQ(f.Apply(0), 0);
}

}  // namespace
}  // namespace vexa::tx
