// WAE QTC traffic over a hand-built contest log of twelve contacts with European stations,
// worked by K1ABC (North America). The expected transmit texts and "QTC.LOG" entries below are
// written out by hand from the QTC rules: "QTC n/m FOR call", one "hhmm/call/number" line per
// contact, "END OF QTC n/m", "CFM? BK" and the end mark; entries "dd/Mon/yyyy hh:mm Sent QTC".
#include "contest/wae_qtc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "callinfo/country_table.h"
#include "contest_test_support.h"
#include "log/log_file.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"
#include "tx/transmit_text.h"

namespace vexa::contest {
namespace {

using vexa::test::ReadFileBytes;

// 13/Nov/1999 01:02:03 UTC.
constexpr int64_t kNow = 942454923;

const char* const kWaeLog[] = {
    "DL1AA 13/Nov/1999 00:01:00z 14.085.000 RTTY 599/599 001&005 [WAE RTTY]",
    "G3AB 13/Nov/1999 00:03:00z 14.086.000 RTTY 599/599 002&012 [WAE RTTY]",
    "DA0WAE 13/Nov/1999 00:07:00z 14.087.000 RTTY 599/599 003&033 [WAE RTTY]",
    "M0XYZ 13/Nov/1999 00:10:00z 14.088.000 RTTY 599/599 004&001 [WAE RTTY]",
    "DL5CD 13/Nov/1999 00:12:00z 14.089.000 RTTY 599/599 005&104 [WAE RTTY]",
    "G4EF 13/Nov/1999 00:15:00z 14.090.000 RTTY 599/599 006&057 [WAE RTTY]",
    "DL9GH 13/Nov/1999 00:19:00z 14.091.000 RTTY 599/599 007&078 [WAE RTTY]",
    "M1IJ 13/Nov/1999 00:22:00z 14.092.000 RTTY 599/599 008&010 [WAE RTTY]",
    "G0KL 13/Nov/1999 00:25:00z 14.093.000 RTTY 599/599 009&021 [WAE RTTY]",
    "DL2MN 13/Nov/1999 00:31:00z 21.085.000 RTTY 599/599 010&099 [WAE RTTY]",
    "DA1OP 13/Nov/1999 00:36:00z 21.086.000 RTTY 599/599 011&120 [WAE RTTY]",
    "G5QR 13/Nov/1999 00:40:00z 21.087.000 RTTY 599/599 012&007 [WAE RTTY]",
};

std::vector<log::QsoRecord> Rows(std::vector<std::string> texts) {
  std::vector<log::QsoRecord> rows;
  for (const std::string& t : texts) {
    log::QsoRecord r;
    EXPECT_EQ(log::ParseQsoText(t, r), log::kQsoOk) << t;
    rows.push_back(r);
  }
  return rows;
}

std::vector<log::QsoRecord> WaeRows() {
  return Rows(std::vector<std::string>(std::begin(kWaeLog), std::end(kWaeLog)));
}

struct QtcRig {
  QtcRig() { EXPECT_EQ(table.LoadText(test::kTestCty), callinfo::kCountryOk); }
  std::string Continent(std::string_view call) {
    callinfo::CountryInfo info;
    return table.LookupCountry(call, &info) >= 0 ? info.continent : std::string();
  }
  vexa::test::TempDir dir;
  callinfo::CountryTable table;
  vexa::test::ScriptPrompt prompt;
  std::string path = dir.File(kQtcFileName);
  QtcWindow qtc{prompt, path, [this](std::string_view c) { return Continent(c); },
                [] { return kNow; }};
};

const char* const kFirstQtcLines =
    "0001/DL1AA/005\r\n"
    "0003/G3AB/012\r\n"
    "0007/DA0WAE/033\r\n"
    "0010/M0XYZ/001\r\n"
    "0012/DL5CD/104\r\n"
    "0015/G4EF/057\r\n"
    "0019/DL9GH/078\r\n"
    "0022/M1IJ/010\r\n"
    "0025/G0KL/021\r\n"
    "0031/DL2MN/099\r\n";

TEST(WaeQtc, TwelveUnsentContactsGoOutAsTenThenTwoAndAreRecorded) {
  QtcRig r;
  const auto rows = WaeRows();
  r.prompt.answers = {"DL6RAI"};
  std::string tx;
  ASSERT_EQ(r.qtc.OpenQtcWindow(rows, "K1ABC", "DL6RAI", true, &tx), kQtcOk) << r.prompt.asked;
  EXPECT_TRUE(r.qtc.open());
  EXPECT_EQ(r.prompt.asked, "QTC: Call for QTC\r\n outside NA [DL6RAI]\n");
  EXPECT_EQ(r.qtc.label(), "1/10");
  EXPECT_EQ(r.qtc.nextPosition(), 11);
  EXPECT_EQ(tx, std::string("\r\nQTC 1/10 FOR DL6RAI\r\n") + kFirstQtcLines +
                    "\r\nEND OF QTC 1/10\r\nCFM? BK\xAE");
  EXPECT_EQ(static_cast<uint8_t>(tx.back()), tx::kTxEnd);

  ASSERT_EQ(r.qtc.ConfirmQtcSent(), kQtcOk);
  EXPECT_EQ(r.qtc.counters().position, 11);
  EXPECT_EQ(r.qtc.counters().number, 2);
  const std::string first =
      std::string("13/Nov/1999 01:02 Sent QTC 1/10 to DL6RAI\r\n") + kFirstQtcLines + "\r\n\r\n";
  EXPECT_EQ(ReadFileBytes(r.path), first);

  // The next QTC carries the two contacts left, with the next series number.
  r.prompt.answers = {"DL6RAI"};
  ASSERT_EQ(r.qtc.OpenQtcWindow(rows, "K1ABC", "", true, &tx), kQtcOk);
  EXPECT_EQ(r.qtc.label(), "2/2");
  EXPECT_EQ(tx,
            "\r\nQTC 2/2 FOR DL6RAI\r\n0036/DA1OP/120\r\n0040/G5QR/007\r\n"
            "\r\nEND OF QTC 2/2\r\nCFM? BK\xAE");
  EXPECT_TRUE(r.qtc.lines()[2].empty());
  ASSERT_EQ(r.qtc.ConfirmQtcSent(), kQtcOk);
  EXPECT_EQ(ReadFileBytes(r.path),
            first +
                "13/Nov/1999 01:02 Sent QTC 2/2 to DL6RAI\r\n0036/DA1OP/120\r\n0040/G5QR/007\r\n"
                "\r\n\r\n");
  EXPECT_EQ(r.qtc.counters().position, 13);
  EXPECT_EQ(r.qtc.counters().number, 3);

  // Everything sent: the window closes at once, without a question.
  r.prompt.asked.clear();
  EXPECT_EQ(r.qtc.OpenQtcWindow(rows, "K1ABC", "DL6RAI", true, &tx), kQtcNothingToSend);
  EXPECT_FALSE(r.qtc.open());
  EXPECT_EQ(r.prompt.asked, "");
}

TEST(WaeQtc, TheReceiversOwnContactsNeverAppearInItsQtc) {
  QtcRig r;
  const auto rows = WaeRows();
  // G3AB (row 2) and G5QR (row 12) receive; each QTC leaves out their own contact.
  r.prompt.answers = {"G3AB"};
  ASSERT_EQ(r.qtc.OpenQtcWindow(rows, "K1ABC", "", false, nullptr), kQtcOk);
  EXPECT_EQ(r.qtc.receiver(), "G3AB");
  EXPECT_EQ(r.qtc.label(), "1/10");
  for (const QtcLine& l : r.qtc.lines()) EXPECT_NE(l.call, "G3AB");
  EXPECT_EQ(r.qtc.lines()[0].call, "DL1AA");
  EXPECT_EQ(r.qtc.lines()[1].call, "DA0WAE");
  EXPECT_EQ(r.qtc.lines()[9].call, "DA1OP");
  EXPECT_EQ(r.qtc.nextPosition(), 12);  // row 11 was the last one used

  // Another receiver takes the grid back: G3AB's contact returns, G5QR's would go.
  r.qtc.SetReceiver("g5qr", rows);
  EXPECT_EQ(r.qtc.receiver(), "G5QR");
  EXPECT_EQ(r.qtc.lines()[1].call, "G3AB");
  EXPECT_EQ(r.qtc.nextPosition(), 11);

  // From row 11 on for G5QR only DA1OP is left (its own row 12 is skipped).
  r.qtc.SetCounters({11, 4});
  EXPECT_EQ(r.qtc.FillGrid(rows), 1);
  EXPECT_EQ(r.qtc.label(), "4/1");
  EXPECT_EQ(r.qtc.nextPosition(), 12);
  // A single unsent row is too few for a QTC.
  r.qtc.SetCounters({12, 4});
  EXPECT_EQ(r.qtc.FillGrid(rows), 0);
}

TEST(WaeQtc, AStationOnTheOwnContinentIsRefusedAndAskedAgain) {
  const auto rows = WaeRows();
  {
    // North America asks for a station outside NA: two NA stations, an unknown call and a
    // blank answer are asked again; the European is taken (upper-cased).
    QtcRig r;
    r.prompt.answers = {"W2XX", "VE3AB", "ZZ1ZZ", " ", "dl6rai"};
    ASSERT_EQ(r.qtc.OpenQtcWindow(rows, "K1ABC", "W2XX", false, nullptr), kQtcOk);
    EXPECT_EQ(r.qtc.receiver(), "DL6RAI");
    EXPECT_EQ(r.prompt.asked,
              "QTC: Call for QTC\r\n outside NA [W2XX]\n"
              "QTC: Call for QTC\r\n outside NA [W2XX]\n"
              "QTC: Call for QTC\r\n outside NA [VE3AB]\n"
              "QTC: Call for QTC\r\n outside NA [ZZ1ZZ]\n"
              "QTC: Call for QTC\r\n outside NA []\n");
  }
  {
    // The other way: Europe refuses G and DL and takes the Japanese station.
    QtcRig r;
    r.prompt.answers = {"G3AB", "DL6RAI", "JA1YAA"};
    ASSERT_EQ(r.qtc.OpenQtcWindow(rows, "DL1ABC", "", false, nullptr), kQtcOk);
    EXPECT_EQ(r.qtc.receiver(), "JA1YAA");
    EXPECT_NE(r.prompt.asked.find("outside EU"), std::string::npos);
  }
  {
    // Cancel closes the window: nothing is written and the counters stay.
    QtcRig r;
    r.prompt.answers = {"K2XX"};
    EXPECT_EQ(r.qtc.OpenQtcWindow(rows, "K1ABC", "", true, nullptr), kQtcCancelled);
    EXPECT_FALSE(r.qtc.open());
    EXPECT_EQ(r.qtc.counters().position, 1);
    EXPECT_EQ(r.qtc.counters().number, 1);
    EXPECT_FALSE(std::filesystem::exists(r.path));
  }
}

TEST(WaeQtc, TooFewUnsentContactsOfferNothing) {
  QtcRig r;
  auto rows = WaeRows();
  // One contact in the log, then one unsent contact at the end of a longer log.
  const std::vector<log::QsoRecord> one(rows.begin(), rows.begin() + 1);
  EXPECT_EQ(r.qtc.OpenQtcWindow(one, "K1ABC", "DL6RAI", true, nullptr), kQtcNothingToSend);
  r.qtc.SetCounters({12, 5});
  EXPECT_EQ(r.qtc.OpenQtcWindow(rows, "K1ABC", "DL6RAI", true, nullptr), kQtcNothingToSend);
  // A position from a damaged settings file: below 1 reads as the first row, beyond the end of
  // a log that has shrunk offers nothing.
  r.qtc.SetCounters({-7, 5});
  EXPECT_EQ(r.qtc.FillGrid(rows), 10);
  EXPECT_EQ(r.qtc.lines()[0].call, "DL1AA");
  r.qtc.SetCounters({5000, 5});
  EXPECT_EQ(r.qtc.FillGrid(rows), 0);
  EXPECT_EQ(r.prompt.asked, "");
}

TEST(WaeQtc, ClearingTheNumberSkipsTheGridsContactsWithoutSending) {
  QtcRig r;
  const auto rows = WaeRows();
  r.qtc.SetReceiver("DL6RAI", rows);
  r.prompt.answer = platform::PromptAnswer::Cancel;
  EXPECT_EQ(r.qtc.ClearQtcNumber(rows), kQtcCancelled);
  EXPECT_EQ(r.qtc.counters().position, 1);
  EXPECT_EQ(r.prompt.asked, "Clear QTC number, are you sure?\n");
  r.prompt.answer = platform::PromptAnswer::Ok;
  EXPECT_EQ(r.qtc.ClearQtcNumber(rows), kQtcOk);
  EXPECT_EQ(r.qtc.counters().position, 11);
  EXPECT_EQ(r.qtc.counters().number, 2);
  EXPECT_EQ(r.qtc.label(), "2/2");  // refilled from row 11
  EXPECT_EQ(r.qtc.lines()[0].call, "DA1OP");
  EXPECT_FALSE(std::filesystem::exists(r.path));
}

TEST(WaeQtc, AFailedWriteIsShownAndChangesNothing) {
  QtcRig r;
  const auto rows = WaeRows();
  QtcWindow bad{r.prompt, r.dir.File("missing/QTC.LOG"), [](std::string_view) { return "EU"; },
                [] { return kNow; }};
  bad.SetReceiver("DL6RAI", rows);
  ASSERT_EQ(bad.lineCount(), 10);
  EXPECT_EQ(bad.ConfirmQtcSent(), kQtcWriteFailed);
  EXPECT_EQ(r.prompt.shown, "(QTC.LOG)\n");
  EXPECT_EQ(bad.counters().position, 1);
  EXPECT_EQ(bad.counters().number, 1);
  EXPECT_EQ(bad.label(), "1/10");
}

TEST(WaeQtc, ADamagedRecordFileKeepsEveryByteAndTheEntryStartsOnItsOwnLine) {
  QtcRig r;
  const auto rows = WaeRows();
  // A record cut off in the middle of a line, with bytes of every kind.
  const std::string damaged =
      std::string("13/Nov/1999 00:50 Sent QTC 7/3 to DL\x01\xFF") + '\0' + "junk";
  vexa::test::WriteFileBytes(r.path, damaged);
  r.qtc.SetReceiver("DL6RAI", rows);
  ASSERT_EQ(r.qtc.ConfirmQtcSent(), kQtcOk);
  const std::string now = ReadFileBytes(r.path);
  ASSERT_EQ(now.compare(0, damaged.size(), damaged), 0);
  EXPECT_EQ(now.substr(damaged.size()), std::string("\r\n\r\n13/Nov/1999 01:02 Sent QTC 1/10 to "
                                                    "DL6RAI\r\n") +
                                            kFirstQtcLines + "\r\n\r\n");
}

TEST(WaeQtc, AReceivedQtcIsSavedFromTheMarkedTextAfterTheQuestion) {
  QtcRig r;
  // Nothing marked.
  EXPECT_EQ(r.qtc.SaveReceivedQtc("", "DL6RAI"), kQtcNoSelection);
  EXPECT_EQ(r.prompt.shown, "Mark QTC to save, than try again\n");
  // Marked text with LF line ends as the receive window gives it; the QSO call is empty, so
  // the call is asked. Cancel at the confirmation writes nothing.
  const std::string marked = "QTC 3/2 FOR K1ABC\n0012/DL1AA/005\n0015/G3AB/012\n";
  r.prompt.answers = {"dl6rai"};
  r.prompt.answer = platform::PromptAnswer::Cancel;
  EXPECT_EQ(r.qtc.SaveReceivedQtc(marked, ""), kQtcCancelled);
  EXPECT_FALSE(std::filesystem::exists(r.path));
  const std::string entry =
      "13/Nov/1999 01:02 Rcvd QTC from DL6RAI\r\n"
      "QTC 3/2 FOR K1ABC\r\n0012/DL1AA/005\r\n0015/G3AB/012\r\n\r\n";
  EXPECT_EQ(r.prompt.asked, "QTC: Call: []\n" + entry + "Save QTC?\n");
  // OK appends it.
  r.prompt.asked.clear();
  r.prompt.answer = platform::PromptAnswer::Ok;
  EXPECT_EQ(r.qtc.SaveReceivedQtc(marked, "DL6RAI"), kQtcOk);
  EXPECT_EQ(r.prompt.asked, entry + "Save QTC?\n");
  EXPECT_EQ(ReadFileBytes(r.path), entry);
  // A cancelled call question keeps nothing.
  EXPECT_EQ(r.qtc.SaveReceivedQtc(marked, ""), kQtcCancelled);
  EXPECT_EQ(ReadFileBytes(r.path), entry);
}

TEST(WaeQtc, EntriesCarryTheDayMonthAndMinuteOfTheirUtcInstant) {
  EXPECT_EQ(QtcEntryTime(0), "01/Jan/1970 00:00 ");
  EXPECT_EQ(QtcEntryTime(942537540), "13/Nov/1999 23:59 ");
}

}  // namespace
}  // namespace vexa::contest
