#pragma once
// Test fading for the PSK family: up to four slow oscillators, each with a period in seconds and
// a depth 0..1, multiply the output by the product of 1 - depth * (0.5 + sin(phase) / 2). Lets
// an operator hear how a receiver copes with a fading path. Fixed point, no allocation.
#include <array>
#include <cstdint>

#include "engine/dsp_tables.h"

namespace vexa::tx {

class TestFading {
 public:
  static constexpr int kOscillators = 4;

  // periodSeconds 0 (or less) disables oscillator k; depth is clamped to 0..1.
  void Set(int k, double periodSeconds, double depth, int sampleRate = 11025) {
    if (k < 0 || k >= kOscillators) return;
    Osc& o = osc_[static_cast<size_t>(k)];
    o.phase = 0;
    if (!(periodSeconds > 0) || sampleRate <= 0) {
      o.step = 0;
      return;
    }
    const double step = 1073741824.0 / (periodSeconds * sampleRate);  // 30-bit phase per sample
    // At most a quarter cycle per sample: shorter periods are meaningless for fading.
    o.step = step < 1 ? 1u : step > 268435456.0 ? 268435456u : static_cast<uint32_t>(step);
    const double d = !(depth > 0) ? 0 : depth > 1 ? 1 : depth;
    o.depthQ15 = static_cast<int32_t>(d * 32767 + 0.5);
  }
  bool enabled() const {
    for (const auto& o : osc_)
      if (o.step != 0) return true;
    return false;
  }
  int16_t Apply(int16_t sample) {
    int32_t s = sample;
    for (auto& o : osc_) {
      if (o.step == 0) continue;
      o.phase = (o.phase + o.step) & 0x3FFFFFFFu;
      const int32_t sine = engine::Sin16(static_cast<uint16_t>(o.phase >> 14));  // -32767..32767
      const int32_t half = (32767 + sine) >> 1;                                  // 0..32767
      const int32_t gain = 32767 - ((o.depthQ15 * half) >> 15);                  // Q15
      s = (s * gain) >> 15;
    }
    return static_cast<int16_t>(s);
  }

 private:
  struct Osc {
    uint32_t phase = 0;  // 30 bits per cycle
    uint32_t step = 0;
    int32_t depthQ15 = 0;
  };
  std::array<Osc, kOscillators> osc_{};
};

}  // namespace vexa::tx
