#include "packet/sinc_filter.h"

#include <cmath>

namespace vexa::packet {

std::array<int32_t, SincFilter::kHalf + 1> SincFilter::Coefficients() {
  constexpr double kTwoPi = 6.283185307;
  constexpr double kOneOverPi = 0.31830988619288864;
  constexpr double kPi = 3.1415926535;
  const double f = kCutoff;
  const int n = kHalf;
  std::array<int32_t, kHalf + 1> h{};
  h[0] = static_cast<int32_t>(32767.0 * kTwoPi * f * kOneOverPi);
  for (int k = 1; k <= n; ++k) {
    const double sinc = std::sin(kTwoPi * f * k) * kOneOverPi / k;
    const double w = kPi * k / n;
    h[static_cast<size_t>(k)] = static_cast<int32_t>(32767.0 * sinc * (std::sin(w) / w));
  }
  return h;
}

SincFilter::SincFilter() : h_(Coefficients()) {}

void SincFilter::Reset() {
  ring_.fill(0);
  index_ = 0;
}

int16_t SincFilter::Filter(int16_t x) {
  ring_[static_cast<size_t>(index_)] = x;
  // The newest sample is at index_, so the centre c lies kHalf behind it and c + k for k up to
  // kHalf reaches the newest.
  const int c = (index_ + kTaps - kHalf) % kTaps;
  int32_t acc = h_[0] * ring_[static_cast<size_t>(c)];
  for (int k = 1; k <= kHalf; ++k) {
    const int32_t pair = ring_[static_cast<size_t>((c + kTaps - k) % kTaps)] +
                         ring_[static_cast<size_t>((c + k) % kTaps)];
    acc += h_[static_cast<size_t>(k)] * pair;
  }
  index_ = (index_ + 1) % kTaps;
  return static_cast<int16_t>(acc >> 16);
}

}  // namespace vexa::packet
