// Receive speed per mode through the receive loop and the decoder chain, as a multiple of real
// time on one core: the "x_realtime" counter is seconds of 11025 Hz audio decoded per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "decoders/baudot_codec.h"
#include "decoders/decoder_chain.h"
#include "decoders/varicode.h"
#include "engine/receive_loop.h"

namespace {

using vexa::decoders::DecoderChain;

// Ten seconds of signal in light noise at 1000 Hz: FSK keyed at 45.45 baud with the given shift
// (170 Hz RTTY, 22.725 Hz MTTY), or PSK reversals (shift 0).
std::vector<int16_t> Signal(double shiftHz) {
  const bool fsk = shiftHz > 0;
  std::mt19937 rng(3);
  std::normal_distribution<double> noise(0, 1500);
  std::vector<int16_t> v(11025 * 10);
  double phase = 0;
  for (size_t n = 0; n < v.size(); ++n) {
    const double t = static_cast<double>(n) / 11025.0;
    double s;
    if (fsk) {
      const bool mark = static_cast<int>(t * 45.45 * 3) % 3 != 0;
      phase += 2 * M_PI * (1000.0 + (mark ? 0.5 : -0.5) * shiftHz) / 11025.0;
      s = std::sin(phase);
    } else {
      const int symbol = static_cast<int>(t * 31.25);
      s = std::sin(2 * M_PI * 1000.0 * t + (symbol % 3 == 0 ? M_PI : 0));
    }
    v[n] = static_cast<int16_t>(std::clamp(8000 * s + noise(rng), -32767.0, 32767.0));
  }
  return v;
}

void BM_Receive(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  // Demodulator: 0 the classic one (RTTY single-tone), 1 the classic two-tone (RTTY), 2 the
  // stronger one (RTTY, MTTY, PSK31, QPSK, CW).
  const int64_t demod = state.range(1);
  const auto audio = Signal(mode == 4 ? 170.0 : mode == 17 ? 45.45 / 2 : 0.0);
  vexa::engine::RxTextQueue queue;
  DecoderChain chain(queue);
  chain.SetMode(static_cast<vexa::Mode>(mode));
  chain.SetBestDemod(demod == 2);
  vexa::engine::ReceiveLoop loop(chain.Table(), 0);
  loop.SetMode(static_cast<vexa::Mode>(mode));
  loop.SetTwoTone(demod == 1);
  loop.SetBestDemod(demod == 2);
  uint8_t c;
  for (auto _ : state) {
    for (size_t at = 0; at + 2048 <= audio.size(); at += 2048) {
      loop.ProcessBlock(std::span<const int16_t>(audio.data() + at, 2048));
      while (queue.Get(c)) benchmark::DoNotOptimize(c);
    }
  }
  const double seconds = static_cast<double>(audio.size() / 2048 * 2048) / 11025.0;
  state.counters["x_realtime"] = benchmark::Counter(
      seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Receive)
    ->ArgsProduct({{4}, {0, 1, 2}})
    ->ArgsProduct({{17}, {0, 2}})
    ->ArgsProduct({{9, 10, 0}, {0, 2}})
    ->ArgNames({"mode", "demod"})
    ->Unit(benchmark::kMillisecond);

void BM_EncodeBaudotChar(benchmark::State& state) {
  const char text[] = "CQ CQ DE DL1ABC 599 73 ";
  vexa::decoders::BaudotShift shift = vexa::decoders::BaudotShift::None;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(vexa::decoders::EncodeBaudotChar(text[i], shift));
    i = (i + 1) % (sizeof(text) - 1);
  }
}
BENCHMARK(BM_EncodeBaudotChar);

}  // namespace
