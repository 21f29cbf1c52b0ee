// Scoring and report files over hand-built contest logs. The expected texts in expected/ were
// derived by hand from the contest rules: which multipliers each line makes new, its points,
// the QSOs and multipliers of each band and the claimed score.
#include "contest/contest_report.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "contest/contest_catalogue.h"
#include "contest/contest_score.h"
#include "contest/qso_rate.h"
#include "contest_test_support.h"
#include "log/log_file.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"

namespace vexa::contest {
namespace {

using test::ExpectedPath;
using vexa::test::ReadFileBytes;

std::string Records(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n\r\n";
  return out;
}

const std::string kCqWwLog = Records({
    "K1AR 26/Sep/2000 00:10:00z 14.085.000 RTTY 599/599 14&05-MA [CQ WW RTTY]",
    "G3XYZ 26/Sep/2000 00:12:00z 14.086.000 RTTY 599/599 14&14 [CQ WW RTTY]",
    "DL2XX 26/Sep/2000 00:14:00z 14.087.000 RTTY 599/599 14&14 [CQ WW RTTY]",
    "K1AR 26/Sep/2000 00:16:00z 14.085.000 RTTY 599/599 14&05-MA [CQ WW RTTY]",
    "W9ZZZ 26/Sep/2000 00:17:00z 14.085.000 RTTY 599/599 001&002 [WPX RTTY]",
    "XX1 damaged [CQ WW RTTY]",
    "; a remark [CQ WW RTTY]",
    "K1AR 26/Sep/2000 01:00:00z 21.085.000 RTTY 599/599 14&05-MA [CQ WW RTTY]",
    "JA1ABC 26/Sep/2000 01:05:00z 21.086.000 RTTY 599/599 14&25 [CQ WW RTTY]",
    "VE3AA 26/Sep/2000 01:10:00z 14.090.000 RTTY 599/599 14&04-ON [CQ WW RTTY]",
});

const std::string kWpxLog = Records({
    "DL1ABC 12/Feb/2000 00:10:00z 14.085.000 RTTY 599/599 001&001 [WPX RTTY]",
    "DL1ABC 12/Feb/2000 00:20:00z 7.040.000 RTTY 599/599 002&015 [WPX RTTY]",
    "W2XYZ 12/Feb/2000 00:30:00z 14.086.000 RTTY 599/599 003&010 [WPX RTTY]",
    "VE3AA 12/Feb/2000 00:40:00z 3.590.000 RTTY 599/599 004&020 [WPX RTTY]",
    "N5XX/4 12/Feb/2000 00:50:00z 14.087.000 RTTY 599/599 005&030 [WPX RTTY]",
    "W2XYZ 12/Feb/2000 01:00:00z 14.086.000 RTTY 599/599 006&011 [WPX RTTY]",
    "ZL1ABC 12/Feb/2000 01:10:00z 14.088.000 RTTY 599/599 007&100 [WPX RTTY]",
    "W2XYZ 12/Feb/2000 01:20:00z 14.070.000 PSK31 599/599 008&012 [WPX RTTY]",
});

const std::string kRoundupLog = Records({
    "K1AR 08/Jan/2000 18:10:00z 14.085.000 RTTY 599/599 001&MA [ARRL RTTY Roundup Contest]",
    "W2XYZ 08/Jan/2000 18:20:00z 7.040.000 RTTY 599/599 002&NY [ARRL RTTY Roundup Contest]",
    "DL2XX 08/Jan/2000 18:30:00z 14.086.000 RTTY 599/599 003&005 [ARRL RTTY Roundup Contest]",
    "K1AR 08/Jan/2000 18:40:00z 7.041.000 RTTY 599/599 004&MA [ARRL RTTY Roundup Contest]",
    "VE3AA 08/Jan/2000 18:50:00z 14.087.000 RTTY 599/599 005&ON [ARRL RTTY Roundup Contest]",
    "G3XYZ 08/Jan/2000 19:00:00z 14.088.000 RTTY 599/599 006&012 [ARRL RTTY Roundup Contest]",
    "K1AR 08/Jan/2000 19:10:00z 14.085.000 RTTY 599/599 007&MA [ARRL RTTY Roundup Contest]",
});

const std::string kSprintLog = Records({
    "DL1ABC 09/Nov/2000 12:10:00z 14.085.000 RTTY 599/599 001&010 [BARTG RTTY Sprint]",
    "K1AR 09/Nov/2000 12:20:00z 14.086.000 RTTY 599/599 002&100 [BARTG RTTY Sprint]",
    "JA1ABC 09/Nov/2000 12:30:00z 7.040.000 RTTY 599/599 003&050 [BARTG RTTY Sprint]",
    "DL2XX 09/Nov/2000 12:40:00z 3.590.000 RTTY 599/599 004&011 [BARTG RTTY Sprint]",
    "K1AR 09/Nov/2000 12:50:00z 14.086.000 RTTY 599/599 005&101 [BARTG RTTY Sprint]",
    "ZS1AB 09/Nov/2000 13:00:00z 21.085.000 RTTY 599/599 006&020 [BARTG RTTY Sprint]",
});

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(table.LoadText(test::kTestCty), callinfo::kCountryOk); }

