#pragma once
// The received-text queue: a byte ring into which decoders write characters and from which the
// main window's tick takes them. When full, the oldest character is dropped to make room, so a
// stalled reader loses old text rather than new.
#include <array>
#include <cstddef>
#include <cstdint>

namespace vexa::engine {

class RxTextQueue {
 public:
  static constexpr size_t kCapacity = 16384;

  void Put(uint8_t c) {
    if (count_ == kCapacity) {  // drop the oldest
      head_ = (head_ + 1) % kCapacity;
      --count_;
      ++dropped_;
    }
    ring_[(head_ + count_) % kCapacity] = c;
    ++count_;
  }
  void Put(const char* text) {
    while (*text != '\0') Put(static_cast<uint8_t>(*text++));
  }
  // Takes the oldest character; false when empty.
  bool Get(uint8_t& c) {
    if (count_ == 0) return false;
    c = ring_[head_];
    head_ = (head_ + 1) % kCapacity;
    --count_;
    return true;
  }
  bool Empty() const { return count_ == 0; }
  size_t Size() const { return count_; }
  // Characters lost to overflow since construction.
  size_t Dropped() const { return dropped_; }
  void Clear() { head_ = count_ = 0; }

 private:
  std::array<uint8_t, kCapacity> ring_{};
  size_t head_ = 0;
  size_t count_ = 0;
  size_t dropped_ = 0;
};

}  // namespace vexa::engine
