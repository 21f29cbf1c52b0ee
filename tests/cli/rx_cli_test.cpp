#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "decoders/rx_test_util.h"
#include "platform/audio/audio_backend.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

struct RxRun {
  int code;
  std::string out;
  std::string err;
};

RxRun Rx(std::vector<std::string> args) {
  test::TempDir dir;
  std::vector<std::string> full = {"--workdir", dir.path(), "rx"};
  full.insert(full.end(), args.begin(), args.end());
  std::ostringstream out, err;
  const int code = RunCli(full, out, err);
  return {code, out.str(), err.str()};
}

TEST(RxCli, UsageErrorsExit2WithAMessage) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{"x.wav"}, "--mode is required"},
      {{"--mode", "sstv", "x.wav"}, "unknown mode 'sstv'"},
      {{"--mode", "rtty"}, "no input file"},
      {{"--mode"}, "--mode needs a value"},
      {{"--mode", "rtty", "--freq", "abc", "x.wav"}, "--freq must be"},
      {{"--mode", "rtty", "--freq", "6000", "x.wav"}, "--freq must be"},
      {{"--mode", "rtty", "--baud", "400", "x.wav"}, "Baud rate is out of range"},
      {{"--mode", "rtty", "--baud", "fast", "x.wav"}, "Baud rate is out of range"},
      {{"--mode", "psk31", "--second", "1500", "x.wav"}, "go together"},
      {{"--mode", "psk31", "--bogus", "x.wav"}, "unknown option '--bogus'"},
      {{"--mode", "psk31", "a.wav", "b.wav"}, "only one input file"},
  };
  for (const Case& c : cases) {
    const RxRun r = Rx(c.args);
    EXPECT_EQ(r.code, kExitUsage) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(
        r.err.find(
            "usage: vexa-cli rx --mode {cw|rtty|psk31|qpsk|fsk31|ax25|pactor|hell|fsk31b|mtty}"),
        std::string::npos);
    EXPECT_TRUE(r.out.empty());
  }
}

TEST(RxCli, UnreadableOrNonAudioInputExits3) {
  test::TempDir dir;
  test::WriteFileBytes(dir.File("notes.wav"), "this is not audio at all\n");
  // A RIFF header that promises far more data than there is, with hostile sizes.
  std::string hostile = "RIFF\xff\xff\xff\x7fWAVEfmt ";
  hostile += std::string(
      "\x10\x00\x00\x00\x01\x00\x01\x00\x11\x2b\x00\x00\x22\x56\x00\x00"
      "\x02\x00\x10\x00data\xff\xff\xff\x7f",
      24);
  hostile += std::string(100, '\x7f');
  test::WriteFileBytes(dir.File("hostile.wav"), hostile);
  for (const std::string& f : {dir.File("missing.wav"), dir.File("notes.wav")}) {
    const RxRun r = Rx({"--mode", "rtty", f});
    EXPECT_EQ(r.code, kExitBadInput) << f;
    EXPECT_NE(r.err.find("cannot read"), std::string::npos);
  }
  const RxRun r = Rx({"--mode", "psk31", dir.File("hostile.wav")});
  EXPECT_TRUE(r.code == kExitOk || r.code == kExitBadInput) << r.code;
}

TEST(RxCli, TruncatedPeerFileDecodesWhatIsThere) {
  VEXA_REQUIRE_TESTDATA("audio/fldigi_rtty_45b_s170.wav");
  test::TempDir dir;
  const std::string whole =
      test::ReadFileBytes(test::TestDataPath("audio/fldigi_rtty_45b_s170.wav"));
  test::WriteFileBytes(dir.File("cut.wav"), whole.substr(0, whole.size() / 3 + 1));  // odd cut
  const RxRun r = Rx({"--mode", "rtty", dir.File("cut.wav")});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out.rfind("CQ CQ CQ DE W1AW", 0), 0u) << r.out;
}

TEST(RxCli, PeerFilesDecodeWithLineEndsAsReceived) {
  VEXA_REQUIRE_TESTDATA("audio/fldigi_bpsk31.wav");
  const RxRun psk = Rx({"--mode", "psk31", test::TestDataPath("audio/fldigi_bpsk31.wav")});
  EXPECT_EQ(psk.code, kExitOk);
  EXPECT_NE(psk.out.find("pse k\r\nW1AW de K2ABC: Good morning"), std::string::npos) << psk.out;
  const RxRun qpsk =
      Rx({"--mode", "qpsk", "--freq", "1000", test::TestDataPath("audio/fldigi_qpsk31.wav")});
  EXPECT_NE(qpsk.out.find("Name: Bob. QTH: Albany, NY (FN32)."), std::string::npos);
  const RxRun rtty = Rx({"--mode", "rtty", "--two-tone", "--unshift-on-space", "--baud", "45.45",
                         test::TestDataPath("audio/rtty_mm_45b_s180.wav")});
  EXPECT_NE(rtty.out.find("UR RST 599 599 IN ALBANY, NY.\r\n"), std::string::npos) << rtty.out;
}

TEST(RxCli, RealRttyRecordingNeedsReverse) {
  VEXA_REQUIRE_TESTDATA("real/rtty_wikipedia_45baud_8k_u8.wav");
  const std::string f = test::TestDataPath("real/rtty_wikipedia_45baud_8k_u8.wav");
  EXPECT_NE(Rx({"--mode", "rtty", "--reverse", f}).out.find("WELCOME TO WIKIPEDIA"),
            std::string::npos);
  EXPECT_EQ(Rx({"--mode", "rtty", f}).out.find("WELCOME"), std::string::npos);
}

TEST(RxCli, SecondChannelWritesItsOwnText) {
  using namespace decoders::testutil;
  const auto a = PskAudio(BpskSteps(VaricodeBits("main channel text")), 1000, 6000);
  const auto b = PskAudio(BpskSteps(VaricodeBits("second channel here")), 1600, 6000);
  std::vector<int16_t> mix(std::max(a.size(), b.size()), 0);
  for (size_t i = 0; i < mix.size(); ++i) {
    mix[i] = static_cast<int16_t>((i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0));
  }
  test::TempDir dir;
  std::string error;
  ASSERT_TRUE(platform::WriteWavFile(dir.File("two.wav"), mix, error)) << error;
  const RxRun r = Rx({"--mode", "psk31", "--second", "1600", "--second-out", dir.File("second.txt"),
                      dir.File("two.wav")});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("main channel text"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("second channel"), std::string::npos);
  const std::string second = test::ReadFileBytes(dir.File("second.txt"));
  EXPECT_NE(second.find("second channel here"), std::string::npos) << second;
}

}  // namespace
}  // namespace vexa::cli
