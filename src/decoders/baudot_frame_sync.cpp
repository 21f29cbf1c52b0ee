#include "decoders/baudot_frame_sync.h"

#include <algorithm>
#include <cmath>

namespace vexa::decoders {
namespace {

// How long after the first candidate the search for the best start runs on, and how soon after
// a frame's start the next one may start: a frame with one stop bit lasts 7 bits (1.5 is
// usual, but some stations send one), less a little for timing error.
constexpr double kSearchBits = 0.5;
constexpr double kMinFrameBits = 6.8;

}  // namespace

void BaudotFrameSync::Reset(double stepsPerBit, double lagSteps) {
  bit_ = stepsPerBit;
  lag_ = std::max(0.0, lagSteps);
  hist_.fill(0);
  now_ = -1;
  bestScore_ = -1;
  nextStart_ = 0;
}

float BaudotFrameSync::At(double pos) const {
  if (now_ < 0) return 0;
  // Before the history has filled, its oldest step is step 0.
  const double oldest = static_cast<double>(std::max<int64_t>(0, now_ - kHistory + 1));
  if (pos < oldest) pos = oldest;
  if (pos > static_cast<double>(now_)) pos = static_cast<double>(now_);
  const auto i = static_cast<int64_t>(std::floor(pos));
  const float f = static_cast<float>(pos - static_cast<double>(i));
  const float a = hist_[static_cast<size_t>(i % kHistory)];
  const float b = i + 1 <= now_ ? hist_[static_cast<size_t>((i + 1) % kHistory)] : a;
  return a + (b - a) * f;
}

// A frame whose start bit is sampled at start: the mark before it, the start bit at space and
// the stop bit at mark make it a candidate (score -1 otherwise); its score is the sum of the
// decision magnitudes at the seven sampling instants, largest where the instants sit on the
// peaks of the decision values.
float BaudotFrameSync::FrameScore(double start) const {
  const double bit = bit_;
  if (!(At(start - bit) > 0 && At(start) < 0 && At(start + 6 * bit) > 0)) return -1;
  float score = 0;
  for (int k = 0; k <= 6; ++k) score += std::fabs(At(start + k * bit));
  return score;
}

// Hands the frame's bits to the Baudot decoder: start, five data bits, stop.
void BaudotFrameSync::EmitFrame(double start, BaudotDecoder& decoder) const {
  const int32_t mark = decoder.markLevel;
  const int32_t space = 1 - mark;
  if (decoder.state != BaudotDecoder::kIdle) (void)decoder.PutBit(mark);  // the line was at mark
  (void)decoder.PutBit(space);
  for (int k = 1; k <= 5; ++k) (void)decoder.PutBit(At(start + k * bit_) > 0 ? mark : space);
  (void)decoder.PutBit(mark);
}

// Frame-synchronous decisions. Every step tries the frame whose stop instant is the newest value
// (less the lag); from the first candidate, the search runs on for half a bit and keeps the
// best-scoring start, then the frame is decoded and the next one may start no earlier than a
// stop bit later.
void BaudotFrameSync::Push(float v, BaudotDecoder& decoder, bool search) {
  ++now_;
  hist_[static_cast<size_t>(now_ % kHistory)] = v;
  const double bit = bit_;
  const double start = static_cast<double>(now_) - 6 * bit - lag_;
  // A whole frame must lie inside the history (and after the first step).
  if (start - bit < static_cast<double>(std::max<int64_t>(0, now_ - kHistory + 1))) return;
  if (bestScore_ < 0 && (start < nextStart_ || !search)) return;
  const float score = search ? FrameScore(start) : -1;
  if (score > bestScore_) {
    if (bestScore_ < 0) searchEnd_ = start + kSearchBits * bit;
    bestScore_ = score;
    bestStart_ = start;
  }
  if (bestScore_ >= 0 && start >= searchEnd_) {
    EmitFrame(bestStart_, decoder);
    nextStart_ = bestStart_ + kMinFrameBits * bit;
    bestScore_ = -1;
  }
}

}  // namespace vexa::decoders
