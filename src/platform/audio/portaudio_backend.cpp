// Sound cards through PortAudio. A card is opened at a rate it supports (11025 Hz when offered,
// else 48000 or 44100 Hz, else its default) and the audio is converted to and from 11025 Hz with
// libsoxr, so cards that cannot run at 11025 Hz still work. The PortAudio callback only converts
// and queues; the main loop takes completed blocks.
#include <fcntl.h>
#include <portaudio.h>
#include <soxr.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/audio/audio_backend.h"
#include "platform/audio/input_buffer_ring.h"

namespace vexa::platform {
namespace {

// PortAudio's ALSA and JACK probing prints noise on stderr; keep it off the terminal.
class StderrSilencer {
 public:
  StderrSilencer() {
    fflush(stderr);
    saved_ = dup(2);
    int nul = open("/dev/null", O_WRONLY);
    if (nul >= 0) {
      dup2(nul, 2);
      close(nul);
    }
  }
  ~StderrSilencer() {
    if (saved_ >= 0) {
      fflush(stderr);
      dup2(saved_, 2);
      close(saved_);
    }
  }

 private:
  int saved_ = -1;
};

int16_t ToInt16(float v) {
  const float s = std::round(v * 32768.0f);
  return static_cast<int16_t>(std::clamp(s, -32768.0f, 32767.0f));
}

class PortAudioBackend final : public AudioBackend {
 public:
  PortAudioBackend() {
    StderrSilencer quiet;
    initialized_ = Pa_Initialize() == paNoError;
    if (!initialized_) return;
    const int n = Pa_GetDeviceCount();
    for (int i = 0; i < n; ++i) {
      const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
      if (info == nullptr) continue;
      if (info->maxInputChannels > 0) inputs_.push_back(i);
      if (info->maxOutputChannels > 0) outputs_.push_back(i);
    }
  }
  ~PortAudioBackend() override {
    CloseInput();
    CloseOutput();
    if (initialized_) Pa_Terminate();
  }

  std::string Name() const override { return "portaudio"; }
  int InputDeviceCount() override { return static_cast<int>(inputs_.size()); }
  int OutputDeviceCount() override { return static_cast<int>(outputs_.size()); }
  std::string InputDeviceName(int d) override { return DeviceName(inputs_, d); }
  std::string OutputDeviceName(int d) override { return DeviceName(outputs_, d); }

  int OpenInput(int device, AudioNotifier notify) override {
    if (device < 0 || device >= InputDeviceCount()) return kAudioBadDevice;
    if (in_ != nullptr) return kAudioAlreadyOpen;
    const PaDeviceIndex dev = inputs_[static_cast<size_t>(device)];
    const PaDeviceInfo* info = Pa_GetDeviceInfo(dev);
    PaStreamParameters p{};
    p.device = dev;
    p.channelCount = 1;
    p.sampleFormat = paFloat32;
    p.suggestedLatency = info->defaultLowInputLatency;
    inRate_ = ChooseRate(&p, nullptr, info->defaultSampleRate);
    if (inRate_ <= 0) {
      p.channelCount = std::min(2, info->maxInputChannels);
      inRate_ = ChooseRate(&p, nullptr, info->defaultSampleRate);
      if (inRate_ <= 0) return kAudioNoFormat;
    }
    inChannels_ = p.channelCount;
    soxr_error_t e = nullptr;
    soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
    inResampler_ = inRate_ == kAudioSampleRate
                       ? nullptr
                       : soxr_create(inRate_, kAudioSampleRate, 1, &e, nullptr, &q, nullptr);
    if (e != nullptr) return kAudioNoFormat;
    ring_.Clear();
    inNotify_ = std::move(notify);
    PaError err = Pa_OpenStream(&in_, &p, nullptr, inRate_, paFramesPerBufferUnspecified, paClipOff,
                                &PortAudioBackend::InputCallback, this);
    if (err != paNoError) {
      in_ = nullptr;
      DeleteInResampler();
      return kAudioDeviceError;
    }
    return kAudioOk;
  }
  int AddInputBuffer(int index) override {
    if (in_ == nullptr) return kAudioNotOpen;
    return ring_.Add(index);
  }
  int StartInput() override {
    if (in_ == nullptr) return kAudioNotOpen;
    return Pa_StartStream(in_) == paNoError ? kAudioOk : kAudioDeviceError;
  }
  int StopInput() override {
    if (in_ == nullptr) return kAudioNotOpen;
    PaError e = Pa_IsStreamStopped(in_) == 1 ? paNoError : Pa_StopStream(in_);
    return e == paNoError ? kAudioOk : kAudioDeviceError;
  }
  int ResetInput() override {
    if (in_ == nullptr) return kAudioNotOpen;
    ring_.Reset();
    return kAudioOk;
  }
  int CloseInput() override {
    if (in_ == nullptr) return kAudioNotOpen;
    PaError e = Pa_CloseStream(in_);
    in_ = nullptr;
    DeleteInResampler();
    ring_.Clear();
    return e == paNoError ? kAudioOk : kAudioDeviceError;
  }
  bool TakeInputBlock(InputBlock& block) override { return in_ != nullptr && ring_.Take(block); }
  bool InputBlockWaiting() override { return in_ != nullptr && ring_.Waiting(); }

