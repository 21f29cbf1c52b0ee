#pragma once
// Measurements on one spectrum frame: pure functions over the value array of the shown bins.
//
// Units: a value counts 32768 per decade of power (10 dB) above an empty bin. The decibel figures
// below use the scale (5 * difference) / 0x8000, truncated toward zero: on the sum of two
// differences (the PSK measurements) it gives true decibels of their mean; on a single difference
// (the CW and FSK thresholds) one step of it is 2 dB of power ratio. Bin arguments are
// indices into the value array (0 = the start bin). No function reads outside the array: a
// measurement whose window does not fit is reported as not valid.
#include <array>
#include <cstdint>
#include <span>

namespace vexa::engine {

// (5 * difference) / 0x8000, truncated toward zero: the level scale of the thresholds below.
constexpr int32_t ValueToDb(int64_t difference) {
  return static_cast<int32_t>((5 * difference) / 0x8000);
}

// The mean of the last four entries pushed (missing entries count as 0 until four were pushed).
class RunningAverage4 {
 public:
  void Push(int32_t x) {
    sum_ += static_cast<int64_t>(x) - entries_[next_];
    entries_[next_] = x;
    next_ = (next_ + 1) & 3u;
  }
  void Clear() { *this = RunningAverage4{}; }
  double Average() const { return static_cast<double>(sum_) / 4.0; }

 private:
  std::array<int32_t, 4> entries_{};
  int64_t sum_ = 0;
  uint32_t next_ = 0;
};

// PSK31 two-tone measurement around bin c (the transmit-side frequency). The two tones of an
// idling PSK31 signal lie 2..4 bins either side of c, its third-order products 8..10 bins out.
struct PskSignalQuality {
  bool valid = false;  // false when c lies within 10 bins of either edge
  int32_t snrDb = 0;   // mean tone level over the noise between them, rounded
  int32_t imdDb = 0;   // mean tone level over the third-order products, rounded
};
PskSignalQuality MeasurePskSignal(std::span<const int32_t> v, int c);

// CW AFC: the strongest bin within 30 bins of the receive bin c, and whether it stands more than
// 7 dB above the mean of the 11 bins lying 11..21 bins from it towards c.
struct CwPeak {
  bool valid = false;   // the search window fits
  bool strong = false;  // the peak is a signal worth following
  int offset = 0;       // peak bin - c
};
CwPeak FindCwPeak(std::span<const int32_t> v, int c);

// FSK AFC, first step: the strongest tone W near the receive bin c and its step SNR.
struct FskTone {
  bool valid = false;     // the search and reference windows fit
  int bin = 0;            // W
  int32_t reference = 0;  // L: rounded mean of 11 bins beside W
  int32_t peak = 0;       // P: rounded mean of W-1..W+1
  int32_t stepSnrDb = 0;  // (5P - 5L) / 0x8000
};
FskTone FindFskTone(std::span<const int32_t> v, int c);

// FSK AFC, second step: the other tone of the pair, 19..49 bins from W on the side(s) allowed by
// W's place relative to c. found is false when no bin above 0 was seen.
struct FskOtherTone {
  bool found = false;
  int bin = 0;
  int32_t value = 0;
};
FskOtherTone FindOtherFskTone(std::span<const int32_t> v, int w, int c);

// The receive-signal measure of the CW and FSK modes at the transmit bin t: the mean of the
// strongest bins 12..23 below and above t over the mean of t-6..t+6, in dB. valid is false when
// the window t-23..t+23 does not fit.
struct SignalMeasure {
  bool valid = false;
  int32_t db = 0;
};
SignalMeasure MeasureTonePairSignal(std::span<const int32_t> v, int t);

}  // namespace vexa::engine
