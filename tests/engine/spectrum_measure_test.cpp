// Measurements on hand-made value arrays. Units: 32768 per decade of power; the dB figures of
// the measurements are (5 * difference) / 0x8000 as the measurements define them.
#include "engine/spectrum_measure.h"

#include <gtest/gtest.h>

#include <vector>

namespace vexa::engine {
namespace {

std::vector<int32_t> Flat(int n, int32_t level) {
  return std::vector<int32_t>(size_t(n), level);
}

TEST(RunningAverage4, AveragesTheLastFourEntries) {
  RunningAverage4 a;
  EXPECT_EQ(a.Average(), 0.0);
  a.Push(4);
  EXPECT_EQ(a.Average(), 1.0);  // missing entries count as 0
  a.Push(8);
  a.Push(-2);
  a.Push(6);
  EXPECT_EQ(a.Average(), 4.0);
  a.Push(10);  // drops the 4
  EXPECT_EQ(a.Average(), 5.5);
  a.Clear();
  EXPECT_EQ(a.Average(), 0.0);
  a.Push(2);
  EXPECT_EQ(a.Average(), 0.5);
}

TEST(ValueToDb, TruncatesTowardZero) {
  EXPECT_EQ(ValueToDb(65536), 10);  // 2 decades of power... in value units 65536 * 5 / 32768
  EXPECT_EQ(ValueToDb(45875), 6);   // 6.99
  EXPECT_EQ(ValueToDb(45876), 7);
  EXPECT_EQ(ValueToDb(-45875), -6);                       // toward zero, not down
  EXPECT_EQ(ValueToDb(int64_t{2000000000} * 2), 610351);  // no overflow on extreme values
}

TEST(PskSignalMeasure, TonesNoiseAndProductsGiveRoundedDb) {
  const int c = 50;
  auto v = Flat(100, 100000);
  v[c + 3] = 100000 + 65536;     // upper tone, 2 decades over the floor
  v[c - 4] = 100000 + 65536;     // lower tone
  v[c + 2] = v[c - 2] = 120000;  // weaker neighbours do not win the max
  v[c + 9] = 100000 + 32768;     // products one decade over the floor
  v[c - 8] = 100000 + 32768;
  v[c + 6] = 99000;  // the noise is the smallest of v[c], v[c+6], v[c-6]
  const PskSignalQuality q = MeasurePskSignal(v, c);
  ASSERT_TRUE(q.valid);
  // SNR = (5 * (A + B - 2N) + 0x4000) / 0x8000 = (5 * (2*65536 + 2000) + 16384) / 32768 = 20.8
  EXPECT_EQ(q.snrDb, 20);
  // IMD = (5 * (A + B - P - Q) + 0x4000) / 0x8000 = (5 * 65536 + 16384) / 32768 = 10.5 -> 10
  EXPECT_EQ(q.imdDb, 10);
}

TEST(PskSignalMeasure, RoundsHalfUpAndGoesNegative) {
  const int c = 20;
  auto v = Flat(41, 0);
  v[c + 4] = v[c - 4] = 3277;  // 5 * 6554 + 16384 = 49154 -> 1.5 -> 1
  EXPECT_EQ(MeasurePskSignal(v, c).snrDb, 1);
  v[c + 10] = v[c - 10] = 40000;  // products above the tones
  EXPECT_EQ(MeasurePskSignal(v, c).imdDb, (5 * (6554 - 80000) + 16384) / 32768);
  EXPECT_LT(MeasurePskSignal(v, c).imdDb, 0);
}

TEST(PskSignalMeasure, NeedsTenBinsOnEitherSide) {
  const auto v = Flat(100, 1000);
  EXPECT_FALSE(MeasurePskSignal(v, 9).valid);
  EXPECT_TRUE(MeasurePskSignal(v, 10).valid);
  EXPECT_TRUE(MeasurePskSignal(v, 89).valid);
  EXPECT_FALSE(MeasurePskSignal(v, 90).valid);
  EXPECT_FALSE(MeasurePskSignal(v, -5).valid);
  EXPECT_FALSE(MeasurePskSignal(std::vector<int32_t>{}, 0).valid);
}

TEST(CwPeakSearch, FindsAStrongPeakAndItsOffset) {
  const int c = 60;
  auto v = Flat(130, 50000);
  v[c + 5] = 50000 + 65536;  // 10 dB over the reference
  CwPeak p = FindCwPeak(v, c);
  ASSERT_TRUE(p.valid);
  EXPECT_TRUE(p.strong);
  EXPECT_EQ(p.offset, 5);
  // Exactly at the threshold: 5 * 49152 / 32768 = 7.5 -> 7, not above 7.
  v[c + 5] = 50000 + 49152;
  EXPECT_FALSE(FindCwPeak(v, c).strong);
  v[c + 5] = 50000 + 52429;  // 8.0 dB
  EXPECT_TRUE(FindCwPeak(v, c).strong);
}

TEST(CwPeakSearch, ReferenceLiesBetweenThePeakAndTheReceiveBin) {
  const int c = 60;
  auto v = Flat(130, 50000);
  v[c - 10] = 50000 + 65536;  // peak below c: reference is 11..21 bins above it
  for (int i = c + 1; i <= c + 11; ++i) v[size_t(i)] = 50000 + 40000;  // raise that reference
  CwPeak p = FindCwPeak(v, c);
  EXPECT_EQ(p.offset, -10);
  EXPECT_FALSE(p.strong);  // 25536 over the reference: 3 dB
  // The same bins do not matter for a peak above c, whose reference lies below it.
  auto w = Flat(130, 50000);
  w[c + 10] = 50000 + 65536;
  for (int i = c + 21; i <= c + 31; ++i) w[size_t(i)] = 50000 + 40000;
  p = FindCwPeak(w, c);
  EXPECT_EQ(p.offset, 10);
  EXPECT_TRUE(p.strong);
}

TEST(CwPeakSearch, FirstMaximumWinsAndEdgesAreSkipped) {
  const int c = 40;
  auto v = Flat(100, 0);
  v[c - 7] = v[c + 7] = 90000;
  EXPECT_EQ(FindCwPeak(v, c).offset, -7);
  EXPECT_FALSE(FindCwPeak(v, 29).valid);
  EXPECT_TRUE(FindCwPeak(v, 30).valid);
  EXPECT_TRUE(FindCwPeak(v, 69).valid);   // c + 30 = 99, the last bin
  EXPECT_FALSE(FindCwPeak(v, 70).valid);  // would read bin 100
}

TEST(FskToneSearch, FindsTheStrongerToneAndItsStepSnr) {
  const int c = 100;
  auto v = Flat(200, 60000);
  v[c + 16] = 60000 + 98304;  // upper tone: 3 decades of power over the floor
  v[c + 15] = v[c + 17] = 60000 + 32768;
  v[c - 16] = 60000 + 90000;  // lower tone, weaker
  const FskTone t = FindFskTone(v, c);
  ASSERT_TRUE(t.valid);
  EXPECT_EQ(t.bin, c + 16);
  // Reference: bins W-21..W-11 = c-5..c+5, all 60000.
  EXPECT_EQ(t.reference, 60000);
  // Peak: rounded mean of W-1..W+1 = 60000 + (32768 + 98304 + 32768) / 3 = 60000 + 54613.33.
  EXPECT_EQ(t.peak, 114613);
  EXPECT_EQ(t.stepSnrDb, (5 * 114613 - 5 * 60000) / 32768);  // 8.33 -> 8
}

TEST(FskToneSearch, ReferenceMovesAboveNearTheLowEdgeAndSearchIsClipped) {
  auto v = Flat(100, 1000);
  v[10] = 50000;  // W = 10: W - 21 < 1, so the reference is W+11..W+21
  for (int i = 21; i <= 31; ++i) v[size_t(i)] = 2000 + i;
  const FskTone t = FindFskTone(v, 5);
  ASSERT_TRUE(t.valid);
  EXPECT_EQ(t.bin, 10);
  // Mean of 2021..2031 = 2026.
  EXPECT_EQ(t.reference, 2026);
  // Bin 0 is never taken as W even when it is the only value above 0.
  auto w = Flat(100, 0);
  w[0] = 99999;
  EXPECT_EQ(FindFskTone(w, 3).bin, 3);
}

TEST(FskToneSearch, SilenceKeepsTheReceiveBinAndEdgesAreSafe) {
  auto v = Flat(100, 0);
  FskTone t = FindFskTone(v, 50);
  ASSERT_TRUE(t.valid);
  EXPECT_EQ(t.bin, 50);
  EXPECT_EQ(t.stepSnrDb, 0);
  EXPECT_FALSE(FindFskTone(v, -40).valid);          // search window entirely below the array
  EXPECT_FALSE(FindFskTone(v, 140).valid);          // entirely above
  EXPECT_FALSE(FindFskTone(Flat(15, 0), 7).valid);  // no room for the reference window
}

TEST(FskOtherTone, SearchesTheSidesTheFirstToneAllows) {
  const int c = 100;
  auto v = Flat(200, 0);
  v[c - 16] = 40000;
  v[c + 16] = 30000;
  // W above c + 17: only below is searched (W-49..W-19 = 71..101).
  FskOtherTone o = FindOtherFskTone(v, c + 20, c);
  EXPECT_TRUE(o.found);
  EXPECT_EQ(o.bin, c - 16);
  // W below c - 17: only above (W+19..W+49 = 99..129).
  o = FindOtherFskTone(v, c - 20, c);
  EXPECT_EQ(o.bin, c + 16);
  EXPECT_EQ(o.value, 30000);
  // W near c: both sides (51..81 and 119..149), the stronger wins.
  auto w = Flat(200, 0);
  w[c - 25] = 30000;
  w[c + 25] = 40000;
  o = FindOtherFskTone(w, c, c);
  EXPECT_EQ(o.bin, c + 25);
  w[c - 25] = 50000;
  EXPECT_EQ(FindOtherFskTone(w, c, c).bin, c - 25);
}

TEST(FskOtherTone, TieTakesTheLowerAndNothingAboveZeroIsNotFound) {
  const int c = 100;
  auto v = Flat(200, 0);
  v[c - 25] = v[c + 25] = 5000;
  FskOtherTone o = FindOtherFskTone(v, c, c);
  EXPECT_EQ(o.bin, c - 25);
  EXPECT_FALSE(FindOtherFskTone(Flat(200, 0), c, c).found);
  // Windows are clipped to the array.
  EXPECT_FALSE(FindOtherFskTone(Flat(30, 0), 5, 5).found);
}

TEST(TonePairSignal, MeanOfTheTwoTonesOverTheMiddle) {
  const int t = 40;
  auto v = Flat(81, 10000);
  v[t - 16] = 10000 + 65536;
  v[t + 16] = 10000 + 32768;
  v[t] = 10000 + 13 * 100;  // raises the mean of t-6..t+6 by 100
  const SignalMeasure m = MeasureTonePairSignal(v, t);
  ASSERT_TRUE(m.valid);
  // ((75536 + 42768) / 2 - 10100) * 5 / 32768 = (59152 - 10100) * 5 / 32768 = 7.48 -> 7
  EXPECT_EQ(m.db, 7);
  EXPECT_FALSE(MeasureTonePairSignal(v, 22).valid);
  EXPECT_TRUE(MeasureTonePairSignal(v, 23).valid);
  EXPECT_TRUE(MeasureTonePairSignal(v, 57).valid);
  EXPECT_FALSE(MeasureTonePairSignal(v, 58).valid);
}

}  // namespace
}  // namespace vexa::engine
