// The worked table: sorted keys, class bits per band, and the limit of 8000 calls.
#include "log/worked_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace vexa::log {
namespace {

TEST(CallKey, SortsLikeTheTextAndIgnoresCase) {
  const char* calls[] = {"3DA0XY",  "9A1A",  "A61AB", "DL",     "DL/W1AW", "DL1ABC",
                         "DL1ABCD", "K1ABC", "W1AW",  "W1AW/4", "W1AW/P",  "ZL1AA"};
  for (size_t i = 1; i < std::size(calls); ++i)
    EXPECT_LT(CallKey(calls[i - 1]), CallKey(calls[i])) << calls[i - 1] << " < " << calls[i];
  EXPECT_EQ(CallKey("dl1abc"), CallKey("DL1ABC"));
  EXPECT_NE(CallKey("R1AND/AT10BP"), CallKey("R1AND/AT10B"));  // 12 characters still differ
}

TEST(WorkedTable, KeepsClassBitsPerBand) {
  WorkedTable t;
  t.AddWorked("W1AW", 4, 0);
  t.AddWorked("W1AW", 4, 2);
  t.AddWorked("DL1ABC", 1, 4);
  t.AddWorked("W1AW", 9, 0);   // no such band
  t.AddWorked("W1AW", 4, -1);  // no class
  EXPECT_EQ(t.size(), 2u);
  ASSERT_NE(t.Find("W1AW"), nullptr);
  EXPECT_EQ(t.Find("W1AW")->bands[4], 0b101);
  EXPECT_TRUE(t.IsWorked("w1aw", 4, 2));
  EXPECT_FALSE(t.IsWorked("W1AW", 3, 2));
  EXPECT_FALSE(t.IsWorked("K1ABC", 4, 0));
  EXPECT_TRUE(std::is_sorted(t.entries().begin(), t.entries().end(),
                             [](const auto& a, const auto& b) { return a.key < b.key; }));
}

TEST(WorkedTable, FullTablePushesOutTheLargestKey) {
  WorkedTable t;
  // 8000 calls AA0AA.. in increasing key order.
  auto call = [](int i) {
    std::string c = "AA0AAA";
    c[3] = static_cast<char>('A' + i / 676 % 26);
    c[4] = static_cast<char>('A' + i / 26 % 26);
    c[5] = static_cast<char>('A' + i % 26);
    c[2] = static_cast<char>('0' + i / 17576);
    return c;
  };
  for (int i = 0; i < 8000; ++i) t.AddWorked(call(i), 0, 0);
  ASSERT_EQ(t.size(), WorkedTable::kMaxEntries);
  t.AddWorked("A1A", 0, 0);  // sorts first: the last call goes
  EXPECT_EQ(t.size(), WorkedTable::kMaxEntries);
  EXPECT_NE(t.Find("A1A"), nullptr);
  EXPECT_EQ(t.Find(call(7999)), nullptr);
  EXPECT_NE(t.Find(call(7998)), nullptr);
  t.AddWorked("ZZ9ZZ", 0, 0);  // sorts last: it is the one pushed out
  EXPECT_EQ(t.Find("ZZ9ZZ"), nullptr);
  EXPECT_EQ(t.size(), WorkedTable::kMaxEntries);
}

}  // namespace
}  // namespace vexa::log
