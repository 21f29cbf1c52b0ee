#pragma once
// The symbol generator shared by RTTY, MTTY, PSK31, QPSK and the two FSK31 variants: 16-bit
// samples at the sample rate from a stream of symbol codes.
//
// Symbol codes: 0..3 the unit vectors (1,0), (0,-1), (-1,0), (0,1); 4 carrier off; 5..9 the
// vectors of 0..4 when a transition involves a code below 5, otherwise the two FSK31 tones; 10
// the lower and 11 the upper RTTY tone. Across each symbol the previous and the current vector
// are crossfaded with raised-cosine weights (PSK shaping); FSK and RTTY tones keep a continuous
// phase. A transition between "off" (4) and an RTTY tone ramps the tone's amplitude over the
// symbol with the same raised cosine, so keying the carrier on and off does not click.
//
// Pure kernel: no allocation, locks or I/O; phase arithmetic on unsigned types.
#include <cstdint>

namespace vexa::tx {

class SymbolGenerator {
 public:
  static constexpr int kOff = 4;
  static constexpr int kRttyLow = 10;
  static constexpr int kRttyHigh = 11;

  SymbolGenerator();

  // Symbol clock and carrier phase to 0, both symbols to "off".
  void Reset();
  void SetCentre(double hz);
  void SetSampleRate(int rate);
  void SetShiftAndRate(double shiftHz, double symbolRate);
  // Swaps the two FSK31 tones (the sideband inversion).
  void SetReverse(bool reverse) { reverse_ = reverse; }

  // Starts a new symbol: the current one becomes the previous one.
  void SetSymbol(int code) {
    prevSymbol = curSymbol;
    curSymbol = static_cast<int16_t>(code);
  }
  // One sample; symbolDue is set when the symbol clock wrapped during this sample.
  int16_t NextSample(bool& symbolDue);

  double centreHz() const { return centreHz_; }
  double shiftHz() const { return shiftHz_; }
  double symbolRate() const { return symbolRate_; }
  int sampleRate() const { return sampleRate_; }

  uint32_t symbolClock = 0;
  uint32_t symbolStep = 0;    // symbol rate * 2^32 / sample rate, truncated
  uint16_t carrierPhase = 0;  // 65536 per cycle
  uint16_t centreStep = 0;
  uint16_t upperStep = 0;
  uint16_t lowerStep = 0;
  int16_t curSymbol = kOff;
  int16_t prevSymbol = kOff;

 private:
  void Recompute();

  double shiftHz_ = 15.625;
  double symbolRate_ = 31.25;
  double centreHz_ = 1000.0;
  int sampleRate_ = 11025;
  bool reverse_ = false;
};

// 16-bit phase step of a frequency: hz / rate * 65536, truncated toward zero, kept modulo 2^16.
uint16_t PhaseStep16(double hz, int sampleRate);

}  // namespace vexa::tx
