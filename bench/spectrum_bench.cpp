// Spectrum frames per second (one frame per 2048-sample block; real time needs 5.4 per second),
// per display type on a 1034 x 200 picture, and the FFT-and-values part alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "engine/spectrum.h"

namespace {

using vexa::engine::Spectrum;
using vexa::engine::SpectrumSettings;

std::vector<float> NoisyTones() {
  std::mt19937 rng(3);
  std::normal_distribution<double> d(0, 200);
  std::vector<float> v(2048);
  for (size_t n = 0; n < v.size(); ++n) {
    v[n] = static_cast<float>(3000 * std::sin(2 * M_PI * 1085 * n / 11025.0) +
                              3000 * std::sin(2 * M_PI * 915 * n / 11025.0) + d(rng));
  }
  return v;
}

class NullHost final : public vexa::engine::SpectrumHost {
 public:
  void TuneReceive(double) override {}
  void TuneTransmit(double) override {}
  void SetSecondChannel(double, bool) override {}
  void RunPskAfc() override {}
};

void RunFrames(benchmark::State& state, Spectrum& s) {
  const auto block = NoisyTones();
  for (auto _ : state) {
    if (s.Frame(block) != 0) state.SkipWithError("frame failed");
    benchmark::DoNotOptimize(s.image().data());
  }
  state.counters["frames_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Arg: display type 0 (line with average), 1 (scrolling line), 2 (waterfall).
void BM_SpectrumEngineFrame(benchmark::State& state) {
  SpectrumSettings settings;
  settings.type = static_cast<int>(state.range(0));
  settings.showAverage = true;
  Spectrum s(settings);
  NullHost host;
  if (s.Resize(1034, 200) != 0) state.SkipWithError("resize failed");
  s.ChangeMode(vexa::Mode::Rtty);  // RTTY: the FSK AFC and the signal measure run every frame
  s.SetHost(&host);
  s.SetAfc(true);
  s.SetSignalCheck(true);
  s.SetReceiveFrequency(1000);
  s.SetTransmitFrequency(1000);
  RunFrames(state, s);
}
BENCHMARK(BM_SpectrumEngineFrame)->Arg(0)->Arg(1)->Arg(2);

// A wide picture at one pixel per bin: 2048 bins, most of them above half the sample rate.
void BM_SpectrumEngineFrameWide(benchmark::State& state) {
  SpectrumSettings settings;
  settings.zoom = 0;
  Spectrum s(settings);
  if (s.Resize(2058, 400) != 0) state.SkipWithError("resize failed");
  s.ChangeMode(vexa::Mode::Psk31);
  RunFrames(state, s);
}
BENCHMARK(BM_SpectrumEngineFrameWide);

}  // namespace
