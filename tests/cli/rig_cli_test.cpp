// vexa-cli rig against a scripted transceiver on a pseudo-terminal: reading the dial back and
// setting the operating frequency, and the refusals when CAT or the port is missing.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "support/hamlib.h"
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
  // (a rig that does not answer is asked again while the command waits for it)
  test::ScriptedRig rig2({{"IF;", ""}, {"MD2;", ""}});
  c.Set("Ports", "COM3", rig2.device());
  c.Set("CW", "UseSB", "0");
  const std::string before = test::ReadFileBytes(c.dir.File("v.ini"));
  rig2.Start();
  ASSERT_EQ(c.Run({"rig", "set", "7.030.000", "--mode", "cw"}), kExitOk) << c.err.str();
  EXPECT_EQ(c.out.str().substr(0, 42), "dial 7.030.000, operating 7.030.000 (CW at");
  rig2.Stop();
  std::string commands = rig2.received();
  for (size_t at; (at = commands.find("IF;")) != std::string::npos;) commands.erase(at, 3);
  EXPECT_EQ(commands, "MD2;MD3;FA00007030000;");
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
  EXPECT_EQ(c.Run({"rig", "qsy"}), kExitUsage);
  EXPECT_EQ(c.Run({"rig", "ptt"}), kExitUsage);
  EXPECT_EQ(c.Run({"rig", "ptt", "maybe"}), kExitUsage);
  EXPECT_EQ(c.Run({"rig", "monitor"}), kExitUsage);
  EXPECT_EQ(c.Run({"rig", "monitor", "-1"}), kExitUsage);
  EXPECT_EQ(c.Run({"rig", "mode", "bogus"}), kExitUsage);
  EXPECT_EQ(c.Run({"rig", "tune"}), kExitUsage);
}

// A Kenwood on the pty for one command: start-up asks where it is (IF;, answered) and selects
// the program's mode (PSK31: MD2;). The rig keeps being polled (IF;) while the command runs, so
// the commands are compared with the polls taken out.
struct KenwoodRun {
  KenwoodRun()
      : rig(std::vector<test::ScriptedRig::Step>{
            {"IF;", "IF00014070150     +00000000002000000 ;"}}) {
    c.Set("TX1", "Type", "4");
    c.Set("TX1", "ComPort", "3");
    c.Set("Ports", "COM3", rig.device());
    c.Set("CW", "UseSB", "0");
    rig.Start();
  }
  std::string Commands() {
    rig.Stop();
    std::string r = rig.received();
    for (size_t at; (at = r.find("IF;")) != std::string::npos;) r.erase(at, 3);
    return r;
  }
  RigCli c;
  test::ScriptedRig rig;
};

TEST(RigCli, FreqReadsAndSetsTheDialInHertz) {
  KenwoodRun k;
  ASSERT_TRUE(k.rig.ok()) << "no pseudo-terminal";
  ASSERT_EQ(k.c.Run({"rig", "freq"}), kExitOk) << k.c.err.str();
  EXPECT_EQ(k.c.out.str(), "14070150\n");
  EXPECT_EQ(k.Commands(), "MD2;");
  KenwoodRun k2;
  ASSERT_EQ(k2.c.Run({"rig", "freq", "7030000"}), kExitOk) << k2.c.err.str();
  EXPECT_EQ(k2.c.out.str(), "7030000\n");
  EXPECT_EQ(k2.Commands(), "MD2;FA00007030000;");
}

TEST(RigCli, ModeAndPttGoToTheRigAndPttIsReleased) {
  KenwoodRun m;
  ASSERT_TRUE(m.rig.ok()) << "no pseudo-terminal";
  ASSERT_EQ(m.c.Run({"rig", "mode", "cw"}), kExitOk) << m.c.err.str();
  EXPECT_EQ(m.c.out.str(), "CW (rig mode 3)\n");
  EXPECT_EQ(m.Commands(), "MD2;MD3;");

  KenwoodRun p;
  ASSERT_EQ(p.c.Run({"rig", "ptt", "on", "--seconds", "0.2"}), kExitOk) << p.c.err.str();
  EXPECT_EQ(p.c.out.str(), "PTT on\nPTT off\n");
  EXPECT_EQ(p.Commands(), "MD2;TX;RX;");
}

TEST(RigCli, StatusAndMonitorShowTheLinkCommandsRepliesAndDecodedValues) {
  KenwoodRun s;
  ASSERT_TRUE(s.rig.ok()) << "no pseudo-terminal";
  ASSERT_EQ(s.c.Run({"rig", "status"}), kExitOk) << s.c.err.str();
  EXPECT_EQ(s.c.out.str(),
            "status: Kenwood\ndial 14.070.150, operating 14.071.150 (PSK31 at 1000 Hz)\n");

  KenwoodRun m;
  ASSERT_EQ(m.c.Run({"rig", "monitor", "0.5"}), kExitOk) << m.c.err.str();
  const std::string out = m.c.out.str();
  for (const char* line : {"> IF;\n", "> MD2;\n", "< IF00014070150     +00000000002000000 ;\n",
                           "dial 14070150\n", "status: Kenwood\n"})
    EXPECT_NE(out.find(line), std::string::npos) << line << " in:\n" << out;
}

TEST(RigCli, EveryCommandWorksAgainstHamlibsRigctld) {
  if (!test::HamlibInstalled())
    GTEST_SKIP() << "hamlib's rigctld/rigctl are not installed (Debian: libhamlib-utils)";
  test::Rigctld daemon;
  ASSERT_TRUE(daemon.ok());
  ASSERT_TRUE(daemon.Command("M PKTUSB 0"));
  RigCli c;
  c.Set("TX1", "Type", "6");
  c.Set("TX1", "NetRigPort", std::to_string(daemon.port()));
  ASSERT_EQ(c.Run({"rig", "freq", "7030000"}), kExitOk) << c.err.str();
  EXPECT_EQ(c.out.str(), "7030000\n");
  EXPECT_EQ(test::RigctlGet(daemon.port(), "f"), "7030000\n");
  ASSERT_EQ(c.Run({"rig", "freq"}), kExitOk) << c.err.str();
  EXPECT_EQ(c.out.str(), "7030000\n");
  ASSERT_EQ(c.Run({"rig", "qsy", "14.071.000", "--mode", "psk31"}), kExitOk) << c.err.str();
  EXPECT_EQ(test::RigctlGet(daemon.port(), "f"), "14070000\n");
  ASSERT_EQ(c.Run({"rig", "mode", "ssb2"}), kExitOk) << c.err.str();  // the lower sideband
  EXPECT_EQ(test::RigctlGet(daemon.port(), "m").substr(0, 4), "LSB\n");
  // (the dummy rig has no PTT to read back: the command goes out and is refused politely)
  ASSERT_EQ(c.Run({"rig", "ptt", "on", "--seconds", "0.1"}), kExitOk) << c.err.str();
  EXPECT_EQ(c.out.str(), "PTT on\nPTT off\n");
  ASSERT_EQ(c.Run({"rig", "status"}), kExitOk) << c.err.str();
  EXPECT_EQ(c.out.str().substr(0, 20), "status: rigctld\ndial") << c.out.str();
}

}  // namespace
}  // namespace vexa::cli
