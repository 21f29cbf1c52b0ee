#pragma once
// The receive path, built in one place for the desktop program, the command line and the tests:
// the decoder chain, the receive loop over its channels, and the second channel with the
// frequency-error word its catch-up correction reads. Whoever drives it hands it input blocks;
// everything that changes several of its parts at once (mode, tuning, the second channel, AFC)
// goes through here so that the parts never disagree.
#include <cstdint>
#include <span>

#include "common/mode.h"
#include "decoders/decoder_chain.h"
#include "engine/receive_loop.h"
#include "engine/rx_text_queue.h"

namespace vexa::decoders {

// What the operator chose for the receivers.
struct ReceiveOptions {
  Mode mode = Mode::Psk31;
  double receiveHz = kDefaultReceiveHz;
  bool twoTone = false;         // RTTY: the two-tone demodulator
  bool bestDemod = false;       // RTTY, MTTY, PSK31, CW: the stronger demodulators
  bool inversion = false;       // the sideband differs from DigiSide
  bool unshiftOnSpace = false;  // RTTY and MTTY: letters after a received space
};

class ReceivePath {
 public:
  // mainQueue: where the decoders of the main channels write. soundHistory: the SoundHistory
  // setting (units of 2 s of stored audio for the second channel's catch-up).
  ReceivePath(engine::RxTextQueue& mainQueue, int soundHistory);
  ReceivePath(const ReceivePath&) = delete;
  ReceivePath& operator=(const ReceivePath&) = delete;

  void Apply(const ReceiveOptions& o);

  void SetMode(Mode mode);
  Mode mode() const { return chain_.mode(); }
  // The common receive frequency of every main channel.
  void Tune(double hz) { chain_.TuneAll(hz); }
  double receiveHz() const { return chain_.receiveHz(); }
  void SetTwoTone(bool on) { loop_.SetTwoTone(on); }
  void SetBestDemod(bool on) {
    loop_.SetBestDemod(on);
    chain_.SetBestDemod(on);
  }
  void SetInversion(bool on) { chain_.SetInversion(on); }

  // Places the second channel at hz and starts its catch-up on the stored audio; hz <= 0
  // switches it off.
  void PlaceSecondChannel(double hz);
  // Moves the second channel without a new catch-up (fine tuning, AFC): a catch-up that is
  // running goes on where it is, at the new frequency.
  void RetuneSecondChannel(double hz);
  double secondHz() const { return loop_.secondFrequency(); }

  // One AFC step (once per spectrum frame); the second channel's correction is applied here.
  AfcOutcome AfcStep(bool afcOn, bool transmitting);

  void ProcessBlock(std::span<const int16_t> block) { loop_.ProcessBlock(block); }

  // The packet demodulators the loop feeds: the monitor in mode 12, the selected modem in mode
  // 13 (either may be null: packet on an external TNC, or no modem). They are built by whoever
  // owns the packet side; the path only passes the samples on.
  void SetPacketSinks(SampleSink* monitor, SampleSink* modem);

  DecoderChain& chain() { return chain_; }
  const DecoderChain& chain() const { return chain_; }
  engine::ReceiveLoop& loop() { return loop_; }
  const engine::ReceiveLoop& loop() const { return loop_; }

 private:
  DecoderChain chain_;
  engine::ReceiveLoop loop_;
};

}  // namespace vexa::decoders
