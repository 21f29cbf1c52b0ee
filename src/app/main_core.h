#pragma once
// The main window's state and logic, without any user interface: it owns the member settings,
// the received-text queues, the receive channels and decoders, the sound card and the rest of
// the station, and it routes the events that drive the program (input blocks, finished output
// blocks, serial data, the 55 ms tick, commands). The desktop window and the command line are
// views over it; tests drive it with synthetic audio, bytes and a fake clock.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "app/member_settings.h"
#include "app/position_dialog.h"
#include "app/receive_view.h"
#include "callinfo/country_table.h"
#include "engine/receive_loop.h"
#include "engine/rx_text_queue.h"
#include "engine/sound_card.h"
#include "engine/spectrum.h"
#include "log/log_scan.h"
#include "platform/audio/audio_backend.h"
#include "platform/files/paths.h"
#include "platform/files/prompt.h"
#include "platform/files/settings_store.h"
#include "platform/files/trace_log.h"
#include "platform/serial/serial_port.h"
#include "tx/key_lines.h"
#include "tx/periodic_timer.h"
#include "tx/transmit_text.h"
#include "tx/transmitter.h"

namespace vexa::decoders {
class DecoderChain;
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

// Settings read while the main window initialises.
struct InitSettings {
  std::string myName, myQth;
  double myLatitude = 0, myLongitude = 0;
  int cwId = 2;
  std::string contestName;
  int singleBandIdx = -1;
  std::string qrzCd;
  int comPort = 2, comSpeed = 1200, rigType = 0, digiSide = 0, icomAddr = 0, yaesu = 0, kenwood = 0,
      tenTec = 0, other = 0, digiCommand = -1, txTimeout = 300;
  int soundFq = 1000, startFq = 800, soundFqHitones = 2100, startFqHitones = 1900, useHitones = 0,
      zoom = 1, averageInverted = 0, showAverage = 0, averageThickLine = 0;
  std::string fontFaceName;
  int largeScreen = 0, wrap = 80, simple = 0, autoCqDelay = 10;
  std::string keyTexts[24], keyCaptions[24], insText, grayPlusText, autoCqText;
  std::string inputDevice, outputDevice;
};

// Passes the transmitter's calls on to the text source in use: the window's editor when one is
// attached, else a plain in-memory text (command line, tests).
class ForwardingTransmitText final : public tx::TransmitText {
 public:
  explicit ForwardingTransmitText(tx::TransmitText* target) : t_(target) {}
  void SetTarget(tx::TransmitText* target) { t_ = target; }
  bool SimpleKeyboardVisible() const override { return t_->SimpleKeyboardVisible(); }
  bool PopPending(uint8_t& c) override { return t_->PopPending(c); }
  size_t CaretPosition() const override { return t_->CaretPosition(); }
  std::string TakeFirst() override { return t_->TakeFirst(); }
  void ClearWindow() override { t_->ClearWindow(); }
  void ClearSimpleKeyboard() override { t_->ClearSimpleKeyboard(); }
  void PostAtEnd(uint8_t c) override { t_->PostAtEnd(c); }
  void SelectAll() override { t_->SelectAll(); }

 private:
  tx::TransmitText* t_;
};

struct CoreConfig {
  platform::SettingsStore* store = nullptr;
  platform::AppPaths paths;
  platform::Prompt* prompt = nullptr;
  platform::AudioBackend* audio = nullptr;
  std::string deviceArgument;  // the first command-line argument
  std::string productName = "Vexa";
  tx::Clock* clock = nullptr;             // null: the steady clock
  tx::KeyLines::Sleeper sleep = nullptr;  // waits of the PTT and line set-up (null: real sleeps)
  bool openSerialPort = true;             // tests and the command line leave the rig alone
};

class MainCore : private engine::SpectrumHost {
 public:
  static constexpr int kTickMs = 55;

  // Builds the window's state (traced as steps 1 to 5). templateNumber is the layout in use.
  MainCore(const CoreConfig& config, const platform::TraceLog& trace, CoreHost& host,
           int templateNumber);
  ~MainCore();
  MainCore(const MainCore&) = delete;
  MainCore& operator=(const MainCore&) = delete;

  // Initialisation, traced as steps 6 to 20. May end the modal loop at once (reload).
  void OnInitDialog();
  // The template the next window must be built from (changed by step 8 and by Setup).
  int templateNumber() const { return templateNumber_; }

