// Stamping, saving and clearing the QSO entry box against a real log file in a temporary folder.
#include "log/qso_entry.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "log/log_file.h"
#include "log/log_view.h"
#include "log/scripted_prompt.h"
#include "support/file_size_limit.h"
#include "support/test_paths.h"

namespace vexa::log {
namespace {

constexpr int64_t kSep4th2000 = 968070896;  // 04/Sep/2000 12:34:56 UTC

class QsoEntryTest : public ::testing::Test {
 protected:
  QsoEntryTest()
      : entry(
            dir.File(kLogFileName), prompt, [] { return kSep4th2000; }, &view) {}

  std::string LogBytes() const { return test::ReadFileBytes(dir.File(kLogFileName)); }

  test::TempDir dir;
  test::ScriptedPrompt prompt;
  struct View : LogView {
    std::vector<std::string> stamped;
    void StampedQso(const std::string& call) override { stamped.push_back(call); }
  } view;
  QsoEntry entry;
};

TEST_F(QsoEntryTest, StampAddsReportNameAndTailThenSaveWritesOneRecord) {
  entry.Type("DL1ABC");
  entry.call = "DL1ABC";
  entry.rstReceived = "579";
  entry.name = "HANS";
  entry.mode = Mode::Psk31;
  entry.frequencyText = "14.070.150";
  entry.StampQso();
  EXPECT_EQ(entry.text, "DL1ABC 599/579 HANS 04/Sep/2000 12:34:56z PSK31 14.070.150  ");
  EXPECT_EQ(entry.state & kEntryStamped, unsigned{kEntryStamped});
  EXPECT_EQ(view.stamped, (std::vector<std::string>{"DL1ABC"}));

  ASSERT_EQ(entry.SaveQso(), kSaveOk);
  EXPECT_EQ(LogBytes(), "DL1ABC 599/579 HANS 04/Sep/2000 12:34:56z PSK31 14.070.150 \r\n\r\n");
  EXPECT_EQ(entry.state, 0u);  // cleared after the save
  EXPECT_EQ(entry.text, "");
  EXPECT_EQ(entry.previousText, "DL1ABC 599/579 HANS 04/Sep/2000 12:34:56z PSK31 14.070.150  ");
  EXPECT_EQ(entry.qsoTotal, 1);
  ASSERT_EQ(view.RowCount(), 1);
  EXPECT_EQ(view.Row(0).mode, "PSK ");
  EXPECT_TRUE(prompt.questions.empty());
}

TEST_F(QsoEntryTest, StampAsksForMissingFrequencyModeAndReport) {
  prompt.texts["Frequency:"] = "7.035.000";
  prompt.texts["Mode:"] = "HELL";
  prompt.texts["RST:"] = "339";
  entry.Type("OK1XYZ");
  entry.mode = Mode::Unnamed7;  // no name: asked for
  entry.gmt = false;
  entry.utcOffsetSeconds = 2 * 3600;
  entry.note = "QSL";
  entry.satelliteRs = true;
  entry.StampQso();
  EXPECT_EQ(entry.text, "OK1XYZ 599/339 04/Sep/2000 14:34:56 HELL 7.035.000 QSL RS13");
  ASSERT_EQ(prompt.questions.size(), 3u);
  EXPECT_EQ(prompt.questions[0], "Frequency:");
  EXPECT_EQ(prompt.questions[1], "Mode:");
  EXPECT_EQ(prompt.questions[2], "RST:");
  // A second stamp does nothing.
  entry.StampQso();
  EXPECT_EQ(prompt.questions.size(), 3u);
}

TEST_F(QsoEntryTest, StampLeavesAParsingRecordAndDoesNotRepeatWhatIsThere) {
  entry.Type("W1AW 01/Jan/2020 10:00:00 14.000.000");
  entry.call = "W1AW";
  entry.rstReceived = "579";
  entry.StampQso();
  EXPECT_EQ(entry.text, "W1AW 01/Jan/2020 10:00:00 14.000.000");
  EXPECT_EQ(entry.state & kEntryStamped, 0u);

  entry.Type("hans w1aw 599/579");
  entry.name = "HANS";
  entry.frequencyText = "14.000.000";
  entry.StampQso();
  // Report, name and call are already there (case-insensitive), so only the tail is added.
  EXPECT_EQ(entry.text, "hans w1aw 599/579 04/Sep/2000 12:34:56z CW 14.000.000  ");
}

TEST_F(QsoEntryTest, ContestSaveLeavesExactlyOneBlankBeforeTheTag) {
  entry.contest.name = "CQ WW RTTY";
  prompt.texts["My exchange:"] = "14";
  prompt.texts["Received exchange:"] = "05";
  entry.Type("W1AW 04/Sep/2000 12:34:56z\r\n14.080.000 RTTY 599/599   \r\n");
  ASSERT_EQ(entry.SaveQso(), kSaveOk);
  EXPECT_EQ(LogBytes(), "W1AW 04/Sep/2000 12:34:56z 14.080.000 RTTY 599/599 [CQ WW RTTY]\r\n\r\n");
  // Nothing more to save: a second save does nothing.
  EXPECT_EQ(entry.SaveQso(), kSaveNothing);
}

TEST_F(QsoEntryTest, ContestSerialNumbersCountUp) {
  entry.contest = ContestSetup{"WPX RTTY", true};
  entry.ownNumber = "001";
  entry.Type("W1AW 04/Sep/2000 12:34:56z 14.080.000 RTTY 599/599 001&017");
  ASSERT_EQ(entry.SaveQso(), kSaveOk);
  EXPECT_EQ(entry.ownNumber, "002");
  EXPECT_EQ(entry.previousOwnNumber, "001");
  EXPECT_EQ(entry.serialCounter, 2);
  entry.ownNumber = "999";
  entry.Type("K1ABC 04/Sep/2000 12:35:56z 14.080.000 RTTY 599/599 999&018");
  ASSERT_EQ(entry.SaveQso(), kSaveOk);
  EXPECT_EQ(entry.ownNumber, "1000");

  // CQ WW sends zones, not numbers: the own number stays.
  QsoEntry cqww(dir.File(kLogFileName), prompt, [] { return kSep4th2000; });
  cqww.contest = ContestSetup{"CQ WW RTTY", true};
  cqww.ownNumber = "14";
  cqww.Type("W1AW 04/Sep/2000 12:34:56z 14.080.000 RTTY 599/599 14&05");
  ASSERT_EQ(cqww.SaveQso(), kSaveOk);
  EXPECT_EQ(cqww.ownNumber, "14");
}

TEST_F(QsoEntryTest, UnparsedRecordIsSavedOnlyAfterYes) {
  entry.Type("just a note");
  entry.frequencyText = "14.000.000";
  EXPECT_EQ(entry.SaveQso(), kSaveRefused);
  EXPECT_EQ(prompt.questions.back(), "Not parsed! Save anyway?");
  EXPECT_FALSE(std::filesystem::exists(dir.File(kLogFileName)));
  EXPECT_NE(entry.text, "");  // the box keeps its text

  prompt.answers.push_back(platform::PromptAnswer::Yes);
  ASSERT_EQ(entry.SaveQso(), kSaveOk);
  ASSERT_FALSE(prompt.messages.empty());
  EXPECT_EQ(prompt.messages.back(), "Ignored, not saved");
  // The received report could not be asked for: the token keeps its empty half.
  EXPECT_EQ(LogBytes(), "just a note 599/ 04/Sep/2000 12:34:56z CW 14.000.000 \r\n\r\n");
  EXPECT_EQ(view.RowCount(), 0);  // not a contact
}

TEST_F(QsoEntryTest, CommentRecordIsSavedWithoutAQuestion) {
  entry.Type("; worked all states today");
  prompt.texts["Frequency:"] = "";
  entry.state |= kEntryStamped;  // stamped already: the text is saved as typed
  ASSERT_EQ(entry.SaveQso(), kSaveOk);
  EXPECT_TRUE(prompt.questions.empty());
  EXPECT_EQ(LogBytes(), "; worked all states today \r\n\r\n");
}

TEST_F(QsoEntryTest, EarlierParagraphsAreLoggedAsRecordsOfTheirOwn) {
  entry.Type(
      "W1AW 04/Sep/2000 12:00:00z 14.000.000 CW\r\n\r\nnot a record\r\n\r\n"
      "K1ABC 04/Sep/2000 12:10:00z 14.001.000 CW");
  ASSERT_EQ(entry.SaveQso(), kSaveOk);
  EXPECT_EQ(LogBytes(),
            "W1AW 04/Sep/2000 12:00:00z 14.000.000 CW \r\n\r\n"
            "K1ABC 04/Sep/2000 12:10:00z 14.001.000 CW \r\n\r\n");
  EXPECT_EQ(view.RowCount(), 2);
  EXPECT_EQ(entry.qsoTotal, 2);
}

TEST_F(QsoEntryTest, SaveNeverRunsIntoALastRecordWithoutItsBlankLine) {
  test::WriteFileBytes(dir.File(kLogFileName), "W1AW 04/Sep/2000 12:00:00z 14.000.000 CW");
  entry.Type("K1ABC 04/Sep/2000 12:10:00z 14.001.000 CW");
  ASSERT_EQ(entry.SaveQso(), kSaveOk);
  const auto recs = SplitLogRecords(LogBytes());
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0].text, "W1AW 04/Sep/2000 12:00:00z 14.000.000 CW");
  EXPECT_EQ(recs[1].text, "K1ABC 04/Sep/2000 12:10:00z 14.001.000 CW");
}

