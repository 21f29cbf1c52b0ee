// Real-time multiples of the CW, Hellschreiber, FSK31 and PACTOR receivers: input samples per
// second through the front end and the decoder, divided by the 11025 Hz input rate. Each runs on a
// looping 2048-sample block of its own kind of signal, so that the decision and frame paths work
// as on the air.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "decoders/cw_decoder.h"
#include "decoders/fsk31_receiver.h"
#include "decoders/hell_image.h"
#include "decoders/hell_receiver.h"
#include "decoders/pactor_receiver.h"
#include "engine/rx_text_queue.h"

namespace {

constexpr double kRate = 11025;

// A keyed or frequency-shifted tone with noise, long enough to cover many symbols.
std::vector<int16_t> Signal(double hz, double keyHz, double shiftHz, bool onOff) {
  std::mt19937 rng(3);
  std::normal_distribution<double> noise(0, 500);
  std::vector<int16_t> s(static_cast<size_t>(kRate * 4));
  double phase = 0;
  for (size_t n = 0; n < s.size(); ++n) {
    const double t = static_cast<double>(n) / kRate;
    const bool mark = std::fmod(t * keyHz, 1.0) < 0.5;
    phase += 2 * M_PI * (hz + (mark ? shiftHz : -shiftHz) / 2) / kRate;
    const double a = onOff && !mark ? 0 : 8000;
    s[n] = static_cast<int16_t>(a * std::sin(phase) + noise(rng));
  }
  return s;
}

template <typename Channel>
void RunChannel(benchmark::State& state, Channel& ch, const std::vector<int16_t>& signal,
                vexa::engine::RxTextQueue* q) {
  size_t pos = 0;
  for (auto _ : state) {
    ch.ProcessBlock(std::span<const int16_t>(signal.data() + pos, 2048));
    pos = (pos + 2048) % (signal.size() - 2048);
    if (q != nullptr) q->Clear();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 2048);
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 2048 / kRate, benchmark::Counter::kIsRate);
}

void BM_CwDecoder(benchmark::State& state) {
  vexa::engine::RxTextQueue q;
  vexa::decoders::CwDecoder cw(&q);
  cw.SetCarrier(800);
  RunChannel(state, cw, Signal(800, 8, 0, true), &q);
}
BENCHMARK(BM_CwDecoder);

void BM_HellReceiver(benchmark::State& state) {
  vexa::decoders::HellImage image(800);  // the window's strip, wrapping like its client area
  vexa::decoders::HellReceiver hell(&image);
  hell.SetCarrier(1000);
  RunChannel(state, hell, Signal(1000, 122.5, 0, true), nullptr);
}
BENCHMARK(BM_HellReceiver);

void BM_Fsk31Receiver(benchmark::State& state) {
  vexa::engine::SymbolListener sink;  // bits are dropped here; the varicode step is the PSK's
  vexa::decoders::Fsk31Receiver fsk;
  fsk.listener = &sink;
  fsk.SetCarrier(1000);
  RunChannel(state, fsk, Signal(1000, 15.625, 15.625, false), nullptr);
}
BENCHMARK(BM_Fsk31Receiver);

void BM_PactorReceiver(benchmark::State& state) {
  vexa::engine::RxTextQueue q;
  vexa::decoders::PactorReceiver pactor(&q);
  pactor.SetCarrier(1500);
  RunChannel(state, pactor, Signal(1500, 50, 200, false), &q);
}
BENCHMARK(BM_PactorReceiver);

}  // namespace