  int OpenOutput(int device, AudioNotifier notify) override {
    if (device < 0 || device >= OutputDeviceCount()) return kAudioBadDevice;
    if (out_ != nullptr) return kAudioAlreadyOpen;
    const PaDeviceIndex dev = outputs_[static_cast<size_t>(device)];
    const PaDeviceInfo* info = Pa_GetDeviceInfo(dev);
    PaStreamParameters p{};
    p.device = dev;
    p.channelCount = 1;
    p.sampleFormat = paFloat32;
    p.suggestedLatency = info->defaultLowOutputLatency;
    outRate_ = ChooseRate(nullptr, &p, info->defaultSampleRate);
    if (outRate_ <= 0) {
      p.channelCount = std::min(2, info->maxOutputChannels);
      outRate_ = ChooseRate(nullptr, &p, info->defaultSampleRate);
      if (outRate_ <= 0) return kAudioNoFormat;
    }
    outChannels_ = p.channelCount;
    soxr_error_t e = nullptr;
    soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
    outResampler_ = outRate_ == kAudioSampleRate
                        ? nullptr
                        : soxr_create(kAudioSampleRate, outRate_, 1, &e, nullptr, &q, nullptr);
    if (e != nullptr) return kAudioNoFormat;
    {
      std::lock_guard lock(outMutex_);
      fifo_.clear();
      pending_.clear();
      done_.clear();
      consumed_ = produced_ = 0;
    }
    outNotify_ = std::move(notify);
    PaError err = Pa_OpenStream(&out_, nullptr, &p, outRate_, paFramesPerBufferUnspecified,
                                paClipOff, &PortAudioBackend::OutputCallback, this);
    if (err != paNoError) {
      out_ = nullptr;
      DeleteOutResampler();
      return kAudioDeviceError;
    }
    return kAudioOk;
  }
  int WriteOutput(int index, std::span<const int16_t> samples) override {
    if (out_ == nullptr) return kAudioNotOpen;
    if (index < 0 || index >= kAudioBuffers || samples.size() > kOutputBlockSamples)
      return kAudioBadBuffer;
    std::vector<float> in(samples.size());
    std::transform(samples.begin(), samples.end(), in.begin(),
                   [](int16_t v) { return static_cast<float>(v) / 32768.0f; });
    std::vector<float> converted;
    if (outResampler_ == nullptr) {
      converted = std::move(in);
    } else {
      converted.resize(static_cast<size_t>(in.size() * outRate_ / kAudioSampleRate) + 64);
      size_t idone = 0, odone = 0;
      soxr_process(outResampler_, in.data(), in.size(), &idone, converted.data(), converted.size(),
                   &odone);
      converted.resize(odone);
    }
    {
      std::lock_guard lock(outMutex_);
      fifo_.insert(fifo_.end(), converted.begin(), converted.end());
      produced_ += converted.size();
      pending_.push_back({index, produced_});
    }
    if (Pa_IsStreamActive(out_) != 1) Pa_StartStream(out_);
    return kAudioOk;
  }
  int PauseOutput() override {
    if (out_ == nullptr) return kAudioNotOpen;
    if (Pa_IsStreamActive(out_) == 1) Pa_StopStream(out_);
    return kAudioOk;
  }
  int ResetOutput() override {
    if (out_ == nullptr) return kAudioNotOpen;
    std::lock_guard lock(outMutex_);
    for (auto& p : pending_) done_.push_back(p.first);
    pending_.clear();
    fifo_.clear();
    return kAudioOk;
  }
  int CloseOutput() override {
    if (out_ == nullptr) return kAudioNotOpen;
    PaError e = Pa_CloseStream(out_);
    out_ = nullptr;
    DeleteOutResampler();
    return e == paNoError ? kAudioOk : kAudioDeviceError;
  }
  bool TakeOutputDone(int& index) override {
    std::lock_guard lock(outMutex_);
    if (done_.empty()) return false;
    index = done_.front();
    done_.pop_front();
    return true;
  }

