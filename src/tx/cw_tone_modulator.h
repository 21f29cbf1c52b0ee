#pragma once
// Sound-card CW: a keyed tone at the CW pitch with raised-cosine edges of 64 samples (about
// 5.8 ms), so the keying does not splatter. The Morse unit u is the current dot length in keyer
// ticks; in samples a dot is on for 50u and lasts 100u, a dash is on for 150u and lasts 200u,
// and a letter end adds 100u of silence (letters are three units apart); a gap character (space,
// CR, LF, any byte without Morse) adds 200u, so the words of a text are seven units apart.
#include "tx/modulator.h"

namespace vexa::tx {

class CwToneModulator final : public Modulator {
 public:
  static constexpr uint32_t kStopped = 0xFFFFFF;

  explicit CwToneModulator(ModulatorHost& host) : host_(host) {}

  void Start(const ModulatorParams& params) override;
  // The transmit flag going off ends the transmission after the letter being sent.
  void RequestTail() override {}
  void Fill(std::span<int16_t> block) override;

 private:
  int16_t NextSample();
  int Unit() const;

  ModulatorHost& host_;
  ModulatorParams params_;
  uint32_t wait_ = 0;
  int elementLeft_ = 0;  // samples left in the current element (on and off parts)
  int onLeft_ = 0;       // samples left with the key down
  unsigned pattern_ = 0;
  uint32_t envelope_ = 0;  // 0 .. 0x8000
  uint16_t tonePhase_ = 0;
  uint16_t toneStep_ = 0;
};

}  // namespace vexa::tx
