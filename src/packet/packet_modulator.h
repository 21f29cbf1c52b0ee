#pragma once
// The modulators of the sound-card packet modems. Each turns the NRZI line levels of the HDLC
// transmitter into tone samples of the sine table: an FSK design with continuous phase and a
// deadline bit clock (the 300 and 1200 bit/s modems and the custom one), and a tone-pair design
// whose phase restarts at every bit boundary in proportion to the time already spent in the new
// bit, with an output sign that keeps the half-cycle tones continuous.
#include <cstdint>

namespace vexa::packet {

class PacketModulator {
 public:
  virtual ~PacketModulator() = default;
  // Starts the next bit with a line level, 0 or 1.
  virtual void NextBit(int level) = 0;
  // One output sample; bitDue is set when the current bit has ended and NextBit is due.
  virtual int16_t NextSample(bool& bitDue) = 0;
  virtual void Reset() = 0;
};

class FskModulator final : public PacketModulator {
 public:
  // tone1Hz for level 1, tone0Hz for level 0; rate in samples per second.
  FskModulator(double tone1Hz, double tone0Hz, int bitRate, int rate = 11025);
  void Configure(double tone1Hz, double tone0Hz, int bitRate, int rate = 11025);

  void NextBit(int level) override;
  int16_t NextSample(bool& bitDue) override;
  void Reset() override;

  uint16_t step1() const { return step1_; }
  uint16_t step0() const { return step0_; }
  int32_t sampleTime() const { return sampleTime_; }  // 0.1 us
  int32_t bitTime() const { return bitTime_; }        // 0.1 us

 private:
  const int32_t* sine_;
  uint16_t step1_ = 0, step0_ = 0;
  int32_t sampleTime_ = 1, bitTime_ = 1;
  uint16_t phase_ = 0;
  int level_ = 1;
  int64_t clock_ = 0;
  int64_t deadline_ = 0;
};

// The three tone-pair rows: 2 (1200/2400 Hz), 3 (1190/1786 Hz), 4 and 5 (1190/2381 Hz).
enum class TonePairKind { Type2, Type3, Type45 };

class TonePairModulator final : public PacketModulator {
 public:
  // rate: the modulator's sample-rate setting (11025; 22050 for type 5). differential: code the
  // input levels differentially first (the PSK variant of types 4 and 5).
  TonePairModulator(TonePairKind kind, int rate = 11025, bool differential = false);
  void Configure(TonePairKind kind, int rate, bool differential);

  void NextBit(int level) override;
  int16_t NextSample(bool& bitDue) override;
  void Reset() override;

  uint16_t step1() const { return step1_; }
  uint16_t step0() const { return step0_; }
  int32_t sampleStep() const { return sampleStep_; }  // 10 ns
  int32_t bitLength() const { return bitLength_; }    // 10 ns

 private:
  const int32_t* sine_;
  TonePairKind kind_ = TonePairKind::Type2;
  bool differential_ = false;
  uint16_t step1_ = 0, step0_ = 0;
  int32_t sampleStep_ = 1, bitLength_ = 83333;
  int64_t k_ = 51540;
  uint16_t phase_ = 0;
  int32_t clock_ = 0;
  int level_ = 1;      // the coded level of the current bit
  int lastInput_ = 0;  // previous input level, for the differential coding
  int sign_ = 1;
  bool started_ = false;
};

}  // namespace vexa::packet
