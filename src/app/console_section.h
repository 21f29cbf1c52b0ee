#pragma once
// The console section: the programmable keys and the macro expander over the other sections.
// It plays the 24 keys, Ins and Gray Plus, runs Auto CQ from the clock, sends text files, counts
// the Escape presses that abort a sound transmission, keeps the clock text, and holds the key
// texts and captions with their settings.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "app/section.h"
#include "app/station_context.h"
#include "console/call_alert.h"
#include "console/console.h"
#include "console/received_text_scan.h"
#include "contest/qso_rate.h"
#include "contest/wae_qtc.h"
#include "log/log_view.h"

namespace vexa::app {

class ReceiveSection;
class TransmitSection;
class LogbookSection;
class RigSection;

// The key texts, captions and Auto CQ settings as stored (defaults from the settings table).
console::KeyTable ReadKeyTable(const platform::SettingsStore& store);
// A radio frequency as the window shows it, "%i.%03i.%03i" (MHz, kHz, Hz).
std::string FrequencyText(int64_t hz);
// The band of a radio frequency as "20m", "" outside the bands.
std::string BandText(int64_t hz);

class ConsoleSection final : public Section, private console::ConsoleHost {
 public:
  // Escape presses add this to the abort counter; above kAbortAbove the transmission aborts.
  static constexpr int kEscapeStep = 10;
  static constexpr int kAbortAbove = 15;

  ConsoleSection(StationContext& ctx, ReceiveSection& rx, TransmitSection& tx,
                 LogbookSection& logbook, RigSection& rig);

  const char* name() const override { return "console"; }
  void OnInitStep(int step) override;
  void OnModeChange(Mode mode) override;
  void OnTick() override;
  void OnRigFrequency(int64_t dialHz) override;
  void OnReceivedLine(std::string_view line) override;

  // --- Keys ---
  // F1..F12 are keys 0..11, Shift F1..Shift F12 keys 12..23.
  void PressKey(int key);
  // Ins: the last received call into an empty call field, then the Ins text.
  void PressIns();
  // Gray Plus: plays the Gray Plus text.
  void PressGrayPlus();
  // The IMD report button.
  void SendImdReport() { console_.PlayKeyText(console::kKeyImdReport); }
  // Escape: stops Auto CQ; a sound transmission aborts at the second press within a few ticks.
  void PressEscape();
  int abortCounter() const { return abortCounter_; }
  // Pause, Alt+X: the TX/RX switch, except in the packet station and PACTOR modes.
  void ToggleTransmitCommand();
  // Sends a text file (also a file dropped on the window). False when it cannot be opened.
  bool SendTextFile(const std::string& path) { return console_.SendTextFile(path); }

  // --- Editing the keys ---
  // Key 0..23 or a console::SpecialKey. The dialog titles: "Text for F1", "Caption for F1".
  static std::string TextDialogTitle(int key);
  static std::string CaptionDialogTitle(int key);
  // The key's text as the dialog shows it, and the dialog's OK: stored form, written at once.
  std::string EditText(int key) const;
  void SetEditedText(int key, std::string_view edited);
  const std::string& Caption(int key) const;
  void SetCaption(int key, std::string caption);

  // --- Auto CQ dialog ---
  enum class AutoCqButton { kBegin, kApply, kCancel };
  void AutoCqDialog(AutoCqButton button, std::string_view editedText, int listenSeconds);
  bool autoCqOn() const { return console_.autoCq().on(); }

  // --- Call analysis ---
  // The beam map of the current call on its 128 x 128 square: the line from the centre to
  // (endX, endY) and the label with its rectangle.
  struct BeamMap {
    bool line = false;
    double endX = 64, endY = 64;
    std::string label;                    // " %s\n%s-%s-%s\n%s" and the degree sign
    int labelTop = 10, labelBottom = 60;  // x from 20 to 108
  };
  const std::string& alertText() const { return alert_; }
  const BeamMap& beamMap() const { return beam_; }
  // Prefix, country, zones and bearing of the current call ("" for an unknown call).
  const std::string& countryLine() const { return countryLine_; }
  const std::string& analysedCall() const { return analysedCall_; }
  // Runs the analysis now for a call (the tick runs it when the entry box's call changes).
  void AnalyseCall(const std::string& call);
  // The dupe beep (frequency in Hz, duration in ms); the window makes the sound.
  void SetBeeper(std::function<void(int hz, int ms)> beep) { beep_ = std::move(beep); }
  // The callbook: text for a call ("" when it has none). Without one there is no callbook data.
  void SetCallbook(std::function<std::string(const std::string& call)> lookup) {
    callbook_ = std::move(lookup);
  }
  const std::string& callbookText() const { return callbookText_; }
  console::ReceivedTextScan& scan() { return scan_; }
  // Saves the entry as <SAVE> does (the frequency field from the rig) and remembers the time of
  // the contact for the "QSO BEFORE" age. A log::SaveResult.
  [[nodiscard]] int SaveEntry();

