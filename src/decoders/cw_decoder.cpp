#include "decoders/cw_decoder.h"

#include <algorithm>

#include "decoders/fixed_point.h"

namespace vexa::decoders {
namespace {

// Narrow low-pass filter at the carrier (centre tap 3072, sum 32764).
constexpr std::array<int32_t, 64> kNarrowTaps = {
    0,    7,    28,   59,   94,   128,  152,  162,  150, 114,  53,   -30,  -131, -241, -349, -444,
    -512, -541, -519, -438, -293, -84,  187,  510,  874, 1262, 1655, 2034, 2378, 2668, 2888, 3025,
    3072, 3025, 2888, 2668, 2378, 2034, 1655, 1262, 874, 510,  187,  -84,  -293, -438, -519, -541,
    -512, -444, -349, -241, -131, -30,  53,   114,  150, 162,  152,  128,  94,   59,   28,   7};

// Reference filter: no response at the carrier itself (sum -2, centre tap 6144); it measures the
// noise around the tone.
constexpr std::array<int32_t, 64> kReferenceTaps = {
    0,     -11,   -11,   55,    174,  244,  169,  -32,  -212, -227,  -89,   17,    -100,
    -425,  -685,  -563,  0,     686,  1018, 772,  224,  -49,  311,   1016,  1236,  247,
    -1839, -3893, -4394, -2516, 1127, 4677, 6144, 4677, 1127, -2516, -4394, -3893, -1839,
    247,   1236,  1016,  311,   -49,  224,  772,  1018, 686,  0,     -563,  -685,  -425,
    -100,  17,    -89,   -227,  -212, -32,  169,  244,  174,  55,    -11,   -11};

constexpr std::array<uint8_t, 256> BuildMorseTable() {
  std::array<uint8_t, 256> t{};
  for (auto& e : t) e = 1;
  struct Entry {
    int code;
    uint8_t value;
  };
  // Punctuation, digits and the extra symbols.
  constexpr Entry kSingles[] = {{2, 255},  {33, 40},  {36, 100}, {37, 53},  {38, 34},  {40, 45},
                                {41, 109}, {42, 104}, {43, 42},  {44, 115}, {46, 106}, {47, 41},
                                {48, 63},  {49, 62},  {50, 60},  {51, 56},  {52, 48},  {53, 32},
                                {54, 33},  {55, 35},  {56, 39},  {57, 47},  {61, 49},  {63, 76},
                                {92, 41},  {96, 64},  {124, 41}, {164, 104}};
  for (const auto& e : kSingles) t[static_cast<size_t>(e.code)] = e.value;
  // Latin letters A..Z, stored at the upper- and the lower-case position.
  constexpr uint8_t kLatin[26] = {6, 17, 21, 9,  2,  20, 11, 16, 4,  30, 13, 18, 7,
                                  5, 15, 22, 27, 10, 8,  3,  12, 24, 14, 25, 29, 19};
  for (int i = 0; i < 26; ++i) {
    t[static_cast<size_t>(65 + i)] = kLatin[i];
    t[static_cast<size_t>(97 + i)] = kLatin[i];
  }
  // Cyrillic letters of code page 1251 (192..223 upper case, 224..255 lower case).
  constexpr uint8_t kCyrillic[32] = {6,  17, 14, 11, 9,  2,  24, 19, 4,  30, 13,
                                     18, 7,  5,  15, 22, 10, 8,  3,  12, 20, 16,
                                     21, 23, 31, 27, 25, 29, 25, 36, 28, 26};
  for (int i = 0; i < 32; ++i) {
    t[static_cast<size_t>(192 + i)] = kCyrillic[i];
    t[static_cast<size_t>(224 + i)] = kCyrillic[i];
  }
  return t;
}

constexpr std::array<uint8_t, 256> kMorseTable = BuildMorseTable();

inline int32_t Power(int32_t i, int32_t q) {
  const int64_t a = i >> 16, b = q >> 16;
  return static_cast<int32_t>(std::min<int64_t>(a * a + b * b, INT32_MAX));
}

}  // namespace

const std::array<uint8_t, 256>& MorseTable() {
  return kMorseTable;
}

int MorseLookup(uint32_t pattern) {
  if (pattern < 2 || pattern > 255) return -1;  // 0 and 1 mark entries without a pattern
  for (int c = 0; c < 256; ++c) {
    if (kMorseTable[static_cast<size_t>(c)] == pattern) return c;
  }
  return -1;
}

CwDecoder::CwDecoder(engine::RxTextQueue* sink) : ReceiveChannel(kDecimRateHz, 0.0), sink_(sink) {
  firTaps = kNarrowTaps.data();
}

void CwDecoder::ResetDecoder() {
  keyDown = 0;
  duration = 0;
  boundary = 40;
  dashLen = 60;
  gapLen = 20;
  dotLen = 20;
  morseReg = 1;
  narrowShort.Reset();
  refShort.Reset();
  narrowLong.Reset();
  floorAvg.Reset();
  threshold = 0;
  levelDiff = 0;
}

void CwDecoder::ProcessDecimated() {
  firI[static_cast<size_t>(firIndex)] = FilteredI() >> 10;
  firQ[static_cast<size_t>(firIndex)] = FilteredQ() >> 10;
  firIndex = (firIndex + 1) & 63;

  const int32_t pn =
      Power(Fir64(kNarrowTaps.data(), firI, firIndex), Fir64(kNarrowTaps.data(), firQ, firIndex));
  const int32_t pr = Power(Fir64(kReferenceTaps.data(), firI, firIndex),
                           Fir64(kReferenceTaps.data(), firQ, firIndex));
  narrowShort.Add(pn);
  narrowLong.Add(pn);
  refShort.Add(pr);

  const int64_t a1 = narrowShort.Mean();
  const int64_t a2 = refShort.Mean();
  floorAvg.Add(static_cast<int32_t>(std::min(a1, a2)));
  const int64_t floor = floorAvg.Mean();

  // Hysteresis: while the key is down the tone may fall far (to 1/32 of its recent mean) before
  // it counts as up; while up it must rise to 1.5 times the recent mean. Never below 4x the floor.
  const int64_t n = narrowLong.Mean();
  const int64_t m = keyDown != 0 ? n / 32 : 2 * n - n / 2;
  threshold = 4 * floor > m ? 4 * floor : m;
  levelDiff = a1 - a2;
  StepKey(levelDiff > threshold);
}

void CwDecoder::StepKey(bool down) {
  // Saturates (after about 9 hours of one key state) so that the count cannot overflow.
  if (duration < kMaxDurationSteps) duration += 1;
  const int32_t d = down ? 1 : 0;
  if (d == keyDown) {
    if (keyDown == 0) {
      const int64_t b = boundary;
      if (duration == b) {
        Decode();
      } else if (duration == 2 * b) {
        Put(' ');
      } else if (duration == 10 * b) {
        Put('\r');
        Put('\n');
      }
    }
    return;
  }
  if (keyDown != 0) {
    // A mark has ended.
    if (duration >= kMinMarkSteps) {
      // Patterns longer than any table entry cannot match; stop growing the register rather
      // than letting it overflow (the character is then dropped like any unknown pattern).
      if (morseReg < (1u << 24)) morseReg <<= 1;
      if (duration > boundary) {
        morseReg |= 1u;
        dashLen = duration;
        boundary = duration - duration / 3;
      } else {
        dotLen = duration;
        boundary = std::min((dashLen + duration) >> 1, duration + gapLen);
      }
    }
  } else {
    // A space has ended.
    if (duration == boundary) {
      Decode();
    } else {
      gapLen = duration;
      boundary = std::min((dashLen + dotLen) >> 1, duration + dotLen);
    }
  }
  keyDown = d;
  duration = 0;
}

void CwDecoder::Decode() {
  if (morseReg <= 1) return;
  uint32_t r = 1;
  while (morseReg > 1) {
    r = (r << 1) | (morseReg & 1u);
    morseReg >>= 1;
  }
  const int c = MorseLookup(r);
  if (c >= 0) Put(static_cast<uint8_t>(c));
}

}  // namespace vexa::decoders
