// vexa-cli contest qtc: the next WAE QTC of the log for a station, recorded with --confirm, and a
// received QTC kept from a file, end to end in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "support/test_paths.h"
#include "support/two_country_cty.h"

namespace vexa::cli {
namespace {

class QtcCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFileBytes(dir.File("cty.dat"), test::kTwoCountryCty);
    test::WriteFileBytes(dir.File("vexa.ini"),
                         "[Station]\nMyCall=K1ABC\n[Contest]\nName=WAE RTTY\n");
    test::WriteFileBytes(
        dir.File("log.log"),
        "DL1AA 13/Nov/1999 00:01:00z 14.085.000 RTTY 599/599 001&005 [WAE RTTY]\r\n\r\n"
        "not a record at all\r\n\r\n"
        "DL6RAI 13/Nov/1999 00:03:00z 14.086.000 RTTY 599/599 002&012 [WAE RTTY]\r\n\r\n"
        "DA0WAE 13/Nov/1999 00:07:00z 14.087.000 RTTY 599/599 003&033 [WAE RTTY]\r\n\r\n");
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

const char* const kQtcText =
    "\nQTC 1/2 FOR DL6RAI\n0001/DL1AA/005\n0007/DA0WAE/033\n\nEND OF QTC 1/2\nCFM? BK<RX>\n";

TEST_F(QtcCliTest, ShowsTheNextQtcAndRecordsItWhenConfirmed) {
  ASSERT_EQ(Run({"contest", "qtc", "--call", "dl6rai"}), kExitOk) << err.str();
  EXPECT_EQ(out.str(), kQtcText);
  EXPECT_FALSE(std::filesystem::exists(dir.File("QTC.LOG"))) << "shown only";

  ASSERT_EQ(Run({"contest", "qtc", "--call", "DL6RAI", "--confirm"}), kExitOk) << err.str();
  EXPECT_EQ(out.str(), std::string(kQtcText) +
                           "recorded QTC 1/2 to DL6RAI in QTC.LOG; next position 4, series 2\n");
  const std::string record = test::ReadFileBytes(dir.File("QTC.LOG"));
  EXPECT_NE(record.find(" Sent QTC 1/2 to DL6RAI\r\n0001/DL1AA/005\r\n0007/DA0WAE/033\r\n\r\n\r\n"),
            std::string::npos)
      << record;
  const std::string ini = test::ReadFileBytes(dir.File("vexa.ini"));
  EXPECT_NE(ini.find("QtcPosition=4"), std::string::npos) << ini;
  EXPECT_NE(ini.find("QtcNumber=2"), std::string::npos) << ini;

  // Everything sent.
  EXPECT_EQ(Run({"contest", "qtc", "--call", "DL6RAI"}), kExitFailure);
  EXPECT_NE(err.str().find("No contacts left for a QTC"), std::string::npos) << err.str();
}

TEST_F(QtcCliTest, RefusesAStationOnTheOwnContinentAndBadArguments) {
  EXPECT_EQ(Run({"contest", "qtc", "--call", "W2XX"}), kExitUsage);
  EXPECT_NE(err.str().find("W2XX is no station outside NA"), std::string::npos) << err.str();
  EXPECT_EQ(Run({"contest", "qtc"}), kExitUsage);
  EXPECT_EQ(Run({"contest", "qtc", "--call"}), kExitUsage);
  EXPECT_EQ(Run({"contest", "qtc", "--received", "DL6RAI"}), kExitUsage);
  EXPECT_FALSE(std::filesystem::exists(dir.File("QTC.LOG")));
}

TEST_F(QtcCliTest, KeepsAReceivedQtcFromAFile) {
  test::WriteFileBytes(dir.File("rx.txt"), "QTC 7/1 FOR K1ABC\n0100/DL1AA/017\n");
  ASSERT_EQ(Run({"contest", "qtc", "--received", "DL6RAI", dir.File("rx.txt")}), kExitOk)
      << err.str();
  const std::string record = test::ReadFileBytes(dir.File("QTC.LOG"));
  EXPECT_NE(record.find(" Rcvd QTC from DL6RAI\r\nQTC 7/1 FOR K1ABC\r\n0100/DL1AA/017\r\n\r\n"),
            std::string::npos)
      << record;
  test::WriteFileBytes(dir.File("empty.txt"), "\n\n");
  EXPECT_EQ(Run({"contest", "qtc", "--received", "DL6RAI", dir.File("empty.txt")}), kExitBadInput);
  EXPECT_NE(err.str().find("Mark QTC to save"), std::string::npos);
  EXPECT_EQ(Run({"contest", "qtc", "--received", "DL6RAI", dir.File("none.txt")}), kExitBadInput);
}

}  // namespace
}  // namespace vexa::cli
