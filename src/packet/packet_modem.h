#pragma once
// The packet modem table (one row per `Modem_type`), the factory that builds a row's
// demodulator and modulator, the receiver that turns input samples into decoded frames, and
// the sender that turns frames into the samples of one transmission.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "common/modem.h"
#include "packet/ax25_frame.h"
#include "packet/hdlc.h"
#include "packet/packet_demodulator.h"
#include "packet/packet_modulator.h"
#include "packet/zero_cross_demodulator.h"

namespace vexa::packet {

enum class DemodDesign { Mixer, ZeroCross, None };
enum class ModDesign { Fsk, TonePair, None };

struct PacketModemRow {
  int type;
  const char* name;   // the entry of the modem list
  int txBitRate;      // for the TX-delay and tail flag counts; 0: the custom baud rate
  int modulatorRate;  // the modulator's sample-rate setting; 0: none
  int busyThreshold;  // carrier-detect level at or above which the channel is busy; 0: none
  DemodDesign demod;
  ModDesign mod;
};

constexpr int kKissModemType = 7;
constexpr int kPacketModemCount = 8;

// clang-format off
inline constexpr std::array<PacketModemRow, kPacketModemCount> kPacketModems{{
    {0, "HF 300 baud  (200 Hz shift)",                  300,  11025, 1000,  DemodDesign::Mixer,     ModDesign::Fsk},
    {1, "VHF 1200 baud  (Standard, 1200/2200 Hz)",      1200, 11025, 24000, DemodDesign::ZeroCross, ModDesign::Fsk},
    {2, "VHF 1200 baud  (Zero-crossing, 1200/2400 Hz)", 1200, 11025, 26000, DemodDesign::ZeroCross, ModDesign::TonePair},
    {3, "VHF 1200 baud  (FX469: 1200/1800 Hz)",         1200, 11025, 26000, DemodDesign::ZeroCross, ModDesign::TonePair},
    {4, "VHF 2400 baud  (FX469: 1200/2400 Hz)",         2400, 11025, 26000, DemodDesign::ZeroCross, ModDesign::TonePair},
    {5, "VHF 4800 baud  (FX469: 2400/4800 Hz)",         2400, 22050, 26000, DemodDesign::ZeroCross, ModDesign::TonePair},
    {6, "VHF Custom AFSK (see TNC page)",               0,    11025, 24000, DemodDesign::ZeroCross, ModDesign::Fsk},
    {7, "KISS TNC",                                     0,    0,     0,     DemodDesign::None,      ModDesign::None},
}};
// clang-format on

// The row of a modem type, or nullptr above 7 (no modem).
const PacketModemRow* ModemRow(int type);

// Which demodulator a modem listens with: the classic design of its row (mixer or zero
// crossings), or the correlator demodulator.
enum class DemodChoice { Classic = 0, Best = 1 };

// The settings a modem is built from.
struct PacketModemSettings {
  int type = 1;               // Modem_type
  double receiveHz = 1000.0;  // the common receive frequency (type 0 and the monitor)
  int customBaud = 2400;      // CustomAfskBaudrate
  int customTone1 = 2000;     // CustomAfskTone1, Hz (level 1)
  int customTone2 = 3600;     // CustomAfskTone2, Hz (level 0)
  bool usePsk = false;        // UsePskOn24004800 (types 4 and 5)
  DemodChoice demod = DemodChoice::Classic;
};

// The bit rate of the flag counts (0 for the KISS TNC and unknown types).
int TxBitRate(const PacketModemSettings& s);
// The zero-crossing parameters of types 1 to 6.
ZeroCrossParams ZeroCrossParamsFor(const PacketModemSettings& s);
// The demodulator of the row (nullptr for the KISS TNC and types above 7). With
// DemodChoice::Best the correlator demodulator listens on the row's tones, except for the
// phase-reversal variant of types 4 and 5, which keeps its zero-crossing design.
std::unique_ptr<PacketDemodulator> MakeDemodulator(const PacketModemSettings& s);
// The modulator of the row (nullptr for the KISS TNC and types above 7).
std::unique_ptr<PacketModulator> MakeModulator(const PacketModemSettings& s);
// Whether a carrier-detect level means a busy channel for the type.
bool ChannelBusy(int type, int32_t level);

// A demodulator with its HDLC receiver; each frame that passes the FCS and decodes goes to the
// listener.
class PacketReceiver final : public SampleSink, private FrameSink {
 public:
  using Listener = std::function<void(const Ax25Frame&)>;

  // demodulator may be nullptr (no modem): samples are then ignored.
  explicit PacketReceiver(std::unique_ptr<PacketDemodulator> demodulator, Listener listener = {});
  void set_listener(Listener listener) { listener_ = std::move(listener); }

  void ProcessSamples(std::span<const int16_t> samples) override;
  void Reset();
  int32_t Level() const { return demod_ ? demod_->Level() : 0; }
  PacketDemodulator* demodulator() { return demod_.get(); }
  const HdlcReceiver& hdlc() const { return hdlc_; }
  // Frames that passed the FCS but not the frame decoder.
  int undecodable() const { return undecodable_; }

 private:
  void OnFrame(std::span<const uint8_t> frame) override;

  std::unique_ptr<PacketDemodulator> demod_;
  HdlcReceiver hdlc_;
  Listener listener_;
  int undecodable_ = 0;
};

// The samples of one transmission: every level the transmitter holds, through the modulator,
// at the modulator's sample rate.
std::vector<int16_t> ModulateTransmission(HdlcTransmitter& tx, PacketModulator& mod);

}  // namespace vexa::packet
