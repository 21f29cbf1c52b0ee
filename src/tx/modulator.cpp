#include "tx/modulator.h"

#include "tx/cw_tone_modulator.h"
#include "tx/psk_modulator.h"
#include "tx/rtty_modulator.h"

namespace vexa::tx {

std::unique_ptr<Modulator> MakeModulator(Mode mode, ModulatorHost& host) {
  switch (mode) {
    case Mode::Cw:
      return std::make_unique<CwToneModulator>(host);
    case Mode::Rtty:
      return std::make_unique<RttyModulator>(host, false);
    case Mode::Mtty:
      return std::make_unique<RttyModulator>(host, true);
    case Mode::Psk31:
    case Mode::Qpsk:
    case Mode::Fsk31:
    case Mode::Fsk31b:
      return std::make_unique<PskModulator>(host, mode);
    default:
      return nullptr;
  }
}

}  // namespace vexa::tx
