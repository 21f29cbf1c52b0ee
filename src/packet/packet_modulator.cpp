#include "packet/packet_modulator.h"

#include <cmath>

#include "common/sine_table.h"

namespace vexa::packet {
namespace {

uint16_t ToneStep(double hz, int rate) {
  const double s = hz / rate * 65536.0;
  if (!(s > 0) || s >= 65536.0) return 0;
  return static_cast<uint16_t>(static_cast<int32_t>(s));
}

// trunc(n / rate + 0.5)
int32_t RoundedRatio(double n, int rate) {
  return static_cast<int32_t>(n / rate + 0.5);
}

}  // namespace

FskModulator::FskModulator(double tone1Hz, double tone0Hz, int bitRate, int rate)
    : sine_(QuarterSineTable().data()) {
  Configure(tone1Hz, tone0Hz, bitRate, rate);
}

void FskModulator::Configure(double tone1Hz, double tone0Hz, int bitRate, int rate) {
  if (rate < 1000) rate = 11025;
  if (bitRate < 1) bitRate = 1;
  step1_ = ToneStep(tone1Hz, rate);
  step0_ = ToneStep(tone0Hz, rate);
  sampleTime_ = 10000000 / rate;
  bitTime_ = 10000000 / bitRate;
  Reset();
}

void FskModulator::Reset() {
  phase_ = 0;
  level_ = 1;
  clock_ = 0;
  deadline_ = 0;
}

void FskModulator::NextBit(int level) {
  level_ = level ? 1 : 0;
  deadline_ += bitTime_;
}

int16_t FskModulator::NextSample(bool& bitDue) {
  const auto out = static_cast<int16_t>(SineAt(sine_, phase_));
  phase_ = static_cast<uint16_t>(phase_ + (level_ ? step1_ : step0_));
  clock_ += sampleTime_;
  bitDue = clock_ >= deadline_;
  return out;
}

TonePairModulator::TonePairModulator(TonePairKind kind, int rate, bool differential)
    : sine_(QuarterSineTable().data()) {
  Configure(kind, rate, differential);
}

void TonePairModulator::Configure(TonePairKind kind, int rate, bool differential) {
  if (rate < 1000) rate = 11025;
  kind_ = kind;
  differential_ = differential && kind == TonePairKind::Type45;
  sampleStep_ = RoundedRatio(1e8, rate);
  switch (kind) {
    case TonePairKind::Type2:
      step1_ = static_cast<uint16_t>(RoundedRatio(78643200.0, rate));   // 1200 Hz
      step0_ = static_cast<uint16_t>(RoundedRatio(157286400.0, rate));  // 2400 Hz
      bitLength_ = 83333;
      k_ = 51540;
      break;
    case TonePairKind::Type3:
      step1_ = static_cast<uint16_t>(RoundedRatio(77987840.0, rate));   // 1190 Hz
      step0_ = static_cast<uint16_t>(RoundedRatio(117047296.0, rate));  // 1786 Hz
      bitLength_ = 83333;
      k_ = 51540;
      break;
    case TonePairKind::Type45:
      step1_ = static_cast<uint16_t>(RoundedRatio(77987840.0, rate));   // 1190 Hz
      step0_ = static_cast<uint16_t>(RoundedRatio(156041216.0, rate));  // 2381 Hz
      bitLength_ = 41999;
      k_ = 102264;
      break;
  }
  Reset();
}

void TonePairModulator::Reset() {
  phase_ = 0;
  clock_ = 0;
  level_ = 1;
  lastInput_ = 0;
  sign_ = 1;
  started_ = false;
}

void TonePairModulator::NextBit(int level) {
  level = level ? 1 : 0;
  const int previous = level_;
  if (differential_) {
    const int coded = level != lastInput_ ? 1 : 0;
    lastInput_ = level;
    level = coded;
  }
  // The sign keeps the half-cycle tones continuous across the boundary.
  if (started_) {
    if (kind_ == TonePairKind::Type3 && previous == 0) sign_ = -sign_;
    if (kind_ == TonePairKind::Type45 && previous == 1) sign_ = -sign_;
  }
  started_ = true;
  level_ = level;
  // The phase restarts in proportion to the time already spent in the new bit.
  auto p = static_cast<uint32_t>((static_cast<int64_t>(clock_) * k_) >> 16);
  switch (kind_) {
    case TonePairKind::Type2:
      if (level == 0) p *= 2;
      break;
    case TonePairKind::Type3:
      if (level == 0) p += p >> 1;
      break;
    case TonePairKind::Type45:
      if (level == 1) p >>= 1;
      break;
  }
  phase_ = static_cast<uint16_t>(p);
}

int16_t TonePairModulator::NextSample(bool& bitDue) {
  const auto out = static_cast<int16_t>(sign_ * SineAt(sine_, phase_));
  phase_ = static_cast<uint16_t>(phase_ + (level_ ? step1_ : step0_));
  clock_ += sampleStep_;
  bitDue = false;
  if (clock_ >= bitLength_) {
    clock_ -= bitLength_;
    bitDue = true;
  }
  return out;
}

}  // namespace vexa::packet
