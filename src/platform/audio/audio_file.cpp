// Reading and writing audio files with libsndfile; rate conversion with libsoxr.
#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>

#include "platform/audio/audio_backend.h"

namespace vexa::platform {
namespace {

// Longest input accepted: two hours at 48 kHz stereo, so a hostile header cannot make us
// allocate without bound.
constexpr sf_count_t kMaxFrames = 2LL * 3600 * 48000;

int16_t ToInt16(float v) {
  const float s = std::round(v * 32768.0f);
  return static_cast<int16_t>(std::clamp(s, -32768.0f, 32767.0f));
}

}  // namespace

bool ReadAudioFile(const std::string& path, std::vector<int16_t>& samples, std::string& error) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr) {
    error = "cannot read audio file " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  if (info.channels < 1 || info.channels > 64 || info.samplerate < 1000 ||
      info.samplerate > 768000) {
    sf_close(f);
    error = "unsupported audio format in " + path;
    return false;
  }
  // Frames may be unknown (streamed formats) or larger than the file holds: read in chunks.
  std::vector<float> mono;
  std::vector<float> chunk(4096 * static_cast<size_t>(info.channels));
  sf_count_t total = 0;
  for (;;) {
    sf_count_t got = sf_readf_float(f, chunk.data(), 4096);
    if (got <= 0) break;
    for (sf_count_t i = 0; i < got; ++i) {
      float sum = 0;
      for (int c = 0; c < info.channels; ++c)
        sum += chunk[static_cast<size_t>(i * info.channels + c)];
      mono.push_back(sum / static_cast<float>(info.channels));
    }
    total += got;
    if (total > kMaxFrames) break;
  }
  sf_close(f);

  if (info.samplerate == kAudioSampleRate) {
    samples.resize(mono.size());
    std::transform(mono.begin(), mono.end(), samples.begin(), ToInt16);
    return true;
  }
  const double ratio = static_cast<double>(kAudioSampleRate) / info.samplerate;
  std::vector<float> out(static_cast<size_t>(std::ceil(mono.size() * ratio)) + 16);
  size_t done = 0;
  soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
  soxr_error_t err = soxr_oneshot(info.samplerate, kAudioSampleRate, 1, mono.data(), mono.size(),
                                  nullptr, out.data(), out.size(), &done, nullptr, &q, nullptr);
  if (err != nullptr) {
    error = std::string("cannot convert sample rate: ") + err;
    return false;
  }
  samples.resize(done);
  std::transform(out.begin(), out.begin() + static_cast<long>(done), samples.begin(), ToInt16);
  return true;
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
