#include "support/cw_signal.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace vexa::test {
namespace {

struct Code {
  char c;
  const char* morse;
};

constexpr Code kCodes[] = {
    {'A', ".-"},     {'B', "-..."},   {'C', "-.-."},   {'D', "-.."},    {'E', "."},
    {'F', "..-."},   {'G', "--."},    {'H', "...."},   {'I', ".."},     {'J', ".---"},
    {'K', "-.-"},    {'L', ".-.."},   {'M', "--"},     {'N', "-."},     {'O', "---"},
    {'P', ".--."},   {'Q', "--.-"},   {'R', ".-."},    {'S', "..."},    {'T', "-"},
    {'U', "..-"},    {'V', "...-"},   {'W', ".--"},    {'X', "-..-"},   {'Y', "-.--"},
    {'Z', "--.."},   {'0', "-----"},  {'1', ".----"},  {'2', "..---"},  {'3', "...--"},
    {'4', "....-"},  {'5', "....."},  {'6', "-...."},  {'7', "--..."},  {'8', "---.."},
    {'9', "----."},  {'.', ".-.-.-"}, {',', "--..--"}, {'?', "..--.."}, {'/', "-..-."},
    {'=', "-...-"},  {'+', ".-.-."},  {'(', "-.--."},  {')', "-.--.-"}, {'&', ".-..."},
    {'!', "-.-.--"}, {'$', "...-..-"}};

}  // namespace

std::string_view MorseCodeOf(char c) {
  for (const auto& e : kCodes) {
    if (e.c == c) return e.morse;
  }
  return {};
}

std::vector<int16_t> MakeMorseAudio(std::string_view text, const MorseParams& p) {
  const double unit = 1.2 / p.wpm * p.sampleRate;  // samples per dot
  // Key-down intervals in samples.
  std::vector<std::pair<double, double>> marks;
  double t = p.leadSilenceMs * 1e-3 * p.sampleRate;
  for (char c : text) {
    if (c == ' ') {
      t += 4 * unit;  // 3 already added after the last character: 7 in all
      continue;
    }
    const auto code = MorseCodeOf(c);
    if (code.empty()) continue;
    for (size_t k = 0; k < code.size(); ++k) {
      const double len = code[k] == '-' ? 3 * unit : unit;
      marks.push_back({t, t + len});
      t += len + unit;
    }
    t += 2 * unit;
  }
  t += p.tailSilenceMs * 1e-3 * p.sampleRate;
  std::vector<int16_t> out(static_cast<size_t>(t));
  const double ramp = std::max(1.0, p.rampMs * 1e-3 * p.sampleRate);
  const double w = 2 * M_PI * p.toneHz / p.sampleRate;
  for (const auto& [a, b] : marks) {
    const auto s0 = static_cast<size_t>(a);
    const auto s1 = std::min(out.size(), static_cast<size_t>(b + ramp));
    for (size_t n = s0; n < s1; ++n) {
      const double x = static_cast<double>(n);
      double env = 1;
      if (x - a < ramp) env = 0.5 - 0.5 * std::cos(M_PI * (x - a) / ramp);
      if (x > b) env = 0.5 + 0.5 * std::cos(M_PI * (x - b) / ramp);
      const double v = out[n] + p.amplitude * env * std::sin(w * x);
      out[n] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
  }
  return out;
}

void AddNoiseAtSnr(std::vector<int16_t>& samples, double sinePeak, double snrDb, uint32_t seed,
                   int sampleRate) {
  const double signalPower = sinePeak * sinePeak / 2;
  const double noiseIn3k = signalPower / std::pow(10.0, snrDb / 10);
  const double sigma = std::sqrt(noiseIn3k * (sampleRate / 2.0) / 3000.0);
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  for (auto& s : samples) {
    s = static_cast<int16_t>(std::clamp(s + noise(rng), -32768.0, 32767.0));
  }
}

}  // namespace vexa::test
