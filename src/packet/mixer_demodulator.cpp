#include "packet/mixer_demodulator.h"

#include <cmath>
#include <cstdlib>

#include "common/sine_table.h"

namespace vexa::packet {

ArctanTable::ArctanTable() {
  for (int y = 0; y <= 256; ++y) {
    a_[static_cast<size_t>(y)] =
        static_cast<int32_t>(std::atan2(y, 256.0) * 1.2732395447715545 * 8192.0);
  }
}

const ArctanTable& Arctan() {
  static const ArctanTable table;
  return table;
}

int16_t ArctanTable::Angle(int32_t fi, int32_t fq) const {
  if (fi == 0) return static_cast<int16_t>(fq >= 0 ? 0x4000 : -0x4000);
  if (fq == 0) return static_cast<int16_t>(fi > 0 ? 0 : -0x8000);
  const int64_t ai = std::llabs(fi), aq = std::llabs(fq);
  const int64_t s = ai < aq ? ai : aq;
  const int64_t b = ai < aq ? aq : ai;
  int64_t ratio = b >= 0x800000 ? (s + 128) / (b >> 8) : (256 * s + 128) / b;
  if (ratio > 256) ratio = 256;
  const int32_t t = a_[static_cast<size_t>(ratio)];
  const bool nearI = ai >= aq;
  int32_t a;
  if (fi > 0 && fq > 0) {
    a = nearI ? t : 0x4000 - t;
  } else if (fi < 0 && fq > 0) {
    a = nearI ? 0x8000 - t : 0x4000 + t;
  } else if (fi < 0) {  // fq < 0
    a = nearI ? -0x8000 + t : -0x4000 - t;
  } else {
    a = nearI ? -t : -0x4000 + t;
  }
  return static_cast<int16_t>(static_cast<uint16_t>(a));
}

int MixerRunLength(int steps) {
  constexpr int kUpper[] = {13, 22, 31, 40, 50, 59, 69};
  for (int r = 0; r < 7; ++r)
    if (steps <= kUpper[r]) return r + 1;
  return 8;
}

MixerDemodulator::MixerDemodulator(double centreHz)
    : sine_(QuarterSineTable().data()), atan_(&Arctan()) {
  Tune(centreHz);
}

void MixerDemodulator::Tune(double centreHz) {
  centreHz_ = centreHz;
  const double step = centreHz * (1.0 / 11025.0) * 65536.0;
  phaseStep_ = static_cast<uint16_t>(
      static_cast<uint32_t>(step > 0 && step < 65536.0 ? static_cast<int32_t>(step) : 0));
}

void MixerDemodulator::Reset() {
  phase_ = 0;
  i_ = q_ = 0;
  count_ = 0;
  filterI_.Reset();
  filterQ_.Reset();
  prevAngle_ = 0;
  prevDiff_ = 0;
  magnitudeSum_ = 0;
  levelCountdown_ = kLevelSteps;
  level_ = 0;
  runCounter_ = 0;
}

void MixerDemodulator::ProcessSample(int16_t x) {
  phase_ = static_cast<uint16_t>(phase_ + phaseStep_);
  i_ += (CosineAt(sine_, phase_) * x) >> 16;
  q_ += (SineAt(sine_, phase_) * x) >> 16;
  if (++count_ < 4) return;
  i_ >>= 2;
  q_ >>= 2;
  DecimatedStep();
  i_ = q_ = 0;
  count_ = 0;
}

void MixerDemodulator::DecimatedStep() {
  const int16_t fi = filterI_.Filter(static_cast<int16_t>(i_));
  const int16_t fq = filterQ_.Filter(static_cast<int16_t>(q_));

  magnitudeSum_ +=
      static_cast<int32_t>(std::sqrt(static_cast<double>(fi) * fi + static_cast<double>(fq) * fq));
  if (--levelCountdown_ <= 0) {
    level_ = magnitudeSum_ / kLevelSteps;
    magnitudeSum_ = 0;
    levelCountdown_ = kLevelSteps;
  }

  const int16_t a = atan_->Angle(fi, fq);
  const auto d = static_cast<int16_t>(static_cast<uint16_t>(a - prevAngle_));
  prevAngle_ = a;
  ++runCounter_;
  if ((d >= 0) == (prevDiff_ >= 0)) return;  // zero counts as positive
  prevDiff_ = d;
  Emit(MixerRunLength(runCounter_));
  runCounter_ = 0;
}

}  // namespace vexa::packet
