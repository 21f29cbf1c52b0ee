#pragma once
// The frame check sequence of the sound-card modems' HDLC framing: the CRC-16 of X.25 (reflected
// polynomial 0x8408, initial value 0xFFFF, result inverted), sent low byte first.
#include <array>
#include <cstdint>
#include <span>

namespace vexa::packet {

// One byte table for the reflected polynomial, computed at compile time.
constexpr std::array<uint16_t, 256> MakeFcsTable() {
  std::array<uint16_t, 256> t{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned crc = b;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0x8408u : crc >> 1;
    t[b] = static_cast<uint16_t>(crc);
  }
  return t;
}
inline constexpr std::array<uint16_t, 256> kFcsTable = MakeFcsTable();

// The FCS of the bytes (already inverted: append it low byte first).
constexpr uint16_t Fcs16(std::span<const uint8_t> bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) crc = static_cast<uint16_t>((crc >> 8) ^ kFcsTable[(crc ^ b) & 0xFF]);
  return static_cast<uint16_t>(~crc);
}

}  // namespace vexa::packet