TEST_F(QsoEntryTest, ClearAsksWhenFieldsAreUnsaved) {
  entry.Type("W1AW");
  entry.name = "JOE";
  prompt.answers.push_back(platform::PromptAnswer::Cancel);
  EXPECT_FALSE(entry.ClearQso());
  EXPECT_EQ(entry.text, "W1AW");
  EXPECT_EQ(prompt.questions.back(), "Text is not saved!\r\nSave?");

  prompt.answers.push_back(platform::PromptAnswer::No);
  EXPECT_TRUE(entry.ClearQso());
  EXPECT_EQ(entry.text, "");
  EXPECT_EQ(entry.name, "");
  EXPECT_EQ(entry.previousText, "W1AW");
  EXPECT_EQ(entry.state, 0u);

  // Yes saves; a record that does not parse and is refused stops the clear.
  entry.Type("W1AW");
  entry.name = "JOE";
  entry.frequencyText = "";  // the stamp cannot complete the record
  prompt.answers = {platform::PromptAnswer::Yes, platform::PromptAnswer::No};
  EXPECT_FALSE(entry.ClearQso());
  EXPECT_EQ(prompt.questions.back(), "Not parsed! Save anyway?");
  EXPECT_NE(entry.text, "");
  EXPECT_FALSE(std::filesystem::exists(dir.File(kLogFileName)));
}

