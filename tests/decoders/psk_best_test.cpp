// The stronger PSK31 demodulator: clean round trips in BPSK and QPSK at and off the carrier and
// on the other sideband, seeded noise against the classic receiver, silence on pure noise, its
// AFC moving the receive frequency, the fldigi files with more noise than the shared ones, and
// the real recording.
#include "decoders/psk_best.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "decoders/receive_path.h"
#include "decoders/rx_test_util.h"
#include "platform/audio/audio_backend.h"
#include "support/test_paths.h"
#include "support/text_score.h"

namespace vexa::decoders {
namespace {

using testutil::WithNoise;

using testutil::RxSetup;

const std::string kText = "CQ CQ de W1AW W1AW pse k\rW1AW de K2ABC: tnx fer call, RST 599 73!\r";

RxSetup Best(int mode, double hz = 1000) {
  RxSetup s;
  s.mode = mode;
  s.best = true;
  s.hz = hz;
  return s;
}

std::vector<int> Steps(int mode, const std::string& text) {
  const auto bits = testutil::VaricodeBits(text);
  return mode == 10 ? testutil::QpskSteps(bits) : testutil::BpskSteps(bits);
}

std::string Trimmed(std::string s) {
  s = test::NormalizeLineEnds(s);
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  while (!s.empty() && s.front() == ' ') s.erase(s.begin());
  return s;
}

struct CleanCase {
  int mode;
  double signalHz;  // the receiver is tuned to 1000 Hz
  bool mirror;      // sent as received on the other sideband (the inversion flag set)
};

class PskBestClean : public ::testing::TestWithParam<CleanCase> {};

TEST_P(PskBestClean, DecodesTheTextExactly) {
  const CleanCase& c = GetParam();
  RxSetup s = Best(c.mode);
  s.invert = c.mirror;
  const auto audio = testutil::PskAudio(Steps(c.mode, kText), c.signalHz, 8000, c.mirror);
  std::string got = Trimmed(testutil::Decode(audio, s));
  // The reference QPSK encoder starts from a register of zeros, which stands for two ones sent
  // before the preamble: with them the preamble reads as the letter e (11 then 00).
  if (c.mode == 10 && got.rfind("eCQ", 0) == 0) got.erase(0, 1);
  EXPECT_EQ(got, Trimmed(kText));
}

INSTANTIATE_TEST_SUITE_P(Signals, PskBestClean,
                         ::testing::Values(CleanCase{9, 1000, false}, CleanCase{9, 1004, false},
                                           CleanCase{9, 996.5, false}, CleanCase{10, 1000, false},
                                           CleanCase{10, 1002, false}, CleanCase{10, 998.5, false},
                                           CleanCase{10, 1000, true}, CleanCase{9, 1000, true}),
                         [](const auto& info) {
                           return std::string(info.param.mode == 10 ? "Qpsk" : "Bpsk") + "At" +
                                  std::to_string(static_cast<int>(info.param.signalHz * 10)) +
                                  (info.param.mirror ? "Mirrored" : "");
                         });

TEST(PskBest, QpskOnTheWrongSidebandGivesNoText) {
  const auto audio = testutil::PskAudio(Steps(10, kText), 1000, 8000, true);
  EXPECT_EQ(testutil::Decode(audio, Best(10)).find("W1AW de K2ABC"), std::string::npos);
}

// Seeded white noise: the stronger demodulator loses fewer characters than the classic one, and
// no more than its bound (measured: BPSK 0 and 0.0051, QPSK 0.0076 and 0.0076; classic 0.0013,
// 0.039, 0.0076, 0.064). Noise rms 7000 against an amplitude of 3000 is about -10 dB in 2500 Hz.
struct NoiseCase {
  int mode;
  double noiseRms;
  double bound;  // measured when the bound was set, plus a margin
};

class PskBestNoise : public ::testing::TestWithParam<NoiseCase> {};

TEST_P(PskBestNoise, BeatsTheClassicReceiver) {
  const NoiseCase& c = GetParam();
  std::string text;
  for (int i = 0; i < 4; ++i) text += kText;
  double best = 0, classic = 0;
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    const auto audio = testutil::PskAudio(Steps(c.mode, text), 1000, 3000, false, c.noiseRms, seed);
    RxSetup s = Best(c.mode);
    best += test::CharErrorRate(test::NormalizeLineEnds(text),
                                test::NormalizeLineEnds(testutil::Decode(audio, s)));
    s.best = false;
    classic += test::CharErrorRate(test::NormalizeLineEnds(text),
                                   test::NormalizeLineEnds(testutil::Decode(audio, s)));
  }
  best /= 3;
  classic /= 3;
  std::printf("CER mode %d noise %.0f: best %.4f classic %.4f\n", c.mode, c.noiseRms, best,
              classic);
  EXPECT_LE(best, c.bound);
  EXPECT_LE(best, classic);
}

INSTANTIATE_TEST_SUITE_P(Levels, PskBestNoise,
                         ::testing::Values(NoiseCase{9, 7000, 0.02}, NoiseCase{9, 9000, 0.02},
                                           NoiseCase{10, 7000, 0.02}, NoiseCase{10, 9000, 0.02}));

TEST(PskBest, NoiseAlonePrintsNothing) {
  std::mt19937 rng(5);
  std::normal_distribution<double> n(0, 3000);
  std::vector<int16_t> audio(11025 * 30);
  for (auto& x : audio) x = static_cast<int16_t>(std::clamp(n(rng), -32767.0, 32767.0));
  for (int mode : {9, 10}) {
    EXPECT_EQ(testutil::Decode(audio, Best(mode)), "") << "mode " << mode;
  }
}

// A PSK31 receive path at 1000 Hz with the demodulator chosen.
void ApplyPsk31(ReceivePath& path, bool best) {
  ReceiveOptions o;
  o.mode = Mode::Psk31;
  o.receiveHz = 1000;
  o.bestDemod = best;
  path.Apply(o);
}

// The audio block by block, with an AFC step after each block as the window runs it.
void RunWithAfc(ReceivePath& path, const std::vector<int16_t>& audio) {
  for (size_t at = 0; at < audio.size(); at += engine::kInputBlockSamples) {
    const size_t n = std::min<size_t>(engine::kInputBlockSamples, audio.size() - at);
    path.ProcessBlock(std::span<const int16_t>(audio).subspan(at, n));
    (void)path.AfcStep(true, false);
  }
}

TEST(PskBest, AfcMovesTheReceiveFrequencyToTheSignal) {
  engine::RxTextQueue queue;
  ReceivePath path(queue, 0);
  ApplyPsk31(path, true);
  RunWithAfc(path, testutil::PskAudio(Steps(9, kText + kText), 1003.2, 8000));
  EXPECT_NEAR(path.receiveHz(), 1003.2, 0.2);
  EXPECT_NEAR(path.chain().pskBest().offsetHz(), 0, 0.2);
  // The squelch and the hints read the stronger demodulator's quality: a clean signal opens it.
  EXPECT_GT(path.chain().ActivePsk().quality, 200);
  EXPECT_NE(testutil::Drain(queue).find("W1AW de K2ABC"), std::string::npos);
  // Without the AFC switch the frequency stays.
  path.Tune(1000);
  EXPECT_FALSE(path.AfcStep(false, false).moved);
}

// The second channel runs the stronger demodulator too while it is chosen: a station 2.5 Hz
// off the place clicked is read there and followed by the second channel's AFC, the main
// channel reads its own station, and only one of the two second receivers writes (no doubled
// text). Switching back gives the classic second receiver the same station.
TEST(PskBest, SecondChannelRunsTheChosenDemodulator) {
  const std::string a = "CQ CQ de W1AW W1AW pse k\r";
  const std::string b = "QRZ? de DL2XYZ DL2XYZ k\r";
  std::vector<int16_t> audio = testutil::PskAudio(Steps(9, a + a + a), 1000, 6000);
  const auto other = testutil::PskAudio(Steps(9, b + b + b), 1502.5, 6000);
  audio.resize(std::max(audio.size(), other.size()), 0);
  for (size_t i = 0; i < other.size(); ++i)
    audio[i] = static_cast<int16_t>(std::clamp(audio[i] + other[i], -32767, 32767));
  for (bool best : {true, false}) {
    engine::RxTextQueue queue;
    ReceivePath path(queue, 0);
    ApplyPsk31(path, best);
    path.PlaceSecondChannel(1500);
    RunWithAfc(path, audio);
    const std::string second = testutil::Drain(path.chain().secondQueue());
    const std::string main = testutil::Drain(queue);
    EXPECT_NE(second.find(b + b), std::string::npos) << best << ": " << second;
    EXPECT_EQ(second.find("W1AW"), std::string::npos) << best << ": " << second;
    EXPECT_LE(second.size(), 3 * b.size() + 4) << best << ": " << second;
    EXPECT_NE(main.find(a + a), std::string::npos) << best << ": " << main;
    EXPECT_NEAR(path.secondHz(), 1502.5, best ? 0.3 : 1.0) << best;
    if (best) {
      EXPECT_GT(path.chain().secondBest().contrast(), 1.5f);
      EXPECT_NEAR(path.chain().secondBest().carrier, path.secondHz(), 0.2);
    }
  }
}

TEST(PskBest, RetuningFarStartsAfreshAndCopyBehavesAlike) {
  PskBest a;
  a.SetCarrier(1000);
  const auto audio = testutil::PskAudio(Steps(9, kText), 1002, 8000);
  a.ProcessBlock(std::span<const int16_t>(audio).first(audio.size() / 2));
  EXPECT_NEAR(a.offsetHz(), 2, 0.3);
  PskBest b = a;
  a.ProcessBlock(std::span<const int16_t>(audio).subspan(audio.size() / 2));
  b.ProcessBlock(std::span<const int16_t>(audio).subspan(audio.size() / 2));
  EXPECT_EQ(a.offsetHz(), b.offsetHz());
  EXPECT_EQ(a.contrast(), b.contrast());
  a.SetCarrier(1500);
  EXPECT_EQ(a.offsetHz(), 0);
  EXPECT_FALSE(a.squelchOpen());
}

// --- the fldigi files, with the shared noise and with more noise added here ---

std::vector<int16_t> Load(const std::string& rel) {
  std::vector<int16_t> s;
  std::string error;
  EXPECT_TRUE(platform::ReadAudioFile(test::TestDataPath(rel), s, error)) << error;
  return s;
}

struct FileCase {
  const char* name;  // under audio/, without extension
  int mode;
  double snrDb;  // noise added here in 2500 Hz; 99: the file as it is
  double bound;  // measured when the bound was set, plus a margin
};

class PskBestFiles : public ::testing::TestWithParam<FileCase> {};

TEST_P(PskBestFiles, CharacterErrorRateStaysWithinItsBound) {
  const FileCase& c = GetParam();
  const std::string rel = std::string("audio/") + c.name;
  VEXA_REQUIRE_TESTDATA(rel + ".wav");
  const std::string sentRel =
      std::string("audio/") + (c.mode == 10 ? "fldigi_qpsk31" : "fldigi_bpsk31") + ".txt";
  const std::string sent =
      test::NormalizeLineEnds(test::ReadFileBytes(test::TestDataPath(sentRel)));
  auto audio = Load(rel + ".wav");
  if (c.snrDb < 99) audio = WithNoise(audio, c.snrDb, 3);
  RxSetup s = Best(c.mode);
  const double best =
      test::CharErrorRate(sent, test::NormalizeLineEnds(testutil::Decode(audio, s)));
  s.best = false;
  const double classic =
      test::CharErrorRate(sent, test::NormalizeLineEnds(testutil::Decode(audio, s)));
  std::printf("CER %s %+.0f dB: best %.4f classic %.4f\n", c.name, c.snrDb, best, classic);
  EXPECT_LE(best, c.bound);
  EXPECT_LE(best, classic);
}

// Measured: BPSK 0 on the shared -8 dB file (classic 0.037), 0 / 0.0122 / 0.0488 / 0.2805 at
// -8 / -10 / -12 / -14 dB in 2500 Hz (classic 0.037 / 0.055 / 0.293 / 0.59); QPSK 0 on the
// shared file (classic 0.031), 0 / 0.0122 / 0.0732 / 0.378 (classic 0.024 / 0.073 / 0.40 /
// 0.71). The noise here is C++'s generator, so the figures differ a little from the script's.
INSTANTIATE_TEST_SUITE_P(
    Fldigi, PskBestFiles,
    ::testing::Values(
        FileCase{"fldigi_bpsk31", 9, 99, 0.0}, FileCase{"fldigi_qpsk31", 10, 99, 0.0},
        FileCase{"fldigi_bpsk31_snr-8", 9, 99, 0.007}, FileCase{"fldigi_qpsk31_snr-8", 10, 99, 0.0},
        FileCase{"fldigi_bpsk31", 9, -8, 0.007}, FileCase{"fldigi_bpsk31", 9, -10, 0.02},
        FileCase{"fldigi_bpsk31", 9, -12, 0.07}, FileCase{"fldigi_bpsk31", 9, -14, 0.30},
        FileCase{"fldigi_qpsk31", 10, -8, 0.0}, FileCase{"fldigi_qpsk31", 10, -10, 0.02},
        FileCase{"fldigi_qpsk31", 10, -12, 0.09}, FileCase{"fldigi_qpsk31", 10, -14, 0.42}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& ch : n) {
        if (ch == '-') ch = '_';
      }
      if (info.param.snrDb < 99)
        n += "_minus" + std::to_string(static_cast<int>(-info.param.snrDb));
      return n;
    });

TEST(PskBest, RealRecordingDecodes) {
  const std::string rel = "real/psk31_wikipedia_sample.ogg";
  VEXA_REQUIRE_TESTDATA(rel);
  RxSetup s = Best(10);
  s.invert = true;  // QPSK received on the other sideband
  const std::string got = testutil::Decode(Load(rel), s);
  EXPECT_NE(got.find("Welcome to Wikipedia, the free encyclopedia that anyone can edit."),
            std::string::npos)
      << got;
}

}  // namespace
}  // namespace vexa::decoders
