#include "decoders/varicode.h"

#include <gtest/gtest.h>

#include <set>

namespace vexa::decoders {
namespace {

TEST(Varicode, WellKnownCodes) {
  EXPECT_EQ(VaricodeEncode(' '), 0b1);
  EXPECT_EQ(VaricodeEncode('e'), 0b11);
  EXPECT_EQ(VaricodeEncode('t'), 0b101);
  EXPECT_EQ(VaricodeEncode(0), 0b1010101011);
  EXPECT_EQ(VaricodeEncode('\n'), 0b11101);
  EXPECT_EQ(VaricodeEncode('\r'), 0b11111);
  EXPECT_EQ(VaricodeLength(VaricodeEncode('e')), 2);
  EXPECT_EQ(VaricodeLength(0), 0);
}

TEST(Varicode, EveryWordIsValidAndDistinct) {
  std::set<uint16_t> seen;
  for (int c = 0; c < 256; ++c) {
    const uint16_t w = VaricodeEncode(static_cast<uint8_t>(c));
    EXPECT_TRUE(IsVaricodeWord(w)) << c;
    EXPECT_LE(VaricodeLength(w), c < 128 ? 10 : 12) << c;
    EXPECT_TRUE(seen.insert(w).second) << "duplicate word for " << c;
  }
}

TEST(Varicode, ValidWordRule) {
  EXPECT_TRUE(IsVaricodeWord(0b1));
  EXPECT_TRUE(IsVaricodeWord(0b101));
  EXPECT_FALSE(IsVaricodeWord(0b1001));  // two zeros inside
  EXPECT_FALSE(IsVaricodeWord(0b110));   // ends with 0
  EXPECT_FALSE(IsVaricodeWord(0));
}

TEST(Varicode, UpperHalfIsTheSmallestUnusedWordsInOrder) {
  EXPECT_EQ(VaricodeEncode(128), 0b1110111101);
  EXPECT_EQ(VaricodeEncode(129), 0b1110111111);
  EXPECT_EQ(VaricodeEncode(130), 0b1111010101);
  EXPECT_EQ(VaricodeLength(VaricodeEncode(255)), 12);
  // Recomputed independently: walk all words, skip the lower half, take them in order.
  std::set<uint16_t> lower;
  for (int c = 0; c < 128; ++c) lower.insert(VaricodeEncode(static_cast<uint8_t>(c)));
  int next = 128;
  for (uint32_t w = 1; next < 256; ++w) {
    bool valid = (w & 1) != 0;
    for (uint32_t v = w; v > 1 && valid; v >>= 1) valid = (v & 3) != 0;
    if (!valid || lower.count(static_cast<uint16_t>(w)) != 0) continue;
    EXPECT_EQ(VaricodeEncode(static_cast<uint8_t>(next)), w) << next;
    ++next;
  }
}

TEST(Varicode, DecodeTableInvertsTheEncoder) {
  const auto& t = VaricodeDecodeTable();
  for (int c = 0; c < 256; ++c) {
    const uint16_t w = VaricodeEncode(static_cast<uint8_t>(c));
    ASSERT_LT(w >> 1, kVaricodeDecodeSize);
    EXPECT_EQ(t[w >> 1], c) << c;
  }
  int filled = 0;
  for (uint16_t v : t) filled += v != 0 ? 1 : 0;
  EXPECT_EQ(filled, 255);  // every character but NUL, whose entry is itself 0
}

}  // namespace
}  // namespace vexa::decoders
