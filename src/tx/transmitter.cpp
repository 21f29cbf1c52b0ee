#include "tx/transmitter.h"

#include "platform/audio/audio_backend.h"
#include "tx/psk_modulator.h"
#include "tx/voice_keyer.h"

namespace vexa::tx {

Transmitter::Transmitter(engine::SoundCard& sound, TransmitText& text, KeyLines& lines,
                         engine::RxTextQueue& echo, Clock& clock)
    : sound_(sound),
      text_(text),
      lines_(lines),
      echo_(echo),
      clock_(clock),
      queue_(text),
      keyer_(lines, clock) {
  CwKeyer::Hooks hooks;
  hooks.nextChar = [this](uint8_t& c) { return queue_.NextTxChar(c); };
  hooks.clearTransmitBuffers = [this] {
    text_.ClearWindow();
    text_.ClearSimpleKeyboard();
  };
  hooks.stopReception = [this] { sound_.CloseSoundInput(); };
  hooks.startReception = [this] {
    if (receptionOn_) (void)sound_.OpenSoundInput();
  };
  keyer_.SetHooks(std::move(hooks));
  params_.dotTicks = &keyer_.dotTicksRef();
  lines_.SetCwMode(mode_ == Mode::Cw);
}

Transmitter::~Transmitter() {
  keyer_.Stop();
}

void Transmitter::SetMode(Mode mode) {
  mode_ = mode;
  lines_.SetCwMode(mode == Mode::Cw);
}

Modulator* Transmitter::ModulatorFor(Mode mode) {
  const int index = static_cast<int>(mode);
  if (index < 0 || index >= kModeCount) return nullptr;
  auto& m = modulators_[static_cast<size_t>(index)];
  if (!m) {
    m = MakeModulator(mode, *this);
    if (IsPskFamily(mode) && m) static_cast<PskModulator*>(m.get())->SetFading(&fading_);
  }
  return m.get();
}

void Transmitter::ToggleTransmit() {
  if (mode_ == Mode::Cw && !soundCardCw_) {
    keyer_.Toggle();
    return;
  }
  if (txFlag_) {
    txFlag_ = false;
    if (current_ != nullptr) current_->RequestTail();
    return;
  }
  if (active_) return;  // the tail is still running out: wait for the end block
  if (!IsSoundTransmitMode(mode_)) return;
  StartSound();
}

void Transmitter::StartSound() {
  current_ = ModulatorFor(mode_);
  if (current_ == nullptr) return;
  txFlag_ = true;
  active_ = true;
  if (transmittingHook_) transmittingHook_(true);
  sound_.CloseSoundInput();
  ModulatorParams p = params_;
  p.dotTicks = &keyer_.dotTicksRef();
  current_->Start(p);
  endBlock_ = -1;
  outputResult_ = sound_.OpenSoundOutput();
  lines_.SetPtt(true);
  queue_.StartTransmission();
  // The state is complete before the first block is filled.
  for (int i = 0; i < platform::kAudioBuffers && active_; ++i) FillBlock(i);
}

void Transmitter::PlaySamples(std::span<const int16_t> samples) {
  if (!samples_) samples_ = std::make_unique<SampleModulator>(static_cast<ModulatorHost&>(*this));
  samples_->Append(samples);
  if (!active_) StartSamples();  // else they follow when the running transmission ends
}

void Transmitter::StartSamples() {
  current_ = samples_.get();
  txFlag_ = true;
  active_ = true;
  if (transmittingHook_) transmittingHook_(true);
  sound_.CloseSoundInput();
  current_->Start(params_);
  endBlock_ = -1;
  outputResult_ = sound_.OpenSoundOutput();
  lines_.SetPtt(true);
  for (int i = 0; i < platform::kAudioBuffers && active_; ++i) FillBlock(i);
}

void Transmitter::FillBlock(int index) {
  if (current_ == nullptr || index < 0 || index >= platform::kAudioBuffers) return;
  filling_ = index;
  current_->Fill(sound_.OutputBuffer(index));
  filling_ = -1;
  ++blocksFilled_;
  (void)sound_.WriteOutputBuffer(index, platform::kOutputBlockSamples);
}

void Transmitter::OnOutputDone(int index) {
  if (!active_) return;
  if (index == endBlock_) {
    EndSound();
    return;
  }
  FillBlock(index);
}

void Transmitter::EndSound() {
  sound_.CloseSoundOutput();
  if (receptionOn_) (void)sound_.OpenSoundInput();
  lines_.SetPtt(false);
  txFlag_ = false;
  active_ = false;
  endBlock_ = -1;
  if (transmittingHook_) transmittingHook_(false);
  if (samples_ && samples_->waiting() > 0) StartSamples();
}

void Transmitter::ClearTransmitBuffers() {
  if (text_.SimpleKeyboardVisible()) {
    text_.ClearSimpleKeyboard();
  } else {
    text_.ClearWindow();
  }
}

void Transmitter::Abort() {
  if (samples_) samples_->RequestTail();  // nothing prepared restarts after an abort
  if (active_) {
    EndSound();
  } else {
    lines_.SetPtt(false);
  }
  ClearTransmitBuffers();
}

void Transmitter::EscapeKey() {
  if (mode_ == Mode::Cw && keyer_.running()) {
    text_.SelectAll();
    keyer_.EscapePressed();
    return;
  }
  if (mode_ == Mode::Ssb3 && voice_ != nullptr) voice_->Escape();
  Abort();
}

void Transmitter::SetTransmitFrequency(double hz) {
  params_.centreHz = hz;
  if (active_ && txFlag_ && current_ != nullptr) current_->Retune(hz);
}

void Transmitter::OnTimerTick() {
  if (mode_ == Mode::Cw) keyer_.CwPump();
  keyer_.EscapeTick();
  // Watchdog: a transmission (sound, keyer, or PTT alone) left on longer than TxTimeout ends.
  const bool on = active_ || keyer_.running() || lines_.ptt();
  if (!on) {
    onSinceUs_ = -1;
    return;
  }
  const int64_t now = clock_.NowUs();
  if (onSinceUs_ < 0) {
    onSinceUs_ = now;
    return;
  }
  if (txTimeoutSeconds_ > 0 && now - onSinceUs_ >= int64_t{txTimeoutSeconds_} * 1000000) {
    keyer_.Stop();
    Abort();
    lines_.SetPtt(false);
    onSinceUs_ = -1;
    if (watchdogHook_) watchdogHook_(txTimeoutSeconds_);
  }
}

}  // namespace vexa::tx
