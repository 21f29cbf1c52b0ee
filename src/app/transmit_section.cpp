#include "app/transmit_section.h"

#include <chrono>
#include <cstdio>

#include "app/settings_table.h"
#include "tx/cat.h"
#include "tx/cw_keyer.h"

namespace vexa::app {

void TransmitSettings::Load(const platform::SettingsStore& s) {
  auto num = [&](const char* sec, const char* key) { return ReadIntSetting(s, sec, key); };
  cwId = num("Station", "CwId");
  comPort = num("TX1", "ComPort");
  comSpeed = num("TX1", "ComSpeed");
  rigType = num("TX1", "Type");
  icomAddr = num("TX1", "IcomAddr");
  yaesu = num("TX1", "Yaesu");
  txTimeout = num("TX1", "TxTimeout");
  wrap = s.ReadSettingInt("Keyboard", "Wrap", 80);
}

TransmitSection::TransmitSection(StationContext& ctx, engine::RxTextQueue& echo) : ctx_(ctx) {
  lines_ = std::make_unique<tx::KeyLines>(nullptr, ctx_.config.sleep);
  transmitter_ = std::make_unique<tx::Transmitter>(ctx_.sound, text_, *lines_, echo, ctx_.clock);
  transmitter_->SetTransmittingHook([this](bool on) {
    transmitting_ = on;
    ctx_.bus.TransmittingChanged(on);
  });
  // While the TNC terminal is open the keyer hands its characters to the controller.
  transmitter_->keyer().SetTncHooks([this] { return ctx_.tncTerminal != nullptr; },
                                    [this](std::string_view bytes) {
                                      if (ctx_.tncTerminal) ctx_.tncTerminal(bytes);
                                    },
                                    [this](int ms) { ctx_.Sleep(ms); });
  // The keyer's current and saved speed start from the normal speed.
  transmitter_->keyer().SetNormalDotTicks(ctx_.members.normalSpeed.value);

  auto factory = ctx_.config.voiceOutput;
  voicePlayer_ = std::make_unique<tx::BackendVoicePlayer>(
      factory ? factory : [] { return platform::MakeNullBackend(); },
      ctx_.sound.ChosenOutputDevice());
  voice_ = std::make_unique<tx::VoiceKeyer>(voiceLock_, *lines_, *voicePlayer_,
                                            ctx_.config.paths.workDir);
  // The keyer's thread asks the main loop to switch the sound card (which belongs to the main
  // thread) and waits until it has; queuing a message happens on the main loop already.
  voice_->SetHooks({[this] { ctx_.sound.CloseSoundInput(); },
                    [this] { RunOnMainLoop([this] { ctx_.sound.CloseSoundOutput(); }); },
                    [this] { return receptionOn_.load(); },
                    [this] { RunOnMainLoop([this] { (void)ctx_.sound.OpenSoundInput(); }); }});
  transmitter_->SetVoiceKeyer(voice_.get());
}

void TransmitSection::OnPortMonitorText(std::string_view text) {
  if (monitorOn_ && monitorSink_) monitorSink_(std::string(text));
}

TransmitSection::~TransmitSection() {
  voice_->Escape();
  {
    std::lock_guard lock(mainLoopLock_);
    closing_ = true;  // a keyer thread waiting for the main loop gives up at once
  }
  mainLoopDone_.notify_all();
  voice_->Join();
  transmitter_.reset();  // stops the keyer thread before the lines and the port go
  lines_->SetPort(nullptr);
  ctx_.transceiver = nullptr;
  if (port_) (void)port_->Close();
  ctx_.sound.CloseSoundOutput();
}

void TransmitSection::OnInitStep(int step) {
  switch (step) {
    case 11:
      settings_.Load(ctx_.store());
      break;
    case 12:
      OpenTransceiverPort();
      break;
    case 16:
      if (ctx_.members.dtrMode.value == 2 || ctx_.members.rtsMode.value == 2) {
        lines_->ApplyIdleLines();  // a line used as a constant supply is raised
        if (portOpen()) ctx_.Sleep(200);
      }
      break;
    default:
      break;
  }
}

void TransmitSection::SetPtt(bool on) {
  lines_->SetPtt(on);
}

void TransmitSection::OnSetupApplied() {
  // A transmission in progress would lose its PTT line with the port: it ends first.
  if (transmitter_->active()) transmitter_->Abort();
  CloseTransceiverPort();
  lostDevice_.clear();
  settings_.Load(ctx_.store());
  OpenTransceiverPort();
}

void TransmitSection::WatchTransceiverPort() {
  if (port_ && port_->vanished()) {
    const std::string device = port_->device();
    // A transmission cannot go on without its PTT line.
    if (transmitter_->active()) transmitter_->Abort();
    CloseTransceiverPort();
    lostDevice_ = device;
    portStatus_ = "The transceiver port " + device + " went away (unplugged?); trying again.";
    ctx_.bus.Notice(portStatus_);
    ticksToReopen_ = kReopenTicks;
    return;
  }
  if (lostDevice_.empty() || --ticksToReopen_ > 0) return;
  ticksToReopen_ = kReopenTicks;
  OpenTransceiverPort();
  if (portOpen()) {
    portStatus_.clear();
    ctx_.bus.Notice("The transceiver port " + lostDevice_ + " is back.");
    lostDevice_.clear();
  } else {
    portStatus_ = "The transceiver port " + lostDevice_ + " went away (unplugged?); trying again.";
  }
}

void TransmitSection::CloseTransceiverPort() {
  lines_->SetPort(nullptr);
  ctx_.transceiver = nullptr;
  if (port_) (void)port_->Close();
  port_.reset();
  portStatus_.clear();
}

void TransmitSection::OpenTransceiverPort() {
  // PTT goes to a rig on the network when the rig section controls one (it may change its
  // mind in Setup, so the link is looked up at every switch).
  if (settings_.rigType == static_cast<int>(tx::CatFamily::Rigctld))
    lines_->SetNetworkPtt([this](bool on) {
      if (ctx_.networkPtt) ctx_.networkPtt(on);
    });
  else
    lines_->SetNetworkPtt(nullptr);
  tx::KeyLineSettings ks;
  ks.dtrMode = ctx_.members.dtrMode.value;
  ks.rtsMode = ctx_.members.rtsMode.value;
  ks.rigType = settings_.rigType;
  ks.icomAddr = settings_.icomAddr;
  ks.yaesuModel = settings_.yaesu;
  lines_->SetSettings(ks);
  const int n = settings_.comPort;
  if (n <= 0 || !ctx_.config.openSerialPort) return;
  const std::string device =
      ctx_.store().ReadSettingText("Ports", "COM" + std::to_string(n), DefaultPortDevice(n));
  platform::SerialLineSettings ls;
  ls.baud = settings_.comSpeed;
  ls.stopBits = settings_.rigType >= 3 ? 2 : 0;
  port_ = std::make_unique<platform::SerialPort>();
  port_->SetNotifier([this](int) { ctx_.host.Wake(); });
  if (port_->Open(n, device, ls) != platform::kSerialOk) {
    portStatus_ = port_->lastError();
    port_.reset();
    return;
  }
  lines_->SetPort(port_.get());
  lines_->ApplyIdleLines();  // no keying at start-up, whatever the lines did before
  ctx_.transceiver = port_.get();
}

void TransmitSection::OnModeChange(Mode mode) {
  mode_ = mode;
  if (!transmitter_->active()) transmitter_->SetMode(mode);
}

void TransmitSection::OnTick() {
  RunMainLoopCalls();
  WatchTransceiverPort();
  transmitter_->OnTimerTick();
  monitor_.Tick();
}

void TransmitSection::OnClosing() {
  transmitter_->keyer().Stop();
  transmitter_->Abort();
  voice_->Escape();
}

void TransmitSection::OnDestroy() {
  // The rig section goes before this one: no PTT may reach it from the keyer threads any more.
  lines_->SetNetworkPtt(nullptr);
  ctx_.members.normalSpeed.value = transmitter_->keyer().normalDotTicks();
}

void TransmitSection::OnTransmitFrequency(double hz) {
  txHz_ = hz;
  // A PSK-family transmission in progress follows at its next symbol.
  transmitter_->SetTransmitFrequency(hz);
}

void TransmitSection::OnReceptionSwitch(bool on) {
  receptionOn_ = on;
  transmitter_->SetReceptionOn(on);
}

void TransmitSection::RunOnMainLoop(std::function<void()> fn) {
  std::unique_lock lock(mainLoopLock_);
  if (closing_) return;
  const uint64_t ticket = ++callsQueued_;
  mainLoopCalls_.push_back(std::move(fn));
  lock.unlock();
  ctx_.host.Wake();
  lock.lock();
  // Bounded: a main loop that is shutting down must not keep the keyer thread for ever.
  mainLoopDone_.wait_for(lock, std::chrono::seconds(2),
                         [&] { return closing_ || callsRun_ >= ticket; });
}

void TransmitSection::RunMainLoopCalls() {
  std::deque<std::function<void()>> calls;
  {
    std::lock_guard lock(mainLoopLock_);
    calls.swap(mainLoopCalls_);
  }
  if (calls.empty()) return;
  for (auto& fn : calls) fn();
  {
    std::lock_guard lock(mainLoopLock_);
    callsRun_ += calls.size();
  }
  mainLoopDone_.notify_all();
}

void TransmitSection::OnOutputDone() {
  RunMainLoopCalls();
  // At most one round of the four buffers per call: a device that hands blocks back at once
  // (a file) must not keep the main loop here for ever.
  int index = -1;
  for (int n = 0; n < platform::kAudioBuffers && ctx_.sound.TakeOutputDone(index); ++n)
    transmitter_->OnOutputDone(index);
}

void TransmitSection::OnSerialData() {
  if (!port_) return;
  const std::string bytes = port_->ReadAll();
  if (bytes.empty()) return;
  const std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (monitorOn_) {
    const std::string text = monitor_.Format(settings_.comPort, span);
    if (monitorSink_) monitorSink_(text);
    return;
  }
  ctx_.bus.TransceiverBytes(span);
}

void TransmitSection::SetPortMonitor(bool on, MonitorSink sink) {
  monitorOn_ = on;
  monitorSink_ = std::move(sink);
  monitor_.Reset();
}

bool TransmitSection::TestDtr(bool on) {
  if (!portOpen()) return false;
  port_->SetDtr(on);
  return true;
}

bool TransmitSection::TestRts(bool on) {
  if (!portOpen()) return false;
  port_->SetRts(on);
  return true;
}

tx::ModulatorParams TransmitSection::TransmitParams() const {
  tx::ModulatorParams p;
  p.centreHz = txHz_;
  p.rttyBaud = rttyBaud_;
  p.reverse = inversion_;
  p.cwIdUnitSymbols = settings_.cwId;
  p.useDe = ctx_.members.useDe.value != 0;
  p.myCall = ctx_.members.myCall.value;
  p.cwPitchHz = ctx_.members.cwPitch.value;
  return p;
}

void TransmitSection::ToggleTransmit() {
  if (IgnoresTxSwitch(mode_)) return;
  if (!transmitter_->active()) {
    transmitter_->SetMode(mode_);
    transmitter_->SetParams(TransmitParams());
    transmitter_->SetSoundCardCw(ctx_.members.useSb.value != 0);
    transmitter_->SetWrap(settings_.wrap);
    transmitter_->SetTxTimeout(settings_.txTimeout);
    transmitter_->SetReceptionOn(receptionOn_);
  }
  transmitter_->ToggleTransmit();
}

bool TransmitSection::PlayVoiceMessage(int key) {
  if (!IsPhone(mode_) || key < 0 || key > 23) return false;
  voice_->QueueVoiceMessage(key);
  return true;
}

std::string TransmitSection::CwSpeedCaption() const {
  return tx::CwSpeedCaption(transmitter_->keyer().dotTicks());
}

}  // namespace vexa::app
