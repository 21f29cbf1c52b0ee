// vexa-cli tx: modulates a text into a WAV file through the real transmit path. The text goes
// into a transmit text followed by the end mark 0xAE; the transmitter is switched on exactly as
// by the TX button, on the file audio backend, and every block the backend hands back is
// refilled until the end block returns and the transmitter switches back to receive.
// Station settings (MyCall, CwId, UseDE, Pitch, NormalSpeed, Wrap) come from the settings file;
// the options override them for this run.
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "cli/cli.h"
#include "decoders/rx_commands.h"
#include "engine/rx_text_queue.h"
#include "engine/sound_card.h"
#include "platform/audio/audio_backend.h"
#include "platform/files/settings_store.h"
#include "tx/cw_keyer.h"
#include "tx/key_lines.h"
#include "tx/periodic_timer.h"
#include "tx/transmit_text.h"
#include "tx/transmitter.h"

namespace vexa::cli {
namespace {

constexpr double kMaxAudioHz = 5512.5;
// A transmission that has not ended after an hour of audio is stopped (a text without end).
constexpr int kMaxBlocks = 11025 * 3600 / 1024;

struct TxOptions {
  std::optional<Mode> mode;
  double freq = 1000.0;
  bool freqGiven = false;
  std::string baudText;
  int wpm = 0;
  std::optional<std::string> call;
  bool reverse = false;
  std::optional<std::string> text;
  std::string textFile;
  std::string out;
};

std::string ModeList() {
  return ModeCliNames(tx::IsSoundTransmitMode, "|");
}

int Usage(CliContext& ctx, const std::string& message) {
  if (!message.empty()) ctx.err << "vexa-cli tx: " << message << "\n";
  ctx.err << "usage: vexa-cli tx --mode {" << ModeList()
          << "} [--freq HZ] [--baud B] [--wpm N] [--call CALL] [--reverse]"
             " (--text T | --text-file F) -o OUT.wav\n"
             "  --freq HZ        transmit audio frequency (centre of RTTY tones), default 1000;\n"
             "                   in CW the tone pitch, default the Pitch setting (800)\n"
             "  --baud B         RTTY and MTTY baud rate, 10 to 300, default 45.45\n"
             "  --wpm N          CW speed in words per minute (default from NormalSpeed)\n"
             "  --call CALL      own call for the Morse identification (default MyCall)\n"
             "  --reverse        mark on the lower tone / other sideband\n"
             "  in the text, \\xAE ends the transmission, \\xA9 sends the identification in\n"
             "  Morse, \\xA4 the prosign SK; \\n, \\r and \\\\ are a line feed, a return, a "
             "backslash\n"
             "  packet: vexa-cli tx --mode ax25 -h\n";
  return kExitUsage;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The escapes of the --text option: \xAE, \xA9 and \xA4 give the control bytes, \n \r \\ the
// usual characters; anything else after a backslash stays as written.
std::string UnescapeTxText(const std::string& in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\' || i + 1 >= in.size()) {
      out += in[i];
      continue;
    }
    const char n = in[i + 1];
    if ((n == 'x' || n == 'X') && i + 3 < in.size() && HexDigit(in[i + 2]) >= 0 &&
        HexDigit(in[i + 3]) >= 0) {
      const int v = HexDigit(in[i + 2]) * 16 + HexDigit(in[i + 3]);
      if (v == 0xAE || v == 0xA9 || v == 0xA4) {
        out += static_cast<char>(v);
        i += 3;
        continue;
      }
    }
    if (n == 'n' || n == 'r' || n == '\\') {
      out += n == 'n' ? '\n' : n == 'r' ? '\r' : '\\';
      ++i;
      continue;
    }
    out += in[i];
  }
  return out;
}

int ParseTxOptions(CliContext& ctx, TxOptions& o) {
  const auto& a = ctx.args;
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& arg = a[i];
    if (arg == "--reverse") {
      o.reverse = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") return Usage(ctx, "");
    const bool known = arg == "--mode" || arg == "--freq" || arg == "--baud" || arg == "--wpm" ||
                       arg == "--call" || arg == "--text" || arg == "--text-file" || arg == "-o" ||
                       arg == "--out";
    if (!known) return Usage(ctx, "unknown argument '" + arg + "'");
    if (i + 1 >= a.size()) return Usage(ctx, arg + " needs a value");
    const std::string& v = a[++i];
    if (arg == "--mode") {
      o.mode = ParseModeIf(v, tx::IsSoundTransmitMode);
      if (!o.mode) return Usage(ctx, "unknown mode '" + v + "'");
    } else if (arg == "--freq") {
      if (!ParseNumber(v, o.freq) || o.freq <= 0 || o.freq >= kMaxAudioHz)
        return Usage(ctx, "--freq must be a frequency in Hz between 0 and 5512.5");
      o.freqGiven = true;
    } else if (arg == "--baud") {
      o.baudText = v;
    } else if (arg == "--wpm") {
      double w = 0;
      if (!ParseNumber(v, w) || w < 1 || w > 100 || w != std::floor(w))
        return Usage(ctx, "--wpm must be a whole number from 1 to 100");
      o.wpm = static_cast<int>(w);
    } else if (arg == "--call") {
      o.call = v;
    } else if (arg == "--text") {
      o.text = UnescapeTxText(v);
    } else if (arg == "--text-file") {
      o.textFile = v;
    } else {
      o.out = v;
    }
  }
  if (!o.mode) return Usage(ctx, "--mode is required");
  if (o.text.has_value() == !o.textFile.empty())
    return Usage(ctx, "give the text with exactly one of --text and --text-file");
  if (o.out.empty()) return Usage(ctx, "-o OUT.wav is required");
  return 0;
}

}  // namespace

