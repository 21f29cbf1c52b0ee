#pragma once
// The Hellschreiber strip as the receive window paints it, kept as an image.
//
// Pixels arrive one at a time; a row counter runs 0..19 and the column advances every tenth
// pixel, so each 20-pixel column of the scan covers two screen columns. Every pixel is painted at
// (column, 19 - n) and (column + 1, 19 - n), and a second copy 20 rows lower and one column to
// the right, at (column + 1, 39 - n) and (column + 2, 39 - n): a character cut in two by the scan
// phase reads whole across the seam between the copies. Tone is painted dark (255 - grey) unless
// the inversion switch is set.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "decoders/hell_receiver.h"

namespace vexa::decoders {

class HellImage final : public HellPixelSink {
 public:
  static constexpr int kColumnPixels = 20;
  static constexpr int kHeight = 40;
  static constexpr uint8_t kBackground = 255;

  // wrapWidth > 0: painting wraps around at that width like the window's client area;
  // 0: the image grows to the right without limit.
  explicit HellImage(int wrapWidth = 0) : wrapWidth_(wrapWidth < 0 ? 0 : wrapWidth) {}

  void AddPixel(int grey) override;

  void set_inverted(bool on) { inverted_ = on; }
  int width() const { return static_cast<int>(columns_.size()); }
  int height() const { return kHeight; }
  // Grey value painted at (x, y); the background where nothing was painted.
  uint8_t At(int x, int y) const;
  int64_t pixelCount() const { return pixels_; }

  // The image as a binary greyscale PGM (P5, maxval 255).
  std::string ToPgm() const;

  int rowCounter = 0;     // 0..19
  int columnCounter = 0;  // screen column of the current pixel

 private:
  void Paint(int x, int y, uint8_t g);

  int wrapWidth_;
  bool inverted_ = false;
  int64_t pixels_ = 0;
  std::vector<std::array<uint8_t, kHeight>> columns_;
};

}  // namespace vexa::decoders
