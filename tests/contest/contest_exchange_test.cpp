// The contest exchange questions, through the QSO entry's stamp and save where the rule is about
// what reaches the log.
#include "contest/contest_exchange.h"

#include <gtest/gtest.h>

#include "contest/contest_catalogue.h"
#include "contest_test_support.h"
#include "log/log_file.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"

namespace vexa::contest {
namespace {

// 26 Sep 2000 00:10:00 UTC.
constexpr int64_t kNow = 969927000;

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(table.LoadText(test::kTestCty), callinfo::kCountryOk); }

  // An entry in `contest` for the operator `myCall`, its exchange asked by ContestExchange.
  std::unique_ptr<log::QsoEntry> Entry(const std::string& contestName, const std::string& myCall) {
    exchange = std::make_unique<ContestExchange>(prompt, table, OwnStation{myCall, "Hans"},
                                                 [] { return kNow; });
    auto e =
        std::make_unique<log::QsoEntry>(dir.File(log::kLogFileName), prompt, [] { return kNow; });
    e->contest.name = contestName;
    e->contest.serialNumbers = ContestKind(contestName, exchange->ownPrefix()) == 1;
    e->askExchange = [this](log::QsoEntry& q) { exchange->Stamp(q); };
    e->frequencyText = "14.085.000";
    e->mode = Mode::Rtty;
    return e;
  }

  vexa::test::TempDir dir;
  callinfo::CountryTable table;
  vexa::test::ScriptPrompt prompt;
  std::unique_ptr<ContestExchange> exchange;
};

TEST_F(ExchangeTest, CqWwRttyPadsTheZoneAndAddsTheStateOfAUsStation) {
  auto e = Entry("CQ WW RTTY", "DL1ABC");
  e->call = "K1AR";
  e->zone = "5";
  prompt.answers = {"5", "MA"};
  EXPECT_EQ(exchange->AskReceivedExchange(*e), "05-MA");
  EXPECT_NE(prompt.asked.find("CQ WW RTTY: Zone: [05]"), std::string::npos) << prompt.asked;
  EXPECT_NE(prompt.asked.find("CQ WW RTTY: US State/VE Province: []"), std::string::npos);

  // A zone above 40 is replaced by the country's zone; a DX station gives no state.
  auto g = Entry("CQ WW RTTY", "DL1ABC");
  g->call = "JA1ABC";
  g->zone = "55";
  prompt.asked.clear();
  prompt.answers = {"25"};
  EXPECT_EQ(exchange->AskReceivedExchange(*g), "25");
  EXPECT_NE(prompt.asked.find("Zone: [25]"), std::string::npos) << prompt.asked;
  EXPECT_EQ(prompt.asked.find("US State"), std::string::npos);
}

TEST_F(ExchangeTest, CqWwRttyOwnExchangeIsTheZoneAndForUsStationsTheState) {
  auto e = Entry("CQ WW RTTY", "W1AW");
  prompt.answers = {"CT", "05-CT"};
  EXPECT_EQ(exchange->AskOwnExchange(*e), "05-CT");
  EXPECT_NE(prompt.asked.find("Input your State or Province Abbreviation"), std::string::npos);
  EXPECT_NE(prompt.asked.find("My Exchange: [05-CT]"), std::string::npos) << prompt.asked;
  // Already set: nothing more is asked.
  prompt.asked.clear();
  EXPECT_EQ(exchange->AskOwnExchange(*e), "05-CT");
  EXPECT_TRUE(prompt.asked.empty());
}

TEST_F(ExchangeTest, ArrlTenDxStationCountsSerialNumbers) {
  auto e = Entry("ARRL 10 METERS", "DL1ABC");
  EXPECT_TRUE(e->contest.serialNumbers);
  e->call = "K1AR";
  e->frequencyText = "28.085.000";
  e->Type("K1AR");
  prompt.answers = {"001", "MA"};
  ASSERT_EQ(e->SaveQso(), log::kSaveOk);
  EXPECT_NE(prompt.asked.find("ARRL 10 METERS: My Number: [001]"), std::string::npos);
  EXPECT_NE(prompt.asked.find("ARRL 10 METERS: US State/VE Province: []"), std::string::npos);
  EXPECT_NE(vexa::test::ReadFileBytes(dir.File(log::kLogFileName)).find("001&MA"),
            std::string::npos);
  EXPECT_EQ(e->ownNumber, "002");
}

