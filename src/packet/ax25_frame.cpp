#include "packet/ax25_frame.h"

#include <cstdio>

namespace vexa::packet {
namespace {

constexpr const char* kTypeNames[kFrameTypeCount] = {"UNKN", "SABM", "DISC", "UA", "DM", "RR",
                                                     "RNR",  "REJ",  "FRMR", "I",  "UI"};

constexpr uint8_t kReservedBits = 0x60;
constexpr uint8_t kCBit = 0x80;  // command/response in destination and source; H bit in a digi
constexpr uint8_t kExtension = 0x01;
constexpr size_t kAddressBytes = 7;

void PutAddress(std::vector<uint8_t>& out, const Ax25Address& a, uint8_t flags) {
  const std::string_view call = a.Call();
  for (size_t i = 0; i < 6; ++i) {
    const char c = i < call.size() ? call[i] : ' ';
    out.push_back(static_cast<uint8_t>(static_cast<uint8_t>(c) << 1));
  }
  out.push_back(static_cast<uint8_t>(((a.ssid & 15) << 1) | kReservedBits | flags));
}

Ax25Address GetAddress(const uint8_t* p) {
  Ax25Address a;
  // Characters are taken while the byte is above 0x41: a shifted space ends the call.
  for (size_t i = 0; i < 6 && p[i] > 0x41; ++i) a.call[i] = static_cast<char>(p[i] >> 1);
  a.ssid = static_cast<uint8_t>((p[6] >> 1) & 15);
  return a;
}

}  // namespace

const char* FrameTypeName(FrameType type) {
  const int i = static_cast<int>(type);
  return kTypeNames[i >= 0 && i < kFrameTypeCount ? i : 0];
}

uint8_t ControlByte(const Ax25Frame& f) {
  const unsigned nr = static_cast<unsigned>(f.nr & 7) << 5;
  unsigned c = 0;
  switch (f.type) {
    case FrameType::Sabm:
      c = 0x2F;
      break;
    case FrameType::Disc:
      c = 0x43;
      break;
    case FrameType::Ua:
      c = 0x63;
      break;
    case FrameType::Dm:
      c = 0x0F;
      break;
    case FrameType::Rr:
      c = 0x01 + nr;
      break;
    case FrameType::Rnr:
      c = 0x05 + nr;
      break;
    case FrameType::Rej:
      c = 0x09 + nr;
      break;
    case FrameType::Frmr:
      c = 0x87;
      break;
    case FrameType::I:
      c = nr + (static_cast<unsigned>(f.ns & 7) << 1);
      break;
    case FrameType::Ui:
      c = 0x03;
      break;
    case FrameType::Unkn:
      c = 0;
      break;
  }
  if (f.pf) c |= 0x10;
  return static_cast<uint8_t>(c);
}

std::vector<uint8_t> EncodeFrame(const Ax25Frame& f) {
  std::vector<uint8_t> out;
  const int nd = f.digis.count();
  out.reserve(15 + kAddressBytes * static_cast<size_t>(nd) + 1 + f.info.size());
  // An old-version frame is sent as a response.
  PutAddress(out, f.destination, f.cr == kCommand ? kCBit : 0);
  PutAddress(out, f.source,
             static_cast<uint8_t>((f.cr == kCommand ? 0 : kCBit) | (nd == 0 ? kExtension : 0)));
  for (int i = 0; i < nd; ++i) {
    uint8_t flags = i < f.repeated ? kCBit : 0;
    if (i == nd - 1) flags |= kExtension;
    PutAddress(out, f.digis[i], flags);
  }
  out.push_back(ControlByte(f));
  if (HasInfo(f.type)) {
    out.push_back(f.pid);
    out.insert(out.end(), f.info.begin(), f.info.end());
  }
  return out;
}

std::optional<Ax25Frame> DecodeFrame(std::span<const uint8_t> bytes) {
  if (bytes.size() <= 14) return std::nullopt;
  Ax25Frame f;
  const uint8_t* p = bytes.data();
  f.destination = GetAddress(p);
  f.source = GetAddress(p + 7);
  size_t pos = 14;
  if ((p[13] & kExtension) == 0) {
    for (;;) {
      if (f.digis.count() == kMaxDigis) return std::nullopt;  // an eighth digipeater
      if (pos + kAddressBytes > bytes.size()) return std::nullopt;
      (void)f.digis.Add(GetAddress(p + pos));
      if (p[pos + 6] & kCBit) ++f.repeated;
      const bool last = (p[pos + 6] & kExtension) != 0;
      pos += kAddressBytes;
      if (last) break;
    }
  }
  if (bytes.size() < pos + 1) return std::nullopt;  // 15 + 7 per digipeater at least
  const bool destC = (p[6] & kCBit) != 0;
  const bool srcC = (p[13] & kCBit) != 0;
  f.cr = destC != srcC ? (destC ? kCommand : kResponse) : kOldVersion;

  const uint8_t c = p[pos++];
  f.pf = (c & 0x10) ? 1 : 0;
  if ((c & 0x01) == 0) {
    f.type = FrameType::I;
    f.nr = c >> 5;
    f.ns = (c >> 1) & 7;
  } else if ((c & 0x03) == 0x03) {
    switch (c & ~0x13 & 0xFF) {
      case 0x00:
        f.type = FrameType::Ui;
        break;
      case 0x0C:
        f.type = FrameType::Dm;
        break;
      case 0x2C:
        f.type = FrameType::Sabm;
        break;
      case 0x40:
        f.type = FrameType::Disc;
        break;
      case 0x60:
        f.type = FrameType::Ua;
        break;
      case 0x84:
        f.type = FrameType::Frmr;
        break;
      default:
        f.type = FrameType::Unkn;
        break;
    }
  } else {
    constexpr FrameType kS[4] = {FrameType::Rr, FrameType::Rnr, FrameType::Rej, FrameType::Unkn};
    f.type = kS[(c >> 2) & 3];
    f.nr = c >> 5;
  }
  if (HasInfo(f.type)) {
    // The PID follows the control byte; the information field is the rest (maybe empty).
    if (pos < bytes.size()) {
      f.pid = p[pos++];
      f.info.assign(p + pos, p + bytes.size());
    } else {
      f.pid = 0;
    }
  }
  return f;
}

std::string MonitorText(const Ax25Frame& f) {
  std::string s = FormatCallsign(f.source);
  for (int i = 0; i < f.digis.count(); ++i) {
    s += '/';
    s += FormatCallsign(f.digis[i]);
    if (i + 1 == f.repeated) s += '*';  // the last digipeater that has repeated
  }
  s += '>';
  s += FormatCallsign(f.destination);
  s += '>';
  s += FrameTypeName(f.type);
  if (f.type == FrameType::I) {
    s += static_cast<char>('0' + (f.nr & 7));
    s += static_cast<char>('0' + (f.ns & 7));
  } else if (IsSupervisory(f.type)) {
    s += static_cast<char>('0' + (f.nr & 7));
  }
  s += ',';
  if (!f.pf) {
    s += f.cr == kCommand ? 'C' : f.cr == kResponse ? 'R' : '?';
  } else {
    s += f.cr == kCommand ? 'P' : f.cr == kResponse ? 'F' : '?';
  }
  if (HasInfo(f.type)) {
    char pid[8];
    std::snprintf(pid, sizeof pid, ",%x", static_cast<unsigned>(f.pid));
    s += pid;
    s += ":\r\n";
    for (uint8_t b : f.info) {
      if (s.size() >= kMonitorLineLimit) break;
      s += (b < 0x20 && b != '\r' && b != '\n') ? '.' : static_cast<char>(b);
    }
    if (s.size() > kMonitorLineLimit) s.resize(kMonitorLineLimit);
  }
  s += "\r\n";
  return s;
}

}  // namespace vexa::packet
