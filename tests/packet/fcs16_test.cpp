#include "packet/fcs16.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace vexa::packet {
namespace {

std::vector<uint8_t> Bytes(std::string_view s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

// The standard check value of the X.25 CRC: "123456789" gives 0x906E.
TEST(Fcs16, CheckValueOfTheDigitsIs906E) {
  EXPECT_EQ(Fcs16(Bytes("123456789")), 0x906E);
  static_assert(Fcs16(std::span<const uint8_t>{}) == 0x0000);  // ~0xFFFF
}

// The table is the bitwise algorithm; spot-check entries against it computed by hand:
// entry 1 = 0x1189 and entry 128 = 0x8408 for the reflected polynomial 0x8408.
TEST(Fcs16, TableMatchesTheBitwiseAlgorithm) {
  EXPECT_EQ(kFcsTable[0], 0x0000);
  EXPECT_EQ(kFcsTable[1], 0x1189);
  EXPECT_EQ(kFcsTable[128], 0x8408);
  EXPECT_EQ(kFcsTable[255], 0x0F78);
}

// A frame followed by its FCS (low byte first) leaves the well-known residue 0xF0B8 in the
// un-inverted register, i.e. 0x0F47 after inversion.
TEST(Fcs16, FrameWithItsFcsLeavesTheGoodResidue) {
  auto b = Bytes("The quick brown fox");
  const uint16_t fcs = Fcs16(b);
  b.push_back(static_cast<uint8_t>(fcs & 0xFF));
  b.push_back(static_cast<uint8_t>(fcs >> 8));
  EXPECT_EQ(Fcs16(b), 0x0F47);
}

}  // namespace
}  // namespace vexa::packet
