// The chosen contest in the station core: the stamp asks the exchange by the contest's rules,
// the exchange kind decides the serial numbers, and the score and report come from the log.
#include <gtest/gtest.h>

#include "contest_station.h"

namespace vexa::app {
namespace {

using ContestRig = ContestStation;

TEST(ContestWiring, ArrlTenDxStationNumbersItsContactsAndScoresThem) {
  ContestRig r("ARRL 10 METERS", "DL1ABC");
  log::QsoEntry& e = r.core->logbook().entry();
  EXPECT_TRUE(e.contest.serialNumbers);
  e.frequencyText = "28.020.000";
  e.mode = Mode::Cw;
  e.call = "K1AR";
  r.core->logbook().TypeEntry("K1AR");
  r.prompt.answers = {"001", "MA"};
  ASSERT_EQ(r.core->logbook().SaveEntry(), log::kSaveOk);
  EXPECT_NE(test::ReadFileBytes(r.dir.File("log.log")).find("K1AR 599/599 001&MA "),
            std::string::npos)
      << test::ReadFileBytes(r.dir.File("log.log")) << r.prompt.asked;
  EXPECT_EQ(e.ownNumber, "002");
  // One CW contact with a US station: 4 points, one country, one state.
  EXPECT_EQ(r.core->logbook().ContestScore(),
            "\t QSOs\tPoints\tDxcc\tStates/Prov.\r\n"
            " 10\t    1\t    4\t    1\t    1\r\n"
            "Total:\t    1\t    4\t    1\t    1\r\n\r\n"
            "  Claimed Score:\t4*(1+1) = 8 points\r\n");
  ASSERT_EQ(r.core->logbook().CreateContestReport({}), 0);
  EXPECT_FALSE(test::ReadFileBytes(r.dir.File("DL1ABC.sum")).empty());
  ASSERT_EQ(r.core->logbook().ExportCabrillo(), 0);
  EXPECT_NE(test::ReadFileBytes(r.dir.File("DL1ABC.cbr")).find("CONTEST: ARRL-10\r\n"),
            std::string::npos);
}

TEST(ContestWiring, UsStationInArrlTenSendsItsStateWithoutNumbers) {
  ContestRig r("ARRL 10 METERS", "W1AW");
  EXPECT_FALSE(r.core->logbook().entry().contest.serialNumbers);
  ContestRig none("", "W1AW");
  EXPECT_EQ(none.core->logbook().ContestScore(), "");
  EXPECT_FALSE(static_cast<bool>(none.core->logbook().entry().askExchange));
}

}  // namespace
}  // namespace vexa::app
