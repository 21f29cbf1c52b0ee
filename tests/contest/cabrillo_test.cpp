// The Cabrillo log: its header tags and QSO columns for a hand-built CQ WW RTTY log, read back
// by two independent parsers from npm where they are installed (the column-slicing `cabrillo`
// and `adif-parser-ts` for the ADIF 3 export of the same log).
#include "contest/cabrillo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "contest/contest_catalogue.h"
#include "contest_test_support.h"
#include "log/adif3.h"
#include "log/log_file.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"

namespace vexa::contest {
namespace {

using vexa::test::ReadFileBytes;
using vexa::test::WriteFileBytes;

const char* const kLog =
    "K1AR 26/Sep/2000 00:10:00z 14.085.000 RTTY 599/599 14&05-MA [CQ WW RTTY]\r\n\r\n"
    "G3XYZ 26/Sep/2000 00:12:00z 14.086.000 RTTY 599/599 14&14 [CQ WW RTTY]\r\n\r\n"
    "DL2XX 26/Sep/2000 00:14:00z 14.087.000 RTTY 599/599 14&14 [CQ WW RTTY]\r\n\r\n"
    "K1AR 26/Sep/2000 00:16:00z 14.085.000 RTTY 599/599 14&05-MA [CQ WW RTTY]\r\n\r\n"
    "W9ZZZ 26/Sep/2000 00:17:00z 14.085.000 RTTY 599/599 001&002 [WPX RTTY]\r\n\r\n"
    "K1AR 26/Sep/2000 01:00:00z 21.085.000 RTTY 599/599 14&05-MA [CQ WW RTTY]\r\n\r\n"
    "JA1ABC 26/Sep/2000 01:05:00z 21.086.000 RTTY 599/599 14&25 [CQ WW RTTY]\r\n\r\n"
    "VE3AA 26/Sep/2000 01:10:00z 14.090.000 RTTY 599/599 14&04-ON [CQ WW RTTY]\r\n\r\n";

ReportSetup CqWwSetup() {
  ReportSetup s;
  s.contest = "CQ WW RTTY";
  s.category = "Single Op All Band Low Power";
  s.myCall = "DL1ABC";
  s.personal = {"Hans Muster", "Hauptstr. 1", "12345", "dl1abc@example.org", "Germany"};
  return s;
}

class CabrilloTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(table.LoadText(test::kTestCty), callinfo::kCountryOk); }
  callinfo::CountryTable table;
  vexa::test::ScriptPrompt prompt;
};

// Worked out by hand: the header from the setup, the claimed score of the CQ WW RTTY report
// (15 points * (6 + 3 + 5) = 210), one line per contest contact in the template's columns.
TEST_F(CabrilloTest, WritesTheHeaderAndTheQsoColumns) {
  EXPECT_EQ(BuildCabrillo(kLog, CqWwSetup(), table, prompt),
            "START-OF-LOG: 3.0\r\n"
            "CONTEST: CQ-WW-RTTY\r\n"
            "CALLSIGN: DL1ABC\r\n"
            "CATEGORY-OPERATOR: SINGLE-OP\r\n"
            "CATEGORY-ASSISTED: NON-ASSISTED\r\n"
            "CATEGORY-BAND: ALL\r\n"
            "CATEGORY-POWER: LOW\r\n"
            "CATEGORY-MODE: RTTY\r\n"
            "CATEGORY-TRANSMITTER: ONE\r\n"
            "CLAIMED-SCORE: 210\r\n"
            "CREATED-BY: Vexa\r\n"
            "NAME: Hans Muster\r\n"
            "ADDRESS: Hauptstr. 1\r\n"
            "ADDRESS-POSTALCODE: 12345\r\n"
            "ADDRESS-COUNTRY: Germany\r\n"
            "EMAIL: dl1abc@example.org\r\n"
            "QSO: 14085 RY 2000-09-26 0010 DL1ABC        599 14     K1AR          599 05 MA \r\n"
            "QSO: 14086 RY 2000-09-26 0012 DL1ABC        599 14     G3XYZ         599 14    \r\n"
            "QSO: 14087 RY 2000-09-26 0014 DL1ABC        599 14     DL2XX         599 14    \r\n"
            "QSO: 14085 RY 2000-09-26 0016 DL1ABC        599 14     K1AR          599 05 MA \r\n"
            "QSO: 21085 RY 2000-09-26 0100 DL1ABC        599 14     K1AR          599 05 MA \r\n"
            "QSO: 21086 RY 2000-09-26 0105 DL1ABC        599 14     JA1ABC        599 25    \r\n"
            "QSO: 14090 RY 2000-09-26 0110 DL1ABC        599 14     VE3AA         599 04 ON \r\n"
            "END-OF-LOG:\r\n");
}

