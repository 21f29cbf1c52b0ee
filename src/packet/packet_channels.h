#pragma once
// The packet side of the receive loop: the monitor of mode 12 (a mixer demodulator at the
// receive frequency, whatever the modem type) and the selected modem's receiver of mode 13,
// both handing decoded frames to one listener. And the sender that turns frames into the
// samples of one or more transmissions for the 11025/s output.
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/modem.h"
#include "packet/packet_modem.h"

namespace vexa::packet {

class PacketChannels {
 public:
  enum class Source { Monitor, Modem };
  using Listener = std::function<void(const Ax25Frame&, Source)>;

  explicit PacketChannels(Listener listener = {});
  PacketChannels(const PacketChannels&) = delete;
  PacketChannels& operator=(const PacketChannels&) = delete;

  void set_listener(Listener listener) { listener_ = std::move(listener); }
  // Builds the receivers of the settings' row; type 7 (the external TNC) and types above 7
  // leave both absent.
  void Configure(const PacketModemSettings& s);
  // Follows the common receive frequency: the monitor, and type 0's mixer.
  void Tune(double hz);
  const PacketModemSettings& settings() const { return settings_; }

  // The sinks the receive loop feeds; nullptr when absent.
  SampleSink* monitor() { return monitor_.get(); }
  SampleSink* modem() { return modem_.get(); }
  // The modem's carrier-detect level (0 without a modem) and the busy decision on it.
  int32_t Level() const { return modem_ ? modem_->Level() : 0; }
  bool Busy() const { return ChannelBusy(settings_.type, Level()); }

 private:
  void Heard(const Ax25Frame& f, Source s) {
    if (listener_) listener_(f, s);
  }

  Listener listener_;
  PacketModemSettings settings_;
  std::unique_ptr<PacketReceiver> monitor_;
  std::unique_ptr<PacketReceiver> modem_;
};

// How frames are sent: TxDelay and TxTail in 10 ms units.
struct PacketSendOptions {
  int txDelay = 30;
  int txTail = 0;
  int gapSamples = 5512;  // silence between two transmissions when one does not hold them all
};

// The 11025/s samples of the frames (bytes without FCS) sent with a modem type: as many frames
// as fit go into one transmission (TX delay once, then the frames one after another); the rest
// follow in further transmissions. Type 5's modulator runs at its 22050/s setting and is brought
// to 11025/s by averaging sample pairs. Empty for the external TNC and unknown types.
std::vector<int16_t> SendFrames(const PacketModemSettings& s,
                                const std::vector<std::vector<uint8_t>>& frames,
                                const PacketSendOptions& o = {});

}  // namespace vexa::packet
