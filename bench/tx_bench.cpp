// Modulator samples per second, per transmit mode: the modulator fills 1024-sample blocks from
// an endless text, as the transmitter does for every returned sound block.
#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "tx/modulator.h"

namespace {

// An endless supply of text; echo and end marks go nowhere.
class EndlessHost final : public vexa::tx::ModulatorHost {
 public:
  bool NextTxChar(uint8_t& c) override {
    static constexpr char kText[] = "CQ CQ DE VEXA VEXA PSE K 73 the quick brown fox 1234567890 ";
    c = static_cast<uint8_t>(kText[pos_++ % (sizeof kText - 1)]);
    return true;
  }
  void Echo(uint8_t c) override { sink_ += c; }
  void ClearTransmitBuffers() override {}
  void MarkEndBlock() override {}
  bool TransmitFlag() const override { return true; }

 private:
  size_t pos_ = 0;
  unsigned sink_ = 0;
};

void BM_Modulator(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  EndlessHost host;
  auto m = vexa::tx::MakeModulator(static_cast<vexa::Mode>(mode), host);
  std::atomic<int> dot{5};
  vexa::tx::ModulatorParams p;
  p.dotTicks = &dot;
  m->Start(p);
  std::array<int16_t, 1024> block{};
  for (auto _ : state) {
    m->Fill(block);
    benchmark::DoNotOptimize(block.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1024);
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 1024 / 11025.0, benchmark::Counter::kIsRate);
  std::string label = vexa::ModeName(static_cast<vexa::Mode>(mode));
  label += " (mode ";
  label += std::to_string(mode);
  label += ")";
  state.SetLabel(label);
}
// 0 CW (sound card), 4 RTTY, 17 MTTY, 9 PSK31, 10 QPSK, 11 FSK31, 16 FSK31 quarter-turn.
BENCHMARK(BM_Modulator)->Arg(0)->Arg(4)->Arg(17)->Arg(9)->Arg(10)->Arg(11)->Arg(16);

}  // namespace
