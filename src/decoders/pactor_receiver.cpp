#include "decoders/pactor_receiver.h"

#include <algorithm>
#include <cmath>

#include "decoders/fixed_point.h"

namespace vexa::decoders {
namespace {

// Band-pass for the 100-baud path (sum 0: no response at the centre, centre tap 2560).
constexpr std::array<int32_t, 64> kTaps100 = {
    0,     10,    34,   55,   55,   35,   7,    -1,   31,   107,  202,  274,   279,
    195,   39,    -134, -256, -273, -180, -29,  83,   54,   -176, -584, -1055, -1414,
    -1481, -1146, -418, 563,  1555, 2289, 2560, 2289, 1555, 563,  -418, -1146, -1481,
    -1414, -1055, -584, -176, 54,   83,   -29,  -180, -273, -256, -134, 39,    195,
    279,   274,   202,  107,  31,   -1,   7,    35,   55,   55,   34,   10};

// Wider filter for the 200-baud path (sum 16386, centre tap 8704).
constexpr std::array<int32_t, 64> kTaps200 = {
    0,    13,   -5,   -36,   19,  57,   -43,  -71,  75,  77,   -114, -72,  158, 55,    -206, -23,
    256,  -28,  -306, 100,   354, -201, -398, 343,  437, -553, -469, 901,  493, -1651, -507, 5186,
    8704, 5186, -507, -1651, 493, 901,  -469, -553, 437, 343,  -398, -201, 354, 100,   -306, -28,
    256,  -23,  -206, 55,    158, -72,  -114, 77,   75,  -71,  -43,  57,   19,  -36,   -5,   13};

// Just under 2^31 units per half turn: pi times it is 2147483646.19, inside int32.
constexpr double kAngleScale = 683565275.0;
constexpr int32_t kAngleDivisor = 2000000;
constexpr int32_t kMaxAngleStep = 200;

// Moves every bit of the register down by one; the new bit enters at the top of the last byte,
// so that after a whole frame the first byte holds the oldest bits (received LSB first).
template <size_t N>
void ShiftIn(std::array<uint8_t, N>& reg, int bit) {
  for (size_t i = 0; i + 1 < N; ++i) {
    reg[i] = static_cast<uint8_t>((reg[i] >> 1) | ((reg[i + 1] & 1u) << 7));
  }
  reg[N - 1] = static_cast<uint8_t>((reg[N - 1] >> 1) | ((bit != 0 ? 1u : 0u) << 7));
}

template <size_t N>
std::array<uint8_t, N> Inverted(const std::array<uint8_t, N>& reg) {
  std::array<uint8_t, N> out;
  for (size_t i = 0; i < N; ++i) out[i] = static_cast<uint8_t>(~reg[i]);
  return out;
}

bool IsCallsignChar(uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Y');
}

}  // namespace

uint16_t PactorCrc(std::span<const uint8_t> bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) {
      crc = static_cast<uint16_t>((crc & 1u) != 0 ? (crc >> 1) ^ 0x8408u : crc >> 1);
    }
  }
  return static_cast<uint16_t>(~crc);
}

int32_t PactorAngleCode(double radians) {
  // fmod by 2^32 is exact and leaves every in-range product as it is; the remainder always fits
  // an int64, and int64 -> uint32 -> int32 is modular, so no input reaches an out-of-range
  // conversion.
  const double wrapped = std::fmod(std::trunc(radians * kAngleScale), 4294967296.0);
  if (!std::isfinite(wrapped)) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(wrapped)));
}

PactorReceiver::PactorReceiver(engine::RxTextQueue* sink)
    : ReceiveChannel(kDecimRateHz, kBaud), path100(14, 0, 127), path200(7, 0, 1127), sink_(sink) {
  firTaps = kTaps100.data();
  path100.step = symbolStep;      // 4369
  path200.step = 2 * symbolStep;  // 8738
}

void PactorReceiver::ResetDecoder() {
  const int32_t s100 = path100.step, s200 = path200.step;
  path100 = PactorPath(14, s100, 127);
  path200 = PactorPath(7, s200, 1127);
  reg100.fill(0);
  reg200.fill(0);
  lastCounter = 0;
  lastCrc = 0;
  lastCall.clear();
  walk_.Restart();
}

void PactorReceiver::ProcessDecimated() {
  firI[static_cast<size_t>(firIndex)] = FilteredI() >> 10;
  firQ[static_cast<size_t>(firIndex)] = FilteredQ() >> 10;
  firIndex = (firIndex + 1) & 63;
  RunPath(path100, kTaps100, false);
  RunPath(path200, kTaps200, true);
}

