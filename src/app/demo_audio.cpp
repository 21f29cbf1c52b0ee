#include "app/demo_audio.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>

#include "platform/audio/audio_backend.h"
#include "tx/modulator.h"

namespace vexa::app {
namespace {

// Feeds one text to a modulator, over and over.
class LoopingText final : public tx::ModulatorHost {
 public:
  explicit LoopingText(std::string text) : text_(std::move(text)) {}
  bool NextTxChar(uint8_t& c) override {
    if (text_.empty()) return false;
    c = static_cast<uint8_t>(text_[pos_]);
    pos_ = (pos_ + 1) % text_.size();
    return true;
  }
  void Echo(uint8_t) override {}
  void ClearTransmitBuffers() override {}
  void MarkEndBlock() override {}
  bool TransmitFlag() const override { return true; }

 private:
  std::string text_;
  size_t pos_ = 0;
};

}  // namespace

const std::vector<DemoSignal>& DemoSignals() {
  static const std::vector<DemoSignal> signals = {
      {Mode::Psk31, 1000.0, 0.030,
       "CQ CQ CQ de VX1DEM VX1DEM VX1DEM pse k\r\n"
       "Welcome to Vexa! Click a signal on the waterfall to tune to it.\r\n"},
      {Mode::Psk31, 1500.0, 0.012,
       "VX1DEM de VX3PSK: Good morning, thanks for the call. RST 599, name Ana, QTH Lisbon.\r\n"},
      {Mode::Qpsk, 1850.0, 0.015,
       "QPSK31 test de VX4QP VX4QP: the Viterbi decoder at work. 73\r\n"},
      {Mode::Rtty, 2200.0, 0.020, "RYRYRY CQ TEST DE VX2RTY VX2RTY 599 001 K\r\n"},
      {Mode::Cw, 2650.0, 0.025, "CQ CQ DE VX5CW VX5CW K "},
  };
  return signals;
}

std::vector<int16_t> MakeDemoAudio(double seconds) {
  const size_t n = static_cast<size_t>(std::max(0.0, seconds) * platform::kAudioSampleRate);
  std::vector<double> mix(n, 0.0);
  std::atomic<int> dotTicks{15};  // 20 WPM: a 60 ms dot in 4 ms keyer ticks
  for (const auto& sig : DemoSignals()) {
    LoopingText host(sig.text);
    auto mod = tx::MakeModulator(sig.mode, host);
    if (!mod) continue;
    tx::ModulatorParams p;
    p.centreHz = sig.audioHz;
    p.cwPitchHz = static_cast<int>(sig.audioHz);
    p.dotTicks = &dotTicks;
    p.myCall = "VX1DEM";
    mod->Start(p);
    std::vector<int16_t> block(platform::kOutputBlockSamples);
    for (size_t at = 0; at < n; at += block.size()) {
      mod->Fill(block);
      const size_t take = std::min(block.size(), n - at);
      for (size_t i = 0; i < take; ++i) mix[at + i] += sig.level * block[i];
    }
  }
  std::mt19937 rng(20261208);
  std::normal_distribution<double> noise(0.0, 40.0);
  std::vector<int16_t> out(n);
  for (size_t i = 0; i < n; ++i)
    out[i] = static_cast<int16_t>(std::clamp(std::lround(mix[i] + noise(rng)), -32768L, 32767L));
  return out;
}

bool WriteDemoAudio(const std::string& path, std::string& error, double seconds) {
  return platform::WriteWavFile(path, MakeDemoAudio(seconds), error);
}

}  // namespace vexa::app
