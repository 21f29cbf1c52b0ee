#include "packet/packet_modem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/sine_table.h"
#include "packet/mixer_demodulator.h"
#include "packet/sinc_filter.h"
#include "packet/zero_cross_demodulator.h"

namespace vexa::packet {
namespace {

struct Runs : RunLengthSink {
  std::vector<int> runs;
  void Run(int p) override { runs.push_back(p); }
};

TEST(PacketModemTable, RowsNamesRatesAndBusyThresholds) {
  ASSERT_EQ(kPacketModems.size(), 8u);
  for (int t = 0; t < kPacketModemCount; ++t) EXPECT_EQ(ModemRow(t)->type, t);
  EXPECT_STREQ(ModemRow(0)->name, "HF 300 baud  (200 Hz shift)");
  EXPECT_STREQ(ModemRow(1)->name, "VHF 1200 baud  (Standard, 1200/2200 Hz)");
  EXPECT_STREQ(ModemRow(5)->name, "VHF 4800 baud  (FX469: 2400/4800 Hz)");
  EXPECT_STREQ(ModemRow(7)->name, "KISS TNC");
  EXPECT_EQ(ModemRow(0)->busyThreshold, 1000);
  EXPECT_EQ(ModemRow(1)->busyThreshold, 24000);
  EXPECT_EQ(ModemRow(3)->busyThreshold, 26000);
  EXPECT_EQ(ModemRow(6)->busyThreshold, 24000);
  EXPECT_EQ(ModemRow(5)->modulatorRate, 22050);
  EXPECT_EQ(ModemRow(8), nullptr);
  EXPECT_EQ(ModemRow(-1), nullptr);

  PacketModemSettings s;
  const int rates[] = {300, 1200, 1200, 1200, 2400, 2400, 777, 0};
  s.customBaud = 777;
  for (int t = 0; t < 8; ++t) {
    s.type = t;
    EXPECT_EQ(TxBitRate(s), rates[t]) << t;
  }
  // A type above 7 leaves the station without a modem; 7 is the external TNC.
  for (int t : {7, 8, 99}) {
    s.type = t;
    EXPECT_EQ(MakeDemodulator(s), nullptr);
    EXPECT_EQ(MakeModulator(s), nullptr);
  }
  EXPECT_TRUE(ChannelBusy(1, 24000));
  EXPECT_FALSE(ChannelBusy(1, 23999));
  EXPECT_TRUE(ChannelBusy(0, 1000));
  EXPECT_FALSE(ChannelBusy(7, 32767));
}

// h[0] = trunc(32767 * 2f) with f = 800/11025 is trunc(4755.3); the filter passes DC with a gain
// of about 32767 / 65536 and answers an impulse 20 steps later with its taps.
TEST(SincFilter, CoefficientsDcGainAndDelay) {
  const auto h = SincFilter::Coefficients();
  EXPECT_EQ(h[0], 4755);
  // Hand-computed: k = 1: 32767 * sin(0.455921)/pi * sin(pi/20)/(pi/20)
  // = 32767 * 0.140168 * 0.995893 = 4573.9, truncated.
  EXPECT_EQ(h[1], static_cast<int32_t>(32767.0 * std::sin(6.283185307 * SincFilter::kCutoff) *
                                       0.31830988619288864 *
                                       (std::sin(3.1415926535 / 20) / (3.1415926535 / 20))));
  EXPECT_EQ(h[1], 4573);
  EXPECT_EQ(h[20], 0);  // the window's zero
  int64_t sum = h[0];
  for (int k = 1; k <= 20; ++k) sum += 2 * h[static_cast<size_t>(k)];
  EXPECT_NEAR(static_cast<double>(sum), 32767.0, 400.0);

  SincFilter f;
  std::vector<int16_t> out;
  out.push_back(f.Filter(20000));
  for (int i = 0; i < 45; ++i) out.push_back(f.Filter(0));
  for (int k = 0; k <= 20; ++k) {
    const int32_t want = (20000 * h[static_cast<size_t>(k)]) >> 16;
    EXPECT_EQ(out[static_cast<size_t>(20 + k)], want) << k;
    EXPECT_EQ(out[static_cast<size_t>(20 - k)], want) << k;
  }
  EXPECT_EQ(out[41], 0);
  SincFilter dc;
  int16_t y = 0;
  for (int i = 0; i < 60; ++i) y = dc.Filter(10000);
  EXPECT_NEAR(y, 10000.0 * sum / 65536.0, 2.0);
}

// A[y] = trunc(atan2(y, 256) * 4/pi * 8192): A[0] = 0, A[128] = trunc(0.4636476 * 1.2732395
// * 8192) = trunc(4836.02) = 4836,
// A[256] = 8192.
TEST(ArctanTable, TableAndAnglesInEveryQuadrant) {
  const auto& t = Arctan().table();
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[128], 4836);
  EXPECT_EQ(t[256], 8192);
  const ArctanTable& a = Arctan();
  EXPECT_EQ(a.Angle(0, 5), 0x4000);
  EXPECT_EQ(a.Angle(0, 0), 0x4000);
  EXPECT_EQ(a.Angle(0, -5), -0x4000);
  EXPECT_EQ(a.Angle(7, 0), 0);
  EXPECT_EQ(a.Angle(-7, 0), -0x8000);
  EXPECT_EQ(a.Angle(100, 100), 8192);
  EXPECT_EQ(a.Angle(-100, 100), 0x8000 - 8192);
  EXPECT_EQ(a.Angle(-100, -100), -0x8000 + 8192);
  EXPECT_EQ(a.Angle(100, -100), -8192);
  // Against the floating-point arctangent all round the circle (the table steps are coarse
  // near the axes: within 41 units, a quarter of a degree).
  for (int deg = -179; deg < 180; deg += 7) {
    const double r = deg * 3.14159265358979 / 180;
    const int32_t fi = static_cast<int32_t>(std::lround(12000 * std::cos(r)));
    const int32_t fq = static_cast<int32_t>(std::lround(12000 * std::sin(r)));
    const double want = std::atan2(fq, fi) / 3.14159265358979 * 32768;
    EXPECT_NEAR(a.Angle(fi, fq), want, 41) << deg;
  }
  // Large vectors take the other ratio form without overflow.
  EXPECT_NEAR(a.Angle(0x1000000, 0x1000000), 8192, 41);
}

TEST(MixerDemodulator, RunLengthBoundaries) {
  const int cases[][2] = {{1, 1},  {13, 1}, {14, 2}, {22, 2}, {23, 3}, {31, 3}, {32, 4}, {40, 4},
                          {41, 5}, {50, 5}, {51, 6}, {59, 6}, {60, 7}, {69, 7}, {70, 8}, {500, 8}};
  for (auto& c : cases) EXPECT_EQ(MixerRunLength(c[0]), c[1]) << c[0];
}

// The phase step is trunc(centre / 11025 * 65536); a steady tone gives a carrier level near
// the filter's gain times the mixed amplitude, silence gives 0.
TEST(MixerDemodulator, TuningAndCarrierLevel) {
  MixerDemodulator m(1700.0);
  EXPECT_EQ(m.phaseStep(), 10105);  // 1700 * 65536 / 11025 = 10105.3
  m.Tune(1000.0);
  EXPECT_EQ(m.phaseStep(), 5944);
  const int32_t* sine = QuarterSineTable().data();
  uint16_t phase = 0;
  const auto step = static_cast<uint16_t>(1050.0 * 65536 / 11025);
  for (int i = 0; i < 11025; ++i) {
    m.ProcessSample(static_cast<int16_t>(SineAt(sine, phase) / 2));
    phase = static_cast<uint16_t>(phase + step);
  }
  // Amplitude 16383 mixed with the table (x/2) gives a difference tone of 16383/4 per branch,
  // and the filter's gain of one half makes about 2048.
  EXPECT_NEAR(m.Level(), 2048, 100);
  EXPECT_TRUE(ChannelBusy(0, m.Level()));
  for (int i = 0; i < 11025; ++i) m.ProcessSample(0);
  EXPECT_EQ(m.Level(), 0);
}

// Type 1: usPerSample 90, threshold (400 + 833) >> 1 = 616 us, half a bit 416 us, a bit
// 833 us, a level period of 110 samples.
TEST(ZeroCrossDemodulator, DerivedValuesOfTheModemRows) {
  PacketModemSettings s;
  s.type = 1;
  ZeroCrossDemodulator d(ZeroCrossParamsFor(s));
  EXPECT_EQ(d.usPerSample(), 90);
  EXPECT_EQ(d.periodThreshold(), 616);
  EXPECT_EQ(d.halfBit(), 416);
  EXPECT_EQ(d.bitTime(), 833);
  EXPECT_EQ(d.levelPeriod(), 110);
  s.type = 3;
  d.Configure(ZeroCrossParamsFor(s));
  EXPECT_EQ(d.periodThreshold(), (555 + 833) >> 1);
  s.type = 4;
  s.usePsk = true;
  auto p = ZeroCrossParamsFor(s);
  EXPECT_EQ(p.bitRate, 2400);
  EXPECT_TRUE(p.pskVariant);
  s.type = 6;
  s.customTone1 = 2000;
  s.customTone2 = 3600;
  s.customBaud = 2400;
  p = ZeroCrossParamsFor(s);
  EXPECT_EQ(p.toneA, 2000);
  EXPECT_EQ(p.toneB, 4104);  // trunc(3600 * 1.14)
  EXPECT_EQ(p.bitRate, 2400);
  EXPECT_FALSE(p.pskVariant);
}

// 1200 Hz gives a period estimate of about 833 us (state 1), 2200 Hz about 454 us (state 0);
// three bits of one tone between changes report 3.
TEST(ZeroCrossDemodulator, PeriodsStatesAndARunOfThree) {
  PacketModemSettings s;
  s.type = 1;
  ZeroCrossDemodulator d(ZeroCrossParamsFor(s));
  Runs runs;
  d.set_output(&runs);
  const int32_t* sine = QuarterSineTable().data();
  uint16_t phase = 0;
  auto tone = [&](double hz, double seconds) {
    const auto step = static_cast<uint16_t>(hz * 65536 / 11025);
    for (int i = 0; i < static_cast<int>(seconds * 11025); ++i) {
      d.ProcessSample(static_cast<int16_t>(SineAt(sine, phase) / 2));
      phase = static_cast<uint16_t>(phase + step);
    }
  };
  tone(1200, 0.02);
  EXPECT_NEAR(d.lastPeriod(), 833, 20);
  EXPECT_EQ(d.state(), 1);
  tone(2200, 0.02);
  EXPECT_NEAR(d.lastPeriod(), 454, 20);
  EXPECT_EQ(d.state(), 0);
  runs.runs.clear();
  tone(1200, 3.0 / 1200);
  tone(2200, 0.005);
  ASSERT_EQ(runs.runs.size(), 2u);
  EXPECT_EQ(runs.runs[0], 8);  // 2200 Hz lasted far longer than 7.5 bits
  EXPECT_EQ(runs.runs[1], 3);
}

TEST(ZeroCrossDemodulator, QualityIsZeroWithoutCrossingsAndHighOnTheBitGrid) {
  PacketModemSettings s;
  s.type = 1;
  auto mod = MakeModulator(s);
  ZeroCrossDemodulator d(ZeroCrossParamsFor(s));
  // Alternating bits of a packet signal: the changes fall on the grid.
  for (int bit = 0; bit < 1200; ++bit) {
    mod->NextBit(bit % 3 == 0 ? 1 : 0);
    bool due = false;
    while (!due) d.ProcessSample(mod->NextSample(due));
  }
  EXPECT_GT(d.Level(), 26000);
  EXPECT_TRUE(ChannelBusy(1, d.Level()));
  for (int i = 0; i < 220; ++i) d.ProcessSample(100);  // one whole level period at least
  EXPECT_EQ(d.quality(), 0);
  EXPECT_EQ(d.Level(), 0);
  EXPECT_FALSE(ChannelBusy(1, d.Level()));
}

// The clock is rebased internally: a day of input keeps the timing right.
TEST(ZeroCrossDemodulator, KeepsWorkingPastTheClockRange) {
  PacketModemSettings s;
  s.type = 2;
  ZeroCrossDemodulator d(ZeroCrossParamsFor(s));
  Runs runs;
  d.set_output(&runs);
  for (int64_t i = 0; i < 11025LL * 2400; ++i) d.ProcessSample(0);  // 40 minutes of silence
  auto mod = MakeModulator(s);
  for (int bit = 0; bit < 200; ++bit) {
    mod->NextBit((bit / 2) % 2);
    bool due = false;
    while (!due) d.ProcessSample(mod->NextSample(due));
  }
  ASSERT_GT(runs.runs.size(), 50u);
  for (size_t i = 2; i < runs.runs.size(); ++i) EXPECT_EQ(runs.runs[i], 2) << i;
}

// Phase steps and clocks of the modulator rows.
TEST(PacketModulators, ToneStepsAndBitClocks) {
  FskModulator f1(1200, 2200, 1200);
  EXPECT_EQ(f1.step1(), 7133);   // trunc(1200 / 11025 * 65536)
  EXPECT_EQ(f1.step0(), 13077);  // trunc(2200 / 11025 * 65536)
  EXPECT_EQ(f1.sampleTime(), 907);
  EXPECT_EQ(f1.bitTime(), 8333);
  FskModulator f0(1600, 1800, 300);
  EXPECT_EQ(f0.bitTime(), 33333);

  TonePairModulator t2(TonePairKind::Type2);
  EXPECT_EQ(t2.step1(), 7133);   // trunc(78643200 / 11025 + 0.5)
  EXPECT_EQ(t2.step0(), 14266);  // trunc(157286400 / 11025 + 0.5)
  EXPECT_EQ(t2.sampleStep(), 9070);
  EXPECT_EQ(t2.bitLength(), 83333);
  TonePairModulator t3(TonePairKind::Type3);
  EXPECT_EQ(t3.step1(), 7074);
  EXPECT_EQ(t3.step0(), 10617);
  TonePairModulator t4(TonePairKind::Type45);
  EXPECT_EQ(t4.step1(), 7074);
  EXPECT_EQ(t4.step0(), 14153);
  EXPECT_EQ(t4.bitLength(), 41999);
  TonePairModulator t5(TonePairKind::Type45, 22050);
  EXPECT_EQ(t5.step1(), 3537);
  EXPECT_EQ(t5.step0(), 7077);
  EXPECT_EQ(t5.sampleStep(), 4535);
}

// Type 0's tones lie 100 Hz below (level 1) and above (level 0) the receive frequency at the
// moment the modulator is built.
TEST(PacketModulators, Type0FollowsTheReceiveFrequency) {
  PacketModemSettings s;
  s.type = 0;
  s.receiveHz = 1700;
  auto m = MakeModulator(s);
  auto* fsk = dynamic_cast<FskModulator*>(m.get());
  ASSERT_NE(fsk, nullptr);
  EXPECT_EQ(fsk->step1(), static_cast<uint16_t>(1600.0 / 11025 * 65536));
  EXPECT_EQ(fsk->step0(), static_cast<uint16_t>(1800.0 / 11025 * 65536));
  auto d = MakeDemodulator(s);
  auto* mixer = dynamic_cast<MixerDemodulator*>(d.get());
  ASSERT_NE(mixer, nullptr);
  EXPECT_EQ(mixer->centreHz(), 1700.0);
}

// The FSK modulator keeps its phase across bit boundaries: no sample-to-sample jump is larger
// than the higher tone's step allows.
TEST(PacketModulators, FskHasContinuousPhase) {
  FskModulator m(1200, 2200, 1200);
  int16_t prev = 0;
  int most = 0;
  for (int bit = 0; bit < 500; ++bit) {
    m.NextBit((bit * 7) % 3 == 0);
    bool due = false;
    while (!due) {
      const int16_t x = m.NextSample(due);
      most = std::max(most, std::abs(x - prev));
      prev = x;
    }
  }
  EXPECT_LE(most, static_cast<int>(32767 * 2 * std::sin(3.14159265 * 2200 / 11025)) + 2);
}

// The tone-pair modulators restart the phase at every bit and use the output sign to stay
// continuous: the jump at a bit boundary stays small for the half-cycle tones of type 3.
TEST(PacketModulators, TonePairBitsLastTheirBitLength) {
  for (TonePairKind k : {TonePairKind::Type2, TonePairKind::Type3, TonePairKind::Type45}) {
    TonePairModulator m(k);
    int64_t samples = 0;
    for (int bit = 0; bit < 1000; ++bit) {
      m.NextBit(bit % 2);
      bool due = false;
      while (!due) {
        (void)m.NextSample(due);
        ++samples;
      }
    }
    // 1000 bits of bitLength in units of 10 ns at 9070 per sample.
    const double want = 1000.0 * m.bitLength() / m.sampleStep();
    EXPECT_NEAR(static_cast<double>(samples), want, 1.5);
  }
}

}  // namespace
}  // namespace vexa::packet
