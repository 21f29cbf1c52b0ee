#include "tx/psk_modulator.h"

#include <algorithm>

#include "tx/morse_table.h"
#include "tx/transmit_text.h"

namespace vexa::tx {
namespace {
constexpr int kCarrier = 0;
constexpr int kOff = SymbolGenerator::kOff;
}  // namespace

void PskModulator::Start(const ModulatorParams& p) {
  params_ = p;
  // CwId from the settings file: 1 to 1000 symbols per Morse unit.
  params_.cwIdUnitSymbols = std::clamp(params_.cwIdUnitSymbols, 1, 1000);
  gen_.SetCentre(p.centreHz);
  gen_.SetShiftAndRate(15.625, 31.25);
  gen_.SetReverse(p.reverse);
  gen_.Reset();
  enc_.Reset();
  due_ = true;
  seq_ = 0;
  lookAhead_ = true;
  haveHeld_ = false;
  held_ = lastTaken_ = 0;
  charDone_ = true;
  tailRequested_ = ending_ = endMarked_ = false;
  quarterPos_ = 0;
  retune_ = false;
  idText_.clear();
  idPos_ = 0;
  pattern_ = 0;
  morseLeft_ = morseOn_ = 0;
}

void PskModulator::RequestTail() {
  idText_.clear();  // an identification not yet sent is dropped with the rest
  idPos_ = 0;
  pattern_ = 0;
  morseLeft_ = 0;
  if (seq_ == 0) {
    seq_ = kEndNow;
    ending_ = true;
  } else if (seq_ < kTextSeq) {
    seq_ = kPostamble;
  } else if (seq_ < kPostamble) {
    tailRequested_ = true;  // the character being sent is completed first
  }
}

void PskModulator::AddIdentification(uint8_t c) {
  if (idPos_ >= idText_.size()) {
    idText_.clear();
    idPos_ = 0;
  }
  if (c == kTxCwId) {
    idText_ += params_.useDe ? "  de " : "  ";
    idText_ += params_.myCall;
    idText_ += "  ";
  } else {
    idText_ += "  ";
    idText_ += static_cast<char>(kTxSk);
    idText_ += "  ";
  }
}

void PskModulator::TakeAhead() {
  uint8_t c = 0;
  const bool ok = host_.NextTxChar(c);
  if (ok && c == kTxEnd) {
    seq_ = kEndNow;
    ending_ = true;
    lookAhead_ = false;
    host_.ClearTransmitBuffers();
    return;
  }
  if (ok && (c == kTxCwId || c == kTxSk)) {
    AddIdentification(c);
    lastTaken_ = c;
    return;  // the identification goes out before the preamble
  }
  haveHeld_ = ok && c != 0;
  held_ = c;
  lookAhead_ = false;  // the preamble starts
}

int PskModulator::MorseSymbol() {
  const int unit = params_.cwIdUnitSymbols;
  while (morseLeft_ == 0) {
    if (pattern_ > 1) {
      const int len = ((pattern_ & 1u) != 0 ? 4 : 2) * unit;
      morseLeft_ = len;
      morseOn_ = len - unit;  // the last unit of an element is off
      pattern_ >>= 1;
    } else if (pattern_ == 1) {
      morseLeft_ = kLetterEndUnits * unit;
      morseOn_ = 0;
      pattern_ = 0;
    } else if (idPos_ < idText_.size()) {
      pattern_ = MorseCode(static_cast<uint8_t>(idText_[idPos_++]));
      if (pattern_ == 1) {  // a gap character: the word space
        morseLeft_ = kWordGapUnits * unit;
        morseOn_ = 0;
        pattern_ = 0;
      }
    } else {
      idText_.clear();
      idPos_ = 0;
      return -1;
    }
  }
  --morseLeft_;
  if (morseOn_ > 0) {
    --morseOn_;
    return kCarrier;
  }
  return kOff;
}

int PskModulator::EncoderSymbol() {
  const bool qpsk = mode_ == Mode::Qpsk;
  const int phase = enc_.NextSymbol(qpsk, params_.reverse, charDone_);
  switch (mode_) {
    case Mode::Fsk31:
      return phase + 5;
    case Mode::Fsk31b:
      quarterPos_ = (quarterPos_ + (phase == 2 ? 1 : 3)) & 3;
      return quarterPos_;
    default:
      return phase;
  }
}

int PskModulator::TextSymbol() {
  if (charDone_) {
    if (tailRequested_) {
      seq_ = kPostamble;
      return PostambleSymbol();
    }
    uint8_t c = 0;
    bool ok;
    if (haveHeld_) {
      c = held_;
      ok = true;
      haveHeld_ = false;
    } else {
      ok = host_.NextTxChar(c);
    }
    if (ok && c != 0) {
      const uint8_t previous = lastTaken_;
      lastTaken_ = c;
      if (c == kTxEnd) {
        host_.ClearTransmitBuffers();
        if (previous == kTxCwId) {
          seq_ = kEndNow;
          ending_ = true;
          return kOff;
        }
        seq_ = kPostamble;
        return PostambleSymbol();
      }
      if (c == kTxCwId || c == kTxSk) {
        AddIdentification(c);
        seq_ = kPostamble;
        return PostambleSymbol();
      }
      enc_.Load(c);
      host_.Echo(c);
    }
  }
  return EncoderSymbol();
}

int PskModulator::PostambleSymbol() {
  if (seq_ < kPostamble + 0x2A) ++seq_;
  if (seq_ <= kPostamble + 4) return EncoderSymbol();
  if (seq_ <= kPostamble + 0x28) return kCarrier;
  if (seq_ == kPostamble + 0x29) return kOff;
  if (!idText_.empty()) {
    // The identification follows, then a new preamble and the rest of the text.
    seq_ = 0;
    lookAhead_ = false;
    return OnSymbol();
  }
  ending_ = true;
  return kOff;
}

int PskModulator::OnSymbol() {
  if (seq_ == kEndNow) return kOff;
  if (seq_ < 5 && !idText_.empty()) {
    const int s = MorseSymbol();
    if (s >= 0) return s;
    if (lookAhead_) return kOff;  // the next character is taken ahead on the next sample
  }
  if (seq_ < kTextSeq - 1) {  // preamble: 1..4 carrier, 5..40 idle reversals
    if (++seq_ == 1) {
      // The reversals that follow start from the phase of the steady carrier (symbol 0), so
      // they really are reversals after an identification too.
      enc_.phaseCode = 0;
      quarterPos_ = 0;
    }
    return seq_ <= 4 ? kCarrier : EncoderSymbol();
  }
  if (seq_ < kPostamble) {
    seq_ = kTextSeq;
    return TextSymbol();
  }
  return PostambleSymbol();
}

void PskModulator::Fill(std::span<int16_t> block) {
  const bool fade = fading_ != nullptr && fading_->enabled();
  for (auto& s : block) {
    if (seq_ == 0 && lookAhead_ && idText_.empty()) TakeAhead();
    if (due_) {
      due_ = false;
      if (retune_) {
        retune_ = false;
        gen_.SetCentre(retuneHz_);
      }
      gen_.SetSymbol(OnSymbol() % 12);
      // The end block is the one in which the carrier has ramped down to silence.
      if (ending_ && !endMarked_ && gen_.prevSymbol == kOff && gen_.curSymbol == kOff) {
        endMarked_ = true;
        host_.MarkEndBlock();
      }
    }
    const int16_t v = gen_.NextSample(due_);
    s = fade ? fading_->Apply(v) : v;
  }
}

}  // namespace vexa::tx
