#pragma once
// The two faces of a sound-card modem, shared by the transmitter and the packet modems so that
// neither has to depend on the other: a demodulator takes raw input samples, a modulator fills
// output blocks of 16-bit samples at 11025 Hz, drawing characters from its host (the
// transmitter) and telling the host which block is the last one that must be heard.
#include <atomic>
#include <cstdint>
#include <span>
#include <string>

namespace vexa {

// A demodulator that takes the input samples as they come (the packet modems).
class SampleSink {
 public:
  virtual ~SampleSink() = default;
  virtual void ProcessSamples(std::span<const int16_t> samples) = 0;
};

// What a modulator needs of the transmitter. All calls happen inside Fill.
class ModulatorHost {
 public:
  virtual ~ModulatorHost() = default;
  // The transmit queue (false: nothing to send; true with 0: idle).
  virtual bool NextTxChar(uint8_t& c) = 0;
  // A character taken for sending goes to the echo ring (RTTY, MTTY and the PSK family).
  virtual void Echo(uint8_t c) = 0;
  // Discards the text still waiting (the transmit window, or the simple keyboard's text).
  virtual void ClearTransmitBuffers() = 0;
  // The block being filled becomes the end block (ignored when one is already marked).
  virtual void MarkEndBlock() = 0;
  // The transmit flag: cleared when the operator has asked for the end of the transmission.
  virtual bool TransmitFlag() const = 0;
};

// Fixed parameters of one transmission, taken from the settings when it starts.
struct ModulatorParams {
  double centreHz = 1000.0;       // transmit audio frequency
  double rttyBaud = 45.45;        // RTTY and MTTY
  bool reverse = false;           // the inversion flag (sideband differs from DigiSide)
  int cwIdUnitSymbols = 2;        // CwId: Morse unit of the PSK identification, in symbols
  bool useDe = false;             // UseDE: identification reads "de CALL"
  std::string myCall = "NOCALL";  // MyCall
  int cwPitchHz = 800;            // Pitch: sound-card CW tone
  // Current CW dot length in 4 ms keyer ticks, shared with the keyer and speed control.
  const std::atomic<int>* dotTicks = nullptr;
};

class Modulator {
 public:
  virtual ~Modulator() = default;
  // Resets the sequencing state at the start of a transmission.
  virtual void Start(const ModulatorParams& params) = 0;
  // The operator switched back to receive: finish with the mode's tail.
  virtual void RequestTail() = 0;
  // Fills one block.
  virtual void Fill(std::span<int16_t> block) = 0;
  // A new transmit frequency during the transmission (a click on the spectrum). Only the PSK
  // family follows it, at the next symbol instant so that no symbol is torn.
  virtual void Retune(double hz) { (void)hz; }
};

}  // namespace vexa
