#include "tx/voice_keyer.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace vexa::tx {

std::string VoiceFileName(int key) {
  std::string name = "SSB";
  name += std::to_string(key + 1);
  name += ".wav";
  return name;
}

int BackendVoicePlayer::PlayFile(const std::string& path, const std::atomic<bool>& stop) {
  std::vector<int16_t> samples;
  if (!platform::ReadAudioFile(path, samples, lastError_)) return platform::kAudioDeviceError;
  std::unique_ptr<platform::AudioBackend> backend = factory_ ? factory_() : nullptr;
  if (!backend) return platform::kAudioBadDevice;
  if (int r = backend->OpenOutput(device_, nullptr)) return r;
  const size_t block = platform::kOutputBlockSamples;
  std::vector<int> free;
  for (int i = platform::kAudioBuffers - 1; i >= 0; --i) free.push_back(i);
  size_t pos = 0;
  int outstanding = 0;
  int result = 0;
  while ((pos < samples.size() || outstanding > 0) && !stop.load()) {
    int done = -1;
    while (backend->TakeOutputDone(done)) {
      free.push_back(done);
      --outstanding;
    }
    if (pos < samples.size() && !free.empty()) {
      const int index = free.back();
      free.pop_back();
      const size_t n = std::min(block, samples.size() - pos);
      result = backend->WriteOutput(index, std::span<const int16_t>(samples.data() + pos, n));
      if (result != 0) break;
      pos += n;
      ++outstanding;
      continue;
    }
    // The playing thread waits for the device; nothing else runs on it.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (stop.load()) (void)backend->ResetOutput();
  (void)backend->CloseOutput();
  return result;
}

VoiceKeyer::VoiceKeyer(std::mutex& mainLock, KeyLines& lines, VoicePlayer& player,
                       std::string folder)
    : lock_(mainLock), lines_(lines), player_(player), folder_(std::move(folder)) {}

VoiceKeyer::~VoiceKeyer() {
  Escape();
  Join();
}

void VoiceKeyer::QueueVoiceMessage(int key) {
  if (key < 0 || key > 23) return;
  std::lock_guard lock(lock_);
  queue_.push_back(key);
  if (hooks_.stopReception) hooks_.stopReception();
  if (running_) return;
  if (thread_.joinable()) thread_.join();  // a finished thread: it released the lock last
  running_ = true;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (...) {
    running_ = false;
    queue_.clear();
    lines_.SetPtt(false);
  }
}

void VoiceKeyer::Run() {
  if (hooks_.endSoundTransmission) hooks_.endSoundTransmission();
  const bool restart = hooks_.receptionWanted ? hooks_.receptionWanted() : true;
  lines_.SetPtt(true);
  std::unique_lock lock(lock_);
  while (!queue_.empty()) {
    const int key = queue_.front();
    queue_.pop_front();
    stop_ = false;
    lock.unlock();
    std::string path = folder_;
    if (!path.empty() && path.back() != '/') path += '/';
    path += VoiceFileName(key);
    (void)player_.PlayFile(path, stop_);
    lock.lock();
  }
  // Still under the lock: a key pressed now waits until PTT is off and then starts a new thread.
  lines_.SetPtt(false);
  if (restart && hooks_.startReception) hooks_.startReception();
  running_ = false;
}

void VoiceKeyer::Escape() {
  std::lock_guard lock(lock_);
  queue_.clear();
  stop_ = true;
}

bool VoiceKeyer::running() {
  std::lock_guard lock(lock_);
  return running_;
}

void VoiceKeyer::Join() {
  std::thread t;
  {
    std::lock_guard lock(lock_);  // joined outside the lock: the thread needs it to finish
    t = std::move(thread_);
  }
  if (t.joinable()) t.join();
}

}  // namespace vexa::tx