  // --- Events ---
  // Takes and processes every waiting input block. Returns the number processed.
  int OnInputBlocks();
  // Takes every finished output block and hands it to the transmitter.
  void OnOutputDone();
  // The 55 ms tick.
  void OnTimer();
  // Bytes arrived on the transceiver port.
  void OnSerialData();
  // Bytes arrived on the TNC port: with the external KISS TNC (modem type 7) they go to the
  // packet receive queue, otherwise they are dropped.
  void OnTncSerialData(std::span<const uint8_t> bytes);
  std::deque<uint8_t>& packetReceiveQueue() { return packetRx_; }
  void OnSysCommand(int command);
  // The layout or language chosen in Setup: a change is written at once, sound input stops and
  // the window is rebuilt (the modal loop ends with the reload result). False when unchanged.
  bool ApplyLayoutAndLanguage(bool largeScreen, int language);
  // Closing sequence; false when the operator cancelled.
  bool RequestClose();
  // Shutdown of the window, before the object is deleted.
  void OnDestroy();

  // --- Operator controls ---
  void SetMode(int mode);
  int mode() const { return mode_; }
  // The common receive frequency: every receive channel and the display.
  void TuneAll(double hz);
  double rxFrequency() const { return rxHz_; }
  double txFrequency() const { return txHz_; }
  void SetTxFrequency(double hz) { txHz_ = hz; }
  // Places the second channel (with the catch-up on the stored audio); hz <= 0 switches it off.
  void PlaceSecondChannel(double hz);
  double secondFrequency() const { return loop_->secondFrequency(); }
  void SetAfc(bool on) { afc_ = on; }
  bool afc() const { return afc_; }
  // NET: the transmit frequency follows the receive frequency.
  void SetNet(bool on);
  bool net() const { return net_; }
  void SetSquelchSwitch(bool on) { squelchSwitch_ = on; }
  bool squelchSwitch() const { return squelchSwitch_; }
  bool squelchOpen() const { return squelchOpen_; }
  // Keeps squelched text instead of discarding it.
  void SetKeepSquelchedText(bool on) { keepSquelched_ = on; }
  void SetTwoTone(bool on) { loop_->SetTwoTone(on); }
  // The signal-check switch: the spectrum ticks its box while no signal is seen.
  void SetSignalCheck(bool on) {
    signalCheck_ = on;
    spectrum_.SetSignalCheck(on);
  }
  bool signalCheck() const { return signalCheck_; }
  // Receive on/off: off closes input and output, on opens the input.
  void SetReceiveOn(bool on);
  bool receiveOn() const { return receiveOn_; }
  // Text has been edited in the log entry and not saved.
  void SetLogTextDirty(bool dirty) { logTextDirty_ = dirty; }
  // Saves the log text (the log subsystem plugs in here).
  void SetLogSaver(std::function<bool()> saver) { logSaver_ = std::move(saver); }

  enum class Hint { None, LooksLikeQpsk, LooksLikeBpsk };
  Hint hint() const { return hint_; }
  static const char* HintText(Hint h);

  // --- Transmitting ---
  // The TX/RX switch (Pause, Alt+X): starts a transmission, or ends it after its tail.
  void ToggleTransmit();
  // True from the start of a transmission until its last block has been played.
  bool transmitting() const { return transmitting_; }
  // Ctrl+End: the transmission ends after the text typed so far.
  void EndOfTransmitKey() { transmitter_->EndOfTransmitKey(); }
  void ClearTransmitBuffers() { transmitter_->ClearTransmitBuffers(); }
  void EscapeKey() { transmitter_->EscapeKey(); }
  // The transmit window's editor; null returns to the plain in-memory text.
  void AttachTransmitText(tx::TransmitText* text) {
    text_.SetTarget(text != nullptr ? text : &plainText_);
  }
  tx::PlainTransmitText& plainTransmitText() { return plainText_; }
  tx::Transmitter& transmitter() { return *transmitter_; }
  // Why the transceiver port is not open ("" when it is, or when none is configured).
  const std::string& portStatus() const { return portStatus_; }

  // --- Logbook and country information ---
  callinfo::CountryTable& countries() { return countries_; }
  const log::LogScanResult& logScan() const { return logScan_; }
  // The operator's position (from the own call's country, else the settings), degrees.
  double myLatitude() const { return myLat_; }
  double myLongitude() const { return myLon_; }
  // What start-up has to tell the operator without stopping (a missing country file, log
  // errors); the window shows it in its status line.
  const std::string& startupNotice() const { return notice_; }

