// RTTY and MTTY framing: half-bit slots from the Baudot frames, mark on the upper tone, the shift
// kept between transmissions, the tail, and the sample-level tones and bit timing.
#include "tx/rtty_modulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "decoders/baudot_codec.h"
#include "tx_fakes.h"

namespace vexa::tx {
namespace {

using testing::TextHost;

// The symbol of each half-bit slot: '1' mark (upper tone), '0' space, '-' off.
std::string Slots(RttyModulator& m, TextHost& host, size_t n) {
  std::string out;
  int16_t sample;
  bool newSymbol = true;
  int64_t i = 0;
  while (out.size() < n) {
    const uint32_t before = m.generator().symbolClock;
    host.samplesSoFar = i++;
    m.Fill(std::span<int16_t>(&sample, 1));
    if (newSymbol) {
      const int s = m.generator().curSymbol;
      out += s == SymbolGenerator::kRttyHigh ? '1' : s == SymbolGenerator::kRttyLow ? '0' : '-';
    }
    newSymbol = m.generator().symbolClock < before;
  }
  return out;
}

// A frame of a code index written out by hand: start (2 half-bits of space), the five bits from
// the highest down (2 half-bits each), 3 half-bits of stop.
std::string Frame(int index) {
  std::string s = "00";
  for (int b = 4; b >= 0; --b) s += ((index >> b) & 1) ? "11" : "00";
  return s + "111";
}

ModulatorParams Params() {
  return ModulatorParams{};
}

TEST(RttyModulator, SlotsAreTheBaudotFramesOfTheText) {
  TextHost host;
  host.queue.StartTransmission();
  host.text.Type("RY1");
  RttyModulator m(host, false);
  m.Start(Params());
  // CR (2) and LF (8) leave the shift at none; R needs LTRS (31) first; Y is in letters;
  // 1 needs FIGS (27); then the idle signal is LTRS.
  const std::string want = std::string("111") + Frame(2) + Frame(8) + Frame(31) + Frame(10) +
                           Frame(21) + Frame(27) + Frame(29) + Frame(31) + Frame(31);
  EXPECT_EQ(Slots(m, host, want.size()), want);
  EXPECT_EQ(host.echo, "\r\nRY1");
}

TEST(RttyModulator, ReverseSendsMarkOnTheLowerTone) {
  TextHost host;
  RttyModulator m(host, false);
  ModulatorParams p = Params();
  p.reverse = true;
  m.Start(p);
  std::string want = "111" + Frame(31);
  for (char& c : want) c = c == '1' ? '0' : '1';
  EXPECT_EQ(Slots(m, host, 18), want);
}

TEST(RttyModulator, ShiftSurvivesFromOneTransmissionToTheNext) {
  TextHost host;
  host.text.Type("5\xAE");
  RttyModulator m(host, false);
  m.Start(Params());
  EXPECT_EQ(Slots(m, host, 35), "111" + Frame(27) + Frame(1) + "--");  // FIGS, 5, the end
  EXPECT_EQ(m.shift(), decoders::BaudotShift::Figures);
  host.text.Type("6");
  m.Start(Params());
  EXPECT_EQ(Slots(m, host, 18), "111" + Frame(21));  // still in figures: no FIGS again
}

TEST(RttyModulator, EndMarkTurnsTheCarrierOffAfterTheFrameAndMarksTheEnd) {
  TextHost host;
  host.text.Type("E\xAEignored");
  RttyModulator m(host, false);
  m.Start(Params());
  const std::string s = Slots(m, host, 43);
  EXPECT_EQ(s.substr(0, 33), "111" + Frame(31) + Frame(16));
  EXPECT_EQ(s.substr(33), std::string(10, '-'));
  EXPECT_EQ(host.echo, "E");
  EXPECT_EQ(host.text.text(), "ignored");  // RTTY leaves the window as it is
  // Marked one half-bit after the carrier went off (the ramp is over): at slot 34.
  EXPECT_NEAR(static_cast<double>(host.endSample), 34 * 11025 / 90.9, 2);
}

TEST(RttyModulator, TailRequestStopsAtTheNextHalfBitEvenInsideACharacter) {
  TextHost host;
  host.text.Type("EEEE");
  RttyModulator m(host, false);
  m.Start(Params());
  std::string s;
  int16_t sample;
  bool newSymbol = true;
  for (int64_t i = 0; s.size() < 40; ++i) {
    if (s.size() == 20) m.RequestTail();
    const uint32_t before = m.generator().symbolClock;
    host.samplesSoFar = i;
    m.Fill(std::span<int16_t>(&sample, 1));
    if (newSymbol) s += m.generator().curSymbol >= 10 ? 'T' : '-';
    newSymbol = m.generator().symbolClock < before;
  }
  EXPECT_EQ(s.substr(0, 20), std::string(20, 'T'));  // lead-in and into the second frame
  EXPECT_EQ(s.substr(20), std::string(20, '-'));
}

// Power of one frequency in a stretch of samples (Goertzel).
double Power(const std::vector<int16_t>& s, size_t from, size_t n, double hz) {
  const double w = 2 * M_PI * hz / 11025, c = 2 * std::cos(w);
  double s1 = 0, s2 = 0;
  for (size_t i = from; i < from + n; ++i) {
    const double s0 = s[i] + c * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - c * s1 * s2;
}

TEST(RttyModulator, TonesAreCentrePlusMinusHalfTheShiftAndBitsLastOneBaud) {
  struct Case {
    bool mtty;
    double shift;
  };
  for (const Case k : {Case{false, 180.0}, Case{true, 45.45 / 2}}) {
    TextHost host;
    RttyModulator m(host, k.mtty);
    ModulatorParams p = Params();
    p.centreHz = 1500;
    m.Start(p);
    std::vector<int16_t> s = testing::Run(m, host, 11025);
    // The idle LTRS frame: start bit (space) for one baud, then five marks and the stop.
    const double slot = 11025 / 90.9;
    const size_t startMid = static_cast<size_t>((3 + 15) * slot + 0.5 * slot);
    const size_t n = static_cast<size_t>(slot);
    const double upper = 1500 + k.shift / 2, lower = 1500 - k.shift / 2;
    if (!k.mtty) {
      EXPECT_GT(Power(s, startMid, n, lower), 20 * Power(s, startMid, n, upper));
      EXPECT_GT(Power(s, startMid + 4 * n, 4 * n, upper),
                20 * Power(s, startMid + 4 * n, 4 * n, lower));
    }
    // Bit timing: the start bits of successive idle frames are 7.5 bauds (15 slots) apart.
    // Find each frame's start: the first sample of the space tone after the mark.
    int dues = 0;
    SymbolGenerator g;
    g.SetShiftAndRate(k.shift, 90.9);
    for (int i = 0; i < 11025; ++i) {
      bool due = false;
      g.NextSample(due);
      dues += due;
    }
    EXPECT_EQ(m.generator().symbolStep, g.symbolStep);
    EXPECT_EQ(dues, 90);  // 2 x 45.45 half-bits per second
    EXPECT_EQ(m.generator().upperStep, PhaseStep16(upper, 11025));
    EXPECT_EQ(m.generator().lowerStep, PhaseStep16(lower, 11025));
  }
}

}  // namespace
}  // namespace vexa::tx
