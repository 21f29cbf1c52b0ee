#include "decoders/decoder_chain.h"

#include <cmath>
#include <cstdlib>

namespace vexa::decoders {
namespace {

constexpr double kAfcScale = 1.0 / 536870912.0;  // 2^-29 Hz per unit of drift
constexpr int64_t kAfcFreqErrLimit = 100000000;

}  // namespace

DecoderChain::DecoderChain(engine::RxTextQueue& mainQueue)
    : mainQueue_(mainQueue),
      rttySingle_(&mainQueue),
      rttyTwoTone_(&mainQueue),
      rttyBest_(&mainQueue),
      mtty_(&mainQueue),
      mttyBest_(&mainQueue),
      bpsk_(&mainQueue),
      qpsk_(&mainQueue),
      forwarder_(&bpsk_, &psk_),
      pskBest_(&mainQueue),
      secondDecoder_(&secondQueue_),
      secondBest_(&secondQueue_),
      cw_(&mainQueue),
      cwBest_(&mainQueue),
      pactor_(&mainQueue) {
  psk_.listener = &forwarder_;
  fsk31_.listener = &forwarder_;
  fskAfc_ = &fsk31_.afcValue;
  second_.listener = &secondDecoder_;
  second_.SetCarrier(0);
  secondBest_.SetCarrier(0);
  SetMode(mode_);
  TuneAll(kDefaultReceiveHz);
}

engine::ChannelTable DecoderChain::Table() {
  engine::ChannelTable t;
  t.psk = &psk_;
  t.pskBest = &pskBest_;
  t.second = &second_;
  t.secondBest = &secondBest_;
  t.rttySingle = &rttySingle_;
  t.rttyTwoTone = &rttyTwoTone_;
  t.rttyBest = &rttyBest_;
  t.mtty = &mtty_;
  t.mttyBest = &mttyBest_;
  t.cw = &cw_;
  t.cwBest = &cwBest_;
  t.hell = &hell_;
  t.fsk31 = &fsk31_;
  t.pactor = &pactor_;
  return t;
}

void DecoderChain::SetMode(Mode mode) {
  mode_ = mode;
  zeroFreqErr_ = 0;
  if (mode == Mode::Psk31 || mode == Mode::Qpsk) pskBest_.SetQpsk(mode == Mode::Qpsk);
  switch (mode) {
    case Mode::Psk31:
      forwarder_.SetTarget(&bpsk_);
      afcError_ = &bpsk_.phaseErrAvg;
      afcFreqErr_ = &bpsk_.freqErr;
      break;
    case Mode::Qpsk:
      forwarder_.SetTarget(&qpsk_);
      afcError_ = &qpsk_.phaseErrAvg;
      afcFreqErr_ = &zeroFreqErr_;
      break;
    case Mode::Fsk31:
    case Mode::Fsk31b:
      forwarder_.SetTarget(&bpsk_);
      fsk31_.set_differential(mode == Mode::Fsk31b);
      afcError_ = nullptr;  // the FSK31 receiver's value, read through fskAfc_
      afcFreqErr_ = &zeroFreqErr_;
      break;
    default:
      break;
  }
}

void DecoderChain::TuneAll(double hz) {
  receiveHz_ = hz;
  psk_.SetCarrier(hz);
  pskBest_.SetCarrier(hz);
  rttySingle_.SetCarrier(hz);
  rttyTwoTone_.SetCarrier(hz);
  rttyBest_.SetCarrier(hz);
  mtty_.SetCarrier(hz);
  mttyBest_.SetCarrier(hz);
  cw_.SetCarrier(hz);
  cwBest_.SetCarrier(hz);
  hell_.SetCarrier(hz);
  fsk31_.SetCarrier(hz);
  pactor_.SetCarrier(hz);
}

void DecoderChain::SetRttyBaud(double baud) {
  rttySingle_.SetSymbolRate(baud);
  rttyTwoTone_.SetSymbolRate(baud);
  rttyBest_.SetSymbolRate(baud);
}

void DecoderChain::Unshift() {
  rttySingle_.decoder.ForceLetters();
  rttyTwoTone_.decoder.ForceLetters();
  rttyBest_.decoder.ForceLetters();
}

void DecoderChain::SetUnshiftOnSpace(bool on) {
  rttySingle_.decoder.unshiftOnSpace = on;
  rttyTwoTone_.decoder.unshiftOnSpace = on;
  rttyBest_.decoder.unshiftOnSpace = on;
  mtty_.decoder.unshiftOnSpace = on;
  mttyBest_.decoder.unshiftOnSpace = on;
}

void DecoderChain::SetInversion(bool on) {
  inversion_ = on;
  rttySingle_.invert = on;
  rttyTwoTone_.invert = on;
  rttyBest_.invert = on;
  mtty_.invert = on;
  mttyBest_.invert = on;
  qpsk_.invert = on ? 1 : 0;
  pskBest_.invert = on;
  fsk31_.set_invert(on);
}

const PskDecoder& DecoderChain::ActivePsk() const {
  if (best_ && (mode_ == Mode::Psk31 || mode_ == Mode::Qpsk)) return pskBest_.varicode;
  if (mode_ == Mode::Qpsk) return qpsk_;
  return bpsk_;
}

AfcOutcome DecoderChain::AfcStep(bool afcOn, bool transmitting, double secondHz) {
  AfcOutcome out;
  out.receiveHz = receiveHz_;
  out.secondHz = secondHz;
  const bool pskMode = IsPskFamily(mode_);
  if (!pskMode || !afcOn || transmitting) return out;

  int32_t* err = UsesFskAfc(mode_) ? fskAfc_ : afcError_;
  if (best_ && (mode_ == Mode::Psk31 || mode_ == Mode::Qpsk)) {
    // The stronger demodulator tracks the offset itself; the receive frequency follows it
    // (retuning hands the tracked offset back to the front end).
    const double f = receiveHz_;
    const double corrected = f + pskBest_.offsetHz();
    // Above half the front end's tuning step (0.17 Hz), so it does not hunt between steps.
    if (std::fabs(corrected - f) > 0.1) {
      TuneAll(corrected);
      out.moved = true;
      out.receiveHz = corrected;
    }
  } else if (err != nullptr && std::llabs(*afcFreqErr_) < kAfcFreqErrLimit) {
    const double f = receiveHz_;
    const double corrected = f - *err * kAfcScale;
    if (std::fabs(corrected - f) > 0.05) {
      TuneAll(corrected);
      *err /= 2;
      out.moved = true;
      out.receiveHz = corrected;
    }
  }
  if (secondHz > 0 && best_) {
    const double corrected = secondHz + secondBest_.offsetHz();
    if (std::fabs(corrected - secondHz) > 0.1) {
      out.secondMoved = true;
      out.secondHz = corrected;  // retuning both second receivers hands the offset back
    }
  } else if (secondHz > 0 && std::llabs(secondDecoder_.freqErr) < kAfcFreqErrLimit) {
    const double corrected = secondHz - secondDecoder_.phaseErrAvg * kAfcScale;
    if (std::fabs(corrected - secondHz) > 0.1) {
      second_.SetCarrier(corrected);
      secondDecoder_.phaseErrAvg /= 2;
      out.secondMoved = true;
      out.secondHz = corrected;
    }
  }
  return out;
}

}  // namespace vexa::decoders
