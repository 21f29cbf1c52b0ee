#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

// The demo is made by the modulators and decoded by the receivers: every station's text must
// come out of its own mode and frequency.
TEST(DemoCli, DecodesEveryStationOfTheDemo) {
  test::TempDir dir;
  std::ostringstream out, err;
  const int code =
      RunCli({"--config", dir.File("v.ini"), "--workdir", dir.path(), "demo", "--seconds", "20"},
             out, err);
  ASSERT_EQ(code, 0) << err.str();
  const std::string o = out.str();
  for (const char* expected : {"== PSK31 at 1000 Hz ==", "CQ CQ CQ de VX1DEM VX1DEM VX1DEM pse k",
                               "== PSK31 at 1500 Hz ==", "VX1DEM de VX3PSK: Good morning",
                               "== QPSK at 1850 Hz ==", "the Viterbi decoder at work",
                               "== RTTY at 2200 Hz ==", "CQ TEST DE VX2RTY VX2RTY 599 001 K",
                               "== CW at 2650 Hz ==", "CQ DE VX5CW VX5CW K"}) {
    EXPECT_NE(o.find(expected), std::string::npos) << expected << "\n" << o;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("v.ini"))) << "the demo leaves the settings alone";
}

TEST(DemoCli, RejectsBadArguments) {
  test::TempDir dir;
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"--workdir", dir.path(), "demo", "--seconds", "-3"}, out, err), 2);
  EXPECT_EQ(RunCli({"--workdir", dir.path(), "demo", "extra"}, out, err), 2);
}

}  // namespace
}  // namespace vexa::cli
