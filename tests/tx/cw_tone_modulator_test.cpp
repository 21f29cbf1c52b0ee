// Sound-card CW: unit lengths of the "E E" example, the raised-cosine edges, the end mark and the
// transmit flag.
#include "tx/cw_tone_modulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "tx_fakes.h"

namespace vexa::tx {
namespace {

using testing::TextHost;

// Key state per Morse unit of 50u samples: '#' tone, '.' silence (energy threshold).
std::string Units(const std::vector<int16_t>& s, int u, size_t units) {
  const size_t len = static_cast<size_t>(50 * u);
  std::string out;
  for (size_t k = 0; k < units && (k + 1) * len <= s.size(); ++k) {
    double e = 0;
    for (size_t i = k * len; i < (k + 1) * len; ++i) e += double(s[i]) * s[i];
    out += e / len > 0.25 * 0.5 * 32767.0 * 32767.0 ? '#' : '.';
  }
  return out;
}

// A word space is 7 units (3 of the letter end and 4 of the gap character), the international
// spacing; letters stay 3 units apart.
TEST(CwToneModulator, EspaceEGivesSevenUnitsBetweenTheWords) {
  std::atomic<int> dot{20};
  TextHost host;
  host.queue.StartTransmission();  // CR and LF are gaps of four units each
  host.text.Type("E E\xAE");
  CwToneModulator m(host);
  ModulatorParams p;
  p.dotTicks = &dot;
  m.Start(p);
  const auto s = testing::Run(m, host, 28 * 1000 + 4096);
  // CR, LF: 4 + 4 units; E: dot, 3 units of silence; space: 4 more; E: dot, 3 units.
  EXPECT_EQ(Units(s, 20, 20), "........#.......#...");
  EXPECT_EQ(host.endSample, 20 * 1000);  // the end mark comes right after the last letter
  EXPECT_EQ(host.clears, 1);
  for (size_t i = 20 * 1000; i < s.size(); ++i) ASSERT_EQ(s[i], 0);
  EXPECT_EQ(host.echo, "");  // CW is not echoed
}

TEST(CwToneModulator, DashIsThreeUnitsAndTheSpeedFollowsTheDotLength) {
  std::atomic<int> dot{10};
  TextHost host;
  host.text.Type("TA");
  CwToneModulator m(host);
  ModulatorParams p;
  p.dotTicks = &dot;
  m.Start(p);
  const auto s = testing::Run(m, host, 500 * 14);
  EXPECT_EQ(Units(s, 10, 14), "###...#.###...");
}

TEST(CwToneModulator, EdgesAreRaisedCosineRampsOf64Samples) {
  std::atomic<int> dot{20};
  TextHost host;
  host.text.Type("T");
  CwToneModulator m(host);
  ModulatorParams p;
  p.dotTicks = &dot;
  p.cwPitchHz = 800;
  m.Start(p);
  const auto s = testing::Run(m, host, 4000);
  auto peak = [&](size_t a, size_t b) {
    int v = 0;
    for (size_t i = a; i < b; ++i) v = std::max(v, std::abs(int{s[i]}));
    return v;
  };
  EXPECT_LT(peak(0, 16), 5000);            // the first quarter of the ramp stays low
  EXPECT_GT(peak(64, 200), 32000);         // full amplitude after 64 samples
  EXPECT_GT(peak(3000 - 16, 3000), 1000);  // the fall starts at the end of the dash
  EXPECT_EQ(peak(3000 + 64, 4000), 0);     // and is over 64 samples later
  // Tone at the pitch: 800 Hz.
  int crossings = 0;
  for (size_t i = 201; i < 2900; ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
  EXPECT_NEAR(crossings / 2.0 * 11025 / 2699, 800, 5);
}

TEST(CwToneModulator, TransmitFlagOffEndsAfterTheLetterBeingSent) {
  std::atomic<int> dot{20};
  TextHost host;
  host.text.Type("TTTT");
  CwToneModulator m(host);
  ModulatorParams p;
  p.dotTicks = &dot;
  m.Start(p);
  auto a = testing::Run(m, host, 1500);  // inside the first dash
  host.flag = false;
  m.RequestTail();
  TextHost& h = host;
  std::vector<int16_t> b(8000);
  for (size_t i = 0; i < b.size(); ++i) {
    h.samplesSoFar = static_cast<int64_t>(1500 + i);
    m.Fill(std::span<int16_t>(&b[i], 1));
  }
  // The dash and its letter end complete (4000 + 2000 samples), then nothing more.
  EXPECT_EQ(host.endSample, 6000);
  EXPECT_EQ(host.text.text(), "");  // the rest is discarded
}

TEST(CwToneModulator, NoCharacterWaitsInSilenceAndStartsWhenTextArrives) {
  std::atomic<int> dot{20};
  TextHost host;
  CwToneModulator m(host);
  ModulatorParams p;
  p.dotTicks = &dot;
  m.Start(p);
  auto s = testing::Run(m, host, 500);
  for (int16_t v : s) ASSERT_EQ(v, 0);
  host.text.Type("E");
  s = testing::Run(m, host, 1000);
  int peak = 0;
  for (int16_t v : s) peak = std::max(peak, std::abs(int{v}));
  EXPECT_GT(peak, 30000);
  EXPECT_LT(host.endSample, 0);
}

}  // namespace
}  // namespace vexa::tx
