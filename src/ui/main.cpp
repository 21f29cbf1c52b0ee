// vexa: the desktop program.
//
//   vexa [DIGITS] [--config FILE] [--workdir DIR] [--audio-file F.wav [--loop]] [--demo]
//        [--mode NAME] [--rx-freq HZ] [--screenshot OUT.png --after SECONDS]
//
// DIGITS chooses the sound cards by number (one digit for both directions, two for input and
// output). Without a sound card, or with --demo, Vexa plays its built-in demo audio.
#include <QApplication>
#include <QTimer>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "app/application.h"
#include "app/demo_audio.h"
#include "common/mode.h"
#include "platform/audio/audio_backend.h"
#include "platform/files/paths.h"
#include "ui/qt_runner.h"

namespace {

int Usage(const char* msg) {
  std::cerr << "vexa: " << msg << "\n"
            << "usage: vexa [DIGITS] [--config FILE] [--workdir DIR] [--audio-file F.wav [--loop]]"
               " [--demo] [--mode NAME] [--rx-freq HZ] [--screenshot OUT.png --after SECONDS]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName("Vexa");
  std::string config, workdir, audioFile, screenshot, deviceArg;
  std::optional<vexa::Mode> mode;
  bool loop = false, demo = false;
  double after = 0, rxFreq = 0;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    const std::string a = args[i].toStdString();
    auto next = [&](std::string& v) {
      if (i + 1 >= args.size()) return false;
      v = args[++i].toStdString();
      return true;
    };
    std::string v;
    if (a == "--config") {
      if (!next(config)) return Usage("--config needs a file");
    } else if (a == "--workdir") {
      if (!next(workdir)) return Usage("--workdir needs a folder");
    } else if (a == "--audio-file") {
      if (!next(audioFile)) return Usage("--audio-file needs a file");
    } else if (a == "--loop") {
      loop = true;
    } else if (a == "--demo") {
      demo = true;
    } else if (a == "--screenshot") {
      if (!next(screenshot)) return Usage("--screenshot needs a file");
    } else if (a == "--after") {
      if (!next(v)) return Usage("--after needs seconds");
      after = std::atof(v.c_str());
    } else if (a == "--mode") {
      if (!next(v)) return Usage("--mode needs a name");
      mode = vexa::ParseMode(v);
      if (!mode) return Usage("unknown mode");
    } else if (a == "--rx-freq") {
      if (!next(v)) return Usage("--rx-freq needs a frequency");
      rxFreq = std::atof(v.c_str());
    } else if (!a.empty() && a[0] != '-' && deviceArg.empty()) {
      deviceArg = a;
    } else {
      return Usage(("unknown option " + a).c_str());
    }
  }

  vexa::platform::AppPaths paths = vexa::platform::DefaultAppPaths();
  if (vexa::platform::ResolveAppPaths(paths, config, workdir) != 0) {
    std::cerr << "vexa: cannot create the working folder " << paths.workDir << "\n";
    return 1;
  }
  vexa::platform::SettingsStore store(paths.settingsFile);

  // The audio source: a file, the demo, or the sound card (the demo when there is none).
  std::string error;
  std::unique_ptr<vexa::platform::AudioBackend> audio;
  if (audioFile.empty() && !demo) {
    audio = vexa::platform::MakePortAudioBackend();
    if (audio->InputDeviceCount() == 0) {
      std::cerr << "vexa: no sound card found; playing the built-in demo audio\n";
      audio.reset();
      demo = true;
    }
  }
  if (demo) {
    audioFile = paths.WorkFile("demo.wav");
    if (!vexa::app::WriteDemoAudio(audioFile, error)) {
      std::cerr << "vexa: " << error << "\n";
      return 1;
    }
    loop = true;
  }
  if (!audio) {
    vexa::platform::FileAudioOptions o;
    o.inputPath = audioFile;
    o.realtime = true;
    o.loop = loop;
    audio = vexa::platform::MakeFileBackend(o, error);
    if (!audio) {
      std::cerr << "vexa: " << error << "\n";
      return 3;
    }
  }

  vexa::ui::QtPrompt prompt;
  vexa::app::CoreConfig c;
  c.store = &store;
  c.paths = paths;
  c.prompt = &prompt;
  c.audio = audio.get();
  c.deviceArgument = deviceArg;
  c.productName = "Vexa " VEXA_VERSION;
  // The voice keyer plays its recorded messages on the default sound card.
  if (!demo && audioFile.empty())
    c.voiceOutput = [] { return vexa::platform::MakePortAudioBackend(); };
  vexa::app::Application app(c, vexa::platform::TraceLog(paths.WorkFile("VexaDbg.log")));
  vexa::ui::QtRunner runner(prompt);
  runner.onStart = [&](vexa::app::MainCore& core, vexa::ui::MainWindow& w) {
    if (mode) core.SetMode(*mode);
    if (rxFreq > 0) {
      core.receive().TuneAll(rxFreq);
      core.receive().SetTxFrequency(rxFreq);
    }
    w.SyncControls();
    if (!screenshot.empty()) {
      QTimer::singleShot(static_cast<int>(after * 1000), &w, [&core, &w, screenshot] {
        if (!w.grab().save(QString::fromStdString(screenshot)))
          std::cerr << "vexa: cannot save " << screenshot << "\n";
        core.RequestClose();
      });
    }
  };
  app.InitInstance(runner);
  return 0;
}
