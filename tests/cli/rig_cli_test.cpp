// vexa-cli rig against a scripted transceiver on a pseudo-terminal: reading the dial back and
// setting the operating frequency, and the refusals when CAT or the port is missing.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "support/scripted_rig.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

struct RigCli {
  test::TempDir dir;
  std::ostringstream out, err;
  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    args.insert(args.begin(), {"--config", dir.File("v.ini"), "--workdir", dir.path()});
    return RunCli(args, out, err);
  }
  void Set(const std::string& section, const std::string& key, const std::string& value) {
    ASSERT_EQ(Run({"settings", "set", section, key, value}), kExitOk) << err.str();
  }
};

TEST(RigCli, ReadsAKenwoodAndSetsItForTheSignalUnderTheMarker) {
  const std::string reply = "IF00014070150     +00000000002000000 ;";
  test::ScriptedRig rig({{"IF;", reply}, {"MD2;", ""}});
  ASSERT_TRUE(rig.ok()) << "no pseudo-terminal";
  RigCli c;
  c.Set("TX1", "Type", "4");
  c.Set("TX1", "ComPort", "3");
  c.Set("Ports", "COM3", rig.device());
  rig.Start();
  ASSERT_EQ(c.Run({"rig", "read"}), kExitOk) << c.err.str();
  EXPECT_EQ(c.out.str(), "dial 14.070.150, operating 14.071.150 (PSK31 at 1000 Hz)\n");
  EXPECT_EQ(rig.error(), "");
  rig.Stop();

  // Start-up selects the program mode (PSK31: MD2), then CW keyed by the line (MD3).
  test::ScriptedRig rig2({{"IF;", ""}, {"MD2;", ""}, {"MD3;", ""}, {"FA00007030000;", ""}});
  c.Set("Ports", "COM3", rig2.device());
  c.Set("CW", "UseSB", "0");
  const std::string before = test::ReadFileBytes(c.dir.File("v.ini"));
  rig2.Start();
  ASSERT_EQ(c.Run({"rig", "set", "7.030.000", "--mode", "cw"}), kExitOk) << c.err.str();
  EXPECT_EQ(c.out.str().substr(0, 42), "dial 7.030.000, operating 7.030.000 (CW at");
  rig2.Stop();
  EXPECT_EQ(rig2.error(), "") << rig2.received();
  EXPECT_NE(rig2.received().find("FA00007030000;"), std::string::npos) << rig2.received();
  // The program's own settings are left as they were.
  EXPECT_EQ(test::ReadFileBytes(c.dir.File("v.ini")), before);
  EXPECT_FALSE(std::ifstream(c.dir.File("rig-cli.ini")).good());
}

TEST(RigCli, RefusesWithoutCatAPortOrAFrequency) {
  RigCli c;
  EXPECT_EQ(c.Run({"rig", "read"}), kExitFailure);
  EXPECT_NE(c.err.str().find("TX1 Type = 0"), std::string::npos) << c.err.str();
  c.Set("TX1", "Type", "4");
  c.Set("TX1", "ComPort", "3");
  c.Set("Ports", "COM3", c.dir.File("no-such-tty"));
  EXPECT_EQ(c.Run({"rig", "read"}), kExitFailure);
  EXPECT_NE(c.err.str().find("no-such-tty"), std::string::npos) << c.err.str();
  EXPECT_EQ(c.Run({"rig", "set"}), kExitUsage);
  EXPECT_EQ(c.Run({"rig", "set", "14.07.1"}), kExitUsage);
  EXPECT_EQ(c.Run({"rig", "set", "14070000", "--mode", "bogus"}), kExitUsage);
  EXPECT_EQ(c.Run({"rig"}), kExitUsage);
}

}  // namespace
}  // namespace vexa::cli
