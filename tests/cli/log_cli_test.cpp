// vexa-cli log, lookup and cty: the commands end to end in a temporary working folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "app/application.h"
#include "app/headless_runner.h"
#include "app/main_core.h"
#include "callinfo/local_http_server.h"
#include "cli/cli.h"
#include "support/core_config.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

class LogCliTest : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    args.insert(args.begin(), {"--workdir", dir.path(), "--config", dir.File("vexa.ini")});
    return RunCli(args, out, err);
  }
  std::vector<std::string> OutLines() const {
    std::vector<std::string> lines;
    std::istringstream is(out.str());
    for (std::string l; std::getline(is, l);) lines.push_back(l);
    return lines;
  }

  test::TempDir dir;
  std::ostringstream out, err;
};

TEST_F(LogCliTest, AddSavesOrAsksLikeTheSaveButton) {
  ASSERT_EQ(Run({"log", "add", "W1AW 04/Sep/2000 12:34:56z 14.070.150 PSK31 599/579 JOE"}),
            kExitOk);
  EXPECT_EQ(test::ReadFileBytes(dir.File("log.log")),
            "W1AW 04/Sep/2000 12:34:56z 14.070.150 PSK31 599/579 JOE \r\n\r\n");
  // Without a frequency the record does not parse: No by default, Yes with --yes.
  EXPECT_EQ(Run({"log", "add", "K1ABC", "599/579"}), kExitFailure);
  EXPECT_NE(err.str().find("Not parsed"), std::string::npos);
  EXPECT_EQ(Run({"log", "add", "--yes", "K1ABC", "599/579"}), kExitOk);
  EXPECT_NE(err.str().find("Ignored, not saved"), std::string::npos);
  // Stamped with frequency and mode from the options.
  ASSERT_EQ(Run({"log", "add", "--freq", "7.035.000", "--mode", "rtty", "DL1ABC 579/559"}),
            kExitOk);
  const std::string log = test::ReadFileBytes(dir.File("log.log"));
  EXPECT_NE(log.find("\r\n\r\nDL1ABC 579/559 "), std::string::npos);
  EXPECT_NE(log.find("z RTTY 7.035.000 \r\n\r\n"), std::string::npos);
  EXPECT_EQ(Run({"log", "add", "--mode", "NOSUCH", "DL1ABC"}), kExitUsage);
  EXPECT_EQ(Run({"log", "add"}), kExitUsage);
}

TEST_F(LogCliTest, CheckListsErrorsAndTotals) {
  EXPECT_EQ(Run({"log", "check"}), kExitBadInput);  // no log yet
  test::WriteFileBytes(dir.File("log.log"),
                       "W1AW 04/Sep/2000 12:34:56z 14.070.150 CW\r\n\r\n"
                       "; comment\r\n\r\n"
                       "broken record\r\n\r\n"
                       "K1ABC 04/Sep/2000 12:35:56z 14.070.150 CW");
  EXPECT_EQ(Run({"log", "check"}), kExitFailure);
  EXPECT_EQ(out.str(), "Log errors:\nLine 6: broken record\nlines: 7\nQSOs: 2\nerrors: 1\n");
}

TEST_F(LogCliTest, ExportWritesTheFiles) {
  test::WriteFileBytes(dir.File("log.log"), "W1AW 04/Sep/2000 12:34:56z 14.070.150 CW 599/599\r\n");
  ASSERT_EQ(Run({"log", "export", "csv"}), kExitOk);
  EXPECT_EQ(out.str(), "Your log is converted to LOG.CSV\n");
  EXPECT_EQ(test::ReadFileBytes(dir.File("LOG.CSV")),
            "W1AW;2000-09-04 12:34:56;14070150;CW  ;599;599;;;;\r\n");
  ASSERT_EQ(Run({"log", "export", "adif"}), kExitOk);
  EXPECT_NE(test::ReadFileBytes(dir.File("LOG.ADI")).find("<CALL:4>W1AW"), std::string::npos);
  EXPECT_EQ(Run({"log", "export", "xml"}), kExitUsage);
}

