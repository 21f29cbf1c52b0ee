// Audio files in place of a sound card: the input reads a file (any rate and channel count,
// converted to 11025 Hz mono) one block at a time as the blocks are taken, so memory stays flat
// whatever the length ("-" reads standard input); the output appends every transmission to one
// WAV file.
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <thread>

#include "platform/audio/audio_backend.h"
#include "platform/audio/audio_file_reader.h"
#include "platform/audio/input_buffer_ring.h"

namespace vexa::platform {
namespace {

class FileBackend final : public AudioBackend {
 public:
  explicit FileBackend(FileAudioOptions opts) : opts_(std::move(opts)) {}
  ~FileBackend() override {
    StopPacer();
    StopOutputPacer();
    if (out_ != nullptr) sf_close(out_);
  }

  bool Load(std::string& error) {
    if (opts_.inputPath.empty()) return true;
    reader_ = AudioFileReader::Open(opts_.inputPath, error);
    if (!reader_) return false;
    Prefetch();
    return true;
  }

  std::string Name() const override { return "file"; }
  int InputDeviceCount() override { return 1; }
  int OutputDeviceCount() override { return 1; }
  std::string InputDeviceName(int) override {
    return opts_.inputPath.empty() ? "(no input file)" : opts_.inputPath;
  }
  std::string OutputDeviceName(int) override {
    return opts_.outputPath.empty() ? "(discard)" : opts_.outputPath;
  }

  int OpenInput(int device, AudioNotifier notify) override {
    if (device != 0) return kAudioBadDevice;
    if (inputOpen_) return kAudioAlreadyOpen;
    ring_.Clear();
    notify_ = std::move(notify);
    inputOpen_ = true;
    started_ = false;
    return kAudioOk;
  }
  int AddInputBuffer(int index) override {
    if (!inputOpen_) return kAudioNotOpen;
    return ring_.Add(index);
  }
  int StartInput() override {
    if (!inputOpen_) return kAudioNotOpen;
    started_ = true;
    if (opts_.realtime) StartPacer();
    return kAudioOk;
  }
  int StopInput() override {
    if (!inputOpen_) return kAudioNotOpen;
    started_ = false;
    StopPacer();
    return kAudioOk;
  }
  int ResetInput() override {
    if (!inputOpen_) return kAudioNotOpen;
    ring_.Reset();
    return kAudioOk;
  }
  int CloseInput() override {
    if (!inputOpen_) return kAudioNotOpen;
    StopPacer();
    inputOpen_ = false;
    started_ = false;
    ring_.Clear();
    return kAudioOk;
  }
  bool TakeInputBlock(InputBlock& block) override {
    if (!inputOpen_) return false;
    if (!opts_.realtime && started_) FeedOneBlock();  // as fast as the reader takes them
    return ring_.Take(block);
  }
  bool InputBlockWaiting() override {
    if (!inputOpen_) return false;
    if (!opts_.realtime) return started_ && ring_.HasQueued() && DataLeft();
    return ring_.Waiting();
  }
  // True once the whole file has been delivered (never when looping).
  bool inputFinished() const { return !DataLeft(); }

  int OpenOutput(int device, AudioNotifier notify) override {
    if (device != 0) return kAudioBadDevice;
    if (outputOpen_) return kAudioAlreadyOpen;
    if (!opts_.outputPath.empty() && out_ == nullptr) {
      SF_INFO info{};
      info.samplerate = kAudioSampleRate;
      info.channels = 1;
      info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
      out_ = sf_open(opts_.outputPath.c_str(), SFM_WRITE, &info);
      if (out_ == nullptr) return kAudioDeviceError;
    }
    outNotify_ = std::move(notify);
    outputOpen_ = true;
    if (opts_.realtime) StartOutputPacer();
    return kAudioOk;
  }
  int WriteOutput(int index, std::span<const int16_t> samples) override {
    if (!outputOpen_) return kAudioNotOpen;
    if (index < 0 || index >= kAudioBuffers || samples.size() > kOutputBlockSamples)
      return kAudioBadBuffer;
    if (out_ != nullptr) {
      const auto n = static_cast<sf_count_t>(samples.size());
      if (sf_write_short(out_, samples.data(), n) != n) return kAudioDeviceError;
    }
    {
      std::lock_guard lock(outMutex_);
      // In real time a block is "played" when its time has passed (the output pacer moves it
      // on); otherwise it is done at once.
      (opts_.realtime ? playing_ : done_).push_back(index);
    }
    if (!opts_.realtime && outNotify_) outNotify_();
    return kAudioOk;
  }
  int PauseOutput() override { return outputOpen_ ? kAudioOk : kAudioNotOpen; }
  int ResetOutput() override {
    if (!outputOpen_) return kAudioNotOpen;
    std::lock_guard lock(outMutex_);
    for (int i : playing_) done_.push_back(i);
    playing_.clear();
    return kAudioOk;
  }
  int CloseOutput() override {
    if (!outputOpen_) return kAudioNotOpen;
    StopOutputPacer();
    if (out_ != nullptr) sf_write_sync(out_);
    outputOpen_ = false;
    std::lock_guard lock(outMutex_);
    done_.clear();
    playing_.clear();
    return kAudioOk;
  }
  bool TakeOutputDone(int& index) override {
    std::lock_guard lock(outMutex_);
    if (done_.empty()) return false;
    index = done_.front();
    done_.pop_front();
    return true;
  }

