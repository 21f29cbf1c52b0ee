#include "app/main_core.h"

#include "app/settings_table.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace vexa::app {

MainCore::MainCore(const CoreConfig& config, const platform::TraceLog& trace, CoreHost& host,
                   int templateNumber)
    : config_(config), trace_(trace), host_(host), templateNumber_(templateNumber) {
  // The member settings read themselves before step 1.
  members_ = std::make_unique<MemberSettings>(*config_.store);

  Trace("Init Main Dialog - step 1\n");
  tickRunning_ = false;

  Trace("Init Main Dialog - step 2\n");
  if (config_.audio == nullptr) nullAudio_ = platform::MakeNullBackend();
  sound_ = std::make_unique<engine::SoundCard>(
      config_.audio != nullptr ? *config_.audio : *nullAudio_,
      engine::DeviceChoice{config_.deviceArgument,
                           config_.store->ReadSettingText("Misc", "InputDevice", ""),
                           config_.store->ReadSettingText("Misc", "OutputDevice", "")});
  sound_->SetNotifier([this] { host_.Wake(); });
  sound_->SetTraceHook([this](const char* call, int result) {
    char line[96];
    std::snprintf(line, sizeof line, "%s failed: %d\n", call, result);
    Trace(line);
  });
  if (config_.clock == nullptr) ownClock_ = std::make_unique<SteadyClock>();
  ctx_ = std::unique_ptr<StationContext>(
      new StationContext{config_, trace_, host_, *this, *members_, *sound_,
                         config_.clock != nullptr ? *config_.clock : *ownClock_});

  Trace("Init Main Dialog - step 3\n");
  // The receive section owns the two received-text queues; the transmit section keeps the
  // keyer's speed from the normal speed.
  receive_ = std::make_unique<ReceiveSection>(*ctx_);

  Trace("Init Main Dialog - step 4\n");
  transmit_ = std::make_unique<TransmitSection>(*ctx_, receive_->echoRing());
  logbook_ = std::make_unique<LogbookSection>(*ctx_);
  rig_ = std::make_unique<RigSection>(*ctx_);
  memories_ = std::make_unique<MemorySection>(*ctx_);
  console_ = std::make_unique<ConsoleSection>(*ctx_, *receive_, *transmit_, *logbook_, *rig_);
  spots_ = std::make_unique<SpotsSection>(*ctx_);
  tnc_ = std::make_unique<TncTerminalSection>(*ctx_);
  packet_ = std::make_unique<PacketSection>(*ctx_, *receive_, *transmit_);
  browser_ = std::make_unique<BrowserSection>(*ctx_);
  sections_ = {receive_.get(), transmit_.get(), logbook_.get(), rig_.get(),    memories_.get(),
               console_.get(), spots_.get(),    tnc_.get(),     packet_.get(), browser_.get()};

  Trace("Init Main Dialog - step 5\n");
}

MainCore::~MainCore() {
  if (!destroyed_) OnDestroy();
  // Sections go in reverse order; members_ goes last: its destructor writes every member back.
  sections_.clear();
  browser_.reset();
  packet_.reset();
  tnc_.reset();
  spots_.reset();
  console_.reset();
  memories_.reset();
  rig_.reset();
  logbook_.reset();
  transmit_.reset();
  receive_.reset();
  sound_->CloseSoundInput();
  sound_->CloseSoundOutput();
}

void MainCore::OnInitDialog() {
  for (int step = 6; step <= 20; ++step) {
    char line[64];
    if (step == 9) {
      std::snprintf(line, sizeof line, "Setting High Priority - step 9\n");
    } else if (step == 20) {
      std::snprintf(line, sizeof line, "Init Main Dialog - step 20 (Last)\n");
    } else {
      std::snprintf(line, sizeof line, "Init Main Dialog - step %d\n", step);
    }
    Trace(line);
    switch (step) {
      case 6:
        // Month and day names in logs and reports are English whatever the system language.
        std::setlocale(LC_TIME, "C");
        break;
      case 7:
        host_.MoveWindow(position_.RestorePosition(*config_.store, "Main"));
        break;
      case 8:
        if (config_.store->ReadSettingInt("Keyboard", "LargeScreen", 0) != 0 &&
            templateNumber_ == kTemplateNormal) {
          Trace("Reloading Large Dialog\n");
          templateNumber_ = kTemplateLarge;
          host_.EndModalLoop(kResultReload);
          return;
        }
        break;
      case 11:
        SetMode(mode_);
        if (!host_.StartTickTimer(kTickMs)) {
          if (config_.prompt != nullptr)
            config_.prompt->Message("Timer fault", "Error", platform::PromptIcon::Error);
          return;
        }
        tickRunning_ = true;
        break;
      case 17:
        caption_ = config_.productName + " [" + members_->myCall.value + "]";
        host_.SetCaption(caption_);
        break;
      case 18:
        if (members_->saveFqOnExit.value != 0) {
          if (auto m = ModeFromNumber(members_->modeOnExit.value)) SetMode(*m);
        }
        break;
      default:
        // 9: the sound path runs on the main loop and the audio threads run at the priority
        // the audio system gives them. 10: the system menu is the window's own business.
        break;
    }
    ForEach([step](Section& s) { s.OnInitStep(step); });
  }
}

