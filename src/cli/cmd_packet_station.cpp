// vexa-cli packet: the packet station of mode 13 without a window, for tests and servers.
//
// The real packet engine runs on a 55 ms tick with its one-second cadence: monitor lines,
// status lines and connected text go to stdout; lines typed on stdin go into the connection
// (LF ends a line as CR does). The modem is the sound-card modem of the settings (or --modem),
// listening to --audio-in and sending into --audio-out, or with --tnc a KISS TNC on the network.
// --kiss-tcp serves the modem to KISS clients: their frames go out with channel access, every
// frame heard goes to every client.
//
// --audio-in and --audio-out each take a WAV file or a sound device (see IsAudioFile). Without a
// device or a network part the run is not paced: the input file sets the time (606 samples a
// tick), so a run over a recording is exact and fast. With a device, --tnc or --kiss-tcp it runs
// at the pace of the clock.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/packet_section.h"
#include "cli/cli.h"
#include "engine/sound_card.h"
#include "packet/kiss.h"
#include "platform/audio/audio_backend.h"
#include "platform/files/settings_store.h"
#include "platform/net/tcp_server.h"
#include "platform/net/tcp_socket.h"

namespace vexa::cli {
namespace {

constexpr double kSamplesPerTick = 11025.0 * 0.055;

volatile std::sig_atomic_t gStop = 0;
void OnSignal(int) {
  gStop = 1;
}

struct PacketOptions {
  std::optional<std::string> mycall, connect, via;
  std::optional<int> modem;
  std::string audioIn, audioOut, tnc, textFile;
  std::optional<std::string> kissTcp;
  double seconds = -1;
};

int Usage(CliContext& ctx, const std::string& why) {
  if (!why.empty()) ctx.err << "vexa-cli packet: " << why << "\n";
  ctx.err << "usage: vexa-cli packet [--mycall CALL] [--modem N] [--audio-in FILE|DEVICE]\n"
             "                      [--audio-out FILE|DEVICE] [--tnc HOST:PORT]\n"
             "                      [--kiss-tcp [HOST:]PORT] [--connect CALL [--via DIGIS]]\n"
             "                      [--seconds S] [--text-file F]\n"
             "  the packet station: monitor, status and connected text on stdout, typed lines\n"
             "  from stdin. --modem 0..6 a sound-card modem; --tnc a network KISS TNC as the\n"
             "  modem; --kiss-tcp serves the modem to KISS clients (default 127.0.0.1:8001).\n"
             "  --via takes digipeaters separated by spaces or commas. --text-file types the\n"
             "  file's lines instead of stdin's.\n"
             "  Audio: a value ending in .wav or holding a '/' is a WAV file (11025/s);\n"
             "  anything else is a sound device: its number or name as `vexa-cli devices`\n"
             "  lists it (part of the name is enough), \"default\" (the one `vexa-cli devices`\n"
             "  marks), or \"null\" (no sound card: hears nothing, plays nothing). With a\n"
             "  device the station runs in real time until --seconds, a signal, or the end of\n"
             "  stdin (with --connect: once the link has ended; with --kiss-tcp: not).\n";
  return kExitUsage;
}

// An audio option's value is a file when it ends in ".wav" (any case) or holds a '/'; anything
// else names a sound device.
bool IsAudioFile(const std::string& v) {
  std::string tail = v.size() >= 4 ? v.substr(v.size() - 4) : v;
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".wav" || v.find('/') != std::string::npos;
}

// One direction of a sound device: its backend and the card that streams on it.
struct DeviceAudio {
  std::unique_ptr<platform::AudioBackend> backend;
  std::unique_ptr<engine::SoundCard> card;
  std::string name;  // as the device list shows it
};

// Opens the device `text` names for input or output. On failure the message is written to
// ctx.err and the exit code is returned in rc.
bool OpenDevice(CliContext& ctx, const platform::SettingsStore& store, const std::string& text,
                bool output, DeviceAudio& dev, int& rc) {
  const char* option = output ? "--audio-out" : "--audio-in";
  dev.backend = text == "null" ? platform::MakeNullBackend() : platform::MakePortAudioBackend();
  engine::DeviceChoice choice;
  if (text == "default") {
    // The device `vexa-cli devices` marks: the remembered name, else the first.
    choice.inputName = store.ReadSettingText("Misc", "InputDevice", "");
    choice.outputName = store.ReadSettingText("Misc", "OutputDevice", "");
  }
  dev.card = std::make_unique<engine::SoundCard>(*dev.backend, choice);
  const int count = output ? dev.backend->OutputDeviceCount() : dev.backend->InputDeviceCount();
  int d = -1;
  if (count > 0)
    d = text == "default"
            ? (output ? dev.card->ChosenOutputDevice() : dev.card->ChosenInputDevice())
            : engine::FindDevice(*dev.backend, output, text);
  if (d < 0) {
    ctx.err << "vexa-cli packet: " << option << ": no sound " << (output ? "output" : "input")
            << " device \"" << text << "\"";
    if (count == 0) ctx.err << " (no sound card was found)";
    ctx.err << "; `vexa-cli devices` lists them, and a file name ends in .wav\n";
    rc = kExitUsage;
    return false;
  }
  if (output)
    choice.outputDevice = d;
  else
    choice.inputDevice = d;
  dev.card->SetDeviceChoice(choice);
  dev.name = output ? dev.backend->OutputDeviceName(d) : dev.backend->InputDeviceName(d);
  const int e = output ? dev.card->OpenSoundOutput() : dev.card->OpenSoundInput();
  if (e != 0) {
    ctx.err << "vexa-cli packet: " << option << ": cannot open " << dev.name << " (error " << e
            << ")\n";
    rc = kExitFailure;
    return false;
  }
  return true;
}

// Transmissions for an output device: queued samples go out in the card's four buffers of
// 1024 as the device hands them back.
struct DevicePlayer {
  engine::SoundCard* card = nullptr;
  std::deque<int16_t> waiting;
  std::vector<int> free{0, 1, 2, 3};

