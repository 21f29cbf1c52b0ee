// vexa-cli rx and tx with --mode ax25: usage errors, peer-made files through the real receive
// path, round trips through Vexa's own transmitter and receiver for every sound-card modem, the
// independent decoders (atest, multimon-ng) on what Vexa sends, and hostile input files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_run.h"
#include "platform/audio/audio_backend.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> v;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (!l.empty()) v.push_back(l);
  return v;
}

std::vector<std::string> ReferenceLines(const std::string& name) {
  return Lines(test::ReadFileBytes(test::TestDataPath("audio/" + name + ".txt")));
}

// How many distinct sent lines were decoded; a decoded line that was not sent fails the test.
int CountSent(const std::vector<std::string>& sent, const std::string& decoded) {
  const std::set<std::string> want(sent.begin(), sent.end());
  std::set<std::string> found;
  for (const auto& l : Lines(decoded)) {
    EXPECT_TRUE(want.count(l)) << "decoded a frame that was not sent: " << l;
    found.insert(l);
  }
  return static_cast<int>(found.size());
}

// Frames of the tests' own: paths of zero to three digipeaters, SSIDs, every printable byte.
std::vector<std::string> OwnFrames() {
  std::vector<std::string> v;
  std::string printable;
  for (int c = 0x20; c < 0x7F; ++c) printable += static_cast<char>(c);
  for (int i = 0; i < 12; ++i) {
    std::string path;
    for (int d = 0; d < i % 4; ++d)
      path += ",WIDE" + std::to_string(d + 1) + "-" + std::to_string(d + 1);
    v.push_back("DL" + std::to_string(i % 10) + std::string(1, static_cast<char>('A' + i)) + "BC-" +
                std::to_string(i + 1) + ">APVX" + std::to_string(i) + path + ":#" +
                std::to_string(i) + " " + printable.substr(static_cast<size_t>(i) * 7, 20));
  }
  v.push_back("N0CALL>CQ:" + printable);
  return v;
}

std::string WriteFrames(const test::TempDir& dir, const std::vector<std::string>& frames) {
  std::string text;
  for (const auto& f : frames) text += f + "\n";
  test::WriteFileBytes(dir.File("frames.txt"), text);
  return dir.File("frames.txt");
}

TEST(PacketCli, UsageErrorsExit2WithAMessage) {
  test::TempDir dir;
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{"rx", "--mode", "ax25"}, "no input file"},
      {{"rx", "--mode", "ax25", "--modem", "7", "x.wav"}, "--modem must be"},
      {{"rx", "--mode", "ax25", "--modem", "1.5", "x.wav"}, "--modem must be"},
      {{"rx", "--mode", "ax25", "--freq", "0", "x.wav"}, "--freq must be"},
      {{"rx", "--mode", "ax25", "--demod", "magic", "x.wav"}, "unknown demodulator 'magic'"},
      {{"rx", "--mode", "ax25", "--bogus", "x.wav"}, "unknown option '--bogus'"},
      {{"rx", "--mode", "ax25", "a.wav", "b.wav"}, "only one input file"},
      {{"tx", "--mode", "ax25", "-o", "x.wav"}, "--frames FILE is required"},
      {{"tx", "--mode", "ax25", "--frames", "f.txt"}, "-o OUT.wav is required"},
      {{"tx", "--mode", "ax25", "--modem", "9", "--frames", "f", "-o", "x"}, "--modem must be"},
      {{"tx", "--mode", "ax25", "--text", "hi", "-o", "x.wav"}, "unknown argument '--text'"},
  };
  for (const Case& c : cases) {
    const CliRun r = Cli(dir, c.args);
    EXPECT_EQ(r.code, kExitUsage) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--mode ax25"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
}

