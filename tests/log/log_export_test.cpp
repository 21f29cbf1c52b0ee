// ADIF and CSV export: exact bytes of the files, the edge cases, and the exported ADIF read
// back by an independent, maintained ADIF parser (the npm package adif-parser-ts) when Node.js
// is present.
#include "log/log_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "log/log_file.h"
#include "log/scripted_prompt.h"
#include "support/test_paths.h"

namespace vexa::log {
namespace {

const char* const kLog =
    "; exported from the test\r\n\r\n"
    "DL1ABC 04/Sep/2000 12:34:56z 14.070.150 PSK31 599/579 001&023 NAME QTH [CQ WW RTTY]\r\n\r\n"
    "W1AW 05/Sep/2000 01:02:03z 5.000.000 CW\r\n\r\n"  // outside every band, no reports
    "K1ABC 06/Sep/2000 23:59:59 14.080.000 RTTY 599/599 &7 A;B \"Q\"\r\n\r\n"
    "NOFREQ 06/Sep/2000 10:00:00 RTTY\r\n\r\n"
    "VK2ABC 07/Sep/2000 06:00:00z\r\n21.300.000 SSB 59/57";  // after the last blank line

TEST(ExportAdif, WritesHeaderAndRecordsExactly) {
  test::TempDir dir;
  test::WriteFileBytes(dir.File(kLogFileName), kLog);
  test::ScriptedPrompt prompt;
  int written = 0;
  ASSERT_EQ(ExportAdif(dir.path(), prompt, &written), kExportOk);
  EXPECT_EQ(written, 4);
  const std::string expected =
      "Vexa v 1.45 log file exported to ADIF\r\n<ADIF_VER:4>1.00\r\n<EOH>\r\n"
      "<CALL:6>DL1ABC<TIME_ON:6>123456<QSO_DATE:8>20000904<FREQ:9>14.070150<BAND:3>20M"
      "<MODE:3>PSK<RST_SENT:3>599<RST_RCVD:3>579<COMMENT:22>NAME QTH [CQ WW RTTY] "
      "<STX:3:C>001<SRX:3:C>023<EOR>\r\n"
      "<CALL:4>W1AW<TIME_ON:6>010203<QSO_DATE:8>20000905<FREQ:8>5.000000"
      "<MODE:2>CW<RST_SENT:0><RST_RCVD:0><COMMENT:0><EOR>\r\n"
      "<CALL:5>K1ABC<TIME_ON:6>235959<QSO_DATE:8>20000906<FREQ:9>14.080000<BAND:3>20M"
      "<MODE:4>RTTY<RST_SENT:3>599<RST_RCVD:3>599<COMMENT:8>A;B \"Q\" "
      "<STX:0:C><SRX:1:C>7<EOR>\r\n"
      "<CALL:6>VK2ABC<TIME_ON:6>060000<QSO_DATE:8>20000907<FREQ:9>21.300000<BAND:3>15M"
      "<MODE:3>SSB<RST_SENT:2>59<RST_RCVD:2>57<COMMENT:0><EOR>\r\n";
  EXPECT_EQ(test::ReadFileBytes(dir.File(kAdifFileName)), expected);
  // One message for the record without a frequency, none for the comment, then the report.
  ASSERT_EQ(prompt.messages.size(), 2u);
  EXPECT_EQ(prompt.messages[0], "Not parsed:\r\nNOFREQ 06/Sep/2000 10:00:00 RTTY");
  EXPECT_EQ(prompt.messages[1], "Your log is converted to LOG.ADI");
}

TEST(ExportCsv, WritesOneLinePerRecordAndQuotesWhereNeeded) {
  test::TempDir dir;
  test::WriteFileBytes(dir.File(kLogFileName), kLog);
  test::ScriptedPrompt prompt;
  ASSERT_EQ(ExportCsv(dir.path(), prompt), kExportOk);
  EXPECT_EQ(test::ReadFileBytes(dir.File(kCsvFileName)),
            "DL1ABC;2000-09-04 12:34:56;14070150;PSK ;599;579;NAME QTH [CQ WW RTTY] ;001;023;\r\n"
            "W1AW;2000-09-05 01:02:03;5000000;CW  ;;;;;;\r\n"
            "K1ABC;2000-09-06 23:59:59;14080000;RTTY;599;599;\"A;B \"\"Q\"\" \";;7;\r\n"
            "VK2ABC;2000-09-07 06:00:00;21300000;SSB ;59;57;;;;\r\n");
  EXPECT_EQ(prompt.messages.back(), "Your log is converted to LOG.CSV");
}

TEST(ExportAdif, MissingLogIsReportedAndWritesNothing) {
  test::TempDir dir;
  test::ScriptedPrompt prompt;
  EXPECT_EQ(ExportAdif(dir.path(), prompt), kExportNoLog);
  ASSERT_EQ(prompt.messages.size(), 1u);
  EXPECT_EQ(prompt.messages[0], "Can't open log file");
  EXPECT_FALSE(std::filesystem::exists(dir.File(kAdifFileName)));
}

// Runs a command and returns its standard output; `status` receives the exit status.
std::string RunCommand(const std::string& cmd, int& status) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) {
    status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  status = pclose(p);
  return out;
}

TEST(ExportAdif, IndependentParserReadsEveryField) {
  int status = 0;
  RunCommand("command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1", status);
  if (status != 0) GTEST_SKIP() << "Node.js or npm not installed: independent ADIF check skipped";
  const std::string npmDir = std::string(VEXA_BIN_DIR) + "/../npm";
  if (!std::filesystem::exists(npmDir + "/node_modules/adif-parser-ts/package.json")) {
    RunCommand("npm install --prefix '" + npmDir + "' adif-parser-ts >/dev/null 2>&1", status);
    if (status != 0)
      GTEST_SKIP() << "npm install adif-parser-ts failed (offline?): independent check skipped";
  }

  test::TempDir dir;
  test::WriteFileBytes(dir.File(kLogFileName), kLog);
  test::ScriptedPrompt prompt;
  ASSERT_EQ(ExportAdif(dir.path(), prompt), kExportOk);

  // Every record as "field=value" lines, records separated by "--"; the header first.
  const std::string script =
      "const {AdifParser}=require('adif-parser-ts');"
      "const t=require('fs').readFileSync(process.argv[2],'latin1');"
      "const a=AdifParser.parseAdi(t);"
      "let o='adif_ver='+a.header.adif_ver+'\\n';"
      "for(const r of a.records){o+='--\\n';"
      "for(const k of Object.keys(r).sort())o+=k+'='+r[k]+'\\n';}"
      "process.stdout.write(o);";
  test::WriteFileBytes(dir.File("read.js"), script);
  const std::string out =
      RunCommand("cd '" + npmDir + "' && NODE_PATH='" + npmDir + "/node_modules' node '" +
                     dir.File("read.js") + "' '" + dir.File(kAdifFileName) + "'",
                 status);
  ASSERT_EQ(status, 0) << out;

  // The expectation comes from parsing the log ourselves.
  std::string expected = "adif_ver=1.00\n";
  for (const LogFileRecord& rec : SplitLogRecords(kLog)) {
    QsoRecord r;
    if (ParseQsoText(rec.text, r) != kQsoOk) continue;
    std::map<std::string, std::string> f;
    char date[16], time[8], freq[32];
    std::snprintf(date, sizeof date, "%04d%02d%02d", r.when.year, r.when.month, r.when.day);
    std::snprintf(time, sizeof time, "%02d%02d%02d", r.when.hour, r.when.minute, r.when.second);
    std::snprintf(freq, sizeof freq, "%.6f", r.frequency / 1e6);
    f["call"] = r.call;
    f["qso_date"] = date;
    f["time_on"] = time;
    f["freq"] = freq;
    std::string mode = r.mode;
    while (!mode.empty() && mode.back() == ' ') mode.pop_back();
    f["mode"] = mode;
    f["rst_sent"] = r.rstSent;
    f["rst_rcvd"] = r.rstReceived;
    f["comment"] = r.comment;
    if (r.frequency >= 14000000 && r.frequency <= 14350999) f["band"] = "20M";
    if (r.frequency >= 21000000 && r.frequency <= 21450999) f["band"] = "15M";
    if (!r.exchangeSent.empty() || !r.exchangeReceived.empty()) {
      f["stx"] = r.exchangeSent;
      f["srx"] = r.exchangeReceived;
    }
    expected += "--\n";
    for (const auto& [k, v] : f) expected += k + "=" + v + "\n";
  }
  EXPECT_EQ(out, expected);
}

}  // namespace
}  // namespace vexa::log