 private:
  std::string DeviceName(const std::vector<PaDeviceIndex>& list, int d) {
    if (d < 0 || d >= static_cast<int>(list.size())) return "";
    const PaDeviceInfo* info = Pa_GetDeviceInfo(list[static_cast<size_t>(d)]);
    if (info == nullptr) return "";
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    return std::string(info->name) + (api != nullptr ? std::string(" (") + api->name + ")" : "");
  }

  static double ChooseRate(const PaStreamParameters* in, const PaStreamParameters* out,
                           double deflt) {
    for (double r : {static_cast<double>(kAudioSampleRate), 48000.0, 44100.0, deflt}) {
      if (Pa_IsFormatSupported(in, out, r) == paFormatIsSupported) return r;
    }
    return 0;
  }

  static int InputCallback(const void* input, void*, unsigned long frames,
                           const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* user) {
    auto* self = static_cast<PortAudioBackend*>(user);
    if (input == nullptr) return paContinue;
    const auto* in = static_cast<const float*>(input);
    auto& mono = self->cbMono_;
    mono.resize(frames);
    for (unsigned long i = 0; i < frames; ++i)
      mono[i] = in[i * static_cast<unsigned long>(self->inChannels_)];
    auto& conv = self->cbConv_;
    const float* src = mono.data();
    size_t n = frames;
    if (self->inResampler_ != nullptr) {
      conv.resize(static_cast<size_t>(frames * kAudioSampleRate / self->inRate_) + 64);
      size_t idone = 0;
      soxr_process(self->inResampler_, mono.data(), frames, &idone, conv.data(), conv.size(), &n);
      src = conv.data();
    }
    auto& pcm = self->cbPcm_;
    pcm.resize(n);
    for (size_t i = 0; i < n; ++i) pcm[i] = ToInt16(src[i]);
    if (self->ring_.Push(pcm.data(), n) && self->inNotify_) self->inNotify_();
    return paContinue;
  }

  static int OutputCallback(const void*, void* output, unsigned long frames,
                            const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* user) {
    auto* self = static_cast<PortAudioBackend*>(user);
    auto* out = static_cast<float*>(output);
    const auto ch = static_cast<unsigned long>(self->outChannels_);
    bool notify = false;
    {
      std::lock_guard lock(self->outMutex_);
      for (unsigned long i = 0; i < frames; ++i) {
        float v = 0;
        if (!self->fifo_.empty()) {
          v = self->fifo_.front();
          self->fifo_.pop_front();
          ++self->consumed_;
        }
        for (unsigned long c = 0; c < ch; ++c) out[i * ch + c] = v;
      }
      // A block is done once its last sample has gone out; when the queue has run dry the
      // converter may still hold a few samples of it, so the rest are done as well.
      while (!self->pending_.empty() &&
             (self->pending_.front().second <= self->consumed_ || self->fifo_.empty())) {
        self->done_.push_back(self->pending_.front().first);
        self->pending_.pop_front();
        notify = true;
      }
    }
    if (notify && self->outNotify_) self->outNotify_();
    return paContinue;
  }

  void DeleteInResampler() {
    if (inResampler_ != nullptr) soxr_delete(inResampler_);
    inResampler_ = nullptr;
  }
  void DeleteOutResampler() {
    if (outResampler_ != nullptr) soxr_delete(outResampler_);
    outResampler_ = nullptr;
  }

  bool initialized_ = false;
  std::vector<PaDeviceIndex> inputs_, outputs_;

  PaStream* in_ = nullptr;
  double inRate_ = 0;
  int inChannels_ = 1;
  soxr_t inResampler_ = nullptr;
  InputBufferRing ring_;
  AudioNotifier inNotify_;
  std::vector<float> cbMono_, cbConv_;
  std::vector<int16_t> cbPcm_;

  PaStream* out_ = nullptr;
  double outRate_ = 0;
  int outChannels_ = 1;
  soxr_t outResampler_ = nullptr;
  AudioNotifier outNotify_;
  std::mutex outMutex_;
  std::deque<float> fifo_;
  std::deque<std::pair<int, size_t>> pending_;  // buffer index, produced count at its end
  std::deque<int> done_;
  size_t consumed_ = 0, produced_ = 0;
};

}  // namespace

std::unique_ptr<AudioBackend> MakePortAudioBackend() {
  return std::make_unique<PortAudioBackend>();
}

}  // namespace vexa::platform
