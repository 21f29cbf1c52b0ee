#pragma once
// AX.25 frames (version 2 layout, modulo-8 sequence numbers): the in-memory record, the byte
// layout the encoder produces and the decoder accepts (without FCS), the frame-type numbering
// every packet part uses, and the one-line monitor text of a frame.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "packet/ax25_address.h"

namespace vexa::packet {

// Frame type numbers; this order is also the order of the name table.
enum class FrameType : int {
  Unkn = 0,
  Sabm = 1,
  Disc = 2,
  Ua = 3,
  Dm = 4,
  Rr = 5,
  Rnr = 6,
  Rej = 7,
  Frmr = 8,
  I = 9,
  Ui = 10,
};
constexpr int kFrameTypeCount = 11;

// "UNKN", "SABM", ... "UI"; "UNKN" for a number outside the table.
const char* FrameTypeName(FrameType type);
// I and UI frames carry a PID and an information field.
constexpr bool HasInfo(FrameType t) {
  return t == FrameType::I || t == FrameType::Ui;
}
constexpr bool IsSupervisory(FrameType t) {
  return t == FrameType::Rr || t == FrameType::Rnr || t == FrameType::Rej;
}

// Command/response values of Ax25Frame::cr.
constexpr int kResponse = 0;
constexpr int kCommand = 1;
constexpr int kOldVersion = 2;  // both C bits equal

constexpr int kMaxDigis = 7;
constexpr uint8_t kPidNoLayer3 = 0xF0;

struct Ax25Frame {
  Ax25Address source;
  Ax25Address destination;
  Ax25AddressList digis{kMaxDigis};  // digipeater path in transmission order
  int repeated = 0;                  // digipeaters of the path that have repeated (H bits)
  FrameType type = FrameType::Unkn;
  int cr = kCommand;  // kCommand, kResponse or kOldVersion
  int pf = 0;         // poll/final bit, 0 or 1
  int nr = 0;         // N(R) 0..7 (S and I frames)
  int ns = 0;         // N(S) 0..7 (I frames)
  uint8_t pid = kPidNoLayer3;
  std::vector<uint8_t> info;  // I and UI frames
};

// The control byte of a frame (P/F included).
uint8_t ControlByte(const Ax25Frame& f);
// The frame's bytes without FCS: 15 + 7 per digipeater, plus 1 + info for I and UI frames.
std::vector<uint8_t> EncodeFrame(const Ax25Frame& f);
// The frame of the bytes (without FCS), or nothing when they are no AX.25 frame.
std::optional<Ax25Frame> DecodeFrame(std::span<const uint8_t> bytes);

// The monitor line is cut to this length before its closing CR LF.
constexpr size_t kMonitorLineLimit = 2045;
// "SRC/DIGI*>DST>TYPE,C" and for I/UI frames ",pid:\r\n" and the information; ends in "\r\n".
std::string MonitorText(const Ax25Frame& f);

}  // namespace vexa::packet
