#pragma once
// The varicode encoders of the PSK family. A character is loaded as a 16-bit pattern: its
// varicode word shifted up to the top bit, then down by two, so every pattern begins with the
// two zero bits that separate characters. Each symbol takes the top bit: BPSK turns a 0 into a
// phase reversal; QPSK passes the inverted bit through the rate-1/2, constraint-length-5
// convolutional code and turns by the coded quarter-turn step. The result is a phase code 0..3.
#include <cstdint>

#include "decoders/varicode.h"

namespace vexa::tx {

// The transmit pattern of a character (see above). A zero word would give 0x8000 >> 2.
constexpr uint16_t VaricodePattern(uint8_t c) {
  uint32_t code = decoders::VaricodeEncode(c);
  if (code == 0) return 0x8000 >> 2;
  while ((code & 0x8000u) == 0) code <<= 1;
  return static_cast<uint16_t>(code >> 2);
}

// Coded quarter-turn step of a 5-bit convolution state (bit 0 the newest input bit).
constexpr int QpskStep(unsigned state) {
  auto parity = [](unsigned v) {
    unsigned p = 0;
    for (; v != 0; v >>= 1) p ^= v & 1u;
    return static_cast<int>(p);
  };
  return ((parity(state & 0x19u) * 2) & 3) | (parity(state & 0x17u) & 1);
}

class VaricodeEncoder {
 public:
  void Reset() {
    reg = 0;
    phaseCode = 0;
    convState = 0;
  }
  void Load(uint8_t c) { reg = VaricodePattern(c); }
  // Sends the next bit and returns the new phase code; done is true when nothing but zeros is
  // left in the register (the character is complete, or the encoder is idle).
  int NextSymbol(bool qpsk, bool reverse, bool& done) {
    const unsigned bit = (reg >> 15) & 1u;
    reg = static_cast<uint16_t>(reg << 1);
    done = reg == 0;
    if (!qpsk) {
      if (bit == 0) phaseCode = (phaseCode + 2) & 3;
    } else {
      convState = ((convState << 1) | (bit ^ 1u)) & 31u;
      int step = QpskStep(convState);
      if (reverse) step = (-step) & 3;
      phaseCode = (phaseCode + step) & 3;
    }
    return phaseCode;
  }

  uint16_t reg = 0;
  int phaseCode = 0;
  unsigned convState = 0;
};

}  // namespace vexa::tx
