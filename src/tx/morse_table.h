#pragma once
// The Morse table of the transmitter: one byte per character byte. A code is read from its
// lowest bit: every bit below the highest set bit is one element (0 dot, 1 dash) and the highest
// set bit ends the letter, so code 1 (no elements) is a gap. Bytes 0xC0 to 0xFF are the Cyrillic
// letters of code page 1251 (capital and small alike) in Russian Morse; 0xA4 is the prosign SK;
// every byte not listed, space included, is a gap.
//
// Timing, in Morse units, shared by every sender (sound-card tone, key line, PSK identification):
// each element ends with 1 unit off, a letter end adds kLetterEndUnits so letters are 3 units
// apart, and a gap character adds kWordGapUnits so words are 7 units apart, the international
// word space that independent decoders rely on to split words.
#include <array>
#include <cstdint>
#include <string_view>

namespace vexa::tx {

namespace morse_detail {

// Dots and dashes to a code: the first element ends up in the lowest bit.
constexpr uint8_t Code(std::string_view elements) {
  unsigned code = 1;
  for (size_t i = elements.size(); i-- > 0;) code = (code << 1) | (elements[i] == '-' ? 1u : 0u);
  return static_cast<uint8_t>(code);
}

constexpr std::array<uint8_t, 256> Build() {
  std::array<uint8_t, 256> t{};
  for (auto& c : t) c = 1;
  constexpr std::string_view kLetters[26] = {".-",   "-...", "-.-.", "-..",  ".",    "..-.", "--.",
                                             "....", "..",   ".---", "-.-",  ".-..", "--",   "-.",
                                             "---",  ".--.", "--.-", ".-.",  "...",  "-",    "..-",
                                             "...-", ".--",  "-..-", "-.--", "--.."};
  for (int i = 0; i < 26; ++i) {
    t[static_cast<size_t>('A' + i)] = Code(kLetters[i]);
    t[static_cast<size_t>('a' + i)] = Code(kLetters[i]);
  }
  constexpr std::string_view kDigits[10] = {"-----", ".----", "..---", "...--", "....-",
                                            ".....", "-....", "--...", "---..", "----."};
  for (int i = 0; i < 10; ++i) t[static_cast<size_t>('0' + i)] = Code(kDigits[i]);
  struct Row {
    unsigned char c;
    std::string_view e;
  };
  constexpr Row kSigns[] = {
      {'!', "...-."},  {'$', "..-..-"}, {'%', "-.-.-"},   {'&', ".-..."}, {'(', "-.--."},
      {')', "-.--.-"}, {'*', "...-.-"}, {0xA4, "...-.-"}, {'+', ".-.-."}, {',', "--..--"},
      {'.', ".-.-.-"}, {'/', "-..-."},  {'\\', "-..-."},  {'|', "-..-."}, {'=', "-...-"},
      {'?', "..--.."}, {'`', "......"}, {2, "-------"},
  };
  for (const auto& r : kSigns) t[r.c] = Code(r.e);
  constexpr std::string_view kCyrillic[32] = {
      ".-",   "-...", ".--",  "--.",  "-..",  ".",    "...-", "--..",  "..",   ".---", "-.-",
      ".-..", "--",   "-.",   "---",  ".--.", ".-.",  "...",  "-",     "..-",  "..-.", "....",
      "-.-.", "---.", "----", "--.-", "-..-", "-.--", "-..-", "..-..", "..--", ".-.-"};
  for (int i = 0; i < 32; ++i) {
    t[static_cast<size_t>(0xC0 + i)] = Code(kCyrillic[i]);
    t[static_cast<size_t>(0xE0 + i)] = Code(kCyrillic[i]);
  }
  return t;
}

inline constexpr std::array<uint8_t, 256> kTable = Build();

}  // namespace morse_detail

inline constexpr int kLetterEndUnits = 2;
inline constexpr int kWordGapUnits = 4;

// The Morse code of a character byte (see above).
constexpr uint8_t MorseCode(uint8_t c) {
  return morse_detail::kTable[c];
}

}  // namespace vexa::tx
