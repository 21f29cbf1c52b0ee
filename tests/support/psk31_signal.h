#pragma once
// BPSK31 audio made independently of the program's modulator: varicode words with two zero bits
// between them, a 0 bit a phase reversal with the cosine envelope that passes through zero in
// the middle of the symbol, a 1 bit steady carrier. Idle reversals before and after the text.
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "decoders/varicode.h"

namespace vexa::test {

inline std::vector<int> Psk31Bits(std::string_view text, int idleBefore, int idleAfter) {
  std::vector<int> bits(static_cast<size_t>(idleBefore), 0);
  for (char ch : text) {
    const uint16_t code = decoders::VaricodeEncode(static_cast<uint8_t>(ch));
    const int len = decoders::VaricodeLength(code);
    for (int i = len - 1; i >= 0; --i) bits.push_back((code >> i) & 1);
    bits.push_back(0);
    bits.push_back(0);
  }
  bits.insert(bits.end(), static_cast<size_t>(idleAfter), 0);
  return bits;
}

// Adds the signal to `out` (resized as needed) from sample `start` on, at 11025 Hz.
inline void AddPsk31(std::vector<double>& out, std::string_view text, double hz, double amplitude,
                     size_t start, int idleBefore = 40, int idleAfter = 40) {
  constexpr double kRate = 11025.0;
  constexpr double kSymbol = kRate / 31.25;  // 352.8 samples
  const std::vector<int> bits = Psk31Bits(text, idleBefore, idleAfter);
  const size_t length = static_cast<size_t>(std::ceil(bits.size() * kSymbol));
  if (out.size() < start + length) out.resize(start + length, 0.0);
  double sign = 1.0;
  for (size_t n = 0; n < length; ++n) {
    const double t = n / kSymbol;
    const size_t k = static_cast<size_t>(t);
    const double frac = t - static_cast<double>(k);
    if (k >= bits.size()) break;
    double envelope = sign;
    if (bits[k] == 0) envelope = sign * std::cos(M_PI * frac);  // reversal
    if (bits[k] == 0 && n + 1 < length && (n + 1) / kSymbol >= static_cast<double>(k + 1))
      sign = -sign;
    out[start + n] += amplitude * envelope * std::sin(2 * M_PI * hz * (start + n) / kRate);
  }
}

}  // namespace vexa::test

#include <algorithm>
#include <random>
#include <string>
#include <utility>

namespace vexa::test {

// Several PSK31 stations, each starting a little after the last, in white noise (rms `noise`),
// with `tail` seconds of noise after the last one ends.
inline std::vector<int16_t> MakePsk31Band(
    const std::vector<std::pair<double, std::string>>& stations, double amplitude, double noise,
    double tail = 3.0) {
  std::vector<double> mix;
  size_t start = 11025 / 2;
  for (const auto& [hz, text] : stations) {
    AddPsk31(mix, text, hz, amplitude, start);
    start += 11025 / 3;
  }
  mix.resize(mix.size() + static_cast<size_t>(tail * 11025), 0.0);
  std::mt19937 rng(7);
  std::normal_distribution<double> gauss(0.0, noise);
  std::vector<int16_t> out(mix.size());
  for (size_t i = 0; i < mix.size(); ++i)
    out[i] = static_cast<int16_t>(std::clamp(mix[i] + gauss(rng), -32767.0, 32767.0));
  return out;
}

}  // namespace vexa::test
