// The stronger CW decoder: the real "HELLO WORLD" recording from cold (the tone is there from
// the first sample), ebook2cw and fldigi files at three speeds, the 20 WPM file with white noise
// at -6 dB in 2500 Hz against the classic decoder, and noise alone.
#include "decoders/cw_best.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "decoders/rx_test_util.h"
#include "platform/audio/audio_backend.h"
#include "support/test_paths.h"
#include "support/text_score.h"

namespace vexa::decoders {
namespace {

using testutil::WithNoise;

using testutil::RxSetup;

RxSetup Cw(double hz, bool best = true) {
  RxSetup s;
  s.mode = 0;
  s.hz = hz;
  s.best = best;
  return s;
}

std::vector<int16_t> Load(const std::string& rel) {
  std::vector<int16_t> s;
  std::string error;
  EXPECT_TRUE(platform::ReadAudioFile(test::TestDataPath(rel), s, error)) << error;
  return s;
}

std::string Trimmed(std::string s) {
  s = test::NormalizeLineEnds(s);
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

TEST(CwBest, RealHelloWorldDecodesFromCold) {
  const std::string rel = "real/cw_ref_hello_world_8k.wav";
  VEXA_REQUIRE_TESTDATA(rel);
  const auto audio = Load(rel);
  EXPECT_EQ(Trimmed(testutil::Decode(audio, Cw(700))), "HELLO WORLD");
  // The classic decoder starts from a fixed speed and loses the first word.
  EXPECT_EQ(testutil::Decode(audio, Cw(700, false)).find("HELLO"), std::string::npos);
}

class CwBestFile : public ::testing::TestWithParam<const char*> {};

TEST_P(CwBestFile, DecodesTheTextExactly) {
  const std::string rel = std::string("audio/") + GetParam();
  VEXA_REQUIRE_TESTDATA(rel + ".wav");
  const std::string sent = Trimmed(test::ReadFileBytes(test::TestDataPath(rel + ".txt")));
  EXPECT_EQ(Trimmed(testutil::Decode(Load(rel + ".wav"), Cw(800))), sent);
}

INSTANTIATE_TEST_SUITE_P(Peers, CwBestFile,
                         ::testing::Values("cw_e2c_12wpm", "cw_e2c_20wpm", "cw_e2c_28wpm",
                                           "fldigi_cw_20wpm"));

TEST(CwBest, MinusSixDecibelsStaysWithinItsBound) {
  const std::string rel = "audio/cw_e2c_20wpm";
  VEXA_REQUIRE_TESTDATA(rel + ".wav");
  const std::string sent = test::ReadFileBytes(test::TestDataPath(rel + ".txt"));
  const auto clean = Load(rel + ".wav");
  double best = 0, classic = 0;
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    const auto audio = WithNoise(clean, -6, seed);
    best += test::CharErrorRate(Trimmed(sent), Trimmed(testutil::Decode(audio, Cw(800))));
    classic += test::CharErrorRate(Trimmed(sent), Trimmed(testutil::Decode(audio, Cw(800, false))));
  }
  best /= 3;
  classic /= 3;
  std::printf("CER CW -6 dB in 2500 Hz: best %.4f classic %.4f\n", best, classic);
  EXPECT_LE(best, 0.24);  // measured 0.2014 (classic 0.4375)
  EXPECT_LT(best, classic);
}

TEST(CwBest, NoiseAlonePrintsLittle) {
  std::mt19937 rng(5);
  std::normal_distribution<double> n(0, 3000);
  std::vector<int16_t> audio(11025 * 30);
  for (auto& x : audio) x = static_cast<int16_t>(std::clamp(n(rng), -32767.0, 32767.0));
  const std::string got = testutil::Decode(audio, Cw(800));
  std::printf("CW from 30 s of noise: %zu characters\n", got.size());
  EXPECT_LE(got.size(), 20u) << got;  // measured 12
}

}  // namespace
}  // namespace vexa::decoders
