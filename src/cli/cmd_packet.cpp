// vexa-cli rx and tx for packet radio (--mode ax25).
//
// rx decodes an audio file through the real receive path: blocks from the file audio backend
// go through the receive loop, which feeds the packet receivers exactly as in the desktop
// program. Without --modem the loop runs in mode 12, the monitor (a mixer demodulator at the
// receive frequency, 300 bit/s); with --modem N it runs in mode 13 and listens with modem N's
// demodulator. Each frame prints as one line "SRC>DST[,DIGI*]:INFO", or with --monitor in the
// program's own monitor text.
//
// tx reads one frame per line in the same form and sends them as UI frames (PID 0xF0) with
// modem N into a WAV file, with the TxDelay and TxTail of the settings.
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "decoders/receive_path.h"
#include "engine/rx_text_queue.h"
#include "engine/sound_card.h"
#include "packet/packet_channels.h"
#include "packet/tnc2_text.h"
#include "platform/audio/audio_backend.h"
#include "platform/files/settings_store.h"

namespace vexa::cli {
namespace {

constexpr double kMaxAudioHz = 5512.5;

bool IsAx25(const std::string& v) {
  const std::optional<Mode> m = ParseMode(v);
  return m && *m == Mode::Ax25;
}

// The modem settings of the settings file; --modem (given as `modem`) and --freq override them.
packet::PacketModemSettings StoredModemSettings(const CliContext& ctx, std::optional<int> modem) {
  const platform::SettingsStore store(ctx.paths.settingsFile);
  packet::PacketModemSettings s;
  s.type = modem ? *modem : store.ReadSettingInt("AX.25", "Modem_type", 0);
  s.usePsk = store.ReadSettingInt("AX.25", "UsePskOn24004800", 1) != 0;
  s.customBaud = store.ReadSettingInt("AX.25", "CustomAfskBaudrate", 2400);
  s.customTone1 = store.ReadSettingInt("AX.25", "CustomAfskTone1", 2000);
  s.customTone2 = store.ReadSettingInt("AX.25", "CustomAfskTone2", 3600);
  const int best = store.ReadSettingInt("AX.25", "BestDemodModems", 0);
  if (s.type >= 0 && s.type < 31 && ((best >> s.type) & 1)) s.demod = packet::DemodChoice::Best;
  return s;
}

// Parses "--modem N" (0..6: the sound-card modems).
bool ParseModem(const std::string& v, int& type) {
  double d = 0;
  if (!ParseNumber(v, d) || d < 0 || d > 6 || d != static_cast<int>(d)) return false;
  type = static_cast<int>(d);
  return true;
}

struct PacketRxOptions {
  std::optional<int> modem;
  double freq = 1000.0;
  bool monitor = false;
  std::optional<packet::DemodChoice> demod;  // default: the BestDemodModems setting
  std::string file;
};

int RxUsage(CliContext& ctx, const std::string& message) {
  if (!message.empty()) ctx.err << "vexa-cli rx: " << message << "\n";
  ctx.err << "usage: vexa-cli rx --mode ax25 [--modem N] [--freq HZ] [--demod classic|best]"
             " [--monitor] FILE.wav\n"
             "  --modem N      listen with sound-card modem N (0 HF 300, 1 VHF 1200 1200/2200,\n"
             "                 2 1200/2400, 3 1200/1800, 4 2400, 5 4800, 6 custom); without it\n"
             "                 the packet monitor listens (300 bit/s at --freq)\n"
             "  --freq HZ      receive frequency of the monitor and of modem 0, default 1000\n"
             "  --demod NAME   classic: the modem's own design (mixer or zero crossings); best:\n"
             "                 correlators on both tones with several slicers (default: the\n"
             "                 BestDemodModems setting, bit N for modem N)\n"
             "  --monitor      print each frame in the monitor text instead of SRC>DST:INFO\n";
  return kExitUsage;
}

int ParsePacketRx(CliContext& ctx, PacketRxOptions& o) {
  const auto& a = ctx.args;
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& arg = a[i];
    if (arg == "-h" || arg == "--help") return RxUsage(ctx, "");
    if (arg == "--monitor") {
      o.monitor = true;
      continue;
    }
    if (arg == "--mode" || arg == "--modem" || arg == "--freq" || arg == "--demod") {
      if (i + 1 >= a.size()) return RxUsage(ctx, arg + " needs a value");
      const std::string& v = a[++i];
      if (arg == "--mode") {
        if (!IsAx25(v)) return RxUsage(ctx, "unknown mode '" + v + "'");
      } else if (arg == "--modem") {
        int t = 0;
        if (!ParseModem(v, t)) return RxUsage(ctx, "--modem must be a sound-card modem 0 to 6");
        o.modem = t;
      } else if (arg == "--freq") {
        if (!ParseNumber(v, o.freq) || o.freq <= 0 || o.freq >= kMaxAudioHz)
          return RxUsage(ctx, "--freq must be a frequency in Hz between 0 and 5512.5");
      } else {
        if (v == "classic") {
          o.demod = packet::DemodChoice::Classic;
        } else if (v == "best") {
          o.demod = packet::DemodChoice::Best;
        } else {
          return RxUsage(ctx, "unknown demodulator '" + v + "'");
        }
      }
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return RxUsage(ctx, "unknown option '" + arg + "'");
    if (!o.file.empty()) return RxUsage(ctx, "only one input file");
    o.file = arg;
  }
  if (o.file.empty()) return RxUsage(ctx, "no input file");
  return 0;
}

struct PacketTxOptions {
  std::optional<int> modem;
  double freq = 1000.0;
  std::string frames;
  std::string out;
};

int TxUsage(CliContext& ctx, const std::string& message) {
  if (!message.empty()) ctx.err << "vexa-cli tx: " << message << "\n";
  ctx.err << "usage: vexa-cli tx --mode ax25 [--modem N] [--freq HZ] --frames FILE -o OUT.wav\n"
             "  --modem N      sound-card modem 0 to 6 (default: the Modem_type setting)\n"
             "  --freq HZ      modem 0: the tones lie 100 Hz below and above, default 1000\n"
             "  --frames FILE  one frame per line, SRC>DST[,DIGI...]:INFO (sent as UI frames)\n";
  return kExitUsage;
}

int ParsePacketTx(CliContext& ctx, PacketTxOptions& o) {
  const auto& a = ctx.args;
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& arg = a[i];
    if (arg == "-h" || arg == "--help") return TxUsage(ctx, "");
    const bool known = arg == "--mode" || arg == "--modem" || arg == "--freq" ||
                       arg == "--frames" || arg == "-o" || arg == "--out";
    if (!known) return TxUsage(ctx, "unknown argument '" + arg + "'");
    if (i + 1 >= a.size()) return TxUsage(ctx, arg + " needs a value");
    const std::string& v = a[++i];
    if (arg == "--mode") {
      if (!IsAx25(v)) return TxUsage(ctx, "unknown mode '" + v + "'");
    } else if (arg == "--modem") {
      int t = 0;
      if (!ParseModem(v, t)) return TxUsage(ctx, "--modem must be a sound-card modem 0 to 6");
      o.modem = t;
    } else if (arg == "--freq") {
      if (!ParseNumber(v, o.freq) || o.freq <= 100 || o.freq >= kMaxAudioHz - 100)
        return TxUsage(ctx, "--freq must be a frequency in Hz between 100 and 5412.5");
    } else if (arg == "--frames") {
      o.frames = v;
    } else {
      o.out = v;
    }
  }
  if (o.frames.empty()) return TxUsage(ctx, "--frames FILE is required");
  if (o.out.empty()) return TxUsage(ctx, "-o OUT.wav is required");
  return 0;
}

}  // namespace

