#include "decoders/hell_receiver.h"

#include <algorithm>

#include "decoders/fixed_point.h"

namespace vexa::decoders {
namespace {

// Low-pass filter at the carrier (sum 16384, centre tap 4542).
constexpr std::array<int32_t, 64> kHellTaps = {
    -6,   3,    16,   9,   -10,  -15,  -1,  6,    -9,  -23,  -11, 13,   17,   -2,  -5,   22,
    44,   23,   -16,  -16, 20,   14,   -65, -130, -79, 18,   -30, -233, -202, 580, 2161, 3825,
    4542, 3825, 2161, 580, -202, -233, -30, 18,   -79, -130, -65, 14,   20,   -16, -16,  23,
    44,   22,   -5,   -2,  17,   13,   -11, -23,  -9,  6,    -1,  -15,  -10,  9,   16,   3};

}  // namespace

HellReceiver::HellReceiver(HellPixelSink* sink)
    : ReceiveChannel(kDecimRateHz, kPixelRate), sink_(sink) {
  firTaps = kHellTaps.data();
}

void HellReceiver::ResetDecoder() {
  levelRing.fill(0);
  levelIndex = 0;
  blockCounter = 0;
  blackAvg.Reset();
  whiteAvg.Reset();
  delayLine.fill(0);
  delayIndex = 0;
}

int HellReceiver::PixelValue(int32_t amplitude) const {
  const int64_t b = blackAvg.Mean();
  const int64_t w = whiteAvg.Mean();
  // The white level sits at half the black-to-white range (so strokes saturate), but never below
  // six times the black level (so noise alone stays grey).
  const int64_t halfRange = (w - b) / 2;
  const int64_t span = 6 * b < halfRange ? halfRange : 6 * b;
  const int64_t scale = span > 256 ? span : 256;
  const int64_t p = (amplitude - b) / (scale / 256);
  return static_cast<int>(std::clamp<int64_t>(p, 0, 255));  // darker than black shows as 0
}

void HellReceiver::ProcessDecimated() {
  firI[static_cast<size_t>(firIndex)] = FilteredI() >> 10;
  firQ[static_cast<size_t>(firIndex)] = FilteredQ() >> 10;
  firIndex = (firIndex + 1) & 63;
  const int32_t x = Fir64(kHellTaps.data(), firI, firIndex);
  const int32_t y = Fir64(kHellTaps.data(), firQ, firIndex);

  const uint32_t next = static_cast<uint32_t>(symbolPhase) + symbolStep;
  symbolPhase = static_cast<uint16_t>(next);
  if (next <= 0xFFFF) return;  // no pixel at this step

  const int64_t xi = x >> 13, yi = y >> 13;
  const int32_t a = static_cast<int32_t>(std::min<int64_t>(xi * xi + yi * yi, INT32_MAX));
  levelRing[static_cast<size_t>(levelIndex)] = a;
  levelIndex = (levelIndex + 1) % kLevelBlock;
  blockCounter = (blockCounter + 1) % kLevelBlock;
  if (blockCounter == 0) {
    const auto [lo, hi] = std::minmax_element(levelRing.begin(), levelRing.end());
    blackAvg.Add(*lo);
    whiteAvg.Add(*hi);
  }

  delayLine[static_cast<size_t>(delayIndex)] = a;
  delayIndex = (delayIndex + 1) % kDelayLength;
  const int32_t d = delayLine[static_cast<size_t>((delayIndex + kDelayPixels) % kDelayLength)];

  if (sink_ != nullptr) sink_->AddPixel(PixelValue(d));
}

}  // namespace vexa::decoders
