#pragma once
// A periodic timer on its own thread with absolute deadlines: tick k is due at start + k x
// period, so the time spent in the callback and the scheduler's wake-up latency never add up
// into drift. When the thread falls more than one period behind (the machine was busy), it
// skips the lost ticks instead of firing them in a burst, which would shorten Morse elements.
// Time comes from a Clock so that tests can run the timer against a fake one.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "common/clock.h"

namespace vexa::tx {

using vexa::Clock;
using vexa::SteadyClock;

class PeriodicTimer {
 public:
  explicit PeriodicTimer(Clock& clock) : clock_(clock) {}
  ~PeriodicTimer() { Stop(); }
  PeriodicTimer(const PeriodicTimer&) = delete;
  PeriodicTimer& operator=(const PeriodicTimer&) = delete;

  // Starts calling tick every periodUs. Returns false when the thread could not be started.
  bool Start(int64_t periodUs, std::function<void()> tick) {
    Stop();
    running_ = true;
    try {
      thread_ = std::thread([this, periodUs, tick = std::move(tick)] {
        int64_t next = clock_.NowUs() + periodUs;
        while (running_.load()) {
          if (!clock_.SleepUntilUs(next)) continue;  // woken: stopped, or a stale wake-up
          if (!running_.load()) break;
          tick();
          ticks_.fetch_add(1);
          next += periodUs;
          const int64_t now = clock_.NowUs();
          if (now - next > periodUs) next = now + periodUs;  // far behind: skip, no burst
        }
      });
    } catch (...) {
      running_ = false;
      return false;
    }
    return true;
  }
  void Stop() {
    running_ = false;
    clock_.Wake();
    if (thread_.joinable()) thread_.join();
  }
  bool running() const { return running_.load(); }
  uint64_t ticks() const { return ticks_.load(); }

 private:
  Clock& clock_;
  std::atomic<bool> running_{false};
  std::atomic<uint64_t> ticks_{0};
  std::thread thread_;
};

}  // namespace vexa::tx
