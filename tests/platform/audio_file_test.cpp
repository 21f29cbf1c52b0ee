#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <vector>

#include "platform/audio/audio_backend.h"
#include "support/test_paths.h"

namespace vexa::platform {
namespace {

// Writes a float WAV at the given rate and channel count with a sine in every channel.
void WriteSine(const std::string& path, int rate, int channels, double hz, double seconds) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  const int frames = static_cast<int>(rate * seconds);
  std::vector<float> buf(static_cast<size_t>(frames * channels));
  for (int n = 0; n < frames; ++n)
    for (int c = 0; c < channels; ++c)
      buf[static_cast<size_t>(n * channels + c)] =
          0.5f * static_cast<float>(std::sin(2 * M_PI * hz * n / rate));
  sf_writef_float(f, buf.data(), frames);
  sf_close(f);
}

// Frequency estimate from positive-going zero crossings.
double ZeroCrossingHz(const std::vector<int16_t>& s, int rate) {
  int first = -1, last = -1, count = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      if (first < 0) first = static_cast<int>(i);
      last = static_cast<int>(i);
      ++count;
    }
  }
  return (count - 1) * static_cast<double>(rate) / (last - first);
}

TEST(AudioFile, ConvertsAnyRateAndChannelCountTo11025Mono) {
  test::TempDir dir;
  for (int rate : {48000, 44100, 22050, 8000, 11025}) {
    const std::string path = dir.File("in" + std::to_string(rate) + ".wav");
    WriteSine(path, rate, 2, 1000.0, 1.0);
    std::vector<int16_t> s;
    std::string error;
    ASSERT_TRUE(ReadAudioFile(path, s, error)) << error;
    EXPECT_NEAR(static_cast<double>(s.size()), 11025.0, 40.0) << rate;
    EXPECT_NEAR(ZeroCrossingHz(s, 11025), 1000.0, 1.0) << rate;
    // Amplitude 0.5 of full scale survives the conversion (mid-file, away from filter edges).
    int peak = 0;
    for (size_t i = 2000; i < 9000; ++i) peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    EXPECT_NEAR(peak, 16384, 400) << rate;
  }
}

