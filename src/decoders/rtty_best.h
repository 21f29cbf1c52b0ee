#pragma once
// The stronger RTTY demodulator ("best"), beside the classic ones and feeding the same
// BaudotDecoder. It keeps the common integer front end (mixed down at the centre frequency,
// moving sums, 750 Hz) and works in floating point from there:
//
// - matched filters: each tone is turned to zero frequency and summed over exactly one bit
//   (a sliding integrate-and-dump), the filter that best separates a keyed tone from white noise;
// - envelope comparison with automatic threshold correction: the peak envelope and the noise
//   floor of each tone are tracked, each envelope is clipped at its peak and the decision weighs
//   the two tones by their own strength, so a tone that fades (selective fading) or is missing
//   (one-tone reception) still decodes;
// - bit-clock recovery by frames: the decisions of the last eight bits are kept, and a
//   character's timing is the one whose seven sampling instants (start bit, five data bits, stop
//   bit, one bit apart at the ends of the bits, where the matched filters peak) give the largest
//   decisions with a mark before the start, a space start bit and a mark stop bit. The whole
//   frame's energy places the clock, not one noisy edge; a character is printed about eight bits
//   after it began;
// - a squelch on the contrast between the tones, so noise without a signal prints nothing.
#include <array>
#include <complex>
#include <cstdint>

#include "decoders/baudot_codec.h"
#include "decoders/baudot_frame_sync.h"
#include "engine/receive_channel.h"

namespace vexa::decoders {

class RttyBest : public engine::ReceiveChannel {
 public:
  static constexpr int kMaxBitSteps = 80;  // the matched filter's ring (10 baud at 750 Hz)
  static constexpr double kDefaultShiftHz = 170.0;

  explicit RttyBest(engine::RxTextQueue* out = nullptr, double shiftHz = kDefaultShiftHz);
  void ProcessDecimated() override;
  void SetSymbolRate(double baud) override;
  void ResetFilters() override;
  // Tone spacing in Hz (the tones lie shift/2 above and below the carrier); 10 to 1000.
  void SetShift(double hz);
  double shift() const { return shiftHz_; }

  BaudotDecoder decoder;
  bool invert = false;  // the inversion flag: the lower tone is mark
  // Latest decision value (positive: upper tone), for a tuning display.
  float discOut = 0;
  // Tracked envelopes, for tests and displays.
  float upperPeak() const { return upper_.peak; }
  float lowerPeak() const { return lower_.peak; }

 private:
  struct Tone {
    std::complex<float> osc{1, 0};   // rotates the tone to zero frequency
    std::complex<float> step{1, 0};  // one decimated step of that rotation
    std::array<std::complex<float>, kMaxBitSteps> ring{};
    std::complex<double> sum{0, 0};
    float peak = 0;   // envelope while the tone is keyed
    float floor = 0;  // envelope while it is not
    float Envelope(std::complex<float> z, int index, int length);
    void Track(float env, bool keyed, float attack, float decay);
  };
  void Configure();

  BaudotFrameSync sync_;  // the bit clock by frames
  double shiftHz_;
  Tone upper_;
  Tone lower_;
  int ringIndex_ = 0;
  int bitSteps_ = 16;          // matched-filter length in decimated steps
  double stepsPerBit_ = 16.5;  // exact, for the clock
  int stepsSinceReset_ = 0;
  float presence_ = 0;  // averaged tone contrast, 0 .. 1
  bool open_ = false;   // squelch
  int goneSteps_ = 0;
};

}  // namespace vexa::decoders
