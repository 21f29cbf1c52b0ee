// vexa-cli demo: makes the built-in demo audio with Vexa's own modulators and decodes it through
// the program's real receive path (sound card on a file, receive loop, decoders, the tick that
// moves text into the receive window), once for every station of the demo.
#include <iomanip>
#include <iostream>

#include "app/demo_audio.h"
#include "app/headless_runner.h"
#include "app/main_core.h"
#include "cli/cli.h"
#include "engine/mode.h"
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
    // A settings file of its own, so the operator's settings are neither read nor changed.
    const std::string ini = ctx.paths.WorkFile("demo.ini");
    std::remove(ini.c_str());
    platform::SettingsStore store(ini);
    (void)store.WriteSettingInt("Misc", "ModeOnExit", sig.mode);
    (void)store.WriteSettingInt("Spectrum", "SoundFq", static_cast<int>(sig.audioHz));
    (void)store.WriteSettingInt("CW", "Pitch", static_cast<int>(sig.audioHz));
    platform::FileAudioOptions o;
    o.inputPath = wav;
    auto audio = platform::MakeFileBackend(o, error);
    if (!audio) {
      ctx.err << "vexa-cli: " << error << "\n";
      return kExitBadInput;
    }
    platform::FixedPrompt prompt;
    app::CoreConfig c;
    c.store = &store;
    c.paths = ctx.paths;
    c.prompt = &prompt;
    c.audio = audio.get();
    c.openSerialPort = false;
    app::HeadlessRunner runner;
    app::TextReceiveView view;
    {
      app::MainCore core(c, platform::TraceLog(), runner, app::kTemplateNormal);
      core.AttachReceiveView(&view);
      core.SetHeadlessSpectrum(true);
      runner.RunModal(core);
    }
    std::remove(ini.c_str());
    std::string text;
    for (char ch : view.text) text += (ch == '\r') ? '\n' : ch;
    while (text.find("\n\n") != std::string::npos) text.erase(text.find("\n\n"), 1);
    ctx.out << "\n== " << ModeName(sig.mode) << " at " << sig.audioHz << " Hz ==\n" << text;
    if (text.empty() || text.back() != '\n') ctx.out << "\n";
  }
  return kExitOk;
}

}  // namespace vexa::cli
