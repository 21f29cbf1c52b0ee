#pragma once
// FSK31 test signals made from first principles: varicode characters separated by two zero bits,
// sent at 31.25 baud on two tones 15.625 Hz apart around a centre frequency, with continuous
// phase. Direct variant: a 1 is the lower tone and a 0 the upper tone. Differential variant: a 0
// changes the tone and a 1 keeps it (as the phase reversals of PSK31).
#include <cstdint>
#include <string_view>
#include <vector>

namespace vexa::test {

struct Fsk31Params {
  double centreHz = 1000;
  double amplitude = 8000;
  bool differential = false;
  bool swapTones = false;   // the other sideband: the tones trade places
  double baud = 31.25;      // nominal; a slightly wrong rate tests the clock
  int idleBitsBefore = 32;  // zeros before the text
  int idleBitsAfter = 32;
};

// The bit stream: idle zeros, then each character's varicode followed by 00, then idle zeros.
std::vector<int> Fsk31Bits(std::string_view text, int idleBefore, int idleAfter);

std::vector<int16_t> MakeFsk31Audio(std::string_view text, const Fsk31Params& p);

}  // namespace vexa::test
