#pragma once
// The low-pass filter of the mixer demodulator's I and Q branches: a windowed sinc of 41 taps
// (half-length 20) at the decimated rate, in 16-bit fixed point, with a delay of 20 steps.
#include <array>
#include <cstdint>

namespace vexa::packet {

class SincFilter {
 public:
  static constexpr int kHalf = 20;
  static constexpr int kTaps = 2 * kHalf + 1;
  // The cut-off as a fraction of the input sample rate (800 Hz of 11025).
  static constexpr double kCutoff = 0.07256235827664399;

  SincFilter();
  // Coefficients h[0..20]: h[0] = trunc(32767 * 2f); h[k] = trunc(32767 * sin(2 pi f k) / (pi k)
  // * sin(pi k / n) / (pi k / n)), with the rounded constants the modem was tuned with.
  static std::array<int32_t, kHalf + 1> Coefficients();
  const std::array<int32_t, kHalf + 1>& taps() const { return h_; }

  // Puts x into the ring and returns the output for the sample 20 steps back.
  int16_t Filter(int16_t x);
  void Reset();

 private:
  std::array<int32_t, kHalf + 1> h_;
  std::array<int16_t, kTaps> ring_{};
  int index_ = 0;  // where the next input goes
};

}  // namespace vexa::packet