TEST(PacketCli, BadFramesFileNamesTheLine) {
  test::TempDir dir;
  test::WriteFileBytes(dir.File("f.txt"), "A1>B2:fine\r\n\nnot a frame\n");
  const CliRun r = Cli(dir, {"tx", "--mode", "ax25", "--modem", "1", "--frames", dir.File("f.txt"),
                             "-o", dir.File("o.wav")});
  EXPECT_EQ(r.code, kExitBadInput);
  EXPECT_NE(r.err.find("f.txt:3: not a frame"), std::string::npos) << r.err;
  test::WriteFileBytes(dir.File("empty.txt"), "\n\n");
  EXPECT_EQ(
      Cli(dir, {"tx", "--mode", "ax25", "--frames", dir.File("empty.txt"), "-o", dir.File("o.wav")})
          .code,
      kExitBadInput);
  EXPECT_EQ(Cli(dir, {"tx", "--mode", "ax25", "--frames", dir.File("missing.txt"), "-o",
                      dir.File("o.wav")})
                .code,
            kExitBadInput);
}

TEST(PacketCli, PeerFilesThroughTheReceivePath) {
  VEXA_REQUIRE_TESTDATA("audio/ax25_1200_clean.wav");
  test::TempDir dir;
  const CliRun v1200 = Cli(dir, {"rx", "--mode", "ax25", "--modem", "1",
                                 test::TestDataPath("audio/ax25_1200_clean.wav")});
  EXPECT_EQ(v1200.code, kExitOk) << v1200.err;
  EXPECT_GE(CountSent(ReferenceLines("ax25_1200_clean"), v1200.out), 94);
  // The monitor of mode 12 at the centre of the HF pair, and modem 0 at the same frequency.
  for (std::vector<std::string> args :
       {std::vector<std::string>{"rx", "--mode", "ax25", "--freq", "1700"},
        std::vector<std::string>{"rx", "--mode", "AX25", "--modem", "0", "--freq", "1700"}}) {
    args.push_back(test::TestDataPath("audio/ax25_300_clean.wav"));
    const CliRun hf = Cli(dir, args);
    EXPECT_EQ(hf.code, kExitOk) << hf.err;
    EXPECT_EQ(CountSent(ReferenceLines("ax25_300_clean"), hf.out), 20);
  }
  // Off frequency the monitor hears nothing.
  const CliRun off = Cli(dir, {"rx", "--mode", "ax25", "--freq", "1000",
                               test::TestDataPath("audio/ax25_300_clean.wav")});
  EXPECT_EQ(off.out, "");
}

// The correlator demodulator by switch, and by the setting that chooses it per modem.
TEST(PacketCli, BestDemodulatorBySwitchAndBySetting) {
  VEXA_REQUIRE_TESTDATA("audio/ax25_1200_snr+9.wav");
  test::TempDir dir;
  const std::string noisy = test::TestDataPath("audio/ax25_1200_snr+9.wav");
  const auto sent = ReferenceLines("ax25_1200_snr+9");
  EXPECT_EQ(CountSent(sent, Cli(dir, {"rx", "--mode", "ax25", "--modem", "1", noisy}).out), 0);
  EXPECT_EQ(
      CountSent(sent,
                Cli(dir, {"rx", "--mode", "ax25", "--modem", "1", "--demod", "best", noisy}).out),
      100);
  test::WriteFileBytes(dir.File("best.ini"), "[AX.25]\nBestDemodModems=2\n");  // modem 1
  EXPECT_EQ(CountSent(sent, Cli(dir, {"--config", dir.File("best.ini"), "rx", "--mode", "ax25",
                                      "--modem", "1", noisy})
                                .out),
            100);
  EXPECT_EQ(CountSent(sent, Cli(dir, {"--config", dir.File("best.ini"), "rx", "--mode", "ax25",
                                      "--modem", "1", "--demod", "classic", noisy})
                                .out),
            0);
  // The monitor follows the switch as well.
  const auto hf = ReferenceLines("ax25_300_snr+3");
  EXPECT_EQ(CountSent(hf, Cli(dir, {"rx", "--mode", "ax25", "--freq", "1700", "--demod", "best",
                                    test::TestDataPath("audio/ax25_300_snr+3.wav")})
                              .out),
            20);
}

