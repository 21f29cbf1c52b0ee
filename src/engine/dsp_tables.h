#pragma once
// Fixed-point rules and the tables every receive channel and modulator shares.
//
// Phase is a 16-bit unsigned number, 65536 units per cycle (uint16_t so that wrap-around is
// defined). The quarter-wave sine table T has 16385 entries scaled to 32767; SIN and COS unfold
// it by quadrant with the lower boundary of each quadrant inclusive as written below. The tables
// are built once, on first use, from the 11-digit value of pi that the signal path was tuned with.
#include <array>
#include <cstdint>

#include "common/sine_table.h"

namespace vexa::engine {

constexpr double kPi11 = kSinePi;  // deliberately not full precision: T[] depends on it

struct DspTables {
  std::array<int32_t, 16385> sine;          // T[i] = trunc(sin(i*pi/32768) * 32767)
  std::array<double, 16385> raisedCosine;   // (1 - cos(i*pi/32768)) / 2, for transmit shaping
  std::array<double, 2048> spectrumWindow;  // four-term Blackman-Nuttall, periodic
};

// The process-wide tables, built on first call (thread-safe static initialisation).
const DspTables& Tables();

// SIN and COS on a given sine table (hot paths keep a pointer to Tables().sine).
inline int32_t Sin16(const int32_t* t, uint16_t p) {
  if (p <= 0x4000) return t[p];
  if (p <= 0x8000) return t[0x8000 - p];
  if (p <= 0xC000) return -t[p - 0x8000];
  return -t[0x10000 - p];
}

inline int32_t Cos16(const int32_t* t, uint16_t p) {
  if (p <= 0x4000) return t[0x4000 - p];
  if (p <= 0x8000) return -t[p - 0x4000];
  if (p <= 0xC000) return -t[0xC000 - p];
  return t[p - 0xC000];
}

inline int32_t Sin16(uint16_t p) {
  return Sin16(Tables().sine.data(), p);
}
inline int32_t Cos16(uint16_t p) {
  return Cos16(Tables().sine.data(), p);
}

// 32-bit product of a sample and a table value, shifted right by 16 (arithmetic shift).
inline int32_t MulShift16(int32_t a, int32_t b) {
  return (a * b) >> 16;
}

}  // namespace vexa::engine