TEST(CabrilloCategory, MapsCategoryTextsToTags) {
  EXPECT_EQ(CabrilloCategoryLines("CQ WW DX CW", "Single Operator Assisted - 20m", 4),
            "CATEGORY-OPERATOR: SINGLE-OP\r\nCATEGORY-ASSISTED: ASSISTED\r\n"
            "CATEGORY-BAND: 20M\r\nCATEGORY-POWER: HIGH\r\nCATEGORY-MODE: CW\r\n"
            "CATEGORY-TRANSMITTER: ONE\r\n");
  EXPECT_NE(CabrilloCategoryLines("WPX RTTY", "Multi op, Two Tx", -1)
                .find("CATEGORY-OPERATOR: MULTI-OP\r\n"),
            std::string::npos);
  EXPECT_NE(CabrilloCategoryLines("WPX RTTY", "Multi op, Two Tx", -1)
                .find("CATEGORY-TRANSMITTER: TWO\r\n"),
            std::string::npos);
  EXPECT_NE(CabrilloCategoryLines("TARA Rumble PSK31 2000", "SWL Category", -1)
                .find("CATEGORY-OPERATOR: CHECKLOG"),
            std::string::npos);
  EXPECT_NE(CabrilloCategoryLines("TARA Rumble PSK31 2000", "Super Category - 5 watts MAX", -1)
                .find("CATEGORY-POWER: QRP"),
            std::string::npos);
  EXPECT_EQ(CabrilloMode("SSB "), "PH");
  EXPECT_EQ(CabrilloMode("MTTY"), "RY");
  EXPECT_EQ(CabrilloMode("PSK "), "DG");
  EXPECT_EQ(ClaimedScore("x = 12 points\r\n y = 345 points\r\n"), 345);
  EXPECT_EQ(ClaimedScore("Total: ...to be calculated manually"), 0);
  EXPECT_EQ(RobotContestName("WPX RTTY"), "CQ-WPX-RTTY");
  EXPECT_EQ(ContestNameOfRobotName("arrl-rtty"), "ARRL RTTY Roundup Contest");
  EXPECT_EQ(ContestNameOfRobotName("NAQP-CW"), "");
  // Names the robots use today; the older names still read back as the same contests.
  EXPECT_EQ(RobotContestName("WAE RTTY"), "DARC-WAEDC-RTTY");
  EXPECT_EQ(RobotContestName("Ukrainian Open RTTY"), "UKR-CHAMP-RTTY");
  EXPECT_EQ(RobotContestName("TARA Rumble PSK31 2000"), "TARA-RUMBLE");
  EXPECT_EQ(ContestNameOfRobotName("WAEDC"), "WAE RTTY");
  EXPECT_EQ(ContestNameOfRobotName("ur-dx"), "Ukrainian Open RTTY");
  EXPECT_EQ(ContestNameOfRobotName("DARC-WAEDC-RTTY"), "WAE RTTY");
  // Every contest has a name of its own, and it leads back to the contest.
  for (const ContestDef& c : Contests()) {
    const std::string robot = RobotContestName(c.name);
    ASSERT_FALSE(robot.empty()) << c.name;
    EXPECT_EQ(ContestNameOfRobotName(robot), c.name);
  }
}

// --- Independent parsers from npm ---

std::string NodeModules() {
  const char* dir = std::getenv("VEXA_NPM_DIR");
  std::string base;
  if (dir && *dir) {
    base = dir;
  } else if (const char* home = std::getenv("HOME")) {
    base = std::string(home) + "/.cache/vexa-npm";
  }
  return base + "/node_modules";
}

// Runs a node script with arguments; false when node or the module is missing.
bool RunNode(const std::string& module, const std::string& script, const std::string& args,
             const vexa::test::TempDir& dir, std::string& out) {
  if (std::system("node --version > /dev/null 2>&1") != 0) return false;
  if (!std::filesystem::exists(NodeModules() + "/" + module)) return false;
  WriteFileBytes(dir.File("peer.js"), script);
  const std::string cmd = "NODE_PATH='" + NodeModules() + "' node '" + dir.File("peer.js") + "' " +
                          args + " > '" + dir.File("peer.out") + "' 2>&1";
  const int rc = std::system(cmd.c_str());
  out = ReadFileBytes(dir.File("peer.out"));
  EXPECT_EQ(rc, 0) << out;
  return true;
}

