// The log file: splitting into records, finding, deleting and editing one record while every
// other byte stays, robustness against damaged files, and failed writes that change nothing.
#include "log/log_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "log/log_scan.h"
#include "log/log_view.h"
#include "log/qso_entry.h"
#include "log/scripted_prompt.h"
#include "support/file_size_limit.h"
#include "support/test_paths.h"

namespace vexa::log {
namespace {

TEST(SplitLogRecords, JoinsLinesAndKeepsOffsets) {
  const std::string bytes =
      "W1AW 01/Jan/2020 10:00:00 \r\n14.000.000 CW\t\r\n\r\n"  // two lines, trimmed
      "\r\n   \r\n"                                            // extra blank lines
      "K1ABC 01/Jan/2020 11:00:00 14.000.000\r\n\r\n"
      "DL1ABC 01/Jan/2020 12:00:00 7.000.000";  // no blank line at the end
  const auto recs = SplitLogRecords(bytes);
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0].text, "W1AW 01/Jan/2020 10:00:00\r\n14.000.000 CW");
  EXPECT_EQ(recs[0].start, 0u);
  EXPECT_EQ(recs[0].end, bytes.find("\r\n\r\n") + 4);
  EXPECT_EQ(recs[0].endLine, 3);
  EXPECT_EQ(recs[1].start, bytes.find("K1ABC"));
  EXPECT_EQ(recs[1].endLine, 7);
  EXPECT_EQ(bytes.substr(recs[2].start), "DL1ABC 01/Jan/2020 12:00:00 7.000.000");
  EXPECT_EQ(recs[2].end, bytes.size());
  EXPECT_EQ(recs[2].endLine, 8);
}

TEST(SplitLogRecords, DamagedFileLosesNothing) {
  std::string bytes = "W1AW 01/Jan/2020 10:00:00 14.000.000\r\n\r\n";
  bytes += std::string("\0\x01\xff\xfe garbage", 13) + "\r\n\r\n";
  bytes += std::string(300000, 'Q') + "\r\n\r\n";  // one huge line
  bytes += "K1ABC 01/Jan/2020 11:00:00 14.000.000";
  const auto recs = SplitLogRecords(bytes);
  ASSERT_EQ(recs.size(), 4u);
  EXPECT_EQ(recs[1].text, std::string("\0\x01\xff\xfe garbage", 13));
  EXPECT_EQ(recs[2].text.size(), 300000u);
  // The records and the blank lines between them tile the file.
  size_t covered = 0;
  for (const auto& r : recs) {
    EXPECT_EQ(r.start, covered);
    covered = r.end;
  }
  EXPECT_EQ(covered, bytes.size());

  struct Counter : QsoSink {
    int shown = 0;
    void ShowQso(const QsoRecord&) override { ++shown; }
  } sink;
  LogScanOptions o;
  o.nowUtc = QsoTime{2020, 1, 2, 0, 0, 0, true}.SecondsSinceEpoch();
  const LogScanResult res = ScanLogText(bytes, o, sink);
  EXPECT_EQ(res.qsoTotal, 2);
  EXPECT_EQ(sink.shown, 2);
  EXPECT_EQ(res.errorCount, 2);
  EXPECT_EQ(res.errors.find("Line 4: "), 0u);
  EXPECT_NE(res.errors.find("\r\nLine 6: QQQQ"), std::string::npos);
}

class LogFileEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    // Three records saved the way the Save button saves them, between a comment and hand-made
    // records of other shapes.
    test::WriteFileBytes(path, "; my log\r\n\r\nOH2XX 01/Jan/2020 09:00:00 3.500.000 CW\r\n\r\n");
    test::ScriptedPrompt prompt;
    QsoEntry entry(path, prompt, [] { return int64_t{0}; });
    for (const char* t : {"W1AW 04/Sep/2000 12:00:00z 14.070.000 PSK31 599/579 HI",
                          "K1ABC 04/Sep/2000 12:10:00z 14.080.000 RTTY 599/599 001&002 JOE",
                          "DL1ABC 04/Sep/2000 12:20:00z 7.035.000 CW 579/559"}) {
      entry.Type(t);
      ASSERT_EQ(entry.SaveQso(), kSaveOk);
    }
    WriteTrailer();
    original = test::ReadFileBytes(path);
    struct Keep : QsoSink {
      std::vector<QsoRecord> rows;
      void ShowQso(const QsoRecord& r) override { rows.push_back(r); }
    } keep;
    LogScanResult res;
    LogScanOptions o;
    o.fullScan = true;
    ASSERT_EQ(ScanLogFile(path, o, keep, res), kLogOk);
    ASSERT_EQ(res.qsoTotal, 5);
    rows = keep.rows;
  }
  void WriteTrailer() {
    std::string b = test::ReadFileBytes(path);
    b += "ZL1AA 05/Sep/2000 01:00:00 21.000.000 SSB\r\n";  // last record without blank line
    test::WriteFileBytes(path, b);
  }
  const QsoRecord& Row(const std::string& call) {
    for (const auto& r : rows)
      if (r.call == call) return r;
    static QsoRecord none;
    return none;
  }

  test::TempDir dir;
  std::string path = dir.File(kLogFileName);
  std::string original;
  std::vector<QsoRecord> rows;
};

