#pragma once
// Bit-clock recovery by frames for the stronger Baudot demodulators (RTTY and MTTY best).
//
// The demodulator hands over one decision value per decimated step (positive: mark), taken so
// that a bit's value peaks at the bit's end. The values of the last eight bits are kept, and a
// character's timing is the one whose seven sampling instants (start bit, five data bits, stop
// bit, one bit apart) give the largest decisions with a mark before the start, a space start bit
// and a mark stop bit. The whole frame's energy places the clock, not one noisy edge; a
// character is printed about eight bits after it began (plus the lag, see below).
#include <array>
#include <cstdint>

#include "decoders/baudot_codec.h"

namespace vexa::decoders {

class BaudotFrameSync {
 public:
  static constexpr int kHistory = 1024;  // decision history, steps (more than 8 bits at 10 baud)

  // Clears the history and the search. stepsPerBit: decimated steps per bit (exact). lagSteps:
  // how far behind the newest value the frames are searched, so that a gate decided from later
  // values (a squelch that needs a few bits to open) covers the frame it lets through.
  void Reset(double stepsPerBit, double lagSteps = 0);
  // One decision value. While search is false no new frame is looked for (a search already
  // running is finished). Complete frames go to the decoder.
  void Push(float v, BaudotDecoder& decoder, bool search = true);

 private:
  // The decision value at a fractional step position (absolute steps, within the history).
  float At(double pos) const;
  float FrameScore(double start) const;
  void EmitFrame(double start, BaudotDecoder& decoder) const;

  std::array<float, kHistory> hist_{};
  int64_t now_ = -1;  // absolute step number of the newest decision value
  double bit_ = 16.5;
  double lag_ = 0;
  // The best start instant found so far and its score, the end of the search.
  double bestStart_ = 0;
  float bestScore_ = -1;
  double searchEnd_ = 0;
  double nextStart_ = 0;  // no frame may start before this instant (the previous one's stop)
};

}  // namespace vexa::decoders
