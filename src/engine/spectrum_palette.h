#pragma once
// The 256-colour palette of the waterfall and the ARGB32 pixel format of the spectrum picture.
//
// The palette runs black -> blue -> cyan-blue -> yellow-green -> amber -> red. Each entry is
// interpolated per component, in integer arithmetic that truncates toward zero, between the
// first control point whose index is greater than the entry's index and the point before it.
#include <array>
#include <cstddef>
#include <cstdint>

namespace vexa::engine {

// One pixel of the spectrum picture: 0xAARRGGBB with alpha always 0xFF (the layout a 32-bit
// ARGB image of the GUI toolkit expects in native byte order).
constexpr uint32_t Argb(int red, int green, int blue) {
  return 0xFF000000u | (static_cast<uint32_t>(red & 0xFF) << 16) |
         (static_cast<uint32_t>(green & 0xFF) << 8) | static_cast<uint32_t>(blue & 0xFF);
}
constexpr int RedOf(uint32_t argb) {
  return static_cast<int>((argb >> 16) & 0xFF);
}
constexpr int GreenOf(uint32_t argb) {
  return static_cast<int>((argb >> 8) & 0xFF);
}
constexpr int BlueOf(uint32_t argb) {
  return static_cast<int>(argb & 0xFF);
}

struct PaletteControlPoint {
  int index;  // 0..256; the last point lies one past the table
  int red, green, blue;
};

inline constexpr std::array<PaletteControlPoint, 6> kWaterfallControlPoints{{
    {0, 0, 0, 0},
    {32, 0, 0, 180},
    {60, 0, 150, 220},
    {160, 200, 230, 0},
    {250, 240, 200, 0},
    {256, 255, 0, 0},
}};

constexpr std::array<uint32_t, 256> BuildWaterfallPalette() {
  std::array<uint32_t, 256> p{};
  for (int i = 0; i < 256; ++i) {
    std::size_t hi = 1;
    while (kWaterfallControlPoints[hi].index <= i) ++hi;
    const PaletteControlPoint& a = kWaterfallControlPoints[hi - 1];
    const PaletteControlPoint& b = kWaterfallControlPoints[hi];
    const int num = i - a.index, den = b.index - a.index;
    p[static_cast<std::size_t>(i)] =
        Argb(a.red + (b.red - a.red) * num / den, a.green + (b.green - a.green) * num / den,
             a.blue + (b.blue - a.blue) * num / den);
  }
  return p;
}

inline constexpr std::array<uint32_t, 256> kWaterfallPalette = BuildWaterfallPalette();

}  // namespace vexa::engine
