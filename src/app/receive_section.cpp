#include "app/receive_section.h"

#include <cstdio>

#include "app/settings_table.h"
#include "decoders/rx_commands.h"

namespace vexa::app {

void ReceiveSettings::Load(const platform::SettingsStore& s) {
  auto num = [&](const char* sec, const char* key) { return ReadIntSetting(s, sec, key); };
  soundFq = num("Spectrum", "SoundFq");
  startFq = num("Spectrum", "StartFq");
  soundFqHitones = num("Spectrum", "SoundFqHitones");
  startFqHitones = num("Spectrum", "StartFqHitones");
  useHitones = num("Spectrum", "UseHitones") != 0;
  zoom = num("Spectrum", "Zoom");
  averageInverted = num("Spectrum", "AverageInverted") != 0;
  showAverage = num("Spectrum", "ShowAverage") != 0;
  averageThickLine = num("Spectrum", "AverageThickLine") != 0;
  digiSide = num("TX1", "DigiSide");
}

ReceiveSection::ReceiveSection(StationContext& ctx) : ctx_(ctx) {
  afc_ = ctx_.store().ReadSettingInt("Misc", "AFC", 0) != 0;
  net_ = ctx_.store().ReadSettingInt("Misc", "NET", 0) != 0;
  mainQueue_.Clear();
  path_ = std::make_unique<decoders::ReceivePath>(mainQueue_, ctx_.members.soundHistory.value);
  path_->SetBestDemod(ctx_.store().ReadSettingInt("Misc", "RttyDemod", 0) == 1);
  spectrum_.SetHost(this);
  path_->loop().SetYieldHooks({[this] { ctx_.host.DispatchTimersAndPaint(); },
                               [this] { return ctx_.sound.InputBlockWaiting(); }});
  path_->loop().SetSpectrumHook([this] { ctx_.host.InvalidateSpectrum(); });
  packet_.set_listener([this](const packet::Ax25Frame& f, packet::PacketChannels::Source src) {
    if (stationFrames_ && src == packet::PacketChannels::Source::Modem && mode_ == Mode::Ax25Tx) {
      stationFrames_(f);
      return;
    }
    mainQueue_.Put(packet::MonitorText(f).c_str());
  });
}

void ReceiveSection::ConfigurePacket() {
  const MemberSettings& m = ctx_.members;
  packet::PacketModemSettings s;
  s.type = m.modemType.value;
  s.receiveHz = rxHz_;
  s.usePsk = m.usePskOn24004800.value != 0;
  s.customBaud = m.customAfskBaudrate.value;
  s.customTone1 = m.customAfskTone1.value;
  s.customTone2 = m.customAfskTone2.value;
  const int best = m.bestDemodModems.value;
  if (s.type >= 0 && s.type < 31 && ((best >> s.type) & 1)) s.demod = packet::DemodChoice::Best;
  packet_.Configure(s);
  path_->SetPacketSinks(packet_.monitor(), packet_.modem());
}

ReceiveSection::~ReceiveSection() {
  ctx_.sound.CloseSoundInput();
}

void ReceiveSection::OnInitStep(int step) {
  switch (step) {
    case 11:
      settings_.Load(ctx_.store());
      ApplySpectrumSettings();
      ApplyInversion();
      break;
    case 17:
      if (receiveOn_) (void)ctx_.sound.OpenSoundInput();
      break;
    case 18: {
      const bool hitones = settings_.useHitones && UsesHiTones(mode_);
      TuneAll(hitones ? settings_.soundFqHitones : settings_.soundFq);
      SetTxFrequency(rxHz_);
      rigHz_ = ctx_.members.fqOnExit.value;
      break;
    }
    default:
      break;
  }
}

void ReceiveSection::OnSetupApplied() {
  settings_.Load(ctx_.store());
  ApplySpectrumSettings();
  ApplyInversion();
  // Another sound card: input that runs moves to it.
  engine::DeviceChoice choice{ctx_.config.deviceArgument,
                              ctx_.store().ReadSettingText("Misc", "InputDevice", ""),
                              ctx_.store().ReadSettingText("Misc", "OutputDevice", "")};
  const engine::DeviceChoice& old = ctx_.sound.deviceChoice();
  if (choice.inputName != old.inputName || choice.outputName != old.outputName) {
    ctx_.sound.SetDeviceChoice(choice);
    if (ctx_.sound.inputOpen()) {
      ctx_.sound.CloseSoundInput();
      (void)ctx_.sound.OpenSoundInput();
    }
  }
}

void ReceiveSection::ApplySpectrumSettings() {
  const MemberSettings& m = ctx_.members;
  engine::SpectrumSettings ss;
  ss.type = m.spectrumType.value;
  ss.zoom = settings_.zoom;
  ss.cwType = m.cwSpectrumMode.value;
  ss.cwZoom = m.cwSpectrumZoom.value;
  ss.showAverage = settings_.showAverage;
  ss.averageInverted = settings_.averageInverted;
  ss.averageThickLine = settings_.averageThickLine;
  ss.startFq = settings_.startFq;
  ss.startFqHitones = settings_.startFqHitones;
  ss.useHitones = settings_.useHitones;
  spectrum_.ApplySettings(ss);
  spectrum_.ChangeMode(mode_);
}

void ReceiveSection::OnModeChange(Mode mode) {
  mode_ = mode;
  path_->SetMode(mode);
  // Selecting an operating mode configures and resets the packet modem.
  ConfigurePacket();
  spectrum_.ChangeMode(mode);
  hint_ = Hint::None;
}

void ReceiveSection::OnTransmitting(bool on) {
  transmitting_ = on;
  path_->loop().SetTransmitting(on);
  spectrum_.SetTransmitting(on);
}

void ReceiveSection::SetBestDemod(bool on) {
  path_->SetBestDemod(on);
  (void)ctx_.store().WriteSettingInt("Misc", "RttyDemod", on ? 1 : 0);
}

void ReceiveSection::OnClosing() {
  StopInput();
}

void ReceiveSection::OnDestroy() {
  MemberSettings& m = ctx_.members;
  m.afc.value = afc_ ? 1 : 0;
  m.net.value = net_ ? 1 : 0;
  (void)ctx_.store().WriteSettingInt("Misc", "AFC", m.afc.value);
  (void)ctx_.store().WriteSettingInt("Misc", "NET", m.net.value);
  if (m.saveFqOnExit.value != 0) m.fqOnExit.value = rigHz_;
}

void ReceiveSection::StopInput() {
  ctx_.sound.CloseSoundInput();
  // The short block the device hands back when it stops still belongs to the reception.
  (void)OnInputBlocks();
}

int ReceiveSection::OnInputBlocks() {
  // The history replay lets timers and painting run inside a block; a wake-up that arrives
  // then must not start a second block in the middle of the first.
  if (inInput_) return 0;
  inInput_ = true;
  int n = 0;
  platform::InputBlock block;
  while (ctx_.sound.TakeInputBlock(block)) {
    path_->ProcessBlock(block.samples);
    ctx_.bus.InputBlock(block.samples);
    (void)ctx_.sound.RequeueInputBlock(block);
    ++n;
    if (headlessSpectrum_) RenderSpectrum(1034, 160);
  }
  inInput_ = false;
  return n;
}

// ---- Tuning ----

void ReceiveSection::TuneAll(double hz) {
  rxHz_ = hz;
  path_->Tune(hz);
  packet_.Tune(hz);
  spectrum_.SetReceiveFrequency(hz);
  ctx_.bus.ReceiveFrequencyChanged(hz);
}

void ReceiveSection::SetTxFrequency(double hz) {
  txHz_ = hz;
  spectrum_.SetTransmitFrequency(hz);
  ctx_.bus.TransmitFrequencyChanged(hz);
}

void ReceiveSection::SetNet(bool on) {
  net_ = on;
  if (on) SetTxFrequency(rxHz_);
}

void ReceiveSection::ClickTune(double hz) {
  TuneAll(hz);
  if (net_) SetTxFrequency(hz);
}

void ReceiveSection::TuneReceive(double hz) {
  ClickTune(hz);
}

void ReceiveSection::TuneTransmit(double hz) {
  SetTxFrequency(hz);
}

void ReceiveSection::SetSecondChannel(double hz, bool replayHistory) {
  if (replayHistory || hz <= 0) {
    path_->PlaceSecondChannel(hz);
  } else {
    path_->RetuneSecondChannel(hz);
  }
  spectrum_.SetSecondFrequency(path_->secondHz());
}

void ReceiveSection::PlaceSecondChannel(double hz) {
  SetSecondChannel(hz, true);
}

void ReceiveSection::RunPskAfc() {
  const decoders::AfcOutcome out = path_->AfcStep(afc_, transmitting_);
  if (out.moved) TuneReceive(out.receiveHz);
  if (out.secondMoved) spectrum_.SetSecondFrequency(path_->secondHz());
}

// ---- Switches and commands ----

void ReceiveSection::SetSignalCheck(bool on) {
  signalCheck_ = on;
  spectrum_.SetSignalCheck(on);
}

void ReceiveSection::SetReceiveOn(bool on) {
  receiveOn_ = on;
  ctx_.bus.ReceptionSwitched(on);
  if (transmitting_) return;
  if (!on) {
    StopInput();
    ctx_.sound.CloseSoundOutput();
  } else if (!ctx_.sound.inputOpen()) {
    (void)ctx_.sound.OpenSoundInput();
  }
}

int ReceiveSection::SetRttyBaudText(const std::string& text) {
  platform::FixedPrompt silent;
  platform::Prompt& prompt = ctx_.prompt() != nullptr ? *ctx_.prompt() : silent;
  double accepted = 0;
  const int r = decoders::ApplyRttyBaudRate(text, path_->chain(), prompt, accepted);
  if (r == decoders::kRxOk) ctx_.bus.RttyBaudChanged(accepted);
  return r;
}

int ReceiveSection::AskRttyBaud() {
  platform::Prompt* prompt = ctx_.prompt();
  if (prompt == nullptr) return decoders::kRxOk;
  char start[32];
  std::snprintf(start, sizeof start, "%.2f", rttyBaud());
  std::string answer = start;
  if (!prompt->AskText("Baud rate", decoders::kBaudRateCaption, answer)) return decoders::kRxOk;
  return SetRttyBaudText(answer);
}

double ReceiveSection::rttyBaud() const {
  return path_->chain().rttySingle().symbolRate;
}

void ReceiveSection::OnCapture(StationSnapshot& snap) {
  snap.receiveHz = rxHz_;
  snap.transmitHz = txHz_;
  snap.secondHz = path_->secondHz();
  snap.rttyBaud = rttyBaud();
  snap.afc = afc_;
  snap.net = net_;
}

void ReceiveSection::OnRestore(const StationSnapshot& snap) {
  // The second channel first (its catch-up starts on the stored audio), then the decoders.
  PlaceSecondChannel(snap.secondHz);
  if (snap.mode == Mode::Rtty && snap.rttyBaud >= decoders::kMinRttyBaud &&
      snap.rttyBaud <= decoders::kMaxRttyBaud) {
    path_->chain().SetRttyBaud(snap.rttyBaud);
    ctx_.bus.RttyBaudChanged(snap.rttyBaud);
  }
  if (snap.receiveHz > 0) TuneAll(snap.receiveHz);
  if (snap.transmitHz > 0) SetTxFrequency(snap.transmitHz);
  afc_ = snap.afc;
  SetNet(snap.net);
}

void ReceiveSection::Unshift() {
  path_->chain().Unshift();
}

void ReceiveSection::SetUnshiftOnSpace(bool on) {
  unshiftOnSpace_ = on;
  path_->chain().SetUnshiftOnSpace(on);
}

void ReceiveSection::SetLowerSideband(bool on) {
  lowerSideband_ = on;
  ApplyInversion();
}

void ReceiveSection::ApplyInversion() {
  const bool inv = decoders::InversionFlag(lowerSideband_ ? 1 : 0, settings_.digiSide);
  path_->SetInversion(inv);
  ctx_.bus.InversionChanged(inv);
}

// ---- Spectrum ----

void ReceiveSection::SyncSpectrum() {
  spectrum_.SetReceiveFrequency(rxHz_);
  spectrum_.SetTransmitFrequency(txHz_);
  spectrum_.SetSecondFrequency(path_->secondHz());
  spectrum_.SetTransmitFollowsReceive(net_);
  spectrum_.SetAfc(afc_);
  spectrum_.SetSignalCheck(signalCheck_);
  spectrum_.SetTransmitting(transmitting_);
  // The radio frequency labels the scale only while the transceiver reports it.
  spectrum_.SetRadioFrequency(rigKnown_ ? rigHz_ : 0, lowerSideband_);
}

bool ReceiveSection::RenderSpectrum(int width, int height) {
  if (width != spectrum_.width() || height != spectrum_.height()) {
    if (spectrum_.Resize(width, height) != engine::kSpectrumOk) return false;
  }
  SyncSpectrum();
  return spectrum_.FrameIfNewBlock(path_->loop());
}

void ReceiveSection::SetRigFrequency(int hz) {
  rigHz_ = hz;
  rigKnown_ = true;
}

// ---- Receive window output ----

int ReceiveSection::pskQuality() const {
  return path_->chain().ActivePsk().quality;
}

int ReceiveSection::pskQpskLikeness() const {
  return path_->chain().ActivePsk().qpskLikeness;
}

const char* ReceiveSection::HintText(Hint h) {
  switch (h) {
    case Hint::LooksLikeQpsk:
      return "This signal looks like QPSK";
    case Hint::LooksLikeBpsk:
      return "This signal looks like BPSK";
    default:
      return "";
  }
}

void ReceiveSection::OnTickEnd() {
  ++ticks_;
  UpdateSquelch();
  if (ticks_ % 8 == 0) UpdateHint();
  DrainEcho();
  DrainReceivedText();
}

void ReceiveSection::UpdateSquelch() {
  if (HasSquelch(mode_) && squelchSwitch_)
    squelchOpen_ = decoders::NextSquelchOpen(squelchOpen_, pskQuality());
}

void ReceiveSection::UpdateHint() {
  // A shown hint is hidden; otherwise one may be shown.
  if (hint_ != Hint::None) {
    hint_ = Hint::None;
    return;
  }
  switch (decoders::PskHintFor(mode_, pskQuality(), pskQpskLikeness())) {
    case decoders::PskHint::LooksLikeQpsk:
      hint_ = Hint::LooksLikeQpsk;
      break;
    case decoders::PskHint::LooksLikeBpsk:
      hint_ = Hint::LooksLikeBpsk;
      break;
    default:
      break;
  }
}

void ReceiveSection::DrainEcho() {
  if (view_ == nullptr) return;
  uint8_t c = 0;
  while (echo_.Get(c)) {
    if (c == 8) {
      view_->DeleteLastChar();
    } else {
      view_->AppendChar(c);
      if (c == '\r' || (c == '\n' && prevChar_ != '\r')) view_->LineCompleted();
    }
    prevChar_ = c;
  }
}

void ReceiveSection::DrainReceivedText() {
  if (mainQueue_.Empty() || view_ == nullptr || view_->HasFocus()) return;
  const bool squelched = HasSquelch(mode_) && squelchSwitch_ && !squelchOpen_;
  if (squelched && !keepSquelched_) {
    mainQueue_.Clear();
    return;
  }
  if (squelched) return;  // kept: it waits until the squelch opens
  uint8_t c = 0;
  while (mainQueue_.Get(c)) WriteChar(c);
}

void ReceiveSection::WriteChar(uint8_t c) {
  if (c == 8) {
    view_->DeleteLastChar();
    if (!lineBuffer_.empty()) lineBuffer_.pop_back();
    prevChar_ = c;
    return;
  }
  if (c > 31) lineBuffer_.push_back(static_cast<char>(c));
  view_->AppendChar(c);
  if (c == '\r' || (c == '\n' && prevChar_ != '\r')) {
    view_->LineCompleted();
    if (!lineBuffer_.empty()) {
      const std::string line = std::move(lineBuffer_);
      lineBuffer_.clear();
      ctx_.bus.ReceivedLine(line);
    }
  }
  prevChar_ = c;
}

}  // namespace vexa::app
