#pragma once
// An audio file read piece by piece as 11025 Hz mono 16-bit, whatever its rate and channel count:
// libsndfile decodes a few thousand frames at a time, the channels are averaged and libsoxr
// converts the rate as the samples pass. Memory stays the same whatever the length of the input,
// so a recording of a day, or an endless stream on a pipe ("-" is standard input), decodes in a
// few hundred kilobytes.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vexa::platform {

class AudioFileReader {
 public:
  // Opens path ("-": standard input). Returns null and sets error when it cannot be read.
  static std::unique_ptr<AudioFileReader> Open(const std::string& path, std::string& error);
  ~AudioFileReader();
  AudioFileReader(const AudioFileReader&) = delete;
  AudioFileReader& operator=(const AudioFileReader&) = delete;

  // Fills out with the next samples; returns how many (fewer only at the end, 0 after it).
  size_t Read(std::span<int16_t> out);
  // Starts again at the beginning. False when the input cannot seek (a pipe).
  bool Rewind();
  bool atEnd() const { return ended_ && pendingPos_ >= pending_.size(); }
  // The input's own sample rate.
  int sourceRate() const { return sourceRate_; }
  // Set when the decoder or the rate converter reported an error; the samples end there.
  const std::string& error() const { return error_; }

 private:
  AudioFileReader() = default;
  bool Refill();

  void* file_ = nullptr;  // SNDFILE*
  void* soxr_ = nullptr;  // soxr_t
  int channels_ = 1;
  int sourceRate_ = 0;
  bool ended_ = false;
  std::vector<float> frames_;     // one chunk of decoded frames, all channels
  std::vector<float> mono_;       // the chunk mixed to one channel
  std::vector<float> converted_;  // the chunk at 11025 Hz
  std::vector<int16_t> pending_;  // converted samples not yet handed out
  size_t pendingPos_ = 0;
  std::string error_;
};

}  // namespace vexa::platform
