// The multiplier tally with its contest cases, WPX prefixes, the worked-countries file, the
// statistics text and the "DXCC INFO" text.
#include "callinfo/multiplier_tally.h"

#include <gtest/gtest.h>

#include "support/test_paths.h"

namespace vexa::callinfo {
namespace {

TEST(WpxPrefix, FollowsThePrefixRules) {
  EXPECT_EQ(WpxPrefix("DL1ABC"), "DL1");
  EXPECT_EQ(WpxPrefix("3DA0XY"), "3DA0");
  EXPECT_EQ(WpxPrefix("W1AW/4"), "W4");
  EXPECT_EQ(WpxPrefix("DL/W1AW"), "DL0");
  EXPECT_EQ(WpxPrefix("RAEM"), "RA0");
  EXPECT_EQ(WpxPrefix("W1AW/P"), "W1");
  EXPECT_EQ(WpxPrefix("WB10AB"), "WB10");
  EXPECT_EQ(WpxPrefix("W1AW/VE3"), "VE3");
  EXPECT_EQ(WpxPrefix(""), "");
}

// Three entries: a K entry with a zone override, a VE entry and Germany.
const char* const kCty =
    "United States:  05:  08:  NA:  37.60:  91.87:  5.0:  K:\n"
    "    K,W,N,K6(3)[6];\n"
    "Canada:  05:  09:  NA:  44.35:  78.75:  5.0:  VE:\n"
    "    VE,VA,VO,VY;\n"
    "Fed. Rep. of Germany:  14:  28:  EU:  51.00:  -10.00:  -1.0:  DL:\n"
    "    DA,DL;\n";

class TallyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(table.LoadText(kCty), kCountryOk);
    tally.Reset(table.size());
  }
  CountryTable table;
  MultiplierTally tally;
};

TEST_F(TallyTest, FlagsNewItemsOncePerBandAndMode) {
  TallyResult r = tally.TallyContact(table, "K6ABC", 14080000, "RTTY", "");
  EXPECT_EQ(r.flags, kNewCountry | kNewItuZone | kNewCqZone | kNewRegion | kNewContinent);
  EXPECT_EQ(r.texts[0], "K");
  EXPECT_EQ(r.texts[1], "6");
  EXPECT_EQ(r.texts[2], " 3");
  EXPECT_EQ(r.texts[3], "K6");
  EXPECT_EQ(r.texts[5], "NA");
  EXPECT_EQ(tally.countries[0][4], 4u);
  EXPECT_EQ(tally.countries[0][kTotalWord], 4u);
  EXPECT_EQ(tally.countriesEver(), 1);
  // Same everything again: nothing new. Another mode on the band: all new again.
  EXPECT_EQ(tally.TallyContact(table, "K6XYZ", 14085000, "RTTY", "").flags, 0u);
  EXPECT_EQ(tally.TallyContact(table, "K6XYZ", 14085000, "CW  ", "").flags,
            unsigned{kNewCountry | kNewItuZone | kNewCqZone | kNewRegion | kNewContinent});
  EXPECT_EQ(tally.countriesEver(), 1);
  // Outside a band, with an unknown country or a mode without a bit: nothing counts.
  EXPECT_EQ(tally.TallyContact(table, "K6ABC", 5000000, "RTTY", "").flags, 0u);
  EXPECT_EQ(tally.TallyContact(table, "ZZ1ZZ", 14080000, "RTTY", "").flags, 0u);
  EXPECT_EQ(tally.TallyContact(table, "DL1ABC", 14080000, "PACT", "").flags, 0u);
  EXPECT_EQ(tally.countries[2][kTotalWord], 0u);
}

