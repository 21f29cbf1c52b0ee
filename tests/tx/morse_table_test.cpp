// The transmitter's Morse table, checked against hand-written element strings and against the
// CW decoder's independently built table.
#include "tx/morse_table.h"

#include <gtest/gtest.h>

#include <string>

#include "decoders/cw_decoder.h"

namespace vexa::tx {
namespace {

// Reads a code back into dots and dashes (lowest bit first, the top set bit ends the letter).
std::string Elements(uint8_t code) {
  std::string s;
  for (unsigned v = code; v > 1; v >>= 1) s += (v & 1u) != 0 ? '-' : '.';
  return s;
}

TEST(MorseTable, HandDerivedCodes) {
  EXPECT_EQ(MorseCode('E'), 0b10);   // one dot
  EXPECT_EQ(MorseCode('T'), 0b11);   // one dash
  EXPECT_EQ(MorseCode('A'), 0b110);  // dot (bit 0 = 0), dash (bit 1 = 1), end
  EXPECT_EQ(MorseCode('N'), 0b101);
  EXPECT_EQ(MorseCode(2), 0xFF);  // seven dashes
  EXPECT_EQ(MorseCode(' '), 1);   // a gap
  EXPECT_EQ(MorseCode('#'), 1);
  EXPECT_EQ(MorseCode(0), 1);
}

TEST(MorseTable, SignsProsignsAndLowerCase) {
  EXPECT_EQ(Elements(MorseCode('?')), "..--..");
  EXPECT_EQ(Elements(MorseCode('/')), "-..-.");
  EXPECT_EQ(MorseCode('\\'), MorseCode('/'));
  EXPECT_EQ(MorseCode('|'), MorseCode('/'));
  EXPECT_EQ(Elements(MorseCode(0xA4)), "...-.-");  // SK
  EXPECT_EQ(MorseCode('*'), MorseCode(0xA4));
  EXPECT_EQ(Elements(MorseCode('`')), "......");
  EXPECT_EQ(Elements(MorseCode('$')), "..-..-");
  EXPECT_EQ(Elements(MorseCode('=')), "-...-");
  for (char c = 'a'; c <= 'z'; ++c) EXPECT_EQ(MorseCode(c), MorseCode(c - 'a' + 'A'));
}

TEST(MorseTable, CyrillicLettersOfCodePage1251) {
  EXPECT_EQ(Elements(MorseCode(0xC0)), ".-");     // А
  EXPECT_EQ(Elements(MorseCode(0xC2)), ".--");    // В
  EXPECT_EQ(Elements(MorseCode(0xD7)), "---.");   // Ч
  EXPECT_EQ(Elements(MorseCode(0xDD)), "..-..");  // Э
  EXPECT_EQ(Elements(MorseCode(0xDF)), ".-.-");   // Я
  for (int i = 0; i < 32; ++i) EXPECT_EQ(MorseCode(0xE0 + i), MorseCode(0xC0 + i));
}

TEST(MorseTable, LettersAndDigitsAgreeWithTheCwDecoder) {
  const auto& rx = decoders::MorseTable();
  for (int c = '0'; c <= '9'; ++c) EXPECT_EQ(MorseCode(c), rx[c]) << char(c);
  for (int c = 'A'; c <= 'Z'; ++c) EXPECT_EQ(MorseCode(c), rx[c]) << char(c);
}

}  // namespace
}  // namespace vexa::tx