  void Service() {
    for (int index; card->TakeOutputDone(index);) free.push_back(index);
    while (!free.empty() && !waiting.empty()) {
      const int index = free.back();
      std::span<int16_t> buf = card->OutputBuffer(index);
      const size_t n = std::min(buf.size(), waiting.size());
      std::copy_n(waiting.begin(), n, buf.begin());
      waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(n));
      if (card->WriteOutputBuffer(index, n) != 0) {
        waiting.clear();  // the device failed: the transmission is dropped, not retried forever
        return;
      }
      free.pop_back();
    }
  }
  bool idle() const { return waiting.empty() && free.size() == platform::kAudioBuffers; }
};

bool SplitHostPort(const std::string& text, std::string& host, int& port) {
  const size_t colon = text.rfind(':');
  std::string p = colon == std::string::npos ? text : text.substr(colon + 1);
  host = colon == std::string::npos ? "127.0.0.1" : text.substr(0, colon);
  double d = 0;
  if (!ParseNumber(p, d) || d < 0 || d > 65535 || d != static_cast<int>(d)) return false;
  port = static_cast<int>(d);
  return !host.empty();
}

int Parse(CliContext& ctx, PacketOptions& o) {
  const auto& a = ctx.args;
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& k = a[i];
    if (k == "-h" || k == "--help") return Usage(ctx, "");
    const bool optionalValue = k == "--kiss-tcp";
    if (i + 1 >= a.size() || (optionalValue && a[i + 1].rfind("--", 0) == 0)) {
      if (optionalValue) {
        o.kissTcp = "127.0.0.1:8001";
        continue;
      }
      return Usage(ctx, k + " needs a value");
    }
    const std::string& v = a[++i];
    double d = 0;
    if (k == "--mycall") {
      o.mycall = v;
    } else if (k == "--modem") {
      if (!ParseNumber(v, d) || d < 0 || d > 7 || d != static_cast<int>(d))
        return Usage(ctx, "--modem takes 0..7");
      o.modem = static_cast<int>(d);
    } else if (k == "--audio-in") {
      o.audioIn = v;
    } else if (k == "--audio-out") {
      o.audioOut = v;
    } else if (k == "--tnc") {
      o.tnc = v;
    } else if (k == "--kiss-tcp") {
      o.kissTcp = v.find(':') == std::string::npos ? "127.0.0.1:" + v : v;
    } else if (k == "--text-file") {
      o.textFile = v;
    } else if (k == "--connect") {
      o.connect = v;
    } else if (k == "--via") {
      o.via = v;
    } else if (k == "--seconds") {
      if (!ParseNumber(v, d) || d <= 0) return Usage(ctx, "--seconds takes a positive number");
      o.seconds = d;
    } else {
      return Usage(ctx, "unknown option " + k);
    }
  }
  return kExitOk;
}

