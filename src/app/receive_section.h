#pragma once
// The receive section: the receive path (channels, decoders, receive loop, second channel), the
// spectrum hand-off with its clicks and AFC, the receive and transmit audio frequencies the
// waterfall shows, the PSK squelch and hints, the receiver commands (RTTY baud rate, unshift,
// sideband) and the text pump that moves received and echoed characters into the receive
// window.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/receive_view.h"
#include "app/section.h"
#include "app/station_context.h"
#include "decoders/receive_path.h"
#include "engine/rx_text_queue.h"
#include "engine/spectrum.h"
#include "packet/packet_channels.h"

namespace vexa::app {

// The receive settings read at initialisation (step 11).
struct ReceiveSettings {
  int soundFq = 1000, startFq = 800, soundFqHitones = 2100, startFqHitones = 1900;
  bool useHitones = false;
  int zoom = 1;
  bool averageInverted = false, showAverage = false, averageThickLine = false;
  int digiSide = 0;  // TX1/DigiSide: 0 the data modes use the upper sideband

  void Load(const platform::SettingsStore& store);
};

class ReceiveSection final : public Section, private engine::SpectrumHost {
 public:
  explicit ReceiveSection(StationContext& ctx);
  ~ReceiveSection() override;

  const char* name() const override { return "receive"; }
  void OnInitStep(int step) override;
  void OnSetupApplied() override;
  void OnModeChange(Mode mode) override;
  void OnTickEnd() override;
  void OnClosing() override;
  void OnDestroy() override;
  void OnTransmitting(bool on) override;
  void OnCapture(StationSnapshot& snapshot) override;
  void OnRestore(const StationSnapshot& snapshot) override;
  void OnRigFrequency(int64_t dialHz) override { SetRigFrequency(static_cast<int>(dialHz)); }

  // Takes and processes every waiting input block. Returns the number processed.
  int OnInputBlocks();
  // Stops the sound input (layout change, close).
  void StopInput();

  // --- Tuning ---
  // The common receive frequency of every receive channel and the display.
  void TuneAll(double hz);
  // Tunes as a click on the waterfall does: the receive frequency, and with NET the transmit
  // frequency too (a line of the signal browser, a spot).
  void ClickTune(double hz);
  double rxFrequency() const { return rxHz_; }
  double txFrequency() const { return txHz_; }
  void SetTxFrequency(double hz);
  // Places the second channel (with the catch-up on the stored audio); hz <= 0 switches it off.
  void PlaceSecondChannel(double hz);
  double secondFrequency() const { return path_->secondHz(); }
  void SetAfc(bool on) { afc_ = on; }
  bool afc() const { return afc_; }
  // NET: the transmit frequency follows the receive frequency.
  void SetNet(bool on);
  bool net() const { return net_; }

  // --- Receiver switches and commands ---
  void SetSquelchSwitch(bool on) { squelchSwitch_ = on; }
  bool squelchSwitch() const { return squelchSwitch_; }
  bool squelchOpen() const { return squelchOpen_; }
  // Keeps squelched text waiting instead of discarding it.
  void SetKeepSquelchedText(bool on) { keepSquelched_ = on; }
  void SetTwoTone(bool on) { path_->SetTwoTone(on); }
  bool twoTone() const { return path_->loop().twoTone(); }
  // The stronger RTTY and PSK31 demodulators instead of the classic ones; remembered in
  // "Misc/RttyDemod" (one switch for all modes that have one).
  void SetBestDemod(bool on);
  bool bestDemod() const { return path_->loop().bestDemod(); }
  // The signal-check switch: the spectrum ticks its box while no signal is seen.
  void SetSignalCheck(bool on);
  bool signalCheck() const { return signalCheck_; }
  // Receive on/off: off closes input and output, on opens the input.
  void SetReceiveOn(bool on);
  bool receiveOn() const { return receiveOn_; }
  // The RTTY baud-rate command with the text of its input box: 0, or the refusal (the prompt
  // has shown "Baud rate is out of range").
  [[nodiscard]] int SetRttyBaudText(const std::string& text);
  // The RTTY baud-rate command: asks for the rate in the "Set RTTY BAUDRATE" box (the current
  // rate to start with) and applies it. kRxOk also when the operator cancels.
  [[nodiscard]] int AskRttyBaud();
  double rttyBaud() const;
  // The unshift command: letters on both RTTY decoders.
  void Unshift();
  void SetUnshiftOnSpace(bool on);
  bool unshiftOnSpace() const { return unshiftOnSpace_; }
  // The current sideband (true: lower); the inversion flag follows from it and DigiSide.
  void SetLowerSideband(bool on);
  bool lowerSideband() const { return lowerSideband_; }
  bool inversion() const { return path_->chain().inversion(); }

