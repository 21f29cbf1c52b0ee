// vexa-cli contest and the ADIF 3 commands of vexa-cli log, end to end in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "support/test_paths.h"
#include "support/two_country_cty.h"

namespace vexa::cli {
namespace {

class ContestCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFileBytes(dir.File("cty.dat"), test::kTwoCountryCty);
    test::WriteFileBytes(dir.File("vexa.ini"),
                         "[Station]\nMyCall=W1AW/P\n[Contest]\nName=WPX RTTY\nClass=0\n");
    test::WriteFileBytes(
        dir.File("log.log"),
        "DL1ABC 12/Feb/2000 00:10:00z 14.085.000 RTTY 599/599 001&001 [WPX RTTY]\r\n\r\n"
        "DL1ABC 12/Feb/2000 00:20:00z 7.040.000 RTTY 599/599 002&015 [WPX RTTY]\r\n\r\n"
        "W2XYZ 12/Feb/2000 00:30:00z 14.086.000 RTTY 599/599 003&010 [WPX RTTY]\r\n\r\n");
  }
  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    args.insert(args.begin(), {"--workdir", dir.path(), "--config", dir.File("vexa.ini")});
    return RunCli(args, out, err);
  }
  test::TempDir dir;
  std::ostringstream out, err;
};

TEST_F(ContestCliTest, ScoresReportsAndWritesCabrillo) {
  // DL1ABC 20 m: 3 points; DL1ABC 40 m: 3 doubled = 6; W2XYZ: same country 1. Prefixes DL1, W2.
  ASSERT_EQ(Run({"contest", "score"}), kExitOk) << err.str();
  EXPECT_NE(out.str().find("Total:\t    3\t   10\t    2\n\n  Claimed Score:\t10*2 = 20 points\n"),
            std::string::npos)
      << out.str();
  ASSERT_EQ(Run({"contest", "report"}), kExitOk) << err.str();
  for (const char* ext : {".log", ".dup", ".wpx", ".sum"})
    EXPECT_TRUE(std::filesystem::exists(dir.File(std::string("W1AW_P") + ext)));
  ASSERT_EQ(Run({"contest", "cabrillo", "--category", "4"}), kExitOk) << err.str();
  const std::string cbr = test::ReadFileBytes(dir.File("W1AW_P.cbr"));
  EXPECT_NE(cbr.find("CONTEST: CQ-WPX-RTTY\r\n"), std::string::npos);
  EXPECT_NE(cbr.find("CATEGORY-BAND: 20M\r\n"), std::string::npos);
  // The 20 m single band: 3 + 1 points on 20 m times 2 prefixes.
  EXPECT_NE(cbr.find("CLAIMED-SCORE: 8\r\n"), std::string::npos) << cbr;
}

TEST_F(ContestCliTest, RefusesUnknownContestsAndCategories) {
  EXPECT_EQ(Run({"contest", "score", "--contest", "Field Day"}), kExitUsage);
  EXPECT_NE(err.str().find("  BARTG SPRING RTTY\n"), std::string::npos);
  EXPECT_EQ(Run({"contest", "score", "--category", "99"}), kExitUsage);
  EXPECT_EQ(Run({"contest", "score", "--category", "-1"}), kExitUsage);
  EXPECT_EQ(Run({"contest"}), kExitUsage);
  std::filesystem::remove(dir.File("log.log"));
  EXPECT_EQ(Run({"contest", "report"}), kExitBadInput);
}

TEST_F(ContestCliTest, ExportsAdif3AndImportsItBackAsDuplicates) {
  ASSERT_EQ(Run({"log", "export", "adif3"}), kExitOk) << err.str();
  const std::string adi = test::ReadFileBytes(dir.File("LOG3.ADI"));
  EXPECT_NE(adi.find("<ADIF_VER:5>3.1.4"), std::string::npos);
  EXPECT_NE(adi.find("<CONTEST_ID:11>CQ-WPX-RTTY"), std::string::npos);
  const std::string before = test::ReadFileBytes(dir.File("log.log"));
  ASSERT_EQ(Run({"log", "import", dir.File("LOG3.ADI")}), kExitOk) << err.str();
  EXPECT_EQ(out.str(), "3 records read, 0 imported, 3 already in the log, 0 not usable\n");
  EXPECT_EQ(test::ReadFileBytes(dir.File("log.log")), before);
  EXPECT_EQ(Run({"log", "import", dir.File("missing.adi")}), kExitBadInput);
}

}  // namespace
}  // namespace vexa::cli
