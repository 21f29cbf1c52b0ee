#include "tx/cw_tone_modulator.h"

#include "engine/dsp_tables.h"
#include "tx/cw_keyer.h"
#include "tx/morse_table.h"
#include "tx/transmit_text.h"

namespace vexa::tx {

void CwToneModulator::Start(const ModulatorParams& p) {
  params_ = p;
  wait_ = 0;
  elementLeft_ = onLeft_ = 0;
  pattern_ = 0;
  envelope_ = 0;
  tonePhase_ = 0;
  const int pitch = p.cwPitchHz > 0 && p.cwPitchHz < 5512 ? p.cwPitchHz : 800;
  toneStep_ = static_cast<uint16_t>((static_cast<uint32_t>(pitch) * 65536u) / 11025u);
}

int CwToneModulator::Unit() const {
  const int d = params_.dotTicks != nullptr ? params_.dotTicks->load() : 20;
  return ClampDotTicks(d);
}

int16_t CwToneModulator::NextSample() {
  if (wait_ > 0) {
    if (wait_ != kStopped) --wait_;
    return 0;
  }
  if (elementLeft_ == 0) {
    const int u = Unit();
    bool gap = false;  // a character without elements: space, CR, LF, unknown bytes
    if (pattern_ == 0) {
      uint8_t c = 0;
      const bool ok = host_.NextTxChar(c);
      if (!host_.TransmitFlag() || (ok && c == kTxEnd)) {
        host_.MarkEndBlock();
        host_.ClearTransmitBuffers();
        wait_ = kStopped;
        envelope_ = 0;
        return 0;
      }
      if (!ok || c == 0) {
        wait_ = 50;
        return 0;
      }
      pattern_ = MorseCode(c);
      gap = pattern_ == 1;
    }
    if (gap) {  // after the previous letter end: a word space of 7 units in all
      onLeft_ = 0;
      elementLeft_ = 50 * kWordGapUnits * u;
      pattern_ = 0;
    } else if (pattern_ > 1) {
      const bool dash = (pattern_ & 1u) != 0;
      onLeft_ = (dash ? 150 : 50) * u;
      elementLeft_ = (dash ? 200 : 100) * u;
      pattern_ >>= 1;
    } else {  // letter end
      onLeft_ = 0;
      elementLeft_ = 50 * kLetterEndUnits * u;
      pattern_ = 0;
    }
  }
  --elementLeft_;
  const bool on = onLeft_ > 0;
  if (on) --onLeft_;
  if (on) {
    envelope_ = envelope_ + 512 > 0x8000 ? 0x8000 : envelope_ + 512;
  } else {
    envelope_ = envelope_ < 512 ? 0 : envelope_ - 512;
  }
  const int32_t* t = engine::Tables().sine.data();
  const int32_t amp = 32767 - engine::Cos16(t, static_cast<uint16_t>(envelope_));  // 0..65534
  const int32_t s =
      static_cast<int32_t>((static_cast<int64_t>(amp) * engine::Cos16(t, tonePhase_)) >> 16);
  tonePhase_ = static_cast<uint16_t>(tonePhase_ + toneStep_);
  return static_cast<int16_t>(s);
}

void CwToneModulator::Fill(std::span<int16_t> block) {
  for (auto& s : block) s = NextSample();
}

}  // namespace vexa::tx