// Text of the station for stdout: CR LF and CR become line ends.
struct StdoutText final : packet::TextSink {
  std::ostream& out;
  bool lastCr = false;
  explicit StdoutText(std::ostream& o) : out(o) {}
  void PutText(std::string_view t) override {
    for (char c : t) {
      if (c == '\n' && lastCr) {
        lastCr = false;
        continue;
      }
      lastCr = c == '\r';
      out << (c == '\r' ? '\n' : c);
    }
    out.flush();
  }
};

// Typed text with its line ends as the link sends them: LF, CR and CR LF each become one CR.
std::string TypedLines(std::string_view text, bool* lastCr = nullptr) {
  bool cr = lastCr ? *lastCr : false;
  std::string out;
  for (char c : text) {
    if (c == '\n' && cr) {
      cr = false;
      continue;
    }
    cr = c == '\r';
    out += c == '\n' ? '\r' : c;
  }
  if (lastCr) *lastCr = cr;
  return out;
}

bool ReadTextFile(const std::string& path, std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  std::fclose(f);
  return true;
}

}  // namespace

int CmdPacket(CliContext& ctx) {
  PacketOptions o;
  if (int e = Parse(ctx, o)) return e;

  const platform::SettingsStore store(ctx.paths.settingsFile);
  app::PacketSettings s;
  s.Load(store);
  if (o.modem) s.modem.type = *o.modem;
  if (!o.tnc.empty()) s.modem.type = 7;
  if (s.modem.type == 7 && o.tnc.empty())
    return Usage(ctx, "modem 7 (KISS TNC) needs --tnc HOST:PORT here");
  if (s.modem.type < 0 || s.modem.type > 7) return Usage(ctx, "no such modem");
  s.modem.receiveHz = store.ReadSettingInt("Main", "SoundFq", 1000);
  packet::Ax25Address mycall = s.defaultMyCall;
  if (o.mycall) {
    auto c = packet::ParseCallsign(*o.mycall);
    if (!c) return Usage(ctx, "--mycall " + *o.mycall + " is no callsign");
    mycall = *c;
    bool known = false;
    for (int i = 0; i < s.station.incomingCalls.count(); ++i)
      known = known || s.station.incomingCalls[i] == mycall;
    if (!known && !s.station.incomingCalls.Add(mycall)) {
      ctx.err << "vexa-cli packet: IncomingMyCalls is full; " << *o.mycall << " not added\n";
    }
  }
  std::optional<packet::Ax25Address> remote;
  packet::Ax25AddressList via(packet::kMaxDigis);
  if (o.connect) {
    remote = packet::ParseCallsign(*o.connect);
    if (!remote) return Usage(ctx, "--connect " + *o.connect + " is no callsign");
    if (mycall.Call().empty()) return Usage(ctx, "--connect needs --mycall (or DefaultMyCall)");
    std::string digis = o.via.value_or("");
    for (char& c : digis)
      if (c == ',') c = ' ';
    if (packet::ParseCallsignList(digis, via) < 0)
      return Usage(ctx, "--via " + *o.via + ": at most 7 callsigns");
  } else if (o.via) {
    return Usage(ctx, "--via needs --connect");
  }

  const bool inDevice = !o.audioIn.empty() && !IsAudioFile(o.audioIn);
  const bool outDevice = !o.audioOut.empty() && !IsAudioFile(o.audioOut);
  DeviceAudio devIn, devOut;
  DevicePlayer player;
  if (inDevice || outDevice) {
    int rc = kExitOk;
    if (inDevice && !OpenDevice(ctx, store, o.audioIn, false, devIn, rc)) return rc;
    if (outDevice && !OpenDevice(ctx, store, o.audioOut, true, devOut, rc)) return rc;
    if (inDevice) ctx.err << "vexa-cli packet: receiving from " << devIn.name << "\n";
    if (outDevice) ctx.err << "vexa-cli packet: sending to " << devOut.name << "\n";
    player.card = devOut.card.get();
  }

  std::vector<int16_t> input;
  if (!o.audioIn.empty() && !inDevice) {
    std::string error;
    if (!platform::ReadAudioFile(o.audioIn, input, error)) {
      ctx.err << "vexa-cli packet: " << error << "\n";
      return kExitBadInput;
    }
  }

  StdoutText text(ctx.out);
  app::FileLinkTrace trace(ctx.paths.WorkFile("trace.log"));
  app::PacketEngine engine(&text, &text, &trace);

  // The output timeline: silence until a transmission, transmissions one after another.
  std::vector<int16_t> output;
  size_t nowSample = 0;
  engine.set_transmit([&](std::vector<int16_t> samples) {
    if (outDevice) {
      player.waiting.insert(player.waiting.end(), samples.begin(), samples.end());
      return;
    }
    if (output.size() < nowSample) output.resize(nowSample, 0);
    output.insert(output.end(), samples.begin(), samples.end());
  });

  platform::TcpSocket tnc;
  if (!o.tnc.empty()) {
    std::string host, error;
    int port = 0;
    if (!SplitHostPort(o.tnc, host, port)) return Usage(ctx, "--tnc takes HOST:PORT");
    if (tnc.Connect(host, port, 5000, error) != platform::kTcpOk) {
      ctx.err << "vexa-cli packet: KISS TNC " << error << "\n";
      return kExitFailure;
    }
    engine.set_tnc([&](std::span<const uint8_t> bytes) {
      (void)tnc.SendAll(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                        1000);
    });
  }
  platform::TcpServer server;
  std::map<int, std::unique_ptr<packet::KissReceiver>> clients;
  struct ClientFrames final : packet::KissReceiver::Handler {
    app::PacketEngine* engine;
    void OnKissFrame(std::span<const uint8_t> f) override { engine->SubmitFrame(f); }
  } clientFrames;
  clientFrames.engine = &engine;
  if (o.kissTcp) {
    std::string host, error;
    int port = 0;
    if (!SplitHostPort(*o.kissTcp, host, port)) return Usage(ctx, "--kiss-tcp takes [HOST:]PORT");
    if (server.Listen(host, port, error) != 0) {
      ctx.err << "vexa-cli packet: KISS server " << error << "\n";
      return kExitFailure;
    }
    ctx.err << "vexa-cli packet: KISS server on " << host << ":" << server.port() << "\n";
    engine.set_heard([&](std::span<const uint8_t> frame) {
      server.Broadcast(packet::EncodeKiss(packet::KissCommand::Data, frame));
    });
  }
  engine.Apply(s);

  const bool paced = !o.tnc.empty() || o.kissTcp.has_value() || inDevice || outDevice;
  const double inputSeconds = static_cast<double>(input.size()) / 11025.0;
  const double seconds = o.seconds > 0 ? o.seconds : paced ? 0 : inputSeconds + 10;

  // Typed text: everything at once when not paced (a script), else as it comes.
  bool stdinOpen = o.textFile.empty() && !isatty(0);
  if (!o.textFile.empty()) {
    std::string typed;
    if (!ReadTextFile(o.textFile, typed)) {
      ctx.err << "vexa-cli packet: cannot read " << o.textFile << "\n";
      return kExitBadInput;
    }
    engine.console().Type(TypedLines(typed));
  }
  bool lastCr = false;
  bool stdinEnded = false;  // read to its end (not merely unread, as a terminal is)
  auto readStdin = [&](int timeoutMs) {
    while (stdinOpen) {
      pollfd p{0, POLLIN, 0};
      if (::poll(&p, 1, timeoutMs) <= 0) return;
      char buf[1024];
      const ssize_t n = ::read(0, buf, sizeof buf);
      if (n <= 0) {
        stdinOpen = false;
        stdinEnded = true;
        return;
      }
      engine.console().Type(TypedLines(std::string_view(buf, static_cast<size_t>(n)), &lastCr));
    }
  };
  if (!paced) readStdin(1000);  // to its end, or until it stays silent for a second

  if (remote) {
    if (!engine.console().Connect(mycall, *remote, via, false)) {
      ctx.err << "vexa-cli packet: Cannot connect!\n";
      return kExitFailure;
    }
  }

  // A signal ends this run only; the handlers before it are back once it has ended.
  gStop = 0;
  const auto oldInt = std::signal(SIGINT, OnSignal);
  const auto oldTerm = std::signal(SIGTERM, OnSignal);
  bool disconnecting = false;
  int afterEnd = -1;  // ticks left once our connection has ended
  const auto start = std::chrono::steady_clock::now();
  double nextSecondMs = 1000;
  size_t inputPos = 0;
  for (uint64_t tick = 0; !gStop; ++tick) {
    const double tMs = static_cast<double>(tick) * 55.0;
    if (seconds > 0 && tMs >= seconds * 1000) break;
    if (paced) {
      std::this_thread::sleep_until(start + std::chrono::milliseconds(static_cast<int64_t>(tMs)));
      readStdin(0);
    }
    nowSample = static_cast<size_t>(static_cast<double>(tick) * kSamplesPerTick);
    // Receive audio of this tick: what the device has delivered, or the file's share.
    if (inDevice) {
      platform::InputBlock block;
      while (devIn.card->TakeInputBlock(block)) {
        engine.ProcessSamples(block.samples);
        if (devIn.card->RequeueInputBlock(block) != 0) {
          ctx.err << "vexa-cli packet: the sound input " << devIn.name << " failed\n";
          gStop = 1;
          break;
        }
      }
    }
    const size_t until = std::min(input.size(), static_cast<size_t>((tick + 1) * kSamplesPerTick));
    if (inputPos < until) {
      engine.ProcessSamples(std::span<const int16_t>(input.data() + inputPos, until - inputPos));
      inputPos = until;
    }
    if (tnc.open()) {
      uint8_t buf[4096];
      for (int n; (n = tnc.Receive(buf, sizeof buf, 0)) > 0;)
        engine.OnTncBytes({buf, static_cast<size_t>(n)});
      if (!tnc.open()) {
        ctx.err << "vexa-cli packet: the KISS TNC closed the connection\n";
        break;
      }
    }
    if (o.kissTcp) {
      server.Service([&](int client, std::span<const uint8_t> bytes) {
        auto& rx = clients[client];
        if (!rx) rx = std::make_unique<packet::KissReceiver>(&clientFrames);
        rx->Push(bytes);
      });
    }
    engine.Tick55();
    if (outDevice) player.Service();
    if (tMs + 55.0 >= nextSecondMs) {
      nextSecondMs += 1000;
      engine.Second();
    }
    // A connection we made ends when stdin has ended and everything typed is acknowledged.
    if (remote) {
      packet::Ax25Link* l = engine.console().current();
      if (l && !disconnecting && !stdinOpen && engine.console().typedWaiting() == 0 &&
          l->written() == 0 && l->state() == packet::Ax25Link::kConnected) {
        l->Disconnect();
        disconnecting = true;
      }
      if (!l && afterEnd < 0 && tick > 0) afterEnd = 20;  // a second for the last frames
      if (afterEnd >= 0 && afterEnd-- == 0) break;
    } else if ((inDevice || outDevice) && !o.kissTcp && seconds <= 0 && stdinEnded &&
               engine.framesWaiting() == 0 && (!outDevice || player.idle())) {
      // A device run without --seconds ends with stdin, once what was sent has played; a KISS
      // server keeps serving (it may well run with stdin at /dev/null).
      break;
    }
  }
  std::signal(SIGINT, oldInt);
  std::signal(SIGTERM, oldTerm);
  // The cards close before their backends go (SoundCard does not close on destruction).
  for (DeviceAudio* d : {&devIn, &devOut}) {
    if (!d->card) continue;
    d->card->CloseSoundInput();
    d->card->CloseSoundOutput();
  }

  if (!o.audioOut.empty() && !outDevice) {
    output.resize(std::max(output.size(), nowSample), 0);
    std::string error;
    if (!platform::WriteWavFile(o.audioOut, output, error)) {
      ctx.err << "vexa-cli packet: cannot write " << o.audioOut << ": " << error << "\n";
      return kExitFailure;
    }
  }
  ctx.out.flush();
  return kExitOk;
}

}  // namespace vexa::cli
