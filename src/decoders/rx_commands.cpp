#include "decoders/rx_commands.h"

#include <cstdlib>
#include <string>

namespace vexa::decoders {

double ParseBaudText(std::string_view text) {
  const std::string s(text);
  return std::strtod(s.c_str(), nullptr);  // no number: 0
}

int ApplyRttyBaudRate(std::string_view text, DecoderChain& chain, platform::Prompt& prompt,
                      double& accepted) {
  const double baud = ParseBaudText(text);
  if (!(baud >= kMinRttyBaud && baud <= kMaxRttyBaud)) {  // NaN fails too
    prompt.Message(kBaudRateOutOfRange, "Error", platform::PromptIcon::Error);
    return kRxBaudOutOfRange;
  }
  chain.SetRttyBaud(baud);
  accepted = baud;
  return kRxOk;
}

}  // namespace vexa::decoders
