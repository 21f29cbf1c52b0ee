#pragma once
// The stronger PSK31 demodulator ("best") for BPSK and QPSK, beside the classic channel and its
// decoders and feeding the same varicode decoder. It keeps the common integer front end (mixed
// down at the carrier, moving sums, 500 Hz, 16 steps per symbol) and works in floating point
// from there:
//
// - a fine frequency correction of its own (AFC): the deviations of the phase steps between
//   symbols from the nearest half (BPSK) or quarter turn (QPSK) give the residual rotation,
//   which a rotator at the decimated rate takes out; the main AFC reads it and moves the
//   receive frequency instead;
// - a matched filter: the PSK31 symbol is a raised-cosine pulse two symbols long, and the
//   filter is that pulse, which best separates the signal from white noise;
// - symbol timing from the whole symbol stream: the energy of the filter output, averaged at
//   each of the 16 positions within a symbol, peaks at the symbol centres; its fundamental
//   gives a fractional timing that a noisy single transition cannot pull, and the symbol is
//   interpolated there, less the share of its neighbours the filter adds;
// - BPSK: differential detection against a reference that is the previous symbol plus, turned
//   by the decided phase step, a share of the reference before it (decision feedback), so the
//   noise on the reference is averaged over several symbols;
// - QPSK: the correlation of the phase step with each of the four channel symbols goes as a
//   soft metric into a 16-state Viterbi decoder (the rate-1/2, constraint-length-5 code),
//   decided from the best path 32 symbols back;
// - a squelch on the power out of the matched filter against the power of the wider band the
//   front end passes, so noise prints nothing; the frequency correction holds while it is
//   closed.
#include <array>
#include <complex>
#include <cstdint>

#include "decoders/psk_receiver.h"
#include "engine/receive_channel.h"
#include "engine/rx_text_queue.h"

namespace vexa::decoders {

class PskBest : public engine::ReceiveChannel {
 public:
  static constexpr int kStepsPerSymbol = 16;
  static constexpr int kPulseTaps = 2 * kStepsPerSymbol;
  static constexpr int kStates = 16;
  static constexpr int kDecisionDepth = 32;
  static constexpr int kBpskDelay = 12;  // symbols between a BPSK decision and its output

  explicit PskBest(engine::RxTextQueue* out = nullptr);
  void ProcessDecimated() override;
  // Tunes the front end; the residual rotation tracked so far is moved along, so the signal
  // stays corrected while the carrier is retuned (by the AFC or by hand).
  void SetCarrier(double hz) override;
  void ResetFilters() override;

  // QPSK (with the Viterbi decoder) or BPSK.
  void SetQpsk(bool on);
  bool qpsk() const { return qpsk_; }
  bool invert = false;  // the inversion flag (QPSK: the other sideband)

  // The varicode decoder the bits go to; its quality and qpskLikeness are kept up to date
  // from this demodulator's own measures, on the classic scales (0 to about 256), for the
  // squelch and the mode hints of the window.
  PskDecoder varicode;

  // The signal's offset from the carrier as tracked, in Hz (positive: above the carrier).
  double offsetHz() const;
  // Coherence of the phase steps, 0 (noise) to 1 (a clean signal).
  float coherence() const { return coherence_; }
  // Power out of the matched filter against the front end's band, 1 for white noise alone.
  float contrast() const { return contrast_; }
  bool squelchOpen() const { return open_; }

 private:
  void Configure();
  void Symbol(std::complex<float> z);
  void DecideBpsk(std::complex<float> w);
  void DecideQpsk(std::complex<float> w);

  bool qpsk_ = false;
  engine::RxTextQueue* out_;

  // Rotator: the residual rotation of the front end's output, radians per decimated step.
  double omega_ = 0;
  std::complex<double> rot_{1, 0};
  double stepsPerSecond_ = 500;

  std::array<float, kPulseTaps> pulse_{};
  std::array<std::complex<float>, kPulseTaps> in_{};
  int inIndex_ = 0;
  std::complex<float> lastOut_{0, 0};  // matched filter output of the previous step
  std::complex<float> prev_{0, 0};     // the last two symbol samples (one symbol of delay)
  std::complex<float> prevPrev_{0, 0};
  int64_t now_ = 0;                   // decimated steps since reset
  std::complex<float> timing_{0, 0};  // energy profile's fundamental
  float tpow_ = 0;
  double nextInstant_ = kStepsPerSymbol;
  double stepsPerSymbol_ = kStepsPerSymbol;

  std::complex<float> ref_{0, 0};  // phase reference (the previous symbol, averaged)
  float power_ = 0;                // mean symbol power, for scaling
  std::complex<float> freqAvg_{0, 0};
  std::complex<float> coherenceAvg_{0, 0};
  float coherence_ = 0;
  float mfPower_ = 0;
  float widePower_ = 0;
  float contrast_ = 0;
  float shortPower_ = 0;
  uint64_t openHistory_ = 0;
  uint64_t bpskBits_ = 0;  // BPSK decisions of the last 64 symbols, newest in bit 0  // squelch
                           // state of the last 64 symbols, newest in bit 0
  float quarterAvg_ = 0;   // share of quarter-turn steps
  bool open_ = false;

  std::array<float, kStates> metric_{};
  std::array<uint64_t, kStates> history_{};
  int symbols_ = 0;
};

}  // namespace vexa::decoders
