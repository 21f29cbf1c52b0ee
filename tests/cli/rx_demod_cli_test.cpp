// vexa-cli rx --demod: the stronger RTTY and MTTY demodulators on the command line, and the
// usage errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_run.h"
#include "platform/audio/audio_backend.h"
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

// MTTY from vexa-cli tx, 3 Hz above the receive frequency: the stronger demodulator prints it
// exactly, and with seeded noise added it loses far fewer characters than the classic one.
TEST(RxDemodCli, BestDemodulatorReadsVexaMtty) {
  test::TempDir dir;
  const std::string text = "CQ CQ DE VEXA TEST 73 THE QUICK BROWN FOX JUMPS OVER 1234567890";
  std::string sent;
  for (int i = 0; i < 4; ++i) sent += text + "\n";
  const std::string clean = dir.File("mtty.wav"), noisy = dir.File("mtty_noisy.wav");
  CliRun r = Cli(dir, {"tx", "--mode", "mtty", "--freq", "1003", "--text", sent, "-o", clean});
  ASSERT_EQ(r.code, 0) << r.err;
  const CliRun best = Cli(dir, {"rx", "--mode", "mtty", "--demod", "best", clean});
  ASSERT_EQ(best.code, 0) << best.err;
  // The transmission begins with CR LF.
  EXPECT_EQ(test::NormalizeLineEnds(best.out), "\n" + sent);

  // The signal at a quarter of its level and seeded noise of sigma 12000: about -3 dB with the
  // noise in 2500 Hz.
  std::vector<int16_t> s;
  std::string error;
  ASSERT_TRUE(platform::ReadAudioFile(clean, s, error)) << error;
  std::mt19937 rng(77);
  std::normal_distribution<double> n(0, 12000);
  for (auto& v : s) v = static_cast<int16_t>(std::clamp(0.25 * v + n(rng), -32767.0, 32767.0));
  ASSERT_TRUE(platform::WriteWavFile(noisy, s, error)) << error;
  const CliRun b = Cli(dir, {"rx", "--mode", "mtty", "--demod", "best", noisy});
  const CliRun c = Cli(dir, {"rx", "--mode", "mtty", noisy});
  const double bc = test::CharErrorRate("\n" + sent, test::NormalizeLineEnds(b.out));
  const double cc = test::CharErrorRate("\n" + sent, test::NormalizeLineEnds(c.out));
  std::printf("vexa-cli MTTY CER: best %.4f, classic %.4f\n", bc, cc);
  // Measured 0.0039 and 0.1128.
  EXPECT_LE(bc, 0.01);
  EXPECT_GE(cc, 0.08);
  EXPECT_EQ(Cli(dir, {"rx", "--mode", "mtty", "--demod", "classic", noisy}).out, c.out);
}

}  // namespace
}  // namespace vexa::cli
