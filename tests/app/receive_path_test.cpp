// The whole receive path of the program: an audio file on the file backend, the sound card,
// the receive loop, the decoders, the received-text queue and the tick that moves the text into
// the receive window.
#include <gtest/gtest.h>

#include "app/file_receiver.h"
#include "support/test_paths.h"

namespace vexa::app {
namespace {

std::string Decode(const std::string& wav, int mode, double hz) {
  test::TempDir dir;
  const auto r = ReceiveFile(wav, static_cast<vexa::Mode>(mode), hz, dir.path());
  EXPECT_TRUE(r.ok) << r.error;
  return r.text;
}

TEST(ReceivePath, APeerPsk31FileDecodesIntoTheReceiveWindow) {
  VEXA_REQUIRE_TESTDATA("audio/fldigi_bpsk31.wav");
  const std::string text = Decode(test::TestDataPath("audio/fldigi_bpsk31.wav"), 9, 1000);
  EXPECT_NE(text.find("W1AW de K2ABC: Good morning, thanks for the call! RST 599."),
            std::string::npos)
      << text;
}

TEST(ReceivePath, APeerRttyFileDecodesIntoTheReceiveWindow) {
  VEXA_REQUIRE_TESTDATA("audio/fldigi_rtty_45b_s170.wav");
  const std::string expected =
      test::ReadFileBytes(test::TestDataPath("audio/fldigi_rtty_45b_s170.txt"));
  const std::string text = Decode(test::TestDataPath("audio/fldigi_rtty_45b_s170.wav"), 4, 1000);
  // The second line of the sent text appears unchanged (the first may lose its start).
  const auto nl = expected.find('\n');
  ASSERT_NE(nl, std::string::npos);
  const std::string line2 = expected.substr(nl + 1, expected.find('\n', nl + 1) - nl - 1);
  EXPECT_NE(text.find(line2), std::string::npos) << text;
}

// Mode 12, the packet monitor: the HF receiver at the receive frequency puts each frame into
// the receive window as a monitor line.
TEST(ReceivePath, APeerPacketFileShowsMonitorLinesInMode12) {
  VEXA_REQUIRE_TESTDATA("audio/ax25_300_clean.wav");
  const std::string text = Decode(test::TestDataPath("audio/ax25_300_clean.wav"), 12, 1700);
  EXPECT_NE(text.find("PY2GHI-5>APZ123>UI,?,f0:"), std::string::npos) << text;
  EXPECT_NE(text.find("T#001,177,216,084,082,062,00000000 73 qth dog we"), std::string::npos);
  EXPECT_NE(text.find("K9PQR/RELAY/WIDE2-2>TEST>UI,?,f0:"), std::string::npos);
  // Off the signal's frequency nothing is heard.
  EXPECT_EQ(Decode(test::TestDataPath("audio/ax25_300_clean.wav"), 12, 1000).find(">UI,"),
            std::string::npos);
}

}  // namespace
}  // namespace vexa::app
