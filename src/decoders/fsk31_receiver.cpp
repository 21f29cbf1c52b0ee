#include "decoders/fsk31_receiver.h"

#include <algorithm>

#include "decoders/fixed_point.h"

namespace vexa::decoders {
namespace {

// Low-pass filter around the centre (symmetric, centre tap 2106, sum 32766).
constexpr std::array<int32_t, 64> kFsk31Taps = {
    -2,   -6,   -18,  -38,  -64,  -94,  -127, -160, -191, -217, -234, -241, -234, -211, -170, -109,
    -28,  74,   196,  337,  494,  665,  845,  1030, 1215, 1395, 1564, 1718, 1851, 1960, 2040, 2089,
    2106, 2089, 2040, 1960, 1851, 1718, 1564, 1395, 1215, 1030, 845,  665,  494,  337,  196,  74,
    -28,  -109, -170, -211, -234, -241, -234, -217, -191, -160, -127, -94,  -64,  -38,  -18,  -6};

constexpr int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

Fsk31Receiver::Fsk31Receiver() : ReceiveChannel(kDecimRateHz, kBaud) {
  firTaps = kFsk31Taps.data();
}

void Fsk31Receiver::ResetDecoder() {
  afcValue = 0;
  freqRing.fill(0);
  freqSum = 0;
  freqIndex = 0;
  prevI = 0;
  prevQ = 0;
  afcIntegrator = 0;
  lowPeak = -60;
  highPeak = 60;
  lastBit = 0;
  bitClock = 0;
  level = 0;
}

void Fsk31Receiver::ProcessDecimated() {
  firI[static_cast<size_t>(firIndex)] = FilteredI() >> 10;
  firQ[static_cast<size_t>(firIndex)] = FilteredQ() >> 10;
  firIndex = (firIndex + 1) & 63;
  const int64_t i = Fir64(kFsk31Taps.data(), firI, firIndex) >> 12;
  const int64_t q = Fir64(kFsk31Taps.data(), firQ, firIndex) >> 12;

  // Frequency as about 1024 x the tangent of the phase step (positive above the centre). The
  // products are 64-bit: a loud signal makes them exceed 32 bits.
  const int64_t dot = prevQ * q + prevI * i;
  const int64_t den = dot >> 10;
  int64_t r = 0;
  if (den != 0) r = (prevQ * i - prevI * q) / den;

  // A slow integrator of the frequency, pulled back by the decided tone, gives the AFC value.
  const int64_t integ = static_cast<int64_t>(afcIntegrator) - (afcIntegrator >> 10) + r;
  afcIntegrator = Saturate(integ);

  r = std::clamp<int64_t>(r, rateCentre - kRateLimit, rateCentre + kRateLimit);
  prevI = static_cast<int32_t>(i);
  prevQ = static_cast<int32_t>(q);

  freqIndex = (freqIndex + 1) & 3;
  const auto fi = static_cast<size_t>(freqIndex);
  freqSum += static_cast<int32_t>(r) - freqRing[fi];
  freqRing[fi] = static_cast<int32_t>(r);
  DecideTone(freqSum);
}

void Fsk31Receiver::DecideTone(int32_t s) {
  level = s;
  highPeak = std::max(highPeak, s);
  lowPeak = std::min(lowPeak, s);
  const uint8_t bit = s > ((highPeak + lowPeak) >> 1) ? 1 : 0;

  afcIntegrator = Saturate(static_cast<int64_t>(afcIntegrator) + (bit != 0 ? -100 : 100));
  afcValue = Saturate(-12000 * static_cast<int64_t>(afcIntegrator));

  // The clock counts bit periods since the last tone change in 16.16 form, 20 bits used. It
  // saturates at 16 periods rather than wrapping: a wrapped count would turn a long steady tone
  // (the idle of the direct variant) into 0 or 1 periods and join two characters.
  bitClock = std::min<int32_t>(bitClock + symbolStep, kMaxClock);
  if (bit == lastBit) return;
  if (bit != 0) {
    highPeak = s;
  } else {
    lowPeak = s;
  }
  const int32_t n = (bitClock + 0x8000) >> 16;
  if (listener != nullptr) {
    for (int32_t k = 0; k < n; ++k) {
      if (differential) {
        listener->PutBit(k != 0 ? 1 : 0);
      } else {
        listener->PutBit(lastBit == (invert ? 1 : 0) ? 1 : 0);
      }
    }
  }
  lastBit = bit;
  bitClock = (bitClock - n * 65536) >> 1;
}

}  // namespace vexa::decoders
