// A day of audio decoded from a pipe: a generator thread writes a 24-hour WAV stream (RTTY at
// 1000 Hz in noise, ten seconds repeated) into a pipe, and the file audio backend, the sound card
// object and the receive path decode it exactly as vexa-cli rx does. Counters: "x_realtime"
// (audio seconds per second, including the pipe and the WAV decoding) and "peak_rss_MB" (the
// process's peak resident memory from getrusage, which stays flat whatever the length).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "decoders/receive_path.h"
#include "engine/rx_text_queue.h"
#include "engine/sound_card.h"
#include "platform/audio/audio_backend.h"

namespace {

std::string WavHeader(uint64_t samples) {
  const uint32_t data = static_cast<uint32_t>(samples * 2);
  std::string h = "RIFF....WAVEfmt ";
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) h += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put(16, 4);
  put(1, 2);
  put(1, 2);
  put(11025, 4);
  put(22050, 4);
  put(2, 2);
  put(16, 2);
  h += "data";
  put(data, 4);
  const uint32_t riff = data + 36;
  for (int i = 0; i < 4; ++i) h[4 + static_cast<size_t>(i)] = static_cast<char>(riff >> (8 * i));
  return h;
}

std::vector<int16_t> TenSecondsOfRtty() {
  std::mt19937 rng(5);
  std::normal_distribution<double> noise(0, 2000);
  std::uniform_int_distribution<int> bit(0, 1);
  std::vector<int16_t> v(11025 * 10);
  double phase = 0;
  bool mark = true;
  size_t nextBit = 0;
  for (size_t n = 0; n < v.size(); ++n) {
    if (n >= nextBit) {
      mark = bit(rng) != 0;
      nextBit += 243;  // 45.45 baud
    }
    phase += 2 * M_PI * (mark ? 1085.0 : 915.0) / 11025.0;
    v[n] = static_cast<int16_t>(std::clamp(8000 * std::sin(phase) + noise(rng), -32767.0, 32767.0));
  }
  return v;
}

void Generate(int fd, uint64_t samples, const std::vector<int16_t>* loop) {
  const std::string h = WavHeader(samples);
  (void)!write(fd, h.data(), h.size());
  const char* base = reinterpret_cast<const char*>(loop->data());
  const uint64_t loopBytes = loop->size() * 2;
  for (uint64_t at = 0, total = samples * 2; at < total;) {
    const uint64_t off = at % loopBytes;
    const size_t n = static_cast<size_t>(std::min(loopBytes - off, total - at));
    const ssize_t w = write(fd, base + off, std::min<size_t>(n, 65536));
    if (w <= 0) break;
    at += static_cast<uint64_t>(w);
  }
  close(fd);
}

void BM_Decode24HoursFromAPipe(benchmark::State& state) {
  const uint64_t samples = 24ULL * 3600 * 11025;
  const auto loop = TenSecondsOfRtty();
  uint64_t decoded = 0, chars = 0;
  for (auto _ : state) {
    int fds[2];
    if (pipe(fds) != 0) {
      state.SkipWithError("pipe");
      return;
    }
    std::thread writer(Generate, fds[1], samples, &loop);
    vexa::platform::FileAudioOptions o;
    o.inputPath = "/dev/fd/" + std::to_string(fds[0]);
    std::string error;
    auto backend = vexa::platform::MakeFileBackend(o, error);
    vexa::engine::SoundCard card(*backend, vexa::engine::DeviceChoice{});
    vexa::engine::RxTextQueue queue;
    vexa::decoders::ReceivePath path(queue, 0);
    vexa::decoders::ReceiveOptions ro;
    ro.mode = vexa::Mode::Rtty;
    path.Apply(ro);
    if (card.OpenSoundInput() != 0) {
      state.SkipWithError("open");
      return;
    }
    vexa::platform::InputBlock block;
    uint8_t c;
    while (card.TakeInputBlock(block)) {
      path.ProcessBlock(block.samples);
      decoded += block.samples.size();
      while (queue.Get(c)) ++chars;
      if (card.RequeueInputBlock(block) != 0) break;
    }
    card.CloseSoundInput();
    backend.reset();
    writer.join();
    close(fds[0]);
  }
  benchmark::DoNotOptimize(chars);
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(decoded) / 11025.0, benchmark::Counter::kIsRate);
  state.counters["peak_rss_MB"] = static_cast<double>(u.ru_maxrss) / 1024.0;
  state.counters["audio_hours"] = static_cast<double>(decoded) / 11025.0 / 3600.0;
}
BENCHMARK(BM_Decode24HoursFromAPipe)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
