#include "decoders/hell_image.h"

#include <algorithm>
#include <array>

namespace vexa::decoders {

void HellImage::AddPixel(int grey) {
  ++pixels_;
  const int p = std::clamp(grey, 0, 255);
  const auto g = static_cast<uint8_t>(inverted_ ? p : 255 - p);
  rowCounter += 1;
  if (rowCounter % 10 == 0) columnCounter += 1;
  rowCounter %= kColumnPixels;
  if (wrapWidth_ > 0) columnCounter %= wrapWidth_;
  const int n = rowCounter;
  Paint(columnCounter, 19 - n, g);
  Paint(columnCounter + 1, 19 - n, g);
  Paint(columnCounter + 1, 39 - n, g);
  Paint(columnCounter + 2, 39 - n, g);
}

void HellImage::Paint(int x, int y, uint8_t g) {
  if (wrapWidth_ > 0) x %= wrapWidth_;
  if (x < 0 || y < 0 || y >= kHeight) return;
  if (static_cast<size_t>(x) >= columns_.size()) {
    std::array<uint8_t, kHeight> blank;
    blank.fill(kBackground);
    columns_.resize(static_cast<size_t>(x) + 1, blank);
  }
  columns_[static_cast<size_t>(x)][static_cast<size_t>(y)] = g;
}

uint8_t HellImage::At(int x, int y) const {
  if (x < 0 || y < 0 || y >= kHeight || static_cast<size_t>(x) >= columns_.size())
    return kBackground;
  return columns_[static_cast<size_t>(x)][static_cast<size_t>(y)];
}

std::string HellImage::ToPgm() const {
  std::string out = "P5\n";
  out += std::to_string(std::max(1, width()));
  out += " ";
  out += std::to_string(kHeight);
  out += "\n255\n";
  for (int y = 0; y < kHeight; ++y) {
    if (columns_.empty()) {
      out.push_back(static_cast<char>(kBackground));
      continue;
    }
    for (const auto& col : columns_) out.push_back(static_cast<char>(col[static_cast<size_t>(y)]));
  }
  return out;
}

}  // namespace vexa::decoders
