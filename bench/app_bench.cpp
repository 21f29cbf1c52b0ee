// Work the main loop does per input block (2048 samples = 185.8 ms of audio): the receive loop
// with its decoders, and one spectrum frame with the waterfall picture. Both must stay far below
// the block time for sound and painting never to hold each other up.
#include <benchmark/benchmark.h>

#include "app/demo_audio.h"
#include "app/headless_runner.h"
#include "app/main_core.h"
#include "platform/files/settings_store.h"

namespace {

struct CoreRig {
  vexa::platform::SettingsStore store{"/dev/null/none.ini"};  // never written: reads as empty
  vexa::platform::FixedPrompt prompt;
  std::unique_ptr<vexa::platform::AudioBackend> audio = vexa::platform::MakeNullBackend();
  vexa::app::HeadlessRunner host;
  std::unique_ptr<vexa::app::MainCore> core;
  std::vector<int16_t> demo = vexa::app::MakeDemoAudio(10);
  explicit CoreRig(int mode) {
    vexa::app::CoreConfig c;
    c.store = &store;
    c.prompt = &prompt;
    c.audio = audio.get();
    c.openSerialPort = false;
    core = std::make_unique<vexa::app::MainCore>(c, vexa::platform::TraceLog(), host,
                                                 vexa::app::kTemplateNormal);
    core->SetMode(static_cast<vexa::Mode>(mode));
  }
};

void BM_ReceiveBlock(benchmark::State& state) {
  CoreRig r(static_cast<int>(state.range(0)));
  size_t at = 0;
  for (auto _ : state) {
    if (at + 2048 > r.demo.size()) at = 0;
    r.core->receive().receiveLoop().ProcessBlock(
        std::span<const int16_t>(r.demo.data() + at, 2048));
    at += 2048;
  }
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 2048 / 11025.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReceiveBlock)->Arg(9)->Arg(10)->Arg(4)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_SpectrumFrame(benchmark::State& state) {
  CoreRig r(9);
  size_t at = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (at + 2048 > r.demo.size()) at = 0;
    r.core->receive().receiveLoop().ProcessBlock(
        std::span<const int16_t>(r.demo.data() + at, 2048));
    at += 2048;
    state.ResumeTiming();
    r.core->receive().RenderSpectrum(static_cast<int>(state.range(0)),
                                     static_cast<int>(state.range(1)));
  }
}
BENCHMARK(BM_SpectrumFrame)->Args({1034, 200})->Args({1920, 400})->Unit(benchmark::kMicrosecond);

}  // namespace
