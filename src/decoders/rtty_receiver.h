#pragma once
// RTTY and MTTY demodulators: receive channels running at 750 Hz that decide mark or space at
// every decimated step and hand bits to an embedded BaudotDecoder at the bit instants.
//
// RttySingleTone: one oscillator at the centre frequency and a phase-difference discriminator
// (a tone above the centre gives positive values). RttyTwoTone: one oscillator on each tone
// (90 Hz above and below the centre) and a comparison of the two tone levels with an adaptive
// threshold. MttyChannel: the single-tone kind with a more sensitive discriminator, a shorter
// averaging window and a decision level that tracks the middle of the peaks.
#include <array>
#include <cstdint>

#include "decoders/baudot_codec.h"
#include "engine/receive_channel.h"

namespace vexa::decoders {

inline constexpr int32_t kRttyDecimRate = 750;
inline constexpr double kRttyDefaultBaud = 45.45;

// 64-tap filters, oldest sample first.
extern const std::array<int32_t, 64> kRttySingleToneTaps;  // band-pass, sums to 0
extern const std::array<int32_t, 64> kNarrowLowPassTaps;   // two-tone, MTTY and PSK: sum 24578

// Bit clock shared by the RTTY demodulators. One bit lasts 65536 units; the bit is taken half a
// bit after the clock passes 0; a level change pulls the clock halfway toward 0 and a start bit
// restarts it at -0x8000 so that data bits are sampled in their middles.
struct RttyBitClock {
  int32_t lastBit = 0;
  int32_t bitClock = 0;
  // One decimated step with the step's bit. Returns true when the bit changed.
  bool Step(int32_t bit, uint16_t symbolStep, bool invert, BaudotDecoder& decoder);
};

// The averaging window of the discriminator (up to 48 steps).
struct AveragingWindow {
  std::array<int32_t, 48> ring{};
  int32_t sum = 0;
  int32_t index = 0;
  int32_t length = 0;
  // Removes the oldest value and clears the window when the wanted length changed.
  void Prepare(int32_t wantedLength);
  // Adds the newest value.
  void Push(int32_t v);
};

class RttySingleTone : public engine::ReceiveChannel {
 public:
  explicit RttySingleTone(engine::RxTextQueue* out = nullptr);
  void ProcessDecimated() override;

  BaudotDecoder decoder;
  int32_t discOut = 0;  // averaged discriminator, for the tuning display
  int32_t lowPeak = -600;
  int32_t highPeak = 600;
  int32_t lastI = 0;
  int32_t lastQ = 0;
  RttyBitClock clock;
  AveragingWindow avg;
  int32_t lastAngle = 0;
  bool invert = false;  // the inversion flag: the lower tone is mark

 protected:
  // Filter and angle difference shared with MTTY; returns the new discriminator value.
  int32_t Discriminate(int32_t divisor, bool clip);
};

class MttyChannel : public RttySingleTone {
 public:
  explicit MttyChannel(engine::RxTextQueue* out = nullptr);
  void ProcessDecimated() override;
  // MTTY keeps 45.45 baud whatever the baud-rate command says.
  void SetSymbolRate(double baud) override;
};

class RttyTwoTone : public engine::ReceiveChannel {
 public:
  static constexpr int kLevelRing = 12;

  explicit RttyTwoTone(engine::RxTextQueue* out = nullptr);
  void ProcessDecimated() override;
  void SetCarrier(double hz) override;
  void ProcessBlock(std::span<const int16_t> samples) override;
  void ResetFilters() override;

  // Second (lower) oscillator and its filters.
  uint16_t phase2 = 0;
  uint16_t phaseStep2 = 0;
  std::array<std::array<int32_t, kBoxMax>, 4> hist2{};
  std::array<int32_t, 4> sums2{};
  std::array<int32_t, kFirTaps> firI2{};
  std::array<int32_t, kFirTaps> firQ2{};
  double shift = 180.0;  // Hz between the two oscillators

  BaudotDecoder decoder;
  int32_t discOut = 0;  // latest level difference
  // Adaptive levels: values decided as bit 1 and as bit 0.
  struct LevelRing {
    std::array<int32_t, kLevelRing> entry{};
    int32_t count = 0;
    int32_t sum = 0;
    int32_t index = 0;
    int32_t Mean() const { return count == 0 ? 0 : (sum + 6) / count; }
    void Put(int32_t g);
  };
  LevelRing ones;
  LevelRing zeros;
  RttyBitClock clock;
  AveragingWindow avg;
  bool invert = false;

 private:
  void FrontEnd2(int16_t x);
};

// Length of the averaging window: min(48, 65000 / symbolStep), at least 1.
int32_t RttyWindowLength(uint16_t symbolStep);

}  // namespace vexa::decoders
