#include "engine/receive_channel.h"

#include <algorithm>
#include <cmath>

namespace vexa::engine {
namespace {

uint16_t ClampStep(double v) {
  if (!(v > 0)) return 0;
  if (v >= 65535.0) return 65535;
  return static_cast<uint16_t>(v);
}

}  // namespace

uint16_t PhaseStepFor(double hz, int32_t rate) {
  if (rate == 0 || !std::isfinite(hz)) return 0;
  const double v = std::trunc(hz / rate * 65536.0);
  if (std::fabs(v) > 1e15) return 0;
  return static_cast<uint16_t>(static_cast<int64_t>(v));  // modular: -1 Hz wraps like +65535
}

ReceiveChannel::ReceiveChannel(int32_t decimRateHz, double symbolRateBaud)
    : decimRate(decimRateHz), symbolRate(symbolRateBaud), sine_(Tables().sine.data()) {
  SetSampleRate(kInputSampleRate);
}

void ReceiveChannel::SetSymbolRate(double baud) {
  symbolRate = baud;
  if (decimRate > 0) symbolStep = ClampStep(std::trunc(symbolRate * 65536.0 / decimRate));
}

void ReceiveChannel::SetCarrier(double hz) {
  carrier = hz;
  RecomputePhaseStep();
}

void ReceiveChannel::RecomputePhaseStep() {
  phaseStep = PhaseStepFor(carrier, sampleRate);
}

void ReceiveChannel::SetSampleRate(int32_t rate) {
  sampleRate = rate;
  if (decimRate > 0) {
    // The history rings hold 32 entries: a longer boxcar would run off their end.
    boxLength = std::clamp((sampleRate + decimRate / 2) / decimRate, 1, kBoxMax);
  }
  if (sampleRate > 0 && decimRate > 0) {
    decimStep = ClampStep(std::trunc(static_cast<double>(decimRate) * 65536.0 / sampleRate));
    symbolStep = ClampStep(std::trunc(symbolRate * 65536.0 / decimRate));
  }
  if (boxIndex >= boxLength) boxIndex = 0;
  RecomputePhaseStep();
}

void ReceiveChannel::ResetFilters() {
  for (auto& h : hist) h.fill(0);
  sums.fill(0);
  boxIndex = 0;
  phase = 0;
  decimPhase = 0;
  symbolPhase = 0;
  firIndex = 0;
  if (listener != nullptr) listener->Reset();
}

void ReceiveChannel::ProcessBlock(std::span<const int16_t> samples) {
  for (int16_t x : samples) FrontEnd(x);
}

}  // namespace vexa::engine
