#include "app/packet_section.h"

#include <cstdio>

#include "app/receive_section.h"
#include "app/transmit_section.h"

namespace vexa::app {

namespace {
packet::Ax25Address ReadCall(const platform::SettingsStore& st, const char* key, const char* def) {
  auto a = packet::ParseCallsign(st.ReadSettingText("AX.25", key, def));
  return a ? *a : packet::Ax25Address{};
}
void ReadList(const platform::SettingsStore& st, const char* key, packet::Ax25AddressList& l) {
  if (packet::ParseCallsignList(st.ReadSettingText("AX.25", key, ""), l) < 0) l.Clear();
}
}  // namespace

void PacketSettings::Load(const platform::SettingsStore& st) {
  auto I = [&](const char* key, int def) { return st.ReadSettingInt("AX.25", key, def); };
  ReadList(st, "IncomingMyCalls", station.incomingCalls);
  ReadList(st, "MyDigis", station.digiCalls);
  station.digipeating = I("EnableDigipeating", 1) != 0;
  station.beaconSource = ReadCall(st, "BeaconSrcCall", "");
  station.beaconDestination = ReadCall(st, "BeaconDestCall", "QST");
  ReadList(st, "BeaconDigis", station.beaconPath);
  station.beaconText = st.ReadSettingText("AX.25", "BeaconText", "beacon");
  station.beaconInterval = I("BeaconInterval", 60);
  station.beaconEnabled = I("EnableBeacon", 0) != 0;
  station.link.maxFrame = I("MaxFrame", 3);
  station.link.pacLen = I("PacLen", 100);
  station.link.retryTime = I("RetryTime", 10);
  station.link.retryLimit = I("RetryLimit", 15);
  station.link.idlePollTime = I("IdlePollTime", 60);
  station.link.redundancyTime = I("RedundancyTime", 300);

  modem.type = I("Modem_type", 0);
  modem.usePsk = I("UsePskOn24004800", 1) != 0;
  modem.customBaud = I("CustomAfskBaudrate", 2400);
  modem.customTone1 = I("CustomAfskTone1", 2000);
  modem.customTone2 = I("CustomAfskTone2", 3600);
  const int best = I("BestDemodModems", 0);
  if (modem.type >= 0 && modem.type < 31 && ((best >> modem.type) & 1))
    modem.demod = packet::DemodChoice::Best;

  send.txDelay = I("TxDelay", 30);
  send.txTail = I("TxTail", 0);
  kiss.txDelay = send.txDelay;
  kiss.txTail = send.txTail;
  kiss.persist = I("Persist", 63);
  kiss.slotTime = I("SlotTime", 1);
  kiss.fullDuplex = I("FullDuplex", 0) != 0;
  monitorMask = I("MonitorMask", 15);

  defaultMyCall = ReadCall(st, "DefaultMyCall", "");
  defaultRemote = ReadCall(st, "DefaultRemoteCall", "");
  ReadList(st, "DefaultDigis", defaultDigis);
  tryAllSsids = I("TryAllSsids", 1) != 0;
}

void FileLinkTrace::Open() {
  Close();
  file_ = std::fopen(path_.c_str(), "w");
}

void FileLinkTrace::Write(std::string_view line) {
  if (!file_) return;
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
}

void FileLinkTrace::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

PacketEngine::PacketEngine(packet::TextSink* main, packet::TextSink* second,
                           packet::LinkTrace* trace)
    : station_(this, nullptr, trace), console_(station_, main, second) {
  channels_.set_listener([this](const packet::Ax25Frame& f, packet::PacketChannels::Source s) {
    if (s != packet::PacketChannels::Source::Modem) return;
    const auto bytes = packet::EncodeFrame(f);
    Heard(bytes);
  });
}

PacketEngine::~PacketEngine() = default;

void PacketEngine::Apply(const PacketSettings& s) {
  settings_ = s;
  station_.Apply(s.station);
  console_.set_monitorMask(s.monitorMask);
  if (rx_ == &channels_) channels_.Configure(s.modem);
  access_.Configure(s.kiss.persist, s.kiss.slotTime);
  kissRx_.Reset();
  kissSeconds_ = 0;
  if (usesTnc()) SendKissParameters();
}

void PacketEngine::SendKissParameters() {
  if (!tnc_) return;
  for (const auto& f : packet::KissParameterFrames(settings_.kiss)) tnc_(f);
}

void PacketEngine::ProcessSamples(std::span<const int16_t> samples) {
  if (auto* m = channels_.modem()) m->ProcessSamples(samples);
}

void PacketEngine::Heard(std::span<const uint8_t> frame) {
  if (heard_) heard_(frame);
  station_.Receive(frame);
}

void PacketEngine::SendFrame(std::span<const uint8_t> bytes) {
  if (usesTnc()) {
    if (tnc_) tnc_(packet::EncodeKiss(packet::KissCommand::Data, bytes));
    return;
  }
  // Frames wait for the channel; nothing is dropped while it stays busy.
  waiting_.emplace_back(bytes.begin(), bytes.end());
}

void PacketEngine::SubmitFrame(std::span<const uint8_t> frame) {
  auto f = packet::DecodeFrame(frame);
  if (!f) return;  // not an AX.25 frame: a modem would send noise the peers drop anyway
  console_.MonitorFrame(*f);
  SendFrame(frame);
}

void PacketEngine::Tick55() {
  // Five channel-access steps of about 11 ms each.
  for (int i = 0; i < 5 && !usesTnc(); ++i) {
    if (!access_.Step(rx_->Busy(), !waiting_.empty())) continue;
    auto samples = packet::SendFrames(settings_.modem, waiting_, settings_.send);
    waiting_.clear();
    if (transmit_ && !samples.empty()) transmit_(std::move(samples));
  }
  console_.Step();
}

void PacketEngine::Second() {
  station_.Tick();
  if (usesTnc() && ++kissSeconds_ >= 60) {
    kissSeconds_ = 0;
    SendKissParameters();
  }
}

PacketSection::PacketSection(StationContext& ctx, ReceiveSection& receive,
                             TransmitSection& transmit)
    : ctx_(ctx),
      receive_(receive),
      transmit_(transmit),
      trace_(ctx.config.paths.WorkFile("trace.log")),
      engine_(&main_, &second_, &trace_) {
  main_.q = &receive_.mainQueue();
  second_.q = &receive_.secondQueue();
  engine_.UseReceiver(&receive_.packetChannels());
  engine_.set_transmit(
      [this](std::vector<int16_t> samples) { transmit_.transmitter().PlaySamples(samples); });
}

PacketSection::~PacketSection() {
  receive_.SetStationFrames(nullptr);
}

void PacketSection::OnModeChange(Mode mode) {
  const bool on = mode == Mode::Ax25Tx;
  if (active_ && !on) engine_.console().Abort();  // leaving mode 13 ends the connection
  active_ = on;
  if (!on) {
    receive_.SetStationFrames(nullptr);
    return;
  }
  PacketSettings s;
  s.Load(ctx_.store());
  engine_.Apply(s);
  receive_.SetStationFrames([this](const packet::Ax25Frame& f) { engine_.OnModemFrame(f); });
}

void PacketSection::OnTick() {
  if (active_) engine_.Tick55();
}

void PacketSection::OnSecond() {
  if (active_) engine_.Second();
}

void PacketSection::OnClosing() {
  if (active_) engine_.console().Abort();
  active_ = false;
  receive_.SetStationFrames(nullptr);
}

void PacketSection::Message(const char* text, const char* title) {
  if (auto* p = ctx_.prompt())
    p->Message(text, title,
               title[0] ? platform::PromptIcon::Warning : platform::PromptIcon::Information);
}

bool PacketSection::ConnectCommand(const std::string& remote, const std::string& myCall,
                                   const std::string& digis, bool tryAllSsids) {
  if (!active_) {
    Message("This works for Packet mode only (AX25TX)", "");
    return false;
  }
  (void)engine_.console().Abort();
  const auto r = packet::ParseCallsign(remote);
  const auto m = packet::ParseCallsign(myCall);
  packet::Ax25AddressList path(packet::kMaxDigis);
  if (!r || !m || packet::ParseCallsignList(digis, path) < 0 ||
      !engine_.console().Connect(*m, *r, path, tryAllSsids)) {
    Message("Cannot connect!", "Error");
    return false;
  }
  return true;
}

}  // namespace vexa::app
