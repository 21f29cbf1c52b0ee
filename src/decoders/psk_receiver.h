#pragma once
// PSK31 reception: the PSK channel's decimated step (filter, level, symbol clock), the symbol
// decoders for BPSK and QPSK (Viterbi, rate 1/2, constraint length 5), the varicode bit decoder
// they share, and the forwarder that routes a channel's symbols to the decoder of the mode.
#include <array>
#include <cstdint>

#include "engine/receive_channel.h"
#include "engine/rx_text_queue.h"

namespace vexa::decoders {

inline constexpr int32_t kPskDecimRate = 500;
inline constexpr double kPskBaud = 31.25;

// The PSK receive channel at 500 Hz: 16 decimated steps per symbol at 31.25 baud. Once per symbol
// it gives the filtered I/Q sums (full 32-bit values) to its listener.
class PskChannel : public engine::ReceiveChannel {
 public:
  PskChannel();
  void ProcessDecimated() override;
};

// BPSK symbol decoder and varicode bit decoder; the base of the QPSK decoder.
class PskDecoder : public engine::SymbolListener {
 public:
  explicit PskDecoder(engine::RxTextQueue* out = nullptr) : sink(out) {}

  // One decided bit into the varicode decoder.
  void PutBit(int bit) override;
  // One symbol: I and Q as the channel's full filter sums.
  void ProcessSymbol(int32_t x, int32_t y, int32_t level) override;
  // Clears the varicode register and the last symbol vector.
  void Reset() override;

  int32_t phaseErrAvg = 0;  // low-passed phase drift per symbol (2^-29 Hz units for AFC)
  int32_t phaseErrSlope = 0;
  int32_t freqErr = 0;   // change of the drift
  int32_t refPhase = 0;  // 2^32 per turn (QPSK: previous angle, 2^18 per turn)
  int32_t prevDrift = 0;
  int32_t quality = 0;       // 0..about 266
  int32_t qpskLikeness = 0;  // grows while quarter-turn steps are seen
  int32_t phaseErr = 0;
  uint16_t channelId = 0;
  uint16_t varicodeReg = 0;
  int32_t prevX = 0;  // last symbol vector >> 17 (QPSK)
  int32_t prevY = 0;
  engine::RxTextQueue* sink = nullptr;
  int32_t prevAngle = 0;
  int32_t runLength = 0;  // symbols without a phase reversal

 protected:
  // The quality counter's run rule: more than 20 symbols near "no change" zero the quality.
  void CountRun(int32_t q8);
};

// The QPSK symbol decoder: phase change in quarter turns and a 16-state Viterbi decoder.
class QpskDecoder : public PskDecoder {
 public:
  static constexpr int kStates = 16;
  static constexpr int kDecisionDepth = 20;

  explicit QpskDecoder(engine::RxTextQueue* out = nullptr);
  void ProcessSymbol(int32_t x, int32_t y, int32_t level) override;
  void Reset() override;

  // Expected channel symbol for each 5-bit register value (bit 0 the newest bit).
  std::array<int32_t, 32> expected{};
  std::array<int32_t, kStates> metric{};
  std::array<uint32_t, kStates> history{};  // unsigned: the paths shift left without bound
  int32_t invert = 0;                       // sideband inversion

  // The Viterbi step for one channel symbol 0..3; returns the decided bit.
  int ViterbiStep(int s);
};

// Passes every call on to its target decoder; the mode change retargets it.
class SymbolForwarder : public engine::SymbolListener {
 public:
  SymbolForwarder(engine::SymbolListener* target, engine::ReceiveChannel* channel)
      : target_(target), channel_(channel) {}
  void SetTarget(engine::SymbolListener* target) { target_ = target; }
  engine::SymbolListener* target() const { return target_; }
  engine::ReceiveChannel* channel() const { return channel_; }

  void PutBit(int bit) override {
    if (target_ != nullptr) target_->PutBit(bit);
  }
  void ProcessSymbol(int32_t x, int32_t y, int32_t level) override {
    if (target_ != nullptr) target_->ProcessSymbol(x, y, level);
  }
  void Reset() override {
    if (target_ != nullptr) target_->Reset();
  }

 private:
  engine::SymbolListener* target_;
  engine::ReceiveChannel* channel_;
};

// Number of binary digits of p (0 when p <= 0).
int32_t BitLength(int32_t p);

// Quarter and eighth turn classes of a 16-bit phase step (65536 per turn), in signed 16-bit
// arithmetic: q4 is 2 for no change, 0 for a reversal, 1 or 3 for a quarter turn; q8 is 4 for
// no change, 0 for a reversal, 2 or 6 for a quarter turn, odd between them.
int32_t QuarterClass(int32_t d);
int32_t EighthClass(int32_t d);

}  // namespace vexa::decoders
