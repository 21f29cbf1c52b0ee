#include "app/packet_section.h"

#include <cstdio>

#include "app/ax25_setup.h"
#include "app/receive_section.h"
#include "app/settings_table.h"
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

void TncPortSettings::Load(const platform::SettingsStore& st) {
  auto I = [&](const char* key, int def) { return st.ReadSettingInt("AX.25", key, def); };
  com = I("TncCom", 0);
  speed = I("TncSpeed", 9600);
  data8 = I("TncData8bits", 1) != 0;
  stopBits = I("TncStopBits", 0);
  dtr = I("TncDtr", 0) != 0;
  rts = I("TncRts", 0) != 0;
  enableCommand = st.ReadSettingText("AX.25", "KissEnableCommand", "KISS ON\\nRESTART\\n");
  exitCommand = st.ReadSettingText("AX.25", "KissDisableCommand", "^C^C^C");
  host = st.ReadSettingText("AX.25", "TncHost", "");
  const size_t b = host.find_first_not_of(' '), e = host.find_last_not_of(' ');
  host = b == std::string::npos ? std::string() : host.substr(b, e - b + 1);
}

platform::SerialLineSettings TncPortSettings::Line() const {
  platform::SerialLineSettings ls;
  ls.baud = speed;
  ls.byteSize = data8 ? 8 : 7;
  ls.parity = 0;
  ls.stopBits = stopBits != 0 ? 2 : 0;
  ls.dsrDtrFlow = dtr;
  ls.ctsRtsFlow = rts;
  return ls;
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
  engine_.set_tnc([this](std::span<const uint8_t> bytes) { WriteTnc(bytes); });
}

PacketSection::~PacketSection() {
  receive_.SetStationFrames(nullptr);
  if (tncPort_) (void)tncPort_->Close();  // no waits while the window goes
}

void PacketSection::OnModeChange(Mode mode) {
  const bool on = mode == Mode::Ax25Tx;
  if (active_ && !on) engine_.console().Abort();  // leaving mode 13 ends the connection
  active_ = on;
  SelectModem();
}

void PacketSection::SelectModem() {
  CloseTnc();
  if (!active_) {
    receive_.SetStationFrames(nullptr);
    return;
  }
  PacketSettings s;
  s.Load(ctx_.store());
  tncStatus_.clear();
  if (s.modem.type == 7) {
    TncPortSettings t;
    t.Load(ctx_.store());
    // With no port number there is no packet input; the station runs without a modem.
    if (t.com != 0 || !t.host.empty()) (void)OpenTnc();
  }
  engine_.Apply(s);
  receive_.SetStationFrames([this](const packet::Ax25Frame& f) { engine_.OnModemFrame(f); });
}

bool PacketSection::OpenTnc() {
  CloseTnc();
  TncPortSettings t;
  t.Load(ctx_.store());
  if (!t.host.empty()) return OpenNetworkTnc(t.host);
  if (t.com <= 0 || !ctx_.config.openSerialPort) return false;
  const std::string device = ctx_.store().ReadSettingText("Ports", "COM" + std::to_string(t.com),
                                                          DefaultPortDevice(t.com));
  auto port = std::make_unique<platform::SerialPort>();
  if (port->Open(t.com, device, t.Line()) != platform::kSerialOk) {
    tncStatus_ = port->lastError();
    Message("Cannot open TNC port!", "Error");
    return false;
  }
  port->SetNotifier([this](int) { ctx_.host.Wake(); });
  port->SetRts(true);
  tncPort_ = std::move(port);
  // Bytes of the TNC's earlier life are no packets of this session.
  (void)tncPort_->ReadAll();
  WriteTncText(packet::ExpandTncCommand(t.enableCommand));
  ctx_.Sleep(1000);
  return true;
}

bool PacketSection::OpenNetworkTnc(const std::string& hostPort) {
  const size_t colon = hostPort.rfind(':');
  int port = 0;
  if (colon != std::string::npos && colon > 0 && colon + 1 < hostPort.size() &&
      hostPort.find_first_not_of("0123456789", colon + 1) == std::string::npos &&
      hostPort.size() - colon <= 6)
    port = std::stoi(hostPort.substr(colon + 1));
  if (port < 1 || port > 65535) {
    tncStatus_ = "The network TNC \"" + hostPort + "\" is not HOST:PORT.";
    Message("Cannot open TNC port!", "Error");
    return false;
  }
  auto net = std::make_unique<platform::TcpClient>();
  if (!net->Connect(hostPort.substr(0, colon), port)) {
    tncStatus_ = "The network TNC " + hostPort + " is not reachable: " + net->error();
    Message("Cannot open TNC port!", "Error");
    return false;
  }
  tncAddress_ = hostPort;
  tncNet_ = std::move(net);
  return true;
}

