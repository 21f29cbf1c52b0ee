// vexa-cli rx: decodes an audio file through the real receive path. The file is read by the
// file audio backend and taken block by block (2048 samples) from the sound card object, exactly
// as the desktop program takes blocks from a sound card; each block goes through the receive loop
// with the decoder chain's channels, and the received-text queue is drained after every block.
// The decoded bytes go to stdout unchanged (CR and LF as received).
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli.h"
#include "decoders/decoder_chain.h"
#include "decoders/hell_image.h"
#include "decoders/receive_path.h"
#include "decoders/rx_commands.h"
#include "engine/sound_card.h"
#include "platform/audio/audio_backend.h"

namespace vexa::cli {
namespace {

constexpr double kMaxAudioHz = 5512.5;  // half the input rate

struct RxOptions {
  std::optional<Mode> mode;
  double freq = decoders::kDefaultReceiveHz;
  std::string baudText;
  bool twoTone = false;
  bool bestDemod = false;
  bool reverse = false;
  bool afc = false;
  bool unshiftOnSpace = false;
  double secondHz = 0;
  std::string secondOut;
  std::string imageOut;  // hell: the received strip as a PGM image
  std::string file;
};

// The receive modes are the ones with a receive channel of their own, and the packet monitor.
bool IsRxMode(Mode m) {
  return HasOwnChannel(m) || m == Mode::Ax25;
}
std::string ModeList() {
  return ModeCliNames(IsRxMode, "|");
}

int Usage(CliContext& ctx, const std::string& message) {
  if (!message.empty()) ctx.err << "vexa-cli rx: " << message << "\n";
  ctx.err << "usage: vexa-cli rx --mode {" << ModeList()
          << "} [--freq HZ] [--baud B] [--demod classic|best] [--two-tone] [--reverse]"
             " [--unshift-on-space] [--afc] [--second HZ --second-out FILE] [--image OUT.pgm]"
             " FILE.wav\n"
             "  FILE.wav             any rate and channel count, read as it is decoded; - reads\n"
             "                       standard input (a pipe), so a stream of any length decodes\n"
             "  --freq HZ            receive frequency (centre of RTTY tones), default 1000\n"
             "  --baud B             RTTY baud rate, 10 to 300, default 45.45\n"
             "  --demod classic|best RTTY, MTTY, PSK31, QPSK, CW: the classic demodulators\n"
             "                       (default) or the stronger ones (matched filters or phase\n"
             "                       detection, timing from the whole signal, soft decisions,\n"
             "                       speed from the first letter)\n"
             "  --two-tone           RTTY: the two-tone demodulator\n"
             "  --reverse            mark on the lower tone / other sideband (QPSK, FSK31)\n"
             "  --unshift-on-space   RTTY: back to letters after a received space\n"
             "  --afc                PSK: follow the signal's frequency\n"
             "  --second HZ          PSK31 on a second frequency, its text to --second-out\n"
             "  --image OUT.pgm      hell: write the received strip as a greyscale image\n"
             "  (fsk31 is the variant where the tone is the bit, fsk31b the differential one)\n"
             "  packet: vexa-cli rx --mode ax25 -h\n";
  return kExitUsage;
}

// Parses the arguments; returns 0 or the exit code of a usage error (already reported).
int ParseRxOptions(CliContext& ctx, RxOptions& o) {
  const auto& a = ctx.args;
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& arg = a[i];
    const bool hasValue = i + 1 < a.size();
    if (arg == "--mode" || arg == "--freq" || arg == "--baud" || arg == "--second" ||
        arg == "--second-out" || arg == "--image" || arg == "--demod") {
      if (!hasValue) return Usage(ctx, arg + " needs a value");
      const std::string& v = a[++i];
      if (arg == "--mode") {
        o.mode = ParseModeIf(v, HasOwnChannel);
        if (!o.mode) return Usage(ctx, "unknown mode '" + v + "'");
      } else if (arg == "--freq") {
        if (!ParseNumber(v, o.freq) || o.freq <= 0 || o.freq >= kMaxAudioHz) {
          return Usage(ctx, "--freq must be a frequency in Hz between 0 and 5512.5");
        }
      } else if (arg == "--baud") {
        o.baudText = v;
      } else if (arg == "--second") {
        if (!ParseNumber(v, o.secondHz) || o.secondHz <= 0 || o.secondHz >= kMaxAudioHz) {
          return Usage(ctx, "--second must be a frequency in Hz between 0 and 5512.5");
        }
      } else if (arg == "--image") {
        o.imageOut = v;
      } else if (arg == "--demod") {
        if (v != "classic" && v != "best") return Usage(ctx, "unknown demodulator '" + v + "'");
        o.bestDemod = v == "best";
      } else {
        o.secondOut = v;
      }
    } else if (arg == "--two-tone") {
      o.twoTone = true;
    } else if (arg == "--reverse") {
      o.reverse = true;
    } else if (arg == "--afc") {
      o.afc = true;
    } else if (arg == "--unshift-on-space") {
      o.unshiftOnSpace = true;
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
  if (!o.mode) return Usage(ctx, "--mode is required");
  if (o.file.empty()) return Usage(ctx, "no input file");
  if (*o.mode == Mode::Hell && o.imageOut.empty()) {
    return Usage(ctx, "hell paints a picture: give --image OUT.pgm");
  }
  if (*o.mode != Mode::Hell && !o.imageOut.empty()) {
    return Usage(ctx, "--image goes with --mode hell");
  }
  if ((o.secondHz > 0) != !o.secondOut.empty()) {
    return Usage(ctx, "--second and --second-out go together");
  }
  return 0;
}

void Drain(engine::RxTextQueue& q, std::ostream& os) {
  uint8_t c;
  while (q.Get(c)) os.put(static_cast<char>(c));
}

}  // namespace

int CmdRx(CliContext& ctx) {
  if (NamesPacketMode(ctx.args)) return CmdRxPacket(ctx);
  RxOptions o;
  if (int e = ParseRxOptions(ctx, o)) return e;

  engine::RxTextQueue mainQueue;
  auto path = std::make_unique<decoders::ReceivePath>(mainQueue, 0);
  decoders::DecoderChain& chain = path->chain();
  if (!o.baudText.empty()) {
    platform::FixedPrompt prompt;
    double baud = 0;
    if (decoders::ApplyRttyBaudRate(o.baudText, chain, prompt, baud) != decoders::kRxOk) {
      return Usage(ctx, decoders::kBaudRateOutOfRange);
    }
  }
  decoders::ReceiveOptions ro;
  ro.mode = *o.mode;
  ro.receiveHz = o.freq;
  ro.twoTone = o.twoTone;
  ro.bestDemod = o.bestDemod;
  ro.inversion = o.reverse;
  ro.unshiftOnSpace = o.unshiftOnSpace;
  path->Apply(ro);

  decoders::HellImage hellImage;
  chain.hell().set_sink(&hellImage);

  std::ofstream secondFile;
  if (!o.secondOut.empty()) {
    secondFile.open(o.secondOut, std::ios::binary | std::ios::trunc);
    if (!secondFile) {
      ctx.err << "vexa-cli rx: cannot write " << o.secondOut << "\n";
      return kExitFailure;
    }
  }

  FileInput input;
  int failed = kExitOk;
  if (!OpenFileInput(ctx, o.file, input, failed)) return failed;
  engine::SoundCard& card = *input.card;

  if (o.secondHz > 0) path->PlaceSecondChannel(o.secondHz);

  platform::InputBlock block;
  while (card.TakeInputBlock(block)) {
    path->ProcessBlock(block.samples);
    if (o.afc) (void)path->AfcStep(true, false);
    Drain(mainQueue, ctx.out);
    if (secondFile.is_open()) Drain(chain.secondQueue(), secondFile);
    if (card.RequeueInputBlock(block) != 0) break;
  }
  card.CloseSoundInput();
  ctx.out.flush();
  if (!o.imageOut.empty()) {
    std::ofstream image(o.imageOut, std::ios::binary | std::ios::trunc);
    image << hellImage.ToPgm();
    image.flush();
    if (!image) {
      ctx.err << "vexa-cli rx: cannot write " << o.imageOut << "\n";
      return kExitFailure;
    }
  }
  if (secondFile.is_open()) {
    secondFile.flush();
    if (!secondFile) {
      ctx.err << "vexa-cli rx: error writing " << o.secondOut << "\n";
      return kExitFailure;
    }
  }
  return kExitOk;
}

}  // namespace vexa::cli
