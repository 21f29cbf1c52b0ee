#include "decoders/psk_best.h"

#include <algorithm>
#include <cmath>

namespace vexa::decoders {
namespace {

constexpr double kTwoPi = 2 * M_PI;
// Timing: the energy profile is averaged over about 32 symbols; each symbol instant moves a
// fifth of the way to where the profile puts it.
constexpr float kTimingAverage = 1.0f / (32.0f * PskBest::kStepsPerSymbol);
constexpr double kTimingGain = 0.2;
// Frequency: the phase steps' deviations from the nearest decided step are averaged over about
// 10 symbols, and the rotator takes out 2 % of the residual per symbol; it never goes beyond
// 20 Hz.
constexpr float kFreqAverage = 0.1f;
constexpr double kFreqGain = 0.02;
constexpr double kMaxOffsetHz = 20;
// Decision feedback: share of the previous reference kept in the next one.
constexpr float kBpskFeedback = 0.5f;
constexpr float kQpskFeedback = 0.0f;
// Coherence of the phase steps and the share of quarter turns, averaged over 16 symbols.
// The matched filter's output at a symbol instant holds a sixth of each neighbouring symbol
// (the pulse's autocorrelation one symbol away against its peak); that much of the neighbours
// is taken away again, which matters for QPSK where it would turn the steps by up to 37 degrees.
constexpr float kNeighbourShare = 1.0f / 6;
constexpr float kCoherenceAverage = 1.0f / 16;
// Squelch on the contrast: the power out of the matched filter against the power of the front
// end's wider band, averaged over about 32 symbols and scaled so that white noise alone gives
// 1. A PSK31 signal raises it (about 4 at -14 dB in 2500 Hz).
constexpr float kContrastAverage = 1.0f / (32.0f * PskBest::kStepsPerSymbol);
constexpr float kNoiseContrast = 0.07f;
constexpr float kSquelchOpen = 1.8f;
constexpr float kSquelchClose = 1.5f;
// The end of a transmission: the matched filter's power over the last 8 symbols falls below
// half its long average (noise alone there is at most 1/1.8 of it).
constexpr float kShortAverage = 1.0f / (8.0f * PskBest::kStepsPerSymbol);
constexpr float kGoneShare = 0.5f;

// Channel symbol expected for each 5-bit encoder register (bit 0 the newest bit).
constexpr int Expected(unsigned i) {
  return 2 * (__builtin_popcount(i & 0x19) & 1) + (__builtin_popcount(i & 0x17) & 1);
}

std::complex<float> Power(std::complex<float> u, int m) {
  std::complex<float> r = u * u;
  if (m == 4) r *= r;
  return r;
}

}  // namespace

PskBest::PskBest(engine::RxTextQueue* out)
    : ReceiveChannel(kPskDecimRate, kPskBaud), varicode(out), out_(out) {
  // The raised-cosine symbol pulse, two symbols long, centred between taps 15 and 16.
  for (int n = 0; n < kPulseTaps; ++n) {
    const double c = std::cos(M_PI * (n - (kPulseTaps - 1) / 2.0) / kPulseTaps);
    pulse_[static_cast<size_t>(n)] = static_cast<float>(c * c / kStepsPerSymbol);
  }
  Configure();
}

void PskBest::SetQpsk(bool on) {
  if (on == qpsk_) return;
  qpsk_ = on;
  Configure();
}

void PskBest::ResetFilters() {
  ReceiveChannel::ResetFilters();
  omega_ = 0;
  Configure();
}

void PskBest::SetCarrier(double hz) {
  const uint16_t before = phaseStep;
  ReceiveChannel::SetCarrier(hz);
  // The front end turns a signal d Hz above the carrier into a rotation of -d Hz: moving the
  // carrier up by delta turns the signal's rotation by +delta.
  const auto delta = static_cast<int16_t>(static_cast<uint16_t>(phaseStep - before));
  const double deltaHz = delta * static_cast<double>(sampleRate) / 65536.0;
  if (std::fabs(deltaHz) > kMaxOffsetHz) {
    // Tuned to another signal: start afresh.
    omega_ = 0;
    Configure();
    return;
  }
  const double limit = kTwoPi * kMaxOffsetHz / stepsPerSecond_;
  omega_ = std::clamp(omega_ + kTwoPi * deltaHz / stepsPerSecond_, -limit, limit);
}

double PskBest::offsetHz() const {
  return -omega_ * stepsPerSecond_ / kTwoPi;
}

// Clears the demodulator's state (not the tracked frequency, which belongs to the signal).
void PskBest::Configure() {
  stepsPerSecond_ = static_cast<double>(sampleRate) * decimStep / 65536.0;
  if (!(stepsPerSecond_ > 0)) stepsPerSecond_ = kPskDecimRate;
  stepsPerSymbol_ = stepsPerSecond_ / kPskBaud;
  rot_ = {1, 0};
  in_.fill({0, 0});
  inIndex_ = 0;
  lastOut_ = prev_ = prevPrev_ = {0, 0};
  now_ = 0;
  timing_ = {0, 0};
  nextInstant_ = stepsPerSymbol_;
  ref_ = {0, 0};
  power_ = 0;
  freqAvg_ = coherenceAvg_ = {0, 0};
  coherence_ = quarterAvg_ = 0;
  mfPower_ = widePower_ = contrast_ = shortPower_ = 0;
  openHistory_ = 0;
  bpskBits_ = 0;
  open_ = false;
  metric_.fill(0);
  // Paths of ones: the decoder starts as after idle (the inverted zeros of the preamble), so
  // its first decisions are no characters.
  history_.fill(~uint64_t{0});
  symbols_ = 0;
  varicode.Reset();
  varicode.sink = nullptr;
  varicode.quality = varicode.qpskLikeness = 0;
}

void PskBest::ProcessDecimated() {
  // The residual rotation taken out, then the matched filter.
  rot_ *= std::polar(1.0, omega_);
  rot_ /= std::abs(rot_);
  const std::complex<double> zin(FilteredI(), FilteredQ());
  const auto z = std::complex<float>(zin * std::conj(rot_) * (1.0 / 65536.0));
  in_[static_cast<size_t>(inIndex_)] = z;
  inIndex_ = (inIndex_ + 1) % kPulseTaps;
  std::complex<float> y{0, 0};
  for (int k = 0; k < kPulseTaps; ++k) {
    y += pulse_[static_cast<size_t>(k)] * in_[static_cast<size_t>((inIndex_ + k) % kPulseTaps)];
  }
  const float e = std::norm(y);
  mfPower_ += (e - mfPower_) * kContrastAverage;
  widePower_ += (std::norm(z) - widePower_) * kContrastAverage;
  contrast_ = widePower_ > 0 ? mfPower_ / (widePower_ * kNoiseContrast) : 0;
  shortPower_ += (e - shortPower_) * kShortAverage;
  if (contrast_ > kSquelchOpen) open_ = true;
  if (contrast_ < kSquelchClose) open_ = false;
  if (open_ && shortPower_ < kGoneShare * mfPower_) {
    // Gone: the averages start again from the noise, so the squelch does not reopen on the
    // signal's past.
    open_ = false;
    mfPower_ = shortPower_;
  }
  level = e > 1 ? static_cast<int32_t>(std::log2(e)) : 0;

  // The energy profile's fundamental at this step's position within the symbol.
  const double pos = std::fmod(static_cast<double>(now_), stepsPerSymbol_) / stepsPerSymbol_;
  timing_ += (std::polar(e, static_cast<float>(kTwoPi * pos)) - timing_) * kTimingAverage;

  const double t = static_cast<double>(now_);
  if (t >= nextInstant_) {
    const auto frac = static_cast<float>(nextInstant_ - (t - 1));  // 0 .. 1
    const std::complex<float> zk = lastOut_ + (y - lastOut_) * frac;
    Symbol(prev_ - kNeighbourShare * (prevPrev_ + zk));
    prevPrev_ = prev_;
    prev_ = zk;
    // Where the profile puts the instant, and the error of the current one, in steps.
    const double want = std::arg(timing_) / kTwoPi;
    const double have = std::fmod(nextInstant_, stepsPerSymbol_) / stepsPerSymbol_;
    double err = want - have;
    err -= std::round(err);
    nextInstant_ += stepsPerSymbol_;
    if (std::abs(timing_) > 1e-6f) nextInstant_ += kTimingGain * err * stepsPerSymbol_;
    if (nextInstant_ <= t) nextInstant_ = t + 1;
  }
  lastOut_ = y;
  ++now_;
}

void PskBest::Symbol(std::complex<float> z) {
  const float p = std::norm(z);
  power_ = symbols_ == 0 ? p : power_ + (p - power_) * 0.05f;
  ++symbols_;
  const std::complex<float> w = z * std::conj(ref_);
  const float mag = std::abs(w);
  const std::complex<float> u = mag > 0 ? w / mag : std::complex<float>(0, 0);

  // The decided step: the nearest half turn (BPSK) or quarter turn (QPSK).
  std::complex<float> r(u.real() >= 0 ? 1.0f : -1.0f, 0);
  if (qpsk_ && std::fabs(u.imag()) > std::fabs(u.real())) r = {0, u.imag() >= 0 ? 1.0f : -1.0f};
  // Residual frequency from the deviations of the steps from the decided ones.
  freqAvg_ += (w * std::conj(r) / std::max(power_, 1e-12f) - freqAvg_) * kFreqAverage;
  if (symbols_ > 4 && open_) {
    const double residual = std::arg(freqAvg_);  // radians per symbol
    const double limit = kTwoPi * kMaxOffsetHz / stepsPerSecond_;
    omega_ = std::clamp(omega_ + kFreqGain * residual / stepsPerSymbol_, -limit, limit);
  }
  coherenceAvg_ += (Power(u, qpsk_ ? 4 : 2) - coherenceAvg_) * kCoherenceAverage;
  coherence_ = std::abs(coherenceAvg_);
  quarterAvg_ += ((1 - (u * u).real()) / 2 - quarterAvg_) * kCoherenceAverage;
  // The squelch of each symbol, kept for the decision delay of the Viterbi decoder.
  openHistory_ = (openHistory_ << 1) | (open_ ? 1u : 0u);
  // On the classic quality scale: the squelch of the window closes below 20 and opens above
  // 200, here a contrast of 1.1 and 3.
  varicode.quality = std::clamp(static_cast<int32_t>((contrast_ - 1) * 95 + 10), 0, 266);
  varicode.qpskLikeness = std::min(256, static_cast<int32_t>(quarterAvg_ * 512));

  const float scale = 1.0f / std::sqrt(std::max(power_, 1e-12f));
  if (qpsk_) {
    DecideQpsk((invert ? std::conj(w) : w) * scale * scale);
    ref_ = z + kQpskFeedback * ref_ * r;
  } else {
    DecideBpsk(w);
    ref_ = z + kBpskFeedback * ref_ * r;
  }
}

void PskBest::DecideBpsk(std::complex<float> w) {
  // No phase reversal is a 1. The bit is handed on kBpskDelay symbols later, and only when the
  // squelch was open then and is open now, so the end of a transmission prints nothing. A bit
  // decided while the squelch was shut goes on as idle (0): noise just before a transmission
  // then cannot combine with its first idle bits into a character.
  bpskBits_ = (bpskBits_ << 1) | (w.real() > 0 ? 1u : 0u);
  if (symbols_ <= kBpskDelay) return;
  const bool openThen = ((openHistory_ >> kBpskDelay) & 1) != 0;
  varicode.sink = (openHistory_ & 1) != 0 && openThen ? out_ : nullptr;
  varicode.PutBit(openThen ? static_cast<int>((bpskBits_ >> kBpskDelay) & 1) : 0);
}

void PskBest::DecideQpsk(std::complex<float> w) {
  // Correlation of the step with each channel symbol: 0 no change, 1 a quarter turn back,
  // 2 a reversal, 3 a quarter turn forward.
  const float bm[4] = {w.real(), -w.imag(), -w.real(), w.imag()};
  std::array<float, kStates> next{};
  std::array<uint64_t, kStates> hist{};
  float best = -1e30f;
  int bestState = 0;
  for (unsigned j = 0; j < kStates; ++j) {
    const unsigned i0 = j, i1 = j + kStates;
    const float a = metric_[i0 >> 1] + bm[Expected(i0)];
    const float b = metric_[i1 >> 1] + bm[Expected(i1)];
    const unsigned i = b >= a ? i1 : i0;
    next[j] = std::max(a, b);
    hist[j] = (history_[i >> 1] << 1) | (i & 1);
    if (next[j] > best) {
      best = next[j];
      bestState = static_cast<int>(j);
    }
  }
  for (int j = 0; j < kStates; ++j) {
    metric_[static_cast<size_t>(j)] = next[static_cast<size_t>(j)] - best;
    history_[static_cast<size_t>(j)] = hist[static_cast<size_t>(j)];
  }
  // The code is sent on the inverted varicode bits; bits of shut-squelch times go on as idle,
  // as for BPSK.
  if (symbols_ > kDecisionDepth) {
    const bool openThen = ((openHistory_ >> kDecisionDepth) & 1) != 0;
    varicode.sink = (openHistory_ & 1) != 0 && openThen ? out_ : nullptr;
    const auto bit =
        static_cast<int>((history_[static_cast<size_t>(bestState)] >> kDecisionDepth) & 1);
    varicode.PutBit(openThen ? 1 - bit : 0);
  }
}

}  // namespace vexa::decoders
