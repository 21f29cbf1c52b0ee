// vexa-cli packet: the packet station against a scripted peer whose frames are in the input
// audio at fixed times. The run is not paced (the file sets the time), so each run is exact.
// What Vexa sends is decoded by its own receiver and, where installed, by atest. Sound devices
// in place of the files: the null device, and a PulseAudio null sink where PulseAudio is present.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_run.h"
#include "packet/ax25_frame.h"
#include "packet/kiss.h"
#include "packet/packet_channels.h"
#include "packet/tnc2_text.h"
#include "platform/audio/audio_backend.h"
#include "platform/files/settings_store.h"
#include "platform/net/tcp_server.h"
#include "platform/net/tcp_socket.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

// Every run reads the folder's own settings file.
CliRun WithConfig(const test::TempDir& dir, std::vector<std::string> args) {
  return Cli(dir, std::move(args), /*withConfig=*/true);
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

// Standard input from a pipe whose writing end is closed (a typist who has finished); returns
// the saved descriptor for RestoreStdin, or -1.
int StdinFromClosedPipe() {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const int saved = ::dup(0);
  ::close(fds[1]);
  if (saved < 0 || ::dup2(fds[0], 0) != 0) {
    ::close(fds[0]);
    if (saved >= 0) ::close(saved);
    return -1;
  }
  ::close(fds[0]);
  return saved;
}

void RestoreStdin(int saved) {
  ::dup2(saved, 0);
  ::close(saved);
}

TEST(PacketStationCli, UsageErrors) {
  test::TempDir dir;
  EXPECT_EQ(WithConfig(dir, {"packet", "--modem", "9"}).code, kExitUsage);
  EXPECT_EQ(WithConfig(dir, {"packet", "--connect", "DL2YOU"}).code, kExitUsage);  // no own call
  EXPECT_EQ(WithConfig(dir, {"packet", "--mycall", "TOOLONGCALL"}).code, kExitUsage);
  EXPECT_EQ(WithConfig(dir, {"packet", "--via", "X"}).code, kExitUsage);
  EXPECT_EQ(
      WithConfig(dir, {"packet", "--mycall", "DL1ME", "--audio-in", dir.File("none.wav")}).code,
      kExitBadInput);
}

// --audio-in and --audio-out tell files from sound devices: a value ending in .wav or holding a
// '/' is a file, anything else a device; a device that does not exist is a usage error with a
// message that names it, in either direction.
TEST(PacketStationCli, AudioValuesAreFilesOrDevicesAndAMissingDeviceIsAClearError) {
  test::TempDir dir;
  CliRun r = WithConfig(dir, {"packet", "--audio-in", "no such card", "--seconds", "1"});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_TRUE(Contains(r.err, "--audio-in: no sound input device \"no such card\"")) << r.err;
  EXPECT_TRUE(Contains(r.err, "vexa-cli devices")) << r.err;
  r = WithConfig(dir, {"packet", "--audio-out", "4711", "--seconds", "1"});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_TRUE(Contains(r.err, "--audio-out: no sound output device \"4711\"")) << r.err;
  // A good input does not hide a bad output.
  r = WithConfig(dir, {"packet", "--audio-in", "null", "--audio-out", "nowhere", "--seconds", "1"});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_TRUE(Contains(r.err, "no sound output device \"nowhere\"")) << r.err;
  // Files, by their ending (any case) or a '/': missing ones are unreadable input, not devices.
  for (const std::string& file : {std::string("missing.WAV"), std::string("missing.wav"),
                                  dir.File("recording"), std::string("./take1")}) {
    r = WithConfig(dir, {"packet", "--audio-in", file, "--seconds", "1"});
    EXPECT_EQ(r.code, kExitBadInput) << file << ": " << r.err;
    EXPECT_FALSE(Contains(r.err, "no sound")) << file;
  }
  // An output file is written, not looked up as a device.
  const std::string out = dir.File("out.wav");
  r = WithConfig(dir, {"packet", "--audio-out", out, "--seconds", "0.2"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(std::filesystem::exists(out));
}

// The null device (no sound card) in both directions: the station runs in real time for the
// time asked, beacons into the device, and ends cleanly; without --seconds it ends with stdin.
TEST(PacketStationCli, RunsInRealTimeOnTheNullDevice) {
  test::TempDir dir;
  {
    platform::SettingsStore store(dir.File("vexa.ini"));
    ASSERT_EQ(store.WriteSettingInt("AX.25", "Modem_type", 1), 0);
    ASSERT_EQ(store.WriteSettingText("AX.25", "BeaconSrcCall", "DL1ME"), 0);
    ASSERT_EQ(store.WriteSettingText("AX.25", "BeaconText", "on the null device"), 0);
    ASSERT_EQ(store.WriteSettingInt("AX.25", "EnableBeacon", 1), 0);
  }
  const std::string none = WriteText(dir, "none.txt", "");
  const auto t0 = std::chrono::steady_clock::now();
  CliRun r = WithConfig(dir, {"packet", "--audio-in", "null", "--audio-out", "null", "--seconds",
                              "1", "--text-file", none});
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(Contains(r.err, "receiving from null")) << r.err;
  EXPECT_TRUE(Contains(r.err, "sending to null")) << r.err;
  EXPECT_GE(took, 0.9) << "paced by the clock, not by a file";
  EXPECT_LT(took, 30.0);
  // The beacon went out (its monitor line) through the device.
  EXPECT_TRUE(Contains(r.out, "on the null device")) << r.out;

  // Without --seconds: stdin (a pipe here) ends, the run ends.
  const int savedIn = StdinFromClosedPipe();
  ASSERT_GE(savedIn, 0);
  r = WithConfig(dir, {"packet", "--audio-in", "null"});
  RestoreStdin(savedIn);
  EXPECT_EQ(r.code, kExitOk) << r.err;
}

// Serving KISS clients from a device: the end of stdin does not end the server, a signal does
// (cleanly, with the exit code of a finished run).
TEST(PacketStationCli, AKissServerOnADeviceRunsPastStdinUntilASignal) {
  test::TempDir dir;
  const int savedIn = StdinFromClosedPipe();
  ASSERT_GE(savedIn, 0);
  std::atomic<bool> finished{false};
  CliRun run{};
  std::thread station([&] {
    run = WithConfig(
        dir, {"packet", "--audio-in", "null", "--audio-out", "null", "--kiss-tcp", "127.0.0.1:0"});
    finished = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const bool ranPastStdin = !finished;
  ::kill(::getpid(), SIGTERM);  // the station's handler takes it while it runs
  station.join();
  RestoreStdin(savedIn);
  EXPECT_TRUE(ranPastStdin) << run.err;
  EXPECT_EQ(run.code, kExitOk) << run.err;
  EXPECT_TRUE(Contains(run.err, "KISS server on 127.0.0.1:")) << run.err;
  // The handler is the old one again: a later run is not stopped by the signal of this one.
  const std::string none = WriteText(dir, "none.txt", "");
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(
      WithConfig(dir, {"packet", "--audio-in", "null", "--seconds", "0.5", "--text-file", none})
          .code,
      kExitOk);
  EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 0.45);
}

// A private PulseAudio daemon with one null sink: PortAudio reaches it through ALSA's "pulse"
// device. Direwolf's packet audio is played into the sink; the station listens to the sink's
// monitor through the device and prints the frames it hears.
struct PrivatePulse {
  test::TempDir dir;
  pid_t daemon = -1;
  std::string server;

  static pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
  }
  static int Wait(pid_t pid) {
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // True once the daemon answers.
  bool Start() {
    const std::string runtime = dir.File("pulse");
    std::filesystem::create_directories(runtime);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("PULSE_RUNTIME_PATH", runtime.c_str(), 1);
    ::setenv("HOME", dir.path().c_str(), 1);
    const std::string sock = runtime + "/native";
    daemon = Spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "-n",
                    "--use-pid-file=no", "-L",
                    "module-native-protocol-unix socket=" + sock + " auth-anonymous=1", "-L",
                    "module-null-sink sink_name=vexa rate=44100"});
    if (daemon < 0) return false;
    server = "unix:" + sock;
    ::setenv("PULSE_SERVER", server.c_str(), 1);
    for (int i = 0; i < 100; ++i) {
      if (Wait(Spawn({"pactl", "info"})) == 0)
        return Wait(Spawn({"pactl", "set-default-source", "vexa.monitor"})) == 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  ~PrivatePulse() {
    if (daemon > 0) {
      ::kill(daemon, SIGTERM);
      Wait(daemon);
    }
    for (const auto& [name, value] : saved) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }
  // The environment as it was before Start.
  std::vector<std::pair<std::string, std::optional<std::string>>> saved = [] {
    std::vector<std::pair<std::string, std::optional<std::string>>> v;
    for (const char* name : {"XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "HOME", "PULSE_SERVER"}) {
      const char* value = std::getenv(name);
      v.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    return v;
  }();
};

TEST(PacketStationCli, HearsPeerAudioThroughAPulseAudioDevice) {
  VEXA_REQUIRE_TESTDATA("audio/ax25_1200_clean.wav");
  for (const char* tool : {"pulseaudio", "pactl", "paplay"})
    if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed (no PulseAudio null sink)";
  PrivatePulse pulse;
  if (!pulse.Start()) GTEST_SKIP() << "the private PulseAudio daemon did not start";
  test::TempDir dir;
  CliRun devices = WithConfig(dir, {"devices"});
  if (!Contains(devices.out, "pulse"))
    GTEST_SKIP() << "PortAudio offers no PulseAudio device here:\n" << devices.out;

  const std::string none = WriteText(dir, "none.txt", "");
  CliRun run{};
  std::thread station([&] {
    run = WithConfig(dir, {"packet", "--modem", "1", "--audio-in", "pulse", "--audio-out", "pulse",
                           "--seconds", "6", "--text-file", none});
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // the input stream stands
  const pid_t play = PrivatePulse::Spawn(
      {"paplay", "--device=vexa", test::TestDataPath("audio/ax25_1200_clean.wav")});
  station.join();
  if (play > 0) {
    ::kill(play, SIGTERM);
    PrivatePulse::Wait(play);
  }
  ASSERT_EQ(run.code, kExitOk) << run.err;
  EXPECT_TRUE(Contains(run.err, "receiving from pulse")) << run.err;
  // About five seconds of direwolf's recording were played (its 100 frames take 79 s); every
  // frame is checked by its whole information field. Read from the file itself, Vexa's modem 1
  // decodes frames 1, 3, 4 and 5 of the first five.
  const std::string sent = test::ReadFileBytes(test::TestDataPath("audio/ax25_1200_clean.txt"));
  std::istringstream lines(sent);
  std::string line;
  int heard = 0;
  for (int i = 0; i < 8 && std::getline(lines, line); ++i)
    heard += Contains(run.out, line.substr(line.find(':') + 1)) ? 1 : 0;
  EXPECT_GE(heard, 3) << "heard:\n" << run.out;
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
  const CliRun r = WithConfig(
      dir, {"packet", "--mycall", "DL1ME", "--modem", "1", "--audio-in", in, "--audio-out", out,
            "--seconds", "9", "--text-file", WriteText(dir, "typed.txt", "hi there\n")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(Contains(r.out, "*** INCOMING CONNECT from DL2YOU\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "hello from the peer\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "hi there\n")) << r.out;  // the local echo
  EXPECT_TRUE(Contains(r.out, "*** DISCONNECTED.\n")) << r.out;
  // Vexa's own frames, heard back by its own receiver: UA, the I frame, RR, and DM to the DISC.
  const CliRun rx = WithConfig(dir, {"rx", "--mode", "ax25", "--modem", "1", "--monitor", out});
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
  const CliRun r = WithConfig(dir, {"packet", "--mycall", "DL1ME", "--modem", "1", "--audio-in", in,
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
  const CliRun rx = WithConfig(dir, {"rx", "--mode", "ax25", "--modem", "1", "--monitor", out});
  EXPECT_TRUE(Contains(rx.out, "DL1ME>DL2YOU>SABM,P")) << rx.out;
  EXPECT_TRUE(Contains(rx.out, "DL1ME>DL2YOU>I00,C,f0:\r\nping\r")) << rx.out;
  EXPECT_TRUE(Contains(rx.out, "DL1ME>DL2YOU>DISC,P")) << rx.out;
}

// A free TCP port on the loopback (bound, read back, released).
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    ::close(fd);
    return 0;
  }
  ::close(fd);
  return ntohs(a.sin_port);
}

// Collects the KISS data frames a client receives.
struct KissClient final : packet::KissReceiver::Handler {
  platform::TcpSocket socket;
  packet::KissReceiver rx{this};
  std::vector<std::string> frames;
  void OnKissFrame(std::span<const uint8_t> f) override {
    auto d = packet::DecodeFrame(f);
    frames.push_back(d ? packet::FormatTnc2(*d) : "?");
  }
  void Poll(int ms) {
    uint8_t buf[2048];
    const int n = socket.Receive(buf, sizeof buf, ms);
    if (n > 0) rx.Push(std::span<const uint8_t>(buf, static_cast<size_t>(n)));
  }
};

// Two clients on the KISS port: a UI frame one of them sends goes out in the audio (atest reads
// it back with the same addresses and information), a frame in the input audio reaches both,
// and a third client that never reads holds nothing up.
TEST(PacketStationCli, KissTcpServerSendsClientFramesAndSharesWhatItHears) {
  test::TempDir dir;
  const int port = FreePort();
  ASSERT_GT(port, 0);
  packet::Ax25Frame heard;
  heard.source = Call("DL7AIR");
  heard.destination = Call("APRS");
  heard.type = packet::FrameType::Ui;
  heard.info = {'o', 'n', ' ', 'a', 'i', 'r'};
  const std::string in = Script(dir, {{2.0, heard}}, 4.0);
  const std::string out = dir.File("vexa.wav");
  CliRun run{};
  const std::string none = WriteText(dir, "none", "");
  struct Joined {
    std::thread t;
    ~Joined() {
      if (t.joinable()) t.join();
    }
  } vexa;
  vexa.t = std::thread([&] {
    run = WithConfig(dir,
                     {"packet", "--modem", "1", "--audio-in", in, "--audio-out", out, "--kiss-tcp",
                      std::to_string(port), "--seconds", "4", "--text-file", none});
  });
  KissClient a, b;
  platform::TcpSocket silent;
  std::string error;
  for (int i = 0; i < 100; ++i) {
    if (a.socket.Connect("127.0.0.1", port, 200, error) == platform::kTcpOk) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(a.socket.open()) << error;
  ASSERT_EQ(b.socket.Connect("127.0.0.1", port, 1000, error), platform::kTcpOk) << error;
  ASSERT_EQ(silent.Connect("127.0.0.1", port, 1000, error), platform::kTcpOk) << error;
  auto sent = packet::ParseTnc2("DL1KIS>APVX,WIDE1-1:from a KISS client");
  ASSERT_TRUE(sent.has_value());
  sent->info.push_back(0xC0);  // the KISS escapes on the way in
  sent->info.push_back(0xDB);
  const auto kiss = packet::EncodeKiss(packet::KissCommand::Data, packet::EncodeFrame(*sent));
  ASSERT_TRUE(a.socket.SendAll(
      std::string_view(reinterpret_cast<const char*>(kiss.data()), kiss.size()), 1000));
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(6);
  while (std::chrono::steady_clock::now() < until && (a.frames.empty() || b.frames.empty())) {
    a.Poll(20);
    b.Poll(20);
  }
  vexa.t.join();
  ASSERT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(a.frames, std::vector<std::string>{"DL7AIR>APRS:on air"});
  EXPECT_EQ(b.frames, std::vector<std::string>{"DL7AIR>APRS:on air"});
  const CliRun rx = WithConfig(dir, {"rx", "--mode", "ax25", "--modem", "1", out});
  EXPECT_TRUE(Contains(rx.out, "DL1KIS>APVX,WIDE1-1:from a KISS client\xc0\xdb")) << rx.out;
  if (!HaveTool("atest")) {
    GTEST_SKIP() << "atest (direwolf) is not installed: scripts/install-deps.sh peers";
  }
  const std::string decoded = RunTool("atest -B 1200 " + out);
  EXPECT_TRUE(Contains(decoded, "DL1KIS>APVX,WIDE1-1:from a KISS client")) << decoded;
}

// A network KISS TNC played by the test: Vexa sends the five parameter frames, then connects
// through it, sends the typed line, hears the echo and disconnects.
TEST(PacketStationCli, UsesANetworkKissTncAsTheModem) {
  test::TempDir dir;
  platform::TcpServer tnc;
  std::string error;
  ASSERT_EQ(tnc.Listen("127.0.0.1", 0, error), 0) << error;
  const std::string typed = WriteText(dir, "typed.txt", "ping\n");
  CliRun run{};
  struct Joined {
    std::thread t;
    ~Joined() {
      if (t.joinable()) t.join();
    }
  } vexa;
  vexa.t = std::thread([&] {
    run = WithConfig(
        dir, {"packet", "--mycall", "DL1ME", "--tnc", "127.0.0.1:" + std::to_string(tnc.port()),
              "--connect", "DL2YOU", "--seconds", "8", "--text-file", typed});
  });
  // Raw KISS frames with their command byte, escapes undone.
  std::vector<std::vector<uint8_t>> frames;
  std::vector<uint8_t> cur;
  bool esc = false;
  auto answer = [&](const packet::Ax25Frame& f) {
    tnc.Broadcast(packet::EncodeKiss(packet::KissCommand::Data, packet::EncodeFrame(f)));
  };
  std::vector<std::string> heard;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(9);
  bool done = false;
  while (!done && std::chrono::steady_clock::now() < until) {
    tnc.Service(
        [&](int, std::span<const uint8_t> bytes) {
          for (uint8_t b : bytes) {
            if (b == packet::kFend) {
              if (!cur.empty()) frames.push_back(cur);
              cur.clear();
            } else if (b == packet::kFesc) {
              esc = true;
            } else {
              cur.push_back(esc && b == packet::kTfend   ? packet::kFend
                            : esc && b == packet::kTfesc ? packet::kFesc
                                                         : b);
              esc = false;
            }
          }
        },
        20);
    for (; heard.size() < frames.size();) {
      const auto& k = frames[heard.size()];
      if (k[0] != 0) {
        heard.push_back("param " + std::to_string(k[0]));
        continue;
      }
      auto f = packet::DecodeFrame(std::span<const uint8_t>(k).subspan(1));
      heard.push_back(f ? packet::FrameTypeName(f->type) : "?");
      if (!f) continue;
      using packet::FrameType;
      if (f->type == FrameType::Sabm) answer(Peer(FrameType::Ua, packet::kResponse, 1));
      if (f->type == FrameType::I) {
        heard.back() += ":" + std::string(f->info.begin(), f->info.end());
        answer(Peer(FrameType::I, packet::kCommand, 0, 1, 0, "echo: ping\r"));
      }
      if (f->type == FrameType::Disc) {
        answer(Peer(FrameType::Ua, packet::kResponse, 1));
        done = true;
      }
    }
  }
  vexa.t.join();
  ASSERT_EQ(run.code, kExitOk) << run.err;
  ASSERT_GE(heard.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(heard.begin(), heard.begin() + 7),
            (std::vector<std::string>{"param 1", "param 2", "param 3", "param 4", "param 5", "SABM",
                                      "I:ping\r"}));
  EXPECT_EQ(heard.back(), "DISC");
  EXPECT_TRUE(Contains(run.out, "*** CONNECTED.\n")) << run.out;
  EXPECT_TRUE(Contains(run.out, "echo: ping\n")) << run.out;
  EXPECT_TRUE(Contains(run.out, "*** DISCONNECTED.\n")) << run.out;
}

}  // namespace
}  // namespace vexa::cli