bool NamesPacketMode(const std::vector<std::string>& args) {
  for (size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == "--mode" && IsAx25(args[i + 1])) return true;
  return false;
}

int CmdRxPacket(CliContext& ctx) {
  PacketRxOptions o;
  if (int e = ParsePacketRx(ctx, o)) return e;

  packet::PacketModemSettings s = StoredModemSettings(ctx, o.modem);
  s.receiveHz = o.freq;
  if (!o.modem && (s.type < 0 || s.type > 6)) s.type = 0;  // the monitor needs a built-in modem
  if (o.demod) s.demod = *o.demod;

  packet::PacketChannels channels;
  channels.set_listener([&](const packet::Ax25Frame& f, packet::PacketChannels::Source) {
    if (o.monitor) {
      ctx.out << packet::MonitorText(f);
    } else {
      ctx.out << packet::FormatTnc2(f) << "\n";
    }
  });
  channels.Configure(s);

  engine::RxTextQueue mainQueue;
  auto path = std::make_unique<decoders::ReceivePath>(mainQueue, 0);
  decoders::ReceiveOptions ro;
  ro.mode = o.modem ? Mode::Ax25Tx : Mode::Ax25;
  ro.receiveHz = o.freq;
  path->Apply(ro);
  path->SetPacketSinks(channels.monitor(), channels.modem());

  FileInput input;
  int failed = kExitOk;
  if (!OpenFileInput(ctx, o.file, input, failed)) return failed;
  engine::SoundCard& card = *input.card;
  platform::InputBlock block;
  while (card.TakeInputBlock(block)) {
    path->ProcessBlock(block.samples);
    if (card.RequeueInputBlock(block) != 0) break;
  }
  card.CloseSoundInput();
  ctx.out.flush();
  return kExitOk;
}

