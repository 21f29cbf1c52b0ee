#include "support/pactor_signal.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace vexa::test {
namespace {

constexpr uint8_t kFill = 30;

void AppendCode(std::vector<int>& bits, std::string_view code) {
  for (char b : code) bits.push_back(b == '1' ? 1 : 0);
}

// Fills the rest of a frame's bits with fill characters and then a prefix of the fill code.
void PadFrame(std::vector<int>& bits, size_t capacity, std::string_view fill) {
  while (bits.size() + fill.size() <= capacity) AppendCode(bits, fill);
  for (size_t k = 0; bits.size() < capacity; ++k) bits.push_back(fill[k] == '1' ? 1 : 0);
}

std::vector<uint8_t> PackLsbFirst(const std::vector<int>& bits, size_t bytes) {
  std::vector<uint8_t> out(bytes, 0);
  for (size_t i = 0; i < bits.size() && i < bytes * 8; ++i) {
    if (bits[i] != 0) out[i / 8] = static_cast<uint8_t>(out[i / 8] | (1u << (i % 8)));
  }
  return out;
}

}  // namespace

uint16_t X25Crc(std::span<const uint8_t> bytes) {
  uint32_t crc = 0xFFFF;
  for (uint8_t byte : bytes) {
    for (int k = 0; k < 8; ++k) {
      const uint32_t in = (byte >> k) & 1u;
      const uint32_t feedback = (crc ^ in) & 1u;
      crc >>= 1;
      if (feedback != 0) crc ^= 0x8408;  // 0x1021 reflected
    }
  }
  return static_cast<uint16_t>(~crc & 0xFFFF);
}

std::vector<uint8_t> MakePactorFrame(int baud, std::span<const uint8_t> data, uint8_t status) {
  const size_t n = PactorDataBytes(baud);
  std::vector<uint8_t> f;
  f.push_back(0x55);
  for (size_t i = 0; i < n; ++i) f.push_back(i < data.size() ? data[i] : kFill);
  f.push_back(status);
  const uint16_t crc = X25Crc(std::span<const uint8_t>(f).subspan(1));
  f.push_back(static_cast<uint8_t>(crc & 0xFF));
  f.push_back(static_cast<uint8_t>(crc >> 8));
  return f;
}

std::vector<uint8_t> InvertFrame(std::vector<uint8_t> frame) {
  for (auto& b : frame) b = static_cast<uint8_t>(~b);
  return frame;
}

std::vector<std::vector<uint8_t>> PactorFramePayloads(std::string_view text, int baud,
                                                      PactorCodeFn codeOf) {
  const size_t bytes = PactorDataBytes(baud);
  std::vector<std::vector<uint8_t>> out;
  if (codeOf == nullptr) {
    for (size_t i = 0; i < text.size(); i += bytes) {
      const auto part = text.substr(i, bytes);
      out.emplace_back(part.begin(), part.end());
    }
    return out;
  }
  const size_t capacity = bytes * 8;
  const std::string_view fill = codeOf(kFill);
  std::vector<int> bits;
  for (char ch : text) {
    const auto code = codeOf(static_cast<unsigned char>(ch) & 0x7F);
    if (bits.size() + code.size() > capacity) {
      PadFrame(bits, capacity, fill);
      out.push_back(PackLsbFirst(bits, bytes));
      bits.clear();
    }
    AppendCode(bits, code);
  }
  if (!bits.empty()) {
    PadFrame(bits, capacity, fill);
    out.push_back(PackLsbFirst(bits, bytes));
  }
  return out;
}

std::vector<std::vector<uint8_t>> PactorTextFrames(std::string_view text, int baud,
                                                   PactorCodeFn codeOf, int firstCounter) {
  const bool compressed = codeOf != nullptr;
  std::vector<std::vector<uint8_t>> frames;
  int counter = firstCounter;
  for (const auto& payload : PactorFramePayloads(text, baud, codeOf)) {
    const auto status = static_cast<uint8_t>((counter & 3) | (compressed ? kPactorCompressed : 0));
    frames.push_back(MakePactorFrame(baud, payload, status));
    ++counter;
  }
  return frames;
}

std::vector<uint8_t> MakePactorCallFrame(std::string_view call) {
  std::vector<uint8_t> f;
  f.push_back(0x55);
  for (char c : call.substr(0, 8)) f.push_back(static_cast<uint8_t>(c));
  if (f.size() < 9) f.push_back(0x0F);
  while (f.size() < 12) f.push_back(0x0F);
  return f;
}

std::vector<int16_t> MakePactorAudio(const std::vector<PactorBurst>& bursts,
                                     const PactorAudioParams& p) {
  constexpr double kRate = 11025;
  const size_t cycle = static_cast<size_t>(p.cycleSeconds * kRate);
  std::vector<int16_t> out(static_cast<size_t>(p.leadSeconds * kRate) + cycle * bursts.size() +
                           static_cast<size_t>(kRate));
  size_t start = static_cast<size_t>(p.leadSeconds * kRate);
  double phase = 0;
  for (const auto& b : bursts) {
    std::vector<int> bits;
    for (uint8_t byte : b.frame) {
      for (int k = 0; k < 8; ++k) bits.push_back((byte >> k) & 1);
    }
    const double samplesPerBit = kRate / b.baud;
    const auto total = static_cast<size_t>(bits.size() * samplesPerBit);
    for (size_t n = 0; n < total && start + n < out.size(); ++n) {
      const auto bit = static_cast<size_t>(static_cast<double>(n) / samplesPerBit);
      const double f =
          p.centreHz + (bits[std::min(bit, bits.size() - 1)] != 0 ? 0.5 : -0.5) * p.shiftHz;
      phase += 2 * M_PI * f / kRate;
      // Short raised-cosine edges on the burst avoid clicks.
      const double edge = 40;
      double env = 1;
      if (static_cast<double>(n) < edge) env = 0.5 - 0.5 * std::cos(M_PI * n / edge);
      if (static_cast<double>(total - n) < edge)
        env = 0.5 - 0.5 * std::cos(M_PI * (total - n) / edge);
      out[start + n] = static_cast<int16_t>(p.amplitude * env * std::sin(phase));
    }
    start += cycle;
  }
  return out;
}

}  // namespace vexa::test
