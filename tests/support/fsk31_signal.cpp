#include "support/fsk31_signal.h"

#include <cmath>

#include "decoders/varicode.h"

namespace vexa::test {

std::vector<int> Fsk31Bits(std::string_view text, int idleBefore, int idleAfter) {
  std::vector<int> bits(static_cast<size_t>(idleBefore), 0);
  for (char ch : text) {
    const uint16_t code = decoders::VaricodeEncode(static_cast<uint8_t>(ch));
    for (int k = decoders::VaricodeLength(code) - 1; k >= 0; --k) bits.push_back((code >> k) & 1);
    bits.push_back(0);
    bits.push_back(0);
  }
  bits.insert(bits.end(), static_cast<size_t>(idleAfter), 0);
  return bits;
}

std::vector<int16_t> MakeFsk31Audio(std::string_view text, const Fsk31Params& p) {
  constexpr double kRate = 11025;
  constexpr double kShift = 15.625;
  const auto bits = Fsk31Bits(text, p.idleBitsBefore, p.idleBitsAfter);
  // Tone per bit: +1 upper, -1 lower.
  std::vector<int> tone;
  int current = 1;
  for (int b : bits) {
    if (p.differential) {
      if (b == 0) current = -current;
    } else {
      current = b != 0 ? -1 : 1;
    }
    tone.push_back(p.swapTones ? -current : current);
  }
  const double samplesPerBit = kRate / p.baud;
  const auto total = static_cast<size_t>(static_cast<double>(tone.size()) * samplesPerBit);
  std::vector<int16_t> out(total);
  double phase = 0;
  for (size_t n = 0; n < total; ++n) {
    const auto k = static_cast<size_t>(static_cast<double>(n) / samplesPerBit);
    phase += 2 * M_PI * (p.centreHz + 0.5 * kShift * tone[k]) / kRate;
    out[n] = static_cast<int16_t>(p.amplitude * std::sin(phase));
  }
  return out;
}

}  // namespace vexa::test
