#pragma once
// PSK31 (BPSK), QPSK and the two FSK31 variants at 31.25 symbols per second.
//
// One 32-bit sequence counter drives the transmission: 0 before the start (a character is taken
// ahead there, so that an end mark or an identification can come before the preamble); 1..4
// steady carrier and 5..40 phase reversals (the preamble); 41 text; 0xFF000001..0xFF000004
// reversals, 0xFF000005..0xFF000028 steady carrier and 0xFF000029 carrier off (the postamble);
// 0xFFF00000 carrier off at once. The station identification is sent in on/off-keyed Morse
// between a postamble and a new preamble. Optional test fading multiplies the output by up to
// four slow oscillators.
#include <string>

#include "tx/modulator.h"
#include "tx/symbol_generator.h"
#include "tx/test_fading.h"
#include "tx/varicode_encoder.h"

namespace vexa::tx {

class PskModulator final : public Modulator {
 public:
  static constexpr uint32_t kTextSeq = 41;
  static constexpr uint32_t kPostamble = 0xFF000000u;
  static constexpr uint32_t kEndNow = 0xFFF00000u;

  PskModulator(ModulatorHost& host, Mode mode) : host_(host), mode_(mode) {}

  void Start(const ModulatorParams& params) override;
  void RequestTail() override;
  void Fill(std::span<int16_t> block) override;
  void Retune(double hz) override {
    retuneHz_ = hz;
    retune_ = true;
  }

  // Test fading shared by the PSK modulators (null: none).
  void SetFading(TestFading* fading) { fading_ = fading; }
  const SymbolGenerator& generator() const { return gen_; }
  uint32_t sequence() const { return seq_; }
  bool identificationPending() const { return !idText_.empty(); }

 private:
  void TakeAhead();
  void AddIdentification(uint8_t c);
  int OnSymbol();
  int MorseSymbol();  // -1 when the identification is complete
  int EncoderSymbol();
  int TextSymbol();
  int PostambleSymbol();

  ModulatorHost& host_;
  Mode mode_;
  SymbolGenerator gen_;
  VaricodeEncoder enc_;
  TestFading* fading_ = nullptr;
  ModulatorParams params_;

  bool due_ = true;
  uint32_t seq_ = 0;
  bool lookAhead_ = true;  // a character may be taken ahead while the counter is 0
  bool haveHeld_ = false;
  uint8_t held_ = 0;
  uint8_t lastTaken_ = 0;
  bool charDone_ = true;
  bool tailRequested_ = false;
  bool ending_ = false;
  bool endMarked_ = false;
  int quarterPos_ = 0;
  bool retune_ = false;
  double retuneHz_ = 0;

  std::string idText_;
  size_t idPos_ = 0;
  unsigned pattern_ = 0;
  int morseLeft_ = 0;
  int morseOn_ = 0;
};

}  // namespace vexa::tx
