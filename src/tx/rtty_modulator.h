#pragma once
// RTTY and MTTY: Baudot frames of 15 half-bit slots, one generator symbol per slot (the symbol
// rate is twice the baud rate). Mark is the upper tone unless reversed. RTTY uses a 180 Hz shift;
// MTTY a shift of half the baud rate. A transmission starts with a short run of mark (the tone
// ramps up on it) and ends by ramping the tone down after the last slot. The transmit shift
// (letters, figures or none) survives from one transmission to the next, as on a teleprinter.
#include "decoders/baudot_codec.h"
#include "tx/modulator.h"
#include "tx/symbol_generator.h"

namespace vexa::tx {

class RttyModulator final : public Modulator {
 public:
  // Half-bit slots of mark sent before the first frame of a transmission; the first of them is
  // the amplitude ramp from silence.
  static constexpr int kLeadInSlots = 3;

  RttyModulator(ModulatorHost& host, bool mtty) : host_(host), mtty_(mtty) {}

  void Start(const ModulatorParams& params) override;
  void RequestTail() override { tail_ = true; }
  void Fill(std::span<int16_t> block) override;

  const SymbolGenerator& generator() const { return gen_; }
  decoders::BaudotShift shift() const { return shift_; }

 private:
  void OnSymbol();

  ModulatorHost& host_;
  bool mtty_;
  SymbolGenerator gen_;
  bool reverse_ = false;
  bool due_ = true;
  bool tail_ = false;
  bool endMarked_ = false;
  uint32_t slots_ = 0;
  int slotsLeft_ = 0;
  int leadIn_ = kLeadInSlots;
  decoders::BaudotShift shift_ = decoders::BaudotShift::None;
};

}  // namespace vexa::tx
