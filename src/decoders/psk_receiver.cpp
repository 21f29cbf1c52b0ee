#include "decoders/psk_receiver.h"

#include <cmath>
#include <limits>

#include "decoders/fixed_point.h"
#include "decoders/rtty_receiver.h"
#include "decoders/varicode.h"

namespace vexa::decoders {
namespace {

constexpr int32_t kHalfTurn31 = std::numeric_limits<int32_t>::min();  // 2^31 as a wrap-around add

int Parity(unsigned v) {
  int p = 0;
  for (; v != 0; v >>= 1) p ^= static_cast<int>(v & 1);
  return p;
}

// Distance between channel symbols 0..3: 0 equal, 2 a quarter turn apart, 3 opposite.
constexpr int kSymbolDistance[4][4] = {{0, 2, 3, 2}, {2, 0, 2, 3}, {3, 2, 0, 2}, {2, 3, 2, 0}};
constexpr int kResetMetric[16] = {9, 10, 5, 7, 7, 5, 8, 9, 7, 5, 7, 6, 5, 4, 2, 0};

}  // namespace

int32_t BitLength(int32_t p) {
  int32_t n = 0;
  for (uint32_t v = p > 0 ? static_cast<uint32_t>(p) : 0u; v != 0; v >>= 1) ++n;
  return n;
}

int32_t QuarterClass(int32_t d) {
  const auto v = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(d) + 0x2000));
  return (v >> 14) + 2;
}

int32_t EighthClass(int32_t d) {
  const auto v = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(d) + 0x1000));
  return (v >> 13) + 4;
}

// ---------------------------------------------------------------- channel

PskChannel::PskChannel() : ReceiveChannel(kPskDecimRate, kPskBaud) {
  firTaps = kNarrowLowPassTaps.data();
}

void PskChannel::ProcessDecimated() {
  firI[static_cast<size_t>(firIndex)] = FilteredI() >> 10;
  firQ[static_cast<size_t>(firIndex)] = FilteredQ() >> 10;
  firIndex = (firIndex + 1) & 63;
  const int32_t x = Fir64(firTaps, firI, firIndex);
  const int32_t y = Fir64(firTaps, firQ, firIndex);
  const int32_t a = x >> 16;
  const int32_t b = y >> 16;
  level = BitLength(a * a + b * b);

  int32_t h = static_cast<int32_t>(symbolPhase) + symbolStep + clockCorr;
  if (inTransition == 0) {
    const int32_t cross = prevQ * a - prevI * b;
    const int32_t dot = prevI * a + prevQ * b;
    if (dot - std::abs(cross) < 0) {  // turned by more than 45 degrees: a transition
      const int32_t n = ((3 * h + 0x7FFF) >> 2) & 0xFFFF;
      inTransition = 1;
      if (symbolsSinceCorr > 0) {
        // Wide divisor: a carrier without transitions for weeks must not overflow 16 * count.
        const auto q =
            static_cast<int32_t>((static_cast<int64_t>(n) - h) / (int64_t{16} * symbolsSinceCorr));
        clockCorr = (q + 31 * clockCorr) >> 5;
      }
      if (clockCorr > 256 || clockCorr < -256) clockCorr >>= 1;
      h = n;
      symbolsSinceCorr = 0;
    }
  }
  symbolPhase = static_cast<uint16_t>(h);
  if (h > 0xFFFF) {
    inTransition = 0;
    if (symbolsSinceCorr < std::numeric_limits<int32_t>::max()) ++symbolsSinceCorr;
    if (listener != nullptr) listener->ProcessSymbol(x, y, 30 + level);
    prevI = a;
    prevQ = b;
  }
}

// ---------------------------------------------------------------- BPSK and varicode

void PskDecoder::PutBit(int bit) {
  varicodeReg = static_cast<uint16_t>(varicodeReg * 2 + (bit != 0 ? 1 : 0));
  if ((varicodeReg & 7) == 4) {  // a one followed by two zeros: the end of a character
    const int r = varicodeReg >> 3;
    if (r < kVaricodeDecodeSize && sink != nullptr) {
      sink->Put(static_cast<uint8_t>(VaricodeDecodeTable()[static_cast<size_t>(r)]));
    }
    varicodeReg = 0;
  }
}

void PskDecoder::Reset() {
  varicodeReg = 0;
  prevX = 0;
  prevY = 0;
}

void PskDecoder::CountRun(int32_t q8) {
  if (q8 >= 3 && q8 <= 5) {
    if (++runLength > 20) quality = 0;
    if (runLength > 1000000) runLength = 1000000;  // stays "long" without ever overflowing
  } else {
    runLength = 0;
  }
}