TEST_F(LogFileEdit, FindsTheRecordByCallFrequencyTimeAndMode) {
  QsoSpan span;
  ASSERT_EQ(FindQsoInFile(path, Row("K1ABC"), span), kLogOk);
  EXPECT_EQ(
      original.substr(static_cast<size_t>(span.start), static_cast<size_t>(span.end - span.start)),
      "K1ABC 04/Sep/2000 12:10:00z 14.080.000 RTTY 599/599 001&002 JOE \r\n\r\n");
  QsoRecord other = Row("K1ABC");
  other.frequency += 1;
  EXPECT_EQ(FindQsoInFile(path, other, span), kLogNotFound);
  EXPECT_FALSE(span.found());
  other = Row("K1ABC");
  other.mode = "CW  ";
  EXPECT_EQ(FindQsoInFile(path, other, span), kLogNotFound);
  other = Row("K1ABC");
  other.when.second = 1;
  EXPECT_EQ(FindQsoInFile(path, other, span), kLogNotFound);
  ASSERT_EQ(FindQsoInFile(path, Row("ZL1AA"), span), kLogOk);
  EXPECT_EQ(static_cast<size_t>(span.end), original.size());
}

TEST_F(LogFileEdit, EditThenDeleteKeepsEveryOtherRecordByteForByte) {
  const QsoRecord old = Row("K1ABC");
  QsoRecord edited = old;
  edited.call = "K1ABD";
  edited.rstReceived = "579";
  edited.comment = "JOE MA ";
  ASSERT_EQ(ReplaceQso(path, old, edited, ""), kLogOk);
  const std::string afterEdit = test::ReadFileBytes(path);
  const size_t at = original.find("K1ABC");
  const size_t oldEnd = original.find("DL1ABC");
  const std::string written = FormatEditedRecord(edited, "");
  EXPECT_EQ(written, "K1ABD 04/Sep/2000 12:10:00z 14.080.000 RTTY 599/579 001&002 JOE MA\r\n\r\n");
  EXPECT_EQ(afterEdit, original.substr(0, at) + written + original.substr(oldEnd));

  // The edited record reads back as what was written.
  QsoRecord back;
  ASSERT_EQ(ParseQsoText(written, back), kQsoOk);
  EXPECT_EQ(MakeLogViewCells(back),
            MakeLogViewCells(QsoRecord{edited.call, edited.when, edited.frequency, edited.mode,
                                       edited.rstSent, edited.rstReceived, edited.exchangeSent,
                                       edited.exchangeReceived, "JOE MA "}));

  const QsoRecord first = Row("W1AW");
  ASSERT_EQ(DeleteQso(path, first), kLogOk);
  const std::string afterDelete = test::ReadFileBytes(path);
  const size_t w = afterEdit.find("W1AW");
  const size_t wEnd = afterEdit.find("K1ABD");
  EXPECT_EQ(afterDelete, afterEdit.substr(0, w) + afterEdit.substr(wEnd));

  // Deleting the last record (without its blank line) and something absent.
  ASSERT_EQ(DeleteQso(path, Row("ZL1AA")), kLogOk);
  EXPECT_EQ(test::ReadFileBytes(path), afterDelete.substr(0, afterDelete.find("ZL1AA")));
  const std::string before = test::ReadFileBytes(path);
  EXPECT_EQ(DeleteQso(path, first), kLogNotFound);
  EXPECT_EQ(test::ReadFileBytes(path), before);
}

TEST_F(LogFileEdit, ContestTagIsNotWrittenTwice) {
  QsoRecord r = Row("DL1ABC");
  r.comment = "NAME [CQ WW RTTY] ";
  EXPECT_EQ(FormatEditedRecord(r, "CQ WW RTTY"),
            "DL1ABC 04/Sep/2000 12:20:00z 7.035.000 CW 579/559 NAME [CQ WW RTTY]\r\n\r\n");
  r.comment.clear();
  r.mode = "PACT";
  r.rstReceived.clear();  // one report missing: no report token
  EXPECT_EQ(FormatEditedRecord(r, "CQ WW RTTY"),
            "DL1ABC 04/Sep/2000 12:20:00z 7.035.000 PACTOR [CQ WW RTTY]\r\n\r\n");
}

