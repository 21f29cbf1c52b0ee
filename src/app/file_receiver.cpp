#include "app/file_receiver.h"

#include <cstdio>

#include "app/headless_runner.h"
#include "app/main_core.h"
#include "platform/audio/audio_backend.h"

namespace vexa::app {

FileReceiveResult ReceiveFile(const std::string& wav, Mode mode, double audioHz,
                              const std::string& scratchDir) {
  FileReceiveResult r;
  const std::string ini = scratchDir + "/receive-file.ini";
  std::remove(ini.c_str());
  platform::SettingsStore store(ini);
  (void)store.WriteSettingInt("Misc", "ModeOnExit", static_cast<int>(mode));
  (void)store.WriteSettingInt("Spectrum", "SoundFq", static_cast<int>(audioHz));
  (void)store.WriteSettingInt("CW", "Pitch", static_cast<int>(audioHz));
  platform::FileAudioOptions o;
  o.inputPath = wav;
  auto audio = platform::MakeFileBackend(o, r.error);
  if (audio) {
    platform::FixedPrompt prompt;
    CoreConfig c;
    c.store = &store;
    c.prompt = &prompt;
    c.audio = audio.get();
    c.openSerialPort = false;
    HeadlessRunner runner;
    TextReceiveView view;
    {
      MainCore core(c, platform::TraceLog(), runner, kTemplateNormal);
      core.receive().AttachReceiveView(&view);
      core.receive().SetHeadlessSpectrum(true);
      runner.RunModal(core);
    }
    r.ok = true;
    r.text = std::move(view.text);
  }
  std::remove(ini.c_str());
  return r;
}

}  // namespace vexa::app
