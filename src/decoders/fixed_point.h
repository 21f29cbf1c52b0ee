#pragma once
// Small fixed-point helpers shared by the decoders: 32-bit wrap-around arithmetic done on
// unsigned types (so nothing relies on signed overflow) and the angle scalings.
#include <cmath>
#include <cstdint>
#include <span>

namespace vexa::decoders {

// a + b and a - b modulo 2^32.
inline int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// trunc(v) reduced modulo 2^32: a half turn scaled to 2^31 lands on -2^31, the same angle.
inline int32_t TruncWrap32(double v) {
  if (!std::isfinite(v) || std::fabs(v) > 9e18) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(v)));
}

// atan2 scaled so that a half turn is 2^31 (683565275 = 2^31 / pi, rounded).
inline int32_t AngleUnits31(double y, double x) {
  return TruncWrap32(std::atan2(y, x) * 683565275.0);
}

// The 64-tap filter over a ring of decimated values, oldest first: sum of tap[k] *
// ring[(start + k) & 63], in 32-bit arithmetic (accumulated wide, then wrapped to 32 bits).
inline int32_t Fir64(const int32_t* taps, std::span<const int32_t, 64> ring, int32_t start) {
  int64_t acc = 0;
  for (int k = 0; k < 64; ++k) {
    acc += static_cast<int64_t>(taps[k]) * ring[static_cast<size_t>((start + k) & 63)];
  }
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(acc)));
}

}  // namespace vexa::decoders
