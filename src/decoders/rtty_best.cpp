#include "decoders/rtty_best.h"

#include <algorithm>
#include <cmath>

#include "decoders/rtty_receiver.h"

namespace vexa::decoders {
namespace {

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
  sync_.Reset(stepsPerBit_);
  presence_ = 0;
  open_ = false;
  goneSteps_ = 0;
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
  sync_.Push(v, decoder);
}

}  // namespace vexa::decoders
