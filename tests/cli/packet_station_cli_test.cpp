// vexa-cli packet: the packet station against a scripted peer whose frames are in the input
// audio at fixed times. The run is not paced (the file sets the time), so each run is exact.
// What Vexa sends is decoded by its own receiver and, where installed, by atest.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "packet/ax25_frame.h"
#include "packet/packet_channels.h"
#include "platform/audio/audio_backend.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

CliRun Cli(const test::TempDir& dir, std::vector<std::string> args) {
  std::vector<std::string> full = {"--workdir", dir.path(), "--config", dir.File("vexa.ini")};
  full.insert(full.end(), args.begin(), args.end());
  std::ostringstream out, err;
  const int code = RunCli(full, out, err);
  return {code, out.str(), err.str()};
}

packet::Ax25Address Call(const char* c) {
  return *packet::ParseCallsign(c);
}

// A frame of the peer DL2YOU to DL1ME.
packet::Ax25Frame Peer(packet::FrameType t, int cr, int pf, int nr = 0, int ns = 0,
                       const std::string& info = {}) {
  packet::Ax25Frame f;
  f.source = Call("DL2YOU");
  f.destination = Call("DL1ME");
  f.type = t;
  f.cr = cr;
  f.pf = pf;
  f.nr = nr;
  f.ns = ns;
  f.info.assign(info.begin(), info.end());
  return f;
}

// The peer's transmissions with modem 1, each starting at its second.
std::string Script(const test::TempDir& dir,
                   const std::vector<std::pair<double, packet::Ax25Frame>>& frames,
                   double seconds) {
  packet::PacketModemSettings s;
  s.type = 1;
  std::vector<int16_t> audio(static_cast<size_t>(seconds * 11025), 0);
  for (const auto& [at, f] : frames) {
    const auto sig = packet::SendFrames(s, {packet::EncodeFrame(f)});
    const size_t start = static_cast<size_t>(at * 11025);
    if (audio.size() < start + sig.size()) audio.resize(start + sig.size(), 0);
    std::copy(sig.begin(), sig.end(), audio.begin() + static_cast<std::ptrdiff_t>(start));
  }
  const std::string path = dir.File("peer.wav");
  std::string error;
  EXPECT_TRUE(platform::WriteWavFile(path, audio, error)) << error;
  return path;
}