TEST_F(CabrilloTest, TheNpmCabrilloParserReadsBackWhatWasLogged) {
  vexa::test::TempDir dir;
  WriteFileBytes(dir.File(log::kLogFileName), kLog);
  std::string name;
  ASSERT_EQ(ExportCabrillo(dir.path(), CqWwSetup(), table, prompt, &name), kReportOk);
  EXPECT_EQ(name, "DL1ABC.cbr");
  std::string out;
  if (!RunNode("cabrillo",
               "const c = require('cabrillo'); const fs = require('fs');\n"
               "const o = c.cabrilloToObject(fs.readFileSync(process.argv[2], 'utf8'),"
               " {contest: 'CQWW'});\n"
               "for (const k of ['CABRILLO-VERSION','CONTEST','CALLSIGN','CLAIMED-SCORE'])\n"
               "  console.log(k + '=' + String(o[k]).trim());\n"
               "for (const q of o.QSO) console.log([q.freq, q.mo, q.date, q.time, q.sentcall,"
               " q.sentrst, q.sentexch, q.rcvdcall, q.rcvdrst, q.rcvdexch].join('|'));\n",
               "'" + dir.File(name) + "'", dir, out))
    GTEST_SKIP() << "node or the npm package cabrillo is not installed (scripts/npm-peers.sh)";
  // Every contest record of the log, as the parser must see it (exchanges without blanks).
  std::string expected =
      "CABRILLO-VERSION=3.0\nCONTEST=CQ-WW-RTTY\nCALLSIGN=DL1ABC\nCLAIMED-SCORE=210\n";
  for (const log::LogFileRecord& rec : log::SplitLogRecords(kLog)) {
    if (rec.text.find("[CQ WW RTTY]") == std::string::npos) continue;
    log::QsoRecord r;
    ASSERT_EQ(log::ParseQsoText(rec.text, r), log::kQsoOk);
    std::string ex = r.exchangeReceived;
    ex.erase(std::remove(ex.begin(), ex.end(), '-'), ex.end());
    char line[160];
    std::snprintf(line, sizeof line, "%d|RY|%04d-%02d-%02d|%02d%02d|DL1ABC|%s|%s|%s|%s|%s\n",
                  r.frequency / 1000, r.when.year, r.when.month, r.when.day, r.when.hour,
                  r.when.minute, r.rstSent.c_str(), r.exchangeSent.c_str(), r.call.c_str(),
                  r.rstReceived.c_str(), ex.c_str());
    expected += line;
  }
  EXPECT_EQ(out, expected);
}

TEST_F(CabrilloTest, TheNpmAdifParserReadsEveryFieldOfTheAdif3Export) {
  vexa::test::TempDir dir;
  WriteFileBytes(dir.File(log::kLogFileName), kLog);
  int written = 0;
  ASSERT_EQ(log::ExportAdif3(dir.path(), prompt, AdifContestIds(), 969927000, &written), 0);
  EXPECT_EQ(written, 8);
  const std::string adi = ReadFileBytes(dir.File(log::kAdif3FileName));
  std::string out;
  if (!RunNode("adif-parser-ts",
               "const {AdifParser} = require('adif-parser-ts'); const fs = require('fs');\n"
               "const o = AdifParser.parseAdi(fs.readFileSync(process.argv[2], 'utf8'));\n"
               "console.log('adif_ver=' + o.header.adif_ver);\n"
               "for (const r of o.records) console.log(Object.keys(r).map(k => k + '=' + r[k])"
               ".join('|'));\n",
               "'" + dir.File(log::kAdif3FileName) + "'", dir, out))
    GTEST_SKIP() << "node or the npm package adif-parser-ts is not installed "
                    "(scripts/npm-peers.sh)";
  // The peer's fields, record by record, against our own reader of the same file.
  std::string expected = "adif_ver=3.1.4\n";
  for (const log::AdifFields& f : log::ReadAdif(adi).records) {
    std::string line;
    for (const auto& [k, v] : f.fields) {
      if (!line.empty()) line += '|';
      std::string lower = k;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      line += lower + "=" + v;
    }
    expected += line + "\n";
  }
  EXPECT_EQ(out, expected);
  // And the first record against what was logged.
  EXPECT_EQ(out.substr(15, out.find('\n', 15) - 15),
            "call=K1AR|qso_date=20000926|time_on=001000|band=20m|freq=14.085000|mode=RTTY|"
            "rst_sent=599|rst_rcvd=599|stx=14|srx_string=05-MA|contest_id=CQ-WW-RTTY");
}

}  // namespace
}  // namespace vexa::contest