  // --- Spectrum ---
  // Computes a spectrum frame from the last full input block, if there is a new one, at the
  // given picture size; clicks and AFC take effect here. True when a frame ran.
  bool RenderSpectrum(int width, int height);
  // Without a window, a frame is computed for every full block (so that AFC runs).
  void SetHeadlessSpectrum(bool on) { headlessSpectrum_ = on; }
  engine::Spectrum& spectrum() { return spectrum_; }
  // "IMD: %i db" while a PSK signal is strong enough, else "".
  std::string ImdText() const { return spectrum_.ImdText(); }

  // --- Parts for the views ---
  void AttachReceiveView(ReceiveView* view) { view_ = view; }
  MemberSettings& members() { return *members_; }
  platform::SettingsStore& settingsStore() { return *config_.store; }
  const InitSettings& init() const { return init_; }
  engine::RxTextQueue& mainQueue() { return mainQueue_; }
  engine::RxTextQueue& secondQueue();
  engine::ReceiveLoop& receiveLoop() { return *loop_; }
  engine::SoundCard& soundCard() { return *sound_; }
  decoders::DecoderChain& decoders() { return *chain_; }
  const std::string& caption() const { return caption_; }
  uint64_t ticks() const { return ticks_; }
  uint64_t seconds() const { return seconds_; }
  // Signal quality of the PSK decoder in use (0..255-ish), and its QPSK likeness.
  int pskQuality() const;
  int pskQpskLikeness() const;
  // Radio frequency of the transceiver, Hz (restored from the settings until CAT reads it).
  int rigFrequency() const { return rigHz_; }
  // A frequency reported by the transceiver (the scale then shows radio frequencies).
  void SetRigFrequency(int hz) {
    rigHz_ = hz;
    rigKnown_ = true;
  }

 private:
  void Trace(const char* line) const { trace_.TraceLine(line); }
  // SpectrumHost: the spectrum's clicks and AFC retune the station.
  void TuneReceive(double hz) override;
  void TuneTransmit(double hz) override;
  void SetSecondChannel(double hz, bool replayHistory) override;
  void RunPskAfc() override;
  void SyncSpectrum();
  void LoadInitSettings();
  void DrainReceivedText();
  void EndLine();
  void OnceASecond();
  void OpenTransceiverPort();
  tx::ModulatorParams TransmitParams() const;

  CoreConfig config_;
  platform::TraceLog trace_;
  CoreHost& host_;
  int templateNumber_;

  std::unique_ptr<MemberSettings> members_;
  InitSettings init_;
  CPositionDialog position_{"Main"};
  engine::RxTextQueue mainQueue_;
  std::unique_ptr<decoders::DecoderChain> chain_;
  std::unique_ptr<engine::ReceiveLoop> loop_;
  std::unique_ptr<platform::AudioBackend> nullAudio_;
  std::unique_ptr<engine::SoundCard> sound_;
  ReceiveView* view_ = nullptr;
  tx::PlainTransmitText plainText_;
  ForwardingTransmitText text_{&plainText_};
  engine::RxTextQueue echo_;
  std::unique_ptr<tx::Clock> ownClock_;
  std::unique_ptr<platform::SerialPort> port_;
  std::unique_ptr<tx::KeyLines> lines_;
  std::unique_ptr<tx::Transmitter> transmitter_;
  std::string portStatus_;
  callinfo::CountryTable countries_;
  log::LogScanResult logScan_;
  double myLat_ = 0, myLon_ = 0;
  std::string notice_;
  engine::Spectrum spectrum_;
  bool headlessSpectrum_ = false;
  bool inInput_ = false;

  int mode_ = 9;
  double rxHz_ = 1000, txHz_ = 1000;
  int rigHz_ = 14070000;
  bool rigKnown_ = false;
  bool afc_ = false, net_ = false;
  bool signalCheck_ = false;
  std::deque<uint8_t> packetRx_;
  bool squelchSwitch_ = false, squelchOpen_ = true, keepSquelched_ = false;
  bool receiveOn_ = true;
  bool transmitting_ = false;
  bool tickRunning_ = false;
  bool logTextDirty_ = false;
  std::function<bool()> logSaver_;
  Hint hint_ = Hint::None;
  uint64_t ticks_ = 0, seconds_ = 0;
  int msCounter_ = 0;
  uint8_t prevChar_ = 0;
  std::string lineBuffer_;
  std::string caption_;
  bool destroyed_ = false;
};

}  // namespace vexa::app