void MainCore::SetMode(Mode mode) {
  mode_ = mode;
  ForEach([mode](Section& s) { s.OnModeChange(mode); });
}

void MainCore::OnWake() {
  OnInputBlocks();
  OnOutputDone();
  OnSerialData();
  ForEach([](Section& s) { s.OnWake(); });
}

void MainCore::OnTimer() {
  ++ticks_;
  msCounter_ += kTickMs;
  const bool second = msCounter_ >= 1000;
  if (second) {
    msCounter_ -= 1000;
    ++seconds_;
  }
  // The periodic work of every section, then the output into the receive window.
  ForEach([second](Section& s) {
    s.OnTick();
    if (second) s.OnSecond();
  });
  ForEach([](Section& s) { s.OnTickEnd(); });
}

void MainCore::OnTncSerialData(std::span<const uint8_t> bytes) {
  // Bounded: a TNC that talks while nobody reads cannot fill the memory.
  constexpr size_t kMaxQueued = 65536;
  if (members_->modemType.value != 7) return;
  if (mode_ == Mode::Ax25Tx) {
    packet_->OnTncBytes(bytes);  // the packet station's KISS receiver
    return;
  }
  for (uint8_t b : bytes) {
    if (packetRx_.size() >= kMaxQueued) packetRx_.pop_front();
    packetRx_.push_back(b);
  }
}

void MainCore::OnSysCommand(int command) {
  const int c = command & 0xFFF0;
  if (c == kCmdClose) {
    (void)RequestClose();
    return;
  }
  for (Section* s : sections_)
    if (s->OnCommand(c)) return;
}

void MainCore::OnMenuCommand(int id) {
  for (Section* s : sections_)
    if (s->OnCommand(id)) return;
}

bool MainCore::ApplyLayoutAndLanguage(bool largeScreen, int language) {
  auto& s = *config_.store;
  const bool layoutChanged = (s.ReadSettingInt("Keyboard", "LargeScreen", 0) != 0) != largeScreen;
  const bool languageChanged = s.ReadSettingInt("Misc", "Language", 0) != language;
  if (!layoutChanged && !languageChanged) return false;
  if (layoutChanged) (void)s.WriteSettingInt("Keyboard", "LargeScreen", largeScreen ? 1 : 0);
  if (languageChanged) (void)s.WriteSettingInt("Misc", "Language", language);
  templateNumber_ = largeScreen ? kTemplateLarge : kTemplateNormal;
  receive_->StopInput();
  host_.EndModalLoop(kResultReload);
  return true;
}

SetupValues MainCore::ReadSetup() {
  return ReadSetupValues(*members_, *config_.store);
}

SetupOutcome MainCore::ApplySetup(const SetupValues& values) {
  SetupOutcome out;
  const auto fields = SetupFields();
  for (size_t i = 0; i < fields.size(); ++i) {
    std::string why = CheckSetupValue(fields[i], values.at(i));
    if (!why.empty()) {
      out.error = std::move(why);
      return out;
    }
  }
  auto& store = *config_.store;
  const bool largeScreen = values.GetInt("Keyboard", "LargeScreen") != 0;
  const int language = values.GetInt("Misc", "Language");
  const bool layoutChanged =
      (store.ReadSettingInt("Keyboard", "LargeScreen", 0) != 0) != largeScreen;
  const bool languageChanged = store.ReadSettingInt("Misc", "Language", 0) != language;

  // The members take their values; they reach the file when the window goes.
  for (size_t i = 0; i < fields.size(); ++i)
    if (CProfileSetting* m = SetupMember(*members_, fields[i]))
      (void)m->SetText(NormalisedSetupValue(fields[i], values.at(i)));

  // Every setting loaded at initialisation of these sections is written, changed or not.
  auto written = [](const SettingDef& d) {
    if ((d.regime & kInit) == 0) return false;
    for (const char* sec : {"Station", "TX1", "Spectrum", "Keyboard", "Font"})
      if (d.section == sec) return true;
    return d.section == "Misc" && d.key != "Language";
  };
  for (const SettingDef& d : SettingsTable()) {
    if (!written(d)) continue;
    if (d.section == "Keyboard" && d.key == "LargeScreen") continue;
    const int f = FindSetupField(d.section, d.key);
    const std::string text = f >= 0 ? NormalisedSetupValue(fields[static_cast<size_t>(f)],
                                                           values.at(static_cast<size_t>(f)))
                                    : CurrentValueText(d, store);
    const int rc = d.type == SettingType::Int
                       ? store.WriteSettingInt(d.section, d.key, std::atoi(text.c_str()))
                       : store.WriteSettingText(d.section, d.key, text);
    if (rc != 0) ++out.writeFailures;
  }
  if (out.writeFailures > 0)
    Notice(std::to_string(out.writeFailures) +
           " settings could not be written: " + store.lastError());

  ForEach([](Section& s) { s.OnSetupApplied(); });
  out.applied = true;
  if (layoutChanged || languageChanged) out.reload = ApplyLayoutAndLanguage(largeScreen, language);
  return out;
}

