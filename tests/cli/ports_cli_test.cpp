// vexa-cli ports monitor on a pseudo-terminal: the bytes a transceiver sends, in hexadecimal,
// through the port's reader thread; and the refusals for a port that is off or absent.
#include <gtest/gtest.h>

#include <termios.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "cli/cli.h"
#include "support/pty.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

std::ostringstream quiet;

struct PortsRun {
  int code = -1;
  std::string out, err;
};

PortsRun Ports(const test::TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), {"--config", dir.File("v.ini"), "--workdir", dir.path(), "ports"});
  std::ostringstream out, err;
  PortsRun r;
  r.code = RunCli(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

TEST(PortsCli, TheMonitorShowsWhatTheTransceiverSends) {
  test::Pty pty;
  ASSERT_FALSE(pty.name.empty()) << "no pseudo-terminal";
  test::TempDir dir;
  ASSERT_EQ(RunCli({"--config", dir.File("v.ini"), "settings", "set", "Ports", "COM5", pty.name},
                   quiet, quiet),
            0);
  ASSERT_EQ(RunCli({"--config", dir.File("v.ini"), "settings", "set", "TX1", "ComPort", "5"},
                   std::cout, std::cerr),
            0);
  // The rig answers once the monitor has set up the line (opening flushes what came before);
  // 22 bytes end it.
  std::thread rig([&] {
    for (int i = 0; i < 10000; ++i) {
      termios t{};
      if (tcgetattr(pty.slave, &t) == 0 && cfgetospeed(&t) == B1200) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::string bytes;
    for (int i = 0; i < 22; ++i) bytes.push_back(static_cast<char>(i * 11));
    (void)pty.WriteMaster(bytes);
  });
  const PortsRun r = Ports(dir, {"monitor", "--count", "22", "--seconds", "20"});
  rig.join();
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("Monitoring COM5 (" + pty.name + ", 1200 baud)"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\n5: 00 0b 16 21 2c 37 42 4d 58 63 6e 79 84 8f 9a a5 b0 bb c6 d1"
                       "\n   dc e7\n22 bytes\n"),
            std::string::npos)
      << r.out;
}

TEST(PortsCli, TheMonitorRefusesAPortThatIsOffOrMissing) {
  test::TempDir dir;
  ASSERT_EQ(RunCli({"--config", dir.File("v.ini"), "settings", "set", "TX1", "ComPort", "0"}, quiet,
                   quiet),
            0);
  PortsRun r = Ports(dir, {"monitor"});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("the transceiver port is off"), std::string::npos) << r.err;

  ASSERT_EQ(RunCli({"--config", dir.File("v.ini"), "settings", "set", "TX1", "ComPort", "3"}, quiet,
                   quiet),
            0);
  ASSERT_EQ(RunCli({"--config", dir.File("v.ini"), "settings", "set", "Ports", "COM3",
                    dir.File("no-such-tty")},
                   quiet, quiet),
            0);
  r = Ports(dir, {"monitor", "--seconds", "1"});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("no-such-tty"), std::string::npos) << r.err;

  EXPECT_EQ(Ports(dir, {"monitor", "--count", "x"}).code, kExitUsage);
  EXPECT_EQ(Ports(dir, {"monitor", "--bogus"}).code, kExitUsage);
}

}  // namespace
}  // namespace vexa::cli
