#pragma once
// The mixer demodulator with a phase discriminator (the HF 300 bit/s modem and the packet
// monitor): the input is mixed down at the centre frequency, summed over four samples, low-pass
// filtered at 2756.25 steps per second, and the change of the vector's angle from step to step
// tells whether the tone lies above or below the centre. Each change of that sign ends a run,
// whose length in decimated steps becomes a number of bit periods at 300 bit/s.
#include <array>
#include <cstdint>

#include "packet/packet_demodulator.h"
#include "packet/sinc_filter.h"

namespace vexa::packet {

// The 16-bit angle of a vector, 0x4000 per quarter turn, from a 257-entry arctangent table
// A[y] = trunc(atan2(y, 256) * 4/pi * 8192) (A[256] = 8192, one eighth of a turn).
class ArctanTable {
 public:
  ArctanTable();
  int16_t Angle(int32_t fi, int32_t fq) const;
  const std::array<int32_t, 257>& table() const { return a_; }

 private:
  std::array<int32_t, 257> a_;
};

// The process-wide table, built on first use.
const ArctanTable& Arctan();

// Decimated steps since the previous change to bit periods (1..8); the boundaries lie half a bit
// beyond each whole number of bits at 9.19 steps per bit.
int MixerRunLength(int steps);

class MixerDemodulator final : public PacketDemodulator {
 public:
  static constexpr int kLevelSteps = 68;  // carrier-detect averaging, in decimated steps

  explicit MixerDemodulator(double centreHz = 1000.0);

  // Tunes to an audio frequency in Hz; the running state stays.
  void Tune(double centreHz);
  double centreHz() const { return centreHz_; }
  uint16_t phaseStep() const { return phaseStep_; }

  void ProcessSample(int16_t x) override;
  int32_t Level() const override { return level_; }
  void Reset() override;

 private:
  void DecimatedStep();

  const int32_t* sine_;
  const ArctanTable* atan_;
  double centreHz_ = 1000.0;
  uint16_t phaseStep_ = 0;
  uint16_t phase_ = 0;
  int32_t i_ = 0, q_ = 0;
  int count_ = 0;
  SincFilter filterI_, filterQ_;
  int16_t prevAngle_ = 0;
  int16_t prevDiff_ = 0;
  int32_t magnitudeSum_ = 0;
  int levelCountdown_ = kLevelSteps;
  int32_t level_ = 0;
  int32_t runCounter_ = 0;
};

}  // namespace vexa::packet
