#include "decoders/baudot_codec.h"

namespace vexa::decoders {
namespace {

// Index of c in the first 32 entries of table, or -1.
int IndexIn(const char* table, char c) {
  for (int j = 0; j < 32; ++j) {
    if (table[j] == c) return j;
  }
  return -1;
}

BaudotFrames One(int index) {
  BaudotFrames f;
  f.frame[0] = EncodeBaudotFrame(index);
  f.count = 1;
  return f;
}

BaudotFrames Two(int shiftIndex, int index) {
  BaudotFrames f;
  f.frame[0] = EncodeBaudotFrame(shiftIndex);
  f.frame[1] = EncodeBaudotFrame(index);
  f.count = 2;
  return f;
}

}  // namespace

uint16_t EncodeBaudotFrame(int index) {
  uint32_t frame = 0b111;  // 1.5 stop bits, sent last
  for (int bit = 0; bit < 5; ++bit) frame = (frame << 2) | (((index >> bit) & 1) != 0 ? 3u : 0u);
  frame <<= 2;  // the start bit, sent first
  return static_cast<uint16_t>(frame);
}

BaudotFrames EncodeBaudotChar(char c, BaudotShift& shift) {
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (c == 0) {
    shift = BaudotShift::Letters;
    return One(kBaudotLtrs);
  }
  const auto u = static_cast<unsigned char>(c);
  if (u <= 32) {
    const int j = IndexIn(kBaudotLetters, c);
    if (j >= 0) {
      shift = BaudotShift::None;
      return One(j);
    }
  }
  if (shift == BaudotShift::Letters) {
    const int j = IndexIn(kBaudotLetters, c);
    if (j >= 0) return One(j);
  } else if (shift == BaudotShift::Figures) {
    const int j = IndexIn(kBaudotFigures, c);
    if (j >= 0) return One(j);
  }
  // By index, letters before figures at each index: the apostrophe goes out as index 20.
  for (int j = 0; j < 32; ++j) {
    if (kBaudotLetters[j] == c) {
      shift = BaudotShift::Letters;
      return Two(kBaudotLtrs, j);
    }
    if (kBaudotFigures[j] == c) {
      shift = BaudotShift::Figures;
      return Two(kBaudotFigs, j);
    }
  }
  shift = BaudotShift::None;
  return One(kBaudotSpace);
}

int BaudotDecoder::PutBit(int32_t bit) {
  const bool mark = bit == markLevel;
  switch (state) {
    case kWaitMark:
      if (mark) state = kIdle;
      return 0;
    case kIdle:
      if (mark) return 0;
      shiftReg = 0;
      bitsLeft = 5;
      state = kData;
      return kStartBit;
    case kData: {
      shiftReg = shiftReg * 2 + (mark ? 1 : 0);
      if (--bitsLeft > 0) return 0;
      state = kStop;
      const int32_t index = shiftReg & 31;
      char c = decodeTable[index];
      if (index == kBaudotLtrs || index == kBaudotBlank) {
        decodeTable = kBaudotLetters;
      } else if (index == kBaudotFigs) {
        decodeTable = kBaudotFigures;
      } else {
        if (decodeTable == kBaudotLetters && c != '\r' && c != '\n') c = showTable[index];
        lastChar = c;
        if (output != nullptr) output->Put(static_cast<uint8_t>(c));
        if (index == kBaudotSpace && unshiftOnSpace) decodeTable = kBaudotLetters;
      }
      return 0;
    }
    default:  // kStop
      if (mark) {
        state = kIdle;
        return 0;
      }
      state = kWaitMark;
      return kFramingError;
  }
}

void BaudotDecoder::Reset() {
  state = kStop;
  decodeTable = kBaudotLetters;
}

}  // namespace vexa::decoders
