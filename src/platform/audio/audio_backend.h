#pragma once
// One small interface in front of every way Vexa moves audio: sound cards (PortAudio), audio
// files, and nothing at all. The stream format is fixed: 11025 samples per second, mono, signed
// 16-bit; input in blocks of 2048 samples, output in blocks of 1024, four buffers each way.
//
// Input: after OpenInput and StartInput the backend fills the queued buffers in turn; a filled
// buffer becomes a completed block that the main loop takes with TakeInputBlock and hands back
// with AddInputBuffer. A backend thread only queues blocks and calls the notifier; all
// processing happens on the thread that calls TakeInputBlock.
// Output: WriteOutput queues one buffer of up to 1024 samples; when it has been played the
// backend reports it through TakeOutputDone (and the notifier).
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vexa::platform {

constexpr int kAudioSampleRate = 11025;
constexpr int kInputBlockSamples = 2048;
constexpr int kOutputBlockSamples = 1024;
constexpr int kAudioBuffers = 4;

// Result codes of backend calls (0 = success).
enum AudioError : int {
  kAudioOk = 0,
  kAudioBadDevice = 2,  // no such device
  kAudioNotOpen = 5,    // operation on a closed stream
  kAudioAlreadyOpen = 6,
  kAudioBadBuffer = 7,    // buffer index out of range or already queued
  kAudioDeviceError = 9,  // the device or file reported an error
  kAudioNoFormat = 10,    // no usable sample rate or channel layout
};

// Wakes the main loop from any thread when a block is ready.
using AudioNotifier = std::function<void()>;

struct InputBlock {
  int index = -1;  // buffer index 0..3, to hand back with AddInputBuffer
  std::span<const int16_t> samples;
};

class AudioBackend {
 public:
  virtual ~AudioBackend() = default;

  virtual std::string Name() const = 0;
  virtual int InputDeviceCount() = 0;
  virtual int OutputDeviceCount() = 0;
  virtual std::string InputDeviceName(int device) = 0;
  virtual std::string OutputDeviceName(int device) = 0;

  virtual int OpenInput(int device, AudioNotifier notify) = 0;
  virtual int AddInputBuffer(int index) = 0;
  virtual int StartInput() = 0;
  virtual int StopInput() = 0;
  virtual int ResetInput() = 0;  // returns all queued buffers (a partial one as a short block)
  virtual int CloseInput() = 0;
  // Takes the oldest completed input block; false when none is waiting.
  virtual bool TakeInputBlock(InputBlock& block) = 0;
  virtual bool InputBlockWaiting() = 0;

  virtual int OpenOutput(int device, AudioNotifier notify) = 0;
  virtual int WriteOutput(int index, std::span<const int16_t> samples) = 0;
  virtual int PauseOutput() = 0;
  virtual int ResetOutput() = 0;  // drops queued output; the dropped buffers are reported done
  virtual int CloseOutput() = 0;
  // Takes the index of the oldest played output buffer; false when none.
  virtual bool TakeOutputDone(int& index) = 0;
};

// Sound cards through PortAudio, resampled to and from 11025 Hz.
std::unique_ptr<AudioBackend> MakePortAudioBackend();
// No device: input never delivers, output is discarded at once.
std::unique_ptr<AudioBackend> MakeNullBackend();

struct FileAudioOptions {
  std::string inputPath;   // WAV, FLAC, Ogg... any rate and channel count; empty = no input
  std::string outputPath;  // every transmission is appended to this WAV file; empty = discard
  bool realtime = false;   // deliver input at the pace of the sample rate (else as fast as taken)
  bool loop = false;       // start the input file again at its end
};
// Files through libsndfile. Returns null and sets error when the input file cannot be read.
std::unique_ptr<AudioBackend> MakeFileBackend(const FileAudioOptions& options, std::string& error);

// Reads a whole audio file as 11025 Hz mono 16-bit. Returns false with a message on failure.
bool ReadAudioFile(const std::string& path, std::vector<int16_t>& samples, std::string& error);
// Writes 11025 Hz mono 16-bit samples to a WAV file. Returns false with a message on failure.
bool WriteWavFile(const std::string& path, std::span<const int16_t> samples, std::string& error);

}  // namespace vexa::platform
