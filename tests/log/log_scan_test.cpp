// The load scan: which records reach the view, the tally and the worked table; errors with
// their line numbers; progress; contests and serial numbers.
#include "log/log_scan.h"

#include <gtest/gtest.h>

#include <vector>

namespace vexa::log {
namespace {

struct Recorder : QsoSink {
  std::vector<std::string> shown, tallied, worked;
  std::vector<int> progress;
  void ShowQso(const QsoRecord& r) override { shown.push_back(r.call); }
  void TallyQso(const QsoRecord& r) override { tallied.push_back(r.call); }
  void WorkedQso(const QsoRecord& r, int band, int cls) override {
    worked.push_back(r.call + "/" + std::to_string(band) + "/" + std::to_string(cls));
  }
  void ScanProgress(int lines) override { progress.push_back(lines); }
};

const int64_t kNow = QsoTime{2020, 1, 10, 12, 0, 0, true}.SecondsSinceEpoch();

TEST(ScanLog, OnlyRecentRecordsReachTheViewOutsideAContest) {
  const std::string log =
      "W1OLD 01/Jan/2020 12:00:00z 14.000.000 CW\r\n\r\n"  // 9 days old
      "W1EDG 02/Jan/2020 12:00:01z 14.000.000 CW\r\n\r\n"  // 8 days minus a second
      "W1LOC 02/Jan/2020 13:00:00 14.000.000 CW\r\n\r\n"   // local time, UTC+2: 11:00 UTC
      "W1FUT 01/Jan/2021 00:00:00z 7.000.000 SSB\r\n\r\n"  // in the future
      "W1NOB 03/Jan/2020 12:00:00z 5.000.000 CW\r\n\r\n";  // worked table needs a band
  LogScanOptions o;
  o.nowUtc = kNow;
  o.utcOffsetSeconds = 2 * 3600;
  Recorder r;
  const LogScanResult res = ScanLogText(log, o, r);
  EXPECT_EQ(res.qsoTotal, 5);
  EXPECT_EQ(r.shown, (std::vector<std::string>{"W1EDG", "W1FUT", "W1NOB"}));
  EXPECT_EQ(r.tallied, r.shown);
  EXPECT_EQ(r.worked,
            (std::vector<std::string>{"W1OLD/4/0", "W1EDG/4/0", "W1LOC/4/0", "W1FUT/2/1"}));
  Recorder full;
  o.fullScan = true;
  ScanLogText(log, o, full);
  EXPECT_EQ(full.tallied.size(), 5u);
  EXPECT_EQ(full.shown.size(), 3u);
}

TEST(ScanLog, ContestTakesTaggedRecordsOnlyAndDropsTheTag) {
  const std::string log =
      "W1AW 01/Jan/2019 12:00:00z 14.080.000 RTTY 599/599 001&005 [WPX RTTY]\r\n\r\n"
      "K1ABC 01/Jan/2019 12:01:00z 14.080.000 RTTY 599/599 002&017 [CQ WW RTTY]\r\n\r\n"
      "DL1ABC 01/Jan/2019 12:02:00z 14.080.000 RTTY 599/599 041&011 JOE [WPX RTTY]\r\n\r\n";
  LogScanOptions o;
  o.nowUtc = kNow;
  o.contestName = "WPX RTTY";
  o.serialNumbers = true;
  Recorder r;
  const LogScanResult res = ScanLogText(log, o, r, 3);
  EXPECT_EQ(r.shown, (std::vector<std::string>{"W1AW", "DL1ABC"}));
  EXPECT_EQ(r.tallied, r.shown);
  EXPECT_EQ(res.qsoTotal, 2);
  // The counter follows the last record's own number: 41, own number 042, counter 42.
  EXPECT_EQ(res.ownNumber, "042");
  EXPECT_EQ(res.serialCounter, 42);
}

TEST(ScanLog, ListsFailedRecordsWithTheLineThatEndsThem) {
  std::string log = "; a comment\r\n\r\n";
  log += "W1AW 01/Jan/2020 12:00:00z\r\nCW\r\n\r\n";  // no frequency, ends at line 5
  for (int i = 0; i < 60; ++i) log += "K1ABC 09/Jan/2020 12:00:00z 14.000.000 CW\r\n\r\n";
  log += "no call here";  // last line, 126
  LogScanOptions o;
  o.nowUtc = kNow;
  Recorder r;
  const LogScanResult res = ScanLogText(log, o, r);
  EXPECT_EQ(res.errorCount, 2);
  EXPECT_EQ(res.errors, "Line 5: W1AW 01/Jan/2020 12:00:00z\r\nCW\r\nLine 126: no call here\r\n");
  EXPECT_EQ(ScanErrorsText(res), "Log errors:\r\n" + res.errors);
  EXPECT_EQ(res.lines, 126);
  EXPECT_EQ(r.progress, (std::vector<int>{100}));
  EXPECT_EQ(ScanProgressText(100), "Scanning log: 100 lines");
  EXPECT_EQ(res.qsoTotal, 60);
}

}  // namespace
}  // namespace vexa::log
