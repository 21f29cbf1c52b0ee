#pragma once
// The quarter-wave sine table that every oscillator of the program reads, and its unfolding to
// SIN and COS of a 16-bit phase (65536 units per cycle, uint16_t so that wrap-around is defined).
// T[i] = trunc(sin(i*pi/32768) * 32767) for i = 0..16384, built once on first use from the
// 11-digit value of pi that the signal paths were tuned with. The receive front end and the
// packet modems share it, so it lives below both.
#include <array>
#include <cstdint>

namespace vexa {

constexpr double kSinePi = 3.1415926535;  // deliberately not full precision: T[] depends on it

using QuarterSine = std::array<int32_t, 16385>;

// The process-wide table (thread-safe static initialisation).
const QuarterSine& QuarterSineTable();

// SIN and COS of a phase on a table; the lower boundary of each quadrant is inclusive.
inline int32_t SineAt(const int32_t* t, uint16_t p) {
  if (p <= 0x4000) return t[p];
  if (p <= 0x8000) return t[0x8000 - p];
  if (p <= 0xC000) return -t[p - 0x8000];
  return -t[0x10000 - p];
}

inline int32_t CosineAt(const int32_t* t, uint16_t p) {
  if (p <= 0x4000) return t[0x4000 - p];
  if (p <= 0x8000) return -t[p - 0x4000];
  if (p <= 0xC000) return -t[0xC000 - p];
  return t[p - 0xC000];
}

}  // namespace vexa
