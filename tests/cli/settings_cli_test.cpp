#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

struct CliRun {
  int code;
  std::string out, err;
};

CliRun Cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(SettingsCli, DumpOnAnEmptyConfigPrintsTheWholeTableWithDefaults) {
  test::TempDir dir;
  const std::string ini = dir.File("vexa.ini");
  CliRun r = Cli({"--config", ini, "--workdir", dir.path(), "settings", "dump"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("[Misc]\nSaveFqOnExit=1\nModeOnExit=9\nFqOnExit=14070000\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("[Station]\nUseDE=0\nMyCall=NOCALL\n"), std::string::npos);
  EXPECT_NE(r.out.find("[AX.25]\nDefaultMyCall=NOCALL\n"), std::string::npos);
  EXPECT_NE(r.out.find("KissDisableCommand=^C^C^C\n"), std::string::npos);
  EXPECT_NE(r.out.find("[Memory0]\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(ini)) << "dump must not create the settings file";
}

TEST(SettingsCli, SetThenGetAndDumpShowTheNewValue) {
  test::TempDir dir;
  const std::string ini = dir.File("vexa.ini");
  ASSERT_EQ(Cli({"--config", ini, "settings", "set", "station", "mycall", "DL1ABC"}).code, 0);
  ASSERT_EQ(Cli({"--config", ini, "settings", "set", "TX1", "DigiCommand", "-5"}).code, 0);
  CliRun g = Cli({"--config", ini, "settings", "get", "Station", "MyCall"});
  EXPECT_EQ(g.out, "DL1ABC\n");
  EXPECT_EQ(Cli({"--config", ini, "settings", "get", "TX1", "DigiCommand"}).out, "-5\n");
  // The packet callsigns follow MyCall until they are set themselves.
  EXPECT_EQ(Cli({"--config", ini, "settings", "get", "AX.25", "BeaconSrcCall"}).out, "DL1ABC\n");
  EXPECT_NE(test::ReadFileBytes(ini).find("[Station]\nMyCall=DL1ABC\n"), std::string::npos);
}

TEST(SettingsCli, BadUsageIsRejectedWithExitCode2AndNothingWritten) {
  test::TempDir dir;
  const std::string ini = dir.File("vexa.ini");
  EXPECT_EQ(Cli({"--config", ini, "settings"}).code, 2);
  EXPECT_EQ(Cli({"--config", ini, "settings", "set", "Misc", "AFC"}).code, 2);
  CliRun r = Cli({"--config", ini, "settings", "set", "Misc", "AFC", "on"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("whole number"), std::string::npos);
  EXPECT_EQ(Cli({"--config", ini, "settings", "set", "Misc", "NoSuchKey", "1"}).code, 2);
  EXPECT_EQ(Cli({"--config", ini, "settings", "get", "Misc", "NoSuchKey"}).code, 1);
  EXPECT_EQ(Cli({"--config"}).code, 2);
  EXPECT_EQ(Cli({"frobnicate"}).code, 2);
  EXPECT_FALSE(std::filesystem::exists(ini));
}

TEST(DevicesCli, ListsDevicesOrSaysThereAreNone) {
  test::TempDir dir;
  CliRun r = Cli({"--config", dir.File("v.ini"), "--workdir", dir.path(), "devices"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("Input devices (receive):"), std::string::npos);
  EXPECT_NE(r.out.find("Output devices (transmit):"), std::string::npos);
}

}  // namespace
}  // namespace vexa::cli
