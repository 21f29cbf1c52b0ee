#include "engine/spectrum_measure.h"

#include <algorithm>

namespace vexa::engine {
namespace {

int64_t Sum(std::span<const int32_t> v, int from, int to) {
  int64_t s = 0;
  for (int i = from; i <= to; ++i) s += v[static_cast<size_t>(i)];
  return s;
}

// Mean rounded half away from zero.
int32_t RoundedMean(int64_t sum, int64_t n) {
  return static_cast<int32_t>(sum >= 0 ? (sum + n / 2) / n : -((-sum + n / 2) / n));
}

int32_t At(std::span<const int32_t> v, int i) {
  return v[static_cast<size_t>(i)];
}

int32_t Max3(std::span<const int32_t> v, int a, int b, int c) {
  return std::max({At(v, a), At(v, b), At(v, c)});
}

// The first bin with the largest value above 0 in from..to; found is false when none is above 0.
FskOtherTone StrongestAboveZero(std::span<const int32_t> v, int from, int to) {
  FskOtherTone r;
  for (int i = from; i <= to; ++i) {
    if (At(v, i) > r.value) {
      r.value = At(v, i);
      r.bin = i;
      r.found = true;
    }
  }
  return r;
}

}  // namespace

PskSignalQuality MeasurePskSignal(std::span<const int32_t> v, int c) {
  PskSignalQuality q;
  const int n = static_cast<int>(v.size());
  if (c < 10 || c + 10 > n - 1) return q;
  const int64_t a = Max3(v, c + 2, c + 3, c + 4);
  const int64_t b = Max3(v, c - 2, c - 3, c - 4);
  const int64_t p = Max3(v, c + 8, c + 9, c + 10);
  const int64_t qq = Max3(v, c - 8, c - 9, c - 10);
  const int64_t noise = std::min({At(v, c), At(v, c + 6), At(v, c - 6)});
  q.valid = true;
  q.snrDb = static_cast<int32_t>((5 * (a + b - 2 * noise) + 0x4000) / 0x8000);
  q.imdDb = static_cast<int32_t>((5 * (a + b - p - qq) + 0x4000) / 0x8000);
  return q;
}

CwPeak FindCwPeak(std::span<const int32_t> v, int c) {
  CwPeak r;
  const int n = static_cast<int>(v.size());
  if (c < 30 || c + 30 > n - 1) return r;
  int peak = c - 30;
  for (int i = c - 29; i <= c + 30; ++i) {
    if (At(v, i) > At(v, peak)) peak = i;
  }
  r.valid = true;
  r.offset = peak - c;
  // The reference lies between the peak and c: below a peak at or above c, above one below c.
  const int from = r.offset >= 0 ? peak - 21 : peak + 11;
  const int64_t mean = Sum(v, from, from + 10) / 11;
  r.strong = ValueToDb(At(v, peak) - mean) > 7;
  return r;
}

FskTone FindFskTone(std::span<const int32_t> v, int c) {
  FskTone t;
  const int n = static_cast<int>(v.size());
  // W-1..W+1 are read, so W stays within 1..n-2.
  const int lo = std::max(1, c - 28);
  const int hi = std::min(n - 2, c + 28);
  if (lo > hi) return t;
  FskOtherTone strongest = StrongestAboveZero(v, lo, hi);
  const int w = strongest.found ? strongest.bin : std::clamp(c, lo, hi);
  // The reference window lies 11..21 bins below W, or 11..21 bins above when that would leave
  // the array.
  int u = w - 21;
  if (u < 1) u = w + 11;
  if (u + 10 > n - 1) return t;
  t.valid = true;
  t.bin = w;
  t.reference = RoundedMean(Sum(v, u, u + 10), 11);
  t.peak = RoundedMean(Sum(v, w - 1, w + 1), 3);
  t.stepSnrDb = static_cast<int32_t>((5 * static_cast<int64_t>(t.peak) - 5 * t.reference) / 0x8000);
  return t;
}

FskOtherTone FindOtherFskTone(std::span<const int32_t> v, int w, int c) {
  const int n = static_cast<int>(v.size());
  FskOtherTone below, above;
  if (!(w < c - 17)) {
    below = StrongestAboveZero(v, std::max(1, w - 49), std::min(n - 2, w - 19));
  }
  if (w <= c + 17) {
    above = StrongestAboveZero(v, std::max(1, w + 19), std::min(n - 2, w + 49));
  }
  if (below.found && (!above.found || below.value >= above.value)) return below;
  return above;
}

SignalMeasure MeasureTonePairSignal(std::span<const int32_t> v, int t) {
  SignalMeasure m;
  const int n = static_cast<int>(v.size());
  if (t < 23 || t + 23 > n - 1) return m;
  int64_t m1 = 0, m2 = 0;
  for (int i = t - 23; i <= t - 12; ++i) m1 = std::max<int64_t>(m1, At(v, i));
  for (int i = t + 12; i <= t + 23; ++i) m2 = std::max<int64_t>(m2, At(v, i));
  const int64_t noise = Sum(v, t - 6, t + 6) / 13;
  m.valid = true;
  m.db = static_cast<int32_t>(((m1 + m2) / 2 - noise) * 5 / 0x8000);
  return m;
}

}  // namespace vexa::engine
