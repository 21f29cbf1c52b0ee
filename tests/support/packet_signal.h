#pragma once
// Test helpers for the packet modems: frames sent through a modem type's own modulator, seeded
// white noise, and counting what a modem type's receiver decodes from samples.
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "packet/hdlc.h"
#include "packet/packet_modem.h"
#include "packet/tnc2_text.h"

namespace vexa::test {

// The samples of one transmission of UI frames given as TNC2 lines, at the modulator's rate.
inline std::vector<int16_t> ModulateLines(const packet::PacketModemSettings& s,
                                          const std::vector<std::string>& lines, int txDelay = 30,
                                          int txTail = 2) {
  packet::HdlcTransmitter tx;
  const int rate = packet::TxBitRate(s);
  tx.SetFlagCounts(packet::FlagCount(rate, txDelay), packet::FlagCount(rate, txTail));
  for (const std::string& l : lines) {
    auto f = packet::ParseTnc2(l);
    if (f) (void)tx.QueueFrame(packet::EncodeFrame(*f));
  }
  auto mod = packet::MakeModulator(s);
  if (!mod) return {};
  return packet::ModulateTransmission(tx, *mod);
}

// Scales the signal and adds seeded Gaussian noise of the given RMS, clipping to 16 bits.
inline std::vector<int16_t> AddNoise(const std::vector<int16_t>& in, double gain, double rms,
                                     unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> n(0.0, rms);
  std::vector<int16_t> out(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    double v = in[i] * gain + (rms > 0 ? n(rng) : 0.0);
    out[i] = static_cast<int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, v))));
  }
  return out;
}

// The TNC2 lines a modem type's receiver decodes from the samples.
inline std::vector<std::string> DecodeLines(const packet::PacketModemSettings& s,
                                            const std::vector<int16_t>& samples) {
  std::vector<std::string> got;
  packet::PacketReceiver rx(packet::MakeDemodulator(s),
                            [&](const packet::Ax25Frame& f) { got.push_back(FormatTnc2(f)); });
  rx.ProcessSamples(samples);
  return got;
}

}  // namespace vexa::test