bool MainCore::RequestClose() {
  for (Section* s : sections_)
    if (!s->OnCloseRequested()) return false;
  ForEach([](Section& s) { s.OnClosing(); });
  host_.EndModalLoop(kResultCancel);
  return true;
}

void MainCore::OnDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  ForEach([](Section& s) { s.OnDestroy(); });
  int widths[8];
  if (host_.LogGridColumnWidths(widths)) {
    auto cols = members_->Columns();
    for (int i = 0; i < 8; ++i) cols[static_cast<size_t>(i)]->value = widths[i];
  }
  if (members_->saveFqOnExit.value != 0) members_->modeOnExit.value = static_cast<int>(mode_);
  if (tickRunning_) {
    host_.StopTickTimer();
    tickRunning_ = false;
  }
  host_.HideWindow();
  (void)position_.SavePosition(*config_.store, host_.WindowPosition(), host_.WindowMinimised());
}

// ---- The bus ----

void MainCore::ReceivedLine(std::string_view line) {
  ForEach([line](Section& s) { s.OnReceivedLine(line); });
}
void MainCore::InputBlock(std::span<const int16_t> samples) {
  ForEach([samples](Section& s) { s.OnInputBlock(samples); });
}

void MainCore::TerminalLine(std::string_view line) {
  ForEach([line](Section& s) { s.OnTerminalLine(line); });
}
void MainCore::TransmitFrequencyChanged(double hz) {
  ForEach([hz](Section& s) { s.OnTransmitFrequency(hz); });
}
void MainCore::InversionChanged(bool on) {
  ForEach([on](Section& s) { s.OnInversion(on); });
}
void MainCore::RttyBaudChanged(double baud) {
  ForEach([baud](Section& s) { s.OnRttyBaud(baud); });
}
void MainCore::ReceptionSwitched(bool on) {
  ForEach([on](Section& s) { s.OnReceptionSwitch(on); });
}
void MainCore::TransmittingChanged(bool on) {
  ForEach([on](Section& s) { s.OnTransmitting(on); });
}
void MainCore::TransceiverBytes(std::span<const uint8_t> bytes) {
  ForEach([bytes](Section& s) { s.OnTransceiverBytes(bytes); });
}
void MainCore::ReceiveFrequencyChanged(double hz) {
  ForEach([hz](Section& s) { s.OnReceiveFrequency(hz); });
}
void MainCore::RigFrequencyChanged(int64_t dialHz) {
  ForEach([dialHz](Section& s) { s.OnRigFrequency(dialHz); });
}
void MainCore::ModeRequested(Mode mode) {
  if (mode != mode_) SetMode(mode);
}
void MainCore::PortMonitorText(std::string_view text) {
  ForEach([text](Section& s) { s.OnPortMonitorText(text); });
}
void MainCore::CaptureStation(StationSnapshot& snapshot) {
  snapshot.mode = mode_;
  ForEach([&snapshot](Section& s) { s.OnCapture(snapshot); });
}
void MainCore::RestoreStation(const StationSnapshot& snapshot) {
  if (snapshot.mode != mode_) SetMode(snapshot.mode);
  ForEach([&snapshot](Section& s) { s.OnRestore(snapshot); });
}
void MainCore::Notice(std::string_view text) {
  if (!notice_.empty()) notice_ += "  ";
  notice_ += text;
}

}  // namespace vexa::app
