#pragma once
// A core host for tests whose wake-ups (from the audio and serial threads) can be waited for.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "app/station_context.h"

namespace vexa::test {

class WakeHost final : public app::CoreHost {
 public:
  bool StartTickTimer(int) override { return true; }
  void StopTickTimer() override {}
  void SetCaption(const std::string&) override {}
  void EndModalLoop(int result) override { endedWith = result; }
  void Wake() override {
    std::lock_guard lock(mutex_);
    ++wakes_;
    cv_.notify_all();
  }
  // Waits (bounded) for a wake-up after the ones already seen.
  bool WaitForWake(std::chrono::seconds limit = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    const bool woke = cv_.wait_for(lock, limit, [this] { return wakes_ > seen_; });
    seen_ = wakes_;
    return woke;
  }

  int endedWith = -1;  // the result of the last end of the modal loop (-1: none)

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int wakes_ = 0, seen_ = 0;
};

}  // namespace vexa::test
