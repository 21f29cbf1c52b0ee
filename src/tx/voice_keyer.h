#pragma once
// The voice keyer of the phone modes: the programmable keys play recorded messages "SSB%i.wav"
// (key k plays number k + 1: F1 is SSB1.wav, Shift F12 is SSB24.wav) through the sound output
// with PTT around them. Keys pressed while a message plays are queued; one thread plays the
// queue and ends when it is empty. The queue is shared with the main thread under the main
// window's lock; the thread holds that lock from the moment it finds the queue empty until it
// has released PTT and restarted reception, so a key pressed in that moment starts a new thread
// instead of being lost.
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/audio/audio_backend.h"
#include "tx/key_lines.h"

namespace vexa::tx {

// Plays one audio file synchronously; returns 0 when played (or stopped), else an error code.
class VoicePlayer {
 public:
  virtual ~VoicePlayer() = default;
  virtual int PlayFile(const std::string& path, const std::atomic<bool>& stop) = 0;
};

// Plays through an audio backend of its own (the sound card's output is closed while the voice
// keyer runs), 1024 samples per buffer, four buffers queued.
class BackendVoicePlayer final : public VoicePlayer {
 public:
  using BackendFactory = std::function<std::unique_ptr<platform::AudioBackend>()>;
  BackendVoicePlayer(BackendFactory factory, int outputDevice)
      : factory_(std::move(factory)), device_(outputDevice) {}
  int PlayFile(const std::string& path, const std::atomic<bool>& stop) override;
  const std::string& lastError() const { return lastError_; }

 private:
  BackendFactory factory_;
  int device_;
  std::string lastError_;
};

// "SSB%i.wav" for key number 0..23 (number k + 1).
std::string VoiceFileName(int key);

class VoiceKeyer {
 public:
  struct Hooks {
    std::function<void()> stopReception;         // sound input stopped when a message is queued
    std::function<void()> endSoundTransmission;  // closes a running sound transmission
    std::function<bool()> receptionWanted;       // restart reception after the last message?
    std::function<void()> startReception;
  };

  // mainLock: the main window's lock; folder: where the SSB files are.
  VoiceKeyer(std::mutex& mainLock, KeyLines& lines, VoicePlayer& player, std::string folder);
  ~VoiceKeyer();
  VoiceKeyer(const VoiceKeyer&) = delete;
  VoiceKeyer& operator=(const VoiceKeyer&) = delete;

  void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }

  // Queues key k (0..23; others are ignored) and starts the thread if none runs.
  void QueueVoiceMessage(int key);
  // Escape in mode 3: stops the message being played and empties the queue.
  void Escape();
  bool running();
  // Waits for the thread to finish (tests and shutdown).
  void Join();

 private:
  void Run();

  std::mutex& lock_;
  KeyLines& lines_;
  VoicePlayer& player_;
  std::string folder_;
  Hooks hooks_;
  std::deque<int> queue_;  // guarded by lock_
  bool running_ = false;   // guarded by lock_
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace vexa::tx
