#pragma once
// The five-unit teleprinter code (ITA2) used by RTTY and MTTY, in both directions.
//
// Every table is indexed by the five data bits in the order in which they are sent, the
// first-sent bit being the most significant bit of the index (so ITA2 "E", level 1 only, is
// index 16). The receive side (BaudotDecoder) is fed one decided bit at a time by a demodulator
// and writes characters into a received-text queue; the transmit side turns a character into one
// or two frames of 15 half-bits for the modulator.
#include <array>
#include <cstdint>

#include "engine/rx_text_queue.h"

namespace vexa::decoders {

// Letters shift. "R" (index 0, blank), "N" (27, FIGS) and "L" (31, LTRS) are markers.
inline constexpr char kBaudotLetters[] = "Rt\ro hnm\nlrgipcvezdbsyfxawjNuqkL";
// What letters are shown as on receive: upper case; control positions hold a space.
inline constexpr char kBaudotShown[] = " T O HNM LRGIPCVEZDBSYFXAWJ UQK ";
// Figures shift, with the same markers; the apostrophe stands at 20 and 26 (no bell).
inline constexpr char kBaudotFigures[] = "R5\r9 #,.\n)4&80:=3+$?'6!/-2'N71(L";

inline constexpr int kBaudotBlank = 0;
inline constexpr int kBaudotSpace = 4;
inline constexpr int kBaudotFigs = 27;
inline constexpr int kBaudotLtrs = 31;

// A frame of 15 half-bit slots, sent from its least significant bit: the start bit (2 slots of
// space), the five code bits first-sent first (2 slots each, 1 = mark), then 3 slots of mark
// (1.5 stop bits).
inline constexpr int kBaudotFrameHalfBits = 15;
[[nodiscard]] uint16_t EncodeBaudotFrame(int index);

// The transmitter's shift: None means a shift code goes before the next printable character.
enum class BaudotShift { None, Letters, Figures };

struct BaudotFrames {
  std::array<uint16_t, 2> frame{};  // in sending order
  int count = 0;                    // 1 or 2
};

// The frames for one character and the transmitter's new shift. Character 0 is the idle signal
// (LTRS). CR, LF and space are sent without a shift code and leave the shift at None, so the next
// printable character is preceded by its shift code again; a character in neither table is sent
// as a space. Upper-case letters are sent as letters.
[[nodiscard]] BaudotFrames EncodeBaudotChar(char c, BaudotShift& shift);

// Receive side: assembles characters from decided bits and writes them into a text queue.
class BaudotDecoder {
 public:
  enum State : int32_t { kWaitMark = 0, kIdle = 1, kData = 2, kStop = 3 };
  // Results of PutBit.
  static constexpr int kStartBit = -1;
  static constexpr int kFramingError = 2;

  explicit BaudotDecoder(engine::RxTextQueue* out = nullptr) : output(out) {}

  // One decided bit at a bit-sampling instant. Returns kStartBit when the bit was taken as a
  // start bit (the demodulator re-centres its bit clock on it), kFramingError when a stop bit
  // was missing, 0 otherwise.
  int PutBit(int32_t bit);
  // Stop-bit state, letters shift.
  void Reset();
  // Letters shift without touching the bit state (the unshift command).
  void ForceLetters() { decodeTable = kBaudotLetters; }
  bool InFigures() const { return decodeTable == kBaudotFigures; }

  int32_t state = kWaitMark;
  int32_t bitsLeft = 0;
  int32_t shiftReg = 0;
  const char* decodeTable = kBaudotLetters;
  const char* showTable = kBaudotShown;
  char lastChar = 0;
  int32_t markLevel = 0;  // the bit value that means mark
  // Off by default: a space keeps the figures shift. Some stations (and programs) assume the
  // receiver returns to letters after a space and send no LTRS; this switch serves them.
  bool unshiftOnSpace = false;
  engine::RxTextQueue* output = nullptr;
};

}  // namespace vexa::decoders