TEST_F(TallyTest, ExchangeGivesZoneAndState) {
  const TallyContest arrl{"ARRL RTTY Roundup Contest", -1};
  TallyResult r = tally.TallyContact(table, "W1AW", 7080000, "PSK ", "CT", arrl);
  // Counted by state and region, not as a country; band 1 and RTTY for every contact.
  EXPECT_EQ(r.flags & kNewCountry, 0u);
  EXPECT_NE(r.flags & kNewStateOrProvince, 0u);
  EXPECT_EQ(r.texts[4], "CT");
  EXPECT_EQ(tally.states[5][1], 4u);
  EXPECT_EQ(tally.countries[0][kTotalWord], 0u);
  r = tally.TallyContact(table, "VE3ABC", 14080000, "RTTY", "ON", arrl);
  EXPECT_EQ(r.texts[4], "VE3");
  EXPECT_EQ(tally.provinces[2][1], 4u);
  // DL counts as a country in the same contest.
  r = tally.TallyContact(table, "DL1ABC", 14080000, "RTTY", "001", arrl);
  EXPECT_NE(r.flags & kNewCountry, 0u);
  EXPECT_EQ(tally.countries[2][1], 4u);

  // CQ WW: the received zone replaces the looked-up one; "zone-state" splits at the dash.
  MultiplierTally t2;
  t2.Reset(table.size());
  r = t2.TallyContact(table, "W1AW", 14080000, "CW  ", "04", {"CQ WW DX CW", -1});
  EXPECT_EQ(r.texts[2], " 4");
  EXPECT_EQ(t2.cqZones[3][4], 1u);
  EXPECT_EQ(t2.cqZones[4][4], 0u);
  r = t2.TallyContact(table, "K1ABC", 14080000, "SSB ", "05-MA", {"Some QSO Party", -1});
  EXPECT_EQ(r.texts[4], "MA");
  EXPECT_EQ(t2.cqZones[4][4], 2u);
  r = t2.TallyContact(table, "K1ABD", 14080000, "SSB ", "99", {"CQ WW DX SSB", -1});
  EXPECT_EQ(t2.cqZones[4][4], 2u);  // 99 is no zone: the looked-up zone 5 counts
}

TEST_F(TallyTest, ContestSpecialCases) {
  // JARTS: K, VE, JA and VK count by area, not as countries.
  TallyResult r = tally.TallyContact(table, "W1AW", 14080000, "RTTY", "", {"JARTS RTTY", -1});
  EXPECT_EQ(r.flags & kNewCountry, 0u);
  EXPECT_NE(r.flags & kNewRegion, 0u);
  // BARTG SPRING RTTY counts continents on band 0 only.
  MultiplierTally t2;
  t2.Reset(table.size());
  t2.TallyContact(table, "DL1ABC", 14080000, "RTTY", "", {"BARTG SPRING RTTY", -1});
  EXPECT_EQ(t2.continents[0][0], 4u);
  EXPECT_EQ(t2.continents[0][4], 0u);
  EXPECT_EQ(t2.countries[2][4], 4u);
  // BARTG RTTY Sprint puts every contact on band 1.
  t2.TallyContact(table, "W1AW", 14080000, "RTTY", "", {"BARTG RTTY Sprint", -1});
  EXPECT_EQ(t2.countries[0][1], 4u);
  // WPX RTTY: prefixes on the single band only, even for unknown countries.
  MultiplierTally t3;
  t3.Reset(table.size());
  r = t3.TallyContact(table, "ZZ1ZZ", 14080000, "RTTY", "", {"WPX RTTY", 4});
  EXPECT_EQ(r.flags, unsigned{kNewPrefix});
  EXPECT_EQ(r.texts[6], "ZZ1");
  EXPECT_EQ(t3.TallyContact(table, "ZZ1AB", 14080000, "RTTY", "", {"WPX RTTY", 4}).flags, 0u);
  EXPECT_EQ(t3.TallyContact(table, "ZZ2AB", 7080000, "RTTY", "", {"WPX RTTY", 4}).flags, 0u);
  EXPECT_EQ(t3.prefixes, (std::vector<std::string>{"ZZ1"}));
}

TEST_F(TallyTest, WorkedFileRoundTripsAndSurvivesUnknownPrefixes) {
  tally.TallyContact(table, "W1AW", 14080000, "RTTY", "");
  tally.TallyContact(table, "W1AW", 7030000, "CW  ", "");
  tally.TallyContact(table, "DL1ABC", 28080000, "PSK ", "");
  test::TempDir dir;
  ASSERT_EQ(tally.SaveWorkedFile(dir.File(kWorkedFileName), table), 0);
  EXPECT_EQ(test::ReadFileBytes(dir.File(kWorkedFileName)),
            "K 0 0 1 0 4 0 0 0 0\nDL 0 0 0 0 0 0 0 0 10\n");

  MultiplierTally back;
  back.Reset(table.size());
  EXPECT_EQ(back.LoadWorkedFile(dir.File(kWorkedFileName), table), 2);
  EXPECT_TRUE(back.loaded());
  EXPECT_EQ(back.countries, tally.countries);
  EXPECT_EQ(back.cqZones[4][kTotalWord], 5u);  // zone 5 from the K header
  EXPECT_EQ(back.ituZones[27][8], 16u);        // ITU 28, 10 m, PSK

  // A prefix the table does not know, and lines out of order, cost nothing else.
  MultiplierTally odd;
  odd.Reset(table.size());
  EXPECT_EQ(odd.LoadWorkedText("XX 1 1 1\nDL 0 0 0 0 0 0 0 0 10\nK 0 0 1 zz 4\nnoblank\n", table),
            2);
  EXPECT_EQ(odd.countries[2][8], 16u);
  EXPECT_EQ(odd.countries[0][2], 1u);
  EXPECT_EQ(odd.countries[0][4], 0u);  // reading stops at the first word that is not hex

  MultiplierTally none;
  none.Reset(table.size());
  EXPECT_EQ(none.LoadWorkedFile(dir.File("missing.dat"), table), 0);
  EXPECT_TRUE(none.loaded());
}

