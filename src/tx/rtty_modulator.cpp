#include "tx/rtty_modulator.h"

#include "tx/transmit_text.h"

namespace vexa::tx {

void RttyModulator::Start(const ModulatorParams& p) {
  const double baud = p.rttyBaud > 0 ? p.rttyBaud : 45.45;
  gen_.SetCentre(p.centreHz);
  gen_.SetShiftAndRate(mtty_ ? baud / 2 : 180.0, 2 * baud);
  gen_.Reset();
  reverse_ = p.reverse;
  due_ = true;
  tail_ = false;
  endMarked_ = false;
  slots_ = 0;
  slotsLeft_ = 0;
  leadIn_ = kLeadInSlots;
}

void RttyModulator::OnSymbol() {
  if (tail_) {
    gen_.SetSymbol(SymbolGenerator::kOff);
    // The block becomes the end block once the tone has ramped down to silence.
    if (!endMarked_ && gen_.prevSymbol == SymbolGenerator::kOff) {
      endMarked_ = true;
      host_.MarkEndBlock();
    }
    return;
  }
  if (leadIn_ > 0) {
    // Mark before the first frame: the tone ramps up on mark, so the first start bit is a clean
    // mark-to-space edge that a receiver can frame on.
    --leadIn_;
    gen_.SetSymbol(SymbolGenerator::kRttyLow + (reverse_ ? 0 : 1));
    return;
  }
  if (slotsLeft_ == 0) {
    uint8_t c = 0;
    if (!host_.NextTxChar(c)) c = 0;
    if (c == kTxEnd) {
      tail_ = true;
      OnSymbol();
      return;
    }
    if (c != 0) host_.Echo(c);
    const decoders::BaudotFrames f = decoders::EncodeBaudotChar(static_cast<char>(c), shift_);
    slots_ = f.frame[0];
    if (f.count > 1) slots_ |= static_cast<uint32_t>(f.frame[1]) << decoders::kBaudotFrameHalfBits;
    slotsLeft_ = decoders::kBaudotFrameHalfBits * f.count;
  }
  const unsigned bit = slots_ & 1u;
  slots_ >>= 1;
  --slotsLeft_;
  gen_.SetSymbol(SymbolGenerator::kRttyLow + static_cast<int>(bit ^ (reverse_ ? 1u : 0u)));
}

void RttyModulator::Fill(std::span<int16_t> block) {
  for (auto& s : block) {
    if (due_) {
      due_ = false;
      OnSymbol();
    }
    s = gen_.NextSample(due_);
  }
}

}  // namespace vexa::tx
