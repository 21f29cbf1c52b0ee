#pragma once
// CW (Morse) decoder on the 500 Hz CW receive channel.
//
// Each decimated step (2 ms) filters the channel's I/Q rings with a narrow low-pass filter and a
// reference filter that has no response at the carrier, compares the tone power with the
// reference power against an adaptive threshold, and decides key-down or key-up. Marks and spaces
// are measured in steps; the dot/dash boundary follows the sender's speed. Element patterns are
// turned into characters with a 256-entry Morse table (first match wins, so letters come out in
// upper case). Characters, word spaces and line breaks go to the received-text queue.
#include <array>
#include <cstdint>

#include "decoders/cw_running_average.h"
#include "engine/receive_channel.h"
#include "engine/rx_text_queue.h"

namespace vexa::decoders {

// Morse table: entry c is the pattern of character c, a leading 1 followed by the elements with
// the first element in bit 0 (dash = 1, dot = 0); entries holding 1 have no pattern.
const std::array<uint8_t, 256>& MorseTable();

// The first character code whose table entry equals pattern, or -1 when none does.
int MorseLookup(uint32_t pattern);

class CwDecoder final : public engine::ReceiveChannel {
 public:
  static constexpr int32_t kDecimRateHz = 500;
  static constexpr int32_t kMinMarkSteps = 9;  // marks of 8 steps (16 ms) or less are ignored
  static constexpr int32_t kMaxDurationSteps = 1 << 24;

  // sink: the received-text queue (may be null: the decoder then only tracks the key state).
  explicit CwDecoder(engine::RxTextQueue* sink = nullptr);

  void ProcessDecimated() override;

  // One key decision (down = tone present) at the decimated rate: measures marks and spaces,
  // adapts the boundary and emits characters. ProcessDecimated calls it after the level detector.
  void StepKey(bool down);

  // Returns the decoder to its start-up state (boundary 40 steps, empty averages).
  void ResetDecoder();

  // Received speed in words per minute (PARIS: a unit lasts 1200 / wpm ms), 0 while unknown.
  // Taken from the difference of the last dash and dot, which is two units: the filters lengthen
  // every mark by about the same amount, so the difference is free of it.
  int SpeedWpm() const {
    const int32_t twoUnits = dashLen - dotLen;  // steps of 2 ms
    return twoUnits > 0 ? (1200 + twoUnits / 2) / twoUnits : 0;
  }

  void set_sink(engine::RxTextQueue* sink) { sink_ = sink; }

  // --- Decoder state (steps of 2 ms); boundary, dotLen, dashLen and keyDown feed the speed
  // display ---
  int32_t keyDown = 0;
  int32_t duration = 0;   // steps since the last change
  int32_t boundary = 40;  // a longer mark is a dash; a space of exactly this length ends a char
  int32_t dashLen = 60;
  int32_t gapLen = 20;
  int32_t dotLen = 20;
  uint32_t morseReg = 1;  // leading 1, then one bit per element (1 = dash), first element highest

  // Level detector averages (powers).
  RunningAverage<5> narrowShort;
  RunningAverage<5> refShort;
  RunningAverage<20> narrowLong;
  RunningAverage<500> floorAvg;

  // Last threshold and level difference, for a tuning display and for tests.
  int64_t threshold = 0;
  int64_t levelDiff = 0;

 private:
  void Decode();
  void Put(uint8_t c) {
    if (sink_ != nullptr) sink_->Put(c);
  }

  engine::RxTextQueue* sink_;
};

}  // namespace vexa::decoders
