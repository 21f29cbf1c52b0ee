#include "tx/cat.h"

#include <cmath>
#include <cstdio>

namespace vexa::tx {
namespace {

uint8_t Byte(int v) {
  return static_cast<uint8_t>(v & 0xFF);
}

// The digits of a non-negative value as packed BCD, two digits a byte, least significant first.
std::vector<uint8_t> BcdLsbFirst(int64_t value, int bytes) {
  std::vector<uint8_t> out;
  for (int i = 0; i < bytes; ++i) {
    const int lo = static_cast<int>(value % 10);
    value /= 10;
    const int hi = static_cast<int>(value % 10);
    value /= 10;
    out.push_back(Byte(hi << 4 | lo));
  }
  return out;
}

// Packed BCD read least significant byte first; nullopt for a nibble above 9.
std::optional<int64_t> ReadBcdLsbFirst(std::span<const uint8_t> bytes) {
  int64_t value = 0, scale = 1;
  for (uint8_t b : bytes) {
    const int lo = b & 0x0F, hi = b >> 4;
    if (lo > 9 || hi > 9) return std::nullopt;
    value += lo * scale;
    scale *= 10;
    value += hi * scale;
    scale *= 10;
  }
  return value;
}

CatCommand Icom(const CatSettings& s, std::initializer_list<uint8_t> body) {
  CatCommand c;
  c.bytes = {0xFE, 0xFE, IcomAddress(s), kControllerAddress};
  c.bytes.insert(c.bytes.end(), body);
  c.bytes.push_back(0xFD);
  c.waitMs = FamilyRow(s.type).commandWaitMs;
  return c;
}

CatCommand Bytes(std::vector<uint8_t> b, int waitMs = 0, bool scaled = true) {
  CatCommand c;
  c.bytes = std::move(b);
  c.waitMs = waitMs;
  c.scaled = scaled;
  return c;
}

}  // namespace

const CatFamilyRow& FamilyRow(int type) {
  return kCatFamilies[static_cast<size_t>(type >= 0 && type <= 6 ? type : 0)];
}

uint8_t IcomAddress(const CatSettings& s) {
  if (s.family() == CatFamily::IcomAddressed && s.icomAddr >= 0 &&
      s.icomAddr < static_cast<int>(kIcomAddresses.size()))
    return kIcomAddresses[static_cast<size_t>(s.icomAddr)];
  return kIcomFixedAddress;
}

int CatWaitMs(int ms, int baud) {
  if (ms <= 0) return 0;
  if (baud >= 1200) return ms / (baud / 1200);
  if (baud <= 0) return ms;
  return static_cast<int>(static_cast<int64_t>(ms) * 1200 / baud);
}

int CommandWaitMs(const CatCommand& c, int baud) {
  return c.scaled ? CatWaitMs(c.waitMs, baud) : c.waitMs;
}

CatCommands EncodeSetFrequency(const CatSettings& s, int64_t dialHz) {
  if (dialHz < 0) dialHz = 0;
  switch (s.family()) {
    case CatFamily::Yaesu: {
      const int64_t tens = dialHz / 10;
      std::vector<uint8_t> lsb = BcdLsbFirst(tens, 4);
      if (s.yaesuModel == 5) return {Bytes({lsb[3], lsb[2], lsb[1], lsb[0], 0x01})};
      return {Bytes({lsb[0], lsb[1], lsb[2], lsb[3], 0x0A})};
    }
    case CatFamily::Kenwood: {
      char text[32];
      std::snprintf(text, sizeof text, "FA%011lld;", static_cast<long long>(dialHz % 100000000000));
      return {Bytes(std::vector<uint8_t>(text, text + 14))};
    }
    case CatFamily::TenTec: {
      if (s.tenTec != 0) return {};
      const bool lower = s.digiSide != 0;
      CatCommands out;
      out.push_back(Bytes({'M', static_cast<uint8_t>(lower ? '2' : '1'), '\r', 'W', 0x0A, '\r'}));
      const int64_t b = lower ? dialHz - kTenTecBfoHz - 1250 : dialHz + kTenTecBfoHz - 1250;
      const int64_t coarse = b / 2500 + 18000;
      const int64_t fine = static_cast<int64_t>(static_cast<double>(b % 2500) * 5.46);
      const int bfo = (kTenTecBfoHz * 546 + 4368000) / 200;
      out.push_back(Bytes({'N', Byte(static_cast<int>(coarse >> 8)), Byte(static_cast<int>(coarse)),
                           Byte(static_cast<int>(fine >> 8)), Byte(static_cast<int>(fine)),
                           Byte(bfo >> 8), Byte(bfo), '\r'}));
      return out;
    }
    case CatFamily::IcomFixed:
    case CatFamily::IcomAddressed: {
      if (dialHz == 0) return {};
      CatCommand c = Icom(s, {0x05});
      const std::vector<uint8_t> bcd = BcdLsbFirst(dialHz, FamilyRow(s.type).freqBcdBytes);
      c.bytes.insert(c.bytes.end() - 1, bcd.begin(), bcd.end());
      return {c};
    }
    case CatFamily::None:
    case CatFamily::Rigctld:  // text commands of its own (RigctlSetFrequency)
      break;
  }
  return {};
}

int RigModeArgument(const CatSettings& s, int rigMode) {
  if (rigMode != kRigData) return rigMode;
  if (s.digiCommand >= 0) return s.digiCommand;
  return s.digiSide == 0 ? kRigUsb : kRigLsb;
}

CatCommands EncodeSetMode(const CatSettings& s, int rigMode) {
  if (rigMode < kRigLsb || rigMode > kRigFm) return {};
  switch (s.family()) {
    case CatFamily::Yaesu: {
      if (s.yaesuModel == 0) return {};
      const uint8_t m = Byte(RigModeArgument(s, rigMode));
      if (s.yaesuModel == 5) return {Bytes({m, 0x00, 0x00, 0x00, 0x07})};
      return {Bytes({0x00, 0x00, 0x00, m, 0x0C})};
    }
    case CatFamily::Kenwood: {
      static constexpr char kCodes[] = {'1', '2', '5', '3', '?', '4'};
      char c = kCodes[rigMode];
      if (rigMode == kRigData) {
        if (s.digiCommand >= 0)
          c = static_cast<char>('0' + s.digiCommand % 10);
        else
          c = s.digiSide == 0 ? '2' : '1';
      }
      return {Bytes({'M', 'D', static_cast<uint8_t>(c), ';'})};
    }
    case CatFamily::IcomFixed:
    case CatFamily::IcomAddressed:
      return {Icom(s, {0x06, Byte(RigModeArgument(s, rigMode))})};
    default:
      return {};
  }
}

CatCommands EncodeRequestStatus(const CatSettings& s) {
  switch (s.family()) {
    case CatFamily::Yaesu:
      if (s.yaesuModel == 0) return {};
      if (s.yaesuModel == 5) return {Bytes({0x00, 0x00, 0x00, 0x00, 0x03})};
      return {Bytes({0x00, 0x00, 0x00, 0x02, 0x10})};
    case CatFamily::Kenwood:
      return {Bytes({'I', 'F', ';'})};
    case CatFamily::IcomFixed:
    case CatFamily::IcomAddressed:
      return {Icom(s, {0x03}), Icom(s, {0x04})};
    default:
      return {};
  }
}

CatCommands EncodeSelectVfo(const CatSettings& s, int subCommand) {
  if (s.family() == CatFamily::IcomFixed) {
    CatCommand c = Icom(s, {0x07});
    if (subCommand != -1) c.bytes.insert(c.bytes.end() - 1, Byte(subCommand));
    return {c};
  }
  if (s.family() == CatFamily::Yaesu && s.yaesuModel >= 1 && s.yaesuModel <= 4 && subCommand >= 0)
    return {Bytes({0x00, 0x00, 0x00, Byte(subCommand), 0x05})};
  return {};
}

CatCommands EncodePtt(const CatSettings& s, bool on) {
  const CatFamilyRow& row = FamilyRow(s.type);
  std::vector<uint8_t> b;
  switch (s.family()) {
    case CatFamily::IcomAddressed:
      // Only the rig at 0x56 takes the transmit command.
      if (IcomAddress(s) != 0x56) return {};
      b = {0xFE, 0xFE, 0x56, 0xE0, 0x1C, 0x00, Byte(on ? 1 : 0), 0xFD};
      break;
    case CatFamily::Yaesu:
      if (s.yaesuModel == 5)
        b = {0x00, 0x00, 0x00, 0x00, Byte(on ? 0x08 : 0x88)};
      else
        b = {0x00, 0x00, 0x00, Byte(on ? 1 : 0), 0x0F};
      break;
    case CatFamily::Kenwood:
      b = on ? std::vector<uint8_t>{'T', 'X', ';'} : std::vector<uint8_t>{'R', 'X', ';'};
      break;
    default:
      return {};
  }
  return {Bytes(std::move(b), row.pttWaitMs, row.pttWaitScaled)};
}

// ---- Operating frequency ----

int ModeCorrection(const DialContext& c) {
  if (UsesAudioOffset(c.mode, c.cwBySoundCard)) return c.corrections.data;
  if (c.mode == Mode::Cw) return c.corrections.cw;
  if (c.mode == Mode::Ssb1) return c.corrections.usb;
  if (c.mode == Mode::Ssb2) return c.corrections.lsb;
  return 0;
}

int64_t OperatingFrequency(const DialContext& c, int64_t dialHz) {
  if (UsesAudioOffset(c.mode, c.cwBySoundCard)) {
    const int64_t a = std::llround(c.audioHz);
    return dialHz + (c.digiSide != 0 ? -a : a) + c.corrections.data;
  }
  return dialHz + ModeCorrection(c);
}

int64_t DialForOperating(const DialContext& c, int64_t operatingHz) {
  int64_t f = operatingHz;
  if (UsesAudioOffset(c.mode, c.cwBySoundCard)) {
    const int64_t a = std::llround(c.audioHz);
    f = c.digiSide == 0 ? operatingHz - a : operatingHz + a;
  }
  return f - ModeCorrection(c);
}

std::string FormatFrequency(int64_t hz) {
  if (hz < 0) hz = 0;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%i.%03i.%03i", static_cast<int>(hz / 1000000),
                static_cast<int>(hz / 1000 % 1000), static_cast<int>(hz % 1000));
  return buf;
}

