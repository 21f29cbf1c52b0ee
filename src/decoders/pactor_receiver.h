#pragma once
// PACTOR monitor receiver on the 1500 Hz PACTOR receive channel.
//
// Listens to PACTOR traffic between two other stations: demodulates the 200 Hz-shift FSK at 100
// and at 200 baud at once (two discriminator paths on the same I/Q rings), assembles frames in
// bit shift registers, checks the CRC, drops repeated frames, marks missed ones with "___",
// expands Huffman-compressed data and shows callsign frames once a call has been received twice
// in a row. It never transmits. Output goes to the received-text queue.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "decoders/pactor_huffman.h"
#include "engine/receive_channel.h"
#include "engine/rx_text_queue.h"

namespace vexa::decoders {

// CRC-16 of the X.25 kind (reflected polynomial 0x1021, initial 0xFFFF, complemented result).
// Check value: "123456789" gives 0x906E. Run over data followed by its own CRC (low byte first)
// it gives the constant residue kPactorCrcResidue.
uint16_t PactorCrc(std::span<const uint8_t> bytes);
constexpr uint16_t kPactorCrcResidue = 0x0F47;

// Phase angle in radians (an atan2 result) as the discriminator's integer angle: the angle
// times 683565275 (close to 2^31 per half turn), cut toward zero, counted modulo 2^32 like the
// phase steps taken from it. Over [-pi, pi] it is exactly that product (+pi gives 2147483646,
// -pi gives -2147483646); angles beyond wrap around instead of overflowing, and a NaN or an
// infinite angle gives 0.
int32_t PactorAngleCode(double radians);

// One FSK discriminator and bit clock (one per speed).
struct PactorPath {
  PactorPath(int ringLen, int32_t clockStep, int32_t peakWeight)
      : ringLength(ringLen), step(clockStep), weight(peakWeight) {}

  int ringLength;  // averaging length: 14 at 100 baud, 7 at 200 baud
  int32_t step;    // bit clock step per decimated step: 4369 or 8738
  int32_t weight;  // peak decay: 127 (of 128) or 1127 (of 1128)

  int32_t prevAngle = 0;  // 2^31 per half turn
  std::array<int32_t, 14> ring{};
  int32_t ringIndex = 0;
  int32_t sum = 0;
  int32_t discOut = 0;
  int32_t lowPeak = -600;
  int32_t highPeak = 600;
  int32_t lastI = 0;  // last filter outputs >> 16
  int32_t lastQ = 0;
  uint8_t lastBit = 0;
  int32_t bitClock = 0;
};

class PactorReceiver final : public engine::ReceiveChannel {
 public:
  static constexpr int32_t kDecimRateHz = 1500;
  static constexpr double kBaud = 100.0;
  static constexpr size_t kShortFrame = 12;  // header, 8 data, status, 2 CRC (100 baud)
  static constexpr size_t kLongFrame = 24;   // header, 20 data, status, 2 CRC (200 baud)
  static constexpr uint8_t kHeader = 0x55;
  static constexpr uint8_t kHeaderInverted = 0xAA;
  static constexpr uint8_t kFillCharacter = 30;  // never shown

  explicit PactorReceiver(engine::RxTextQueue* sink = nullptr);

  void ProcessDecimated() override;

  // Feeds one received bit to the frame register of one speed (exposed for tests and for a
  // bit-level front end).
  void PutBit100(int bit);
  void PutBit200(int bit);

  // Checks a whole frame (12 or 24 bytes, already un-inverted) and shows it when it is new.
  // Returns true when the CRC holds (new or repeated frame).
  bool CheckFrame(std::span<const uint8_t> frame);

  void ResetDecoder();
  void set_sink(engine::RxTextQueue* sink) { sink_ = sink; }

  PactorPath path100;
  PactorPath path200;
  std::array<uint8_t, kShortFrame> reg100{};
  std::array<uint8_t, kLongFrame> reg200{};

  // Frame memory: packet counter and CRC word of the last accepted frame, the last callsign.
  uint8_t lastCounter = 0;
  uint16_t lastCrc = 0;
  std::string lastCall;

 private:
  void RunPath(PactorPath& p, const std::array<int32_t, 64>& taps, bool fast);
  void TryCallsign(const std::array<uint8_t, kShortFrame>& reg);
  void Put(uint8_t c) {
    if (sink_ != nullptr) sink_->Put(c);
  }
  void Put(const char* s) {
    if (sink_ != nullptr) sink_->Put(s);
  }

  PactorHuffmanWalk walk_;
  engine::RxTextQueue* sink_;
};

}  // namespace vexa::decoders