TEST_F(QsoEntryTest, TrailingBlankLinesDoNotEmptyTheRecord) {
  entry.Type("W1AW 04/Sep/2000 12:34:56z 14.080.000 RTTY\r\n\r\n\r\n");
  ASSERT_EQ(entry.SaveQso(), kSaveOk);
  EXPECT_EQ(LogBytes(), "W1AW 04/Sep/2000 12:34:56z 14.080.000 RTTY \r\n\r\n");
}

TEST_F(QsoEntryTest, FailedWriteKeepsTheBoxAndReportsTheFile) {
  const std::string big(4096, 'x');
  test::WriteFileBytes(dir.File(kLogFileName), "; " + big + "\r\n\r\n");
  entry.Type("W1AW 04/Sep/2000 12:00:00z 14.000.000 CW");
  // Files may not grow beyond their current size: the append fails like a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 4100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int rc = entry.SaveQso();
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
  EXPECT_EQ(rc, kSaveWriteFailed);
  EXPECT_EQ(entry.text, "W1AW 04/Sep/2000 12:00:00z 14.000.000 CW");
  EXPECT_EQ(view.RowCount(), 0);
  ASSERT_FALSE(prompt.messages.empty());
  EXPECT_NE(prompt.messages.back().find("(" + dir.File(kLogFileName) + ")"), std::string::npos);
  EXPECT_EQ(entry.qsoTotal, 0);
}

TEST_F(QsoEntryTest, WriteCutShortLeavesTheLogByteForByteAndTheSaveCanBeRepeated) {
  const std::string before = "W1AW 04/Sep/2000 12:00:00z 14.000.000 CW \r\n\r\n";
  test::WriteFileBytes(dir.File(kLogFileName), before);
  entry.Type("K1ABC 04/Sep/2000 12:10:00z 14.001.000 CW");
  int rc = kSaveOk;
  {
    test::FileSizeLimit limit(before.size() + 10);  // room for the first ten bytes only
    ASSERT_TRUE(limit.ok());
    rc = entry.SaveQso();
  }
  EXPECT_EQ(rc, kSaveWriteFailed);
  EXPECT_EQ(LogBytes(), before);
  EXPECT_EQ(entry.text, "K1ABC 04/Sep/2000 12:10:00z 14.001.000 CW");
  EXPECT_EQ(view.RowCount(), 0);
  EXPECT_EQ(entry.qsoTotal, 0);

  // With room again the same save writes the record whole, once.
  ASSERT_EQ(entry.SaveQso(), kSaveOk);
  EXPECT_EQ(LogBytes(), before + "K1ABC 04/Sep/2000 12:10:00z 14.001.000 CW \r\n\r\n");
  EXPECT_EQ(view.RowCount(), 1);
  EXPECT_EQ(entry.qsoTotal, 1);
}

}  // namespace
}  // namespace vexa::log
