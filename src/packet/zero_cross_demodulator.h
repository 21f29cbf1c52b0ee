#pragma once
// The zero-crossing demodulator of the VHF modems: the time between two zero crossings of the
// input (interpolated between samples, in microseconds) tells which of the two tones is heard;
// the time between two tone changes, in bit periods, goes to the HDLC receiver. The spread of
// the changes around the bit grid is the carrier-detect value.
#include <cstdint>

#include "packet/packet_demodulator.h"

namespace vexa::packet {

struct ZeroCrossParams {
  int32_t sampleRate = 11025;
  int32_t toneA = 1200;  // Hz, the long-period (lower) tone
  int32_t toneB = 2500;  // Hz
  int32_t bitRate = 1200;
  int32_t hysteresis = 1;
  bool pskVariant = false;
};

class ZeroCrossDemodulator final : public PacketDemodulator {
 public:
  explicit ZeroCrossDemodulator(const ZeroCrossParams& p = {});

  // Takes new parameters and recomputes the derived values (integer divisions, in us).
  void Configure(const ZeroCrossParams& p);
  const ZeroCrossParams& params() const { return p_; }
  int32_t usPerSample() const { return usPerSample_; }
  int32_t periodThreshold() const { return periodThreshold_; }
  int32_t halfBit() const { return halfBit_; }
  int32_t bitTime() const { return bitTime_; }
  int32_t levelPeriod() const { return levelPeriod_; }

  void ProcessSample(int16_t x) override;
  // quality * 32767 / bitTime: 32767 when every tone change falls on the bit grid.
  int32_t Level() const override;
  void Reset() override;

  // For tests: the latest period estimate (us) and the tone state (1: the long-period tone).
  int32_t lastPeriod() const { return lastPeriod_; }
  int state() const { return state_; }
  int32_t quality() const { return quality_; }

 private:
  void Rebase();

  ZeroCrossParams p_;
  int32_t usPerSample_ = 90;
  int32_t periodThreshold_ = 0;
  int32_t halfBit_ = 0;
  int32_t bitTime_ = 1;
  int32_t levelPeriod_ = 110;

  int16_t prev_ = 0;
  int32_t clock_ = 0;
  int32_t lastCrossing_ = 0;
  int32_t lastChange_ = 0;
  int32_t lastPeriod_ = 0;
  int state_ = 0;
  int32_t hysteresisCount_ = 0;
  int32_t errorSum_ = 0;
  int32_t changes_ = 0;
  int32_t levelCountdown_ = 110;
  int32_t quality_ = 0;
};

}  // namespace vexa::packet