// Off-air recordings (44.1 and 22.05 kHz, brought to 11025/s by the file input): the classic
// receiver takes the strong ISS frame only; the correlators take all three with the texts of
// the transcripts.
TEST(PacketCli, RealRecordings) {
  VEXA_REQUIRE_TESTDATA("real/aprs_ttwr_offair_22k.wav");
  test::TempDir dir;
  auto rx = [&](const char* file, const char* demod) {
    return Cli(dir, {"rx", "--mode", "ax25", "--modem", "1", "--demod", demod,
                     test::TestDataPath(std::string("real/") + file)})
        .out;
  };
  EXPECT_EQ(rx("aprs_iss_flyby_44k.wav", "classic"),
            "RS0ISS>CQ:>ARISS - International Space Station\n");
  EXPECT_EQ(rx("aprs_iss_flyby_44k.wav", "best"),
            "RS0ISS>CQ:>ARISS - International Space Station\n");
  EXPECT_EQ(rx("aprs_static_rtlfm_22k.wav", "best"), "KI5TOF>APRS:hello world!\n");
  EXPECT_EQ(rx("aprs_ttwr_offair_22k.wav", "best"), "KI5TOF>APRS:>hello world!\n");
  EXPECT_EQ(rx("aprs_static_rtlfm_22k.wav", "classic"), "");  // static buries it
}

TEST(PacketCli, MonitorOptionPrintsTheMonitorText) {
  VEXA_REQUIRE_TESTDATA("audio/ax25_300_clean.wav");
  test::TempDir dir;
  const CliRun r = Cli(dir, {"rx", "--mode", "ax25", "--freq", "1700", "--monitor",
                             test::TestDataPath("audio/ax25_300_clean.wav")});
  // The peer sends UI frames with both C bits equal, which the monitor marks with "?".
  EXPECT_EQ(r.out.rfind("PY2GHI-5>APZ123>UI,?,f0:\r\nT#001,177,216,084,082,062,00000000 73 qth "
                        "dog we\r\nK9PQR/RELAY/WIDE2-2>TEST>UI,?,f0:\r\n",
                        0),
            0u)
      << r.out;
}

// Every sound-card modem: Vexa's transmitter into a file, Vexa's receiver on it.
TEST(PacketCli, TxRxRoundTripForEveryModem) {
  test::TempDir dir;
  // The custom modem with tones and a rate that 11025 samples/s carry.
  test::WriteFileBytes(dir.File("vexa.ini"),
                       "[AX.25]\nCustomAfskBaudrate=1200\nCustomAfskTone1=2000\n"
                       "CustomAfskTone2=3600\nTxDelay=20\n");
  const auto frames = OwnFrames();
  const std::string list = WriteFrames(dir, frames);
  for (int modem = 0; modem <= 6; ++modem) {
    const std::string wav = dir.File("m" + std::to_string(modem) + ".wav");
    const std::string m = std::to_string(modem);
    const CliRun tx = Cli(dir, {"--config", dir.File("vexa.ini"), "tx", "--mode", "ax25", "--modem",
                                m, "--freq", "1500", "--frames", list, "-o", wav});
    ASSERT_EQ(tx.code, kExitOk) << tx.err;
    EXPECT_NE(tx.out.find("AX25 modem " + m + ", 13 frames"), std::string::npos) << tx.out;
    const CliRun rx = Cli(dir, {"--config", dir.File("vexa.ini"), "rx", "--mode", "ax25", "--modem",
                                m, "--freq", "1500", wav});
    EXPECT_EQ(rx.code, kExitOk) << rx.err;
    // The classic 1200/2200 Hz receiver misses a frame now and then; the others take all.
    EXPECT_GE(CountSent(frames, rx.out), modem == 1 ? 12 : 13) << "modem " << modem;
  }
}

// A file of noise, a file of one steady tone (a 200 kB run without a flag) and silence.
TEST(PacketCli, NoiseToneAndSilencePrintNothing) {
  test::TempDir dir;
  std::vector<int16_t> noise(11025 * 60);
  std::mt19937 rng(5);
  std::normal_distribution<double> n(0, 6000);
  for (auto& x : noise) x = static_cast<int16_t>(std::clamp(n(rng), -32767.0, 32767.0));
  std::vector<int16_t> tone(200000);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int16_t>(16000 * std::sin(2 * 3.14159265 * 1200 * i / 11025.0));
  std::vector<int16_t> silence(11025 * 5, 0);
  std::string error;
  const std::vector<std::pair<const char*, std::vector<int16_t>*>> files = {
      {"noise", &noise}, {"tone", &tone}, {"silence", &silence}};
  for (auto& [name, s] : files) {
    const std::string f = dir.File(std::string(name) + ".wav");
    ASSERT_TRUE(platform::WriteWavFile(f, *s, error)) << error;
    for (const char* modem : {"0", "1", "2", "4"}) {
      const CliRun r = Cli(dir, {"rx", "--mode", "ax25", "--modem", modem, f});
      EXPECT_EQ(r.code, kExitOk) << name;
      EXPECT_EQ(r.out, "") << name << " modem " << modem;
    }
  }
}

