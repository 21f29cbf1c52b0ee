#include "app/rig_section.h"

#include <algorithm>

#include "app/settings_table.h"

namespace vexa::app {

void RigSettings::Load(const platform::SettingsStore& s) {
  auto num = [&](const char* sec, const char* key) { return ReadIntSetting(s, sec, key); };
  cat.type = num("TX1", "Type");
  cat.icomAddr = num("TX1", "IcomAddr");
  cat.yaesuModel = num("TX1", "Yaesu");
  cat.tenTec = num("TX1", "TenTec");
  cat.digiSide = num("TX1", "DigiSide");
  cat.digiCommand = num("TX1", "DigiCommand");
  corrections.data = num("TX1", "FqCorrection");
  corrections.cw = num("TX1", "FqCorrCW");
  corrections.usb = num("TX1", "FqCorrUSB");
  corrections.lsb = num("TX1", "FqCorrLSB");
  cwBySoundCard = num("CW", "UseSB") != 0;
  comPort = num("TX1", "ComPort");
  netHost = s.ReadSettingText("TX1", "NetRigHost", "127.0.0.1");
  netPort = num("TX1", "NetRigPort");
}

void RigSection::OnInitStep(int step) {
  switch (step) {
    case 11:
      settings_.Load(ctx_.store());
      // The transmitter's PTT goes to the network rig as well.
      if (Networked())
        ctx_.networkPtt = [this](bool on) { NetPtt(on); };
      else
        ctx_.networkPtt = nullptr;
      break;
    case 12:
      // The transmit section has opened the port at this step: ask where the rig is.
      if (Networked() && ctx_.config.openSerialPort) NetConnect();
      RequestStatus();
      portWasOpen_ = PortOpen();
      break;
    default:
      break;
  }
}

void RigSection::OnSetupApplied() {
  settings_.Load(ctx_.store());
  ctx_.networkPtt =
      Networked() ? std::function<void(bool)>([this](bool on) { NetPtt(on); }) : nullptr;
  // The transmit section has opened the port again with the new values; a rig server is
  // reached afresh, since its address may have changed.
  net_.Close();
  expect_.clear();
  netIn_.clear();
  reply_.clear();
  if (Networked() && ctx_.config.openSerialPort) NetConnect();
  // This model listens only after five zero bytes.
  if (settings_.cat.family() == tx::CatFamily::Yaesu && settings_.cat.yaesuModel == 5 &&
      PortOpen()) {
    const std::vector<uint8_t> zeros(5, 0x00);
    (void)ctx_.transceiver->WriteBytes(zeros);
    ctx_.Sleep(250);
  }
  RequestStatus();
  portWasOpen_ = PortOpen();
}

void RigSection::OnModeChange(Mode mode) {
  mode_ = mode;
  if (followingRig_) return;
  const int code = RigModeOf(mode, settings_.cwBySoundCard);
  if (code != kNoRigMode) SetRigMode(code);
}

tx::DialContext RigSection::Context() const {
  tx::DialContext c;
  c.mode = mode_;
  c.cwBySoundCard = settings_.cwBySoundCard;
  c.audioHz = audioHz_;
  c.digiSide = settings_.cat.digiSide;
  c.corrections = settings_.corrections;
  return c;
}

int64_t RigSection::operatingHz() const {
  return tx::OperatingFrequency(Context(), dialHz_);
}

void RigSection::Send(const tx::CatCommands& commands) {
  if (!PortOpen()) return;
  for (const tx::CatCommand& c : commands) {
    // A write error is not fatal: the next poll or command tries again.
    (void)ctx_.transceiver->WriteBytes(c.bytes);
    if (sent_.size() >= 64) sent_.erase(sent_.begin());
    sent_.push_back(c.bytes);
    ++sentTotal_;
    const int wait = tx::CommandWaitMs(c, ctx_.transceiver->Speed());
    if (wait > 0) ctx_.Sleep(wait);
  }
}

void RigSection::DialKnown(int64_t hz) {
  dialHz_ = hz;
  ctx_.bus.RigFrequencyChanged(hz);
}

void RigSection::SetOperatingFrequency(int64_t operatingHz) {
  SetDial(tx::DialForOperating(Context(), operatingHz));
}

void RigSection::SetDial(int64_t dial) {
  if (dial <= 0) return;
  dialHz_ = dial;
  if (Networked()) {
    if (PortOpen()) NetSend(tx::RigctlSetFrequency(dial), Expect::Result);
  } else if (PortOpen()) {
    Send(tx::EncodeSetFrequency(settings_.cat, dial));
  }
  ctx_.bus.RigFrequencyChanged(dial);
}

bool RigSection::AskOperatingFrequency() {
  platform::Prompt* prompt = ctx_.prompt();
  if (prompt == nullptr) return false;
  std::string text = OperatingText();
  if (!prompt->AskText("Operating frequency (MHz.kHz.Hz)", "Transceiver", text)) return false;
  const std::optional<int64_t> hz = tx::ParseFrequency(text);
  if (!hz) {
    prompt->Message("Not a frequency: " + text, "Transceiver", platform::PromptIcon::Warning);
    return false;
  }
  SetOperatingFrequency(*hz);
  return true;
}

void RigSection::SetRigMode(int rigMode) {
  rigMode_ = rigMode;
  if (Networked()) {
    const std::string line = tx::RigctlSetMode(settings_.cat, rigMode);
    if (!line.empty() && PortOpen()) NetSend(line, Expect::Result);
    return;
  }
  Send(tx::EncodeSetMode(settings_.cat, rigMode));
}

void RigSection::RequestStatus() {
  ticksSincePoll_ = 0;
  if (Networked()) {
    if (!PortOpen()) return;
    NetSend(tx::kRigctlGetFrequency, Expect::Frequency);
    if (polls_++ % 4 == 0) NetSend(tx::kRigctlGetMode, Expect::Mode);
    return;
  }
  Send(tx::EncodeRequestStatus(settings_.cat));
}

// ---- The network rig ----

void RigSection::NetConnect() {
  expect_.clear();
  netIn_.clear();
  modeLineDue_ = false;
  ticksWaiting_ = 0;
  if (!net_.Connect(settings_.netHost, settings_.netPort)) ticksToReconnect_ = kReconnectTicks;
}

void RigSection::NetSend(const std::string& line, Expect reply) {
  if (expect_.empty()) ticksWaiting_ = 0;
  if (!net_.Send(line)) {
    ticksToReconnect_ = kReconnectTicks;
    return;
  }
  expect_.push_back(reply);
  if (sent_.size() >= 64) sent_.erase(sent_.begin());
  sent_.emplace_back(line.begin(), line.end());
  ++sentTotal_;
}

void RigSection::NetPtt(bool on) {
  if (std::this_thread::get_id() != mainThread_) {
    // The keyer's thread: the main loop sends it (the socket belongs to the main thread).
    pendingPtt_ = on ? 1 : 0;
    ctx_.host.Wake();
    return;
  }
  pendingPtt_ = -1;
  if (PortOpen()) NetSend(tx::RigctlSetPtt(on), Expect::Result);
}

void RigSection::NetLine(std::string_view line) {
  if (modeLineDue_) {  // the passband after a mode
    modeLineDue_ = false;
    return;
  }
  if (expect_.empty()) return;  // nothing asked: ignore
  const Expect e = expect_.front();
  expect_.erase(expect_.begin());
  ticksWaiting_ = 0;
  if (tx::ParseRigctlResult(line)) {
    ++replies_;
    ticksSinceReply_ = 0;
    return;  // the answer to a set command, or an error in place of a value
  }
  if (e == Expect::Frequency) {
    if (auto f = tx::ParseRigctlFrequency(line)) {
      ++replies_;
      ticksSinceReply_ = 0;
      if (*f != dialHz_) DialKnown(*f);
    }
  } else if (e == Expect::Mode) {
    modeLineDue_ = true;
    if (auto m = tx::RigctlModeFor(line, mode_)) {
      followingRig_ = true;
      ctx_.bus.ModeRequested(*m);
      followingRig_ = false;
    }
  }
}

void RigSection::NetTick() {
  if (!ctx_.config.openSerialPort) return;
  if (net_.state() == platform::TcpClient::State::Closed) {
    if (--ticksToReconnect_ <= 0) {
      NetConnect();
      if (net_.state() != platform::TcpClient::State::Closed) ticksToReconnect_ = kReconnectTicks;
    }
    return;
  }
  if (net_.Poll() != platform::TcpClient::State::Open) return;
  const int ptt = pendingPtt_.exchange(-1);
  if (ptt >= 0) NetSend(tx::RigctlSetPtt(ptt == 1), Expect::Result);
  std::string in = net_.Receive();
  if (net_.state() == platform::TcpClient::State::Closed) ticksToReconnect_ = kReconnectTicks;
  netIn_ += in;
  if (netIn_.size() > kMaxReply * 8) netIn_.clear();  // no line end in sight
  for (size_t nl; (nl = netIn_.find('\n')) != std::string::npos;) {
    NetLine(std::string_view(netIn_).substr(0, nl));
    netIn_.erase(0, nl + 1);
  }
  if (!expect_.empty()) {
    if (++ticksWaiting_ >= kNetTimeoutTicks) {
      // The server stopped answering: start again.
      net_.Close();
      expect_.clear();
      ticksToReconnect_ = 1;
    }
    return;
  }
  if (++ticksSincePoll_ >= kNetPollTicks) RequestStatus();
}

void RigSection::SelectVfo(int subCommand) {
  Send(tx::EncodeSelectVfo(settings_.cat, subCommand));
}

void RigSection::OnTransceiverBytes(std::span<const uint8_t> bytes) {
  const tx::CatFamily family = settings_.cat.family();
  if (family == tx::CatFamily::IcomFixed || family == tx::CatFamily::IcomAddressed) {
    std::vector<std::vector<uint8_t>> frames;
    framer_.Feed(bytes, frames);
    for (const auto& f : frames) {
      const tx::CatReport r = tx::DecodeIcomFrame(settings_.cat, f, mode_);
      if (r.dialHz) {
        ++replies_;
        ticksSinceReply_ = 0;
        DialKnown(*r.dialHz);
      }
      if (r.mode) {
        ++replies_;
        ticksSinceReply_ = 0;
        followingRig_ = true;
        ctx_.bus.ModeRequested(*r.mode);
        followingRig_ = false;
      }
      if (!r.monitorText.empty()) ctx_.bus.PortMonitorText(r.monitorText);
    }
    return;
  }
  if (!tx::FamilyRow(settings_.cat.type).polledOnTick) return;
  // A rig that talks without end must not grow the buffer: keep the newest bytes.
  reply_.insert(reply_.end(), bytes.begin(), bytes.end());
  if (reply_.size() > kMaxReply)
    reply_.erase(reply_.begin(), reply_.end() - static_cast<ptrdiff_t>(kMaxReply));
}

bool RigSection::ReplyComplete() const {
  if (settings_.cat.family() == tx::CatFamily::Kenwood)
    return std::find(reply_.begin(), reply_.end(), ';') != reply_.end();
  const size_t need = tx::YaesuReplyLength(settings_.cat.yaesuModel);
  return need > 0 && reply_.size() >= need;
}

void RigSection::DecodePolledReply() {
  std::optional<int64_t> dial;
  if (settings_.cat.family() == tx::CatFamily::Yaesu) {
    dial = tx::DecodeYaesuReply(settings_.cat.yaesuModel, reply_);
  } else if (settings_.cat.family() == tx::CatFamily::Kenwood) {
    // The answer to "IF;" among whatever else the rig said, up to its ';'.
    static constexpr uint8_t kIf[] = {'I', 'F'};
    auto at = std::search(reply_.begin(), reply_.end(), std::begin(kIf), std::end(kIf));
    if (at != reply_.end()) {
      auto end = std::find(at, reply_.end(), ';');
      if (end != reply_.end())
        dial = tx::DecodeKenwoodReply(std::span<const uint8_t>(&*at, end - at + 1));
    }
  }
  reply_.clear();
  if (dial) {
    ++replies_;
    ticksSinceReply_ = 0;
    DialKnown(*dial);
  }
}

void RigSection::OnTick() {
  if (ticksSinceReply_ < 1000000) ++ticksSinceReply_;
  if (Networked()) {
    NetTick();
    return;
  }
  // A port that came back (a USB adapter plugged in again): ask where the rig is now.
  const bool open = PortOpen();
  if (open && !portWasOpen_) {
    portWasOpen_ = true;
    reply_.clear();
    framer_ = tx::IcomFramer();
    RequestStatus();
    return;
  }
  portWasOpen_ = open;
  if (!tx::FamilyRow(settings_.cat.type).polledOnTick || !open) return;
  ++ticksSincePoll_;
  if (!reply_.empty() && ReplyComplete()) {
    DecodePolledReply();
    RequestStatus();
  } else if (ticksSincePoll_ >= kRepollTicks) {
    // No (whole) answer: drop what came and ask again; a rig switched on later is found so.
    reply_.clear();
    RequestStatus();
  }
}

std::string RigSection::StatusText() const {
  const tx::CatFamilyRow& row = tx::FamilyRow(settings_.cat.type);
  if (row.family == tx::CatFamily::None) return "No CAT";
  std::string s = row.name;
  if (Networked() && !PortOpen()) {
    const std::string where = settings_.netHost + ":" + std::to_string(settings_.netPort);
    if (net_.state() == platform::TcpClient::State::Connecting)
      return s + ": connecting to " + where;
    return s + ": " + (net_.error().empty() ? "not connected to " + where : net_.error());
  }
  if (!PortOpen()) return s + ": port not open";
  if (row.family == tx::CatFamily::TenTec) return s;  // it never answers
  return s + (answering() ? "" : ": no reply");
}

}  // namespace vexa::app