std::string WriteText(const test::TempDir& dir, const std::string& name, const std::string& text) {
  const std::string path = dir.File(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool HaveTool(const char* tool) {
  const std::string cmd = std::string("command -v ") + tool + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

std::string RunTool(const std::string& cmd) {
  std::string out;
  FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r");
  if (!p) return out;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  pclose(p);
  return std::regex_replace(out, std::regex("\x1b\\[[0-9;]*[A-Za-z]"), "");
}

TEST(PacketStationCli, UsageErrors) {
  test::TempDir dir;
  EXPECT_EQ(Cli(dir, {"packet", "--modem", "9"}).code, kExitUsage);
  EXPECT_EQ(Cli(dir, {"packet", "--connect", "DL2YOU"}).code, kExitUsage);  // no own call
  EXPECT_EQ(Cli(dir, {"packet", "--mycall", "TOOLONGCALL"}).code, kExitUsage);
  EXPECT_EQ(Cli(dir, {"packet", "--via", "X"}).code, kExitUsage);
  EXPECT_EQ(Cli(dir, {"packet", "--mycall", "DL1ME", "--audio-in", dir.File("none.wav")}).code,
            kExitBadInput);
}

// The peer connects, sends a line and disconnects; Vexa accepts at the next tick, shows the
// line, sends the typed line and acknowledges.
TEST(PacketStationCli, AcceptsAnIncomingConnectionFromTheAudio) {
  test::TempDir dir;
  using packet::FrameType;
  const std::string in =
      Script(dir,
             {{1.0, Peer(FrameType::Sabm, packet::kCommand, 1)},
              {3.0, Peer(FrameType::I, packet::kCommand, 0, 0, 0, "hello from the peer\r")},
              {5.0, Peer(FrameType::Rr, packet::kResponse, 0, 1)},
              {7.0, Peer(FrameType::Disc, packet::kCommand, 1)}},
             9.0);
  const std::string out = dir.File("vexa.wav");
  const CliRun r =
      Cli(dir, {"packet", "--mycall", "DL1ME", "--modem", "1", "--audio-in", in, "--audio-out", out,
                "--seconds", "9", "--text-file", WriteText(dir, "typed.txt", "hi there\n")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(Contains(r.out, "*** INCOMING CONNECT from DL2YOU\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "hello from the peer\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "hi there\n")) << r.out;  // the local echo
  EXPECT_TRUE(Contains(r.out, "*** DISCONNECTED.\n")) << r.out;
  // Vexa's own frames, heard back by its own receiver: UA, the I frame, RR, and DM to the DISC.
  const CliRun rx = Cli(dir, {"rx", "--mode", "ax25", "--modem", "1", "--monitor", out});
  ASSERT_EQ(rx.code, kExitOk) << rx.err;
  EXPECT_TRUE(Contains(rx.out, "DL1ME>DL2YOU>UA,F")) << rx.out;
  EXPECT_TRUE(Contains(rx.out, "DL1ME>DL2YOU>I00,C,f0:\r\nhi there\r")) << rx.out;
  EXPECT_TRUE(Contains(rx.out, "DL1ME>DL2YOU>RR1,R")) << rx.out;
  EXPECT_TRUE(Contains(rx.out, "DL1ME>DL2YOU>DM,F")) << rx.out;
  std::ifstream trace(dir.File("trace.log"));
  std::string first;
  std::getline(trace, first);
  EXPECT_EQ(first, "SendData: Enter - hi there\r");
  if (!HaveTool("atest")) {
    GTEST_SKIP() << "atest (direwolf) is not installed: scripts/install-deps.sh peers";
  }
  const std::string heard = RunTool("atest -B 1200 " + out);
  EXPECT_TRUE(Contains(heard, "DL1ME>DL2YOU")) << heard;
  EXPECT_TRUE(Contains(heard, "hi there")) << heard;
}

// Vexa connects, the peer answers, echoes a line and acknowledges; Vexa disconnects once what
// it typed is acknowledged.
TEST(PacketStationCli, ConnectsSendsAndDisconnects) {
  test::TempDir dir;
  using packet::FrameType;
  const std::string in =
      Script(dir,
             {{2.0, Peer(FrameType::Ua, packet::kResponse, 1)},
              {4.0, Peer(FrameType::I, packet::kCommand, 0, 1, 0, "echo: ping\r")},
              {7.0, Peer(FrameType::Ua, packet::kResponse, 1)}},
             9.0);
  const std::string out = dir.File("vexa.wav");
  const CliRun r = Cli(dir, {"packet", "--mycall", "DL1ME", "--modem", "1", "--audio-in", in,
                             "--audio-out", out, "--connect", "DL2YOU", "--seconds", "9",
                             "--text-file", WriteText(dir, "typed.txt", "ping\r\n")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::string want[] = {"*** TRYING...\n", "*** CONNECTED.\n",     "ping\n",
                              "echo: ping\n",    "*** DISCONNECTING.\n", "*** DISCONNECTED.\n"};
  size_t at = 0;
  for (const auto& w : want) {
    const size_t p = r.out.find(w, at);
    ASSERT_NE(p, std::string::npos) << "missing in order: " << w << "\n" << r.out;
    at = p + w.size();
  }
  const CliRun rx = Cli(dir, {"rx", "--mode", "ax25", "--modem", "1", "--monitor", out});
  EXPECT_TRUE(Contains(rx.out, "DL1ME>DL2YOU>SABM,P")) << rx.out;
  EXPECT_TRUE(Contains(rx.out, "DL1ME>DL2YOU>I00,C,f0:\r\nping\r")) << rx.out;
  EXPECT_TRUE(Contains(rx.out, "DL1ME>DL2YOU>DISC,P")) << rx.out;
}

}  // namespace
}  // namespace vexa::cli
