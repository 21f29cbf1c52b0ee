// vexa-cli rx for CW, Hellschreiber, FSK31 (both variants) and the PACTOR monitor.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "decoders/pactor_huffman.h"
#include "platform/audio/audio_backend.h"
#include "support/cw_score.h"
#include "support/cw_signal.h"
#include "support/fsk31_signal.h"
#include "support/pactor_signal.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

struct RxResult {
  int code;
  std::string out;
  std::string err;
};

RxResult Rx(const test::TempDir& dir, std::vector<std::string> args) {
  std::vector<std::string> full = {"--workdir", dir.path(), "rx"};
  full.insert(full.end(), args.begin(), args.end());
  std::ostringstream out, err;
  const int code = RunCli(full, out, err);
  return {code, out.str(), err.str()};
}

std::string Wav(const test::TempDir& dir, const std::string& name,
                const std::vector<int16_t>& samples) {
  std::string error;
  const std::string path = dir.File(name);
  EXPECT_TRUE(platform::WriteWavFile(path, samples, error)) << error;
  return path;
}

TEST(RxCliModes, ImageOptionGoesWithHellOnly) {
  test::TempDir dir;
  const RxResult a = Rx(dir, {"--mode", "hell", "x.wav"});
  EXPECT_EQ(a.code, kExitUsage);
  EXPECT_NE(a.err.find("give --image OUT.pgm"), std::string::npos) << a.err;
  const RxResult b = Rx(dir, {"--mode", "cw", "--image", "x.pgm", "x.wav"});
  EXPECT_EQ(b.code, kExitUsage);
  EXPECT_NE(b.err.find("--image goes with --mode hell"), std::string::npos) << b.err;
  const RxResult c = Rx(dir, {"--mode", "hell", "x.wav", "--image"});
  EXPECT_EQ(c.code, kExitUsage);
  EXPECT_NE(c.err.find("--image needs a value"), std::string::npos) << c.err;
}

TEST(RxCliModes, CwDecodesGeneratedMorseAtTheGivenFrequency) {
  test::TempDir dir;
  test::MorseParams p;
  p.toneHz = 700;
  const auto wav = Wav(dir, "cw.wav", test::MakeMorseAudio("TEST DE K2ABC K2ABC", p));
  const RxResult r = Rx(dir, {"--mode", "cw", "--freq", "700", wav});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  const std::string got = test::SquashWhitespace(r.out);
  EXPECT_NE(got.find("DE K2ABC K2ABC"), std::string::npos) << got;
}

TEST(RxCliModes, Fsk31BothVariantsDecode) {
  test::TempDir dir;
  const std::string text = "fsk31 from the command line\r\n";
  for (bool differential : {false, true}) {
    test::Fsk31Params p;
    p.differential = differential;
    const auto wav = Wav(dir, "fsk.wav", test::MakeFsk31Audio(text, p));
    const RxResult r = Rx(dir, {"--mode", differential ? "fsk31b" : "fsk31", wav});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("fsk31 from the command line\r"), std::string::npos) << r.out;
  }
}

TEST(RxCliModes, PactorMonitorShowsFramesAndCalls) {
  test::TempDir dir;
  std::vector<test::PactorBurst> bursts;
  bursts.push_back({100, test::MakePactorCallFrame("K2ABC")});
  bursts.push_back({100, test::MakePactorCallFrame("K2ABC")});
  for (const auto& f :
       test::PactorTextFrames("HELLO FROM PACTOR\r\n", 200, decoders::PactorHuffmanCode, 1)) {
    bursts.push_back({200, f});
  }
  test::PactorAudioParams p;
  const auto wav = Wav(dir, "pactor.wav", test::MakePactorAudio(bursts, p));
  const RxResult r = Rx(dir, {"--mode", "pactor", "--freq", "1500", wav});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "\r\n<C:K2ABC>HELLO FROM PACTOR\r\n");
}

TEST(RxCliModes, HellWritesAReadableStripImage) {
  const std::string rel = "audio/fldigi_feldhell.wav";
  VEXA_REQUIRE_TESTDATA(rel);
  test::TempDir dir;
  const std::string pgm = dir.File("strip.pgm");
  const RxResult r = Rx(dir, {"--mode", "hell", "--image", pgm, test::TestDataPath(rel)});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(r.out.empty());
  const std::string image = test::ReadFileBytes(pgm);
  ASSERT_EQ(image.substr(0, 3), "P5\n");
  std::istringstream header(image.substr(3));
  int width = 0, height = 0, maxval = 0;
  header >> width >> height >> maxval;
  EXPECT_EQ(height, 40);
  EXPECT_EQ(maxval, 255);
  EXPECT_NEAR(width, 900, 60);
  // Dark ink and light paper are both there.
  size_t dark = 0;
  for (char c : image.substr(image.size() - static_cast<size_t>(width * height))) {
    dark += static_cast<unsigned char>(c) < 128 ? 1 : 0;
  }
  EXPECT_GT(dark, static_cast<size_t>(width * height) / 20);
  EXPECT_LT(dark, static_cast<size_t>(width * height) / 2);
}

TEST(RxCliModes, UnwritableImageIsAFailure) {
  test::TempDir dir;
  const auto wav = Wav(dir, "silence.wav", std::vector<int16_t>(11025, 0));
  const RxResult r = Rx(dir, {"--mode", "hell", "--image", dir.File("no/such/dir/x.pgm"), wav});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vexa::cli
