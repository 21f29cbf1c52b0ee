// Whole audio files read into memory (short clips: voice messages, tests) and written as WAV.
// Long recordings are streamed by AudioFileReader instead.
#include <sndfile.h>

#include "platform/audio/audio_backend.h"
#include "platform/audio/audio_file_reader.h"

namespace vexa::platform {
namespace {

// Longest whole-file read: about eight hours at 11025 Hz, so a huge file cannot make us
// allocate without bound.
constexpr size_t kMaxSamples = 2ULL * 3600 * 48000;

}  // namespace

bool ReadAudioFile(const std::string& path, std::vector<int16_t>& samples, std::string& error) {
  auto reader = AudioFileReader::Open(path, error);
  if (!reader) return false;
  samples.clear();
  int16_t chunk[4096];
  while (samples.size() < kMaxSamples) {
    const size_t n = reader->Read(chunk);
    if (n == 0) break;
    samples.insert(samples.end(), chunk, chunk + n);
  }
  return true;  // a damaged end gives the samples decoded up to it
}

bool WriteWavFile(const std::string& path, std::span<const int16_t> samples, std::string& error) {
  SF_INFO info{};
  info.samplerate = kAudioSampleRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (f == nullptr) {
    error = "cannot write " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  const sf_count_t n = static_cast<sf_count_t>(samples.size());
  const bool ok = sf_write_short(f, samples.data(), n) == n;
  sf_close(f);
  if (!ok) error = "cannot write all samples to " + path;
  return ok;
}

}  // namespace vexa::platform
