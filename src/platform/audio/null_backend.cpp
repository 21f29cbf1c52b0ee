// The null backend: a device that hears nothing and plays nothing. Output buffers are reported
// done as soon as they are written, so a transmission runs through at full speed.
#include <deque>
#include <mutex>

#include "platform/audio/audio_backend.h"

namespace vexa::platform {
namespace {

class NullBackend final : public AudioBackend {
 public:
  std::string Name() const override { return "null"; }
  int InputDeviceCount() override { return 1; }
  int OutputDeviceCount() override { return 1; }
  std::string InputDeviceName(int) override { return "null"; }
  std::string OutputDeviceName(int) override { return "null"; }

  int OpenInput(int device, AudioNotifier) override {
    if (device != 0) return kAudioBadDevice;
    if (inputOpen_) return kAudioAlreadyOpen;
    inputOpen_ = true;
    return kAudioOk;
  }
  int AddInputBuffer(int index) override {
    if (!inputOpen_) return kAudioNotOpen;
    return (index >= 0 && index < kAudioBuffers) ? kAudioOk : kAudioBadBuffer;
  }
  int StartInput() override { return inputOpen_ ? kAudioOk : kAudioNotOpen; }
  int StopInput() override { return inputOpen_ ? kAudioOk : kAudioNotOpen; }
  int ResetInput() override { return inputOpen_ ? kAudioOk : kAudioNotOpen; }
  int CloseInput() override {
    if (!inputOpen_) return kAudioNotOpen;
    inputOpen_ = false;
    return kAudioOk;
  }
  bool TakeInputBlock(InputBlock&) override { return false; }
  bool InputBlockWaiting() override { return false; }

  int OpenOutput(int device, AudioNotifier notify) override {
    if (device != 0) return kAudioBadDevice;
    if (outputOpen_) return kAudioAlreadyOpen;
    outputOpen_ = true;
    notify_ = std::move(notify);
    return kAudioOk;
  }
  int WriteOutput(int index, std::span<const int16_t> samples) override {
    if (!outputOpen_) return kAudioNotOpen;
    if (index < 0 || index >= kAudioBuffers || samples.size() > kOutputBlockSamples)
      return kAudioBadBuffer;
    done_.push_back(index);
    if (notify_) notify_();
    return kAudioOk;
  }
  int PauseOutput() override { return outputOpen_ ? kAudioOk : kAudioNotOpen; }
  int ResetOutput() override { return outputOpen_ ? kAudioOk : kAudioNotOpen; }
  int CloseOutput() override {
    if (!outputOpen_) return kAudioNotOpen;
    outputOpen_ = false;
    done_.clear();
    return kAudioOk;
  }
  bool TakeOutputDone(int& index) override {
    if (done_.empty()) return false;
    index = done_.front();
    done_.pop_front();
    return true;
  }

 private:
  bool inputOpen_ = false;
  bool outputOpen_ = false;
  AudioNotifier notify_;
  std::deque<int> done_;
};

}  // namespace

std::unique_ptr<AudioBackend> MakeNullBackend() {
  return std::make_unique<NullBackend>();
}

}  // namespace vexa::platform
