#pragma once
// A transceiver played by a script on the master side of a pseudo-terminal: each step waits for
// the exact bytes the program must send and then answers (the answer may be empty). Whatever
// arrives is kept, so a test can also check what was sent beyond the script.
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/pty.h"

namespace vexa::test {

class ScriptedRig {
 public:
  struct Step {
    std::string expect;
    std::string answer;
  };

  explicit ScriptedRig(std::vector<Step> script) : script_(std::move(script)) {}
  ~ScriptedRig() { Stop(); }

  const std::string& device() const { return pty_.name; }
  bool ok() const { return !pty_.name.empty(); }

  void Start() {
    thread_ = std::thread([this] { Run(); });
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  // Steps done so far; a step is done once its answer was written.
  size_t stepsDone() const { return done_.load(); }
  bool finished() const { return done_.load() == script_.size(); }
  // Everything received from the program.
  std::string received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }
  // The first mismatch, or "".
  std::string error() const {
    std::lock_guard lock(mutex_);
    return error_;
  }

 private:
  void Run() {
    std::string pending;  // received, not yet matched against the script
    char buf[512];
    while (!stop_) {
      pollfd p{pty_.master, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      const ssize_t n = read(pty_.master, buf, sizeof buf);
      if (n <= 0) continue;
      {
        std::lock_guard lock(mutex_);
        received_.append(buf, static_cast<size_t>(n));
      }
      pending.append(buf, static_cast<size_t>(n));
      while (done_ < script_.size()) {
        const Step& s = script_[done_];
        if (pending.size() < s.expect.size()) break;
        if (pending.compare(0, s.expect.size(), s.expect) != 0) {
          std::lock_guard lock(mutex_);
          if (error_.empty())
            error_ = "step " + std::to_string(done_.load()) + ": unexpected bytes";
          pending.erase(0, 1);  // resynchronise on the next byte
          continue;
        }
        pending.erase(0, s.expect.size());
        if (!s.answer.empty()) (void)pty_.WriteMaster(s.answer);
        ++done_;
      }
      if (done_ == script_.size()) pending.clear();
    }
  }

  Pty pty_;
  std::vector<Step> script_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> done_{0};
  mutable std::mutex mutex_;
  std::string received_, error_;
};

}  // namespace vexa::test
