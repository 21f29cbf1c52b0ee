// The marks and the filter of the spot window, against the real country file and a small log.
#include "app/spot_marks.h"

#include <gtest/gtest.h>

#include "log/band_table.h"
#include "support/test_paths.h"

namespace vexa::app {
namespace {

spots::SpotRecord Spot(const char* dx, int32_t hz, const char* comment = "") {
  spots::SpotRecord r;
  r.spotter = "K7GS";
  r.dxCall = dx;
  r.frequency = hz;
  r.time = {21, 41};
  r.comment = comment;
  return r;
}

TEST(SpotMarks, TheModeComesFromTheRemarkElseFromTheSegment) {
  EXPECT_EQ(SpotSegment(Spot("A1A", 14004000)), log::kSegmentCw);
  EXPECT_EQ(SpotSegment(Spot("A1A", 14080000)), log::kSegmentDigital);  // the log's segments
  EXPECT_EQ(SpotSegment(Spot("A1A", 14250000)), log::kSegmentPhone);
  EXPECT_EQ(SpotSegment(Spot("A1A", 14250000, "tnx ft8 -13")), log::kSegmentDigital);
  EXPECT_EQ(SpotSegment(Spot("A1A", 14074000, "  CW    24 dB  22 WPM")), log::kSegmentCw);
  EXPECT_EQ(SpotSegment(Spot("A1A", 14004000, "CWX up 5")), log::kSegmentCw);  // no mode word
  EXPECT_EQ(SpotSegment(Spot("A1A", 50313000)), -1);
  SpotFilter f;
  EXPECT_TRUE(f.Passes(Spot("A1A", 50313000)));
  f.band = 4;  // 20 m
  EXPECT_TRUE(f.Passes(Spot("A1A", 14004000)));
  EXPECT_FALSE(f.Passes(Spot("A1A", 7004000)));
  f.segment = log::kSegmentPhone;
  EXPECT_FALSE(f.Passes(Spot("A1A", 14004000)));
  EXPECT_TRUE(f.Passes(Spot("A1A", 14004000, "USB")));
}

TEST(SpotMarks, MarksFollowTheWorkedTables) {
  VEXA_REQUIRE_TESTDATA("cty/cty.dat");
  callinfo::CountryTable countries;
  ASSERT_EQ(countries.LoadCountryFile(test::TestDataPath("cty/cty.dat")), callinfo::kCountryOk);
  callinfo::MultiplierTally tally;
  tally.Reset(countries.size());
  log::WorkedTable worked;
  // One contact in the log: DL1ABC on 20 m CW.
  (void)tally.TallyContact(countries, "DL1ABC", 14020000, "CW  ", "");
  worked.AddWorked("DL1ABC", log::BandOf(14020000), 0);
  const SpotMarkTables t{&countries, &tally, &worked};
  EXPECT_EQ(MarkSpot(Spot("DL1ABC", 14025000), t), SpotMark::WorkedOnBand);
  EXPECT_EQ(MarkSpot(Spot("DK2XY", 14025000), t), SpotMark::Worked);
  EXPECT_EQ(MarkSpot(Spot("DL1ABC", 7025000), t), SpotMark::NewBandCountry);
  EXPECT_EQ(MarkSpot(Spot("F5IN", 14025000), t), SpotMark::NewCountry);
  EXPECT_EQ(MarkSpot(Spot("F5IN", 14025000), SpotMarkTables{}), SpotMark::Unknown);

  // The list keeps the ring's numbers when the filter drops lines.
  const std::vector<std::string> lines = {
      Spot("F5IN", 7010000).formatSpotLine(), Spot("DL1ABC", 14025000).formatSpotLine(),
      "not a spot line", Spot("DK2XY", 14030000).formatSpotLine()};
  SpotFilter twenty;
  twenty.band = 4;
  const auto list = BuildSpotList(lines, t, twenty);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].number, 2);
  EXPECT_EQ(list[0].record.dxCall, "DL1ABC");
  EXPECT_EQ(list[0].mark, SpotMark::WorkedOnBand);
  EXPECT_EQ(list[1].number, 4);
  EXPECT_EQ(list[1].mark, SpotMark::Worked);
  EXPECT_EQ(list[1].line, lines[3]);
}

}  // namespace
}  // namespace vexa::app
