#pragma once
// Morse test signals made from first principles: international Morse timing (PARIS: a dot lasts
// 1200 / wpm ms, a dash three dots, one dot between elements, three between characters, seven
// between words) keyed onto a sine tone with raised-cosine edges. Also seeded white noise at a
// stated signal-to-noise ratio.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::test {

// The Morse code of an upper-case letter, digit or punctuation mark as dots and dashes, written
// out here independently of the decoder's table; "" for characters without a code.
std::string_view MorseCodeOf(char c);

struct MorseParams {
  double wpm = 20;
  double toneHz = 800;
  double amplitude = 8000;  // peak, in 16-bit units
  double rampMs = 5;        // raised-cosine rise and fall
  double leadSilenceMs = 500;
  double tailSilenceMs = 1000;
  int sampleRate = 11025;
};

// Keys text (upper case; a space is a word gap) at the given speed.
std::vector<int16_t> MakeMorseAudio(std::string_view text, const MorseParams& p);

// Adds white Gaussian noise (fixed seed) so that a sine of the given peak amplitude has snrDb
// against the noise power in a 3000 Hz bandwidth. Clips to 16 bits.
void AddNoiseAtSnr(std::vector<int16_t>& samples, double sinePeak, double snrDb, uint32_t seed,
                   int sampleRate = 11025);

}  // namespace vexa::test
