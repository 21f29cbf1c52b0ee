#pragma once
// PACTOR monitor test signals made from first principles: frames of a header byte (0x55), data
// (8 bytes at 100 baud, 20 at 200 baud), a status byte (bits 0-1 packet counter, bit 2
// compressed) and the X.25 CRC of data and status (low byte first); data either plain or
// Huffman-compressed with the receiver's code table; inverted frames have every byte
// complemented. Frames are sent LSB first as continuous-phase FSK with the upper tone for 1,
// 100 Hz either side of the centre, each followed by a pause, as in the ARQ cycle.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vexa::test {

// Status byte bits.
constexpr uint8_t kPactorCompressed = 0x04;

// Bytes of data per frame at 100 and 200 baud.
constexpr size_t PactorDataBytes(int baud) {
  return baud == 200 ? 20 : 8;
}

// The X.25 CRC (reflected 0x1021, initial 0xFFFF, complemented), written out bit by bit.
uint16_t X25Crc(std::span<const uint8_t> bytes);

// A whole frame: header, data (padded with character 30 to the frame size), status, CRC.
std::vector<uint8_t> MakePactorFrame(int baud, std::span<const uint8_t> data, uint8_t status);

// The frame with every byte complemented (header 0xAA, status bits 4 and 5 set).
std::vector<uint8_t> InvertFrame(std::vector<uint8_t> frame);

// The Huffman code of a character as '0'/'1' text (the receiver's table, passed in so that this
// library does not depend on the decoders).
using PactorCodeFn = std::string_view (*)(int c);

// Splits text into the data of consecutive frames; with compression (codeOf set) each frame
// holds whole Huffman codes, padded with the code of the fill character 30 and then a prefix of
// it, which never completes a character.
std::vector<std::vector<uint8_t>> PactorFramePayloads(std::string_view text, int baud,
                                                      PactorCodeFn codeOf);

// Text as frames with counters firstCounter, firstCounter + 1, ... (mod 4); compressed when
// codeOf is set.
std::vector<std::vector<uint8_t>> PactorTextFrames(std::string_view text, int baud,
                                                   PactorCodeFn codeOf, int firstCounter);

// A callsign frame (100 baud): header, the call, 0x0F, then filler; no CRC check applies.
std::vector<uint8_t> MakePactorCallFrame(std::string_view call);

struct PactorBurst {
  int baud = 100;
  std::vector<uint8_t> frame;
};

struct PactorAudioParams {
  double centreHz = 1500;
  double shiftHz = 200;
  double amplitude = 8000;
  double cycleSeconds = 1.25;  // frame plus pause
  double leadSeconds = 0.5;
};

// Modulates the bursts, one per cycle, with silence in between.
std::vector<int16_t> MakePactorAudio(const std::vector<PactorBurst>& bursts,
                                     const PactorAudioParams& p);

}  // namespace vexa::test