void PskDecoder::ProcessSymbol(int32_t x, int32_t y, int32_t) {
  const int32_t a = AngleUnits31(y, x);
  phaseErr = WrapSub(a, refPhase);
  const int32_t d = WrapSub(a, prevAngle) >> 16;
  prevAngle = a;
  const int32_t q4 = QuarterClass(d);
  const int32_t q8 = EighthClass(d);

  if ((q4 & 1) != 0) {
    if (quality > 200 && qpskLikeness < 256) qpskLikeness += 16;
  } else if (q4 == 2 && qpskLikeness > 10) {
    qpskLikeness -= 12;
  }
  if ((q8 == 2 || q8 == 6) && quality > 16) {
    quality -= 16;
  } else if ((q8 & 1) != 0 && quality > 1) {
    quality -= 2;
  } else if ((q8 == 0 || q8 == 4) && quality < 256) {
    quality += 10;
  }
  CountRun(q8);

  phaseErrSlope = 0;
  const int bit = WrapAdd(WrapSub(phaseErr, phaseErrAvg), 1 << 30) > 0 ? 1 : 0;
  PutBit(bit);

  phaseErrAvg = WrapSub(phaseErrAvg, WrapAdd(phaseErrAvg >> 7, phaseErrAvg >> 6));
  freqErr = WrapSub(freqErr, WrapAdd(freqErr >> 6, freqErr >> 5));
  if (bit == 0) {
    phaseErr = WrapAdd(phaseErr, kHalfTurn31);
    refPhase = WrapAdd(refPhase, kHalfTurn31);
  }
  const int32_t m = phaseErr;
  phaseErrAvg = WrapAdd(phaseErrAvg, m >> 6);
  phaseErrSlope = WrapSub(m, phaseErrAvg) >> 2;
  refPhase = WrapAdd(refPhase, m);
  freqErr = WrapAdd(freqErr, WrapSub(m, prevDrift));
  prevDrift = m;
}

// ---------------------------------------------------------------- QPSK

QpskDecoder::QpskDecoder(engine::RxTextQueue* out) : PskDecoder(out) {
  for (unsigned i = 0; i < 32; ++i) {
    expected[i] = 2 * Parity(i & 0x19) + Parity(i & 0x17);
  }
  QpskDecoder::Reset();
}

void QpskDecoder::Reset() {
  PskDecoder::Reset();
  for (int j = 0; j < kStates; ++j) {
    metric[static_cast<size_t>(j)] = kResetMetric[j];
    history[static_cast<size_t>(j)] = static_cast<uint32_t>(j - 16);
  }
}

int QpskDecoder::ViterbiStep(int s) {
  std::array<int32_t, 32> cost{};
  std::array<uint32_t, 32> path{};
  int32_t best = 255;
  for (size_t i = 0; i < 32; ++i) {
    cost[i] = kSymbolDistance[s][expected[i]] + metric[i >> 1];
    path[i] = history[i >> 1] * 2u + static_cast<uint32_t>(i & 1);
    if (cost[i] < best) best = cost[i];
  }
  for (size_t j = 0; j < kStates; ++j) {
    const size_t i = cost[j] >= cost[j + 16] ? j + 16 : j;
    metric[j] = cost[i] - best;
    history[j] = path[i];
  }
  int ones = 0;
  for (uint32_t h : history) ones += ((h >> kDecisionDepth) & 1) != 0 ? 1 : 0;
  return ones < 8 ? 1 : 0;
}

void QpskDecoder::ProcessSymbol(int32_t x, int32_t y, int32_t) {
  const int32_t a =
      TruncWrap32(std::atan2(static_cast<double>(y), static_cast<double>(x)) * 41721.0);
  const int32_t d = WrapSub(a, refPhase) >> 2;
  const int32_t q4 = QuarterClass(d);
  const int32_t q8 = EighthClass(d);

  if ((q4 & 1) != 0 && qpskLikeness < 256) {
    qpskLikeness += 20;
  } else if (q4 == 2 && qpskLikeness > 10) {
    qpskLikeness -= 12;
  }
  if ((q8 & 1) != 0 && quality > 8) quality -= 8;
  if ((q8 & 1) == 0 && quality < 256) quality += 5;
  CountRun(q8);
  if ((q8 == 2 || q8 == 6) && qpskLikeness < 32) qpskLikeness += 3;
  if ((q8 & 1) != 0) {
    if (quality > 1) quality -= 2;
    if (qpskLikeness > 2) qpskLikeness -= 2;
  } else if (q8 == 4) {
    if (quality > 0) quality -= 1;
    if (qpskLikeness > 1) qpskLikeness -= 1;
  } else if (q8 == 0 && quality < 32) {
    quality += 3;
  }

  // Drift loops: the 16-bit cast drops whole quarter turns, leaving the drift.
  const int32_t v = 200 * static_cast<int16_t>(static_cast<uint16_t>(WrapSub(a, refPhase)));
  refPhase = a;
  phaseErrAvg = WrapAdd(WrapSub(WrapSub(phaseErrAvg, phaseErrAvg >> 8), phaseErrAvg >> 7), v);
  freqErr = WrapAdd(WrapSub(WrapSub(WrapSub(freqErr, freqErr >> 6), freqErr >> 5), prevDrift), v);
  prevDrift = v;

  const int32_t cx = x >> 17;
  const int32_t cy = y >> 17;
  const int32_t dot = prevX * cx + prevY * cy;
  const int32_t cross = prevX * cy - prevY * cx;
  const int k = (dot - cross < 0 ? 1 : 0) + (dot + cross < 0 ? 2 : 0);
  constexpr int kStep[4] = {0, 3, 1, 2};
  int s = kStep[k];
  if (invert != 0) s = (-s) & 3;
  prevX = cx;
  prevY = cy;

  PutBit(ViterbiStep(s));
}

}  // namespace vexa::decoders