void PacketSection::PollNetworkTnc() {
  if (!tncNet_) return;
  if (tncNet_->Poll() == platform::TcpClient::State::Open) {
    for (std::string bytes = tncNet_->Receive(65536); !bytes.empty();
         bytes = tncNet_->Receive(65536)) {
      if (active_ && engine_.usesTnc())
        engine_.OnTncBytes(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    }
  }
  if (tncNet_->state() == platform::TcpClient::State::Closed) {
    // Gone (refused, or closed by the far end): the link's frames wait in the link and go out
    // once the TNC is reached again (the AX.25 settings confirmed or the mode selected again).
    tncStatus_ = "The network TNC " + tncAddress_ + " is not reachable: " + tncNet_->error();
    tncNet_.reset();
    ctx_.bus.Notice(tncStatus_);
  }
}

void PacketSection::CloseTnc() {
  tncNet_.reset();
  if (!tncPort_) return;
  if (tncPort_->IsOpen() && !tncPort_->vanished()) {
    TncPortSettings t;
    t.Load(ctx_.store());
    ctx_.Sleep(500);
    WriteTncText(packet::ExpandTncCommand(t.exitCommand));
    ctx_.Sleep(1000);
  }
  tncPort_->SetNotifier(nullptr);
  (void)tncPort_->Close();
  tncPort_.reset();
}

void PacketSection::WriteTncText(const std::string& text) {
  WriteTnc(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void PacketSection::WriteTnc(std::span<const uint8_t> bytes) {
  if (tncNet_) {
    (void)tncNet_->Send(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return;
  }
  if (tncPort_ != nullptr && tncPort_->IsOpen() && !tncPort_->vanished())
    (void)tncPort_->WriteBytes(bytes);
}

void PacketSection::OnWake() {
  if (!tncPort_) return;
  const std::string bytes = tncPort_->ReadAll();
  if (!bytes.empty() && active_ && engine_.usesTnc())
    engine_.OnTncBytes(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  if (tncPort_->vanished()) {
    // Unplugged: the link's frames wait in the link and go out again once the port is back
    // (the AX.25 settings confirmed or the mode selected again).
    tncStatus_ = "The TNC port " + tncPort_->device() + " went away (unplugged?).";
    CloseTnc();
    ctx_.bus.Notice(tncStatus_);
  }
}

void PacketSection::TakeTypedText() {
  // Text waits in the transmit window until the link stands and has room, one line (or one
  // line buffer's worth) at a time; what the window shows is what has not gone yet.
  auto& console = engine_.console();
  packet::Ax25Link* l = console.current();
  if (!l || console.typedWaiting() > 0 || !l->HasRoom()) return;
  if (l->state() != packet::Ax25Link::kConnected && l->state() != packet::Ax25Link::kTimerRecovery)
    return;
  tx::TransmitText& text = transmit_.transmitText();
  std::string line;
  while (line.size() < packet::PacketConsole::kLineLimit && (line.empty() || line.back() != '\r')) {
    std::string piece;
    if (text.SimpleKeyboardVisible()) {
      uint8_t c;
      if (!text.PopPending(c)) break;
      piece.assign(1, static_cast<char>(c));
    } else {
      if (text.CaretPosition() == 0) break;
      piece = text.TakeFirst();
    }
    for (char ch : piece) {
      const auto c = static_cast<uint8_t>(ch);
      // The transmitter's control characters mean nothing to a connection.
      if (c == tx::kTxEnd || c == tx::kTxCwId || c == tx::kTxSk) continue;
      if (c == '\n') {
        // The window ends its lines with CR LF, the link with CR alone.
        const char before = line.empty() ? lastTyped_ : line.back();
        lastTyped_ = '\n';
        if (before == '\r') continue;
        ch = '\r';
      }
      line += ch;
      lastTyped_ = ch;
    }
  }
  if (!line.empty()) console.Type(line);
}

void PacketSection::OnTick() {
  PollNetworkTnc();
  if (!active_) return;
  // The console reports a new connection before it takes the first typed line.
  engine_.Tick55();
  TakeTypedText();
}

void PacketSection::OnSecond() {
  if (active_) engine_.Second();
}

void PacketSection::OnClosing() {
  if (active_) engine_.console().Abort();
  active_ = false;
  CloseTnc();
  receive_.SetStationFrames(nullptr);
}

void PacketSection::Message(const char* text, const char* title) {
  if (auto* p = ctx_.prompt())
    p->Message(text, title,
               title[0] ? platform::PromptIcon::Warning : platform::PromptIcon::Information);
}

bool PacketSection::BeginConnect() {
  if (!active_) {
    Message("This works for Packet mode only (AX25TX)", "");
    return false;
  }
  (void)engine_.console().Abort();
  return true;
}

bool PacketSection::ConnectCommand(const std::string& remote, const std::string& myCall,
                                   const std::string& digis, bool tryAllSsids) {
  return BeginConnect() && Connect(remote, myCall, digis, tryAllSsids);
}

bool PacketSection::ConnectFromDialog(const std::string& remote, const std::string& myCall,
                                      const std::string& digis, bool tryAllSsids) {
  MemberSettings& m = ctx_.members;
  // An entry that is no callsign (list) keeps the stored value; the connect refuses it below.
  (void)m.defaultRemoteCall.SetText(remote);
  (void)m.defaultMyCall.SetText(myCall);
  (void)m.defaultDigis.SetText(digis);
  m.tryAllSsids.value = tryAllSsids ? 1 : 0;
  for (CProfileSetting* s : std::initializer_list<CProfileSetting*>{
           &m.defaultRemoteCall, &m.defaultMyCall, &m.defaultDigis, &m.tryAllSsids})
    (void)s->Save();
  return Connect(remote, myCall, digis, tryAllSsids);
}

bool PacketSection::Connect(const std::string& remote, const std::string& myCall,
                            const std::string& digis, bool tryAllSsids) {
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

void PacketSection::SaveAx25Members() {
  // The members are the values in effect; the file gets them now so that the station, which
  // reads the file, runs with them (and they are written again when the window goes).
  for (CProfileSetting* s : ctx_.members.All())
    if (s->section() == "AX.25" && s->Save() != 0)
      ctx_.bus.Notice("The AX.25 settings could not be written: " + ctx_.store().lastError());
}

std::string PacketSection::ApplyAx25Setup(const std::vector<std::string>& values) {
  std::string error = StoreAx25Setup(values, ctx_.members, /*store=*/false);
  if (!error.empty()) return error;
  CloseTnc();
  error = StoreAx25Setup(values, ctx_.members);
  SaveAx25Members();
  SelectModem();
  return error;
}

}  // namespace vexa::app
