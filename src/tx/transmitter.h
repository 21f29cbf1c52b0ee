#pragma once
// The transmitter: switching between receive and transmit, the sound-card block pump, the
// transmit queue and echo, PTT, the timer CW keyer and the transmit watchdog. A headless object
// owned by the main window; everything runs on the main loop's thread except the keyer's 4 ms
// tick (its own thread) and the serial port's writes (serialised by the port).
//
// A sound transmission: ToggleTransmit closes the sound input, resets the modulator, opens the
// output, raises PTT, queues CR LF and fills and writes the four output blocks. Every block that
// comes back (OnOutputDone) is refilled, until the block that the modulator marked as the end
// block returns: then the output closes, the input reopens and PTT drops. ToggleTransmit during
// a transmission asks for the mode's tail; a toggle while that tail is still running out is
// ignored until the end block has returned.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "engine/rx_text_queue.h"
#include "engine/sound_card.h"
#include "tx/cw_keyer.h"
#include "tx/key_lines.h"
#include "tx/modulator.h"
#include "tx/periodic_timer.h"
#include "tx/sample_modulator.h"
#include "tx/test_fading.h"
#include "tx/transmit_queue.h"
#include "tx/transmit_text.h"

namespace vexa::tx {

class Transmitter final : private ModulatorHost {
 public:
  // echo: the ring that the main window's tick empties into the receive window.
  Transmitter(engine::SoundCard& sound, TransmitText& text, KeyLines& lines,
              engine::RxTextQueue& echo, Clock& clock);
  ~Transmitter() override;
  Transmitter(const Transmitter&) = delete;
  Transmitter& operator=(const Transmitter&) = delete;

  // Settings; a change of mode or parameters applies from the next transmission on.
  void SetMode(Mode mode);
  Mode mode() const { return mode_; }
  void SetParams(const ModulatorParams& params) { params_ = params; }
  const ModulatorParams& params() const { return params_; }
  void SetSoundCardCw(bool on) { soundCardCw_ = on; }  // UseSB
  // The transmit frequency; a PSK-family transmission in progress follows it at its next
  // symbol instant, the other modes from their next transmission.
  void SetTransmitFrequency(double hz);
  // The voice keyer, for Escape in the phone modes (null: none).
  void SetVoiceKeyer(class VoiceKeyer* voice) { voice_ = voice; }
  void SetWrap(int column) { queue_.SetWrap(column); }
  // TxTimeout in seconds; 0 switches the watchdog off.
  void SetTxTimeout(int seconds) { txTimeoutSeconds_ = seconds < 0 ? 0 : seconds; }
  // Whether reception is switched on (the input reopens after a transmission).
  void SetReceptionOn(bool on) { receptionOn_ = on; }
  // Told when a sound transmission starts and ends (the receive loop's transmitting flag).
  void SetTransmittingHook(std::function<void(bool)> hook) { transmittingHook_ = std::move(hook); }
  // Told when the watchdog ended a transmission that was left on.
  void SetWatchdogHook(std::function<void(int seconds)> hook) { watchdogHook_ = std::move(hook); }

  void ToggleTransmit();
  // Sends prepared samples (11025/s) as a sound transmission with PTT, whatever the mode;
  // samples given while one runs follow in it or in the next one.
  void PlaySamples(std::span<const int16_t> samples);
  size_t samplesWaiting() const { return samples_ ? samples_->waiting() : 0; }
  // A played output block came back from the sound card.
  void OnOutputDone(int index);
  // Generates the next 1024 samples into output buffer `index` and writes it.
  void FillBlock(int index);
  bool NextTxChar(uint8_t& c) override { return queue_.NextTxChar(c); }
  // Caret to the end and the end mark 0xAE after everything typed.
  void EndOfTransmitKey() { text_.PostAtEnd(kTxEnd); }
  void ClearTransmitBuffers() override;
  // Escape: in CW with the keyer running, selects all text and counts towards the double-press
  // abort; in mode 3 stops the voice keyer's message and queue; otherwise ends any transmission
  // at once (output closed, input reopened, PTT off, transmit text cleared).
  void EscapeKey();
  void Abort();
  // The 55 ms tick: CW pump, Escape counter, watchdog.
  void OnTimerTick();

  bool TransmitFlag() const override { return txFlag_; }
  // True from the start of a sound transmission until its end block has returned.
  bool active() const { return active_; }
  int endBlock() const { return endBlock_; }
  int outputOpenResult() const { return outputResult_; }
  TransmitQueue& queue() { return queue_; }
  CwKeyer& keyer() { return keyer_; }
  KeyLines& lines() { return lines_; }
  TestFading& fading() { return fading_; }
  uint64_t blocksFilled() const { return blocksFilled_; }

 private:
  void Echo(uint8_t c) override { echo_.Put(c); }
  void MarkEndBlock() override {
    if (endBlock_ < 0) endBlock_ = filling_;
  }
  void StartSound();
  void StartSamples();
  void EndSound();
  Modulator* ModulatorFor(Mode mode);

  engine::SoundCard& sound_;
  TransmitText& text_;
  KeyLines& lines_;
  engine::RxTextQueue& echo_;
  Clock& clock_;
  TransmitQueue queue_;
  CwKeyer keyer_;
  TestFading fading_;
  std::unique_ptr<Modulator> modulators_[kModeCount];

  Mode mode_ = Mode::Psk31;
  ModulatorParams params_;
  bool soundCardCw_ = true;
  int txTimeoutSeconds_ = 300;
  bool receptionOn_ = true;
  std::unique_ptr<SampleModulator> samples_;
  std::function<void(bool)> transmittingHook_;
  std::function<void(int)> watchdogHook_;

  Modulator* current_ = nullptr;
  class VoiceKeyer* voice_ = nullptr;
  bool txFlag_ = false;
  bool active_ = false;
  int endBlock_ = -1;
  int filling_ = -1;
  int outputResult_ = 0;
  uint64_t blocksFilled_ = 0;
  int64_t onSinceUs_ = -1;
};

}  // namespace vexa::tx