std::optional<int64_t> ParseFrequency(const std::string& text) {
  std::string t;
  for (char c : text)
    if (c != ' ' && c != '\t') t += c;
  if (t.empty() || t.size() > 20) return std::nullopt;
  int dots = 0;
  for (char c : t) {
    if (c == '.' || c == ',')
      ++dots;
    else if (c < '0' || c > '9')
      return std::nullopt;
  }
  if (t.front() == '.' || t.back() == '.' || t.front() == ',' || t.back() == ',')
    return std::nullopt;
  double hz = 0;
  if (dots >= 2) {
    // MHz.kHz.Hz as the display shows it: the groups after the first have three digits.
    int64_t v = 0;
    size_t group = 0, start = 0;
    for (size_t i = 0; i <= t.size(); ++i) {
      if (i == t.size() || t[i] == '.' || t[i] == ',') {
        if (group > 0 && i - start != 3) return std::nullopt;
        if (group > 2) return std::nullopt;
        v = v * (group == 0 ? 1 : 1000) + std::stoll(t.substr(start, i - start));
        ++group;
        start = i + 1;
      }
    }
    if (group == 2) v *= 1000;  // "14.070": MHz.kHz
    hz = static_cast<double>(v);
  } else {
    std::string d = t;
    for (char& c : d)
      if (c == ',') c = '.';
    const double v = std::stod(d);
    const bool mhz = v < 1000;  // "14.07015", "7"; else kHz ("14070.15") or hertz
    hz = mhz ? v * 1e6 : (dots == 1 || v < 1e6 ? v * 1e3 : v);
  }
  if (!(hz > 0) || hz >= 1e10) return std::nullopt;
  return std::llround(hz);
}

