#include "app/ax25_setup.h"

#include <cstdlib>
#include <cstring>

#include "app/tnc_terminal_section.h"
#include "packet/ax25_address.h"
#include "packet/packet_modem.h"

namespace vexa::app {

namespace {

std::vector<Ax25Choice> ModemChoices() {
  std::vector<Ax25Choice> c;
  for (const auto& row : packet::kPacketModems) c.push_back({row.name, row.type});
  return c;
}

std::vector<Ax25Choice> PortChoices() {
  std::vector<Ax25Choice> c{{"None", 0}};
  for (int n = 1; n <= 9; ++n) c.push_back({"COM" + std::to_string(n), n});
  return c;
}

// The rows leave the trailing members at their defaults on purpose.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
std::vector<Ax25Field> MakeFields() {
  using K = Ax25Kind;
  const Ax25Page G = Ax25Page::General, B = Ax25Page::BeaconMonitor, P = Ax25Page::Parameters,
                 T = Ax25Page::Tnc;
  return {
      {G, "Incoming &MyCalls", "IncomingMyCalls", K::Calls},
      {G, "&Always accept incoming connections", "AlwaysAcceptIncoming", K::Check},
      {G, "My &Digi's calls", "MyDigis", K::Calls},
      {G, "&Enable digipeating", "EnableDigipeating", K::Check},
      {G, "Modulator/demodulator &type:", "Modem_type", K::Choice, 0, 7, 0, ModemChoices()},
      {G, "&Use PSK on 2400/4800 baud", "UsePskOn24004800", K::Check},
      {B, "S&ource Call", "BeaconSrcCall", K::Call},
      {B, "&Dest Call", "BeaconDestCall", K::Call},
      {B, "Di&gis", "BeaconDigis", K::Calls},
      {B, "Beacon &Text", "BeaconText", K::Text, 0, 254},
      {B, "Inter&val, s", "BeaconInterval", K::Int, 1, 86400},
      {B, "&Enable Beacon", "EnableBeacon", K::Check},
      {B, "&I frames", "MonitorMask", K::MaskBit, 0, 0, 1},
      {B, "&UI frames", "MonitorMask", K::MaskBit, 0, 0, 2},
      {B, "&SABM,DISC,UA,DM,FRMR", "MonitorMask", K::MaskBit, 0, 0, 4},
      {B, "&RR,RNR,REJ", "MonitorMask", K::MaskBit, 0, 0, 8},
      {P, "Max&Frame", "MaxFrame", K::Int, 1, 7},
      {P, "Pac&Len", "PacLen", K::Int, 1, 255},
      {P, "Tx&Delay, ms", "TxDelay", K::Ms10, 0, 2550},
      {P, "Tx&Tail, ms", "TxTail", K::Ms10, 0, 2550},
      {P, "&SlotTime, ms", "SlotTime", K::Ms10, 0, 2550},
      {P, "&Persist", "Persist", K::Int, 0, 255},
      {P, "Enable full duple&x", "FullDuplex", K::Check},
      {P, "&Retry time, s", "RetryTime", K::Int, 1, 60},
      {P, "Retry li&mit", "RetryLimit", K::Int, 1, 10000},
      {P, "Resp dela&y, ms", "ResponceDelay", K::Int, 0, 10000},
      {P, "Idle p&oll time, s", "IdlePollTime", K::Int, 0, 3600},
      {P, "R&ed. time, s", "RedundancyTime", K::Int, 60, 36000},
      {T, "&Com port", "TncCom", K::Choice, 0, 9, 0, PortChoices()},
      {T, "&Network TNC (host:port)", "TncHost", K::HostPort, 1, 65535},
      {T,
       "&Speed",
       "TncSpeed",
       K::Speed,
       0,
       4,
       0,
       {{"1200", 0}, {"2400", 1}, {"4800", 2}, {"9600", 3}, {"19200", 4}}},
      {T, "Data bits", "TncData8bits", K::Choice, 0, 1, 0, {{"7", 0}, {"8", 1}}},
      {T, "Stop bits", "TncStopBits", K::Choice, 0, 1, 0, {{"1", 0}, {"2", 1}}},
      {T, "&DTR", "TncDtr", K::Check},
      {T, "&RTS", "TncRts", K::Check},
      {T, "KISS ON cmd:", "KissEnableCommand", K::Text, 0, 255},
      {T, "KISS OFF cmd:", "KissDisableCommand", K::Text, 0, 255},
      {T, "&Baudrate", "CustomAfskBaudrate", K::Int, 50, 4800},
      {T, "Tone&1, Hz", "CustomAfskTone1", K::Int, 100, 5000},
      {T, "Tone&2, Hz", "CustomAfskTone2", K::Int, 100, 5000},
  };
}
#pragma GCC diagnostic pop

CProfileSetting* Member(MemberSettings& m, const char* key) {
  for (CProfileSetting* s : m.All())
    if (s->section() == "AX.25" && s->key() == key) return s;
  return nullptr;
}

// A whole decimal number (optional sign), or false.
bool ParseInt(const std::string& text, long& out) {
  if (text.empty() || text.size() > 10) return false;
  char* end = nullptr;
  out = std::strtol(text.c_str(), &end, 10);
  return end != nullptr && *end == '\0';
}

std::string Label(const Ax25Field& f) {
  std::string label;
  for (const char* p = f.label; *p; ++p)
    if (*p != '&') label += *p;
  return label;
}

// In the words of the standard dialog validation.
std::string RangeMessage(const Ax25Field& f) {
  return Label(f) + ": please enter an integer between " + std::to_string(f.min) + " and " +
         std::to_string(f.max) + ".";
}

// Without the blanks around it.
std::string Trimmed(const std::string& text) {
  const size_t b = text.find_first_not_of(" \t"), e = text.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : text.substr(b, e - b + 1);
}

// HOST:PORT: a host without blanks, the port a whole number within [f.min, f.max].
bool ValidHostPort(const Ax25Field& f, const std::string& text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  const std::string host = text.substr(0, colon), port = text.substr(colon + 1);
  if (host.find_first_of(" \t") != std::string::npos) return false;
  if (port.empty() || port.find_first_not_of("0123456789") != std::string::npos) return false;
  long n = 0;
  return ParseInt(port, n) && n >= f.min && n <= f.max;
}

}  // namespace

const char* Ax25PageTitle(Ax25Page page) {
  switch (page) {
    case Ax25Page::General:
      return "General";
    case Ax25Page::BeaconMonitor:
      return "Beacon/Monitor";
    case Ax25Page::Parameters:
      return "Parameters";
    case Ax25Page::Tnc:
      return "TNC & Custom AFSK";
  }
  return "";
}

const std::vector<Ax25Field>& Ax25Fields() {
  static const std::vector<Ax25Field> fields = MakeFields();
  return fields;
}

int FindAx25Field(const char* key, int bit) {
  const auto& f = Ax25Fields();
  for (size_t i = 0; i < f.size(); ++i)
    if (std::strcmp(f[i].key, key) == 0 && f[i].bit == bit) return static_cast<int>(i);
  return -1;
}

int Ax25SpeedIndex(int speed) {
  return TncTerminalSettings::SpeedIndex(speed);
}

std::vector<std::string> ReadAx25Setup(MemberSettings& members) {
  std::vector<std::string> out;
  for (const Ax25Field& f : Ax25Fields()) {
    CProfileSetting* s = Member(members, f.key);
    const std::string text = s ? s->Text() : "";
    const int n = std::atoi(text.c_str());
    switch (f.kind) {
      case Ax25Kind::Ms10:
        out.push_back(std::to_string(n * 10));
        break;
      case Ax25Kind::Speed:
        out.push_back(std::to_string(Ax25SpeedIndex(n)));
        break;
      case Ax25Kind::MaskBit:
        out.push_back((n & f.bit) != 0 ? "1" : "0");
        break;
      case Ax25Kind::Check:
        out.push_back(n != 0 ? "1" : "0");
        break;
      default:
        out.push_back(text);
        break;
    }
  }
  return out;
}

std::string StoreAx25Setup(const std::vector<std::string>& values, MemberSettings& members,
                           bool store) {
  const auto& fields = Ax25Fields();
  if (values.size() != fields.size()) return "The AX.25 settings are incomplete.";
  // First every value is checked and converted; nothing changes while one is refused.
  std::vector<std::pair<CProfileSetting*, std::string>> stores;
  int mask = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    const Ax25Field& f = fields[i];
    const std::string& v = values[i];
    CProfileSetting* s = Member(members, f.key);
    if (!s) return "No setting for " + Label(f) + ".";
    long n = 0;
    switch (f.kind) {
      case Ax25Kind::Calls: {
        auto* callList = dynamic_cast<CProfileCallList*>(s);
        packet::Ax25AddressList list(callList ? callList->value.capacity() : packet::kMaxDigis);
        if (packet::ParseCallsignList(v, list) < 0)
          return Label(f) + ": not a list of callsigns: \"" + v + "\".";
        stores.emplace_back(s, v);
        break;
      }
      case Ax25Kind::Call:
        if (!v.empty() && !packet::ParseCallsign(v))
          return Label(f) + ": not a callsign: \"" + v + "\".";
        stores.emplace_back(s, v);
        break;
      case Ax25Kind::Text:
        if (static_cast<int>(v.size()) > f.max)
          return Label(f) + ": at most " + std::to_string(f.max) + " characters.";
        stores.emplace_back(s, v);
        break;
      case Ax25Kind::HostPort: {
        const std::string address = Trimmed(v);
        if (!address.empty() && !ValidHostPort(f, address))
          return Label(f) + ": please enter HOST:PORT with a port between " +
                 std::to_string(f.min) + " and " + std::to_string(f.max) +
                 ", or leave it empty for the serial TNC port.";
        stores.emplace_back(s, address);
        break;
      }
      case Ax25Kind::Int:
      case Ax25Kind::Ms10:
        if (!ParseInt(v, n) || n < f.min || n > f.max) return RangeMessage(f);
        stores.emplace_back(s, std::to_string(f.kind == Ax25Kind::Ms10 ? n / 10 : n));
        break;
      case Ax25Kind::Check:
      case Ax25Kind::MaskBit:
        if (v != "0" && v != "1") return Label(f) + ": 0 or 1.";
        if (f.kind == Ax25Kind::Check)
          stores.emplace_back(s, v);
        else if (v == "1")
          mask |= f.bit;
        break;
      case Ax25Kind::Choice:
      case Ax25Kind::Speed: {
        bool known = false;
        if (ParseInt(v, n))
          for (const auto& c : f.choices) known = known || c.value == n;
        if (!known) return Label(f) + ": not one of the list.";
        stores.emplace_back(s, f.kind == Ax25Kind::Speed
                                   ? std::to_string(TncTerminalSettings::SpeedForIndex(int(n)))
                                   : std::to_string(n));
        break;
      }
    }
  }
  if (!store) return "";
  CProfileSetting* maskSetting = Member(members, "MonitorMask");
  // Bits above the four check boxes are kept as they were.
  const int old = maskSetting ? std::atoi(maskSetting->Text().c_str()) : 0;
  for (auto& [s, v] : stores)
    if (!s->SetText(v)) return "The value of " + s->key() + " was refused.";
  if (maskSetting) (void)maskSetting->SetText(std::to_string((old & ~15) | mask));
  return "";
}

}  // namespace vexa::app
