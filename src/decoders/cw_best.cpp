#include "decoders/cw_best.h"

#include <algorithm>
#include <cmath>

#include "decoders/cw_decoder.h"

namespace vexa::decoders {
namespace {

constexpr int kStartAverageSteps = 10;  // 20 ms before the speed is known
constexpr float kMinUnit = 10;          // 20 ms (60 WPM) .. 150 ms (8 WPM)
constexpr float kMaxUnit = 75;
// Trackers: the tone level follows the envelope while keyed, the noise level while not, each
// in about a second, quickly towards a new extreme.
constexpr float kSlow = 1.0f / 500;
constexpr float kFast = 1.0f / 20;
constexpr float kSquelchRatio = 4.0f;  // tone level over noise level needed to key at all
constexpr float kUnitGain = 0.25f;

}  // namespace

CwBest::CwBest(engine::RxTextQueue* sink)
    : ReceiveChannel(CwDecoder::kDecimRateHz, 0.0), sink_(sink) {}

void CwBest::ResetFilters() {
  ReceiveChannel::ResetFilters();
  Clear();
}

void CwBest::Clear() {
  std::fill(std::begin(ringI_), std::end(ringI_), 0.0f);
  std::fill(std::begin(ringQ_), std::end(ringQ_), 0.0f);
  ringIndex_ = 0;
  peak_ = floor_ = 0;
  warm_ = 0;
  warmEnv_.fill(0);
  raw_ = elemDown_ = false;
  elemLen_ = oppLen_ = 0;
  unit_ = 0;
  firstMark_ = 0;
  bits_ = 0;
  count_ = 0;
  letterDone_ = wordDone_ = true;
}

void CwBest::ProcessDecimated() {
  ringI_[ringIndex_] = static_cast<float>(FilteredI()) * (1.0f / 65536);
  ringQ_[ringIndex_] = static_cast<float>(FilteredQ()) * (1.0f / 65536);
  const int len =
      unit_ > 0 ? std::clamp(static_cast<int>(0.8f * unit_), 4, kRing) : kStartAverageSteps;
  float si = 0, sq = 0;
  for (int k = 0; k < len; ++k) {
    const int j = (ringIndex_ - k + kRing) % kRing;
    si += ringI_[j];
    sq += ringQ_[j];
  }
  ringIndex_ = (ringIndex_ + 1) % kRing;
  const float env = std::sqrt(si * si + sq * sq) / static_cast<float>(len);
  if (warm_ < kWarmSteps) {
    // From cold the first envelopes are only kept: the levels start from them (the tone level
    // the largest, the noise level the lower quartile), and then they are decided, so a
    // signal that is there from the first moment loses nothing.
    warmEnv_[warm_++] = env;
    if (warm_ < kWarmSteps) return;
    std::array<float, kWarmSteps> sorted = warmEnv_;
    std::sort(sorted.begin(), sorted.end());
    peak_ = sorted.back();
    floor_ = sorted[kWarmSteps / 4];
    for (float e : warmEnv_) Decide(e);
    return;
  }
  Decide(env);
}

void CwBest::Decide(float env) {
  // Levels and the keying decision with hysteresis.
  const float span = peak_ - floor_;
  const bool clear = peak_ > kSquelchRatio * floor_;
  if (!clear) {
    raw_ = false;
  } else if (raw_) {
    raw_ = env > floor_ + 0.4f * span;
  } else {
    raw_ = env > floor_ + 0.6f * span;
  }
  if (env > peak_) {
    peak_ += (env - peak_) * kFast * 4;
  } else if (raw_) {
    peak_ += (env - peak_) * kSlow * 4;
  } else {
    peak_ += (floor_ - peak_) * kSlow * 0.25f;  // a tone gone for long fades out of it
  }
  if (!raw_) floor_ += (env - floor_) * kSlow * (env < floor_ ? 4 : 1);

  // Runs into elements, glitches bridged.
  const int glitch = unit_ > 0 ? std::max(3, static_cast<int>(0.35f * unit_)) : 4;
  if (raw_ == elemDown_) {
    elemLen_ += 1 + oppLen_;
    oppLen_ = 0;
  } else if (++oppLen_ >= glitch) {
    Element(elemDown_, elemLen_);
    elemDown_ = raw_;
    elemLen_ = oppLen_;
    oppLen_ = 0;
  }
  // A space that goes on ends the letter at two units and the word at five.
  if (!elemDown_ && unit_ > 0) {
    const int gap = elemLen_ + oppLen_;
    if (!letterDone_ && gap >= 2 * unit_) EndLetter();
    if (!wordDone_ && gap >= 5 * unit_) {
      Put(' ');
      wordDone_ = true;
    }
  }
}

void CwBest::Element(bool down, int len) {
  if (len <= 0) return;
  if (down) {
    if (unit_ <= 0) {
      // Before the speed is known the first mark is held as a dot of its own length; the
      // first space decides.
      unit_ = 0;
      firstMark_ = len;
    }
    if (count_ < 16) {
      const bool dash = unit_ > 0 ? len > 2 * unit_ : false;
      if (dash) bits_ |= 1u << count_;
      ++count_;
      if (unit_ > 0) {
        const float u = dash ? len / 3.0f : static_cast<float>(len);
        unit_ = std::clamp(unit_ + kUnitGain * (u - unit_), kMinUnit, kMaxUnit);
      }
    }
    letterDone_ = wordDone_ = false;
    return;
  }
  // A space.
  if (unit_ <= 0 && firstMark_ > 0) {
    unit_ = std::clamp(static_cast<float>(std::min(firstMark_, len)), kMinUnit, kMaxUnit);
    // The held first mark, now classed.
    if (firstMark_ > 2 * unit_) bits_ |= 1u;
    firstMark_ = 0;
  }
  if (unit_ <= 0) return;
  if (len < 2 * unit_) {
    unit_ = std::clamp(unit_ + kUnitGain * (len - unit_), kMinUnit, kMaxUnit);
    return;
  }
  if (!letterDone_) EndLetter();
  if (!wordDone_ && len >= 5 * unit_) {
    Put(' ');
    wordDone_ = true;
  }
}

void CwBest::EndLetter() {
  letterDone_ = true;
  if (count_ == 0) return;
  const int c = MorseLookup((1u << count_) | bits_);
  if (c >= 0) Put(static_cast<uint8_t>(c));
  bits_ = 0;
  count_ = 0;
}

}  // namespace vexa::decoders