int CmdTxPacket(CliContext& ctx) {
  PacketTxOptions o;
  if (int e = ParsePacketTx(ctx, o)) return e;

  packet::PacketModemSettings s = StoredModemSettings(ctx, o.modem);
  if (s.type < 0 || s.type > 6) {
    ctx.err << "vexa-cli tx: modem " << s.type << " is no sound-card modem; give --modem 0..6\n";
    return kExitUsage;
  }
  s.receiveHz = o.freq;

  std::ifstream in(o.frames, std::ios::binary);
  if (!in) {
    ctx.err << "vexa-cli tx: cannot read " << o.frames << "\n";
    return kExitBadInput;
  }
  std::vector<std::vector<uint8_t>> frames;
  int lineNo = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    auto f = packet::ParseTnc2(line);
    if (!f) {
      ctx.err << "vexa-cli tx: " << o.frames << ":" << lineNo
              << ": not a frame (SRC>DST[,DIGI...]:INFO): " << line << "\n";
      return kExitBadInput;
    }
    frames.push_back(packet::EncodeFrame(*f));
  }
  if (frames.empty()) {
    ctx.err << "vexa-cli tx: " << o.frames << " holds no frame\n";
    return kExitBadInput;
  }

  const platform::SettingsStore store(ctx.paths.settingsFile);
  packet::PacketSendOptions so;
  so.txDelay = store.ReadSettingInt("AX.25", "TxDelay", 30);
  so.txTail = store.ReadSettingInt("AX.25", "TxTail", 0);
  std::vector<int16_t> samples(5512, 0);  // half a second of silence before and after
  const auto sent = packet::SendFrames(s, frames, so);
  samples.insert(samples.end(), sent.begin(), sent.end());
  samples.insert(samples.end(), 5512, 0);

  std::string error;
  if (!platform::WriteWavFile(o.out, samples, error)) {
    ctx.err << "vexa-cli tx: cannot write " << o.out << ": " << error << "\n";
    return kExitFailure;
  }
  const double seconds = static_cast<double>(samples.size()) / 11025;
  ctx.out << o.out << ": AX25 modem " << s.type << ", " << frames.size() << " frames, "
          << static_cast<int>(seconds * 10 + 0.5) / 10.0 << " s\n";
  return kExitOk;
}

}  // namespace vexa::cli
