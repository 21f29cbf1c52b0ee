#include "engine/spectrum_palette.h"

#include <gtest/gtest.h>

namespace vexa::engine {
namespace {

struct Rgb {
  int r, g, b;
};

void ExpectColour(int index, Rgb want) {
  const uint32_t c = kWaterfallPalette[static_cast<size_t>(index)];
  EXPECT_EQ(RedOf(c), want.r) << "index " << index;
  EXPECT_EQ(GreenOf(c), want.g) << "index " << index;
  EXPECT_EQ(BlueOf(c), want.b) << "index " << index;
  EXPECT_EQ(c >> 24, 0xFFu) << "opaque, index " << index;
}

TEST(WaterfallPalette, ControlPointsAndWorkedEntries) {
  // The control points themselves.
  ExpectColour(0, {0, 0, 0});
  ExpectColour(32, {0, 0, 180});
  ExpectColour(60, {0, 150, 220});
  ExpectColour(160, {200, 230, 0});
  ExpectColour(250, {240, 200, 0});
  // 255 lies between 250 and the point past the end (256: 255,0,0):
  // red 240 + 15*5/6 = 252, green 200 - 200*5/6 = 200 - 166 = 34 (truncation toward zero).
  ExpectColour(255, {252, 34, 0});
}

TEST(WaterfallPalette, InterpolatesPerComponentWithTruncation) {
  // 16: halfway 0..32: blue 180*16/32 = 90.
  ExpectColour(16, {0, 0, 90});
  // 46: halfway 32..60: green 150*14/28 = 75, blue 180 + 40*14/28 = 200.
  ExpectColour(46, {0, 75, 200});
  // 61: one past 60 towards 160: red 200/100 = 2, green 150 + 80/100 = 150, blue 220 - 220/100 =
  // 220 - 2 = 218 (-2.2 truncates to -2).
  ExpectColour(61, {2, 150, 218});
  // 33: blue 180 + 40/28 = 181, green 150/28 = 5.
  ExpectColour(33, {0, 5, 181});
  // 251: red 240 + 15/6 = 242, green 200 - 200/6 = 200 - 33 = 167.
  ExpectColour(251, {242, 167, 0});
}

}  // namespace
}  // namespace vexa::engine