void PactorReceiver::RunPath(PactorPath& p, const std::array<int32_t, 64>& taps, bool fast) {
  const int32_t x = Fir64(taps.data(), firI, firIndex);
  const int32_t y = Fir64(taps.data(), firQ, firIndex);
  const int32_t angle = PactorAngleCode(std::atan2(static_cast<double>(y), static_cast<double>(x)));
  // Phase step since the last decimated step, wrapped to a half turn either way.
  const auto turn =
      static_cast<int32_t>(static_cast<uint32_t>(p.prevAngle) - static_cast<uint32_t>(angle));
  const int32_t d = std::clamp(turn / kAngleDivisor, -kMaxAngleStep, kMaxAngleStep);
  p.prevAngle = angle;

  const auto idx = static_cast<size_t>(p.ringIndex);
  p.sum += d - p.ring[idx];
  p.ring[idx] = d;
  p.ringIndex = (p.ringIndex + 1) % p.ringLength;
  p.discOut = p.sum;
  p.lastI = x >> 16;
  p.lastQ = y >> 16;

  // Peaks follow the extremes and decay slowly toward the middle.
  p.highPeak = std::max(p.highPeak, p.sum);
  p.lowPeak = std::min(p.lowPeak, p.sum);
  const int32_t mid = (p.highPeak + p.lowPeak) >> 1;
  p.highPeak = (mid + p.weight * p.highPeak) / (p.weight + 1);
  p.lowPeak = (mid + p.weight * p.lowPeak) / (p.weight + 1);

  p.bitClock += p.step;
  const uint8_t bit = mid < p.sum ? 1 : 0;
  auto give = [&](int b) {
    if (fast) {
      PutBit200(b);
    } else {
      PutBit100(b);
    }
  };
  if (bit != p.lastBit) {
    if (bit != 0) {
      p.highPeak = p.sum;
    } else {
      p.lowPeak = p.sum;
    }
    const int32_t o = p.bitClock + 0x8000;
    if (o >= 0x10000) {
      for (int32_t k = o >> 16; k > 0; --k) give(p.lastBit);
    }
    p.lastBit = bit;
    p.bitClock = (p.bitClock - (o & ~int32_t{0xFFFF})) >> 1;
  } else if (p.bitClock > 0x20000) {
    give(p.lastBit);
    p.bitClock -= 0x10000;
  }
}

void PactorReceiver::PutBit100(int bit) {
  ShiftIn(reg100, bit);
  if (reg100[0] != kHeader && reg100[0] != kHeaderInverted) return;
  const uint8_t mode = reg100[kShortFrame - 3] & 0x30;
  if (mode == 0x00) {
    if (CheckFrame(reg100)) return;
  } else if (mode == 0x30) {
    if (CheckFrame(Inverted(reg100))) return;
  }
  TryCallsign(reg100);
}

void PactorReceiver::PutBit200(int bit) {
  ShiftIn(reg200, bit);
  if (reg200[0] != kHeader && reg200[0] != kHeaderInverted) return;
  const uint8_t mode = reg200[kLongFrame - 3] & 0x30;
  if (mode == 0x00) {
    (void)CheckFrame(reg200);
  } else if (mode == 0x30) {
    (void)CheckFrame(Inverted(reg200));
  }
}

void PactorReceiver::TryCallsign(const std::array<uint8_t, kShortFrame>& reg) {
  const auto bytes = reg[0] == kHeader ? reg : Inverted(reg);
  std::string call;
  for (size_t i = 1; i < kShortFrame && call.size() < 8; ++i) {
    const uint8_t c = bytes[i];
    if (c == 0x0F) break;
    if (!IsCallsignChar(c)) return;  // not a callsign frame
    call.push_back(static_cast<char>(c));
  }
  // An empty call (0x0F right after the header) is far more often noise than a frame.
  if (call.empty()) return;
  if (call == lastCall) {
    std::string line = "\r\n<C:";
    line += call;
    line += ">";
    Put(line.c_str());
  }
  lastCall = call;
}

bool PactorReceiver::CheckFrame(std::span<const uint8_t> frame) {
  const size_t n = frame.size();
  if (n < 4) return false;
  if (PactorCrc(frame.subspan(1)) != kPactorCrcResidue) return false;
  const uint8_t status = frame[n - 3];
  const auto crcWord = static_cast<uint16_t>(frame[n - 2] | (frame[n - 1] << 8));
  const auto counter = static_cast<uint8_t>(status & 3u);
  if (counter == lastCounter && crcWord == lastCrc) return true;  // a repetition
  if (((counter - lastCounter) & 3u) != 1) Put("___\r\n");
  lastCounter = counter;
  lastCrc = crcWord;

  const auto data = frame.subspan(1, n - 4);
  if ((status & 4u) != 0) {
    walk_.Restart();
    for (uint8_t b : data) {
      for (int k = 0; k < 8; ++k) {
        const int c = walk_.Step((b >> k) & 1);
        if (c >= 0 && c != kFillCharacter) Put(static_cast<uint8_t>(c));
      }
    }
  } else {
    for (uint8_t b : data) {
      if (b != kFillCharacter) Put(b);
    }
  }
  return true;
}

}  // namespace vexa::decoders
