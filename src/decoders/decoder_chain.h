#pragma once
// Every receive channel and decoder of the main window, wired together: the RTTY single-tone and
// two-tone demodulators, MTTY, the PSK channel with its BPSK and QPSK decoders behind a symbol
// forwarder, and the second PSK channel with its own BPSK decoder and text queue. Characters of
// all main-window decoders go into the main received-text queue given at construction.
//
// The chain is built for 11025 Hz input. It hands the receive loop its channel table and owns the
// operations that act on several channels at once: the mode change (which retargets the
// forwarder), tuning, the baud rate, unshift, the sideband inversion and the PSK AFC step.
#include <cstdint>

#include "decoders/cw_best.h"
#include "decoders/cw_decoder.h"
#include "decoders/fsk31_receiver.h"
#include "decoders/hell_receiver.h"
#include "decoders/mtty_best.h"
#include "decoders/pactor_receiver.h"
#include "decoders/psk_best.h"
#include "decoders/psk_receiver.h"
#include "decoders/rtty_best.h"
#include "decoders/rtty_receiver.h"
#include "engine/receive_loop.h"
#include "engine/rx_text_queue.h"

namespace vexa::decoders {

inline constexpr double kDefaultReceiveHz = 1000.0;

// What one AFC step changed.
struct AfcOutcome {
  bool moved = false;        // the common receive frequency was corrected
  double receiveHz = 0;      // the (possibly new) common receive frequency
  bool secondMoved = false;  // the second channel was corrected
  double secondHz = 0;       // the (possibly new) second channel frequency
};

class DecoderChain {
 public:
  explicit DecoderChain(engine::RxTextQueue& mainQueue);
  DecoderChain(const DecoderChain&) = delete;
  DecoderChain& operator=(const DecoderChain&) = delete;

  // The channels for the receive loop.
  engine::ChannelTable Table();

  // Mode change: points the symbol forwarder at the BPSK decoder (modes 9, 11, 16) or the QPSK
  // decoder (mode 10) and chooses the values the AFC reads.
  void SetMode(Mode mode);
  Mode mode() const { return mode_; }

  // The common receive frequency in Hz: the carrier of every main-window channel (the two-tone
  // channel places its oscillators 90 Hz above and below it).
  void TuneAll(double hz);
  double receiveHz() const { return receiveHz_; }

  // Both RTTY channels (MTTY keeps 45.45 baud).
  void SetRttyBaud(double baud);
  // The unshift command: letters shift on both RTTY decoders.
  void Unshift();
  // Letters after a received space, on the RTTY and MTTY decoders (off by default).
  void SetUnshiftOnSpace(bool on);
  // The inversion flag (current sideband differs from DigiSide): swaps mark and space in the
  // RTTY and MTTY demodulators (classic and best) and the sense of the QPSK decoder.
  void SetInversion(bool on);
  bool inversion() const { return inversion_; }

  // The PSK AFC step, run once per spectrum frame. Only acts in modes 9, 10, 11 and 16 with the
  // AFC switch on and no transmission. secondHz is the second channel's frequency (<= 0: off).
  AfcOutcome AfcStep(bool afcOn, bool transmitting, double secondHz);
  // The FSK31 receiver's AFC value, read in modes 11 and 16 (null: no AFC there).
  void SetFskAfcSource(int32_t* afcValue) { fskAfc_ = afcValue; }

  // The stronger demodulators in place of the classic channels, the second PSK channel's
  // included (the receive loop runs the one chosen; in PSK31 the AFC and the squelch then read
  // the stronger one).
  void SetBestDemod(bool on) { best_ = on; }
  bool bestDemod() const { return best_; }

  // The decoder whose quality and qpskLikeness the squelch and the hints read: QPSK in mode 10,
  // BPSK otherwise, the stronger demodulator's varicode decoder when it is chosen.
  const PskDecoder& ActivePsk() const;

  RttySingleTone& rttySingle() { return rttySingle_; }
  RttyTwoTone& rttyTwoTone() { return rttyTwoTone_; }
  RttyBest& rttyBest() { return rttyBest_; }
  MttyChannel& mtty() { return mtty_; }
  MttyBest& mttyBest() { return mttyBest_; }
  PskChannel& psk() { return psk_; }
  PskBest& pskBest() { return pskBest_; }
  PskDecoder& bpsk() { return bpsk_; }
  QpskDecoder& qpsk() { return qpsk_; }
  SymbolForwarder& forwarder() { return forwarder_; }
  PskChannel& second() { return second_; }
  PskDecoder& secondDecoder() { return secondDecoder_; }
  PskBest& secondBest() { return secondBest_; }
  engine::RxTextQueue& secondQueue() { return secondQueue_; }
  engine::RxTextQueue& mainQueue() { return mainQueue_; }
  CwDecoder& cw() { return cw_; }
  CwBest& cwBest() { return cwBest_; }
  HellReceiver& hell() { return hell_; }  // its pixel sink is the Hellschreiber window
  Fsk31Receiver& fsk31() { return fsk31_; }
  PactorReceiver& pactor() { return pactor_; }

 private:
  engine::RxTextQueue& mainQueue_;
  engine::RxTextQueue secondQueue_;

  RttySingleTone rttySingle_;
  RttyTwoTone rttyTwoTone_;
  RttyBest rttyBest_;
  MttyChannel mtty_;
  MttyBest mttyBest_;

  PskDecoder bpsk_;
  QpskDecoder qpsk_;
  PskChannel psk_;
  SymbolForwarder forwarder_;
  PskBest pskBest_;

  PskDecoder secondDecoder_;
  PskChannel second_;
  PskBest secondBest_;  // the second channel with the stronger demodulator (BPSK)

  CwDecoder cw_;
  CwBest cwBest_;
  HellReceiver hell_;
  Fsk31Receiver fsk31_;  // its bits go through forwarder_ to the BPSK decoder
  PactorReceiver pactor_;

  Mode mode_ = Mode::Psk31;
  double receiveHz_ = kDefaultReceiveHz;
  bool inversion_ = false;
  bool best_ = false;

  // What the AFC reads: the active decoder's drift and its freqErr (a dummy reading 0 outside
  // mode 9).
  int32_t* afcError_ = nullptr;
  const int32_t* afcFreqErr_ = nullptr;
  int32_t zeroFreqErr_ = 0;
  int32_t* fskAfc_ = nullptr;
};

}  // namespace vexa::decoders
