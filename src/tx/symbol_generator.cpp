#include "tx/symbol_generator.h"

#include <cmath>

#include "engine/dsp_tables.h"

namespace vexa::tx {
namespace {

constexpr int32_t kVecI[5] = {1, 0, -1, 0, 0};
constexpr int32_t kVecQ[5] = {0, -1, 0, 1, 0};

bool IsVector(int code) {
  return code >= 0 && code < 10;
}
bool IsRttyTone(int code) {
  return code >= 10;
}
// Vector index of a code used in a crossfade (5..9 stand for 0..4).
int VectorOf(int code) {
  return code < 5 ? code : code - 5;
}

}  // namespace

uint16_t PhaseStep16(double hz, int sampleRate) {
  if (sampleRate <= 0 || !std::isfinite(hz)) return 0;
  // Only the phase step modulo 2^16 matters; reduce first so the conversion cannot overflow.
  const double v = std::fmod(std::trunc(hz / sampleRate * 65536.0), 65536.0);
  // Negative frequencies wrap like the 16-bit registers they are loaded into.
  const int64_t i = static_cast<int64_t>(v);
  return static_cast<uint16_t>(static_cast<uint64_t>(i) & 0xFFFFu);
}

SymbolGenerator::SymbolGenerator() {
  Recompute();
}

void SymbolGenerator::Reset() {
  symbolClock = 0;
  carrierPhase = 0;
  curSymbol = prevSymbol = kOff;
}

void SymbolGenerator::SetCentre(double hz) {
  centreHz_ = hz;
  Recompute();
}

void SymbolGenerator::SetSampleRate(int rate) {
  sampleRate_ = rate;
  Recompute();
}

void SymbolGenerator::SetShiftAndRate(double shiftHz, double symbolRate) {
  shiftHz_ = shiftHz;
  symbolRate_ = symbolRate;
  Recompute();
}

void SymbolGenerator::Recompute() {
  if (sampleRate_ <= 0) {
    symbolStep = 0;
    centreStep = upperStep = lowerStep = 0;
    return;
  }
  const double step = std::trunc(symbolRate_ * 4294967296.0 / sampleRate_);
  symbolStep = !(step > 0) ? 0u : step >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(step);
  centreStep = PhaseStep16(centreHz_, sampleRate_);
  upperStep = PhaseStep16(centreHz_ + shiftHz_ / 2, sampleRate_);
  lowerStep = PhaseStep16(centreHz_ - shiftHz_ / 2, sampleRate_);
}

int16_t SymbolGenerator::NextSample(bool& symbolDue) {
  const int32_t* t = engine::Tables().sine.data();
  // w runs from +32767 at the start of a symbol to -32767 at its end.
  const int32_t w = engine::Cos16(t, static_cast<uint16_t>(symbolClock >> 17));
  const int cur = curSymbol;
  const int prev = prevSymbol;
  int32_t sample = 0;
  if ((cur < 5 || prev < 5) && (IsRttyTone(cur) || IsRttyTone(prev))) {
    // Carrier on or off around an RTTY tone: raised-cosine amplitude ramp over the symbol.
    const int tone = IsRttyTone(cur) ? cur : prev;
    const int64_t amp = IsRttyTone(cur) ? (32767 - w) : (32767 + w);  // 0 .. 65534
    sample = static_cast<int32_t>((amp * engine::Cos16(t, carrierPhase)) >> 16);
    carrierPhase =
        static_cast<uint16_t>(carrierPhase + (tone == kRttyHigh ? upperStep : lowerStep));
  } else if (cur < 5 || prev < 5) {
    const int p = VectorOf(prev), c = VectorOf(cur);
    const int64_t wp = 32767 + w, wc = 32767 - w;
    const int64_t i = kVecI[p] * wp + kVecI[c] * wc;
    const int64_t q = kVecQ[p] * wp + kVecQ[c] * wc;
    sample = static_cast<int32_t>(
        (i * engine::Cos16(t, carrierPhase) + q * engine::Sin16(t, carrierPhase)) >> 16);
    carrierPhase = static_cast<uint16_t>(carrierPhase + centreStep);
  } else if (IsVector(cur) || IsVector(prev)) {
    // FSK31 tones: a change of symbol (a 0 bit) sends the upper tone, no change the lower one.
    sample = engine::Cos16(t, carrierPhase);
    const bool upper = (cur != prev) != reverse_;
    carrierPhase = static_cast<uint16_t>(carrierPhase + (upper ? upperStep : lowerStep));
  } else {
    sample = engine::Cos16(t, carrierPhase);
    carrierPhase = static_cast<uint16_t>(carrierPhase + (cur == kRttyHigh ? upperStep : lowerStep));
  }
  const uint32_t before = symbolClock;
  symbolClock += symbolStep;
  symbolDue = symbolClock < before;
  return static_cast<int16_t>(sample);
}

}  // namespace vexa::tx
