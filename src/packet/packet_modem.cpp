#include "packet/packet_modem.h"

#include <optional>

#include "packet/correlator_demodulator.h"
#include "packet/mixer_demodulator.h"

namespace vexa::packet {

const PacketModemRow* ModemRow(int type) {
  if (type < 0 || type >= kPacketModemCount) return nullptr;
  return &kPacketModems[static_cast<size_t>(type)];
}

int TxBitRate(const PacketModemSettings& s) {
  const PacketModemRow* row = ModemRow(s.type);
  if (!row || row->demod == DemodDesign::None) return 0;
  return row->txBitRate != 0 ? row->txBitRate : s.customBaud;
}

ZeroCrossParams ZeroCrossParamsFor(const PacketModemSettings& s) {
  ZeroCrossParams p;
  p.sampleRate = 11025;
  p.hysteresis = 1;
  switch (s.type) {
    case 1:
      p.toneA = 1200;
      p.toneB = 2500;
      p.bitRate = 1200;
      break;
    case 2:
      p.toneA = 1200;
      p.toneB = 2400;
      p.bitRate = 1200;
      break;
    case 3:
      p.toneA = 1200;
      p.toneB = 1800;
      p.bitRate = 1200;
      break;
    case 4:
    case 5:
      p.toneA = 1200;
      p.toneB = 1800;
      p.bitRate = 2400;
      p.pskVariant = s.usePsk;
      break;
    case 6:
      p.toneA = s.customTone1;
      p.toneB = static_cast<int32_t>(s.customTone2 * 1.14);
      p.bitRate = s.customBaud;
      break;
    default:
      break;
  }
  return p;
}

namespace {

// The tones of a row as the correlators listen for them (level 1 first).
std::optional<CorrelatorParams> CorrelatorParamsFor(const PacketModemSettings& s) {
  CorrelatorParams c;
  switch (s.type) {
    case 0:
      c = {s.receiveHz - 100.0, s.receiveHz + 100.0, 300};
      break;
    case 1:
      c = {1200.0, 2200.0, 1200};
      break;
    case 2:
      c = {1200.0, 2400.0, 1200};
      break;
    case 3:
      c = {1190.0, 1786.0, 1200};
      break;
    case 4:
    case 5:
      if (s.usePsk) return std::nullopt;
      c = {1190.0, 2381.0, 2400};
      break;
    case 6:
      c = {static_cast<double>(s.customTone1), static_cast<double>(s.customTone2), s.customBaud};
      break;
    default:
      return std::nullopt;
  }
  return c;
}

}  // namespace

std::unique_ptr<PacketDemodulator> MakeDemodulator(const PacketModemSettings& s) {
  const PacketModemRow* row = ModemRow(s.type);
  if (!row) return nullptr;
  if (s.demod == DemodChoice::Best) {
    if (auto c = CorrelatorParamsFor(s)) return std::make_unique<CorrelatorDemodulator>(*c);
  }
  switch (row->demod) {
    case DemodDesign::Mixer:
      return std::make_unique<MixerDemodulator>(s.receiveHz);
    case DemodDesign::ZeroCross:
      return std::make_unique<ZeroCrossDemodulator>(ZeroCrossParamsFor(s));
    case DemodDesign::None:
      return nullptr;
  }
  return nullptr;
}

std::unique_ptr<PacketModulator> MakeModulator(const PacketModemSettings& s) {
  const PacketModemRow* row = ModemRow(s.type);
  if (!row) return nullptr;
  switch (s.type) {
    case 0:
      // Level 1 is the lower tone, 100 Hz below the receive frequency.
      return std::make_unique<FskModulator>(s.receiveHz - 100.0, s.receiveHz + 100.0, 300);
    case 1:
      return std::make_unique<FskModulator>(1200.0, 2200.0, 1200);
    case 2:
      return std::make_unique<TonePairModulator>(TonePairKind::Type2, row->modulatorRate);
    case 3:
      return std::make_unique<TonePairModulator>(TonePairKind::Type3, row->modulatorRate);
    case 4:
    case 5:
      return std::make_unique<TonePairModulator>(TonePairKind::Type45, row->modulatorRate,
                                                 s.usePsk);
    case 6:
      return std::make_unique<FskModulator>(s.customTone1, s.customTone2, s.customBaud);
    default:
      return nullptr;
  }
}

bool ChannelBusy(int type, int32_t level) {
  const PacketModemRow* row = ModemRow(type);
  return row && row->busyThreshold > 0 && level >= row->busyThreshold;
}

PacketReceiver::PacketReceiver(std::unique_ptr<PacketDemodulator> demodulator, Listener listener)
    : demod_(std::move(demodulator)), listener_(std::move(listener)) {
  hdlc_.set_sink(this);
  if (demod_) {
    demod_->set_output(&hdlc_);
    demod_->set_frame_output(this);
  }
}

void PacketReceiver::ProcessSamples(std::span<const int16_t> samples) {
  if (demod_) demod_->ProcessSamples(samples);
}

void PacketReceiver::Reset() {
  if (demod_) demod_->Reset();
  hdlc_.Reset();
}

void PacketReceiver::OnFrame(std::span<const uint8_t> frame) {
  auto f = DecodeFrame(frame);
  if (!f) {
    ++undecodable_;
    return;
  }
  if (listener_) listener_(*f);
}

std::vector<int16_t> ModulateTransmission(HdlcTransmitter& tx, PacketModulator& mod) {
  std::vector<int16_t> out;
  out.reserve(static_cast<size_t>(tx.bitCount()) * 10 + 16);
  for (int level = tx.NextLevel(); level >= 0; level = tx.NextLevel()) {
    mod.NextBit(level);
    bool due = false;
    // A bit always lasts at least one sample; the cap only guards a broken configuration.
    for (int n = 0; n < 1 << 16 && !due; ++n) out.push_back(mod.NextSample(due));
  }
  return out;
}

}  // namespace vexa::packet
