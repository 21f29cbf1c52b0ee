// The streaming file input: chunk-size independence and rewinding of the reader, a looping file
// that runs on into its beginning, standard WAV through a pipe, and flat memory over hours of
// input fed through a pipe by a generator (nothing on disk).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/audio/audio_backend.h"
#include "platform/audio/audio_file_reader.h"
#include "support/test_paths.h"

namespace vexa::platform {
namespace {

void WriteStereo(const std::string& path, int rate, int frames) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  std::vector<short> buf(static_cast<size_t>(frames) * 2);
  for (int n = 0; n < frames; ++n) {
    buf[2 * static_cast<size_t>(n)] = static_cast<short>(9000 * std::sin(0.05 * n));
    buf[2 * static_cast<size_t>(n) + 1] = static_cast<short>(5000 * std::sin(0.013 * n));
  }
  sf_writef_short(f, buf.data(), frames);
  sf_close(f);
}

std::vector<int16_t> ReadInChunks(AudioFileReader& r, size_t chunk) {
  std::vector<int16_t> out, buf(chunk);
  for (;;) {
    const size_t n = r.Read(buf);
    out.insert(out.end(), buf.begin(), buf.begin() + static_cast<long>(n));
    if (n < chunk) break;
  }
  return out;
}

// Any chunk size, converted or not, gives the same samples; a rewind gives them again.
TEST(AudioFileReader, SamplesDoNotDependOnTheChunkSizeAndRewindRepeatsThem) {
  test::TempDir dir;
  for (int rate : {44100, 11025, 8000}) {
    const std::string path = dir.File("s" + std::to_string(rate) + ".wav");
    WriteStereo(path, rate, rate * 3 + 77);
    std::string error;
    auto a = AudioFileReader::Open(path, error);
    ASSERT_NE(a, nullptr) << error;
    EXPECT_EQ(a->sourceRate(), rate);
    const auto whole = ReadInChunks(*a, 100000);
    EXPECT_TRUE(a->atEnd());
    EXPECT_NEAR(static_cast<double>(whole.size()), 11025.0 * (3 + 77.0 / rate), 30.0) << rate;
    for (size_t chunk : {1u, 7u, 2048u, 4097u}) {
      auto b = AudioFileReader::Open(path, error);
      ASSERT_EQ(ReadInChunks(*b, chunk), whole) << rate << " by " << chunk;
    }
    ASSERT_TRUE(a->Rewind());
    EXPECT_EQ(ReadInChunks(*a, 999), whole) << rate;
    if (rate == 11025) {  // no conversion: the mean of the two channels, exactly
      for (size_t n = 0; n < 500; ++n) {
        const int l = static_cast<short>(9000 * std::sin(0.05 * static_cast<double>(n)));
        const int r = static_cast<short>(5000 * std::sin(0.013 * static_cast<double>(n)));
        ASSERT_NEAR(whole[n], (l + r) / 2.0, 1.0) << n;
      }
    }
  }
}

TEST(FileBackend, LoopingFileRunsOnIntoItsBeginning) {
  test::TempDir dir;
  std::vector<int16_t> in(3000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<int16_t>(i + 1);
  std::string error;
  ASSERT_TRUE(WriteWavFile(dir.File("l.wav"), in, error));
  FileAudioOptions o;
  o.inputPath = dir.File("l.wav");
  o.loop = true;
  auto b = MakeFileBackend(o, error);
  ASSERT_NE(b, nullptr) << error;
  ASSERT_EQ(b->OpenInput(0, nullptr), 0);
  for (int i = 0; i < kAudioBuffers; ++i) ASSERT_EQ(b->AddInputBuffer(i), 0);
  ASSERT_EQ(b->StartInput(), 0);
  std::vector<int16_t> got;
  InputBlock blk;
  for (int k = 0; k < 5; ++k) {
    ASSERT_TRUE(b->TakeInputBlock(blk));
    got.insert(got.end(), blk.samples.begin(), blk.samples.end());
    ASSERT_EQ(b->AddInputBuffer(blk.index), 0);
  }
  for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], in[i % in.size()]) << i;
}

// A 16-bit mono 11025 Hz WAV header for a data chunk of the given number of samples.
std::string WavHeader(uint64_t samples) {
  const uint32_t data = static_cast<uint32_t>(samples * 2);
  std::string h = "RIFF....WAVEfmt ";
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) h += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto put16 = [&](uint16_t v) {
    h += static_cast<char>(v & 0xFF);
    h += static_cast<char>(v >> 8);
  };
  put32(16);
  put16(1);  // PCM
  put16(1);  // mono
  put32(11025);
  put32(22050);
  put16(2);
  put16(16);
  h += "data";
  put32(data);
  const uint32_t riff = data + 36;
  std::memcpy(&h[4], &riff, 4);  // little-endian host
  return h;
}

// The generated signal: sample n of the stream, cheap and position-dependent.
int16_t Generated(uint64_t n) {
  return static_cast<int16_t>((n * 2654435761u) >> 16);
}

// Writes the header and the samples into the pipe, then closes it.
void Generate(int fd, uint64_t samples) {
  const std::string h = WavHeader(samples);
  (void)!write(fd, h.data(), h.size());
  std::vector<int16_t> buf(16384);
  for (uint64_t at = 0; at < samples;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), samples - at));
    for (size_t i = 0; i < n; ++i) buf[i] = Generated(at + i);
    const char* p = reinterpret_cast<const char*>(buf.data());
    size_t left = n * 2;
    while (left > 0) {
      const ssize_t w = write(fd, p, left);
      if (w <= 0) {
        close(fd);
        return;
      }
      p += w;
      left -= static_cast<size_t>(w);
    }
    at += n;
  }
  close(fd);
}

long PeakRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// An hour of audio (159 MB) through a pipe into the file backend: every sample arrives in order
// and the peak resident memory grows by less than 16 MB (holding the input whole took 240 MB;
// the 24-hour figure is measured by the benchmark).
TEST(FileBackend, HoursOfInputThroughAPipeKeepMemoryFlat) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const uint64_t samples = 3600ULL * 11025;
  std::thread writer(Generate, fds[1], samples);
  const long before = PeakRssKb();
  FileAudioOptions o;
  o.inputPath = "/dev/fd/" + std::to_string(fds[0]);
  std::string error;
  auto b = MakeFileBackend(o, error);
  ASSERT_NE(b, nullptr) << error;
  ASSERT_EQ(b->OpenInput(0, nullptr), 0);
  for (int i = 0; i < kAudioBuffers; ++i) ASSERT_EQ(b->AddInputBuffer(i), 0);
  ASSERT_EQ(b->StartInput(), 0);
  uint64_t n = 0, wrong = 0;
  InputBlock blk;
  while (b->TakeInputBlock(blk)) {
    for (int16_t v : blk.samples) {
      if (n < samples && v != Generated(n)) ++wrong;
      ++n;
    }
    ASSERT_EQ(b->AddInputBuffer(blk.index), 0);
  }
  b.reset();
  writer.join();
  close(fds[0]);
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(n, (samples + 2047) / 2048 * 2048);  // the last block padded with silence
  EXPECT_LT(PeakRssKb() - before, 16 * 1024);
}

}  // namespace
}  // namespace vexa::platform
