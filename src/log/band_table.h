#pragma once
// The nine short-wave bands from 160 m to 10 m with their edges and segments, in kilohertz.
#include <array>
#include <cstdint>

namespace vexa::log {

constexpr int32_t kNoEdge = 9999999;  // the band has no such segment

struct BandRow {
  int metres;
  int32_t lowKHz;
  int32_t phoneFromKHz;
  int32_t digitalFromKHz;
  int32_t digitalToKHz;
  int32_t edge4KHz;
  int32_t edge5KHz;
  int32_t highKHz;
};

constexpr int kBandCount = 9;

// Row number = band index 0..8.
constexpr std::array<BandRow, kBandCount> kBands{{
    {160, 1810, 1838, 1842, 1850, kNoEdge, kNoEdge, 2000},
    {80, 3500, 3600, 3580, 3620, 3730, 3740, 3800},
    {40, 7000, 7040, 7035, 7045, 7035, 7045, 7100},
    {30, 10100, kNoEdge, 10140, 10150, kNoEdge, kNoEdge, 10150},
    {20, 14000, 14100, 14068, 14120, 14225, 14235, 14350},
    {17, 18068, 18110, 18100, 18110, kNoEdge, kNoEdge, 18168},
    {15, 21000, 21150, 21070, 21120, 21330, 21345, 21450},
    {12, 24890, 24930, 24920, 24930, kNoEdge, kNoEdge, 24990},
    {10, 28000, 28200, 28070, 28200, 28675, 28685, 29700},
}};

enum BandSegment : int { kSegmentCw = 0, kSegmentPhone = 1, kSegmentDigital = 2 };

// Band index 0..8 of a radio frequency in hertz, or -1 outside every band. The frequency is
// divided as an unsigned number, so negative values fall outside. When `segment` is given it
// receives the BandSegment (left untouched for -1).
int BandOf(int32_t frequencyHz, int* segment = nullptr);

}  // namespace vexa::log
