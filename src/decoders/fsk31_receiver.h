#pragma once
// FSK31 receiver on the 500 Hz FSK31 receive channel.
//
// Two tones 15.625 Hz apart at 31.25 baud carry varicode. The channel is tuned to the centre
// between the tones; each decimated step measures the frequency from the phase step between
// successive filtered vectors, averages it over four steps, decides the tone against an adaptive
// midpoint and counts bit periods between tone changes. The bits of a run are delivered when the
// run ends, through the channel's listener (the PSK symbol forwarder, pointed at the BPSK
// decoder's varicode register).
//
// Two variants: in the direct one the tone is the bit (lower tone = 1 without inversion); in the
// differential one a tone change is a 0 and each further period without a change a 1, as with
// the phase reversals of PSK31.
#include <array>
#include <cstdint>

#include "engine/receive_channel.h"

namespace vexa::decoders {

class Fsk31Receiver final : public engine::ReceiveChannel {
 public:
  static constexpr int32_t kDecimRateHz = 500;
  static constexpr double kBaud = 31.25;
  static constexpr int32_t kRateLimit = 20;  // per-step frequency value limit around rateCentre
  static constexpr int32_t kMaxClock = 0xFFFFF;

  Fsk31Receiver();

  void ProcessDecimated() override;

  // Decides the tone from the averaged frequency value s, runs the AFC integrator's pull and the
  // bit clock, and delivers the bits of a run when the tone changes. ProcessDecimated calls it
  // once per step.
  void DecideTone(int32_t s);

  // True in the differential variant (mode 16).
  void set_differential(bool on) { differential = on; }
  // The sideband inversion flag: swaps the sense of the tones in the direct variant.
  void set_invert(bool on) { invert = on; }

  // The averaged frequency value (kept in the channel's level word).
  int32_t discOut() const { return level; }

  void ResetDecoder();

  // --- Receiver state (the previous filtered vector >> 12 is kept in prevI / prevQ) ---
  int32_t afcValue = 0;                // frequency correction, read by the AFC (units of 2^-29 Hz)
  std::array<int32_t, 16> freqRing{};  // the first 4 entries are used
  int32_t freqSum = 0;
  int32_t freqIndex = 0;
  int32_t afcIntegrator = 0;
  int32_t lowPeak = -60;
  int32_t highPeak = 60;
  int32_t rateCentre = 0;
  uint8_t lastBit = 0;
  int32_t bitClock = 0;  // 20 bits used
  bool differential = false;
  bool invert = false;
};

}  // namespace vexa::decoders
