#include "packet/packet_channels.h"

#include "packet/mixer_demodulator.h"

namespace vexa::packet {

PacketChannels::PacketChannels(Listener listener) : listener_(std::move(listener)) {}

void PacketChannels::Configure(const PacketModemSettings& s) {
  settings_ = s;
  monitor_.reset();
  modem_.reset();
  const PacketModemRow* row = ModemRow(s.type);
  if (!row || row->demod == DemodDesign::None) return;
  // The monitor is the HF modem's receiver at the receive frequency, whatever the type.
  PacketModemSettings hf = s;
  hf.type = 0;
  monitor_ = std::make_unique<PacketReceiver>(
      MakeDemodulator(hf), [this](const Ax25Frame& f) { Heard(f, Source::Monitor); });
  modem_ = std::make_unique<PacketReceiver>(
      MakeDemodulator(s), [this](const Ax25Frame& f) { Heard(f, Source::Modem); });
}

void PacketChannels::Tune(double hz) {
  settings_.receiveHz = hz;
  if (settings_.demod != DemodChoice::Classic) {
    Configure(settings_);  // the correlators are built for their tones
    return;
  }
  if (monitor_) {
    if (auto* m = dynamic_cast<MixerDemodulator*>(monitor_->demodulator())) m->Tune(hz);
  }
  if (modem_) {
    if (auto* m = dynamic_cast<MixerDemodulator*>(modem_->demodulator())) m->Tune(hz);
  }
}

namespace {

// The most bits one frame can take: every bit stuffed at worst after five 1s, the FCS, the
// closing flag and the tail.
int WorstCaseBits(size_t frameBytes, int tailFlags) {
  const int64_t data = static_cast<int64_t>(frameBytes + 2) * 8;
  return static_cast<int>(data + data / 5 + 1 + 8 * (1 + static_cast<int64_t>(tailFlags)));
}

void AppendAt11025(std::vector<int16_t>& out, const std::vector<int16_t>& samples, int rate) {
  if (rate == 22050) {
    for (size_t i = 0; i + 1 < samples.size(); i += 2)
      out.push_back(static_cast<int16_t>((samples[i] + samples[i + 1]) / 2));
  } else {
    out.insert(out.end(), samples.begin(), samples.end());
  }
}

}  // namespace

std::vector<int16_t> SendFrames(const PacketModemSettings& s,
                                const std::vector<std::vector<uint8_t>>& frames,
                                const PacketSendOptions& o) {
  std::vector<int16_t> out;
  const PacketModemRow* row = ModemRow(s.type);
  auto mod = MakeModulator(s);
  if (!row || !mod) return out;
  const int bitRate = TxBitRate(s);
  HdlcTransmitter tx;
  tx.SetFlagCounts(FlagCount(bitRate, o.txDelay), FlagCount(bitRate, o.txTail));
  auto flush = [&] {
    if (!tx.Pending()) return;
    if (!out.empty()) out.insert(out.end(), static_cast<size_t>(o.gapSamples), 0);
    mod->Reset();
    AppendAt11025(out, ModulateTransmission(tx, *mod), row->modulatorRate);
  };
  for (const auto& f : frames) {
    const int need =
        WorstCaseBits(f.size(), tx.tailFlags()) + (tx.Pending() ? 0 : 8 * tx.txDelayFlags());
    if (need > HdlcTransmitter::kMaxBits) continue;  // can never be sent whole
    if (tx.Pending() && tx.bitCount() + need > HdlcTransmitter::kMaxBits) flush();
    (void)tx.QueueFrame(f);
  }
  flush();
  return out;
}

}  // namespace vexa::packet
