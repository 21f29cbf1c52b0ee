#pragma once
// The browser section: the signal browser over the received audio while its panel is open. It
// decodes every PSK31 signal in the passband at once, or every RTTY signal when the operating
// mode is RTTY or MTTY, and keeps one line of recent text per signal for the panel. A click on a
// line tunes the main receiver there (the window calls ReceiveSection::ClickTune).
#include <cstdint>
#include <memory>
#include <vector>

#include "app/section.h"
#include "app/station_context.h"
#include "decoders/signal_browser.h"

namespace vexa::app {

// The kind of signals browsed in a mode: RTTY in the RTTY modes, PSK31 otherwise.
decoders::BrowseMode BrowseModeFor(Mode mode);

class BrowserSection final : public Section {
 public:
  explicit BrowserSection(StationContext& ctx) : ctx_(ctx) {}

  const char* name() const override { return "browser"; }
  void OnModeChange(Mode mode) override;
  void OnInputBlock(std::span<const int16_t> samples) override;
  void OnTransmitting(bool on) override { transmitting_ = on; }
  void OnInversion(bool on) override;
  void OnClosing() override { Close(); }

  // Opening starts a fresh browser for the current mode (the demodulators as the receiver's
  // setting chooses); closing stops the work and forgets the signals.
  void Open();
  void Close();
  bool isOpen() const { return browser_ != nullptr; }
  // The stronger demodulators for the browser's slots (a fresh browser when it changes).
  void SetBest(bool on);

  decoders::BrowseMode browseMode() const { return BrowseModeFor(mode_); }
  // Every signal found since opening, by frequency; empty while closed.
  std::vector<decoders::BrowserSignal> Signals() const;
  int activeCount() const { return browser_ ? browser_->ActiveCount() : 0; }
  // Changes whenever the list changed (a new browser counts as a change).
  uint64_t revision() const { return browser_ ? browser_->revision() + generation_ : generation_; }

 private:
  void Rebuild();

  StationContext& ctx_;
  std::unique_ptr<decoders::SignalBrowser> browser_;
  Mode mode_ = Mode::Psk31;
  bool transmitting_ = false;
  bool inverted_ = false;
  bool best_ = false;
  uint64_t generation_ = 0;
};

}  // namespace vexa::app
