// Points per QSO, the bands of each score table and the call keys of the worked table.
#include "contest/contest_score.h"

#include <gtest/gtest.h>

#include "contest/contest_catalogue.h"
#include "contest_test_support.h"

namespace vexa::contest {
namespace {

class ScoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(table.LoadText(test::kTestCty), callinfo::kCountryOk); }
  int Points(int contest, const char* mine, const char* other, int band = 4, int single = -1,
             bool cw = false) {
    return QsoPoints(contest, ScoreStationOf(table, mine), ScoreStationOf(table, other), other,
                     band, single, cw);
  }
  callinfo::CountryTable table;
};

TEST_F(ScoreTest, CqWwDxCountsNorthAmericaTwiceAndEuropeOnce) {
  EXPECT_EQ(Points(kCqWwCw, "W1AW", "VE3AA"), 2);
  EXPECT_EQ(Points(kCqWwCw, "DL1ABC", "G3XYZ"), 1);
  EXPECT_EQ(Points(kCqWwCw, "DL1ABC", "DL2XX"), 0);
  EXPECT_EQ(Points(kCqWwSsb, "DL1ABC", "JA1ABC"), 3);
}

TEST_F(ScoreTest, FollowsThePointsTableOfEachContest) {
  EXPECT_EQ(Points(kCccc, "DL1ABC", "JA1ABC"), 15);
  EXPECT_EQ(Points(kCccc, "DL1ABC", "G3XYZ"), 10);
  EXPECT_EQ(Points(kCccc, "DL1ABC", "DL2XX"), 5);
  EXPECT_EQ(Points(kCccc, "W1AW", "W2XYZ"), 10);  // own call with a region, the other's differs
  EXPECT_EQ(Points(kCccc, "W1AW", "K1AR"), 5);
  EXPECT_EQ(Points(kCqWwRtty, "DL1ABC", "DL2XX"), 1);
  EXPECT_EQ(Points(kJarts, "DL1ABC", "G3XYZ"), 2);
  EXPECT_EQ(Points(kJarts, "DL1ABC", "ZS1AB"), 3);
  EXPECT_EQ(Points(kArrl10, "DL1ABC", "K1AR", 8, -1, true), 4);
  EXPECT_EQ(Points(kArrl10, "DL1ABC", "K1AR/N", 8, -1, true), 8);
  EXPECT_EQ(Points(kArrl10, "DL1ABC", "K1AR/T", 8, -1, true), 8);
  EXPECT_EQ(Points(kArrl10, "DL1ABC", "K1AR", 8, -1, false), 2);
  EXPECT_EQ(Points(kWpxRtty, "DL1ABC", "JA1ABC", 1), 6);  // 80 m doubles
  EXPECT_EQ(Points(kWpxRtty, "DL1ABC", "JA1ABC", 6), 3);
  EXPECT_EQ(Points(kWpxRtty, "DL1ABC", "JA1ABC", 6, 4), 0);  // off the single band
  EXPECT_EQ(Points(kArrlCw, "DL1ABC", "K1AR"), 0);
  EXPECT_EQ(Points(kUkrainian, "DL1ABC", "K1AR"), 2);
  for (int c : {kTara, kBartgSprint, kWae, kArrlRoundup, kBartgSpring})
    EXPECT_EQ(Points(c, "DL1ABC", "DL2XX"), 1) << c;
}

TEST(ScoreBands, LeaveOutTheWarcBandsAndPerContestBands) {
  auto bands = [](int c) {
    std::string s;
    for (int b = 0; b < 9; ++b) s += ScoreUsesBand(c, b) ? char('0' + b) : '.';
    return s;
  };
  EXPECT_EQ(bands(kCqWwSsb), "012.4.6.8");
  EXPECT_EQ(bands(kCqWwRtty), ".12.4.6.8");
  EXPECT_EQ(bands(kWpxRtty), ".12.4.6.8");
  EXPECT_EQ(bands(kUkrainian), "01.......");
  EXPECT_EQ(bands(kArrl10), "........8");
  EXPECT_EQ(bands(kBartgSpring), "012.4.6.8");
}

TEST(CallKey, UnpacksToTheCall) {
  for (const char* c : {"W1AW", "DL/W1AW/P", "3DA0XY", "A", "VERYLONGCALL"})
    EXPECT_EQ(CallOfKey(log::CallKey(c)), c);
  EXPECT_EQ(CallOfKey(log::CallKey("w1aw")), "W1AW");
}

TEST(ContestScoreText, ArrlCwAndUnknownContestsHaveNoTable) {
  callinfo::CountryTable table;
  callinfo::MultiplierTally tally;
  log::WorkedTable worked;
  EXPECT_EQ(ContestScoreText(kArrlCw, -1, worked, tally, table, "W1AW"), "");
  EXPECT_EQ(ContestScoreText(-1, -1, worked, tally, table, "W1AW"), "");
  EXPECT_EQ(ContestScoreText(99, -1, worked, tally, table, "W1AW"), "");
  EXPECT_EQ(ContestScoreText(kWae, -1, worked, tally, table, "W1AW"),
            "\t QSOs\tPoints\tMults with Bonus\r\n 80\t    0\t    0\t    0\r\n"
            " 40\t    0\t    0\t    0\r\n 20\t    0\t    0\t    0\r\n 15\t    0\t    0\t    0\r\n"
            " 10\t    0\t    0\t    0\r\nTotal: ...to be calculated manually\r\n");
}

}  // namespace
}  // namespace vexa::contest
