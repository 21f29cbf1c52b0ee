#include "packet/correlator_demodulator.h"

#include <cmath>

#include "packet/fcs16.h"

namespace vexa::packet {
namespace {

constexpr double kPi = 3.14159265358979323846;
// At each data transition the bit clock keeps this share of its phase error: slow enough that
// transitions moved by noise do not throw it, fast enough to lock within the TX delay.
constexpr double kClockInertia = 0.8;

// A windowed-sinc band-pass from lowHz to highHz.
std::vector<float> BandPass(double lowHz, double highHz, int rate, int taps) {
  std::vector<float> h(static_cast<size_t>(taps));
  const double fl = lowHz / rate, fh = highHz / rate;
  const int c = taps / 2;
  for (int i = 0; i < taps; ++i) {
    const int k = i - c;
    const double ideal =
        k == 0 ? 2 * (fh - fl)
               : (std::sin(2 * kPi * fh * k) - std::sin(2 * kPi * fl * k)) / (kPi * k);
    const double w = 0.42 - 0.5 * std::cos(2 * kPi * i / (taps - 1)) +
                     0.08 * std::cos(4 * kPi * i / (taps - 1));  // Blackman
    h[static_cast<size_t>(i)] = static_cast<float>(ideal * w);
  }
  return h;
}

// Follows a peak fast and lets it sink slowly (and the valley the other way). The slow rate
// keeps a tone's range over a run of several bits of the other tone.
void Track(float v, float& peak, float& valley) {
  constexpr float kAttack = 0.5f, kDecay = 0.0005f;  // per sample
  peak = v > peak ? peak + (v - peak) * kAttack : peak - (peak - v) * kDecay;
  valley = v < valley ? valley + (v - valley) * kAttack : valley + (v - valley) * kDecay;
}

}  // namespace

CorrelatorDemodulator::CorrelatorDemodulator(const CorrelatorParams& p) : p_(p) {
  if (p_.sampleRate < 1000) p_.sampleRate = 11025;
  if (p_.bitRate < 1) p_.bitRate = 1;
  const double bitSamples = static_cast<double>(p_.sampleRate) / p_.bitRate;
  const double lo = std::fmin(p_.markHz, p_.spaceHz), hi = std::fmax(p_.markHz, p_.spaceHz);
  // The band-pass spans the pair plus half the bit rate on each side, over about 3 bits.
  int taps = static_cast<int>(bitSamples * 3) | 1;
  if (taps < 15) taps = 15;
  if (taps > 255) taps = 255;
  bandpass_ = BandPass(std::fmax(50.0, lo - p_.bitRate * 0.5),
                       std::fmin(p_.sampleRate * 0.49, hi + p_.bitRate * 0.5), p_.sampleRate, taps);
  input_.assign(bandpass_.size() * 2, 0.0f);
  // The correlation runs over a little more than one bit (a flat window): the tones are told
  // apart better than over exactly one bit, and the bit clock still sees each bit's middle.
  int n = static_cast<int>(std::lround(bitSamples * 1.2));
  if (n < 2) n = 2;
  if (n > 512) n = 512;
  span_ = static_cast<size_t>(n);
  for (auto& m : mixed_) m.assign(span_, 0.0f);
  for (size_t i = 0; i < cosTable_.size(); ++i)
    cosTable_[i] = static_cast<float>(std::cos(2 * kPi * static_cast<double>(i) / 1024));
  markStep_ = static_cast<uint32_t>(p_.markHz / p_.sampleRate * 4294967296.0);
  spaceStep_ = static_cast<uint32_t>(p_.spaceHz / p_.sampleRate * 4294967296.0);
  pllStep_ = static_cast<uint32_t>(4294967296.0 * p_.bitRate / p_.sampleRate);
  const double gains[kSlicers] = {0.5, 0.63, 0.8, 1.0, 1.25, 1.6, 2.0};
  for (int i = 0; i < kSlicers; ++i) {
    slicers_[static_cast<size_t>(i)].gain = gains[i];
    slicers_[static_cast<size_t>(i)].hdlc.set_sink(this);
  }
  dedupeWindow_ = p_.sampleRate / 20;  // 50 ms: far shorter than any frame
}

void CorrelatorDemodulator::Reset() {
  std::fill(input_.begin(), input_.end(), 0.0f);
  for (auto& m : mixed_) std::fill(m.begin(), m.end(), 0.0f);
  sums_.fill(0.0);
  inputPos_ = mixedPos_ = 0;
  markPhase_ = spacePhase_ = 0;
  markPeak_ = markValley_ = spacePeak_ = spaceValley_ = 0;
  for (auto& s : slicers_) {
    s.pll = 0;
    s.lastSign = s.lastLevel = s.run = 0;
    s.hdlc.Reset();
  }
  recent_.fill(Recent{});
  samples_ = 0;
  transitionError_ = 0.5;
  level_ = 0;
}

void CorrelatorDemodulator::ProcessSample(int16_t x) {
  ++samples_;
  // Band-pass over the ring (stored twice so that the taps read one straight run).
  const size_t nb = bandpass_.size();
  input_[inputPos_] = input_[inputPos_ + nb] = static_cast<float>(x) * (1.0f / 32768.0f);
  inputPos_ = (inputPos_ + 1) % nb;
  float y = 0;
  const float* in = &input_[inputPos_];
  for (size_t k = 0; k < nb; ++k) y += bandpass_[k] * in[k];

  // Mix with both tones and correlate: running sums over the span.
  markPhase_ += markStep_;
  spacePhase_ += spaceStep_;
  const float mc = cosTable_[markPhase_ >> 22], ms = cosTable_[(markPhase_ - 0x40000000u) >> 22];
  const float sc = cosTable_[spacePhase_ >> 22], ss = cosTable_[(spacePhase_ - 0x40000000u) >> 22];
  const float v[4] = {y * mc, y * ms, y * sc, y * ss};
  for (size_t j = 0; j < 4; ++j) {
    sums_[j] += v[j] - mixed_[j][mixedPos_];
    mixed_[j][mixedPos_] = v[j];
  }
  mixedPos_ = (mixedPos_ + 1) % span_;
  if (mixedPos_ == 0) {
    // Start the sums afresh once per span so that rounding cannot build up.
    for (size_t j = 0; j < 4; ++j) {
      double t = 0;
      for (float m : mixed_[j]) t += m;
      sums_[j] = t;
    }
  }
  const float mark = static_cast<float>(std::sqrt(sums_[0] * sums_[0] + sums_[1] * sums_[1]));
  const float space = static_cast<float>(std::sqrt(sums_[2] * sums_[2] + sums_[3] * sums_[3]));

  // Each tone scaled to its own range, so that twisted levels weigh alike.
  Track(mark, markPeak_, markValley_);
  Track(space, spacePeak_, spaceValley_);
  const float mr = markPeak_ - markValley_, sr = spacePeak_ - spaceValley_;
  const double m = mr > 1e-9f ? (mark - markValley_) / mr : 0.0;
  const double s = sr > 1e-9f ? (space - spaceValley_) / sr : 0.0;
  for (auto& sl : slicers_) Clock(sl, m * sl.gain - s);
}

void CorrelatorDemodulator::Clock(Slicer& s, double d) {
  const int sign = d >= 0 ? 1 : 0;
  const int32_t before = s.pll;
  s.pll = static_cast<int32_t>(static_cast<uint32_t>(s.pll) + pllStep_);
  if (s.pll < 0 && before >= 0) {
    // The middle of a bit: take it, and report the runs between level changes.
    ++s.run;
    if (sign != s.lastLevel) {
      s.hdlc.Run(s.run > 8 ? 8 : s.run);
      s.run = 0;
      s.lastLevel = sign;
    } else if (s.run > 8) {
      s.hdlc.Run(8);
      s.run = 0;
    }
  }
  if (sign != s.lastSign) {
    // A data transition belongs at phase 0, between two bit middles: pull the clock there.
    if (&s == &slicers_[kSlicers / 2]) {
      const double e = std::fabs(static_cast<double>(s.pll)) / 2147483648.0;
      transitionError_ += (e - transitionError_) * 0.05;
      level_ = static_cast<int32_t>(32767.0 * (1.0 - transitionError_));
    }
    s.pll = static_cast<int32_t>(static_cast<double>(s.pll) * kClockInertia);
    s.lastSign = sign;
  }
}

int CorrelatorDemodulator::checks() const {
  int n = 0;
  for (const auto& s : slicers_) n += s.hdlc.fcsFailures() + s.hdlc.framesPassed();
  return n;
}

int CorrelatorDemodulator::passed() const {
  int n = 0;
  for (const auto& s : slicers_) n += s.hdlc.framesPassed();
  return n;
}

void CorrelatorDemodulator::OnFrame(std::span<const uint8_t> frame) {
  const uint16_t fcs = Fcs16(frame);
  for (const Recent& r : recent_) {
    if (r.at >= 0 && r.fcs == fcs && r.length == frame.size() && samples_ - r.at < dedupeWindow_)
      return;  // another slicer had it already
  }
  recent_[recentNext_] = Recent{fcs, frame.size(), samples_};
  recentNext_ = (recentNext_ + 1) % recent_.size();
  EmitFrame(frame);
}

}  // namespace vexa::packet
