#pragma once
// The PSK31 varicode alphabet: a prefix-free code whose words start and end with 1 and never hold
// two successive zeros, so two zeros mark the gap between characters.
//
// Codes are written as binary numbers whose most significant 1 is the first bit sent (e = 0b11,
// t = 0b101). Characters 0 to 127 use the published alphabet (no word longer than 10 bits);
// characters 128 to 255 take the 128 smallest valid words that alphabet leaves unused, in
// ascending order (the last ones are 12 bits long). Both tables are computed at compile time.
#include <array>
#include <cstddef>
#include <cstdint>

namespace vexa::decoders {

inline constexpr int kVaricodeDecodeSize = 2047;

namespace varicode_detail {

// The published alphabet for characters 0..127.
inline constexpr std::array<uint16_t, 128> kAscii = {
    0b1010101011, 0b1011011011, 0b1011101101, 0b1101110111,  // NUL SOH STX ETX
    0b1011101011, 0b1101011111, 0b1011101111, 0b1011111101,  // EOT ENQ ACK BEL
    0b1011111111, 0b11101111,   0b11101,      0b1101101111,  // BS HT LF VT
    0b1011011101, 0b11111,      0b1101110101, 0b1110101011,  // FF CR SO SI
    0b1011110111, 0b1011110101, 0b1110101101, 0b1110101111,  // DLE DC1 DC2 DC3
    0b1101011011, 0b1101101011, 0b1101101101, 0b1101010111,  // DC4 NAK SYN ETB
    0b1101111011, 0b1101111101, 0b1110110111, 0b1101010101,  // CAN EM SUB ESC
    0b1101011101, 0b1110111011, 0b1011111011, 0b1101111111,  // FS GS RS US
    0b1,          0b111111111,  0b101011111,  0b111110101,   // space ! " #
    0b111011011,  0b1011010101, 0b1010111011, 0b101111111,   // $ % & '
    0b11111011,   0b11110111,   0b101101111,  0b111011111,   // ( ) * +
    0b1110101,    0b110101,     0b1010111,    0b110101111,   // , - . /
    0b10110111,   0b10111101,   0b11101101,   0b11111111,    // 0 1 2 3
    0b101110111,  0b101011011,  0b101101011,  0b110101101,   // 4 5 6 7
    0b110101011,  0b110110111,  0b11110101,   0b110111101,   // 8 9 : ;
    0b111101101,  0b1010101,    0b111010111,  0b1010101111,  // < = > ?
    0b1010111101, 0b1111101,    0b11101011,   0b10101101,    // @ A B C
    0b10110101,   0b1110111,    0b11011011,   0b11111101,    // D E F G
    0b101010101,  0b1111111,    0b111111101,  0b101111101,   // H I J K
    0b11010111,   0b10111011,   0b11011101,   0b10101011,    // L M N O
    0b11010101,   0b111011101,  0b10101111,   0b1101111,     // P Q R S
    0b1101101,    0b101010111,  0b110110101,  0b101011101,   // T U V W
    0b101110101,  0b101111011,  0b1010101101, 0b111110111,   // X Y Z [
    0b111101111,  0b111111011,  0b1010111111, 0b101101101,   // \ ] ^ _
    0b1011011111, 0b1011,       0b1011111,    0b101111,      // ` a b c
    0b101101,     0b11,         0b111101,     0b1011011,     // d e f g
    0b101011,     0b1101,       0b111101011,  0b10111111,    // h i j k
    0b11011,      0b111011,     0b1111,       0b111,         // l m n o
    0b111111,     0b110111111,  0b10101,      0b10111,       // p q r s
    0b101,        0b110111,     0b1111011,    0b1101011,     // t u v w
    0b11011111,   0b1011101,    0b111010101,  0b1010110111,  // x y z {
    0b110111011,  0b1010110101, 0b1011010111, 0b1110110101,  // | } ~ DEL
};

}  // namespace varicode_detail

// True for a valid varicode word: starts and ends with 1, no two successive zeros.
constexpr bool IsVaricodeWord(uint32_t code) {
  if (code == 0 || (code & 1) == 0) return false;
  for (uint32_t v = code; v > 1; v >>= 1) {
    if ((v & 3) == 0) return false;
  }
  return true;
}

namespace varicode_detail {

constexpr std::array<uint16_t, 256> BuildCodes() {
  std::array<uint16_t, 256> codes{};
  for (int c = 0; c < 128; ++c) codes[static_cast<size_t>(c)] = kAscii[static_cast<size_t>(c)];
  int next = 128;
  for (uint32_t w = 1; w < 0x10000 && next < 256; ++w) {
    if (!IsVaricodeWord(w)) continue;
    bool used = false;
    for (uint16_t a : kAscii) used = used || a == w;
    if (!used) codes[static_cast<size_t>(next++)] = static_cast<uint16_t>(w);
  }
  return codes;
}

inline constexpr std::array<uint16_t, 256> kCodes = BuildCodes();

constexpr std::array<uint16_t, kVaricodeDecodeSize> BuildDecode() {
  std::array<uint16_t, kVaricodeDecodeSize> t{};
  for (int c = 0; c < 256; ++c) {
    const uint32_t code = kCodes[static_cast<size_t>(c)];
    if (code < 4094) t[code >> 1] = static_cast<uint16_t>(c);
  }
  return t;
}

inline constexpr std::array<uint16_t, kVaricodeDecodeSize> kDecode = BuildDecode();

}  // namespace varicode_detail

// The varicode word of a character (0b11 for 'e').
constexpr uint16_t VaricodeEncode(uint8_t c) {
  return varicode_detail::kCodes[c];
}

// Number of bits in a word (its highest set bit + 1); 0 for 0.
constexpr int VaricodeLength(uint16_t code) {
  int n = 0;
  for (uint32_t v = code; v != 0; v >>= 1) ++n;
  return n;
}

// The receive table, indexed by (code >> 1) for codes below 4094: the character of that code,
// 0 where no character has it.
constexpr const std::array<uint16_t, kVaricodeDecodeSize>& VaricodeDecodeTable() {
  return varicode_detail::kDecode;
}

}  // namespace vexa::decoders
