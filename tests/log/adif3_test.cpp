// ADIF 3: the writer's fields and mode pairs, the ADI and ADX reader on damaged and foreign
// input, and the import into the log with its duplicate check and skip report.
#include "log/adif3.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "log/log_file.h"
#include "support/test_paths.h"

namespace vexa::log {
namespace {

using vexa::test::ReadFileBytes;
using vexa::test::WriteFileBytes;

TEST(Adif3Mode, PairsTheLogModesWithAdif3Names) {
  using P = std::pair<std::string, std::string>;
  EXPECT_EQ(Adif3Mode("PSK ", "W1AW 1/Jan/2000 PSK31"), (P{"PSK", "PSK31"}));
  EXPECT_EQ(Adif3Mode("PSK ", "W1AW 1/Jan/2000 QPSK"), (P{"PSK", "QPSK31"}));
  EXPECT_EQ(Adif3Mode("FSK ", ""), (P{"PSK", "FSK31"}));
  EXPECT_EQ(Adif3Mode("AX25", ""), (P{"PKT", ""}));
  EXPECT_EQ(Adif3Mode("PACT", ""), (P{"PAC", ""}));
  EXPECT_EQ(Adif3Mode("HELL", ""), (P{"HELL", "FMHELL"}));
  EXPECT_EQ(Adif3Mode("MTTY", ""), (P{"RTTY", ""}));
  EXPECT_EQ(Adif3Mode("RTTY", ""), (P{"RTTY", ""}));
  EXPECT_EQ(Adif3Mode("CW  ", ""), (P{"CW", ""}));
  EXPECT_EQ(Adif3Mode("SSB ", ""), (P{"SSB", ""}));
  EXPECT_EQ(Adif3Band(14085000), "20m");
  EXPECT_EQ(Adif3Band(5000000), "");
}

TEST(Adif3Record, WritesEveryFieldWithItsByteLength) {
  QsoRecord r;
  ASSERT_EQ(ParseQsoText("K1AR 26/Sep/2000 00:10:05z 14.085.500 RTTY 599/579 14&05-MA good op "
                         "[CQ WW RTTY]",
                         r),
            kQsoOk);
  ContestIds ids;
  ids.toId = [](std::string_view) { return std::string("CQ-WW-RTTY"); };
  EXPECT_EQ(Adif3Record(r, "", "CQ WW RTTY", ids),
            "<CALL:4>K1AR <QSO_DATE:8>20000926 <TIME_ON:6>001005 <BAND:3>20m "
            "<FREQ:9>14.085500 <MODE:4>RTTY <RST_SENT:3>599 <RST_RCVD:3>579 <STX:2>14 "
            "<SRX_STRING:5>05-MA <CONTEST_ID:10>CQ-WW-RTTY <COMMENT:7>good op <EOR>\n");
  EXPECT_EQ(Adif3Header(969927000).substr(0, 43), "ADIF 3 export of the log\n<ADIF_VER:5>3.1.4\n");
}

TEST(ReadAdi, ReadsFieldsAndSurvivesDamage) {
  const AdifReadResult r = ReadAdi(
      "free text <ADIF_VER:5>3.1.4 <EOH>\n"
      "<call:4>W1AW<Qso_Date:8:D>20240101 <X_UNKNOWN:3>abc <eor>\n"
      "<CALL:x>K1AR <CALL:5>DL1AB <EOR>\n"
      "<CALL:50>G3XYZ <EOR>");
  ASSERT_EQ(r.records.size(), 2u);
  EXPECT_EQ(*r.records[0].Find("CALL"), "W1AW");
  EXPECT_EQ(*r.records[0].Find("QSO_DATE"), "20240101");
  EXPECT_EQ(*r.records[0].Find("X_UNKNOWN"), "abc");
  EXPECT_EQ(*r.records[1].Find("CALL"), "DL1AB");
  EXPECT_EQ(r.records[0].Find("ADIF_VER"), nullptr);
  ASSERT_GE(r.problems.size(), 2u);
  EXPECT_NE(r.problems[0].find("no valid length"), std::string::npos);
  EXPECT_NE(r.problems[1].find("runs past the end"), std::string::npos);
}

TEST(ReadAdi, TellsCharacterCountsFromByteCountsAndReadsLatin1) {
  // "Jörg" is 4 characters and 5 bytes of UTF-8.
  AdifReadResult bytes = ReadAdi("<NAME:5>J\xC3\xB6rg <CALL:4>W1AW <EOR>");
  ASSERT_EQ(bytes.records.size(), 1u);
  EXPECT_EQ(*bytes.records[0].Find("NAME"), "J\xC3\xB6rg");
  EXPECT_TRUE(bytes.problems.empty());
  AdifReadResult chars = ReadAdi("<NAME:4>J\xC3\xB6rg <CALL:4>W1AW <EOR>");
  ASSERT_EQ(chars.records.size(), 1u);
  EXPECT_EQ(*chars.records[0].Find("NAME"), "J\xC3\xB6rg");
  EXPECT_EQ(chars.problems.size(), 1u);
  AdifReadResult latin = ReadAdi("<NAME:4>J\xF6rg <CALL:4>W1AW <EOR>");
  ASSERT_EQ(latin.records.size(), 1u);
  EXPECT_EQ(*latin.records[0].Find("NAME"), "J\xC3\xB6rg");
}

TEST(ReadAdx, DecodesEntitiesAndSkipsApplicationFields) {
  const AdifReadResult r = ReadAdif(
      "<?xml version=\"1.0\"?>\n<ADX><HEADER><ADIF_VER>3.1.4</ADIF_VER></HEADER><RECORDS>\n"
      "<RECORD><CALL>W1AW</CALL><COMMENT>Tom &amp; Jerry &lt;3 &#246;&#x20AC;&bogus;</COMMENT>"
      "<APP PROGRAMID=\"X\" FIELDNAME=\"Y\" TYPE=\"S\">v</APP><EMPTY/></RECORD>\n"
      "<RECORD><CALL>K1AR</CALL></RECORDS></ADX>");
  EXPECT_TRUE(r.adx);
  ASSERT_EQ(r.records.size(), 1u);
  EXPECT_EQ(*r.records[0].Find("COMMENT"), "Tom & Jerry <3 \xC3\xB6\xE2\x82\xAC&bogus;");
  EXPECT_EQ(r.records[0].fields.size(), 2u);
  EXPECT_EQ(r.problems.size(), 1u);  // the second record is not closed
}

class ImportTest : public ::testing::Test {
 protected:
  std::string LogPath() const { return dir.File(kLogFileName); }
  vexa::test::TempDir dir;
  ContestIds ids{[](std::string_view n) { return std::string(n); },
                 [](std::string_view id) {
                   return id == "CQ-WW-RTTY" ? std::string("CQ WW RTTY") : std::string();
                 }};
};

TEST_F(ImportTest, AppendsNewContactsAndReportsWhatItSkipped) {
  const std::string old =
      "W1AW 01/Jan/2024 12:00:00z 14.074.000 RTTY 599/599 \r\n\r\n"
      "a damaged record\r\n";
  WriteFileBytes(LogPath(), old);
  ImportReport rep;
  ASSERT_EQ(ImportAdifBytes(
                "<EOH>"
                "<CALL:4>W1AW<QSO_DATE:8>20240101<TIME_ON:4>1200<FREQ:6>14.075<MODE:4>RTTY<EOR>"
                "<CALL:4>K1AR<QSO_DATE:8>20240102<TIME_ON:6>123456<FREQ:9>14.085000<MODE:3>PSK"
                "<SUBMODE:6>QPSK31<RST_SENT:3>599<RST_RCVD:3>589<STX:3>001<SRX_STRING:5>05-MA"
                "<CONTEST_ID:10>CQ-WW-RTTY<COMMENT:5>hello<EOR>"
                "<CALL:4>K1AR<QSO_DATE:8>20240102<TIME_ON:4>1234<FREQ:9>14.085000<MODE:3>PSK"
                "<SUBMODE:6>QPSK31<EOR>"
                "<CALL:4>DL1X<QSO_DATE:8>20240103<TIME_ON:4>1200<BAND:3>20m<EOR>"
                "<CALL:3>--1<QSO_DATE:8>20240103<TIME_ON:4>1200<FREQ:2>14<EOR>"
                "<CALL:4>G3XY<QSO_DATE:8>20241303<TIME_ON:4>1200<FREQ:2>14<EOR>"
                "<CALL:4>JA1A<QSO_DATE:8>20240104<TIME_ON:4>0100<FREQ:5>7.010<MODE:3>FT8<EOR>",
                LogPath(), ids, rep),
            kImportOk);
  EXPECT_EQ(rep.read, 7);
  EXPECT_EQ(rep.imported, 3);
  EXPECT_EQ(rep.duplicates, 2);
  EXPECT_EQ(rep.rejected, 2);
  ASSERT_EQ(rep.skipped.size(), 4u);
  EXPECT_EQ(rep.skipped[0], "record 1 W1AW: already in the log");
  EXPECT_EQ(rep.skipped[1], "record 3 K1AR: already in the log");
  EXPECT_EQ(rep.skipped[2], "record 5 --1: CALL is not a callsign");
  EXPECT_EQ(rep.skipped[3], "record 6 G3XY: date or time out of range");
  const std::string now = ReadFileBytes(LogPath());
  EXPECT_EQ(now.substr(0, old.size()), old);  // the old log is kept byte for byte
  EXPECT_EQ(now.substr(old.size()),
            "\r\nK1AR 02/Jan/2024 12:34:56z 14.085.000 QPSK 599/589 001&05-MA hello "
            "[CQ WW RTTY]\r\n\r\n"
            "DL1X 03/Jan/2024 12:00:00z 14.000.000 (band only)\r\n\r\n"
            "JA1A 04/Jan/2024 01:00:00z 7.010.000 FT8\r\n\r\n");
  ASSERT_EQ(rep.added.size(), 3u);
  EXPECT_EQ(rep.added[0].mode, "PSK ");
  EXPECT_EQ(rep.added[0].exchangeReceived, "05-MA");
}

TEST_F(ImportTest, LeavesTheLogAloneWhenNothingCanBeWritten) {
  ImportReport rep;
  EXPECT_EQ(ImportAdifBytes("no records here", LogPath(), ids, rep), kImportNoRecords);
  EXPECT_FALSE(std::filesystem::exists(LogPath()));
  EXPECT_EQ(ImportAdif(dir.File("missing.adi"), LogPath(), ids, rep), kImportCannotRead);
  // A log in a folder that does not exist cannot be written: an error, no partial file.
  EXPECT_EQ(ImportAdifBytes("<CALL:4>W1AW<QSO_DATE:8>20240101<TIME_ON:4>1200<FREQ:2>14<EOR>",
                            dir.File("no/such/log.log"), ids, rep),
            kImportWriteFailed);
  EXPECT_EQ(rep.imported, 0);
}

// Files written by other loggers. Every record is read; the ones left out were checked by hand
// in the files: no CALL, no FREQ and no BAND, or a date the exporting program cut off with a
// wrong length (those files test how loggers mangle non-ASCII text). rumlog's duplicate is the
// same contact exported twice.
TEST(ImportOtherLoggers, ReadsEveryExport) {
  VEXA_REQUIRE_TESTDATA("adif/logger-exports");
  struct Case {
    const char* file;
    int read;
    int imported;
  };
  const Case cases[] = {
#include "adif3_logger_counts.inc"
  };
  for (const Case& c : cases) {
    vexa::test::TempDir dir;
    ImportReport rep;
    const int rc = ImportAdif(vexa::test::TestDataPath(std::string("adif/") + c.file),
                              dir.File(kLogFileName), ContestIds{}, rep);
    EXPECT_TRUE(rc == kImportOk || rc == kImportNoRecords) << c.file;
    EXPECT_EQ(rep.read, c.read) << c.file;
    EXPECT_EQ(rep.imported, c.imported) << c.file;
    for (const QsoRecord& q : rep.added) EXPECT_TRUE(IsCallsign(q.call)) << c.file;
  }
}

}  // namespace
}  // namespace vexa::log