// ---- Replies ----

void IcomFramer::Feed(std::span<const uint8_t> bytes, std::vector<std::vector<uint8_t>>& frames) {
  for (uint8_t b : bytes) {
    switch (state_) {
      case State::WaitFe:
        if (b == 0xFE) state_ = State::AfterFe;
        break;
      case State::AfterFe:
        if (b == 0xFE) break;
        if (b == 0xFD) {
          state_ = State::WaitFe;
          break;
        }
        frame_.assign(1, b);
        state_ = State::InFrame;
        break;
      case State::InFrame:
        if (b == 0xFD) {
          frames.push_back(std::move(frame_));
          frame_.clear();
          state_ = State::WaitFe;
        } else if (frame_.size() >= kMaxFrame) {
          frame_.clear();  // no end in sight: not a CI-V frame
          state_ = b == 0xFE ? State::AfterFe : State::WaitFe;
        } else {
          frame_.push_back(b);
        }
        break;
    }
  }
}

CatReport DecodeIcomFrame(const CatSettings& s, std::span<const uint8_t> frame, Mode current) {
  CatReport r;
  const uint8_t addr = IcomAddress(s);
  if (frame.size() >= 2 && frame[1] == kControllerAddress &&
      (frame[0] == kIcomFixedAddress || frame[0] == addr))
    return r;  // our own command, heard back on the bus
  if (frame.size() >= 3 && frame[1] == addr &&
      (frame[0] == 0x00 || frame[0] == kControllerAddress)) {
    const bool broadcast = frame[0] == 0x00;
    const uint8_t cmd = frame[2];
    const std::span<const uint8_t> data = frame.subspan(3);
    const bool isFrequency = broadcast ? cmd == 0x00 : cmd == 0x03;
    const bool isMode = broadcast ? cmd == 0x01 : cmd == 0x04;
    if (isFrequency && !data.empty() && data.size() <= 5) {
      if (auto f = ReadBcdLsbFirst(data)) {
        r.dialHz = *f;
        return r;
      }
    }
    if (isMode && !data.empty()) {
      switch (data[0]) {
        case 0x00:
        case 0x01:
          // A sideband report keeps a data mode (or SSTV and fax) running on it.
          if (broadcast &&
              (UsesAudioOffset(current, false) || current == Mode::Sstv || current == Mode::Fax))
            return r;
          r.mode = data[0] == 0x00 ? Mode::Ssb2 : Mode::Ssb1;
          return r;
        case 0x02:
          r.mode = Mode::Unnamed7;
          return r;
        case 0x03:
          r.mode = Mode::Cw;
          return r;
        case 0x05:
          r.mode = Mode::Fm;
          return r;
        default:
          break;
      }
    }
  }
  r.monitorText = "\r\n";
  for (uint8_t b : frame) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X ", b);
    r.monitorText += hex;
  }
  return r;
}