  ReportFiles Build(const std::string& log, const std::string& contestName,
                    const std::string& myCall, int singleBand = -1) {
    ReportSetup s;
    s.contest = contestName;
    s.myCall = myCall;
    s.singleBand = singleBand;
    s.category = "Single Op";
    return BuildContestReport(
        log, s, table, prompt, [this](const std::string& p) { progress.push_back(p); }, worked,
        tally);
  }

  callinfo::CountryTable table;
  vexa::test::ScriptPrompt prompt;
  log::WorkedTable worked;
  callinfo::MultiplierTally tally;
  std::vector<std::string> progress;
};

TEST_F(ReportTest, CqWwRttyMatchesTheHandDerivedFiles) {
  const ReportFiles f = Build(kCqWwLog, "CQ WW RTTY", "DL1ABC");
  EXPECT_EQ(f.log, ReadFileBytes(ExpectedPath("cqww_rtty.log")));
  EXPECT_EQ(f.dup, ReadFileBytes(ExpectedPath("cqww_rtty.dup")));
  EXPECT_EQ(f.wpx, ReadFileBytes(ExpectedPath("cqww_rtty.wpx")));
  EXPECT_EQ(f.score, ReadFileBytes(ExpectedPath("cqww_rtty.score")));
  EXPECT_EQ(f.qsos, 7);
  EXPECT_EQ(f.dupes, 1);
  EXPECT_EQ(f.otherRecords, 1);
  EXPECT_EQ(f.notParsed, 1);  // the ';' remark is skipped silently
  EXPECT_EQ(prompt.shown, "Not parsed:\r\nXX1 damaged [CQ WW RTTY]\n");
}

TEST_F(ReportTest, CqWwRttySingleBandClaimsTheBandScore) {
  (void)Build(kCqWwLog, "CQ WW RTTY", "DL1ABC", 4);
  const std::string text = ContestScoreText(kCqWwRtty, 4, worked, tally, table, "DL1ABC");
  const std::string all = ReadFileBytes(ExpectedPath("cqww_rtty.score"));
  // The band lines and the total are those of the all-band score; the claim is the 20 m one:
  // 9 points * (4 countries + 2 states/provinces + 3 zones).
  const std::string head = all.substr(0, all.find("  Claimed"));
  EXPECT_EQ(text, head + "  Claimed    20m   Score:\t9*(4+2+3) = 81 points\r\n");
}

TEST_F(ReportTest, WpxRttyMatchesTheHandDerivedFiles) {
  const ReportFiles f = Build(kWpxLog, "WPX RTTY", "W1AW");
  EXPECT_EQ(f.log, ReadFileBytes(ExpectedPath("wpx_rtty.log")));
  EXPECT_EQ(f.dup, ReadFileBytes(ExpectedPath("wpx_rtty.dup")));
  EXPECT_EQ(f.wpx, ReadFileBytes(ExpectedPath("wpx_rtty.wpx")));
  EXPECT_EQ(f.score, ReadFileBytes(ExpectedPath("wpx_rtty.score")));
}

TEST_F(ReportTest, RoundupMatchesTheHandDerivedFiles) {
  const ReportFiles f = Build(kRoundupLog, "ARRL RTTY Roundup Contest", "DL1ABC");
  EXPECT_EQ(f.log, ReadFileBytes(ExpectedPath("roundup.log")));
  EXPECT_EQ(f.dup, ReadFileBytes(ExpectedPath("roundup.dup")));
  EXPECT_EQ(f.score, ReadFileBytes(ExpectedPath("roundup.score")));
}

