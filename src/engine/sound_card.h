#pragma once
// Half-duplex sound streaming on one audio backend: the input feeds the receivers, the output
// carries transmissions; transmitting closes the input and opens the output, and the end of a
// transmission does the reverse. Opening follows a fixed order of steps and returns the code of
// the first one that fails (0 on success); closing is idempotent. Every failing backend call is
// passed with its name to the trace hook. All calls happen on the main loop's thread.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/audio/audio_backend.h"

namespace vexa::engine {

// Device numbers from the first command-line argument: the first character minus '0' is the
// input device, the second (or else the first) the output device; a number beyond the devices
// present is clamped to the last one. No argument (or a non-digit) gives device 0.
int SelectDeviceFromArgument(const std::string& arg, bool output, int deviceCount);

struct DeviceChoice {
  std::string argument;   // the first command-line argument, if any
  std::string inputName;  // a remembered device name (wins over the argument when found)
  std::string outputName;
  int inputDevice = -1;  // a device by its number (wins over the rest when it exists)
  int outputDevice = -1;
};

// A device as the operator names it: its number as listed, or its name (an exact match first,
// else the first device whose name contains it). -1 when no device matches.
int FindDevice(platform::AudioBackend& backend, bool output, const std::string& text);

class SoundCard {
 public:
  using TraceHook = std::function<void(const char* call, int result)>;
  using Sleeper = std::function<void(int ms)>;

  SoundCard(platform::AudioBackend& backend, DeviceChoice choice);

  void SetTraceHook(TraceHook hook) { trace_ = std::move(hook); }
  void SetSleeper(Sleeper sleeper) { sleep_ = std::move(sleeper); }
  void SetNotifier(platform::AudioNotifier notify) { notify_ = std::move(notify); }
  // The devices to use from the next open on.
  void SetDeviceChoice(DeviceChoice choice) { choice_ = std::move(choice); }
  const DeviceChoice& deviceChoice() const { return choice_; }

  int OpenSoundInput();
  void CloseSoundInput();
  int OpenSoundOutput();
  void CloseSoundOutput();

  bool inputOpen() const { return inputOpen_; }
  bool outputOpen() const { return outputOpen_; }

  int ChosenInputDevice();
  int ChosenOutputDevice();

  // Main loop side of the input: take a completed block, then give its buffer back. The short
  // block the device completes when the input stops is kept past the close and handed out
  // first, so the last samples of a reception are never lost.
  bool TakeInputBlock(platform::InputBlock& block);
  [[nodiscard]] int RequeueInputBlock(const platform::InputBlock& block);
  bool InputBlockWaiting();

  // The four output buffers of 1024 samples that the transmitter fills and writes.
  std::span<int16_t> OutputBuffer(int index) { return outBuffers_[static_cast<size_t>(index)]; }
  [[nodiscard]] int WriteOutputBuffer(int index, size_t samples);
  bool TakeOutputDone(int& index);

  platform::AudioBackend& backend() { return backend_; }

 private:
  int Check(const char* call, int result) {
    if (result != 0 && trace_) trace_(call, result);
    return result;
  }
  int ChooseDevice(bool output);

  platform::AudioBackend& backend_;
  DeviceChoice choice_;
  TraceHook trace_;
  Sleeper sleep_;
  platform::AudioNotifier notify_;
  bool inputOpen_ = false;
  bool outputOpen_ = false;
  std::deque<std::vector<int16_t>> leftover_;  // blocks completed by the last stop
  std::vector<int16_t> leftoverOut_;           // the one the main loop holds
  std::array<std::array<int16_t, platform::kOutputBlockSamples>, platform::kAudioBuffers>
      outBuffers_{};
};

}  // namespace vexa::engine
