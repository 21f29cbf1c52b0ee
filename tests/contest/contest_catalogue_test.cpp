// The contest catalogue: names and order, periods, categories, the single-band rule and the
// exchange kinds.
#include "contest/contest_catalogue.h"

#include <gtest/gtest.h>

namespace vexa::contest {
namespace {

TEST(ContestCatalogue, HoldsTheFourteenContestsInDialogOrder) {
  const char* const names[] = {"CCCC PSK31",
                               "CQ WW RTTY",
                               "TARA Rumble PSK31 2000",
                               "BARTG RTTY Sprint",
                               "JARTS RTTY",
                               "CQ WW DX SSB",
                               "CQ WW DX CW",
                               "WAE RTTY",
                               "ARRL 10 METERS",
                               "ARRL RTTY Roundup Contest",
                               "WPX RTTY",
                               "ARRL CW",
                               "Ukrainian Open RTTY",
                               "BARTG SPRING RTTY"};
  ASSERT_EQ(Contests().size(), 14u);
  for (int i = 0; i < 14; ++i) {
    EXPECT_STREQ(Contests()[static_cast<size_t>(i)].name, names[i]);
    EXPECT_EQ(ContestNumberOf(names[i]), i);
  }
  EXPECT_EQ(ContestNumberOf(""), -1);
  EXPECT_EQ(ContestNumberOf("cq ww rtty"), -1);  // names are exact
}

TEST(ContestCatalogue, GivesDefaultPeriodsAndTheFallbackForUnknownContests) {
  EXPECT_EQ(DefaultPeriod("BARTG RTTY Sprint").start, "9/Nov/2000 12:00:01");
  EXPECT_EQ(DefaultPeriod("BARTG RTTY Sprint").end, "10/Nov/2000 11:59:59");
  EXPECT_EQ(DefaultPeriod("ARRL RTTY Roundup Contest").start, "08/Jan/2000 18:00:01");
  EXPECT_EQ(DefaultPeriod("BARTG SPRING RTTY").end, "20/Mar/2000 02:00:00");
  EXPECT_EQ(DefaultPeriod("Field Day").start, "04/Sep/2000 00:00:01");
  EXPECT_EQ(DefaultPeriod("Field Day").end, "04/Sep/2000 23:59:59");
}

TEST(ContestCatalogue, ListsCategoriesInOrder) {
  const auto& cqww = Categories("CQ WW DX SSB");
  ASSERT_EQ(cqww.size(), 31u);
  EXPECT_EQ(cqww[0], "Single Operator High - All Band");
  EXPECT_EQ(cqww[15], "Single Operator QRPp - 160m");
  EXPECT_EQ(cqww[27], "Single Operator Assisted - 10m");
  EXPECT_EQ(cqww[30], "Team");
  EXPECT_EQ(Categories("CQ WW DX CW"), cqww);
  ASSERT_EQ(Categories("WPX RTTY").size(), 10u);
  EXPECT_EQ(Categories("ARRL CW"), Categories("WPX RTTY"));
  EXPECT_EQ(Categories("CQ WW RTTY")[7], "Milti Op All Band High Power");
  EXPECT_EQ(Categories("ARRL 10 METERS").size(), 13u);
  EXPECT_EQ(Categories("BARTG SPRING RTTY").size(), 9u);
  EXPECT_TRUE(Categories("nothing").empty());
}

TEST(ContestCatalogue, FindsTheSingleBandOfACategory) {
  EXPECT_EQ(SingleBandOfCategory("B10: Single Op / 10m"), 8);
  EXPECT_EQ(SingleBandOfCategory("Single Op 15m"), 6);
  EXPECT_EQ(SingleBandOfCategory("Single Op, Single Band, 20m"), 4);
  EXPECT_EQ(SingleBandOfCategory("Single Op 40m"), 2);
  EXPECT_EQ(SingleBandOfCategory("C: Single Op, 80m"), 1);
  EXPECT_EQ(SingleBandOfCategory("Single Operator Low - 160m"), 0);
  EXPECT_EQ(SingleBandOfCategory("Single Operator High - All Band"), -1);
  // Power limits are no bands.
  EXPECT_EQ(SingleBandOfCategory("Normal Category - 100 watts MAX"), -1);
  EXPECT_EQ(SingleBandOfCategory("Great Category - 20 watts MAX"), -1);
  // Every single-band category of the catalogue names its band.
  for (const ContestDef& c : Contests()) {
    for (const std::string& cat : c.categories) {
      const bool namesBand =
          cat.find("0m") != std::string::npos || cat.find("5m") != std::string::npos;
      EXPECT_EQ(SingleBandOfCategory(cat) >= 0, namesBand) << cat;
    }
  }
}

TEST(ContestKind, TellsSerialNumbersFromOtherExchanges) {
  EXPECT_EQ(ContestKind("", "DL"), 0);
  for (const char* c : {"CQ WW RTTY", "TARA Rumble PSK31 2000", "CQ WW DX SSB", "CQ WW DX CW",
                        "JARTS RTTY", "ARRL CW"})
    EXPECT_EQ(ContestKind(c, "DL"), 2) << c;
  EXPECT_EQ(ContestKind("ARRL 10 METERS", "K"), 2);
  EXPECT_EQ(ContestKind("ARRL RTTY Roundup Contest", "VE"), 2);
  EXPECT_EQ(ContestKind("ARRL 10 METERS", "DL"), 1);
  EXPECT_EQ(ContestKind("ARRL RTTY Roundup Contest", "JA"), 1);
  for (const char* c : {"CCCC PSK31", "BARTG RTTY Sprint", "WAE RTTY", "WPX RTTY",
                        "Ukrainian Open RTTY", "BARTG SPRING RTTY"})
    EXPECT_EQ(ContestKind(c, "K"), 1) << c;
}

}  // namespace
}  // namespace vexa::contest
