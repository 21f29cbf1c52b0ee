#include "log/band_table.h"

namespace vexa::log {

int BandOf(int32_t frequencyHz, int* segment) {
  // Unsigned division on purpose: a negative frequency becomes huge and lies in no band.
  const uint32_t k = static_cast<uint32_t>(frequencyHz) / 1000u;
  for (int i = 0; i < kBandCount; ++i) {
    const BandRow& b = kBands[i];
    if (static_cast<uint32_t>(b.lowKHz) <= k && k <= static_cast<uint32_t>(b.highKHz)) {
      if (segment) {
        if (b.phoneFromKHz != kNoEdge && k >= static_cast<uint32_t>(b.phoneFromKHz))
          *segment = kSegmentPhone;
        else if (b.digitalFromKHz != kNoEdge && k >= static_cast<uint32_t>(b.digitalFromKHz) + 7u)
          *segment = kSegmentDigital;
        else
          *segment = kSegmentCw;
      }
      return i;
    }
  }
  return -1;
}

}  // namespace vexa::log