TEST(AudioFile, WavRoundTripIsBitExact) {
  test::TempDir dir;
  std::vector<int16_t> in(5000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<int16_t>((i * 7919) % 65536 - 32768);
  std::string error;
  ASSERT_TRUE(WriteWavFile(dir.File("o.wav"), in, error)) << error;
  std::vector<int16_t> out;
  ASSERT_TRUE(ReadAudioFile(dir.File("o.wav"), out, error)) << error;
  EXPECT_EQ(in, out);
}

TEST(AudioFile, HostileAndTruncatedFilesGiveAnErrorNotACrash) {
  test::TempDir dir;
  std::vector<int16_t> s;
  std::string error;
  EXPECT_FALSE(ReadAudioFile(dir.File("missing.wav"), s, error));
  EXPECT_NE(error.find("missing.wav"), std::string::npos);

  test::WriteFileBytes(dir.File("junk.wav"), std::string(1000, '\x5a'));
  EXPECT_FALSE(ReadAudioFile(dir.File("junk.wav"), s, error));

  // A valid WAV cut in the middle of its data reads what is there.
  std::vector<int16_t> tone(11025, 1000);
  ASSERT_TRUE(WriteWavFile(dir.File("t.wav"), tone, error));
  std::string bytes = test::ReadFileBytes(dir.File("t.wav"));
  test::WriteFileBytes(dir.File("cut.wav"), bytes.substr(0, 44 + 2000));
  if (ReadAudioFile(dir.File("cut.wav"), s, error)) {
    EXPECT_LE(s.size(), 1000u);
  }

  // A header that claims a huge data chunk but holds nothing.
  std::string header = bytes.substr(0, 44);
  header[40] = header[41] = header[42] = '\xff';
  header[43] = '\x7f';
  test::WriteFileBytes(dir.File("huge.wav"), header);
  if (ReadAudioFile(dir.File("huge.wav"), s, error)) {
    EXPECT_TRUE(s.empty());
  }
}

TEST(FileBackend, DeliversTheFileInFullBlocksThroughTheFourBuffers) {
  test::TempDir dir;
  std::vector<int16_t> in(2048 * 3 + 100);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<int16_t>(i % 1000);
  std::string error;
  ASSERT_TRUE(WriteWavFile(dir.File("in.wav"), in, error));
  FileAudioOptions o;
  o.inputPath = dir.File("in.wav");
  auto b = MakeFileBackend(o, error);
  ASSERT_NE(b, nullptr) << error;
  ASSERT_EQ(b->OpenInput(0, nullptr), 0);
  for (int i = 0; i < kAudioBuffers; ++i) ASSERT_EQ(b->AddInputBuffer(i), 0);
  EXPECT_EQ(b->AddInputBuffer(0), kAudioBadBuffer);  // already queued
  ASSERT_EQ(b->StartInput(), 0);
  std::vector<int16_t> got;
  InputBlock blk;
  int blocks = 0;
  while (b->TakeInputBlock(blk)) {
    EXPECT_EQ(blk.samples.size(), 2048u);
    got.insert(got.end(), blk.samples.begin(), blk.samples.end());
    ASSERT_EQ(b->AddInputBuffer(blk.index), 0);
    ++blocks;
  }
  EXPECT_EQ(blocks, 4);  // the last short block is padded with silence
  ASSERT_EQ(got.size(), 4u * 2048);
  EXPECT_TRUE(std::equal(in.begin(), in.end(), got.begin()));
  EXPECT_TRUE(std::all_of(got.begin() + static_cast<long>(in.size()), got.end(),
                          [](int16_t v) { return v == 0; }));
  EXPECT_EQ(b->CloseInput(), 0);
  EXPECT_EQ(b->CloseInput(), kAudioNotOpen);
}

TEST(FileBackend, NoBlocksWhileNoBufferIsQueued) {
  test::TempDir dir;
  std::vector<int16_t> in(2048 * 8, 5);
  std::string error;
  ASSERT_TRUE(WriteWavFile(dir.File("in.wav"), in, error));
  FileAudioOptions o;
  o.inputPath = dir.File("in.wav");
  auto b = MakeFileBackend(o, error);
  ASSERT_EQ(b->OpenInput(0, nullptr), 0);
  ASSERT_EQ(b->AddInputBuffer(2), 0);
  ASSERT_EQ(b->StartInput(), 0);
  InputBlock blk;
  ASSERT_TRUE(b->TakeInputBlock(blk));
  EXPECT_EQ(blk.index, 2);
  EXPECT_FALSE(b->TakeInputBlock(blk));  // the only buffer is out with the reader
}

TEST(FileBackend, OutputAppendsEveryTransmissionToOneWav) {
  test::TempDir dir;
  FileAudioOptions o;
  o.outputPath = dir.File("tx.wav");
  std::string error;
  auto b = MakeFileBackend(o, error);
  ASSERT_NE(b, nullptr);
  std::vector<int16_t> block(1024, 1234);
  for (int tx = 0; tx < 2; ++tx) {
    ASSERT_EQ(b->OpenOutput(0, nullptr), 0);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(b->WriteOutput(i, block), 0);
    int idx = -1, done = 0;
    while (b->TakeOutputDone(idx)) EXPECT_EQ(idx, done++);
    EXPECT_EQ(done, 3);
    ASSERT_EQ(b->CloseOutput(), 0);
  }
  EXPECT_EQ(b->WriteOutput(0, block), kAudioNotOpen);
  b.reset();
  std::vector<int16_t> out;
  ASSERT_TRUE(ReadAudioFile(dir.File("tx.wav"), out, error));
  EXPECT_EQ(out.size(), 6u * 1024);
}

TEST(NullBackend, HearsNothingAndReturnsOutputAtOnce) {
  auto b = MakeNullBackend();
  ASSERT_EQ(b->OpenInput(0, nullptr), 0);
  InputBlock blk;
  EXPECT_FALSE(b->TakeInputBlock(blk));
  EXPECT_EQ(b->OpenInput(0, nullptr), kAudioAlreadyOpen);
  int notified = 0;
  ASSERT_EQ(b->OpenOutput(0, [&] { ++notified; }), 0);
  std::vector<int16_t> block(1024);
  ASSERT_EQ(b->WriteOutput(1, block), 0);
  int idx = -1;
  ASSERT_TRUE(b->TakeOutputDone(idx));
  EXPECT_EQ(idx, 1);
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(b->WriteOutput(4, block), kAudioBadBuffer);
}

}  // namespace
}  // namespace vexa::platform
