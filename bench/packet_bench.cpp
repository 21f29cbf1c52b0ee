// Packet receive speed on the peer-made 1200 bit/s file: each demodulator with its HDLC
// receiver and frame decoder, on one core. Counters: "x_realtime" (seconds of audio per second)
// and "frames" decoded per pass. BM_PacketAtest runs direwolf's atest on the same file in the
// same run for comparison (skipped when atest is not installed or the file is absent).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "packet/packet_modem.h"
#include "platform/audio/audio_backend.h"

namespace {

#ifndef VEXA_TESTDATA_DIR
#define VEXA_TESTDATA_DIR "../shared/testdata"
#endif

const std::string kFile = std::string(VEXA_TESTDATA_DIR) + "/audio/ax25_1200_clean.wav";

const std::vector<int16_t>& Samples() {
  static const std::vector<int16_t> s = [] {
    std::vector<int16_t> v;
    std::string error;
    (void)vexa::platform::ReadAudioFile(kFile, v, error);
    return v;
  }();
  return s;
}

void Run(benchmark::State& state, int type, vexa::packet::DemodChoice demod, double hz) {
  const auto& samples = Samples();
  if (samples.empty()) {
    state.SkipWithError("peer file not present");
    return;
  }
  vexa::packet::PacketModemSettings s;
  s.type = type;
  s.demod = demod;
  s.receiveHz = hz;
  int frames = 0;
  for (auto _ : state) {
    frames = 0;
    vexa::packet::PacketReceiver rx(vexa::packet::MakeDemodulator(s),
                                    [&](const vexa::packet::Ax25Frame&) { ++frames; });
    rx.ProcessSamples(samples);
    benchmark::DoNotOptimize(frames);
  }
  const double seconds = static_cast<double>(samples.size()) / 11025.0;
  state.counters["x_realtime"] = benchmark::Counter(
      seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["frames"] = frames;
}

void BM_PacketZeroCross1200(benchmark::State& state) {
  Run(state, 1, vexa::packet::DemodChoice::Classic, 1000);
}
void BM_PacketCorrelator1200(benchmark::State& state) {
  Run(state, 1, vexa::packet::DemodChoice::Best, 1000);
}
// The mixer of the HF modem on the same audio (it decodes none of these 1200 bit/s frames;
// the figure is its cost per second of audio).
void BM_PacketMixer300(benchmark::State& state) {
  Run(state, 0, vexa::packet::DemodChoice::Classic, 1700);
}

void BM_PacketAtest(benchmark::State& state) {
  if (std::system("command -v atest >/dev/null 2>&1") != 0 || Samples().empty()) {
    state.SkipWithError("atest or the peer file not present");
    return;
  }
  const std::string cmd = "atest -B 1200 " + kFile + " >/dev/null 2>&1";
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const int rc = std::system(cmd.c_str());
    benchmark::DoNotOptimize(rc);
    const auto t1 = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
  }
  const double seconds = static_cast<double>(Samples().size()) / 11025.0;
  state.counters["x_realtime"] = benchmark::Counter(
      seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_PacketZeroCross1200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PacketCorrelator1200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PacketMixer300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PacketAtest)->UseManualTime()->Unit(benchmark::kMillisecond);
