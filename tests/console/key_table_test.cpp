#include "console/key_table.h"

#include <gtest/gtest.h>

#include <set>

namespace vexa::console {
namespace {

TEST(KeyTable, NamesTheTwoRows) {
  EXPECT_EQ(KeyName(0), "F1");
  EXPECT_EQ(KeyName(11), "F12");
  EXPECT_EQ(KeyName(12), "Shift F1");
  EXPECT_EQ(KeyName(23), "Shift F12");
  EXPECT_EQ(KeyName(24), "");
  EXPECT_EQ(KeyName(-1), "");
}

TEST(KeyTable, StoredFormWritesLineEndsAndOnlyATrailingSpace) {
  EXPECT_EQ(ToStoredForm("CQ de X\r\nk "), "CQ de X<CR><LF>k<SP>");
  EXPECT_EQ(ToStoredForm("a b"), "a b");
  EXPECT_EQ(ToStoredForm(" "), "<SP>");
  EXPECT_EQ(ToStoredForm(""), "");
  EXPECT_EQ(ToEditForm("CQ<CR><LF>k<SP>"), "CQ\r\nk ");
  // Round trips both ways for texts in their own form.
  for (const char* edited : {"73 ", "\r\n\r\nx", "<CALL> de <MYCALL>\r\n", "  two  "})
    EXPECT_EQ(ToEditForm(ToStoredForm(edited)), edited);
}

TEST(KeyTable, NestedTokensAddressTheKeysByTheirNumbers) {
  EXPECT_EQ(KeyOfToken("<F1>"), 0);
  EXPECT_EQ(KeyOfToken("<F10>"), 9);
  EXPECT_EQ(KeyOfToken("<SF1>"), 10);
  EXPECT_EQ(KeyOfToken("<SF2>"), 11);
  EXPECT_EQ(KeyOfToken("<SF3>"), 12);
  EXPECT_EQ(KeyOfToken("<SF10>"), 19);
  EXPECT_EQ(KeyOfToken("<F11>"), 20);
  EXPECT_EQ(KeyOfToken("<F12>"), 21);
  EXPECT_EQ(KeyOfToken("<SF11>"), 22);
  EXPECT_EQ(KeyOfToken("<SF12>"), 23);
  for (const char* bad : {"<F0>", "<F13>", "<SF0>", "<F01>", "<F1", "F1>", "<FX>", "<SF>", "<f1>"})
    EXPECT_EQ(KeyOfToken(bad), -1) << bad;
  // The pass order covers every key exactly once.
  std::set<int> keys;
  for (std::string_view t : NestedKeyTokens()) keys.insert(KeyOfToken(t));
  EXPECT_EQ(keys.size(), 24u);
  EXPECT_EQ(*keys.begin(), 0);
  EXPECT_EQ(*keys.rbegin(), 23);
  EXPECT_EQ(NestedKeyTokens()[10], "<F11>");
  EXPECT_EQ(NestedKeyTokens()[12], "<SF1>");
}

TEST(KeyTable, SpecialTextsAreReachedByTheirNumbers) {
  KeyTable t;
  t.texts[5] = "five";
  t.autoCqText = "cq";
  t.insText = "ins";
  t.grayPlusText = "plus";
  EXPECT_EQ(t.Text(5), "five");
  EXPECT_EQ(t.Text(kKeyAutoCq), "cq");
  EXPECT_EQ(t.Text(kKeyIns), "ins");
  EXPECT_EQ(t.Text(kKeyGrayPlus), "plus");
  EXPECT_EQ(t.Text(99), "");
}

}  // namespace
}  // namespace vexa::console
