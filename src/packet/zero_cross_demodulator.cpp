#include "packet/zero_cross_demodulator.h"

namespace vexa::packet {
namespace {

// The clock is rebased well before 32-bit microseconds run out (about 36 minutes).
constexpr int32_t kRebaseUs = 1 << 30;
// A change older than this is as good as none: its run is 8 bit periods long anyway.
constexpr int32_t kOldestChangeUs = 1 << 24;

int32_t Abs16(int16_t v) {
  return v < 0 ? -static_cast<int32_t>(v) : v;
}

}  // namespace

ZeroCrossDemodulator::ZeroCrossDemodulator(const ZeroCrossParams& p) {
  Configure(p);
}

void ZeroCrossDemodulator::Configure(const ZeroCrossParams& p) {
  p_ = p;
  if (p_.sampleRate < 1000) p_.sampleRate = 11025;
  if (p_.toneA < 1) p_.toneA = 1;
  if (p_.toneB < 1) p_.toneB = 1;
  if (p_.bitRate < 1) p_.bitRate = 1;
  if (p_.hysteresis < 1) p_.hysteresis = 1;
  usPerSample_ = 1000000 / p_.sampleRate;
  periodThreshold_ = (1000000 / p_.toneB + 1000000 / p_.toneA) >> 1;
  halfBit_ = 500000 / p_.bitRate;
  bitTime_ = 1000000 / p_.bitRate;
  if (bitTime_ < 1) bitTime_ = 1;
  levelPeriod_ = static_cast<int32_t>(p_.sampleRate * 0.01);
  if (levelPeriod_ < 1) levelPeriod_ = 1;
  levelCountdown_ = levelPeriod_;
}

void ZeroCrossDemodulator::Reset() {
  prev_ = 0;
  clock_ = 0;
  lastCrossing_ = 0;
  lastChange_ = 0;
  lastPeriod_ = 0;
  state_ = 0;
  hysteresisCount_ = 0;
  errorSum_ = 0;
  changes_ = 0;
  levelCountdown_ = levelPeriod_;
  quality_ = 0;
}

int32_t ZeroCrossDemodulator::Level() const {
  return static_cast<int32_t>(static_cast<int64_t>(quality_) * 32767 / bitTime_);
}

void ZeroCrossDemodulator::Rebase() {
  // Only differences of the times are used, so moving all of them keeps every result.
  const int32_t base = clock_ - kOldestChangeUs;
  if (lastChange_ < base) lastChange_ = base;
  if (lastCrossing_ < base) lastCrossing_ = base;
  clock_ -= base;
  lastCrossing_ -= base;
  lastChange_ -= base;
}

void ZeroCrossDemodulator::ProcessSample(int16_t x) {
  if (--levelCountdown_ <= 0) {
    quality_ = changes_ > 0 ? bitTime_ - errorSum_ / changes_ : 0;
    errorSum_ = 0;
    changes_ = 0;
    levelCountdown_ = levelPeriod_;
  }
  if (clock_ > kRebaseUs) Rebase();

  if ((x < 0) == (prev_ < 0)) {
    prev_ = x;
    clock_ += usPerSample_;
    return;
  }
  // A zero crossing, interpolated between the two samples.
  const int32_t t = clock_ + usPerSample_ * Abs16(prev_) / (Abs16(x) + Abs16(prev_));
  clock_ += usPerSample_;
  prev_ = x;

  const int32_t previousCrossing = lastCrossing_;
  const int32_t period = (t - previousCrossing) * 2;
  lastCrossing_ = t;
  lastPeriod_ = period;

  bool change = false;
  if (p_.pskVariant) {
    // A long period marks a phase reversal: every crossing after one reports a change.
    state_ = period < periodThreshold_ ? 0 : 1;
    change = state_ == 1;
  } else if (period < periodThreshold_) {  // the higher tone
    if (hysteresisCount_ > 0) --hysteresisCount_;
    if (hysteresisCount_ == 0 && state_ == 1) {
      state_ = 0;
      change = true;
    }
  } else {  // the lower tone
    if (hysteresisCount_ < p_.hysteresis) ++hysteresisCount_;
    if (hysteresisCount_ == p_.hysteresis && state_ == 0) {
      state_ = 1;
      change = true;
    }
  }
  if (!change) return;

  // The change is dated at the previous crossing, the last one of the old tone.
  const int32_t T = previousCrossing - lastChange_;
  lastChange_ = previousCrossing;
  int32_t r = (T + halfBit_) / bitTime_;
  if (r < 1) r = 1;
  if (r > 8) r = 8;
  ++changes_;
  int32_t off = T % bitTime_;
  if (off < 0) off = -off;
  errorSum_ += off > halfBit_ ? bitTime_ - off : off;
  Emit(r);
}

}  // namespace vexa::packet
