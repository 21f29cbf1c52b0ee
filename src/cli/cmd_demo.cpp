// vexa-cli demo: makes the built-in demo audio with Vexa's own modulators and decodes it through
// the program's real receive path (sound card on a file, receive loop, decoders, the tick that
// moves text into the receive window), once for every station of the demo.
#include <iomanip>
#include <iostream>

#include "app/demo_audio.h"
#include "app/file_receiver.h"
#include "cli/cli.h"
#include "common/mode.h"
#include "platform/audio/audio_backend.h"

namespace vexa::cli {

int CmdDemo(CliContext& ctx) {
  double seconds = 30;
  if (!ctx.args.empty()) {
    if (ctx.args.size() != 2 || ctx.args[0] != "--seconds" || std::atof(ctx.args[1].c_str()) <= 0) {
      ctx.err << "usage: vexa-cli demo [--seconds S]\n";
      return kExitUsage;
    }
    seconds = std::atof(ctx.args[1].c_str());
  }
  const std::string wav = ctx.paths.WorkFile("demo.wav");
  std::string error;
  if (!app::WriteDemoAudio(wav, error, seconds)) {
    ctx.err << "vexa-cli: " << error << "\n";
    return kExitFailure;
  }
  ctx.out << "Demo audio (" << seconds << " s, written to " << wav << "), decoded by Vexa:\n";
  for (const auto& sig : app::DemoSignals()) {
    const auto got = app::ReceiveFile(wav, sig.mode, sig.audioHz, ctx.paths.workDir);
    if (!got.ok) {
      ctx.err << "vexa-cli: " << got.error << "\n";
      return kExitBadInput;
    }
    std::string text;
    for (char ch : got.text) text += (ch == '\r') ? '\n' : ch;
    while (text.find("\n\n") != std::string::npos) text.erase(text.find("\n\n"), 1);
    ctx.out << "\n== " << ModeName(sig.mode) << " at " << sig.audioHz << " Hz ==\n" << text;
    if (text.empty() || text.back() != '\n') ctx.out << "\n";
  }
  return kExitOk;
}

}  // namespace vexa::cli
