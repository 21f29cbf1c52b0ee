// The signal browser with a full band: 30 PSK31 stations 100 Hz apart from 300 to 3200 Hz, in
// noise, with the classic and with the stronger demodulators. Each iteration is one 2048-sample
// input block through the shared spectrum and every open slot's receiver; x_realtime above 1 means
// the browser keeps up on one core.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "decoders/signal_browser.h"
#include "support/psk31_signal.h"

namespace {

std::vector<int16_t> Band30() {
  std::vector<std::pair<double, std::string>> stations;
  for (int i = 0; i < 30; ++i) {
    std::string text;
    for (int k = 0; k < 6; ++k)
      text += "CQ CQ DE VX" + std::to_string(i) + "ABC VX" + std::to_string(i) + "ABC PSE K ";
    stations.push_back({300.0 + 100.0 * i, text});
  }
  return vexa::test::MakePsk31Band(stations, 900, 300, 0.0);
}

// state.range(0): 1 for the stronger demodulators in every slot.
void BM_Browser30Psk31(benchmark::State& state) {
  static const std::vector<int16_t> band = Band30();
  vexa::decoders::BrowserOptions options;
  options.best = state.range(0) == 1;
  vexa::decoders::SignalBrowser browser(options);
  // The first 15 s open the slots; the timed blocks then run with every station decoded.
  const size_t warm = 15 * 11025 / 2048 * 2048;
  for (size_t at = 0; at + 2048 <= warm; at += 2048)
    browser.ProcessBlock(std::span<const int16_t>(band.data() + at, 2048));
  size_t at = warm;
  for (auto _ : state) {
    if (at + 2048 > band.size()) at = warm;
    browser.ProcessBlock(std::span<const int16_t>(band.data() + at, 2048));
    at += 2048;
  }
  state.counters["open_slots"] = browser.ActiveCount();
  // Stations whose call came through whole: the work measured is real decoding.
  int decoded = 0;
  for (const auto& s : browser.Signals())
    decoded += s.text.find("ABC PSE K") != std::string::npos ? 1 : 0;
  state.counters["decoded"] = decoded;
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 2048 / 11025.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Browser30Psk31)->ArgName("best")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
