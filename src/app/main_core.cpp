#include "app/main_core.h"

#include <chrono>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <thread>

#include "app/settings_table.h"
#include "callinfo/country_info.h"
#include "decoders/decoder_chain.h"
#include "log/log_export.h"

namespace vexa::app {
namespace {

// Collects the messages of start-up work instead of stopping it with a dialog.
class NoticeCollector final : public platform::Prompt {
 public:
  void Message(std::string_view text, std::string_view, platform::PromptIcon) override {
    if (!notice.empty()) notice += "  ";
    notice += text;
  }
  platform::PromptAnswer Ask(std::string_view, std::string_view, platform::PromptButtons,
                             platform::PromptIcon) override {
    return platform::PromptAnswer::No;
  }
  std::string notice;
};

}  // namespace

MainCore::MainCore(const CoreConfig& config, const platform::TraceLog& trace, CoreHost& host,
                   int templateNumber)
    : config_(config), trace_(trace), host_(host), templateNumber_(templateNumber) {
  // The member settings read themselves before step 1.
  members_ = std::make_unique<MemberSettings>(*config_.store);

  Trace("Init Main Dialog - step 1\n");
  transmitting_ = false;
  tickRunning_ = false;
  afc_ = config_.store->ReadSettingInt("Misc", "AFC", 0) != 0;
  net_ = config_.store->ReadSettingInt("Misc", "NET", 0) != 0;

  Trace("Init Main Dialog - step 2\n");
  // The keyer's current and saved speed start from the normal speed (the keyer comes with the
  // transmitter).

  Trace("Init Main Dialog - step 3\n");
  mainQueue_.Clear();

  Trace("Init Main Dialog - step 4\n");
  spectrum_.SetHost(this);
  // Sound card, transmitter and keying lines exist from here on; devices open later.
  if (config_.audio == nullptr) nullAudio_ = platform::MakeNullBackend();
  sound_ =
      std::make_unique<engine::SoundCard>(config_.audio != nullptr ? *config_.audio : *nullAudio_,
                                          engine::DeviceChoice{config_.deviceArgument, "", ""});
  sound_->SetNotifier([this] { host_.Wake(); });
  sound_->SetTraceHook([this](const char* call, int result) {
    char line[96];
    std::snprintf(line, sizeof line, "%s failed: %d\n", call, result);
    Trace(line);
  });
  if (config_.clock == nullptr) ownClock_ = std::make_unique<tx::SteadyClock>();
  lines_ = std::make_unique<tx::KeyLines>(nullptr, config_.sleep);
  transmitter_ = std::make_unique<tx::Transmitter>(
      *sound_, text_, *lines_, echo_, config_.clock != nullptr ? *config_.clock : *ownClock_);
  transmitter_->SetTransmittingHook([this](bool on) {
    transmitting_ = on;
    loop_->SetTransmitting(on);
    spectrum_.SetTransmitting(on);
  });
  transmitter_->keyer().SetNormalDotTicks(members_->normalSpeed.value);
  chain_ = std::make_unique<decoders::DecoderChain>(mainQueue_);
  loop_ = std::make_unique<engine::ReceiveLoop>(chain_->Table(), members_->soundHistory.value);
  loop_->SetSecondFrequencyError(&chain_->secondDecoder().freqErr);
  loop_->SetYieldHooks({[this] { host_.DispatchTimersAndPaint(); },
                        [this] { return sound_ && sound_->InputBlockWaiting(); }});
  loop_->SetSpectrumHook([this] { host_.InvalidateSpectrum(); });

  Trace("Init Main Dialog - step 5\n");
}

MainCore::~MainCore() {
  if (!destroyed_) OnDestroy();
  transmitter_.reset();  // stops the keyer thread before the lines and the port go
  if (lines_) lines_->SetPort(nullptr);
  if (port_) (void)port_->Close();
  sound_->CloseSoundInput();
  sound_->CloseSoundOutput();
  // members_ goes last among the settings: its destructor writes every member back.
}

void MainCore::LoadInitSettings() {
  const auto& s = *config_.store;
  auto text = [&](const char* sec, const char* key) {
    return s.ReadSettingText(sec, key, DefaultText(*FindSetting(sec, key), s));
  };
  auto num = [&](const char* sec, const char* key) {
    return s.ReadSettingInt(sec, key, FindSetting(sec, key)->intDefault);
  };
  init_.myName = text("Station", "MyName");
  init_.myQth = text("Station", "MyQth");
  init_.myLatitude = std::strtod(text("Station", "MyLatitude").c_str(), nullptr);
  init_.myLongitude = std::strtod(text("Station", "MyLongitude").c_str(), nullptr);
  init_.cwId = num("Station", "CwId");
  init_.contestName = text("Contest", "Name");
  init_.singleBandIdx = num("Contest", "SingleBandIdx");
  init_.qrzCd = text("Misc", "QrzCd");
  if (!init_.qrzCd.empty() && init_.qrzCd.back() != '/' && init_.qrzCd.back() != '\\')
    init_.qrzCd += '/';
  init_.comPort = num("TX1", "ComPort");
  init_.comSpeed = num("TX1", "ComSpeed");
  init_.rigType = num("TX1", "Type");
  init_.digiSide = num("TX1", "DigiSide");
  init_.icomAddr = num("TX1", "IcomAddr");
  init_.yaesu = num("TX1", "Yaesu");
  init_.kenwood = num("TX1", "Kenwood");
  init_.tenTec = num("TX1", "TenTec");
  init_.other = num("TX1", "Other");
  init_.digiCommand = num("TX1", "DigiCommand");
  init_.txTimeout = num("TX1", "TxTimeout");
  init_.soundFq = num("Spectrum", "SoundFq");
  init_.startFq = num("Spectrum", "StartFq");
  init_.soundFqHitones = num("Spectrum", "SoundFqHitones");
  init_.startFqHitones = num("Spectrum", "StartFqHitones");
  init_.useHitones = num("Spectrum", "UseHitones");
  init_.zoom = num("Spectrum", "Zoom");
  init_.averageInverted = num("Spectrum", "AverageInverted");
  init_.showAverage = num("Spectrum", "ShowAverage");
  init_.averageThickLine = num("Spectrum", "AverageThickLine");
  init_.fontFaceName = text("Font", "FaceName");
  init_.inputDevice = text("Misc", "InputDevice");
  init_.outputDevice = text("Misc", "OutputDevice");
}

void MainCore::OnInitDialog() {
  Trace("Init Main Dialog - step 6\n");
  // Month and day names in logs and reports are English whatever the system language.
  std::setlocale(LC_TIME, "C");

  Trace("Init Main Dialog - step 7\n");
  host_.MoveWindow(position_.RestorePosition(*config_.store, "Main"));

  Trace("Init Main Dialog - step 8\n");
  init_.largeScreen = config_.store->ReadSettingInt("Keyboard", "LargeScreen", 0);
  if (init_.largeScreen != 0 && templateNumber_ == kTemplateNormal) {
    Trace("Reloading Large Dialog\n");
    templateNumber_ = kTemplateLarge;
    host_.EndModalLoop(kResultReload);
    return;
  }

  Trace("Setting High Priority - step 9\n");
  // The sound path runs on the main loop; the audio threads themselves run at the priority the
  // audio system gives them, so nothing more is needed (or allowed without privileges) here.

  Trace("Init Main Dialog - step 10\n");
  // The system menu is the window's own business.

  Trace("Init Main Dialog - step 11\n");
  SetMode(mode_);
  if (!host_.StartTickTimer(kTickMs)) {
    if (config_.prompt != nullptr)
      config_.prompt->Message("Timer fault", "Error", platform::PromptIcon::Error);
    return;
  }
  tickRunning_ = true;
  LoadInitSettings();
  {
    engine::SpectrumSettings ss;
    ss.type = members_->spectrumType.value;
    ss.zoom = init_.zoom;
    ss.cwType = members_->cwSpectrumMode.value;
    ss.cwZoom = members_->cwSpectrumZoom.value;
    ss.showAverage = init_.showAverage != 0;
    ss.averageInverted = init_.averageInverted != 0;
    ss.averageThickLine = init_.averageThickLine != 0;
    ss.startFq = init_.startFq;
    ss.startFqHitones = init_.startFqHitones;
    ss.useHitones = init_.useHitones != 0;
    spectrum_.ApplySettings(ss);
    spectrum_.ChangeMode(mode_);
  }

  Trace("Init Main Dialog - step 12\n");
  OpenTransceiverPort();

  Trace("Init Main Dialog - step 13\n");
  {
    const auto& s = *config_.store;
    for (int k = 0; k < 24; ++k) {
      const std::string name = FunctionKeyName(k);
      init_.keyTexts[k] = s.ReadSettingText("Keyboard", name, BuiltInKeyText(k));
      init_.keyCaptions[k] = s.ReadSettingText("Keyboard", name + " Caption", name);
    }
    init_.insText =
        s.ReadSettingText("Keyboard", "Ins", FindSetting("Keyboard", "Ins")->textDefault);
    init_.grayPlusText =
        s.ReadSettingText("Keyboard", "GrayPlus", FindSetting("Keyboard", "GrayPlus")->textDefault);
    init_.autoCqText =
        s.ReadSettingText("Keyboard", "AutoCq", FindSetting("Keyboard", "AutoCq")->textDefault);
    init_.autoCqDelay = s.ReadSettingInt("Keyboard", "AutoCqDelay", 10);
    init_.wrap = s.ReadSettingInt("Keyboard", "Wrap", 80);
    init_.simple = s.ReadSettingInt("Keyboard", "Simple", 0);
  }
  if (!config_.paths.workDir.empty()) {
    NoticeCollector notes;
    (void)callinfo::LoadCountryFileWithHint(countries_, config_.paths.workDir, notes);
    for (auto& c : notes.notice)
      if (c == '\r' || c == '\n') c = ' ';
    notice_ = notes.notice;
  }

  Trace("Init Main Dialog - step 14\n");
  Trace("Init Main Dialog - step 15\n");
  Trace("Init Main Dialog - step 16\n");
  if (members_->dtrMode.value == 2 || members_->rtsMode.value == 2) {
    lines_->ApplyIdleLines();  // a line used as a constant supply is raised
    if (port_ && port_->IsOpen()) {
      if (config_.sleep)
        config_.sleep(200);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  }

  Trace("Init Main Dialog - step 17\n");
  sound_->SetDeviceChoice({config_.deviceArgument, init_.inputDevice, init_.outputDevice});
  if (receiveOn_) (void)sound_->OpenSoundInput();
  caption_ = config_.productName + " [" + members_->myCall.value + "]";
  host_.SetCaption(caption_);
  if (!config_.paths.workDir.empty()) {
    log::LogScanOptions o;
    o.contestName = init_.contestName;
    o.nowUtc = static_cast<int64_t>(std::time(nullptr));
    log::QsoSink sink;
    if (log::ScanLogFile(config_.paths.WorkFile("log.log"), o, sink, logScan_) == 0 &&
        logScan_.errorCount > 0) {
      if (!notice_.empty()) notice_ += "  ";
      notice_ +=
          std::to_string(logScan_.errorCount) + " log lines do not parse (vexa-cli log check)";
    }
  }

  Trace("Init Main Dialog - step 18\n");
  rigHz_ = members_->fqOnExit.value;
  if (members_->saveFqOnExit.value != 0) {
    SetMode(members_->modeOnExit.value);
  }
  {
    const bool hitones = init_.useHitones != 0 && (mode_ == 4 || mode_ == 12);
    TuneAll(hitones ? init_.soundFqHitones : init_.soundFq);
    txHz_ = rxHz_;
  }

  Trace("Init Main Dialog - step 19\n");
  myLat_ = init_.myLatitude;
  myLon_ = init_.myLongitude;
  {
    callinfo::CountryInfo own;
    if ((myLat_ == 0 && myLon_ == 0) &&
        countries_.LookupCountry(members_->myCall.value, &own) >= 0) {
      myLat_ = own.latitude;
      myLon_ = own.longitude;
    }
    countries_.SetStationPosition(myLat_, myLon_);
  }
  Trace("Init Main Dialog - step 20 (Last)\n");
  // A named external keying driver has no counterpart here; the setting is kept as it is.
}

int MainCore::OnInputBlocks() {
  // The history replay lets timers and painting run inside a block; a wake-up that arrives
  // then must not start a second block in the middle of the first.
  if (inInput_) return 0;
  inInput_ = true;
  int n = 0;
  platform::InputBlock block;
  while (sound_->TakeInputBlock(block)) {
    loop_->ProcessBlock(block.samples);
    (void)sound_->RequeueInputBlock(block);
    ++n;
    if (headlessSpectrum_) RenderSpectrum(1034, 160);
  }
  inInput_ = false;
  return n;
}

void MainCore::SyncSpectrum() {
  spectrum_.SetReceiveFrequency(rxHz_);
  spectrum_.SetTransmitFrequency(txHz_);
  spectrum_.SetSecondFrequency(loop_->secondFrequency());
  spectrum_.SetTransmitFollowsReceive(net_);
  spectrum_.SetAfc(afc_);
  spectrum_.SetSignalCheck(signalCheck_);
  spectrum_.SetTransmitting(transmitting_);
  // The radio frequency labels the scale only while the transceiver reports it.
  spectrum_.SetRadioFrequency(rigKnown_ ? rigHz_ : 0, false);
}

bool MainCore::RenderSpectrum(int width, int height) {
  if (width != spectrum_.width() || height != spectrum_.height()) {
    if (spectrum_.Resize(width, height) != engine::kSpectrumOk) return false;
  }
  SyncSpectrum();
  return spectrum_.FrameIfNewBlock(*loop_);
}

void MainCore::TuneReceive(double hz) {
  TuneAll(hz);
  if (net_) txHz_ = hz;
  spectrum_.SetReceiveFrequency(rxHz_);
  spectrum_.SetTransmitFrequency(txHz_);
}

void MainCore::TuneTransmit(double hz) {
  txHz_ = hz;
  spectrum_.SetTransmitFrequency(hz);
}

void MainCore::SetSecondChannel(double hz, bool replayHistory) {
  if (replayHistory || hz <= 0) {
    loop_->PlaceSecondChannel(hz);
  } else {
    // Fine tuning moves the channel without starting the catch-up again.
    const int32_t replay = loop_->replayIndex();
    loop_->PlaceSecondChannel(hz);
    if (replay < 0) loop_->StopReplay();
  }
  spectrum_.SetSecondFrequency(loop_->secondFrequency());
}

void MainCore::PlaceSecondChannel(double hz) {
  SetSecondChannel(hz, true);
}

void MainCore::RunPskAfc() {
  const auto out = chain_->AfcStep(afc_, transmitting_, loop_->secondFrequency());
  if (out.moved) TuneReceive(out.receiveHz);
  if (out.secondMoved) SetSecondChannel(out.secondHz, false);
}

void MainCore::SetNet(bool on) {
  net_ = on;
  if (on) txHz_ = rxHz_;
}

void MainCore::OnOutputDone() {
  // At most one round of the four buffers per call: a device that hands blocks back at once
  // (a file) must not keep the main loop here for ever.
  int index = -1;
  for (int n = 0; n < platform::kAudioBuffers && sound_->TakeOutputDone(index); ++n)
    transmitter_->OnOutputDone(index);
}

void MainCore::OnSerialData() {
  if (!port_) return;
  // The transceiver's replies go to the CAT reply parser once rig control is present; until
  // then they are taken so that the port's ring never fills.
  (void)port_->ReadAll();
}

void MainCore::OnTncSerialData(std::span<const uint8_t> bytes) {
  // Bounded: a TNC that talks while nobody reads cannot fill the memory.
  constexpr size_t kMaxQueued = 65536;
  if (members_->modemType.value != 7) return;
  for (uint8_t b : bytes) {
    if (packetRx_.size() >= kMaxQueued) packetRx_.pop_front();
    packetRx_.push_back(b);
  }
}

void MainCore::OpenTransceiverPort() {
  tx::KeyLineSettings ks;
  ks.dtrMode = members_->dtrMode.value;
  ks.rtsMode = members_->rtsMode.value;
  ks.rigType = init_.rigType;
  ks.icomAddr = init_.icomAddr;
  ks.yaesuModel = init_.yaesu;
  lines_->SetSettings(ks);
  const int n = init_.comPort;
  if (n <= 0 || !config_.openSerialPort) return;
  std::string key = "COM";
  key += std::to_string(n);
  const std::string device = config_.store->ReadSettingText("Ports", key, DefaultPortDevice(n));
  platform::SerialLineSettings ls;
  ls.baud = init_.comSpeed;
  ls.stopBits = init_.rigType >= 3 ? 2 : 0;
  port_ = std::make_unique<platform::SerialPort>();
  port_->SetNotifier([this](int) { host_.Wake(); });
  if (port_->Open(n, device, ls) != platform::kSerialOk) {
    portStatus_ = port_->lastError();
    port_.reset();
    return;
  }
  lines_->SetPort(port_.get());
  lines_->ApplyIdleLines();  // no keying at start-up, whatever the lines did before
}

tx::ModulatorParams MainCore::TransmitParams() const {
  tx::ModulatorParams p;
  p.centreHz = txHz_;
  p.rttyBaud = chain_->rttySingle().symbolRate;
  p.reverse = chain_->inversion();
  p.cwIdUnitSymbols = init_.cwId;
  p.useDe = members_->useDe.value != 0;
  p.myCall = members_->myCall.value;
  p.cwPitchHz = members_->cwPitch.value;
  return p;
}

void MainCore::ToggleTransmit() {
  // Packet and PACTOR have their own channel access: the switch does nothing there.
  if (mode_ == 12 || mode_ == 14) return;
  if (!transmitter_->active()) {
    transmitter_->SetMode(mode_);
    transmitter_->SetParams(TransmitParams());
    transmitter_->SetSoundCardCw(members_->useSb.value != 0);
    transmitter_->SetWrap(init_.wrap);
    transmitter_->SetTxTimeout(init_.txTimeout);
    transmitter_->SetReceptionOn(receiveOn_);
  }
  transmitter_->ToggleTransmit();
}

void MainCore::OnTimer() {
  ++ticks_;
  transmitter_->OnTimerTick();
  // (1) the packet work of the active station; (2) CW, contest, call analysis and clock work.
  msCounter_ += kTickMs;
  if (msCounter_ >= 1000) {
    msCounter_ -= 1000;
    OnceASecond();
  }

  // Receive window output.
  // 1. PSK squelch with hysteresis: closes below 20, opens above 200.
  if ((mode_ == 9 || mode_ == 10) && squelchSwitch_) {
    const int q = pskQuality();
    if (squelchOpen_ && q < 20)
      squelchOpen_ = false;
    else if (!squelchOpen_ && q > 200)
      squelchOpen_ = true;
  }
  // 2. Hints, every eighth tick: a shown hint is hidden, else one may be shown.
  if (ticks_ % 8 == 0) {
    if (hint_ != Hint::None) {
      hint_ = Hint::None;
    } else if (mode_ == 9 && pskQuality() > 200 && pskQpskLikeness() > 200) {
      hint_ = Hint::LooksLikeQpsk;
    } else if (mode_ == 10 && pskQuality() > 200 && pskQpskLikeness() < 20) {
      hint_ = Hint::LooksLikeBpsk;
    }
  }
  // 3. The characters just sent, echoed into the receive window.
  if (view_ != nullptr) {
    uint8_t c = 0;
    while (echo_.Get(c)) {
      view_->AppendChar(c);
      if (c == '\r' || (c == '\n' && prevChar_ != '\r')) view_->LineCompleted();
      prevChar_ = c;
    }
  }
  // 4. Received text.
  DrainReceivedText();
}

void MainCore::OnceASecond() {
  ++seconds_;
}

void MainCore::DrainReceivedText() {
  if (mainQueue_.Empty() || view_ == nullptr || view_->HasFocus()) return;
  const bool squelched = (mode_ == 9 || mode_ == 10) && squelchSwitch_ && !squelchOpen_;
  if (squelched && !keepSquelched_) {
    mainQueue_.Clear();
    return;
  }
  if (squelched) return;  // kept: it waits until the squelch opens
  uint8_t c = 0;
  while (mainQueue_.Get(c)) {
    if (c == 8) {
      view_->DeleteLastChar();
      prevChar_ = c;
      continue;
    }
    if (c > 31) lineBuffer_.push_back(static_cast<char>(c));
    view_->AppendChar(c);
    if (c == '\r' || (c == '\n' && prevChar_ != '\r')) EndLine();
    prevChar_ = c;
  }
}

void MainCore::EndLine() {
  view_->LineCompleted();
  if (!lineBuffer_.empty()) {
    // Completed lines are offered to the DX spot list once it is present.
    lineBuffer_.clear();
  }
}

void MainCore::OnSysCommand(int command) {
  switch (command & 0xFFF0) {
    case kCmdClose:
      (void)RequestClose();
      break;
    case kCmdExportCsv:
    case kCmdExportAdif:
      if (config_.prompt != nullptr && !config_.paths.workDir.empty()) {
        const bool adif = (command & 0xFFF0) == kCmdExportAdif;
        (void)(adif ? log::ExportAdif(config_.paths.workDir, *config_.prompt)
                    : log::ExportCsv(config_.paths.workDir, *config_.prompt));
      }
      break;
    default:
      break;
  }
}

bool MainCore::ApplyLayoutAndLanguage(bool largeScreen, int language) {
  auto& s = *config_.store;
  const bool layoutChanged = (s.ReadSettingInt("Keyboard", "LargeScreen", 0) != 0) != largeScreen;
  const bool languageChanged = s.ReadSettingInt("Misc", "Language", 0) != language;
  if (!layoutChanged && !languageChanged) return false;
  if (layoutChanged) (void)s.WriteSettingInt("Keyboard", "LargeScreen", largeScreen ? 1 : 0);
  if (languageChanged) (void)s.WriteSettingInt("Misc", "Language", language);
  templateNumber_ = largeScreen ? kTemplateLarge : kTemplateNormal;
  sound_->CloseSoundInput();
  host_.EndModalLoop(kResultReload);
  return true;
}

bool MainCore::RequestClose() {
  if (logTextDirty_ && config_.prompt != nullptr) {
    const auto a =
        config_.prompt->Ask("Text is not saved!\r\nSave?", "", platform::PromptButtons::YesNoCancel,
                            platform::PromptIcon::Question);
    if (a == platform::PromptAnswer::Cancel) return false;
    if (a == platform::PromptAnswer::Yes && logSaver_) logSaver_();
  }
  transmitter_->keyer().Stop();
  transmitter_->Abort();
  sound_->CloseSoundInput();
  host_.EndModalLoop(kResultCancel);
  return true;
}

void MainCore::OnDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  members_->afc.value = afc_ ? 1 : 0;
  members_->net.value = net_ ? 1 : 0;
  (void)config_.store->WriteSettingInt("Misc", "AFC", members_->afc.value);
  (void)config_.store->WriteSettingInt("Misc", "NET", members_->net.value);
  members_->normalSpeed.value = transmitter_->keyer().normalDotTicks();
  int widths[8];
  if (host_.LogGridColumnWidths(widths)) {
    auto cols = members_->Columns();
    for (int i = 0; i < 8; ++i) cols[static_cast<size_t>(i)]->value = widths[i];
  }
  if (members_->saveFqOnExit.value != 0) {
    members_->fqOnExit.value = rigHz_;
    members_->modeOnExit.value = mode_;
  }
  if (tickRunning_) {
    host_.StopTickTimer();
    tickRunning_ = false;
  }
  host_.HideWindow();
  (void)position_.SavePosition(*config_.store, host_.WindowPosition(), host_.WindowMinimised());
}

void MainCore::SetMode(int mode) {
  mode_ = mode;
  if (!transmitter_->active()) transmitter_->SetMode(mode);
  loop_->SetMode(mode);
  chain_->SetMode(mode);
  spectrum_.ChangeMode(mode);
  hint_ = Hint::None;
}

void MainCore::TuneAll(double hz) {
  rxHz_ = hz;
  chain_->TuneAll(hz);
}

void MainCore::SetReceiveOn(bool on) {
  receiveOn_ = on;
  transmitter_->SetReceptionOn(on);
  if (transmitting_) return;
  if (!on) {
    sound_->CloseSoundInput();
    sound_->CloseSoundOutput();
  } else if (!sound_->inputOpen()) {
    (void)sound_->OpenSoundInput();
  }
}

engine::RxTextQueue& MainCore::secondQueue() {
  return chain_->secondQueue();
}

int MainCore::pskQuality() const {
  return chain_->ActivePsk().quality;
}
int MainCore::pskQpskLikeness() const {
  return chain_->ActivePsk().qpskLikeness;
}

const char* MainCore::HintText(Hint h) {
  switch (h) {
    case Hint::LooksLikeQpsk:
      return "This signal looks like QPSK";
    case Hint::LooksLikeBpsk:
      return "This signal looks like BPSK";
    default:
      return "";
  }
}

}  // namespace vexa::app
