// Call-area regions with their labels, US states and Canadian provinces.
#include "callinfo/call_areas.h"

#include <gtest/gtest.h>

namespace vexa::callinfo {
namespace {

TEST(RegionOf, UsesTheFirstDigitOrAPortableDigit) {
  EXPECT_EQ(RegionOf("JA7ABC", "JA"), 7);
  EXPECT_EQ(RegionOf("VK3XY", "VK"), 13);
  EXPECT_EQ(RegionOf("W4ABC", "K"), 24);
  EXPECT_EQ(RegionOf("WB4ABC", "K"), 24);    // digit in the third character
  EXPECT_EQ(RegionOf("KB1ABC/7", "K"), 27);  // portable digit wins
  EXPECT_EQ(RegionOf("VE3ABC", "VE"), 33);
  EXPECT_EQ(RegionOf("VO1AA", "VE"), 40);
  EXPECT_EQ(RegionOf("vo2aa", "VE"), 41);
  EXPECT_EQ(RegionOf("VY1AA", "VE"), 42);
  EXPECT_EQ(RegionOf("VY2AA", "VE"), 43);
  EXPECT_EQ(RegionOf("VY9AA", "VE"), 43);   // capped at 43
  EXPECT_EQ(RegionOf("KAAAAA1", "K"), 20);  // no digit among characters 2..4
  EXPECT_EQ(RegionOf("W1", "K"), -1);       // too short
  EXPECT_EQ(RegionOf("DL1ABC", "DL"), -1);
}

TEST(RegionLabel, PrintsTheCallArea) {
  EXPECT_EQ(RegionLabel(7, "JA"), "JA7");
  EXPECT_EQ(RegionLabel(13, "VK"), "VK3");
  EXPECT_EQ(RegionLabel(24, "K"), "K4");
  EXPECT_EQ(RegionLabel(33, "VE"), "VE3");
  EXPECT_EQ(RegionLabel(40, "VE"), "VO1");
  EXPECT_EQ(RegionLabel(41, "VE"), "VO2");
  EXPECT_EQ(RegionLabel(42, "VE"), "VY1");
  EXPECT_EQ(RegionLabel(43, "VE"), "VY2");
}

TEST(StateIndex, FindsTheFortyEightStates) {
  EXPECT_EQ(StateIndex("AL"), 0);
  EXPECT_EQ(StateIndex("ca"), 3);
  EXPECT_EQ(StateIndex("WY"), 47);
  EXPECT_EQ(StateIndex("HI"), -1);
  EXPECT_EQ(StateIndex("AK"), -1);
  EXPECT_EQ(StateIndex(""), -1);
  for (int i = 0; i < kStateNames; ++i) EXPECT_EQ(StateIndex(StateName(i)), i);
  EXPECT_STREQ(StateName(48), "");
}

TEST(ProvinceIndex, AcceptsEverySpelling) {
  struct Case {
    const char* text;
    int index;
  };
  for (const Case& c :
       {Case{"VE1", 0}, Case{"ns", 0}, Case{"PQ", 1}, Case{"QU", 1}, Case{"ONT", 2}, Case{"MAN", 3},
        Case{"SAS", 4}, Case{"ALT", 5}, Case{"BC", 6}, Case{"NW", 7}, Case{"NB", 8}, Case{"VO1", 9},
        Case{"LB", 10}, Case{"YT", 11}, Case{"PE", 12}, Case{"QC", -1}, Case{"", -1}}) {
    EXPECT_EQ(ProvinceIndex(c.text), c.index) << c.text;
  }
  EXPECT_STREQ(ProvinceName(9), "NF");
  EXPECT_STREQ(ProvinceName(12), "PEI");
  EXPECT_STREQ(ProvinceName(13), "");
}

}  // namespace
}  // namespace vexa::callinfo
