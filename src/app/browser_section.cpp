#include "app/browser_section.h"

namespace vexa::app {

decoders::BrowseMode BrowseModeFor(Mode mode) {
  return mode == Mode::Rtty || mode == Mode::Mtty ? decoders::BrowseMode::Rtty
                                                  : decoders::BrowseMode::Psk31;
}

void BrowserSection::Open() {
  best_ = ctx_.store().ReadSettingInt("Misc", "RttyDemod", 0) == 1;
  Rebuild();
}

void BrowserSection::Close() {
  if (browser_ == nullptr) return;
  browser_.reset();
  ++generation_;
}

void BrowserSection::Rebuild() {
  decoders::BrowserOptions options;
  options.mode = BrowseModeFor(mode_);
  options.best = best_;
  options.invert = inverted_;
  // The revision of a fresh browser starts again at 0: the generation keeps the sum moving on.
  if (browser_ != nullptr) generation_ += browser_->revision();
  ++generation_;
  browser_ = std::make_unique<decoders::SignalBrowser>(options);
}

void BrowserSection::SetBest(bool on) {
  if (best_ == on) return;
  best_ = on;
  if (browser_ != nullptr) Rebuild();
}

void BrowserSection::OnModeChange(Mode mode) {
  const bool kindChanged = BrowseModeFor(mode) != BrowseModeFor(mode_);
  mode_ = mode;
  if (browser_ != nullptr && kindChanged) Rebuild();
}

void BrowserSection::OnInversion(bool on) {
  if (inverted_ == on) return;
  inverted_ = on;
  if (browser_ != nullptr && browser_->options().mode == decoders::BrowseMode::Rtty) Rebuild();
}

void BrowserSection::OnInputBlock(std::span<const int16_t> samples) {
  // While sending, the input hears our own signal (or nothing): it is not a station to browse.
  if (browser_ == nullptr || transmitting_) return;
  browser_->ProcessBlock(samples);
}

std::vector<decoders::BrowserSignal> BrowserSection::Signals() const {
  if (browser_ == nullptr) return {};
  return browser_->Signals();
}

}  // namespace vexa::app
