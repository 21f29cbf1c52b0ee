#pragma once
// The family of sound-card modulators. Each one fills blocks of 16-bit samples at 11025 Hz for
// its mode, drawing characters from its host (the transmitter) and telling the host when the
// block being filled is the last one that must be heard (the end block).
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "common/mode.h"
#include "common/modem.h"

namespace vexa::tx {

using vexa::Modulator;
using vexa::ModulatorHost;
using vexa::ModulatorParams;

// True for the modes that transmit through the sound card with a symbol modulator or sound-card
// CW (CW only when the sound-card option is on).
constexpr bool IsSoundTransmitMode(Mode mode) {
  return mode == Mode::Cw || IsSoundDataMode(mode);
}

// A modulator for a sound transmit mode; null for any other mode.
std::unique_ptr<Modulator> MakeModulator(Mode mode, ModulatorHost& host);

}  // namespace vexa::tx