TEST_F(TallyTest, StatisticsTextCountsPerBandAndInTotal) {
  tally.TallyContact(table, "W1AW", 14080000, "RTTY", "");
  tally.TallyContact(table, "DL1ABC", 14030000, "CW  ", "");
  tally.TallyContact(table, "VE3ABC", 7030000, "CW  ", "");
  const std::string s = StatisticsText(tally, 3);
  std::string expected = "\r\nBand\ttotal\tcw\tssb\trtty\tpsk31\tsstv\twaz\titu\twas\r\n";
  expected += "  1.8:\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\r\n";
  expected += "  3.5:\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\r\n";
  expected += "  7.0:\t  1\t  1\t  0\t  0\t  0\t  0\t  1\t  1\t  0\r\n";
  expected += " 10.1:\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\r\n";
  expected += " 14.0:\t  2\t  1\t  0\t  1\t  0\t  0\t  2\t  2\t  0\r\n";
  expected += " 18.1:\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\r\n";
  expected += " 21.0:\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\r\n";
  expected += " 24.9:\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\r\n";
  expected += " 28.0:\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\t  0\r\n";
  expected += "TOTAL:\t  3\t  2\t  0\t  1\t  0\t  0\t  2\t  3\t  0\r\n";
  expected += "\r\nQSOs total: 3\r\n";
  EXPECT_EQ(s, expected);
  EXPECT_EQ(StatisticsText(tally, -1).find("QSOs total"), std::string::npos);
}

TEST_F(TallyTest, DxccInfoShowsEveryCountryMatchingAtTheSameLength) {
  CountryTable two;
  ASSERT_EQ(two.LoadText("One:  1:  2:  EU:  0:  0:  0:  O1:\n    XA,XB(7);\n"
                         "Two:  3:  4:  AS:  0:  -90:  0:  T2:\n    XB[9],XC;\n"),
            kCountryOk);
  MultiplierTally t;
  t.Reset(two.size());
  t.LoadWorkedText("O1 0 0 0 0 5\n", two);
  const auto texts = DxccInfoTexts(two, &t, "xb1abc", 0, 0);
  ASSERT_EQ(texts.size(), 2u);
  std::string one = "XB1ABC:\r\nOne (O1)\r\nEU\r\nWAZ 7\r\nITU 2\r\n";
  one += " Deg   0.00 km (0.00 miles)\r\n Deg   40003 km (24883 miles)(LP)";
  one += "\r\n\r\nBand:\t cw/ssb/rtty/sstv/psk\r\n";
  one += "  1.8:\t  0/  0/   0/   0/   0\r\n  3.5:\t  0/  0/   0/   0/   0\r\n";
  one += "  7.0:\t  0/  0/   0/   0/   0\r\n 10.1:\t  0/  0/   0/   0/   0\r\n";
  one += " 14.0:\t  1/  0/   1/   0/   0\r\n 18.1:\t  0/  0/   0/   0/   0\r\n";
  one += " 21.0:\t  0/  0/   0/   0/   0\r\n 24.9:\t  0/  0/   0/   0/   0\r\n";
  one += " 28.0:\t  0/  0/   0/   0/   0\r\n";
  EXPECT_EQ(texts[0], one);
  EXPECT_EQ(texts[1].substr(0, texts[1].find("\r\n90 Deg")),
            "XB1ABC:\r\nTwo (T2)\r\nAS\r\nWAZ 3\r\nITU 9");
  EXPECT_EQ(DxccInfoTexts(two, nullptr, "QQ", 0, 0).size(), 0u);
  // Without loaded tables there is no band part.
  EXPECT_EQ(DxccInfoTexts(two, nullptr, "XC", 0, 0)[0].find("Band:"), std::string::npos);
}

}  // namespace
}  // namespace vexa::callinfo
