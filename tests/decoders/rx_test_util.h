#pragma once
// Helpers for the receiver tests: run samples through the decoder chain and the receive loop in
// 2048-sample blocks (as the sound card delivers them), and small reference modulators.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "decoders/baudot_codec.h"
#include "decoders/decoder_chain.h"
#include "decoders/varicode.h"
#include "engine/receive_loop.h"

namespace vexa::decoders::testutil {

struct RxSetup {
  int mode = 9;
  double hz = 1000.0;
  bool twoTone = false;
  bool best = false;  // RTTY, MTTY, PSK31, CW: the stronger demodulators
  bool invert = false;
  bool unshiftOnSpace = false;
  double baud = 45.45;
};

inline std::string Drain(engine::RxTextQueue& q) {
  std::string s;
  uint8_t c;
  while (q.Get(c)) s += static_cast<char>(c);
  return s;
}

inline std::string Decode(std::span<const int16_t> samples, const RxSetup& s) {
  engine::RxTextQueue queue;
  DecoderChain chain(queue);
  chain.SetMode(static_cast<vexa::Mode>(s.mode));
  chain.TuneAll(s.hz);
  chain.SetInversion(s.invert);
  chain.SetUnshiftOnSpace(s.unshiftOnSpace);
  chain.SetRttyBaud(s.baud);
  chain.SetBestDemod(s.best);
  engine::ReceiveLoop loop(chain.Table(), 0);
  loop.SetMode(static_cast<vexa::Mode>(s.mode));
  loop.SetTwoTone(s.twoTone);
  loop.SetBestDemod(s.best);
  std::string out;
  for (size_t at = 0; at < samples.size(); at += engine::kInputBlockSamples) {
    const size_t n = std::min<size_t>(engine::kInputBlockSamples, samples.size() - at);
    loop.ProcessBlock(samples.subspan(at, n));
    out += Drain(queue);
  }
  return out;
}

// Continuous-phase FSK of half-bit slots (1 = mark); mark on the upper tone unless lowerMark.
inline std::vector<int16_t> FskFromSlots(const std::vector<int>& slots, double centreHz,
                                         double shiftHz, double slotRate, double amplitude,
                                         bool lowerMark = false) {
  std::vector<int16_t> out;
  const double perSlot = 11025.0 / slotRate;
  double phase = 0, t = 0;
  for (int s : slots) {
    const bool upper = (s != 0) != lowerMark;
    const double f = centreHz + (upper ? shiftHz / 2 : -shiftHz / 2);
    t += perSlot;
    while (static_cast<double>(out.size()) < t) {
      phase += 2 * M_PI * f / 11025.0;
      out.push_back(static_cast<int16_t>(amplitude * std::sin(phase)));
    }
  }
  return out;
}

// Half-bit slots of a text in Baudot, with idle mark before and after.
inline std::vector<int> BaudotSlots(const std::string& text, int idleSlots = 60) {
  std::vector<int> slots(static_cast<size_t>(idleSlots), 1);
  BaudotShift shift = BaudotShift::None;
  for (char c : text) {
    const BaudotFrames f = EncodeBaudotChar(c, shift);
    for (int k = 0; k < f.count; ++k) {
      for (int i = 0; i < kBaudotFrameHalfBits; ++i) {
        slots.push_back((f.frame[static_cast<size_t>(k)] >> i) & 1);
      }
    }
  }
  slots.insert(slots.end(), static_cast<size_t>(idleSlots), 1);
  return slots;
}

// Varicode bits of a text: a preamble of zeros, each character followed by 00, a postamble of
// ones (an unmodulated carrier).
inline std::vector<int> VaricodeBits(const std::string& text) {
  std::vector<int> bits(32, 0);
  for (char ch : text) {
    const uint16_t code = VaricodeEncode(static_cast<uint8_t>(ch));
    for (int i = VaricodeLength(code) - 1; i >= 0; --i) bits.push_back((code >> i) & 1);
    bits.push_back(0);
    bits.push_back(0);
  }
  bits.insert(bits.end(), 32, 1);
  return bits;
}

// Phase steps in quarter turns per symbol: BPSK turns half a turn for a 0.
inline std::vector<int> BpskSteps(const std::vector<int>& bits) {
  std::vector<int> steps;
  for (int b : bits) steps.push_back(b != 0 ? 0 : 2);
  return steps;
}

// QPSK: the rate-1/2 K=5 convolutional code (generators 0x19 and 0x17) on the inverted bits.
inline std::vector<int> QpskSteps(const std::vector<int>& bits) {
  std::vector<int> steps;
  unsigned reg = 0;
  for (int b : bits) {
    reg = ((reg << 1) | (b != 0 ? 0u : 1u)) & 31u;
    auto parity = [](unsigned v) { return __builtin_popcount(v) & 1; };
    steps.push_back(2 * parity(reg & 0x19) + parity(reg & 0x17));
  }
  return steps;
}

// 31.25-baud PSK with raised-cosine transitions between symbols. mirror sends the signal as it
// would arrive on the other sideband (every phase negated). noiseRms adds seeded white noise.
inline std::vector<int16_t> PskAudio(const std::vector<int>& steps, double hz, double amplitude,
                                     bool mirror = false, double noiseRms = 0, uint32_t seed = 1,
                                     double baud = 31.25) {
  std::vector<int16_t> out;
  const double perSymbol = 11025.0 / baud;
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, noiseRms > 0 ? noiseRms : 1.0);
  double prev = 0;
  size_t n = 0;
  for (size_t k = 0; k < steps.size(); ++k) {
    const double next = prev + steps[k] * M_PI / 2;
    const double end = static_cast<double>(k + 1) * perSymbol;
    const double start = static_cast<double>(k) * perSymbol;
    for (; static_cast<double>(n) < end; ++n) {
      const double u = (static_cast<double>(n) - start) / perSymbol;  // 0..1
      // I/Q moves along the straight line between the two symbol vectors.
      const double w = 0.5 - 0.5 * std::cos(M_PI * u);
      const double i = (1 - w) * std::cos(prev) + w * std::cos(next);
      const double q = (1 - w) * std::sin(prev) + w * std::sin(next);
      const double ph = 2 * M_PI * hz * static_cast<double>(n) / 11025.0;
      double v = amplitude * (i * std::cos(ph) - (mirror ? -q : q) * std::sin(ph));
      if (noiseRms > 0) v += noise(rng);
      out.push_back(static_cast<int16_t>(std::clamp(v, -32767.0, 32767.0)));
    }
    prev = next;
  }
  return out;
}

// Seeded white noise at snrDb with the noise measured in 2500 Hz (signal power over the
// samples that are not silent).
inline std::vector<int16_t> WithNoise(const std::vector<int16_t>& clean, double snrDb,
                                      uint32_t seed) {
  double p = 0;
  size_t n = 0;
  for (int16_t x : clean) {
    if (x != 0) {
      p += static_cast<double>(x) * x;
      ++n;
    }
  }
  p /= std::max<size_t>(n, 1);
  const double sigma = std::sqrt(p / std::pow(10.0, snrDb / 10) * 5512.5 / 2500);
  std::mt19937 rng(seed);
  std::normal_distribution<double> g(0, sigma);
  std::vector<int16_t> out(clean.size());
  for (size_t i = 0; i < clean.size(); ++i) {
    out[i] = static_cast<int16_t>(std::clamp(std::round(clean[i] + g(rng)), -32767.0, 32767.0));
  }
  return out;
}

}  // namespace vexa::decoders::testutil