// --- the independent decoders on what Vexa sends ------------------------------------------

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

// atest prints each frame as "[0] SRC>DST,PATH:INFO" between colour codes.
std::string AtestFrames(const std::string& output) {
  const std::string plain = std::regex_replace(output, std::regex("\x1b\\[[0-9;]*[A-Za-z]"), "");
  std::string lines;
  for (const auto& l : Lines(plain))
    if (l.rfind("[0] ", 0) == 0) lines += l.substr(4) + "\n";
  return lines;
}

// multimon-ng prints "AFSK1200: fm SRC to DST-0 via D1,D2 UI^ pid=F0" and the information on
// the next line; SSID 0 is written out as "-0".
std::string MultimonFrames(const std::string& output) {
  const std::regex head("^AFSK1200: fm (\\S+) to (\\S+)(?: via (\\S+))? .*pid=F0$");
  auto strip0 = [](std::string c) {
    if (c.size() > 2 && c.compare(c.size() - 2, 2, "-0") == 0) c.resize(c.size() - 2);
    return c;
  };
  std::string lines;
  const auto all = [&] {
    std::vector<std::string> v;
    std::istringstream in(output);
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
  }();
  for (size_t i = 0; i + 1 < all.size(); ++i) {
    std::smatch m;
    if (!std::regex_match(all[i], m, head)) continue;
    std::string path;
    if (m[3].matched) {
      std::istringstream digis(m[3].str());
      for (std::string d; std::getline(digis, d, ',');) path += "," + strip0(d);
    }
    lines += strip0(m[1].str()) + ">" + strip0(m[2].str()) + path + ":" + all[i + 1] + "\n";
  }
  return lines;
}

std::string SendWithVexa(const test::TempDir& dir, const std::vector<std::string>& frames,
                         const char* modem, const char* freq) {
  const std::string wav = dir.File(std::string("peer") + modem + ".wav");
  const CliRun tx = Cli(dir, {"tx", "--mode", "ax25", "--modem", modem, "--freq", freq, "--frames",
                              WriteFrames(dir, frames), "-o", wav});
  EXPECT_EQ(tx.code, kExitOk) << tx.err;
  return wav;
}

TEST(PacketCliPeers, AtestDecodesEveryFrameVexaSendsAt1200And300) {
  if (!HaveTool("atest"))
    GTEST_SKIP() << "atest (direwolf) is not installed: scripts/install-deps.sh peers";
  test::TempDir dir;
  const auto frames = OwnFrames();
  const std::string v1200 = SendWithVexa(dir, frames, "1", "1000");
  EXPECT_EQ(CountSent(frames, AtestFrames(RunTool("atest -B 1200 " + v1200))), 13);
  // The HF modem around 1700 Hz gives the 1600/1800 Hz pair of 300 bit/s packet.
  const std::string v300 = SendWithVexa(dir, frames, "0", "1700");
  EXPECT_EQ(CountSent(frames, AtestFrames(RunTool("atest -B 300 " + v300))), 13);
}

TEST(PacketCliPeers, MultimonDecodesEveryFrameVexaSendsAt1200) {
  if (!HaveTool("multimon-ng"))
    GTEST_SKIP() << "multimon-ng is not installed: scripts/install-deps.sh peers";
  test::TempDir dir;
  const auto frames = OwnFrames();
  const std::string wav = SendWithVexa(dir, frames, "1", "1000");
  EXPECT_EQ(CountSent(frames, MultimonFrames(RunTool("multimon-ng -q -t wav -a AFSK1200 " + wav))),
            13);
}

}  // namespace
}  // namespace vexa::cli