std::optional<int64_t> DecodeYaesuReply(int model, std::span<const uint8_t> reply) {
  switch (model) {
    case 4:
      if (reply.empty()) return std::nullopt;
      reply = reply.subspan(1);
      [[fallthrough]];
    case 1:
    case 2:
      if (reply.size() < 11) return std::nullopt;
      return (int64_t{reply[1]} * 65536 + int64_t{reply[2]} * 256 + reply[3]) * 10;
    case 3: {
      if (reply.size() < 11) return std::nullopt;
      const uint64_t v =
          uint64_t{reply[1]} << 24 | uint64_t{reply[2]} << 16 | uint64_t{reply[3]} << 8 | reply[4];
      return std::llround(static_cast<double>(v) * 0.625);
    }
    case 5: {
      if (reply.size() != 5) return std::nullopt;
      const uint8_t lsbFirst[4] = {reply[3], reply[2], reply[1], reply[0]};
      if (auto tens = ReadBcdLsbFirst(lsbFirst)) return *tens * 10;
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

size_t YaesuReplyLength(int model) {
  switch (model) {
    case 1:
    case 2:
    case 3:
      return 11;
    case 4:
      return 12;
    case 5:
      return 5;
    default:
      return 0;
  }
}

std::optional<int64_t> DecodeKenwoodReply(std::span<const uint8_t> reply) {
  if (reply.size() <= 13) return std::nullopt;
  int64_t v = 0;
  for (size_t i = 2; i <= 12; ++i) {
    if (reply[i] < '0' || reply[i] > '9') return std::nullopt;
    v = v * 10 + (reply[i] - '0');
  }
  return v;
}

// ---- rigctld ----

std::string RigctlSetFrequency(int64_t dialHz) {
  return "F " + std::to_string(dialHz < 0 ? 0 : dialHz) + "\n";
}

std::string RigctlSetMode(const CatSettings& s, int rigMode) {
  static constexpr const char* kNames[] = {"LSB", "USB", "AM", "CW", nullptr, "FM"};
  if (rigMode < kRigLsb || rigMode > kRigFm) return "";
  const char* name =
      rigMode == kRigData ? (s.digiSide == 0 ? "PKTUSB" : "PKTLSB") : kNames[rigMode];
  return std::string("M ") + name + " 0\n";
}

std::string RigctlSetPtt(bool on) {
  return on ? "T 1\n" : "T 0\n";
}

std::optional<int64_t> ParseRigctlFrequency(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
  if (line.empty() || line.size() > 20) return std::nullopt;
  int64_t v = 0;
  size_t i = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) v = v * 10 + (line[i] - '0');
  if (i == 0) return std::nullopt;
  if (i < line.size()) {
    if (line[i] != '.') return std::nullopt;
    for (++i; i < line.size(); ++i)
      if (line[i] < '0' || line[i] > '9') return std::nullopt;
  }
  return v;
}

std::optional<int> ParseRigctlResult(std::string_view line) {
  if (line.substr(0, 5) != "RPRT ") return std::nullopt;
  line.remove_prefix(5);
  bool neg = !line.empty() && line.front() == '-';
  if (neg) line.remove_prefix(1);
  if (line.empty() || line.size() > 6) return std::nullopt;
  int v = 0;
  for (char c : line) {
    if (c == '\r') break;
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return neg ? -v : v;
}

std::optional<Mode> RigctlModeFor(std::string_view name, Mode current) {
  while (!name.empty() && (name.back() == '\r' || name.back() == ' ')) name.remove_suffix(1);
  const bool riding =
      UsesAudioOffset(current, false) || current == Mode::Sstv || current == Mode::Fax;
  if (name == "USB" || name == "LSB") {
    if (riding) return std::nullopt;
    return name == "USB" ? Mode::Ssb1 : Mode::Ssb2;
  }
  if (name == "CW" || name == "CWR")
    return current == Mode::Cw ? std::nullopt : std::optional(Mode::Cw);
  if (name == "AM") return Mode::Unnamed7;
  if (name == "FM" || name == "WFM") return Mode::Fm;
  return std::nullopt;  // PKTUSB, RTTY, ...: the data mode in use stays
}

}  // namespace vexa::tx