TEST_F(LogCliTest, LookupPrintsOneLinePerCall) {
  VEXA_REQUIRE_TESTDATA("cty/cty.dat");
  // Without a country file: a plain hint and empty fields.
  ASSERT_EQ(Run({"lookup", "DL1ABC"}), kExitOk);
  EXPECT_EQ(out.str(), "DL1ABC\t-1\t\t\t\t-1\t-1\t\n");
  EXPECT_NE(err.str().find("vexa-cli cty update"), std::string::npos);

  ASSERT_EQ(Run({"cty", "install", test::TestDataPath("cty/cty.dat")}), kExitOk);
  ASSERT_EQ(Run({"settings", "set", "Station", "MyLatitude", "0.000000"}), kExitOk);
  ASSERT_EQ(Run({"settings", "set", "Station", "MyLongitude", "-60.000000"}), kExitOk);
  ASSERT_EQ(Run({"lookup", "DL1ABC", "w1aw/p", "QQ1QQ"}), kExitOk);
  EXPECT_EQ(err.str(), "");
  const auto lines = OutLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(0, lines[0].rfind('\t') + 1),
            "DL1ABC\t94\tFed. Rep. of Germany\tDL\tEU\t14\t28\t");
  EXPECT_EQ(lines[1].substr(0, lines[1].rfind('\t') + 1),
            "w1aw/p\t183\tUnited States\tK\tNA\t5\t8\t");
  EXPECT_EQ(lines[2], "QQ1QQ\t-1\t\t\t\t-1\t-1\t");
  // Bearing from 0 N 60 W to Germany (51 N, 10 E), by the atan2 formula: about 36 degrees.
  const double r = M_PI / 180, dl = 70 * r;
  const double b = std::atan2(std::sin(dl) * std::cos(51 * r), std::sin(51 * r)) / r;
  EXPECT_NEAR(std::stod(lines[0].substr(lines[0].rfind('\t') + 1)), b, 0.51);
}

TEST_F(LogCliTest, LookupFallsBackToTheOwnCallsCountry) {
  VEXA_REQUIRE_TESTDATA("cty/cty.dat");
  ASSERT_EQ(Run({"cty", "install", test::TestDataPath("cty/cty.dat")}), kExitOk);
  ASSERT_EQ(Run({"settings", "set", "Station", "MyCall", "W1XYZ"}), kExitOk);
  ASSERT_EQ(Run({"lookup", "K2ABC", "DL1ABC"}), kExitOk);
  const auto lines = OutLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].back(), '\t');  // same country position: no bearing
  EXPECT_NE(lines[1].back(), '\t');
}

TEST_F(LogCliTest, CtyUpdateDownloadsAndInstallRefusesJunk) {
  VEXA_REQUIRE_TESTDATA("cty/cty.dat");
  const std::string file = test::ReadFileBytes(test::TestDataPath("cty/cty.dat"));
  test::LocalHttpServer server({{"/cty.dat", {200, file}}});
  ASSERT_TRUE(server.ok());
  ASSERT_EQ(Run({"cty", "update", server.Url("/cty.dat")}), kExitOk);
  EXPECT_EQ(test::ReadFileBytes(dir.File("cty.dat")), file);
  test::WriteFileBytes(dir.File("junk"), "not a country file\n");
  EXPECT_EQ(Run({"cty", "install", dir.File("junk")}), kExitBadInput);
  EXPECT_EQ(test::ReadFileBytes(dir.File("cty.dat")), file);
  EXPECT_EQ(Run({"cty", "update", server.Url("/other.dat")}), kExitFailure);
  EXPECT_EQ(Run({"cty"}), kExitUsage);
}

