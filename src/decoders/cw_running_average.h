#pragma once
// Running average over the last Size values (ring, index, fill count, running sum), as used by the
// CW level detector and the Hellschreiber black and white levels.
//
// Mean() is (sum + Size / 2) / count with integer division: the rounding term is half the ring
// size even while the ring is still filling, so a part-filled average reads slightly high. It is
// 0 while nothing has been added. The sum is 64-bit: a second of loud CW powers (500 values of up
// to about 4e8) would overflow a 32-bit sum.
#include <array>
#include <cstddef>
#include <cstdint>

namespace vexa::decoders {

template <int Size>
class RunningAverage {
 public:
  static_assert(Size > 0);
  void Add(int32_t v) {
    sum_ += static_cast<int64_t>(v) - ring_[static_cast<size_t>(index_)];
    ring_[static_cast<size_t>(index_)] = v;
    if (++index_ >= Size) index_ = 0;
    if (count_ < Size) ++count_;
  }
  int32_t Mean() const {
    if (count_ == 0) return 0;
    return static_cast<int32_t>((sum_ + Size / 2) / count_);
  }
  int count() const { return count_; }
  void Reset() { *this = RunningAverage(); }

 private:
  std::array<int32_t, Size> ring_{};
  int64_t sum_ = 0;
  int index_ = 0;
  int count_ = 0;
};

}  // namespace vexa::decoders
