#include "decoders/mtty_best.h"

#include <algorithm>
#include <cmath>

#include "decoders/rtty_receiver.h"

namespace vexa::decoders {
namespace {

// The low-pass filter: Gaussian, bandwidth-time product kFilterBt (3 dB bandwidth over the baud
// rate), two bits long.
constexpr double kFilterBt = 0.8;
// Averaging, in bits: of |p| for the normalisation, of the two powers for the squelch, of p^2
// for the frequency offset (long: a short one wanders at low signal-to-noise ratios and costs
// more characters than it saves).
constexpr float kMagnitudeBits = 4;
constexpr double kPresenceBits = 8;
constexpr float kOffsetBits = 64;
// Squelch on the share of the front end's power that passes the low-pass filter: white noise
// alone gives 0.10 to 0.23 (20 s of it, three seeds), a clean signal 0.94, one at -9 dB (noise
// in 2500 Hz) 0.36 to 0.54; it opens above 0.30 and closes below 0.26. The share is blind to
// the keying and to its timing (a measure on p itself is not: a character of alternating bits
// turns p as little as noise does, and the 1.5 stop bits move the bit phase from character to
// character). Frames are searched kLagBits behind the newest step, the time the average needs
// to open on a new signal.
constexpr float kSquelchOpen = 0.30f;
constexpr float kSquelchClose = 0.26f;
constexpr double kLagBits = 8;
// The signal is gone when its power stays below a quarter of the peak (half the amplitude) for
// a whole bit.
constexpr float kGoneLevel = 0.25f;
// The front end's sums are large integers; this brings them near 1.
constexpr float kInputScale = 1.0f / 65536.0f;

}  // namespace

MttyBest::MttyBest(engine::RxTextQueue* out)
    : ReceiveChannel(kRttyDecimRate, kRttyDefaultBaud), decoder(out) {
  Configure();
}

void MttyBest::SetSymbolRate(double baud) {
  if (!(baud >= kMinBaud && baud <= kMaxBaud)) return;
  ReceiveChannel::SetSymbolRate(baud);
  Configure();
}

void MttyBest::ResetFilters() {
  ReceiveChannel::ResetFilters();
  Configure();
}

void MttyBest::SetCarrier(double hz) {
  const double moved = hz - carrier;
  ReceiveChannel::SetCarrier(hz);
  // A signal d Hz above the centre turns p by -2 pi d / baud per bit, and p^2 by twice that.
  const double baud = fs_ / stepsPerBit_;
  if (std::isfinite(moved)) {
    sq_ *= std::polar(1.0, 4 * M_PI * moved / baud);
    turn_ = std::clamp(turn_ + 2 * M_PI * moved / baud, -M_PI / 2, M_PI / 2);
  }
}

double MttyBest::offsetHz() const {
  // The front end turns a signal above the centre the other way.
  return -turn_ * fs_ / (2 * M_PI * stepsPerBit_);
}

// Derives the filter, the delay and the clock from the rates; clears every state.
void MttyBest::Configure() {
  fs_ = static_cast<double>(sampleRate) * decimStep / 65536.0;  // about 750 Hz
  if (!(fs_ > 0)) fs_ = kRttyDecimRate;
  const double baud = symbolRate >= kMinBaud && symbolRate <= kMaxBaud ? symbolRate : 45.45;
  stepsPerBit_ = fs_ / baud;
  // Gaussian impulse response: sigma = sqrt(ln 2) / (2 pi B) for a 3 dB bandwidth B.
  const double sigma = std::sqrt(std::log(2.0)) / (2 * M_PI * kFilterBt * baud) * fs_;
  const int half = std::clamp(static_cast<int>(std::lround(stepsPerBit_)), 1, (kMaxTaps - 1) / 2);
  taps_ = 2 * half + 1;
  double sum = 0;
  for (int k = 0; k < taps_; ++k) {
    const double t = k - half;
    coef_[static_cast<size_t>(k)] = static_cast<float>(std::exp(-0.5 * t * t / (sigma * sigma)));
    sum += coef_[static_cast<size_t>(k)];
  }
  for (int k = 0; k < taps_; ++k) coef_[static_cast<size_t>(k)] /= static_cast<float>(sum);
  in_.fill({0, 0});
  inIndex_ = 0;
  line_.fill({0, 0});
  lineIndex_ = 0;
  sq_ = {0, 0};
  turn_ = 0;
  mag_ = powerPeak_ = presence_ = 0;
  wide_ = narrow_ = 0;
  open_ = false;
  goneSteps_ = 0;
  steps_ = 0;
  sync_.Reset(stepsPerBit_, kLagBits * stepsPerBit_);
}

void MttyBest::ProcessDecimated() {
  // Low-pass at the centre.
  const int newest = inIndex_;
  in_[static_cast<size_t>(inIndex_)] = std::complex<float>(
      static_cast<float>(FilteredI()) * kInputScale, static_cast<float>(FilteredQ()) * kInputScale);
  inIndex_ = inIndex_ + 1 >= taps_ ? 0 : inIndex_ + 1;
  std::complex<float> s{0, 0};
  for (int k = 0, i = inIndex_; k < taps_; ++k, i = i + 1 >= taps_ ? 0 : i + 1)
    s += coef_[static_cast<size_t>(k)] * in_[static_cast<size_t>(i)];

  // The value one bit ago, between the two neighbouring steps.
  line_[static_cast<size_t>(lineIndex_)] = s;
  const auto whole = static_cast<int>(std::floor(stepsPerBit_));
  const auto frac = static_cast<float>(stepsPerBit_ - whole);
  const auto at = [&](int back) {
    return line_[static_cast<size_t>((lineIndex_ - back + kMaxDelay) % kMaxDelay)];
  };
  const std::complex<float> old = (1 - frac) * at(whole) + frac * at(whole + 1);
  lineIndex_ = lineIndex_ + 1 >= kMaxDelay ? 0 : lineIndex_ + 1;
  ++steps_;

  std::complex<float> p = s * std::conj(old);
  const auto bit = static_cast<float>(stepsPerBit_);
  sq_ += (std::complex<double>(p * p) - sq_) / static_cast<double>(kOffsetBits * bit);
  // Take the mistuned turn out: half the angle of -p^2. Half an angle is ambiguous by a half
  // turn, which would swap mark and space: while the squelch is open the turn may cross zero
  // but not jump between the ends of its range (an unkeyed carrier on the centre sits there,
  // and noise would flip it from one end to the other).
  if (std::abs(sq_) > 0) {
    double turn = 0.5 * std::arg(-sq_);
    if (open_ && turn - turn_ > M_PI / 2) turn -= M_PI;
    if (open_ && turn_ - turn > M_PI / 2) turn += M_PI;
    turn_ = std::clamp(turn, -M_PI / 2, M_PI / 2);
    p *= std::polar(1.0f, static_cast<float>(-turn_));
  }
  const float m = std::abs(p);
  mag_ += (m - mag_) / (kMagnitudeBits * bit);
  const double squelchRate = 1.0 / (kPresenceBits * bit);
  wide_ +=
      (std::norm(std::complex<double>(in_[static_cast<size_t>(newest)])) - wide_) * squelchRate;
  narrow_ += (std::norm(std::complex<double>(s)) - narrow_) * squelchRate;
  presence_ = wide_ > 1e-24 ? static_cast<float>(narrow_ / wide_) : 0;
  if (presence_ > kSquelchOpen) open_ = true;
  if (presence_ < kSquelchClose) open_ = false;

  // The front end turns a tone above the centre to negative frequency: the upper tone turns p
  // down by a quarter turn.
  float v = mag_ > 1e-12f ? -p.imag() / mag_ : 0;
  if (invert) v = -v;
  const float power = std::norm(s);
  powerPeak_ += (power - powerPeak_) * (power > powerPeak_ ? 4 / bit : 1 / (16 * bit));
  goneSteps_ = power < kGoneLevel * powerPeak_ ? goneSteps_ + 1 : 0;
  // Until the delay line holds a whole bit, and once the signal is gone, the line is at mark.
  if (steps_ <= static_cast<int64_t>(taps_ + whole + 1) || goneSteps_ >= whole || !(mag_ > 0))
    v = std::fabs(v) + 1e-3f;
  discOut = v;
  sync_.Push(v, decoder, open_);
}

}  // namespace vexa::decoders