TEST_F(ReportTest, BartgSprintMatchesTheHandDerivedFiles) {
  const ReportFiles f = Build(kSprintLog, "BARTG RTTY Sprint", "G4ABC");
  EXPECT_EQ(f.log, ReadFileBytes(ExpectedPath("bartg_sprint.log")));
  EXPECT_EQ(f.dup, ReadFileBytes(ExpectedPath("bartg_sprint.dup")));
  EXPECT_EQ(f.score, ReadFileBytes(ExpectedPath("bartg_sprint.score")));
}

TEST_F(ReportTest, PagesBreakEveryFiftyAndEveryTenthLineIsFollowedByABlankLine) {
  std::vector<std::string> lines;
  for (int i = 0; i < 55; ++i) {
    char rec[128];
    std::snprintf(rec, sizeof rec,
                  "DL%iAB%c 12/Feb/2000 %02i:%02i:00z 14.085.000 RTTY 599/599 "
                  "%03i&001 [WPX RTTY]",
                  i % 10, 'A' + i / 10, i / 60, i % 60, i + 1);
    lines.push_back(rec);
  }
  const ReportFiles f = Build(Records(lines), "WPX RTTY", "W1AW");
  EXPECT_EQ(f.qsos, 55);
  const std::string title = "2000 WPX RTTY Contest  W1AW\n\n\n";
  const size_t second = f.log.find(title, 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(f.log.substr(second - 2, 2), "\n\f");  // after the 50th line
  EXPECT_EQ(f.log.find(title), 0u);
  EXPECT_EQ(f.log.find(title, second + 1), std::string::npos);
  // Blank lines after the 10th..40th, none after the 50th (the form feed takes its place).
  size_t blanks = 0;
  for (size_t p = f.log.find("\n\n RTTY"); p != std::string::npos;
       p = f.log.find("\n\n RTTY", p + 1))
    ++blanks;
  EXPECT_EQ(blanks, 4u);
  EXPECT_EQ(progress, (std::vector<std::string>{"QSO's processed: 10", "QSO's processed: 20",
                                                "QSO's processed: 30", "QSO's processed: 40",
                                                "QSO's processed: 50"}));
  // Ten prefixes DL0..DL9: one full line of the list.
  EXPECT_EQ(f.wpx,
            " WPX list   W1AW\n\nDL0     DL1     DL2     DL3     DL4     DL5     DL6     "
            "DL7     DL8     DL9     \n\n\nTotal: 10 prefixes\n\f");
}

TEST_F(ReportTest, AContestWithoutRecordsGivesEmptyListsAndAZeroScore) {
  const ReportFiles f = Build("", "BARTG RTTY Sprint", "G4ABC");
  EXPECT_EQ(f.log, "");
  EXPECT_EQ(f.dup, "");
  EXPECT_NE(f.score.find("  Claimed Score:\t0*(0+0)*0 = 0 points\r\n"), std::string::npos);
  const ReportFiles g = Build("garbage\r\n\r\n\xff\xfe [WPX RTTY]\r\n", "WPX RTTY", "W1AW");
  EXPECT_EQ(g.qsos, 0);
  EXPECT_EQ(g.notParsed, 1);
}

TEST_F(ReportTest, ArrlTenCountsCwAndPhoneSeparately) {
  (void)Build(Records({"K1AR 11/Dec/1999 12:00:00z 28.020.000 CW 599/599 001&MA [ARRL 10 METERS]",
                       "K1AR 11/Dec/1999 12:05:00z 28.400.000 SSB 59/59 002&MA [ARRL 10 METERS]",
                       "K1AR 11/Dec/1999 12:07:00z 28.401.000 SSB 59/59 003&MA [ARRL 10 METERS]",
                       "W2XYZ/N 11/Dec/1999 12:10:00z 28.030.000 CW 599/599 004&NY "
                       "[ARRL 10 METERS]"}),
              "ARRL 10 METERS", "DL1ABC");
  // K1AR: CW 4 and SSB 2 (its second SSB contact is a duplicate); W2XYZ/N: CW 8. The total
  // counts each call once.
  EXPECT_EQ(ContestScoreText(kArrl10, -1, worked, tally, table, "DL1ABC"),
            "\t QSOs\tPoints\tDxcc\tStates/Prov.\r\n"
            " 10\t    3\t   14\t    1\t    2\r\n"
            "Total:\t    2\t   14\t    1\t    2\r\n\r\n"
            "  Claimed Score:\t14*(1+2) = 42 points\r\n");
  EXPECT_EQ(ContestQsoCount(kArrl10, worked), 2);
}

TEST_F(ReportTest, CreateWritesFourFilesNamedAfterTheCall) {
  vexa::test::TempDir dir;
  vexa::test::WriteFileBytes(dir.File(log::kLogFileName), kWpxLog);
  ReportSetup s;
  s.contest = "WPX RTTY";
  s.myCall = "W1AW/P";
  s.category = "Single Op, All Bands, Low Power";
  s.personal = {"Hiram", "225 Main St", "06111", "w1aw@example.org", "USA"};
  s.nowUtc = 970006200;
  ReportFiles f;
  ASSERT_EQ(CreateContestReport(dir.path(), s, table, prompt, {}, &f), kReportOk);
  for (const char* ext : {".log", ".dup", ".wpx", ".sum"})
    EXPECT_TRUE(std::filesystem::exists(dir.File(std::string("W1AW_P") + ext))) << ext;
  const std::string sum = ReadFileBytes(dir.File("W1AW_P.sum"));
  EXPECT_EQ(sum.find("\n                           WPX RTTY CONTEST SUMMARY SHEET\n\n\n    "
                     "Contest Dates : 12-Feb-2000, 13-Feb-2000\n\n   Callsign used : W1AW/P\n\n"
                     "        Category : Single Op, All Bands, Low Power\n\n"
                     "            Name : Hiram\n\n         Address : 225 Main St\n\n"
                     "             ZIP : 06111\n\n           Email : w1aw@example.org\n\n"
                     "      Country    : USA\n\n\t QSOs"),
            0u);
  EXPECT_NE(sum.find(f.score + "\n\n\nI have observed all competition rules"), std::string::npos);
  EXPECT_EQ(sum.substr(sum.size() - 62),
            "Date :  26/Sep/2000  Signed _______________ Call ___________\n\f");
}

TEST_F(ReportTest, AFileThatCannotBeWrittenStopsTheReportAndKeepsTheFilesBefore) {
  vexa::test::TempDir dir;
  vexa::test::WriteFileBytes(dir.File(log::kLogFileName), kWpxLog);
  std::filesystem::create_directory(dir.File("W1AW.dup"));  // in the way of the file
  ReportSetup s;
  s.contest = "WPX RTTY";
  s.myCall = "W1AW";
  EXPECT_EQ(CreateContestReport(dir.path(), s, table, prompt, {}), kReportWriteFailed);
  EXPECT_NE(prompt.shown.find("(W1AW.dup)"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir.File("W1AW.log")), ReadFileBytes(ExpectedPath("wpx_rtty.log")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("W1AW.sum")));
  // No log, no contest: a message each, nothing written.
  vexa::test::TempDir empty;
  EXPECT_EQ(CreateContestReport(empty.path(), s, table, prompt, {}), kReportNoLog);
  s.contest = "";
  EXPECT_EQ(CreateContestReport(dir.path(), s, table, prompt, {}), kReportNoContest);
}

// The console's "Total %i QSOs" line counts what the score's Total line counts: checked against
// the hand-derived score texts of the four contest logs.
TEST_F(ReportTest, TheConsoleTotalIsTheQsoCountOfTheScoresTotalLine) {
  const struct {
    const std::string* log;
    const char* contest;
    const char* myCall;
    const char* score;
  } cases[] = {{&kCqWwLog, "CQ WW RTTY", "DL1ABC", "cqww_rtty.score"},
               {&kWpxLog, "WPX RTTY", "W1AW", "wpx_rtty.score"},
               {&kRoundupLog, "ARRL RTTY Roundup Contest", "DL1ABC", "roundup.score"},
               {&kSprintLog, "BARTG RTTY Sprint", "G4ABC", "bartg_sprint.score"}};
  for (const auto& c : cases) {
    worked.Clear();
    (void)Build(*c.log, c.contest, c.myCall);
    const std::string score = ReadFileBytes(ExpectedPath(c.score));
    const size_t at = score.find("Total:\t");
    ASSERT_NE(at, std::string::npos) << c.score;
    EXPECT_EQ(ContestQsoCount(ContestNumberOf(c.contest), worked),
              std::stoi(score.substr(at + 7, 5)))
        << c.contest;
  }
}

TEST(ReportBaseName, ReplacesSlashesAndCharactersFileNamesCannotTake) {
  EXPECT_EQ(ReportBaseName("W1AW/P"), "W1AW_P");
  EXPECT_EQ(ReportBaseName("DL/W1AW/P"), "DL_W1AW_P");
  EXPECT_EQ(ReportBaseName("../x\\y: z"), "___x_y__z");
  EXPECT_EQ(ReportBaseName(""), "NOCALL");
}

}  // namespace
}  // namespace vexa::contest
