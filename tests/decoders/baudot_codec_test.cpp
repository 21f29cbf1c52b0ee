#include "decoders/baudot_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "decoders/rx_test_util.h"

namespace vexa::decoders {
namespace {

// The 15 half-bit slots of a frame in sending order (LSB first), as a string of 0/1.
std::string Slots(uint16_t frame) {
  std::string s;
  for (int i = 0; i < kBaudotFrameHalfBits; ++i) s += ((frame >> i) & 1) != 0 ? '1' : '0';
  return s;
}

// Inverse of the framer: the code index carried by a well-formed frame, -1 otherwise.
int IndexOfFrame(uint16_t frame) {
  const std::string s = Slots(frame);
  if (s.substr(0, 2) != "00" || s.substr(12) != "111" || (frame >> 15) != 0) return -1;
  int index = 0;
  for (int b = 0; b < 5; ++b) {
    const std::string pair = s.substr(static_cast<size_t>(2 + 2 * b), 2);
    if (pair != "00" && pair != "11") return -1;
    index = index * 2 + (pair == "11" ? 1 : 0);
  }
  return index;
}

// Feeds start bit, the five data bits (first-sent first, 1 = mark) and a stop bit.
void SendCode(BaudotDecoder& d, int index, int stopBit = 1) {
  EXPECT_EQ(d.PutBit(0), BaudotDecoder::kStartBit);
  for (int b = 4; b >= 0; --b) EXPECT_EQ(d.PutBit((index >> b) & 1), 0);
  (void)stopBit;
}

using testutil::Drain;

// Decoder with mark = 1 (markLevel 1), so the test bits read as on the line.
struct MarkOne {
  engine::RxTextQueue q;
  BaudotDecoder d{&q};
  MarkOne() {
    d.markLevel = 1;
    EXPECT_EQ(d.PutBit(1), 0);  // leaves the initial wait-for-mark state
  }
  void Char(int index) {
    SendCode(d, index);
    EXPECT_EQ(d.PutBit(1), 0);
  }
};

TEST(BaudotTables, ShapesAndMarkersAreWhereTheCodeExpectsThem) {
  EXPECT_EQ(std::string(kBaudotLetters).size(), 32u);
  EXPECT_EQ(std::string(kBaudotShown).size(), 32u);
  EXPECT_EQ(std::string(kBaudotFigures).size(), 32u);
  for (const char* t : {kBaudotLetters, kBaudotFigures}) {
    EXPECT_EQ(t[kBaudotBlank], 'R');
    EXPECT_EQ(t[kBaudotFigs], 'N');
    EXPECT_EQ(t[kBaudotLtrs], 'L');
    EXPECT_EQ(t[2], '\r');
    EXPECT_EQ(t[8], '\n');
    EXPECT_EQ(t[kBaudotSpace], ' ');
  }
  // The ITA2 letter codes (level 1 = LSB) bit-reversed give the table index: E=1 -> 16,
  // A = 3 -> 24, Y = 21 -> 21, Q = 23 -> 29, T = 16 -> 1.
  EXPECT_EQ(kBaudotLetters[16], 'e');
  EXPECT_EQ(kBaudotLetters[24], 'a');
  EXPECT_EQ(kBaudotLetters[21], 'y');
  EXPECT_EQ(kBaudotLetters[29], 'q');
  EXPECT_EQ(kBaudotLetters[1], 't');
  // Shown letters are the upper case of the letters table wherever a letter stands.
  for (int i = 0; i < 32; ++i) {
    const char l = kBaudotLetters[i];
    if (l >= 'a' && l <= 'z') {
      EXPECT_EQ(kBaudotShown[i], l - 'a' + 'A') << i;
    } else {
      EXPECT_EQ(kBaudotShown[i], ' ') << i;
    }
  }
  EXPECT_EQ(kBaudotFigures[20], '\'');
  EXPECT_EQ(kBaudotFigures[26], '\'');
}

TEST(BaudotFrame, HandDerivedSlotsForE) {
  // E is index 16 = 10000: start 00, data 11 00 00 00 00, stop 111.
  EXPECT_EQ(Slots(EncodeBaudotFrame(16)), "001100000000111");
  EXPECT_EQ(EncodeBaudotFrame(16), 0x700C);
  EXPECT_EQ(Slots(EncodeBaudotFrame(kBaudotLtrs)), "001111111111111");
  EXPECT_EQ(Slots(EncodeBaudotFrame(kBaudotBlank)), "000000000000111");
  EXPECT_EQ(Slots(EncodeBaudotFrame(1)), "000000000011111");  // T: 00001
}

TEST(BaudotFrame, EveryIndexRoundTripsThroughTheFrameLayout) {
  for (int j = 0; j < 32; ++j) EXPECT_EQ(IndexOfFrame(EncodeBaudotFrame(j)), j) << j;
}

TEST(BaudotDecoder, DecodesEInLettersAnd3InFigures) {
  MarkOne m;
  m.Char(16);
  EXPECT_EQ(Drain(m.q), "E");
  m.Char(kBaudotFigs);
  EXPECT_TRUE(m.d.InFigures());
  m.Char(16);
  EXPECT_EQ(Drain(m.q), "3");
  EXPECT_EQ(m.d.lastChar, '3');
}

TEST(BaudotDecoder, FigsShowsNothingAndSpaceKeepsFigures) {
  MarkOne m;
  m.Char(kBaudotFigs);
  EXPECT_EQ(Drain(m.q), "");
  m.Char(kBaudotSpace);
  EXPECT_EQ(Drain(m.q), " ");
  EXPECT_TRUE(m.d.InFigures());
  m.Char(29);  // q / 1
  EXPECT_EQ(Drain(m.q), "1");
}

TEST(BaudotDecoder, BlankAndLtrsReturnToLetters) {
  MarkOne m;
  m.Char(kBaudotFigs);
  m.Char(kBaudotBlank);
  EXPECT_FALSE(m.d.InFigures());
  m.Char(kBaudotFigs);
  m.Char(kBaudotLtrs);
  EXPECT_FALSE(m.d.InFigures());
  m.Char(24);
  EXPECT_EQ(Drain(m.q), "A");
}

TEST(BaudotDecoder, CrAndLfPassInBothShifts) {
  MarkOne m;
  m.Char(2);
  m.Char(8);
  m.Char(kBaudotFigs);
  m.Char(2);
  m.Char(8);
  EXPECT_EQ(Drain(m.q), "\r\n\r\n");
}

TEST(BaudotDecoder, EveryCodeDecodesToItsTableEntryInBothShifts) {
  for (bool figures : {false, true}) {
    for (int j = 0; j < 32; ++j) {
      if (j == kBaudotBlank || j == kBaudotFigs || j == kBaudotLtrs) continue;
      MarkOne m;
      if (figures) m.Char(kBaudotFigs);
      m.Char(j);
      char want = figures ? kBaudotFigures[j] : kBaudotShown[j];
      if (!figures && (j == 2 || j == 8)) want = kBaudotLetters[j];
      EXPECT_EQ(Drain(m.q), std::string(1, want)) << j << " figures=" << figures;
    }
  }
}

TEST(BaudotDecoder, MissingStopBitIsAFramingErrorThatWaitsForMark) {
  MarkOne m;
  SendCode(m.d, 16);
  EXPECT_EQ(m.d.PutBit(0), BaudotDecoder::kFramingError);  // space where the stop belongs
  EXPECT_EQ(Drain(m.q), "E");                              // the character stays
  // A long space (break) yields nothing: no start bit is accepted until mark returns.
  for (int i = 0; i < 40; ++i) EXPECT_EQ(m.d.PutBit(0), 0);
  EXPECT_EQ(m.d.state, BaudotDecoder::kWaitMark);
  EXPECT_EQ(m.d.PutBit(1), 0);
  EXPECT_EQ(m.d.state, BaudotDecoder::kIdle);
  m.Char(1);
  EXPECT_EQ(Drain(m.q), "T");
}

TEST(BaudotDecoder, StartsWaitingForMarkAndResetExpectsAStopBit) {
  engine::RxTextQueue q;
  BaudotDecoder d(&q);  // mark = 0
  EXPECT_EQ(d.state, BaudotDecoder::kWaitMark);
  EXPECT_EQ(d.PutBit(1), 0);  // space while waiting: ignored
  EXPECT_EQ(d.state, BaudotDecoder::kWaitMark);
  d.Reset();
  EXPECT_EQ(d.state, BaudotDecoder::kStop);
  EXPECT_EQ(d.PutBit(1), BaudotDecoder::kFramingError);
}

TEST(BaudotDecoder, ForceLettersKeepsTheBitState) {
  MarkOne m;
  m.Char(kBaudotFigs);
  SendCode(m.d, 16);  // mid-character: now expecting the stop bit
  m.d.ForceLetters();
  EXPECT_EQ(m.d.state, BaudotDecoder::kStop);
  EXPECT_EQ(m.d.PutBit(1), 0);
  m.Char(16);
  EXPECT_EQ(Drain(m.q), "3E");
}

// Encoder: a round trip through frames -> decoder bits gives the text back (upper case).
std::string RoundTrip(const std::string& text) {
  BaudotShift shift = BaudotShift::None;
  engine::RxTextQueue q;
  BaudotDecoder d(&q);
  d.markLevel = 1;
  (void)d.PutBit(1);
  for (char c : text) {
    const BaudotFrames f = EncodeBaudotChar(c, shift);
    for (int k = 0; k < f.count; ++k) {
      const std::string s = Slots(f.frame[static_cast<size_t>(k)]);
      for (size_t i = 0; i + 1 < s.size(); i += 2) (void)d.PutBit(s[i] - '0');  // one per bit
    }
  }
  return Drain(q);
}

std::vector<int> Indices(const BaudotFrames& f) {
  std::vector<int> v;
  for (int k = 0; k < f.count; ++k) v.push_back(IndexOfFrame(f.frame[static_cast<size_t>(k)]));
  return v;
}

TEST(BaudotEncoder, AbSpace1UsesShiftsAsTheTransmitRulesSay) {
  BaudotShift shift = BaudotShift::None;
  EXPECT_EQ(Indices(EncodeBaudotChar('A', shift)), (std::vector<int>{kBaudotLtrs, 24}));
  EXPECT_EQ(shift, BaudotShift::Letters);
  EXPECT_EQ(Indices(EncodeBaudotChar('B', shift)), (std::vector<int>{19}));
  EXPECT_EQ(Indices(EncodeBaudotChar(' ', shift)), (std::vector<int>{kBaudotSpace}));
  EXPECT_EQ(shift, BaudotShift::None);
  EXPECT_EQ(Indices(EncodeBaudotChar('1', shift)), (std::vector<int>{kBaudotFigs, 29}));
  EXPECT_EQ(shift, BaudotShift::Figures);
}

TEST(BaudotEncoder, UnknownCharacterSendsSpaceAndForgetsTheShift) {
  for (char c : {'%', '*', '\t', static_cast<char>(0xE9)}) {
    BaudotShift shift = BaudotShift::Figures;
    EXPECT_EQ(Indices(EncodeBaudotChar(c, shift)), (std::vector<int>{kBaudotSpace})) << int(c);
    EXPECT_EQ(shift, BaudotShift::None);
  }
  // The table markers are not characters either.
  BaudotShift shift = BaudotShift::Letters;
  EXPECT_EQ(Indices(EncodeBaudotChar('R', shift)), (std::vector<int>{10}));  // the letter r
}

TEST(BaudotEncoder, IdleIsLtrsAndCrLfNeedNoShift) {
  BaudotShift shift = BaudotShift::Figures;
  EXPECT_EQ(Indices(EncodeBaudotChar(0, shift)), (std::vector<int>{kBaudotLtrs}));
  EXPECT_EQ(shift, BaudotShift::Letters);
  shift = BaudotShift::Figures;
  EXPECT_EQ(Indices(EncodeBaudotChar('\r', shift)), (std::vector<int>{2}));
  EXPECT_EQ(Indices(EncodeBaudotChar('\n', shift)), (std::vector<int>{8}));
  EXPECT_EQ(shift, BaudotShift::None);
  EXPECT_EQ(Indices(EncodeBaudotChar('5', shift)), (std::vector<int>{kBaudotFigs, 1}));
  EXPECT_EQ(Indices(EncodeBaudotChar('5', shift)), (std::vector<int>{1}));
}

TEST(BaudotEncoder, ApostropheGoesOutAsIndex20InEitherShift) {
  BaudotShift shift = BaudotShift::Letters;
  EXPECT_EQ(Indices(EncodeBaudotChar('\'', shift)), (std::vector<int>{kBaudotFigs, 20}));
  EXPECT_EQ(Indices(EncodeBaudotChar('\'', shift)), (std::vector<int>{20}));
}

TEST(BaudotEncoder, RoundTripThroughTheDecoder) {
  EXPECT_EQ(RoundTrip("ryry cq de dl1abc 599 73 (k)?\r\n"), "RYRY CQ DE DL1ABC 599 73 (K)?\r\n");
  EXPECT_EQ(RoundTrip("a%b"), "A B");
  EXPECT_EQ(RoundTrip("-.,/:=+$!&#'"), "-.,/:=+$!&#'");
}

}  // namespace
}  // namespace vexa::decoders
