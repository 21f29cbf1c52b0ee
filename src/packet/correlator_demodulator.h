#pragma once
// The stronger AFSK demodulator, selectable beside the classic designs: a band-pass filter
// around the tone pair, correlators on both tones over a little more than a bit, envelope
// tracking that
// scales each tone to its own peak (so that a tilted audio response does not bias the
// decision), and several slicers that weigh the two tones differently, each with its own
// digital bit clock and HDLC receiver. A frame any slicer decodes is handed on once.
//
// Why this design: the zero-crossing demodulator measures one period at a time, so a little
// white noise moves its crossings by a large part of the short tone's period; the correlators
// integrate over a whole bit and reject the noise outside the pair. Twisted levels (one tone
// louder, as after pre-emphasis) are common on real links; slicers with a range of weights let
// one of them see the bits right where a single fixed threshold would not.
#include <array>
#include <cstdint>
#include <vector>

#include "packet/hdlc.h"
#include "packet/packet_demodulator.h"

namespace vexa::packet {

struct CorrelatorParams {
  double markHz = 1200.0;  // the tone of level 1
  double spaceHz = 2200.0;
  int bitRate = 1200;
  int sampleRate = 11025;
};

class CorrelatorDemodulator final : public PacketDemodulator, private FrameSink {
 public:
  static constexpr int kSlicers = 7;

  explicit CorrelatorDemodulator(const CorrelatorParams& p = {});
  const CorrelatorParams& params() const { return p_; }

  void ProcessSample(int16_t x) override;
  // How well the data transitions of the middle slicer sit on its bit clock: about 32767 for a
  // packet signal, about half of that for noise.
  int32_t Level() const override { return level_; }
  void Reset() override;

  // Frame checks made by all slicers' receivers, and the frames that passed them (before the
  // duplicates of the same frame from other slicers are dropped).
  int checks() const;
  int passed() const;

 private:
  struct Slicer {
    double gain = 1.0;  // weight of the mark tone against the space tone
    int32_t pll = 0;    // bit clock phase; a bit is sampled when it wraps
    int lastSign = 0;
    int lastLevel = 0;
    int run = 0;  // bit periods since the last level change
    HdlcReceiver hdlc;
  };
  struct Recent {
    uint16_t fcs = 0;
    size_t length = 0;
    int64_t at = -1;
  };

  void OnFrame(std::span<const uint8_t> frame) override;
  void Clock(Slicer& s, double d);

  CorrelatorParams p_;
  std::vector<float> bandpass_;  // taps
  std::vector<float> input_;     // ring of the last inputs, twice over for a straight read
  size_t inputPos_ = 0;
  size_t span_ = 1;                          // correlation length in samples
  std::array<std::vector<float>, 4> mixed_;  // rings: mark I, mark Q, space I, space Q
  std::array<double, 4> sums_{};
  size_t mixedPos_ = 0;
  uint32_t markPhase_ = 0, spacePhase_ = 0, markStep_ = 0, spaceStep_ = 0;
  std::array<float, 1024> cosTable_{};
  float markPeak_ = 0, markValley_ = 0, spacePeak_ = 0, spaceValley_ = 0;
  uint32_t pllStep_ = 0;
  std::array<Slicer, kSlicers> slicers_;
  std::array<Recent, 8> recent_{};
  size_t recentNext_ = 0;
  int64_t samples_ = 0;
  int64_t dedupeWindow_ = 0;
  double transitionError_ = 0.5;  // running mean of |phase| at transitions, 0..1
  int32_t level_ = 0;
};

}  // namespace vexa::packet