TEST_F(LogCliTest, StatsCountsTheLoggedCountries) {
  VEXA_REQUIRE_TESTDATA("cty/cty.dat");
  ASSERT_EQ(Run({"cty", "install", test::TestDataPath("cty/cty.dat")}), kExitOk);
  test::WriteFileBytes(dir.File("log.log"),
                       "W1AW 04/Sep/2000 12:34:56z 14.080.000 RTTY\r\n\r\n"
                       "DL1ABC 04/Sep/2000 12:35:56z 14.070.150 PSK31\r\n\r\n"
                       "K1ABC 04/Sep/2000 12:36:56z 7.030.000 CW\r\n\r\n");
  ASSERT_EQ(Run({"log", "stats"}), kExitOk);
  const auto lines = OutLines();
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[4], "  7.0:\t  1\t  1\t  0\t  0\t  0\t  0\t  1\t  1\t  0");
  EXPECT_EQ(lines[6], " 14.0:\t  2\t  0\t  0\t  1\t  1\t  0\t  2\t  2\t  0");
  EXPECT_EQ(lines[11], "TOTAL:\t  2\t  1\t  0\t  1\t  1\t  0\t  2\t  2\t  0");
  EXPECT_EQ(lines[13], "QSOs total: 3");
}

// The program keeps the worked tables between runs: a start with a log and a country file, a
// contact saved in the session, then exit leave a "qcty.dat" from which the statistics come out
// as from the log itself.
TEST_F(LogCliTest, TheWorkedFileOfARunGivesTheSameStatisticsAsTheLog) {
  VEXA_REQUIRE_TESTDATA("cty/cty.dat");
  ASSERT_EQ(Run({"cty", "install", test::TestDataPath("cty/cty.dat")}), kExitOk);
  test::WriteFileBytes(dir.File("log.log"),
                       "W1AW 04/Sep/2000 12:34:56z 14.080.000 RTTY 599/599\r\n\r\n"
                       "DL1ABC 04/Sep/2000 12:35:56z 14.070.150 PSK31 599/599\r\n\r\n"
                       "JA1XYZ 05/Sep/2000 08:00:00z 21.070.000 PSK31 599/599\r\n\r\n"
                       "K1ABC 04/Sep/2000 12:36:56z 7.030.000 CW 599/599\r\n\r\n");
  {
    platform::SettingsStore store(dir.File("vexa.ini"));
    platform::FixedPrompt prompt(platform::PromptAnswer::Yes);
    std::unique_ptr<platform::AudioBackend> audio = platform::MakeNullBackend();
    app::Application application(test::TestCoreConfig(store, dir.path(), prompt, *audio),
                                 platform::TraceLog());
    app::HeadlessRunner runner;
    runner.onStart = [](app::MainCore& core) {
      // A contact of this session: a new country on a new band.
      core.logbook().entry().frequencyText = "3.580.000";
      core.SetMode(Mode::Psk31);
      core.logbook().TypeEntry("VK2ABC 599 599");
      EXPECT_EQ(core.logbook().SaveEntry(), log::kSaveOk);
    };
    (void)application.InitInstance(runner);
  }
  ASSERT_TRUE(std::filesystem::exists(dir.File("qcty.dat")));

  // The statistics from the worked file alone (the log moved away)...
  std::rename(dir.File("log.log").c_str(), dir.File("log.away").c_str());
  ASSERT_EQ(Run({"log", "stats"}), kExitOk);
  const auto fromWorkedFile = OutLines();
  // ...and from the log alone (no worked file).
  std::rename(dir.File("log.away").c_str(), dir.File("log.log").c_str());
  std::remove(dir.File("qcty.dat").c_str());
  ASSERT_EQ(Run({"log", "stats"}), kExitOk);
  const auto fromLog = OutLines();
  ASSERT_EQ(fromLog.size(), 14u);
  EXPECT_EQ(fromLog[13], "QSOs total: 5");
  ASSERT_EQ(fromWorkedFile.size(), 12u);  // no log: no QSO total
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(fromWorkedFile[i], fromLog[i]) << "line " << i;
  EXPECT_EQ(fromLog[3], "  3.5:\t  1\t  0\t  0\t  0\t  1\t  0\t  1\t  1\t  0");
  EXPECT_EQ(fromLog[11], "TOTAL:\t  4\t  1\t  0\t  1\t  3\t  0\t  4\t  4\t  0");
}

}  // namespace
}  // namespace vexa::cli
