#pragma once
// The operator commands and display rules around the receivers, as functions the main window
// (and the command line) call: the RTTY baud-rate command, the sideband inversion flag, the PSK
// squelch and the BPSK/QPSK hints.
#include <cstdint>
#include <string_view>

#include "decoders/decoder_chain.h"
#include "platform/files/prompt.h"

namespace vexa::decoders {

// The baud-rate input box: its caption and initial text, and the refusal message.
inline constexpr char kBaudRateCaption[] = "Set RTTY BAUDRATE";
inline constexpr char kBaudRateInitialText[] = "45.45";
inline constexpr char kBaudRateOutOfRange[] = "Baud rate is out of range";
inline constexpr double kMinRttyBaud = 10.0;
inline constexpr double kMaxRttyBaud = 300.0;

enum RxCommandResult : int { kRxOk = 0, kRxBaudOutOfRange = 1 };

// The number at the start of the text, as the input box converts it; 0 when there is none.
double ParseBaudText(std::string_view text);

// The baud-rate command after the input box: a rate from 10 to 300 goes to both RTTY channels
// and is returned in accepted (the caller then sets the RTTY modulator: shift 180 Hz, half-bit
// clock of twice the rate); anything else shows "Baud rate is out of range" and changes nothing.
[[nodiscard]] int ApplyRttyBaudRate(std::string_view text, DecoderChain& chain,
                                    platform::Prompt& prompt, double& accepted);

// True when the current sideband (0 upper, else lower) differs from the DigiSide setting.
constexpr bool InversionFlag(int currentSideband, int digiSide) {
  return (currentSideband != 0) != (digiSide != 0);
}

// The PSK squelch: an open squelch closes when quality falls below 20, a closed one opens when it
// rises above 200. Returns the new state (true = open).
constexpr bool NextSquelchOpen(bool open, int32_t quality) {
  if (open) return quality >= 20;
  return quality > 200;
}

enum class PskHint { None, LooksLikeQpsk, LooksLikeBpsk };

// The hint for the active decoder's figures: in PSK31 a signal with quality and qpskLikeness
// both above 200 looks like QPSK; in QPSK quality above 200 with qpskLikeness below 20 looks
// like BPSK.
constexpr PskHint PskHintFor(Mode mode, int32_t quality, int32_t qpskLikeness) {
  if (mode == Mode::Psk31 && quality > 200 && qpskLikeness > 200) return PskHint::LooksLikeQpsk;
  if (mode == Mode::Qpsk && quality > 200 && qpskLikeness < 20) return PskHint::LooksLikeBpsk;
  return PskHint::None;
}

}  // namespace vexa::decoders
