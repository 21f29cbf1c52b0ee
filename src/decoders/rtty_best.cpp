#include "decoders/rtty_best.h"

#include <algorithm>
#include <cmath>

#include "decoders/rtty_receiver.h"

namespace vexa::decoders {
namespace {

// Share of the timing error corrected at an edge inside a character.
// Frame search: how long after the first candidate the search for the best start runs on, and
// how soon after a frame's start the next one may start: a frame with one stop bit lasts 7 bits
// (1.5 is usual, but some stations send one), less a little for timing error.
constexpr double kSearchBits = 0.5;
constexpr double kMinFrameBits = 6.8;
// Squelch on the tone contrast |upper - lower| / (upper + lower), averaged over 16 bits: white
// noise alone sits near 0.30 (at most 0.38 in 20 s of it), a signal of -10 dB in 3 kHz near
// 0.42; the squelch opens above 0.37 and closes below 0.34.
constexpr float kPresenceBits = 16;
constexpr float kSquelchOpen = 0.37f;
constexpr float kSquelchClose = 0.34f;
// The signal is gone when both tones stay below half their peaks for a whole bit (the end of
// a transmission: the trackers and the squelch take longer to notice).
constexpr float kGoneLevel = 0.5f;

}  // namespace

RttyBest::RttyBest(engine::RxTextQueue* out, double shiftHz)
    : ReceiveChannel(kRttyDecimRate, kRttyDefaultBaud), decoder(out), shiftHz_(shiftHz) {
  Configure();
}

void RttyBest::SetSymbolRate(double baud) {
  ReceiveChannel::SetSymbolRate(baud);
  Configure();
}

void RttyBest::SetShift(double hz) {
  if (!(hz >= 10 && hz <= 1000)) return;
  shiftHz_ = hz;
  Configure();
}

void RttyBest::ResetFilters() {
  ReceiveChannel::ResetFilters();
  Configure();
}

// Derives the matched-filter length and the tone rotations from the rates; clears the filters.
void RttyBest::Configure() {
  const double fs = static_cast<double>(sampleRate) * decimStep / 65536.0;  // about 750 Hz
  const double baud = symbolRate > 0 ? symbolRate : kRttyDefaultBaud;
  stepsPerBit_ = fs > 0 ? fs / baud : 16.5;
  bitSteps_ = std::clamp(static_cast<int>(std::lround(stepsPerBit_)), 1, kMaxBitSteps);
  // The front end turns a tone d Hz above the carrier into a rotation of -d Hz; each tone is
  // rotated back to zero.
  const double w = fs > 0 ? 2 * M_PI * (shiftHz_ / 2) / fs : 0;
  upper_.step = std::polar(1.0f, static_cast<float>(w));
  lower_.step = std::polar(1.0f, static_cast<float>(-w));
  for (Tone* t : {&upper_, &lower_}) {
    t->osc = {1, 0};
    t->ring.fill({0, 0});
    t->sum = {0, 0};
    t->peak = t->floor = 0;
  }
  ringIndex_ = 0;
  stepsSinceReset_ = 0;
  hist_.fill(0);
  now_ = -1;
  presence_ = 0;
  open_ = false;
  goneSteps_ = 0;
  bestScore_ = -1;
  nextStart_ = 0;
}

float RttyBest::Tone::Envelope(std::complex<float> z, int index, int length) {
  osc *= step;
  osc *= 1.5f - 0.5f * std::norm(osc);  // keeps |osc| at 1 against rounding
  const std::complex<float> v = z * osc;
  auto& slot = ring[static_cast<size_t>(index)];
  sum += std::complex<double>(v) - std::complex<double>(slot);
  slot = v;
  return static_cast<float>(std::abs(sum)) / static_cast<float>(length);
}

void RttyBest::Tone::Track(float env, bool keyed, float attack, float decay) {
  // The peak follows the envelope while the tone is keyed (quickly up, slowly down); the floor
  // follows it while the tone is off (quickly down, slowly up).
  if (keyed || env > peak) peak += (env - peak) * (env > peak ? attack : decay);
  if (!keyed || env < floor) floor += (env - floor) * (env < floor ? attack : decay);
}

void RttyBest::ProcessDecimated() {
  const std::complex<float> z(static_cast<float>(FilteredI()), static_cast<float>(FilteredQ()));
  const float up = upper_.Envelope(z, ringIndex_, bitSteps_);
  const float lo = lower_.Envelope(z, ringIndex_, bitSteps_);
  ringIndex_ = ringIndex_ + 1 >= bitSteps_ ? 0 : ringIndex_ + 1;

  // Automatic threshold correction: each envelope clipped at its peak and measured from its
  // floor; the decision compares the two weighted by their own swing, and the bias term keeps
  // the threshold in the middle when one tone is weaker than the other.
  const float uSwing = std::max(upper_.peak - upper_.floor, 1e-3f);
  const float lSwing = std::max(lower_.peak - lower_.floor, 1e-3f);
  const float uc = std::min(up, upper_.peak) - upper_.floor;
  const float lc = std::min(lo, lower_.peak) - lower_.floor;
  float v = uc * uSwing - lc * lSwing - 0.25f * (uSwing * uSwing - lSwing * lSwing);
  if (stepsSinceReset_ < 4 * bitSteps_) {
    ++stepsSinceReset_;
    v = up - lo;  // until the trackers have seen both tones
  }
  const bool upperKeyed = up > lo;
  const float attack = std::min(1.0f, 4.0f / static_cast<float>(bitSteps_));
  const float decay = 1.0f / (16.0f * static_cast<float>(bitSteps_));
  upper_.Track(up, upperKeyed, attack, decay);
  lower_.Track(lo, !upperKeyed, attack, decay);
  if (invert) v = -v;
  const float contrast = std::fabs(up - lo) / std::max(up + lo, 1e-3f);
  presence_ += (contrast - presence_) / (kPresenceBits * static_cast<float>(bitSteps_));
  if (presence_ > kSquelchOpen) open_ = true;
  if (presence_ < kSquelchClose) open_ = false;
  const bool gone =
      std::max(up / std::max(upper_.peak, 1e-3f), lo / std::max(lower_.peak, 1e-3f)) < kGoneLevel;
  goneSteps_ = gone ? goneSteps_ + 1 : 0;
  // Without a signal the line reads as idle mark, so noise prints nothing.
  if (!open_ || goneSteps_ >= bitSteps_) v = std::fabs(v) + 1e-3f;
  discOut = v;
  Sample(v);
}

float RttyBest::At(double pos) const {
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
// peaks of the matched filters.
float RttyBest::FrameScore(double start) const {
  const double bit = stepsPerBit_;
  if (!(At(start - bit) > 0 && At(start) < 0 && At(start + 6 * bit) > 0)) return -1;
  float score = 0;
  for (int k = 0; k <= 6; ++k) score += std::fabs(At(start + k * bit));
  return score;
}

// Hands the frame's bits to the Baudot decoder: start, five data bits, stop.
void RttyBest::EmitFrame(double start) {
  const int32_t mark = decoder.markLevel;
  const int32_t space = 1 - mark;
  if (decoder.state != BaudotDecoder::kIdle) (void)decoder.PutBit(mark);  // the line was at mark
  (void)decoder.PutBit(space);
  for (int k = 1; k <= 5; ++k)
    (void)decoder.PutBit(At(start + k * stepsPerBit_) > 0 ? mark : space);
  (void)decoder.PutBit(mark);
}

// Frame-synchronous decisions. v > 0 means mark. The matched filter of a bit peaks at the bit's
// end, so a frame's seven sampling instants lie one bit apart from the end of its start bit.
// Every step tries the frame whose stop instant is the newest value; from the first candidate,
// the search runs on for half a bit and keeps the best-scoring start, then the frame is decoded
// and the next one may start no earlier than a stop bit later.
void RttyBest::Sample(float v) {
  ++now_;
  hist_[static_cast<size_t>(now_ % kHistory)] = v;
  const double bit = stepsPerBit_;
  const double start = static_cast<double>(now_) - 6 * bit;
  // A whole frame must lie inside the history (and after the first step).
  if (start - bit < static_cast<double>(std::max<int64_t>(0, now_ - kHistory + 1))) return;
  if (bestScore_ < 0 && start < nextStart_) return;
  const float score = FrameScore(start);
  if (score > bestScore_) {
    if (bestScore_ < 0) searchEnd_ = start + kSearchBits * bit;
    bestScore_ = score;
    bestStart_ = start;
  }
  if (bestScore_ >= 0 && start >= searchEnd_) {
    EmitFrame(bestStart_);
    nextStart_ = bestStart_ + kMinFrameBits * bit;
    bestScore_ = -1;
  }
}

}  // namespace vexa::decoders
