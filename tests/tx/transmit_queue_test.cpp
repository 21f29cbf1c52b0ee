// The transmit queue: only text before the caret is sent, each sent character leaves the window,
// the simple keyboard's pending string, the CR LF at the start, and the wrap column.
#include "tx/transmit_queue.h"

#include <gtest/gtest.h>

#include <string>

namespace vexa::tx {
namespace {

std::string TakeAll(TransmitQueue& q) {
  std::string s;
  uint8_t c;
  while (q.NextTxChar(c)) s.push_back(static_cast<char>(c));
  return s;
}

TEST(TransmitQueue, SendsOnlyWhatStandsBeforeTheCaretAndDeletesIt) {
  PlainTransmitText text;
  TransmitQueue q(text);
  text.Type("CQ ");
  text.AppendAfterCaret("DE X");  // typed ahead, after the caret: waits
  EXPECT_EQ(TakeAll(q), "CQ ");
  EXPECT_EQ(text.text(), "DE X");
  EXPECT_EQ(text.CaretPosition(), 0u);
  text.SetCaret(3);  // the caret moves past "DE "
  EXPECT_EQ(TakeAll(q), "DE ");
  EXPECT_EQ(text.text(), "X");
}

TEST(TransmitQueue, EveryTransmissionStartsWithCrLfEvenWhenTheWindowIsEmpty) {
  PlainTransmitText text;
  TransmitQueue q(text);
  q.StartTransmission();
  EXPECT_EQ(TakeAll(q), "\r\n");
  uint8_t c = 'x';
  EXPECT_FALSE(q.NextTxChar(c));  // nothing more: the modulator sends its idle signal
  text.Type("K");
  q.StartTransmission();
  EXPECT_EQ(TakeAll(q), "\r\nK");
}

TEST(TransmitQueue, SimpleKeyboardPendingStringWinsWhileVisible) {
  PlainTransmitText text;
  TransmitQueue q(text);
  text.Type("window");
  text.SetSimpleKeyboardVisible(true);
  text.TypeSimple("ab");
  q.StartTransmission();  // the chunk is bypassed as well while the simple keyboard is shown
  EXPECT_EQ(TakeAll(q), "ab");
  EXPECT_EQ(text.text(), "window");
  text.SetSimpleKeyboardVisible(false);
  EXPECT_EQ(TakeAll(q), "\r\nwindow");
}

// An element of the window without text (an embedded object) gives character 0 once.
class ObjectText final : public TransmitText {
 public:
  bool SimpleKeyboardVisible() const override { return false; }
  bool PopPending(uint8_t&) override { return false; }
  size_t CaretPosition() const override { return left; }
  std::string TakeFirst() override {
    --left;
    return left == 1 ? "" : "Z";
  }
  void ClearWindow() override {}
  void ClearSimpleKeyboard() override {}
  void PostAtEnd(uint8_t) override {}
  void SelectAll() override {}
  size_t left = 3;
};

TEST(TransmitQueue, AnElementWithoutTextYieldsIdleCharacterZero) {
  ObjectText text;
  TransmitQueue q(text);
  uint8_t c = 1;
  ASSERT_TRUE(q.NextTxChar(c));
  EXPECT_EQ(c, 'Z');
  ASSERT_TRUE(q.NextTxChar(c));
  EXPECT_EQ(c, 0);
  ASSERT_TRUE(q.NextTxChar(c));
  EXPECT_EQ(c, 'Z');
  EXPECT_FALSE(q.NextTxChar(c));
}

TEST(TransmitQueue, WrapsAtTheWrapColumnOnASpaceButNeverDoublesALineEnd) {
  struct Case {
    int letters;
    char after;
    bool wraps;
  };
  // With Wrap 80 the 80th character of a line, if it is a space or control, is followed by
  // CR LF; CR and LF are never followed by another CR LF.
  const Case cases[] = {{79, ' ', true},   {78, ' ', false},  {120, ' ', true},
                        {85, '\r', false}, {85, '\n', false}, {79, '\t', true}};
  for (const Case& k : cases) {
    PlainTransmitText text;
    TransmitQueue q(text, 80);
    const std::string line(static_cast<size_t>(k.letters), 'A');
    text.Type(line + k.after + "B");
    const std::string expected = line + k.after + (k.wraps ? "\r\n" : "") + "B";
    EXPECT_EQ(TakeAll(q), expected) << k.letters << " letters then " << int(k.after);
  }
}

TEST(TransmitQueue, ColumnRestartsAfterEverySpaceAndWrapZeroIsOff) {
  PlainTransmitText text;
  TransmitQueue q(text, 10);
  text.Type("abcdefgh ijklmnopq rs");  // 9 and 10 columns: only the second space wraps
  EXPECT_EQ(TakeAll(q), "abcdefgh ijklmnopq \r\nrs");
  PlainTransmitText text2;
  TransmitQueue off(text2, 0);
  const std::string longLine(300, 'x');
  text2.Type(longLine + " y");
  EXPECT_EQ(TakeAll(off), longLine + " y");
}

TEST(PlainTransmitText, EndMarkGoesToTheEndOfTheActiveWindow) {
  PlainTransmitText text;
  text.Type("abc");
  text.SetCaret(1);
  text.PostAtEnd(kTxEnd);
  EXPECT_EQ(text.text(), "abc\xAE");
  EXPECT_EQ(text.CaretPosition(), 4u);  // everything typed is now before the caret
  text.SetSimpleKeyboardVisible(true);
  text.TypeSimple("x");
  text.PostAtEnd(kTxEnd);
  EXPECT_EQ(text.pending(), "x\xAE");
}

TEST(PlainTransmitText, SelectAllMakesTheNextTypingReplaceTheText) {
  PlainTransmitText text;
  text.Type("old text");
  text.SelectAll();
  text.Type("new");
  EXPECT_EQ(text.text(), "new");
  EXPECT_EQ(text.CaretPosition(), 3u);
}

}  // namespace
}  // namespace vexa::tx
