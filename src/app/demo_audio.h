#pragma once
// The built-in demo: a band segment made by Vexa's own modulators, so that a newcomer without a
// radio (or a sound card) sees signals on the waterfall and decoded text at once. Several
// stations in PSK31, QPSK, RTTY and CW at different audio frequencies, in white noise.
#include <cstdint>
#include <string>
#include <vector>

#include "common/mode.h"

namespace vexa::app {

struct DemoSignal {
  Mode mode;
  double audioHz;    // centre frequency
  double level;      // amplitude relative to full scale
  std::string text;  // sent over and over
};

// The stations of the demo.
const std::vector<DemoSignal>& DemoSignals();

// Renders `seconds` of the demo at 11025 Hz (deterministic: the same samples every time).
std::vector<int16_t> MakeDemoAudio(double seconds);

// Writes the demo to a WAV file; false with a message on failure.
bool WriteDemoAudio(const std::string& path, std::string& error, double seconds = 40.0);

}  // namespace vexa::app
