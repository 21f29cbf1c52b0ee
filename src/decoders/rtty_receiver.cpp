#include "decoders/rtty_receiver.h"

#include <algorithm>
#include <cmath>

#include "decoders/fixed_point.h"

namespace vexa::decoders {

const std::array<int32_t, 64> kRttySingleToneTaps = {
    0,     -33,  -91, -96,  -25,  63,  91, 47,  0, 18,  91, 134, 86,   -22,  -91, -66,
    0,     4,    -91, -196, -192, -56, 91, 108, 0, -62, 91, 417, 643,  480,  -91, -740,
    -1024, -740, -91, 480,  643,  417, 91, -62, 0, 108, 91, -56, -192, -196, -91, 4,
    0,     -66,  -91, -22,  86,   134, 91, 18,  0, 47,  91, 63,  -25,  -96,  -91, -33};

const std::array<int32_t, 64> kNarrowLowPassTaps = {
    0,    5,    21,   44,   71,   96,   114,  121, 112, 86,  40,   -23,  -98,  -181, -262, -333,
    -384, -405, -389, -328, -220, -63,  140,  383, 656, 946, 1242, 1526, 1784, 2001, 2166, 2269,
    2304, 2269, 2166, 2001, 1784, 1526, 1242, 946, 656, 383, 140,  -63,  -220, -328, -389, -405,
    -384, -333, -262, -181, -98,  -23,  40,   86,  112, 121, 114,  96,   71,   44,   21,   5};

int32_t RttyWindowLength(uint16_t symbolStep) {
  if (symbolStep == 0) return 48;
  return std::clamp<int32_t>(65000 / symbolStep, 1, 48);
}

bool RttyBitClock::Step(int32_t bit, uint16_t symbolStep, bool invert, BaudotDecoder& decoder) {
  bitClock += symbolStep;
  if (bit != lastBit) {
    lastBit = bit;
    bitClock /= 2;
    return true;
  }
  if (bitClock > 0x8000) {
    bitClock -= 0x10000;
    const int r = decoder.PutBit((bit != 0) == invert ? 1 : 0);
    if (r < 0) bitClock = -0x8000;
  }
  return false;
}

void AveragingWindow::Prepare(int32_t wantedLength) {
  sum -= ring[static_cast<size_t>(index)];
  if (wantedLength != length) {
    sum = 0;
    std::fill(ring.begin(), ring.begin() + wantedLength, 0);
    length = wantedLength;
    index = 0;
  }
}

void AveragingWindow::Push(int32_t v) {
  ring[static_cast<size_t>(index)] = v;
  sum += v;
  index = (index + 1) % length;
}

// ---------------------------------------------------------------- single tone

RttySingleTone::RttySingleTone(engine::RxTextQueue* out)
    : ReceiveChannel(kRttyDecimRate, kRttyDefaultBaud), decoder(out) {
  firTaps = kRttySingleToneTaps.data();
}

int32_t RttySingleTone::Discriminate(int32_t divisor, bool clip) {
  firI[static_cast<size_t>(firIndex)] = FilteredI() >> 10;
  firQ[static_cast<size_t>(firIndex)] = FilteredQ() >> 10;
  firIndex = (firIndex + 1) & 63;
  const int32_t x = Fir64(firTaps, firI, firIndex);
  const int32_t y = Fir64(firTaps, firQ, firIndex);
  lastI = x >> 16;
  lastQ = y >> 16;
  const int32_t angle = AngleUnits31(y, x);
  int32_t d = WrapSub(lastAngle, angle) / divisor;
  lastAngle = angle;
  if (clip) d = std::clamp(d, -100, 100);
  return d;
}

void RttySingleTone::ProcessDecimated() {
  const int32_t d = Discriminate(2000000, true);
  avg.Prepare(RttyWindowLength(symbolStep));
  avg.Push(d);
  discOut = avg.sum;
  highPeak = std::max(highPeak, avg.sum) * 127 / 128;
  lowPeak = std::min(lowPeak, avg.sum) * 127 / 128;
  level = 0;
  const int32_t bit = avg.sum > 0 ? 1 : 0;
  if (clock.Step(bit, symbolStep, invert, decoder)) (bit != 0 ? highPeak : lowPeak) = avg.sum;
}

// ---------------------------------------------------------------- MTTY

MttyChannel::MttyChannel(engine::RxTextQueue* out) : RttySingleTone(out) {
  firTaps = kNarrowLowPassTaps.data();
}

void MttyChannel::SetSymbolRate(double) {
  ReceiveChannel::SetSymbolRate(kRttyDefaultBaud);
}

void MttyChannel::ProcessDecimated() {
  const int32_t d = Discriminate(500000, false);
  avg.Prepare(std::max<int32_t>(1, RttyWindowLength(symbolStep) / 2));
  avg.Push(d);
  discOut = avg.sum;
  highPeak = std::max(highPeak, avg.sum);
  lowPeak = std::min(lowPeak, avg.sum);
  const int32_t mid = (highPeak + lowPeak) >> 1;
  highPeak = (1023 * highPeak + mid) / 1024;
  lowPeak = (1023 * lowPeak + mid) / 1024;
  level = 0;
  const int32_t bit = avg.sum > mid ? 1 : 0;
  if (clock.Step(bit, symbolStep, invert, decoder)) (bit != 0 ? highPeak : lowPeak) = avg.sum;
}

// ---------------------------------------------------------------- two tone

RttyTwoTone::RttyTwoTone(engine::RxTextQueue* out)
    : ReceiveChannel(kRttyDecimRate, kRttyDefaultBaud), decoder(out) {
  firTaps = kNarrowLowPassTaps.data();
  SetCarrier(carrier);
}

void RttyTwoTone::SetCarrier(double hz) {
  carrier = hz;
  phaseStep = engine::PhaseStepFor(carrier + shift / 2, sampleRate);
  phaseStep2 = engine::PhaseStepFor(carrier - shift / 2, sampleRate);
}

void RttyTwoTone::ResetFilters() {
  for (auto& h : hist2) h.fill(0);
  sums2.fill(0);
  phase2 = 0;
  ReceiveChannel::ResetFilters();
}

void RttyTwoTone::FrontEnd2(int16_t x) {
  phase = static_cast<uint16_t>(phase + phaseStep);
  FilterPair(0, 2, engine::MulShift16(x, engine::Cos16(sine_, phase)));
  FilterPair(1, 3, engine::MulShift16(x, engine::Sin16(sine_, phase)));
  phase2 = static_cast<uint16_t>(phase2 + phaseStep2);
  const int32_t i2 = engine::MulShift16(x, engine::Cos16(sine_, phase2));
  const int32_t q2 = engine::MulShift16(x, engine::Sin16(sine_, phase2));
  const auto b = static_cast<size_t>(boxIndex);
  sums2[0] += i2 - hist2[0][b];
  hist2[0][b] = i2;
  sums2[2] += sums2[0] - hist2[2][b];
  hist2[2][b] = sums2[0];
  sums2[1] += q2 - hist2[1][b];
  hist2[1][b] = q2;
  sums2[3] += sums2[1] - hist2[3][b];
  hist2[3][b] = sums2[1];
  if (++boxIndex >= boxLength) boxIndex = 0;
  if (AdvanceDecimator()) ProcessDecimated();
}

void RttyTwoTone::ProcessBlock(std::span<const int16_t> samples) {
  for (int16_t x : samples) FrontEnd2(x);
}

void RttyTwoTone::LevelRing::Put(int32_t g) {
  if (count < kLevelRing) ++count;
  sum += g - entry[static_cast<size_t>(index)];
  entry[static_cast<size_t>(index)] = g;
  index = (index + 1) % kLevelRing;
}

namespace {

// trunc(10000 * ln(sqrt(x^2 + y^2))), with the amplitude held at 1 or more so that silence
// gives 0 instead of the logarithm of zero.
int32_t LogAmplitude(int32_t x, int32_t y) {
  const double p = static_cast<double>(x) * x + static_cast<double>(y) * y;
  const double a = std::max(1.0, std::sqrt(p));
  return static_cast<int32_t>(10000.0 * std::log(a));
}

}  // namespace

void RttyTwoTone::ProcessDecimated() {
  const auto at = static_cast<size_t>(firIndex);
  firI[at] = FilteredI() >> 10;
  firQ[at] = FilteredQ() >> 10;
  firI2[at] = sums2[2] >> 10;
  firQ2[at] = sums2[3] >> 10;
  firIndex = (firIndex + 1) & 63;
  const int32_t x1 = Fir64(firTaps, firI, firIndex);
  const int32_t y1 = Fir64(firTaps, firQ, firIndex);
  const int32_t x2 = Fir64(firTaps, firI2, firIndex);
  const int32_t y2 = Fir64(firTaps, firQ2, firIndex);

  avg.Prepare(RttyWindowLength(symbolStep));
  const int32_t g = LogAmplitude(x1, y1) - LogAmplitude(x2, y2);
  discOut = g;
  avg.Push(g);

  const int32_t threshold = (ones.Mean() + zeros.Mean()) >> 1;
  const int32_t bit = g > threshold ? 1 : 0;
  (bit != 0 ? ones : zeros).Put(g);
  level = 0;
  clock.Step(bit, symbolStep, invert, decoder);
}

}  // namespace vexa::decoders
