// vexa-cli browse: every PSK31 or RTTY signal in a recording, found and decoded at once by the
// signal browser. The file is read block by block through the file audio backend, as `rx` reads
// it; at the end one line per signal found, ordered by frequency: the audio frequency in whole
// hertz, a tab, and the text decoded on it (line ends as spaces).
#include <cmath>
#include <string>

#include "cli/cli.h"
#include "decoders/signal_browser.h"
#include "engine/sound_card.h"
#include "platform/audio/audio_backend.h"

namespace vexa::cli {
namespace {

struct BrowseArgs {
  decoders::BrowserOptions options;
  bool modeGiven = false;
  std::string file;
};

int Usage(CliContext& ctx, const std::string& message) {
  if (!message.empty()) ctx.err << "vexa-cli browse: " << message << "\n";
  ctx.err << "usage: vexa-cli browse --mode psk31|rtty [--demod classic|best] [--reverse]"
             " [--low HZ] [--high HZ] FILE.wav\n"
             "  FILE.wav             any rate and channel count; - reads standard input\n"
             "  --mode               PSK31 (BPSK) or RTTY 45.45 baud, 170 Hz shift\n"
             "  --demod classic|best the classic demodulators (default) or the stronger ones\n"
             "  --reverse            RTTY: mark on the lower tone (the other sideband)\n"
             "  --low HZ, --high HZ  the part of the audio searched, default 200 to 3500\n"
             "  prints one line per signal, by frequency: HZ, a tab, the text decoded on it\n";
  return kExitUsage;
}

int Parse(CliContext& ctx, BrowseArgs& o) {
  const auto& a = ctx.args;
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& arg = a[i];
    if (arg == "--mode" || arg == "--demod" || arg == "--low" || arg == "--high") {
      if (i + 1 >= a.size()) return Usage(ctx, arg + " needs a value");
      const std::string& v = a[++i];
      if (arg == "--mode") {
        if (v == "psk31") {
          o.options.mode = decoders::BrowseMode::Psk31;
        } else if (v == "rtty") {
          o.options.mode = decoders::BrowseMode::Rtty;
        } else {
          return Usage(ctx, "unknown mode '" + v + "' (psk31 or rtty)");
        }
        o.modeGiven = true;
      } else if (arg == "--demod") {
        if (v != "classic" && v != "best") return Usage(ctx, "unknown demodulator '" + v + "'");
        o.options.best = v == "best";
      } else {
        double hz = 0;
        if (!ParseNumber(v, hz) || hz < 50 || hz > 5400) {
          return Usage(ctx, arg + " must be a frequency in Hz between 50 and 5400");
        }
        (arg == "--low" ? o.options.lowHz : o.options.highHz) = hz;
      }
    } else if (arg == "--reverse") {
      o.options.invert = true;
    } else if (arg == "-h" || arg == "--help") {
      return Usage(ctx, "");
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage(ctx, "unknown option '" + arg + "'");
    } else if (o.file.empty()) {
      o.file = arg;
    } else {
      return Usage(ctx, "only one input file");
    }
  }
  if (!o.modeGiven) return Usage(ctx, "--mode is required");
  if (o.file.empty()) return Usage(ctx, "no input file");
  if (o.options.highHz < o.options.lowHz + 100) {
    return Usage(ctx, "--high must lie at least 100 Hz above --low");
  }
  return 0;
}

std::string Trimmed(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace

int CmdBrowse(CliContext& ctx) {
  BrowseArgs o;
  if (int e = Parse(ctx, o)) return e;
  decoders::SignalBrowser browser(o.options);
  if (!browser.ok()) {
    ctx.err << "vexa-cli browse: cannot set up the spectrum\n";
    return kExitFailure;
  }
  FileInput input;
  int failed = kExitOk;
  if (!OpenFileInput(ctx, o.file, input, failed, "browse")) return failed;
  engine::SoundCard& card = *input.card;
  platform::InputBlock block;
  while (card.TakeInputBlock(block)) {
    browser.ProcessBlock(block.samples);
    if (card.RequeueInputBlock(block) != 0) break;
  }
  card.CloseSoundInput();
  for (const decoders::BrowserSignal& s : browser.Signals()) {
    ctx.out << std::lround(s.hz) << '\t' << Trimmed(s.text) << '\n';
  }
  ctx.out.flush();
  return kExitOk;
}

}  // namespace vexa::cli
