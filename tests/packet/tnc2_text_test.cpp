#include "packet/tnc2_text.h"

#include <gtest/gtest.h>

namespace vexa::packet {
namespace {

TEST(Tnc2Text, ParsesAndPrintsAPathWithARepeatedDigipeater) {
  auto f = ParseTnc2("VK2DEF-1>APRS,WIDE1-1*,WIDE2-1:>#002 status");
  ASSERT_TRUE(f);
  EXPECT_EQ(FormatCallsign(f->source), "VK2DEF-1");
  EXPECT_EQ(FormatCallsign(f->destination), "APRS");
  ASSERT_EQ(f->digis.count(), 2);
  EXPECT_EQ(f->repeated, 1);
  EXPECT_EQ(f->type, FrameType::Ui);
  EXPECT_EQ(f->cr, kCommand);
  EXPECT_EQ(f->pid, 0xF0);
  EXPECT_EQ(std::string(f->info.begin(), f->info.end()), ">#002 status");
  EXPECT_EQ(FormatTnc2(*f), "VK2DEF-1>APRS,WIDE1-1*,WIDE2-1:>#002 status");
  // Through the byte layout and back.
  auto back = DecodeFrame(EncodeFrame(*f));
  ASSERT_TRUE(back);
  EXPECT_EQ(FormatTnc2(*back), "VK2DEF-1>APRS,WIDE1-1*,WIDE2-1:>#002 status");
}

TEST(Tnc2Text, InfoMayHoldColonsAndBeEmpty) {
  auto f = ParseTnc2("A1>B2:x:y");
  ASSERT_TRUE(f);
  EXPECT_EQ(std::string(f->info.begin(), f->info.end()), "x:y");
  auto g = ParseTnc2("A1>B2:");
  ASSERT_TRUE(g);
  EXPECT_TRUE(g->info.empty());
  EXPECT_EQ(FormatTnc2(*g), "A1>B2:");
}

TEST(Tnc2Text, ControlBytesPrintAsHex) {
  Ax25Frame f = *ParseTnc2("A1>B2:");
  f.info = {'a', '\r', 0x7F, 'b'};
  EXPECT_EQ(FormatTnc2(f), "A1>B2:a<0x0d><0x7f>b");
}

TEST(Tnc2Text, RejectsBadLines) {
  for (const char* bad : {"", "A1>B2", "A1:B2", ">B2:x", "A1>:x", "TOOLONG1>B2:x", "A1>B2,:x",
                          "A1>B2,C-16:x", "A1>B2,D1,D2,D3,D4,D5,D6,D7,D8:x", "A1>B2*:x"}) {
    EXPECT_FALSE(ParseTnc2(bad)) << bad;
  }
  EXPECT_TRUE(ParseTnc2("A1>B2,D1,D2,D3,D4,D5,D6,D7:x"));
}

}  // namespace
}  // namespace vexa::packet
