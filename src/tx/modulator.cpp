#include "tx/modulator.h"

#include "tx/cw_tone_modulator.h"
#include "tx/psk_modulator.h"
#include "tx/rtty_modulator.h"

namespace vexa::tx {

std::unique_ptr<Modulator> MakeModulator(int mode, ModulatorHost& host) {
  switch (mode) {
    case static_cast<int>(Mode::Cw):
      return std::make_unique<CwToneModulator>(host);
    case static_cast<int>(Mode::Rtty):
      return std::make_unique<RttyModulator>(host, false);
    case static_cast<int>(Mode::Mtty):
      return std::make_unique<RttyModulator>(host, true);
    case static_cast<int>(Mode::Psk31):
    case static_cast<int>(Mode::Qpsk):
    case static_cast<int>(Mode::Fsk31):
    case static_cast<int>(Mode::Fsk31b):
      return std::make_unique<PskModulator>(host, mode);
    default:
      return nullptr;
  }
}

}  // namespace vexa::tx
