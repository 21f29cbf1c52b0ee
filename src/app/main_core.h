#pragma once
// The main window without any user interface: the traced lifecycle (steps 1 to 20, the reload,
// the close and the shutdown) and an ordered router over the sections it owns. Every event the
// program receives (input blocks, finished output blocks, serial data, the 55 ms tick, commands)
// comes in here and goes to the sections in a fixed order; the work itself lives in the
// sections. The desktop window and the command line are views over it; tests drive it with
// synthetic audio, bytes and a fake clock.
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/browser_section.h"
#include "app/console_section.h"
#include "app/logbook_section.h"
#include "app/member_settings.h"
#include "app/memory_section.h"
#include "app/packet_section.h"
#include "app/position_dialog.h"
#include "app/receive_section.h"
#include "app/rig_section.h"
#include "app/section.h"
#include "app/setup_sheet.h"
#include "app/spots_section.h"
#include "app/station_context.h"
#include "app/tnc_terminal_section.h"
#include "app/transmit_section.h"
#include "engine/sound_card.h"

namespace vexa::app {

class MainCore final : private SectionBus {
 public:
  static constexpr int kTickMs = 55;

  // Builds the window's state (traced as steps 1 to 5). templateNumber is the layout in use.
  MainCore(const CoreConfig& config, const platform::TraceLog& trace, CoreHost& host,
           int templateNumber);
  ~MainCore() override;
  MainCore(const MainCore&) = delete;
  MainCore& operator=(const MainCore&) = delete;

  // Initialisation, traced as steps 6 to 20. May end the modal loop at once (reload).
  void OnInitDialog();
  // The template the next window must be built from (changed by step 8 and by Setup).
  int templateNumber() const { return templateNumber_; }

  // --- Events ---
  // Takes and processes every waiting input block. Returns the number processed.
  int OnInputBlocks() { return receive_->OnInputBlocks(); }
  // Takes every finished output block and hands it to the transmitter.
  void OnOutputDone() { transmit_->OnOutputDone(); }
  // Bytes arrived on the transceiver port.
  void OnSerialData() { transmit_->OnSerialData(); }
  // Bytes arrived on the TNC port: with the external KISS TNC (modem type 7) they go to the
  // packet receive queue, otherwise they are dropped.
  void OnTncSerialData(std::span<const uint8_t> bytes);
  std::deque<uint8_t>& packetReceiveQueue() { return packetRx_; }
  // Everything the main loop has to look at after a wake-up from another thread.
  void OnWake();
  // The 55 ms tick.
  void OnTimer();
  void OnSysCommand(int command);
  // A command of the window's own controls (a menu item, a button row), by its number.
  void OnMenuCommand(int id);
  // The layout or language chosen in Setup: a change is written at once, sound input stops and
  // the window is rebuilt (the modal loop ends with the reload result). False when unchanged.
  bool ApplyLayoutAndLanguage(bool largeScreen, int language);
  // The main settings sheet: the values in effect, and closing it with OK. Applying checks every
  // value first (nothing changes when one is refused), puts the members' values into the
  // members, writes every setting loaded at initialisation of Station, TX1, Spectrum, Keyboard,
  // Font and Misc/QrzCd (the layout and the language only when changed), lets every section take
  // the new values (the transceiver port is opened again and the rig asked where it is, the own
  // position is placed again), and rebuilds the window when the layout or language changed.
  SetupValues ReadSetup();
  SetupOutcome ApplySetup(const SetupValues& values);
  // Closing sequence; false when the operator cancelled.
  bool RequestClose();
  // Shutdown of the window, before the object is deleted.
  void OnDestroy();

  // --- The operating mode ---
  void SetMode(Mode mode);
  Mode mode() const { return mode_; }

  // --- Sections ---
  ReceiveSection& receive() { return *receive_; }
  TransmitSection& transmit() { return *transmit_; }
  LogbookSection& logbook() { return *logbook_; }
  RigSection& rig() { return *rig_; }
  MemorySection& memories() { return *memories_; }
  ConsoleSection& console() { return *console_; }
  SpotsSection& spots() { return *spots_; }
  TncTerminalSection& tncTerminal() { return *tnc_; }
  PacketSection& packet() { return *packet_; }
  BrowserSection& browser() { return *browser_; }
  // A further section that hears every event after the built-in ones (an extension, a probe in
  // tests). It must outlive the core.
  void AddSection(Section& section) { sections_.push_back(&section); }
  // Sections in the order they hear every event.
  const std::vector<Section*>& sections() const { return sections_; }

  // --- Parts for the views ---
  MemberSettings& members() { return *members_; }
  platform::SettingsStore& settingsStore() { return *config_.store; }
  // Questions and messages to the operator (null: none can be asked).
  platform::Prompt* prompt() const { return config_.prompt; }
  engine::SoundCard& soundCard() { return *sound_; }
  const std::string& caption() const { return caption_; }
  uint64_t ticks() const { return ticks_; }
  uint64_t seconds() const { return seconds_; }
  // What start-up and the sections have to tell the operator without stopping; the window
  // shows it in its status line.
  const std::string& startupNotice() const { return notice_; }

 private:
  void Trace(const char* line) const { trace_.TraceLine(line); }
  template <typename F>
  void ForEach(F&& f) {
    for (Section* s : sections_) f(*s);
  }

  // SectionBus: announcements go to every section in order.
  void ReceivedLine(std::string_view line) override;
  void TransmitFrequencyChanged(double hz) override;
  void InversionChanged(bool on) override;
  void RttyBaudChanged(double baud) override;
  void ReceptionSwitched(bool on) override;
  void TransmittingChanged(bool on) override;
  void TransceiverBytes(std::span<const uint8_t> bytes) override;
  void Notice(std::string_view text) override;
  void TerminalLine(std::string_view line) override;
  void ReceiveFrequencyChanged(double hz) override;
  void RigFrequencyChanged(int64_t dialHz) override;
  void ModeRequested(Mode mode) override;
  void PortMonitorText(std::string_view text) override;
  void InputBlock(std::span<const int16_t> samples) override;
  void CaptureStation(StationSnapshot& snapshot) override;
  void RestoreStation(const StationSnapshot& snapshot) override;

  CoreConfig config_;
  platform::TraceLog trace_;
  CoreHost& host_;
  int templateNumber_;

  std::unique_ptr<MemberSettings> members_;
  CPositionDialog position_{"Main"};
  std::unique_ptr<platform::AudioBackend> nullAudio_;
  std::unique_ptr<engine::SoundCard> sound_;
  std::unique_ptr<Clock> ownClock_;
  std::unique_ptr<StationContext> ctx_;
  std::unique_ptr<ReceiveSection> receive_;
  std::unique_ptr<TransmitSection> transmit_;
  std::unique_ptr<LogbookSection> logbook_;
  std::unique_ptr<RigSection> rig_;
  std::unique_ptr<MemorySection> memories_;
  std::unique_ptr<ConsoleSection> console_;
  std::unique_ptr<SpotsSection> spots_;
  std::unique_ptr<TncTerminalSection> tnc_;
  std::unique_ptr<PacketSection> packet_;
  std::unique_ptr<BrowserSection> browser_;
  std::vector<Section*> sections_;

  Mode mode_ = Mode::Psk31;
  std::deque<uint8_t> packetRx_;
  bool tickRunning_ = false;
  uint64_t ticks_ = 0, seconds_ = 0;
  int msCounter_ = 0;
  std::string notice_;
  std::string caption_;
  bool destroyed_ = false;
};

}  // namespace vexa::app