  // --- The log view ---
  // Rows of the log file (read at initialisation), with every contact saved since.
  const log::LogView& logView() const { return logView_; }
  // Reads the log file into the view again; the last contact with each call is remembered
  // for the "QSO BEFORE" age.
  void ReloadLogView();
  // Deletes a row after the question "Are you sure to delete this QSO?". A log::LogFileError.
  [[nodiscard]] int DeleteLogRow(int row);
  // Replaces a row by the edited record text. A log::LogFileError, or -1 when the text is not a
  // record (nothing changes).
  [[nodiscard]] int EditLogRow(int row, const std::string& recordText);
  // The row's record as the edit dialog shows it.
  std::string LogRowText(int row) const;

  // --- WAE QTC traffic ---
  // The QTC window over the log view: its counters are the stored "QtcPosition" and
  // "QtcNumber", the continents come from the country file, "QTC.LOG" is in the working folder.
  contest::QtcWindow& qtc() { return *qtc_; }
  // Opens the QTC window for the call of the QSO line; with sendAtOnce (the <SENDWAEQTC>
  // macro) the QTC goes into the transmit window at once. A contest::QtcResult; when the
  // window opens, the shower set below is told.
  int OpenQtcWindow(bool sendAtOnce);
  // The window's Send: the QTC into the transmit window.
  void SendQtc();
  // The window's OK, its Clear QTC number and the receive window's Save QTC; the counters are
  // written at once after every change. contest::QtcResult values.
  int ConfirmQtcSent();
  int ClearQtcNumber();
  int SaveReceivedQtc(std::string_view selection);
  // The desktop program shows its QTC window when this is called.
  void SetQtcShower(std::function<void()> show) { qtcShower_ = std::move(show); }

  // In a contest: "Total %i QSOs\r\nRate %i QSOs/hour\r\n" over the contest's contacts of the
  // log view (the total as the score counts it), renewed with the clock; "" without a contest.
  const std::string& contestLines() const { return contestLines_; }

  // --- Parts ---
  console::Console& console() { return console_; }
  // "%H:%M:%S" of the wall clock, UTC when the GMT switch of the entry line is on.
  const std::string& clockText() const { return clockText_; }
  // Where expanded key text goes in the transmit window (the window's editor sets it; without
  // one it is typed into the plain transmit text).
  void SetTextInserter(std::function<void(std::string_view)> insert) {
    inserter_ = std::move(insert);
  }
  // The wall clock in seconds since the epoch (tests pass a fake one).
  void SetUtcSource(std::function<int64_t()> utc) { utc_ = std::move(utc); }
  // The call the received-text scan caught last (the Ins key and <GETCALL> take it).
  void SetLastReceivedCall(std::string call) { lastReceivedCall_ = std::move(call); }
  const std::string& lastReceivedCall() const { return lastReceivedCall_; }

 private:
  // ConsoleHost
  void InsertTransmitText(std::string_view text) override;
  bool TransmitRunning() const override;
  bool CwThroughTnc() const override;
  void ToggleTransmit() override;
  void PlayVoiceMessage(int key) override;
  Mode CurrentMode() const override { return mode_; }
  console::StationData Station() const override;
  console::CutNumbers CutNumberSwitches() const override;
  std::string VersionText() const override { return ctx_.config.productName; }
  int64_t NowUtcSeconds() const override { return utc_(); }
  std::string WorkingFolder() const override { return ctx_.config.paths.workDir; }
  std::string Field(console::QsoField field) override;
  void Perform(console::MacroAction action) override;

  void LoadKeys();
  void StoreQtcCounters();
  void UpdateContestLines();
  static std::string StoreKey(int key);
  void UpdateClock();
  bool RttyBusy() const;

  StationContext& ctx_;
  ReceiveSection& rx_;
  TransmitSection& tx_;
  LogbookSection& logbook_;
  RigSection& rig_;
  console::Console console_{*this};
  std::function<void(std::string_view)> inserter_;
  std::function<int64_t()> utc_;
  Mode mode_ = Mode::Psk31;
  int band_ = -1;
  int abortCounter_ = 0;
  std::string clockText_;
  std::string lastCallField_;
  std::string lastReceivedCall_;
  console::ReceivedTextScan scan_;
  log::LogView logView_;
  platform::FixedPrompt noPrompt_{platform::PromptAnswer::No};
  std::string analysedCall_, alert_, countryLine_, callbookText_;
  BeamMap beam_;
  std::map<std::string, int64_t> lastQso_;  // call -> UTC of the latest contact this run
  std::function<void(int, int)> beep_;
  std::function<std::string(const std::string&)> callbook_;
  std::unique_ptr<contest::QtcWindow> qtc_;
  std::function<void()> qtcShower_;
  contest::QsoRate rate_;
  int contestTotal_ = 0;
  std::string contestLines_;
};

}  // namespace vexa::app
