// Vexa's sound-card CW read by independent decoders: multimon-ng's MORSE_CW must find every
// word of a text, which it only does when the words are the international 7 units apart (with
// 5 units it runs them together, "CQ CQDEW1AWW1AWPSEK"); fldigi, played the audio in real time
// through a private sound server, must print the same words.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

bool HaveTool(const char* tool) {
  const std::string cmd = std::string("command -v ") + tool + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

std::string RunTool(const std::string& cmd) {
  std::string out;
  FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

std::string Trim(std::string s) {
  const auto a = s.find_first_not_of(" \r\n");
  if (a == std::string::npos) return "";
  const auto b = s.find_last_not_of(" \r\n");
  return s.substr(a, b - a + 1);
}

class CwPeers : public testing::TestWithParam<int> {};

// multimon-ng's speed tracking covers roughly 15 to 30 WPM; inside it every word must come out.
TEST_P(CwPeers, MultimonReadsEveryWordSpaceOfVexaCw) {
  if (!HaveTool("multimon-ng"))
    GTEST_SKIP() << "multimon-ng is not installed: scripts/install-deps.sh peers";
  const int wpm = GetParam();
  test::TempDir dir;
  const std::string wav = dir.File("cw.wav");
  const std::string text = "CQ CQ DE W1AW W1AW PSE K";
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"--workdir", dir.path(), "tx", "--mode", "cw", "--wpm", std::to_string(wpm),
                    "--text", text, "-o", wav},
                   out, err),
            0)
      << err.str();
  EXPECT_EQ(Trim(RunTool("multimon-ng -q -t wav -a MORSE_CW " + wav)), text) << wpm << " WPM";
}

INSTANTIATE_TEST_SUITE_P(Speeds, CwPeers, testing::Values(20, 25));

// fldigi needs a display and a sound device: the script gives it a virtual display and a
// private PulseAudio null sink, plays the file into it and reads fldigi's receive text. Its
// speed tracking starts from its default, so a lead-in of Vs gives it the speed before the
// words that are checked.
TEST(CwPeersFldigi, FldigiReadsEveryWordOfVexaCw) {
  for (const char* tool : {"fldigi", "Xvfb", "pulseaudio", "paplay", "python3"})
    if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed: scripts/install-deps.sh peers";
  test::TempDir dir;
  const std::string wav = dir.File("cw.wav");
  const std::string words = "CQ CQ DE W1AW W1AW PSE K";
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"--workdir", dir.path(), "tx", "--mode", "cw", "--wpm", "20", "--text",
                    "VVV VVV " + words, "-o", wav},
                   out, err),
            0)
      << err.str();
  const std::string jobs = dir.File("jobs"), text = dir.File("fldigi.txt");
  test::WriteFileBytes(jobs, "CW 800 " + wav + " " + text + " CWSPEED=20\n");
  const int rc = std::system(
      (std::string("python3 ") + VEXA_SCRIPTS_DIR + "/rx_quality/fldigi_rx.py " + jobs).c_str());
  if (WIFEXITED(rc) && WEXITSTATUS(rc) == 2) GTEST_SKIP() << "fldigi cannot be run here";
  ASSERT_EQ(rc, 0);
  const std::string got = Trim(test::ReadFileBytes(text));
  EXPECT_NE(got.find(words), std::string::npos) << "fldigi printed: " << got;
}

}  // namespace
}  // namespace vexa::cli
