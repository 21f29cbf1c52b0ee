#pragma once
// Time for everything that waits or counts: a monotonic microsecond clock that can sleep until a
// deadline and be woken early. Tests hand the program a fake one.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vexa {

class Clock {
 public:
  virtual ~Clock() = default;
  // Microseconds on a monotonic scale.
  virtual int64_t NowUs() = 0;
  // Blocks until the time has come or Wake was called; returns false when woken.
  virtual bool SleepUntilUs(int64_t deadlineUs) = 0;
  virtual void Wake() = 0;
};

// The steady clock of the machine.
class SteadyClock final : public Clock {
 public:
  int64_t NowUs() override {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  bool SleepUntilUs(int64_t deadlineUs) override {
    std::unique_lock lock(m_);
    const auto t = std::chrono::steady_clock::time_point(std::chrono::microseconds(deadlineUs));
    const bool woken = cv_.wait_until(lock, t, [this] { return woken_; });
    woken_ = false;
    return !woken;
  }
  void Wake() override {
    std::lock_guard lock(m_);
    woken_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool woken_ = false;
};

}  // namespace vexa
