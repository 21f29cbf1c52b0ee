#include "packet/ax25_address.h"

#include <gtest/gtest.h>

namespace vexa::packet {
namespace {

TEST(ParseCallsign, AcceptsCallsWithOptionalSsid) {
  auto a = ParseCallsign("n0call-7");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->Call(), "N0CALL");
  EXPECT_EQ(a->ssid, 7);
  EXPECT_EQ(FormatCallsign(*a), "N0CALL-7");
  auto b = ParseCallsign("K1A-15");
  ASSERT_TRUE(b);
  EXPECT_EQ(FormatCallsign(*b), "K1A-15");
  auto c = ParseCallsign("DL1ABC-0");
  ASSERT_TRUE(c);
  EXPECT_EQ(FormatCallsign(*c), "DL1ABC");  // SSID 0 prints without suffix
  auto d = ParseCallsign("W1AW-05");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->ssid, 5);
}

TEST(ParseCallsign, RejectsEverythingElse) {
  for (const char* bad : {"", "N0CALL-16", "N0CALL-", "ABCDEFG", "N0CALL/1", "-1", "N0 CALL",
                          "N0CALL-1X", "N0CALL-123", "ABCDEFGHIJ", "N0CALL-A", "\xc4\xd6"}) {
    EXPECT_FALSE(ParseCallsign(bad)) << bad;
  }
}

TEST(ParseCallsignList, ReadsTokensUntilOneFails) {
  Ax25AddressList list(7);
  EXPECT_EQ(ParseCallsignList("DB0ABC-3 DB0XYZ ", list), 2);
  EXPECT_EQ(list[0].ssid, 3);
  EXPECT_EQ(list[1].ssid, 0);
  EXPECT_EQ(FormatCallsignList(list), "DB0ABC-3 DB0XYZ ");
  // A token of more than six letters stops the list there; earlier entries stay.
  EXPECT_EQ(ParseCallsignList("A1 TOOLONGCALL B2", list), -1);
  EXPECT_EQ(list.count(), 1);
  EXPECT_EQ(list[0].Call(), "A1");
  // A control character ends the text.
  EXPECT_EQ(ParseCallsignList("A1 B2\rC3", list), 2);
  EXPECT_EQ(ParseCallsignList("   ", list), 0);
  // A token is cut to nine characters before parsing.
  EXPECT_EQ(ParseCallsignList("N0CALL-15XYZ", list), 1);
  EXPECT_EQ(list[0].ssid, 15);
}

TEST(ParseCallsignList, AFullListFailsAtTheFirstExtraEntry) {
  Ax25AddressList list(7);
  EXPECT_EQ(ParseCallsignList("A1 A2 A3 A4 A5 A6 A7 A8", list), -1);
  EXPECT_EQ(list.count(), 7);
  Ax25AddressList wide(10);
  EXPECT_EQ(ParseCallsignList("A1 A2 A3 A4 A5 A6 A7 A8", wide), 8);
}

TEST(Ax25AddressList, EqualityComparesCallsAndSsidsInOrder) {
  Ax25AddressList a(7), b(7);
  ASSERT_EQ(ParseCallsignList("X1-1 Y2", a), 2);
  ASSERT_EQ(ParseCallsignList("x1-1 y2", b), 2);
  EXPECT_TRUE(a == b);
  ASSERT_EQ(ParseCallsignList("Y2 X1-1", b), 2);
  EXPECT_FALSE(a == b);
}

}  // namespace
}  // namespace vexa::packet
