// Streaming audio file input through libsndfile and libsoxr.
#include "platform/audio/audio_file_reader.h"

#include <sndfile.h>
#include <soxr.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "platform/audio/audio_backend.h"

namespace vexa::platform {
namespace {

constexpr sf_count_t kChunkFrames = 4096;

SNDFILE* File(void* p) {
  return static_cast<SNDFILE*>(p);
}
soxr_t Soxr(void* p) {
  return static_cast<soxr_t>(p);
}

int16_t ToInt16(float v) {
  const float s = std::round(v * 32768.0f);
  return static_cast<int16_t>(std::clamp(s, -32768.0f, 32767.0f));
}

}  // namespace

std::unique_ptr<AudioFileReader> AudioFileReader::Open(const std::string& path,
                                                       std::string& error) {
  SF_INFO info{};
  SNDFILE* f = path == "-" ? sf_open_fd(STDIN_FILENO, SFM_READ, &info, 0)
                           : sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr) {
    error = "cannot read audio file " + path + ": " + sf_strerror(nullptr);
    return nullptr;
  }
  if (info.channels < 1 || info.channels > 64 || info.samplerate < 1000 ||
      info.samplerate > 768000) {
    sf_close(f);
    error = "unsupported audio format in " + path;
    return nullptr;
  }
  std::unique_ptr<AudioFileReader> r(new AudioFileReader);
  r->file_ = f;
  r->channels_ = info.channels;
  r->sourceRate_ = info.samplerate;
  r->frames_.resize(static_cast<size_t>(kChunkFrames) * static_cast<size_t>(info.channels));
  r->mono_.resize(static_cast<size_t>(kChunkFrames));
  if (info.samplerate != kAudioSampleRate) {
    soxr_error_t err = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
    soxr_t s = soxr_create(info.samplerate, kAudioSampleRate, 1, &err, &io, &q, nullptr);
    if (s == nullptr || err != nullptr) {
      error = std::string("cannot convert sample rate: ") + (err != nullptr ? err : "?");
      return nullptr;  // the destructor closes the file
    }
    r->soxr_ = s;
    const double ratio = static_cast<double>(kAudioSampleRate) / info.samplerate;
    r->converted_.resize(static_cast<size_t>(std::ceil(kChunkFrames * ratio)) + 64);
  }
  return r;
}

AudioFileReader::~AudioFileReader() {
  if (soxr_ != nullptr) soxr_delete(Soxr(soxr_));
  if (file_ != nullptr) sf_close(File(file_));
}

// Decodes the next chunk into pending_; false when nothing more will come.
bool AudioFileReader::Refill() {
  pending_.clear();
  pendingPos_ = 0;
  while (pending_.empty() && !ended_) {
    const sf_count_t got = sf_readf_float(File(file_), frames_.data(), kChunkFrames);
    const size_t n = got > 0 ? static_cast<size_t>(got) : 0;
    if (got < 0 || (got == 0 && sf_error(File(file_)) != SF_ERR_NO_ERROR)) {
      error_ = sf_strerror(File(file_));
    }
    const auto channels = static_cast<size_t>(channels_);
    for (size_t i = 0; i < n; ++i) {
      float sum = 0;
      for (size_t c = 0; c < channels; ++c) sum += frames_[i * channels + c];
      mono_[i] = sum / static_cast<float>(channels_);
    }
    if (soxr_ == nullptr) {
      if (n == 0) {
        ended_ = true;
        break;
      }
      pending_.resize(n);
      std::transform(mono_.begin(), mono_.begin() + static_cast<long>(n), pending_.begin(),
                     ToInt16);
      continue;
    }
    // Through the rate converter; at the end of the input (n == 0) it is drained.
    size_t inPos = 0;
    for (;;) {
      size_t used = 0, made = 0;
      soxr_error_t err =
          soxr_process(Soxr(soxr_), n > 0 ? mono_.data() + inPos : nullptr, n - inPos, &used,
                       converted_.data(), converted_.size(), &made);
      if (err != nullptr) {
        error_ = std::string("cannot convert sample rate: ") + err;
        ended_ = true;
        break;
      }
      const size_t old = pending_.size();
      pending_.resize(old + made);
      std::transform(converted_.begin(), converted_.begin() + static_cast<long>(made),
                     pending_.begin() + static_cast<long>(old), ToInt16);
      inPos += used;
      if (n > 0 ? inPos >= n && made < converted_.size() : made == 0) break;
    }
    // Once the converter's tail is out, the next refill drains nothing and the input ends.
    if (n == 0 && pending_.empty()) ended_ = true;
  }
  return !pending_.empty();
}

size_t AudioFileReader::Read(std::span<int16_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    if (pendingPos_ >= pending_.size() && !Refill()) break;
    const size_t take = std::min(out.size() - done, pending_.size() - pendingPos_);
    std::copy(pending_.begin() + static_cast<long>(pendingPos_),
              pending_.begin() + static_cast<long>(pendingPos_ + take), out.begin() + done);
    pendingPos_ += take;
    done += take;
  }
  return done;
}

bool AudioFileReader::Rewind() {
  if (sf_seek(File(file_), 0, SEEK_SET) != 0) return false;
  if (soxr_ != nullptr) soxr_clear(Soxr(soxr_));
  ended_ = false;
  pending_.clear();
  pendingPos_ = 0;
  error_.clear();
  return true;
}

}  // namespace vexa::platform
