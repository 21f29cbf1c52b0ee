#include "engine/sound_card.h"

#include <chrono>
#include <thread>

namespace vexa::engine {

using namespace vexa::platform;

int SelectDeviceFromArgument(const std::string& arg, bool output, int deviceCount) {
  if (deviceCount <= 0) return 0;
  int n = 0;
  if (!arg.empty()) {
    const char c = (output && arg.size() > 1) ? arg[1] : arg[0];
    n = c - '0';
  }
  if (n < 0) n = 0;  // a non-digit below '0' would give a negative device: take the first
  if (n >= deviceCount) n = deviceCount - 1;
  return n;
}

namespace {

// An exact match first, else the first device whose name contains `name`; -1 when none.
int FindDeviceByName(AudioBackend& backend, bool output, const std::string& name) {
  const int count = output ? backend.OutputDeviceCount() : backend.InputDeviceCount();
  for (int pass = 0; pass < 2; ++pass) {
    for (int d = 0; d < count; ++d) {
      const std::string dn = output ? backend.OutputDeviceName(d) : backend.InputDeviceName(d);
      if (pass == 0 ? dn == name : dn.find(name) != std::string::npos) return d;
    }
  }
  return -1;
}

}  // namespace

int FindDevice(AudioBackend& backend, bool output, const std::string& text) {
  if (text.empty()) return -1;
  const int count = output ? backend.OutputDeviceCount() : backend.InputDeviceCount();
  if (text.size() <= 4 && text.find_first_not_of("0123456789") == std::string::npos) {
    const int n = std::stoi(text);
    return n < count ? n : -1;
  }
  return FindDeviceByName(backend, output, text);
}

SoundCard::SoundCard(AudioBackend& backend, DeviceChoice choice)
    : backend_(backend), choice_(std::move(choice)) {
  sleep_ = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
}

int SoundCard::ChooseDevice(bool output) {
  const int count = output ? backend_.OutputDeviceCount() : backend_.InputDeviceCount();
  const int number = output ? choice_.outputDevice : choice_.inputDevice;
  if (number >= 0 && number < count) return number;
  const std::string& name = output ? choice_.outputName : choice_.inputName;
  // A remembered name: an exact match first, else the first device whose name contains it.
  if (!name.empty())
    if (const int d = FindDeviceByName(backend_, output, name); d >= 0) return d;
  return SelectDeviceFromArgument(choice_.argument, output, count);
}

int SoundCard::ChosenInputDevice() {
  return ChooseDevice(false);
}
int SoundCard::ChosenOutputDevice() {
  return ChooseDevice(true);
}

int SoundCard::OpenSoundInput() {
  if (inputOpen_) return 0;
  const int count = backend_.InputDeviceCount();
  if (count <= 0) return Check("DevCaps", kAudioBadDevice);
  const int device = ChooseDevice(false);
  if (backend_.InputDeviceName(device).empty()) return Check("DevCaps", kAudioBadDevice);
  if (int r = Check("waveInOpen", backend_.OpenInput(device, notify_))) return r;
  // A failure after the device opened closes it again, so that the next attempt starts clean
  // instead of leaving a half-open stream behind.
  for (int i = 0; i < kAudioBuffers; ++i) {
    if (int r = Check("waveInAddBuffer", backend_.AddInputBuffer(i))) {
      (void)backend_.CloseInput();
      return r;
    }
  }
  if (int r = Check("waveInStart", backend_.StartInput())) {
    (void)backend_.CloseInput();
    return r;
  }
  inputOpen_ = true;
  return 0;
}

void SoundCard::CloseSoundInput() {
  if (!inputOpen_) return;
  if (Check("waveInStop", backend_.StopInput()) != 0) return;
  if (Check("waveInReset", backend_.ResetInput()) != 0) return;
  // The reset completed the partly filled buffer as a short block; keep it (and anything else
  // completed) before the close frees the buffers.
  platform::InputBlock block;
  while (backend_.TakeInputBlock(block))
    leftover_.emplace_back(block.samples.begin(), block.samples.end());
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (Check("waveInClose", backend_.CloseInput()) == 0) break;
    if (sleep_) sleep_(55);
  }
  inputOpen_ = false;
}

int SoundCard::OpenSoundOutput() {
  if (outputOpen_) return 0;
  const int count = backend_.OutputDeviceCount();
  if (count <= 0) return Check("waveOutDevCaps", kAudioBadDevice);
  const int device = ChooseDevice(true);
  if (backend_.OutputDeviceName(device).empty()) return Check("waveOutDevCaps", kAudioBadDevice);
  if (int r = Check("waveOutOpen", backend_.OpenOutput(device, notify_))) return r;
  outputOpen_ = true;
  return 0;
}

void SoundCard::CloseSoundOutput() {
  if (!outputOpen_) return;
  if (Check("waveOutPause", backend_.PauseOutput()) != 0) return;
  if (Check("waveOutReset", backend_.ResetOutput()) != 0) return;
  if (Check("waveOutClose", backend_.CloseOutput()) == 0) outputOpen_ = false;
}

bool SoundCard::TakeInputBlock(InputBlock& block) {
  if (!leftover_.empty()) {
    leftoverOut_ = std::move(leftover_.front());
    leftover_.pop_front();
    block.index = -1;  // no device buffer behind it
    block.samples = leftoverOut_;
    return true;
  }
  return inputOpen_ && backend_.TakeInputBlock(block);
}

int SoundCard::RequeueInputBlock(const InputBlock& block) {
  if (block.index < 0) return 0;  // a kept block: nothing to give back
  if (!inputOpen_) return kAudioNotOpen;
  return Check("waveInAddBuffer", backend_.AddInputBuffer(block.index));
}

bool SoundCard::InputBlockWaiting() {
  if (!leftover_.empty()) return true;
  return inputOpen_ && backend_.InputBlockWaiting();
}

int SoundCard::WriteOutputBuffer(int index, size_t samples) {
  if (!outputOpen_) return kAudioNotOpen;
  if (index < 0 || index >= kAudioBuffers || samples > kOutputBlockSamples) return kAudioBadBuffer;
  return backend_.WriteOutput(
      index, std::span<const int16_t>(outBuffers_[static_cast<size_t>(index)].data(), samples));
}

bool SoundCard::TakeOutputDone(int& index) {
  return backend_.TakeOutputDone(index);
}

}  // namespace vexa::engine
