// vexa-cli rx --demod: the stronger RTTY demodulator on the command line, and its usage errors.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_run.h"
#include "support/test_paths.h"
#include "support/text_score.h"

namespace vexa::cli {
namespace {

TEST(RxDemodCli, UnknownDemodulatorIsAUsageError) {
  test::TempDir dir;
  const CliRun r = Cli(dir, {"rx", "--mode", "rtty", "--demod", "fast", "x.wav"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("unknown demodulator 'fast'"), std::string::npos) << r.err;
  EXPECT_EQ(Cli(dir, {"rx", "--mode", "rtty", "--demod"}).code, 2);
}

// The noisy minimodem recording: the classic demodulator loses 7 % of the characters, the
// stronger one a single character after the end of the transmission.
TEST(RxDemodCli, BestDemodulatorReadsTheNoisyPeerFile) {
  const std::string rel = "audio/rtty_mm_45b_s170_snr-5";
  VEXA_REQUIRE_TESTDATA(rel + ".wav");
  test::TempDir dir;
  const std::string wav = test::TestDataPath(rel + ".wav");
  const std::string sent =
      test::NormalizeLineEnds(test::ReadFileBytes(test::TestDataPath(rel + ".txt")));
  const CliRun best =
      Cli(dir, {"rx", "--mode", "rtty", "--unshift-on-space", "--demod", "best", wav});
  const CliRun classic = Cli(dir, {"rx", "--mode", "rtty", "--unshift-on-space", wav});
  ASSERT_EQ(best.code, 0) << best.err;
  const double b = test::CharErrorRate(sent, test::NormalizeLineEnds(best.out));
  const double c = test::CharErrorRate(sent, test::NormalizeLineEnds(classic.out));
  EXPECT_LE(b, 0.004);
  EXPECT_GT(c, 0.05);
  EXPECT_EQ(Cli(dir, {"rx", "--mode", "rtty", "--unshift-on-space", "--demod", "classic", wav}).out,
            classic.out);
}

}  // namespace
}  // namespace vexa::cli