  enum class Hint { None, LooksLikeQpsk, LooksLikeBpsk };
  Hint hint() const { return hint_; }
  static const char* HintText(Hint h);
  // Signal quality of the PSK decoder in use (0..255-ish), and its QPSK likeness.
  int pskQuality() const;
  int pskQpskLikeness() const;

  // --- Spectrum ---
  // Computes a spectrum frame from the last full input block, if there is a new one, at the
  // given picture size; clicks and AFC take effect here. True when a frame ran.
  bool RenderSpectrum(int width, int height);
  // Without a window, a frame is computed for every full block (so that AFC runs).
  void SetHeadlessSpectrum(bool on) { headlessSpectrum_ = on; }
  engine::Spectrum& spectrum() { return spectrum_; }
  std::string ImdText() const { return spectrum_.ImdText(); }
  // A frequency reported by the transceiver (the scale then shows radio frequencies).
  void SetRigFrequency(int hz);
  int rigFrequency() const { return rigHz_; }

  // --- Parts ---
  void AttachReceiveView(ReceiveView* view) { view_ = view; }
  engine::RxTextQueue& mainQueue() { return mainQueue_; }
  engine::RxTextQueue& secondQueue() { return path_->chain().secondQueue(); }
  // The characters being sent, echoed into the receive window by the tick.
  engine::RxTextQueue& echoRing() { return echo_; }
  decoders::ReceivePath& path() { return *path_; }
  decoders::DecoderChain& decoders() { return path_->chain(); }
  engine::ReceiveLoop& receiveLoop() { return path_->loop(); }
  const ReceiveSettings& settings() const { return settings_; }
  // The packet receivers of modes 12 and 13.
  packet::PacketChannels& packetChannels() { return packet_; }
  // In mode 13 the modem's frames go to the packet station instead of the receive text (null:
  // back to monitor lines).
  void SetStationFrames(std::function<void(const packet::Ax25Frame&)> sink) {
    stationFrames_ = std::move(sink);
  }

 private:
  // SpectrumHost: the spectrum's clicks and AFC retune the station.
  void TuneReceive(double hz) override;
  void TuneTransmit(double hz) override;
  void SetSecondChannel(double hz, bool replayHistory) override;
  void RunPskAfc() override;
  void ApplySpectrumSettings();
  // Builds the packet receivers of the modem settings and hands them to the receive loop.
  void ConfigurePacket();
  void SyncSpectrum();
  void ApplyInversion();
  void UpdateSquelch();
  void UpdateHint();
  void DrainEcho();
  void DrainReceivedText();
  void WriteChar(uint8_t c);

  StationContext& ctx_;
  ReceiveSettings settings_;
  engine::RxTextQueue mainQueue_;
  engine::RxTextQueue echo_;
  std::unique_ptr<decoders::ReceivePath> path_;
  // The packet receivers of modes 12 and 13; their frames go into the receive text as monitor
  // lines.
  packet::PacketChannels packet_;
  std::function<void(const packet::Ax25Frame&)> stationFrames_;
  engine::Spectrum spectrum_;
  ReceiveView* view_ = nullptr;

  Mode mode_ = Mode::Psk31;
  double rxHz_ = decoders::kDefaultReceiveHz, txHz_ = decoders::kDefaultReceiveHz;
  int rigHz_ = 14070000;
  bool rigKnown_ = false;
  bool afc_ = false, net_ = false;
  bool signalCheck_ = false;
  bool squelchSwitch_ = false, squelchOpen_ = true, keepSquelched_ = false;
  bool receiveOn_ = true;
  bool transmitting_ = false;
  bool headlessSpectrum_ = false;
  bool inInput_ = false;
  bool unshiftOnSpace_ = false;
  bool lowerSideband_ = false;
  Hint hint_ = Hint::None;
  uint64_t ticks_ = 0;
  uint8_t prevChar_ = 0;
  std::string lineBuffer_;
};

}  // namespace vexa::app