 private:
  bool DataLeft() const { return nextFill_ > 0; }

  // Reads the next block ahead, so that DataLeft knows whether one more block will come. At the
  // end of the input a looping file runs on into its own beginning (unless it holds no samples
  // or cannot seek, as a pipe cannot); otherwise a short last block is completed with silence.
  void Prefetch() {
    nextFill_ = 0;
    if (!reader_) return;
    bool rewound = false;
    while (nextFill_ < kInputBlockSamples) {
      const size_t n = reader_->Read(std::span<int16_t>(next_).subspan(nextFill_));
      nextFill_ += n;
      if (nextFill_ == kInputBlockSamples || !opts_.loop) break;
      if ((n == 0 && rewound) || !reader_->Rewind()) break;
      rewound = true;
    }
    std::fill(next_.begin() + static_cast<long>(nextFill_), next_.end(), int16_t{0});
  }

  // Moves one block from the file into the next queued buffer (the last block may be short,
  // and is padded with silence so that every block has the full length).
  bool FeedOneBlock() {
    if (!ring_.HasQueued() || !DataLeft()) return false;
    const bool ok = ring_.Push(next_.data(), kInputBlockSamples);
    Prefetch();
    return ok;
  }

  void StartPacer() {
    StopPacer();
    stop_ = false;
    pacer_ = std::thread([this] {
      using clock = std::chrono::steady_clock;
      const auto period =
          std::chrono::microseconds(1000000LL * kInputBlockSamples / kAudioSampleRate);
      auto next = clock::now() + period;
      std::unique_lock lock(pacerMutex_);
      while (!stop_) {
        if (pacerCv_.wait_until(lock, next, [this] { return stop_.load(); })) break;
        next += period;
        if (FeedOneBlock() && notify_) notify_();
      }
    });
  }
  void StartOutputPacer() {
    StopOutputPacer();
    outStop_ = false;
    outPacer_ = std::thread([this] {
      using clock = std::chrono::steady_clock;
      const auto period =
          std::chrono::microseconds(1000000LL * kOutputBlockSamples / kAudioSampleRate);
      auto next = clock::now() + period;
      std::unique_lock lock(outPacerMutex_);
      while (!outStop_) {
        if (outPacerCv_.wait_until(lock, next, [this] { return outStop_.load(); })) break;
        next += period;
        bool moved = false;
        {
          std::lock_guard l(outMutex_);
          if (!playing_.empty()) {
            done_.push_back(playing_.front());
            playing_.pop_front();
            moved = true;
          }
        }
        if (moved && outNotify_) outNotify_();
      }
    });
  }
  void StopOutputPacer() {
    if (!outPacer_.joinable()) return;
    {
      std::lock_guard lock(outPacerMutex_);
      outStop_ = true;
    }
    outPacerCv_.notify_all();
    outPacer_.join();
  }

  void StopPacer() {
    if (!pacer_.joinable()) return;
    {
      std::lock_guard lock(pacerMutex_);
      stop_ = true;
    }
    pacerCv_.notify_all();
    pacer_.join();
  }

  FileAudioOptions opts_;
  std::unique_ptr<AudioFileReader> reader_;
  std::array<int16_t, kInputBlockSamples> next_{};  // the block read ahead
  size_t nextFill_ = 0;                             // samples of the file in it
  InputBufferRing ring_;
  AudioNotifier notify_;
  bool inputOpen_ = false;
  std::atomic<bool> started_{false};

  std::thread pacer_;
  std::mutex pacerMutex_;
  std::condition_variable pacerCv_;
  std::atomic<bool> stop_{false};

  SNDFILE* out_ = nullptr;
  bool outputOpen_ = false;
  AudioNotifier outNotify_;
  std::mutex outMutex_;
  std::deque<int> playing_;  // written, not yet played (real time only)
  std::deque<int> done_;
  std::thread outPacer_;
  std::mutex outPacerMutex_;
  std::condition_variable outPacerCv_;
  std::atomic<bool> outStop_{false};
};

}  // namespace

std::unique_ptr<AudioBackend> MakeFileBackend(const FileAudioOptions& options, std::string& error) {
  auto b = std::make_unique<FileBackend>(options);
  if (!b->Load(error)) return nullptr;
  return b;
}

}  // namespace vexa::platform
