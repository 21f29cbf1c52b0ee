#pragma once
// Test doubles for the transmitter: an audio backend that records what it is asked and plays
// blocks only when told, a serial link that records line changes and bytes, a fake clock, and a
// modulator host over a plain transmit text. All of them write into one event log, so tests can
// check the order of sound, PTT and line operations.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "engine/rx_text_queue.h"
#include "platform/audio/audio_backend.h"
#include "platform/serial/serial_port.h"
#include "tx/modulator.h"
#include "tx/periodic_timer.h"
#include "tx/transmit_queue.h"
#include "tx/transmit_text.h"

namespace vexa::tx::testing {

using EventLog = std::vector<std::string>;

class RecordingBackend final : public platform::AudioBackend {
 public:
  explicit RecordingBackend(EventLog* log) : log_(log) {}

  std::string Name() const override { return "recording"; }
  int InputDeviceCount() override { return 1; }
  int OutputDeviceCount() override { return 1; }
  std::string InputDeviceName(int) override { return "in"; }
  std::string OutputDeviceName(int) override { return "out"; }

  int OpenInput(int, platform::AudioNotifier) override {
    log_->push_back("input open");
    inputOpen = true;
    return 0;
  }
  int AddInputBuffer(int) override { return 0; }
  int StartInput() override { return 0; }
  int StopInput() override { return 0; }
  int ResetInput() override { return 0; }
  int CloseInput() override {
    log_->push_back("input close");
    inputOpen = false;
    return 0;
  }
  bool TakeInputBlock(platform::InputBlock&) override { return false; }
  bool InputBlockWaiting() override { return false; }

  int OpenOutput(int, platform::AudioNotifier) override {
    if (failOutput) return platform::kAudioDeviceError;
    log_->push_back("output open");
    outputOpen = true;
    return 0;
  }
  int WriteOutput(int index, std::span<const int16_t> samples) override {
    if (!outputOpen) return platform::kAudioNotOpen;
    log_->push_back("write " + std::to_string(index));
    written.insert(written.end(), samples.begin(), samples.end());
    queued.push_back(index);
    ++writes;
    return 0;
  }
  int PauseOutput() override { return 0; }
  int ResetOutput() override {
    queued.clear();
    return 0;
  }
  int CloseOutput() override {
    log_->push_back("output close");
    outputOpen = false;
    queued.clear();
    return 0;
  }
  bool TakeOutputDone(int& index) override {
    if (played.empty()) return false;
    index = played.front();
    played.pop_front();
    return true;
  }
  // The device finishes playing the oldest queued block.
  bool PlayOne() {
    if (queued.empty()) return false;
    played.push_back(queued.front());
    queued.pop_front();
    return true;
  }

  bool failOutput = false;
  bool inputOpen = false;
  bool outputOpen = false;
  int writes = 0;
  std::vector<int16_t> written;
  std::deque<int> queued;
  std::deque<int> played;

 private:
  EventLog* log_;
};

class RecordingLink final : public platform::SerialLink {
 public:
  explicit RecordingLink(EventLog* log, int baud = 1200) : log_(log), baud_(baud) {}
  bool IsOpen() const override { return open; }
  int WriteBytes(std::span<const uint8_t> b) override {
    bytes.insert(bytes.end(), b.begin(), b.end());
    log_->push_back("bytes " + std::to_string(b.size()));
    return 1;
  }
  void SetDtr(bool on) override {
    dtr = on;
    log_->push_back(on ? "DTR on" : "DTR off");
  }
  void SetRts(bool on) override {
    rts = on;
    log_->push_back(on ? "RTS on" : "RTS off");
  }
  int Speed() const override { return baud_; }

  bool open = true;
  bool dtr = false;
  bool rts = false;
  std::vector<uint8_t> bytes;

 private:
  EventLog* log_;
  int baud_;
};

// Time moves only when the test says so (or, for the periodic timer, when it sleeps).
class FakeClock final : public Clock {
 public:
  int64_t NowUs() override { return now; }
  bool SleepUntilUs(int64_t deadlineUs) override {
    deadlines.push_back(deadlineUs);
    if (deadlineUs > now) now = deadlineUs;
    return true;
  }
  void Wake() override {}
  int64_t now = 1000000;
  std::vector<int64_t> deadlines;
};

// A clock whose sleeps never end by themselves: a periodic timer on it never ticks, so tests
// drive the tick by hand while the owner believes its timer runs.
class HeldClock final : public Clock {
 public:
  int64_t NowUs() override { return now.load(); }
  bool SleepUntilUs(int64_t) override {
    std::unique_lock lock(m_);
    cv_.wait(lock, [this] { return woken_; });
    woken_ = false;
    return false;
  }
  void Wake() override {
    std::lock_guard lock(m_);
    woken_ = true;
    cv_.notify_all();
  }
  std::atomic<int64_t> now{0};

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool woken_ = false;
};

// A modulator host over a plain transmit text.
class TextHost final : public ModulatorHost {
 public:
  TextHost() : queue(text) {}
  bool NextTxChar(uint8_t& c) override { return queue.NextTxChar(c); }
  void Echo(uint8_t c) override { echo.push_back(static_cast<char>(c)); }
  void ClearTransmitBuffers() override {
    ++clears;
    text.ClearWindow();
  }
  void MarkEndBlock() override {
    if (endSample < 0) endSample = samplesSoFar;
  }
  bool TransmitFlag() const override { return flag; }

  PlainTransmitText text;
  TransmitQueue queue;
  std::string echo;
  int clears = 0;
  bool flag = true;
  int64_t samplesSoFar = 0;  // kept up to date by the test's Fill helper
  int64_t endSample = -1;    // the sample count at which the end was marked
};

// Runs a modulator one sample at a time, so the host knows where the end was marked.
inline std::vector<int16_t> Run(Modulator& m, TextHost& host, size_t samples) {
  std::vector<int16_t> out(samples);
  for (size_t i = 0; i < samples; ++i) {
    host.samplesSoFar = static_cast<int64_t>(i);
    m.Fill(std::span<int16_t>(&out[i], 1));
  }
  return out;
}

}  // namespace vexa::tx::testing
