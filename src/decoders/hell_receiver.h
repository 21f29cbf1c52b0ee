#pragma once
// Hellschreiber receiver on the 750 Hz HELL receive channel.
//
// The on-off keyed tone is not decoded into characters: it is measured at the pixel rate (350
// pixels a second, 20 pixels per 57 ms column) and each pixel is normalised between an adaptive
// black level and an adaptive white level into a grey value 0..255 (255 = full tone). Pixels are
// delayed by about 60 pixels so that the levels measured around a pixel apply to it. The pixels
// go to a HellPixelSink, normally the Hellschreiber window, which paints them as a strip.
#include <array>
#include <cstdint>

#include "decoders/cw_running_average.h"
#include "engine/receive_channel.h"

namespace vexa::decoders {

// Receives one grey pixel at a time (0 = no tone .. 255 = full tone).
class HellPixelSink {
 public:
  virtual ~HellPixelSink() = default;
  virtual void AddPixel(int grey) = 0;
};

class HellReceiver final : public engine::ReceiveChannel {
 public:
  static constexpr int32_t kDecimRateHz = 750;
  static constexpr double kPixelRate = 350.0;  // pixels per second
  static constexpr int kLevelBlock = 40;       // pixels per black/white evaluation (two columns)
  static constexpr int kDelayLength = 120;
  static constexpr int kDelayPixels = 60;

  explicit HellReceiver(HellPixelSink* sink = nullptr);

  void ProcessDecimated() override;

  // Maps a measured amplitude to a grey value with the current black and white levels.
  int PixelValue(int32_t amplitude) const;

  void ResetDecoder();
  void set_sink(HellPixelSink* sink) { sink_ = sink; }

  // --- Demodulator state ---
  std::array<int32_t, kLevelBlock> levelRing{};
  int32_t levelIndex = 0;
  int32_t blockCounter = 0;    // 0..39
  RunningAverage<4> blackAvg;  // block minima
  RunningAverage<4> whiteAvg;  // block maxima
  std::array<int32_t, kDelayLength> delayLine{};
  int32_t delayIndex = 0;

 private:
  HellPixelSink* sink_;
};

}  // namespace vexa::decoders
