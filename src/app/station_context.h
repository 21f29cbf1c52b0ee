#pragma once
// What the main window core shares with its sections: the program around it (CoreHost), the
// configuration it was started with, and the objects every section may use (settings store and
// member settings, the sound card, the clock, the bus). Sections keep references to it; it lives
// as long as the core.
#include <functional>
#include <memory>
#include <string>

#include "app/member_settings.h"
#include "app/position_dialog.h"
#include "app/section.h"
#include "common/clock.h"
#include "engine/sound_card.h"
#include "platform/audio/audio_backend.h"
#include "platform/files/paths.h"
#include "platform/files/prompt.h"
#include "platform/files/settings_store.h"
#include "platform/files/trace_log.h"
#include "platform/serial/serial_port.h"

namespace vexa::spots {
class SpotRing;
}

namespace vexa::app {

// Results of the main window's modal loop. 0 rebuilds the window (layout or language change).
enum ModalResult : int { kResultReload = 0, kResultOk = 1, kResultCancel = 2 };

// Dialog templates of the two layouts.
constexpr int kTemplateNormal = 148;
constexpr int kTemplateLarge = 102;

// System-menu commands (the low bits of the system command with the lowest four cleared).
enum SysCommand : int {
  kCmdAbout = 16,
  kCmdSetup = 32,
  kCmdExportCsv = 48,
  kCmdExportAdif = 64,
  kCmdContest = 96,
  kCmdAx25Setup = 112,
  kCmdConnect = 1456,
  kCmdClose = 61536,
};

// What the core needs from the program around it (the window system or a headless loop).
class CoreHost {
 public:
  virtual ~CoreHost() = default;
  // The periodic tick; false when the timer cannot be created.
  virtual bool StartTickTimer(int periodMs) = 0;
  virtual void StopTickTimer() = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  // Runs waiting tick and paint work (the history replay yields to it).
  virtual void DispatchTimersAndPaint() {}
  // A new spectrum frame is ready.
  virtual void InvalidateSpectrum() {}
  // Called from any thread: something waits for the main loop (audio, serial data).
  virtual void Wake() {}
  // Window geometry for the position memory.
  virtual CPositionDialog::Position WindowPosition() const { return {}; }
  virtual bool WindowMinimised() const { return false; }
  virtual void MoveWindow(CPositionDialog::Position) {}
  // The modal loop ends with this result.
  virtual void EndModalLoop(int result) = 0;
  virtual void HideWindow() {}
  // Widths of the log grid's eight columns, when the window has a grid.
  virtual bool LogGridColumnWidths(int (&widths)[8]) const {
    (void)widths;
    return false;
  }
};

// Waits of the PTT and line set-up, in milliseconds (tests pass one that does not sleep).
using Sleeper = std::function<void(int ms)>;

struct CoreConfig {
  platform::SettingsStore* store = nullptr;
  platform::AppPaths paths;
  platform::Prompt* prompt = nullptr;
  platform::AudioBackend* audio = nullptr;
  std::string deviceArgument;  // the first command-line argument
  std::string productName = "Vexa";
  Clock* clock = nullptr;      // null: the steady clock
  Sleeper sleep = nullptr;     // null: real sleeps
  bool openSerialPort = true;  // tests and the command line leave the rig alone
  // Where the voice keyer plays recorded messages (null: nowhere, the messages are skipped).
  std::function<std::unique_ptr<platform::AudioBackend>()> voiceOutput;
  // The spot ring that outlives the main window (null: the core keeps its own).
  spots::SpotRing* spotRing = nullptr;
};

struct StationContext {
  const CoreConfig& config;
  const platform::TraceLog& trace;
  CoreHost& host;
  SectionBus& bus;
  MemberSettings& members;
  engine::SoundCard& sound;
  Clock& clock;
  // The open transceiver port, for the sections that send it commands (null when none is open).
  // The transmit section owns the port and sets this.
  platform::SerialLink* transceiver = nullptr;
  // PTT through a rig on the network, set by the rig section when it controls one (null: none).
  std::function<void(bool on)> networkPtt = nullptr;
  // Bytes to the TNC terminal's controller while its window is open (null: closed); the CW
  // keyer then hands its characters to the controller's keyer.
  std::function<void(std::string_view bytes)> tncTerminal = nullptr;

  platform::SettingsStore& store() const { return *config.store; }
  // Questions and messages; null in a few tests (then nothing is asked).
  platform::Prompt* prompt() const { return config.prompt; }
  void Sleep(int ms) const;
};

}  // namespace vexa::app
