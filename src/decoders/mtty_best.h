#pragma once
// The stronger MTTY demodulator ("best"), beside the classic MttyChannel and feeding the same
// BaudotDecoder. MTTY keys its tones only half the baud rate apart (modulation index 0.5), so
// two tone filters one bit long cannot tell them apart; the phase can. It keeps the common
// integer front end (mixed down at the centre frequency, moving sums, 750 Hz) and works in
// floating point from there:
//
// - a Gaussian low-pass filter at the centre (3 dB bandwidth 0.8 of the baud rate);
// - a one-bit differential detector: p[n] = s[n] * conj(s[n - one bit]). Over one bit the phase
//   of an index-0.5 signal turns by a quarter turn, up for one tone and down for the other, so
//   the imaginary part of p, divided by the averaged |p|, is the decision (about +-1 at the end
//   of each bit);
// - frequency-offset correction: p squared loses the keying (both quarter turns square to a
//   half turn) and keeps twice the turn a mistuned carrier adds per bit, which is taken out of p
//   before the decision;
// - the bit clock by frames shared with the RTTY best demodulator (BaudotFrameSync);
// - a squelch on the share of the power that passes the low-pass filter: white noise spreads
//   over the front end's whole band, the signal sits inside the filter. The frames are searched
//   a few bits behind the newest step, so the squelch has seen the bits after a frame before it
//   lets that frame through (the first characters of a transmission are not lost while it
//   opens);
// - the end of a transmission: when the power falls below a quarter of its peak for a whole bit
//   the line reads as idle mark.
#include <array>
#include <complex>
#include <cstdint>

#include "decoders/baudot_codec.h"
#include "decoders/baudot_frame_sync.h"
#include "engine/receive_channel.h"

namespace vexa::decoders {

class MttyBest : public engine::ReceiveChannel {
 public:
  static constexpr int kMaxTaps = 161;   // the low-pass filter (two bits long at 10 baud)
  static constexpr int kMaxDelay = 128;  // the one-bit delay line, steps
  static constexpr double kMinBaud = 10;
  static constexpr double kMaxBaud = 300;

  explicit MttyBest(engine::RxTextQueue* out = nullptr);
  void ProcessDecimated() override;
  // MTTY keys at 45.45 baud; other rates (10 to 300) are taken for a signal whose shift is half
  // of them, anything else is ignored.
  void SetSymbolRate(double baud) override;
  void ResetFilters() override;
  // Retuning keeps the measured offset, moved by the change.
  void SetCarrier(double hz) override;

  BaudotDecoder decoder;
  bool invert = false;  // the inversion flag: the lower tone is mark
  // Latest decision value (positive: upper tone, about +-1), for a tuning display.
  float discOut = 0;
  // The frequency offset the detector has measured (Hz, positive: signal above the centre), and
  // the squelch, for tests and displays.
  double offsetHz() const;
  bool squelchOpen() const { return open_; }
  float presence() const { return presence_; }

 private:
  void Configure();

  BaudotFrameSync sync_;
  double fs_ = 750;            // decimated rate, Hz
  double stepsPerBit_ = 16.5;  // exact
  int taps_ = 33;
  std::array<float, kMaxTaps> coef_{};
  std::array<std::complex<float>, kMaxTaps> in_{};  // the filter's input ring
  int inIndex_ = 0;
  std::array<std::complex<float>, kMaxDelay> line_{};  // filtered values, for the delay
  int lineIndex_ = 0;
  std::complex<double> sq_{0, 0};  // averaged p^2 (frequency offset)
  double turn_ = 0;                // the offset's turn of p per bit, radians
  float mag_ = 0;                  // averaged |p| (normalisation)
  // Averaged power at the front end's output and after the low-pass filter (squelch).
  double wide_ = 0;
  double narrow_ = 0;
  float powerPeak_ = 0;  // peak of |s|^2 (end of transmission)
  float presence_ = 0;
  bool open_ = false;
  int goneSteps_ = 0;
  int64_t steps_ = 0;
};

}  // namespace vexa::decoders
