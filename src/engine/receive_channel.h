#pragma once
// The common receive front end that every demodulator extends.
//
// Per input sample: a 16-bit NCO mixes the wanted audio frequency down to zero (I = x*cos, Q =
// x*sin, each >> 16), two cascaded moving sums low-pass each branch, and a 16-bit phase
// accumulator decimates to the channel's fixed rate, where the decoder's ProcessDecimated runs.
// The front end is integer only; decoders work on the sums at the decimated rate.
#include <array>
#include <cstdint>
#include <span>

#include "engine/dsp_tables.h"

namespace vexa::engine {

constexpr int kInputSampleRate = 11025;

// Receives decoded symbols from a channel (operations in this slot order: bit, symbol, reset).
class SymbolListener {
 public:
  virtual ~SymbolListener() = default;
  virtual void PutBit(int bit) { (void)bit; }
  // A filtered I/Q vector at a symbol instant, with the channel's level figure.
  virtual void ProcessSymbol(int32_t x, int32_t y, int32_t level) {
    (void)x;
    (void)y;
    (void)level;
  }
  virtual void Reset() {}
};

class ReceiveChannel {
 public:
  static constexpr int kBoxMax = 32;  // size of the moving-sum history rings
  static constexpr int kFirTaps = 64;

  // decimRateHz: rate of the decimated steps; symbolRateBaud: initial symbol rate.
  ReceiveChannel(int32_t decimRateHz, double symbolRateBaud);
  virtual ~ReceiveChannel() = default;
  ReceiveChannel(const ReceiveChannel&) = default;
  ReceiveChannel& operator=(const ReceiveChannel&) = default;

  // Stores the symbol rate and recomputes symbolStep.
  virtual void SetSymbolRate(double baud);
  // The decoder's step at the decimated rate.
  virtual void ProcessDecimated() = 0;
  // Tunes the NCO; channels with more than one oscillator place them around hz.
  virtual void SetCarrier(double hz);
  // Runs a block of input samples through the channel (front end and decimated steps).
  virtual void ProcessBlock(std::span<const int16_t> samples);

  // Stores the input rate and recomputes boxLength, decimStep, symbolStep and phaseStep.
  void SetSampleRate(int32_t rate);
  // Clears the filter state and the accumulators, then resets the listener.
  virtual void ResetFilters();

  // Output of the two filter branches (sum of the second stage), read by the decoders.
  int32_t FilteredI() const { return sums[2]; }
  int32_t FilteredQ() const { return sums[3]; }

  // One front-end step for one sample; calls ProcessDecimated at decimation instants.
  void FrontEnd(int16_t x) {
    phase = static_cast<uint16_t>(phase + phaseStep);
    const int32_t c = Cos16(sine_, phase);
    const int32_t s = Sin16(sine_, phase);
    FilterPair(0, 2, MulShift16(x, c));
    FilterPair(1, 3, MulShift16(x, s));
    if (++boxIndex >= boxLength) boxIndex = 0;
    if (AdvanceDecimator()) ProcessDecimated();
  }

  // --- Fields (public: the decoders of each mode work on them directly) ---
  int32_t level = 0;  // signal level of the last decimated step, in bits

  // Symbol-clock fields used by the decoders.
  int32_t clockCorr = 0;         // signed correction added to the symbol step
  int32_t symbolsSinceCorr = 0;  // symbols since the last clock correction
  int32_t prevI = 0;             // filtered vector at the last symbol instant, >> 16
  int32_t prevQ = 0;
  uint8_t inTransition = 0;

  SymbolListener* listener = nullptr;

  uint16_t phase = 0;  // NCO phase and increment per input sample (16-bit phase units)
  uint16_t phaseStep = 0;
  uint16_t decimPhase = 0;  // decimator accumulator and increment
  uint16_t decimStep = 0;
  uint16_t symbolPhase = 0;  // symbol clock accumulator and increment per decimated step
  uint16_t symbolStep = 0;

  double carrier = 700.0;  // Hz
  int32_t sampleRate = 0;

  int32_t boxIndex = 0;
  int32_t boxLength = 1;

  int32_t firIndex = 0;                  // 0..63
  const int32_t* firTaps = nullptr;      // 64 coefficients of the decoder's filter
  std::array<int32_t, kFirTaps> firI{};  // decimated I and Q rings for that filter
  std::array<int32_t, kFirTaps> firQ{};

  // Moving-sum history rings: I first stage, Q first stage, I second stage, Q second stage.
  std::array<std::array<int32_t, kBoxMax>, 4> hist{};
  std::array<int32_t, 4> sums{};

  int32_t decimRate;  // Hz
  double symbolRate;  // baud

 protected:
  // Two-stage moving sum of one branch: first stage ring a, second stage ring b.
  void FilterPair(int a, int b, int32_t v) {
    sums[a] += v - hist[a][boxIndex];
    hist[a][boxIndex] = v;
    sums[b] += sums[a] - hist[b][boxIndex];
    hist[b][boxIndex] = sums[a];
  }
  // True when the 16-bit decimator accumulator wraps.
  bool AdvanceDecimator() {
    const uint32_t d = static_cast<uint32_t>(decimPhase) + decimStep;
    decimPhase = static_cast<uint16_t>(d);
    return d > 0xFFFF;
  }
  void RecomputePhaseStep();

  const int32_t* sine_;
};

// Phase increment for a frequency: trunc(hz / rate * 65536), wrapped to 16 bits; 0 for rate 0.
uint16_t PhaseStepFor(double hz, int32_t rate);

}  // namespace vexa::engine
