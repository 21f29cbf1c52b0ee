// Input samples per second through the receive front end, per channel kind (decimated rate).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "engine/receive_channel.h"
#include "engine/receive_loop.h"

namespace {

class CountingChannel final : public vexa::engine::ReceiveChannel {
 public:
  CountingChannel(int rate, double baud) : ReceiveChannel(rate, baud) {}
  void ProcessDecimated() override { sink += FilteredI() ^ FilteredQ(); }
  int32_t sink = 0;
};

std::vector<int16_t> Noise(size_t n) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> d(-12000, 12000);
  std::vector<int16_t> v(n);
  for (auto& x : v) x = static_cast<int16_t>(d(rng));
  return v;
}

void BM_FrontEnd(benchmark::State& state) {
  CountingChannel ch(static_cast<int>(state.range(0)), 31.25);
  ch.SetCarrier(1000);
  auto block = Noise(2048);
  for (auto _ : state) {
    ch.ProcessBlock(block);
    benchmark::DoNotOptimize(ch.sink);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 2048);
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 2048 / 11025.0, benchmark::Counter::kIsRate);
}
// 500 Hz: CW, PSK, FSK31, second channel; 750 Hz: RTTY, MTTY, HELL; 1500 Hz: PACTOR.
BENCHMARK(BM_FrontEnd)->Arg(500)->Arg(750)->Arg(1500);

void BM_ReceiveLoopPskWithSecondChannel(benchmark::State& state) {
  CountingChannel psk(500, 31.25), second(500, 31.25);
  vexa::engine::ChannelTable t;
  t.psk = &psk;
  t.second = &second;
  vexa::engine::ReceiveLoop loop(t, 1);
  loop.SetMode(vexa::Mode::Psk31);
  loop.PlaceSecondChannel(1500);
  auto block = Noise(2048);
  for (auto _ : state) loop.ProcessBlock(block);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 2048);
}
BENCHMARK(BM_ReceiveLoopPskWithSecondChannel);

}  // namespace
