#pragma once
// The four input buffers of a backend and their circulation: free -> queued (AddInputBuffer) ->
// filled by the producer -> completed (TakeInputBlock) -> out with the main loop -> queued again.
// The producer may run on another thread; every member takes the lock.
#include <array>
#include <deque>
#include <mutex>

#include "platform/audio/audio_backend.h"

namespace vexa::platform {

class InputBufferRing {
 public:
  void Clear() {
    std::lock_guard lock(mutex_);
    state_.fill(State::Free);
    queued_.clear();
    completed_.clear();
    fill_ = 0;
    overruns_ = 0;
  }

  int Add(int index) {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= kAudioBuffers) return kAudioBadBuffer;
    if (state_[index] == State::Queued) return kAudioBadBuffer;
    state_[index] = State::Queued;
    queued_.push_back(index);
    return kAudioOk;
  }

  // Appends samples to the buffer being filled; returns true when at least one block completed.
  // Samples that find no queued buffer are dropped (the main loop fell behind) and counted.
  bool Push(const int16_t* samples, size_t n) {
    std::lock_guard lock(mutex_);
    bool completedOne = false;
    while (n > 0) {
      if (queued_.empty()) {
        overruns_ += n;
        break;
      }
      const int idx = queued_.front();
      const size_t take = std::min(n, static_cast<size_t>(kInputBlockSamples - fill_));
      std::copy(samples, samples + take, buffers_[idx].begin() + fill_);
      fill_ += static_cast<int>(take);
      samples += take;
      n -= take;
      if (fill_ == kInputBlockSamples) {
        queued_.pop_front();
        state_[idx] = State::Completed;
        completed_.push_back({idx, kInputBlockSamples});
        fill_ = 0;
        completedOne = true;
      }
    }
    return completedOne;
  }

  // Ends recording: the partly filled buffer is completed as a short block; the other queued
  // buffers are released.
  void Reset() {
    std::lock_guard lock(mutex_);
    if (!queued_.empty() && fill_ > 0) {
      const int idx = queued_.front();
      state_[idx] = State::Completed;
      completed_.push_back({idx, fill_});
      queued_.pop_front();
    }
    for (int idx : queued_) state_[idx] = State::Free;
    queued_.clear();
    fill_ = 0;
  }

  bool Take(InputBlock& block) {
    std::lock_guard lock(mutex_);
    if (completed_.empty()) return false;
    auto [idx, len] = completed_.front();
    completed_.pop_front();
    state_[idx] = State::Out;
    block.index = idx;
    block.samples = std::span<const int16_t>(buffers_[idx].data(), static_cast<size_t>(len));
    return true;
  }

  bool Waiting() {
    std::lock_guard lock(mutex_);
    return !completed_.empty();
  }
  bool HasQueued() {
    std::lock_guard lock(mutex_);
    return !queued_.empty();
  }
  size_t overruns() {
    std::lock_guard lock(mutex_);
    return overruns_;
  }

 private:
  enum class State { Free, Queued, Completed, Out };
  std::mutex mutex_;
  std::array<std::array<int16_t, kInputBlockSamples>, kAudioBuffers> buffers_{};
  std::array<State, kAudioBuffers> state_{};
  std::deque<int> queued_;
  std::deque<std::pair<int, int>> completed_;
  int fill_ = 0;
  size_t overruns_ = 0;
};

}  // namespace vexa::platform