TEST_F(LogFileEdit, FailedRewriteLeavesTheFileAsItWas) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 64;  // the temporary copy cannot be written
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const int rc = DeleteQso(path, Row("W1AW"), &error);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
  EXPECT_EQ(rc, kLogWriteFailed);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(test::ReadFileBytes(path), original);
  // No temporary file is left behind.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST_F(LogFileEdit, AppendCutShortAnywhereLeavesTheFileAsItWas) {
  // The file ends with a record line and no blank line, so the append writes CR LF before the
  // record: every cut, in that CR LF or in the record, must take back all that was written.
  const std::string record = "JA1XYZ 06/Sep/2000 03:00:00z 21.070.000 PSK31 \r\n\r\n";
  const size_t appended = 2 + record.size();
  for (size_t room = 0; room < appended; ++room) {
    int rc = kLogOk;
    std::string error;
    {
      test::FileSizeLimit limit(original.size() + room);
      ASSERT_TRUE(limit.ok());
      rc = AppendRecordText(path, record, &error);
    }
    EXPECT_EQ(rc, kLogWriteFailed) << "room for " << room << " bytes";
    EXPECT_NE(error.find(path), std::string::npos) << error;
    ASSERT_EQ(test::ReadFileBytes(path), original) << "room for " << room << " bytes";
  }
  // With room for all of it the same append goes through, once.
  {
    test::FileSizeLimit limit(original.size() + appended);
    ASSERT_TRUE(limit.ok());
    ASSERT_EQ(AppendRecordText(path, record), kLogOk);
  }
  EXPECT_EQ(test::ReadFileBytes(path), original + "\r\n" + record);
}

TEST(LogFile, AppendAddsExactlyTheRecordAndClosesAnOpenLastRecord) {
  test::TempDir dir;
  const std::string path = dir.File(kLogFileName);
  const std::string record = "W1AW 04/Sep/2000 12:00:00z 14.000.000 CW \r\n\r\n";
  ASSERT_EQ(AppendRecordText(path, record), kLogOk);  // a missing file is created
  EXPECT_EQ(test::ReadFileBytes(path), record);

  struct Shape {
    std::string before;
    std::string between;  // what the append must put before the record
  };
  const Shape shapes[] = {
      {"; my log\r\n\r\n", ""},
      {"K1ABC 04/Sep/2000 12:10:00z 14.001.000 CW\r\n", "\r\n"},
      {"K1ABC 04/Sep/2000 12:10:00z 14.001.000 CW", "\r\n\r\n"},
      {"K1ABC 04/Sep/2000 12:10:00z 14.001.000 CW\r\n  \t", "\r\n"},
      {"K1ABC 04/Sep/2000 12:10:00z 14.001.000 CW\n\n", ""},
  };
  for (const Shape& s : shapes) {
    test::WriteFileBytes(path, s.before);
    ASSERT_EQ(AppendRecordText(path, record), kLogOk);
    EXPECT_EQ(test::ReadFileBytes(path), s.before + s.between + record);
  }
}

TEST(LogFile, AppendToAFullDeviceReportsTheWriteFailure) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  std::string error;
  EXPECT_EQ(
      AppendRecordText("/dev/full", "W1AW 04/Sep/2000 12:00:00z 14.000.000 CW \r\n\r\n", &error),
      kLogWriteFailed);
  EXPECT_NE(error.find("/dev/full"), std::string::npos) << error;
  EXPECT_NE(error.find(std::strerror(ENOSPC)), std::string::npos) << error;
}

TEST(LogFile, AppendToADeviceThatCannotBeFlushedSucceeds) {
  // fsync refuses a character device with EINVAL; the bytes went where they were sent.
  if (!std::filesystem::exists("/dev/null")) GTEST_SKIP() << "no /dev/null on this system";
  std::string error;
  EXPECT_EQ(
      AppendRecordText("/dev/null", "W1AW 04/Sep/2000 12:00:00z 14.000.000 CW \r\n\r\n", &error),
      kLogOk)
      << error;
}

TEST(LogFile, MissingFileIsReported) {
  test::TempDir dir;
  QsoSpan span;
  EXPECT_EQ(FindQsoInFile(dir.File("none.log"), QsoRecord{}, span), kLogCannotOpen);
  EXPECT_EQ(DeleteQso(dir.File("none.log"), QsoRecord{}), kLogCannotOpen);
}

}  // namespace
}  // namespace vexa::log