TEST_F(ExchangeTest, ArrlTenUsStationSendsItsStateAndKeepsItsNumber) {
  auto e = Entry("ARRL 10 METERS", "W1AW");
  EXPECT_FALSE(e->contest.serialNumbers);
  e->call = "DL2XX";
  e->frequencyText = "28.085.000";
  e->Type("DL2XX");
  prompt.answers = {"CT", "005"};
  ASSERT_EQ(e->SaveQso(), log::kSaveOk);
  EXPECT_NE(prompt.asked.find("Input your State or Province Abbreviation"), std::string::npos);
  EXPECT_NE(prompt.asked.find("Exchange received:"), std::string::npos);
  EXPECT_EQ(prompt.asked.find("My Number:"), std::string::npos);
  EXPECT_NE(vexa::test::ReadFileBytes(dir.File(log::kLogFileName)).find("CT&005"),
            std::string::npos);
  EXPECT_EQ(e->ownNumber, "");
}

TEST_F(ExchangeTest, JartsAsksTheAgeOncePerQsoAndNeverASerialNumber) {
  auto e = Entry("JARTS RTTY", "DL1ABC");
  e->call = "JA1ABC";
  prompt.answers = {"52", "30"};
  exchange->Stamp(*e);
  exchange->Stamp(*e);
  EXPECT_EQ(e->ownExchange, "52");
  EXPECT_EQ(e->receivedExchange, "30");
  const std::string q = "JARTS RTTY: Input your AGE for Contest";
  const size_t first = prompt.asked.find(q);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(prompt.asked.find(q, first + 1), std::string::npos);
  EXPECT_EQ(prompt.asked.find("My Number:"), std::string::npos);
}

TEST_F(ExchangeTest, ASecondWordOnTheEntryLineIsOfferedAsTheExchange) {
  auto e = Entry("WPX RTTY", "DL1ABC");
  e->Type("earlier line\r\nK1AR 123 more");
  prompt.answers = {"123"};
  EXPECT_EQ(exchange->AskReceivedExchange(*e), "123");
  EXPECT_NE(prompt.asked.find("WPX RTTY: Exchange: [123]"), std::string::npos);
  EXPECT_EQ(SecondWordOfCurrentLine("K1AR"), "");
  EXPECT_EQ(SecondWordOfCurrentLine("  K1AR\t 5  \r\n"), "5");
  EXPECT_EQ(SecondWordOfCurrentLine(""), "");
}

TEST_F(ExchangeTest, CancelLeavesTheExchangeEmpty) {
  auto e = Entry("TARA Rumble PSK31 2000", "DL1ABC");
  e->call = "K1AR";
  prompt.answers = {"Hans"};  // then Cancel at the prefix question
  EXPECT_EQ(exchange->AskOwnExchange(*e), "");
  EXPECT_NE(prompt.asked.find("Input your NAME to use in the contest [Hans]"), std::string::npos);
  EXPECT_NE(prompt.asked.find("Input your Country Prefix [DL]"), std::string::npos);
  prompt.answers = {"Bob", "MA"};
  EXPECT_EQ(exchange->AskReceivedExchange(*e), "Bob-MA");
}

TEST_F(ExchangeTest, BartgSpringSendsNumberAndQsoTime) {
  auto e = Entry("BARTG SPRING RTTY", "G4ABC");
  e->call = "DL1ABC";
  prompt.answers = {"001", "017-0009"};
  exchange->Stamp(*e);
  EXPECT_EQ(e->ownExchange, "001-0010");
  EXPECT_NE(prompt.asked.find("Exchange received: [001-0010]"), std::string::npos);
  EXPECT_EQ(e->receivedExchange, "017-0009");
}

TEST(ContestReports, SprintAndUkrainianDefaultTo599) {
  EXPECT_EQ(ContestExchange::DefaultReceivedReport("BARTG RTTY Sprint", Mode::Cw), "599");
  EXPECT_EQ(ContestExchange::DefaultReceivedReport("Ukrainian Open RTTY", Mode::Ssb1), "599");
  EXPECT_EQ(ContestExchange::DefaultReceivedReport("CQ WW DX SSB", Mode::Ssb1), "59");
}

}  // namespace
}  // namespace vexa::contest
