// Audio made by independent programs (minimodem, fldigi) and real recordings, decoded through
// the receive loop and the decoder chain exactly as the program receives a sound card.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoders/rx_test_util.h"
#include "platform/audio/audio_backend.h"
#include "support/test_paths.h"
#include "support/text_score.h"

namespace vexa::decoders {
namespace {

using testutil::RxSetup;

std::vector<int16_t> Load(const std::string& rel) {
  std::vector<int16_t> s;
  std::string error;
  EXPECT_TRUE(platform::ReadAudioFile(test::TestDataPath(rel), s, error)) << error;
  return s;
}

std::string Sent(const std::string& rel) {
  return test::NormalizeLineEnds(test::ReadFileBytes(test::TestDataPath(rel)));
}

// Decoded text with uniform line ends and without the idle noise before the first character.
std::string Received(const std::string& rel, const RxSetup& s) {
  return test::NormalizeLineEnds(testutil::Decode(Load(rel), s));
}

struct PeerCase {
  const char* name;  // file name without extension, under audio/
  RxSetup setup;
};

RxSetup Rtty(bool twoTone = false, bool usos = false) {
  RxSetup s;
  s.mode = 4;
  s.twoTone = twoTone;
  s.unshiftOnSpace = usos;
  return s;
}
RxSetup RttyBestDemod(bool usos = false) {
  RxSetup s = Rtty(false, usos);
  s.best = true;
  return s;
}
std::string Suffix(const RxSetup& s) {
  return s.best ? "_best" : s.twoTone ? "_twotone" : "";
}
RxSetup Psk(int mode) {
  RxSetup s;
  s.mode = mode;
  return s;
}

class CleanPeerFile : public ::testing::TestWithParam<PeerCase> {};

// Everything after the first line must be exact (the first line may start with noise caught
// before the signal settles).
TEST_P(CleanPeerFile, DecodesWithoutErrorsAfterTheFirstLine) {
  const PeerCase& c = GetParam();
  const std::string rel = std::string("audio/") + c.name;
  VEXA_REQUIRE_TESTDATA(rel + ".wav");
  const std::string sent = Sent(rel + ".txt");
  const std::string got = Received(rel + ".wav", c.setup);
  const std::string tail = test::AfterFirstLine(sent);
  ASSERT_FALSE(tail.empty());
  // The received text holds the whole tail of the sent text, and nothing but idle ends it.
  const size_t at = got.find(tail.substr(0, 20));
  ASSERT_NE(at, std::string::npos) << got;
  EXPECT_EQ(got.substr(at, tail.size()), tail) << got;
  // And the first line is all there too.
  const std::string first = sent.substr(0, sent.find('\n'));
  EXPECT_NE(got.find(first), std::string::npos) << got;
}

INSTANTIATE_TEST_SUITE_P(
    Peers, CleanPeerFile,
    ::testing::Values(PeerCase{"fldigi_rtty_45b_s170", Rtty()},
                      PeerCase{"fldigi_rtty_45b_s170", Rtty(true)},
                      // minimodem returns to letters after a space without sending LTRS.
                      PeerCase{"rtty_mm_45b_s170", Rtty(false, true)},
                      PeerCase{"rtty_mm_45b_s170", Rtty(true, true)},
                      PeerCase{"rtty_mm_45b_s180", Rtty(false, true)},
                      PeerCase{"rtty_mm_45b_s180", Rtty(true, true)},
                      PeerCase{"fldigi_rtty_45b_s170", RttyBestDemod()},
                      PeerCase{"rtty_mm_45b_s170", RttyBestDemod(true)},
                      PeerCase{"rtty_mm_45b_s180", RttyBestDemod(true)},
                      PeerCase{"fldigi_bpsk31", Psk(9)}, PeerCase{"fldigi_qpsk31", Psk(10)}),
    [](const auto& info) { return info.param.name + Suffix(info.param.setup); });

TEST(PeerAudio, MinimodemFiguresAfterSpaceNeedUnshiftOnSpace) {
  VEXA_REQUIRE_TESTDATA("audio/rtty_mm_45b_s170.wav");
  // Without the switch the receiver stays in figures after "OM. " as a teleprinter would.
  const std::string got = Received("audio/rtty_mm_45b_s170.wav", Rtty());
  EXPECT_EQ(got.find("UR RST"), std::string::npos);
  EXPECT_NE(got.find("W1AW DE K2ABC K2ABC GM OM. "), std::string::npos);
}

struct NoisyCase {
  const char* name;
  RxSetup setup;
  double bound;  // character error rate measured when the bound was set, plus a margin
};

class NoisyPeerFile : public ::testing::TestWithParam<NoisyCase> {};

TEST_P(NoisyPeerFile, CharacterErrorRateStaysWithinItsBound) {
  const NoisyCase& c = GetParam();
  const std::string rel = std::string("audio/") + c.name;
  VEXA_REQUIRE_TESTDATA(rel + ".wav");
  const double cer = test::CharErrorRate(Sent(rel + ".txt"), Received(rel + ".wav", c.setup));
  RecordProperty("cer", std::to_string(cer));
  std::printf("CER %s%s: %.4f\n", c.name, Suffix(c.setup).c_str(), cer);
  EXPECT_LE(cer, c.bound);
}

INSTANTIATE_TEST_SUITE_P(
    Peers, NoisyPeerFile,
    // Measured: 0.0717, 0.3094 (two-tone), 0.0038 (best: one character, after the end), 0.0151,
    // 0.0981 (two-tone), 0 (best), 0.0366, 0.0305.
    ::testing::Values(NoisyCase{"rtty_mm_45b_s170_snr-5", Rtty(false, true), 0.10},
                      NoisyCase{"rtty_mm_45b_s170_snr-5", Rtty(true, true), 0.35},
                      NoisyCase{"rtty_mm_45b_s170_snr-5", RttyBestDemod(true), 0.004},
                      NoisyCase{"rtty_mm_45b_s180_snr+0", Rtty(false, true), 0.04},
                      NoisyCase{"rtty_mm_45b_s180_snr+0", Rtty(true, true), 0.13},
                      NoisyCase{"rtty_mm_45b_s180_snr+0", RttyBestDemod(true), 0.0},
                      NoisyCase{"fldigi_bpsk31_snr-8", Psk(9), 0.06},
                      NoisyCase{"fldigi_qpsk31_snr-8", Psk(10), 0.05}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& ch : n) {
        if (ch == '+' || ch == '-') ch = '_';
      }
      return n + Suffix(info.param.setup);
    });

TEST(RealRecording, Psk31SampleSentenceDecodes) {
  // The recording is QPSK received on the other sideband; in BPSK it gives no text.
  const std::string rel = "real/psk31_wikipedia_sample.ogg";
  VEXA_REQUIRE_TESTDATA(rel);
  RxSetup s = Psk(10);
  s.invert = true;
  const std::string got = Received(rel, s);
  EXPECT_NE(got.find("Welcome to Wikipedia, the free encyclopedia that anyone can edit."),
            std::string::npos)
      << got;
  s.invert = false;
  EXPECT_EQ(Received(rel, s).find("Welcome"), std::string::npos);
}

TEST(RealRecording, Psk31SampleAt8BitDecodesToo) {
  const std::string rel = "real/psk31_wikipedia_sample_8k_u8.wav";
  VEXA_REQUIRE_TESTDATA(rel);
  RxSetup s = Psk(10);
  s.invert = true;
  EXPECT_NE(Received(rel, s).find("Welcome to Wikipedia"), std::string::npos);
}

class RealRtty : public ::testing::TestWithParam<bool> {};

TEST_P(RealRtty, EightBitRecordingWithLowerMarkScoresWithinItsBound) {
  const std::string rel = "real/rtty_wikipedia_45baud_8k_u8.wav";
  VEXA_REQUIRE_TESTDATA(rel);
  const std::string sent = "WELCOME TO WIKIPEDIA, THE FREE ENCYCLOPEDIA THAT ANYONE CAN EDIT.";
  RxSetup s = Rtty(GetParam());
  s.invert = true;  // mark on the lower tone
  std::string got = Received(rel, s);
  while (!got.empty() && (got.back() == '\n' || got.back() == ' ')) got.pop_back();
  const double cer = test::CharErrorRate(sent, got);
  std::printf("CER real RTTY%s: %.4f\n", GetParam() ? " (two-tone)" : "", cer);
  EXPECT_LE(cer, 0.03) << got;  // measured 0 with both demodulators
  // The wrong polarity gives no sentence.
  s.invert = false;
  EXPECT_GT(test::CharErrorRate(sent, Received(rel, s)), 0.5);
}

INSTANTIATE_TEST_SUITE_P(Demodulators, RealRtty, ::testing::Bool());

}  // namespace
}  // namespace vexa::decoders