int CmdTx(CliContext& ctx) {
  if (NamesPacketMode(ctx.args)) return CmdTxPacket(ctx);
  TxOptions o;
  if (int e = ParseTxOptions(ctx, o)) return e;

  std::string text;
  if (o.text) {
    text = *o.text;
  } else {
    std::ifstream f(o.textFile, std::ios::binary);
    if (!f) {
      ctx.err << "vexa-cli tx: cannot read " << o.textFile << "\n";
      return kExitBadInput;
    }
    std::ostringstream ss;
    ss << f.rdbuf();
    text = ss.str();
  }

  double baud = 45.45;
  if (!o.baudText.empty()) {
    baud = decoders::ParseBaudText(o.baudText);
    if (!(baud >= decoders::kMinRttyBaud && baud <= decoders::kMaxRttyBaud))
      return Usage(ctx, decoders::kBaudRateOutOfRange);
  }

  const platform::SettingsStore store(ctx.paths.settingsFile);
  tx::ModulatorParams p;
  p.centreHz = o.freq;
  p.rttyBaud = baud;
  p.reverse = o.reverse;
  p.cwIdUnitSymbols = store.ReadSettingInt("Station", "CwId", 2);
  p.useDe = store.ReadSettingInt("Station", "UseDE", 0) != 0;
  p.myCall = o.call ? *o.call : store.ReadSettingText("Station", "MyCall", "NOCALL");
  p.cwPitchHz = store.ReadSettingInt("CW", "Pitch", 800);
  if (o.freqGiven) p.cwPitchHz = static_cast<int>(std::lround(o.freq));  // CW: the tone pitch
  int dot = store.ReadSettingInt("CW", "NormalSpeed", 20);
  if (o.wpm > 0) dot = (300 + o.wpm / 2) / o.wpm;  // dot length in 4 ms ticks
  if (dot < 1) dot = 1;

  std::string error;
  platform::FileAudioOptions fo;
  fo.outputPath = o.out;
  auto backend = platform::MakeFileBackend(fo, error);
  if (!backend) {
    ctx.err << "vexa-cli tx: " << error << "\n";
    return kExitFailure;
  }
  engine::SoundCard card(*backend, engine::DeviceChoice{});
  tx::KeyLines lines(nullptr);  // no transceiver port
  tx::PlainTransmitText source;
  source.Type(text);
  source.PostAtEnd(tx::kTxEnd);
  engine::RxTextQueue echo;
  tx::SteadyClock clock;
  tx::Transmitter transmitter(card, source, lines, echo, clock);
  transmitter.SetMode(*o.mode);
  transmitter.SetParams(p);
  transmitter.SetSoundCardCw(true);
  transmitter.SetReceptionOn(false);
  transmitter.SetWrap(store.ReadSettingInt("Keyboard", "Wrap", 80));
  transmitter.keyer().SetNormalDotTicks(dot);

  transmitter.ToggleTransmit();
  if (transmitter.outputOpenResult() != 0) {
    ctx.err << "vexa-cli tx: cannot write " << o.out << " (error " << transmitter.outputOpenResult()
            << ")\n";
    transmitter.Abort();
    return kExitFailure;
  }
  int blocks = 0;
  int index = -1;
  while (transmitter.active() && blocks < kMaxBlocks && card.TakeOutputDone(index)) {
    transmitter.OnOutputDone(index);
    ++blocks;
  }
  if (transmitter.active()) {
    transmitter.Abort();
    ctx.err << "vexa-cli tx: the transmission did not end\n";
    return kExitFailure;
  }
  const double seconds = static_cast<double>(transmitter.blocksFilled()) * 1024 / 11025;
  const double hz = *o.mode == Mode::Cw ? p.cwPitchHz : o.freq;
  ctx.out << o.out << ": " << ModeName(*o.mode) << " at " << hz << " Hz, "
          << static_cast<int>(seconds * 10 + 0.5) / 10.0 << " s\n";
  return kExitOk;
}

}  // namespace vexa::cli
