#include "packet/ax25_frame.h"

#include <gtest/gtest.h>

#include <random>

namespace vexa::packet {
namespace {

Ax25Address Call(const char* text) {
  auto a = ParseCallsign(text);
  EXPECT_TRUE(a) << text;
  return a.value_or(Ax25Address{});
}

Ax25Frame Frame(FrameType type, int cr, int pf) {
  Ax25Frame f;
  f.source = Call("N0CALL");
  f.destination = Call("N0CALL-1");
  f.type = type;
  f.cr = cr;
  f.pf = pf;
  return f;
}

// The worked example: an I command from N0CALL to N0CALL-1, N(R) 2, N(S) 3, poll set, PID
// 0xF0, information "hi".
TEST(MonitorText, PrintsTheIFrameExample) {
  Ax25Frame f = Frame(FrameType::I, kCommand, 1);
  f.nr = 2;
  f.ns = 3;
  f.info = {'h', 'i'};
  EXPECT_EQ(MonitorText(f), "N0CALL>N0CALL-1>I23,P,f0:\r\nhi\r\n");
  // The same after a trip through the byte layout.
  auto back = DecodeFrame(EncodeFrame(f));
  ASSERT_TRUE(back);
  EXPECT_EQ(MonitorText(*back), "N0CALL>N0CALL-1>I23,P,f0:\r\nhi\r\n");
}

TEST(MonitorText, RrResponseWithFinalEndsInRr5F) {
  Ax25Frame f = Frame(FrameType::Rr, kResponse, 1);
  f.nr = 5;
  EXPECT_EQ(MonitorText(f), "N0CALL>N0CALL-1>RR5,F\r\n");
}

TEST(MonitorText, LettersForCommandResponseAndOldVersion) {
  EXPECT_EQ(MonitorText(Frame(FrameType::Sabm, kCommand, 0)), "N0CALL>N0CALL-1>SABM,C\r\n");
  EXPECT_EQ(MonitorText(Frame(FrameType::Ua, kResponse, 0)), "N0CALL>N0CALL-1>UA,R\r\n");
  EXPECT_EQ(MonitorText(Frame(FrameType::Disc, kOldVersion, 0)), "N0CALL>N0CALL-1>DISC,?\r\n");
  EXPECT_EQ(MonitorText(Frame(FrameType::Dm, kOldVersion, 1)), "N0CALL>N0CALL-1>DM,?\r\n");
}

TEST(MonitorText, BothCBitsSetPrintsAQuestionMark) {
  auto bytes = EncodeFrame(Frame(FrameType::Ua, kCommand, 0));
  bytes[13] |= 0x80;  // the source's C bit as well
  auto f = DecodeFrame(bytes);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->cr, kOldVersion);
  EXPECT_EQ(MonitorText(*f), "N0CALL>N0CALL-1>UA,?\r\n");
}

TEST(MonitorText, MarksTheLastRepeatedDigipeaterAndPrintsThePidInHex) {
  Ax25Frame f = Frame(FrameType::Ui, kCommand, 0);
  ASSERT_EQ(ParseCallsignList("RELAY WIDE2-2 WIDE3", f.digis), 3);
  f.repeated = 2;
  f.pid = 0x08;
  f.info = {'a', 0x01, '\r', '\n', 0x1F, 'z'};
  EXPECT_EQ(MonitorText(f), "N0CALL/RELAY/WIDE2-2*/WIDE3>N0CALL-1>UI,C,8:\r\na.\r\n.z\r\n");
}

TEST(MonitorText, LineIsCutTo2045CharactersBeforeItsEnd) {
  Ax25Frame f = Frame(FrameType::Ui, kCommand, 0);
  f.info.assign(3000, 'x');
  const std::string head = "N0CALL>N0CALL-1>UI,C,f0:\r\n";
  const std::string s = MonitorText(f);
  ASSERT_EQ(s.size(), 2047u);
  EXPECT_EQ(s.substr(0, head.size()), head);
  EXPECT_EQ(s.substr(2045), "\r\n");
  EXPECT_EQ(s.find_first_not_of('x', head.size()), 2045u);
  f.info.assign(2045 - head.size(), 'y');  // exactly fits
  EXPECT_EQ(MonitorText(f).size(), 2047u);
}

TEST(FrameTypeName, NamesInTableOrder) {
  const char* names[] = {"UNKN", "SABM", "DISC", "UA", "DM", "RR", "RNR", "REJ", "FRMR", "I", "UI"};
  for (int i = 0; i < kFrameTypeCount; ++i)
    EXPECT_STREQ(FrameTypeName(static_cast<FrameType>(i)), names[i]);
  EXPECT_STREQ(FrameTypeName(static_cast<FrameType>(11)), "UNKN");
  EXPECT_STREQ(FrameTypeName(static_cast<FrameType>(-1)), "UNKN");
}

// Control bytes of the type table (P/F adds 0x10).
TEST(EncodeFrame, ControlBytesOfEveryType) {
  struct Case {
    FrameType type;
    int nr, ns, pf;
    uint8_t control;
  };
  const Case cases[] = {
      {FrameType::Sabm, 0, 0, 1, 0x3F}, {FrameType::Disc, 0, 0, 1, 0x53},
      {FrameType::Ua, 0, 0, 0, 0x63},   {FrameType::Dm, 0, 0, 1, 0x1F},
      {FrameType::Rr, 5, 0, 0, 0xA1},   {FrameType::Rnr, 7, 0, 1, 0xF5},
      {FrameType::Rej, 1, 0, 0, 0x29},  {FrameType::Frmr, 0, 0, 0, 0x87},
      {FrameType::I, 2, 3, 1, 0x56},    {FrameType::Ui, 0, 0, 0, 0x03},
      {FrameType::Unkn, 0, 0, 1, 0x10},
  };
  for (const Case& c : cases) {
    Ax25Frame f = Frame(c.type, kCommand, c.pf);
    f.nr = c.nr;
    f.ns = c.ns;
    EXPECT_EQ(ControlByte(f), c.control) << FrameTypeName(c.type);
    const auto bytes = EncodeFrame(f);
    ASSERT_GE(bytes.size(), 15u);
    EXPECT_EQ(bytes[14], c.control);
    if (c.type == FrameType::Unkn) continue;  // decodes as an I frame by its control byte
    auto back = DecodeFrame(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->type, c.type);
    EXPECT_EQ(back->pf, c.pf);
    if (IsSupervisory(c.type) || c.type == FrameType::I) {
      EXPECT_EQ(back->nr, c.nr);
    }
    if (c.type == FrameType::I) {
      EXPECT_EQ(back->ns, c.ns);
    }
  }
}

// The byte layout, written out by hand: shifted characters, shifted-space padding, SSID byte
// with the reserved bits, C bit in the destination for a command, extension bit on the last
// address.
TEST(EncodeFrame, AddressFieldLayout) {
  Ax25Frame f = Frame(FrameType::Ui, kCommand, 0);
  f.destination = Call("APRS");
  f.source = Call("N0CALL-7");
  ASSERT_EQ(ParseCallsignList("WIDE1-1", f.digis), 1);
  f.repeated = 1;
  f.info = {'!'};
  const std::vector<uint8_t> want = {
      'A' << 1, 'P' << 1, 'R' << 1, 'S' << 1, 0x40,     0x40,     0xE0,  // APRS, command
      'N' << 1, '0' << 1, 'C' << 1, 'A' << 1, 'L' << 1, 'L' << 1, 0x6E,  // SSID 7
      'W' << 1, 'I' << 1, 'D' << 1, 'E' << 1, '1' << 1, 0x40,     0xE3,  // H bit, SSID 1, last
      0x03,     0xF0,     '!'};
  EXPECT_EQ(EncodeFrame(f), want);
  // A response puts the C bit into the source's byte; an old-version frame goes as a response.
  f.cr = kResponse;
  auto r = EncodeFrame(f);
  EXPECT_EQ(r[6], 0x60);
  EXPECT_EQ(r[13], 0xEE);
  f.cr = kOldVersion;
  EXPECT_EQ(EncodeFrame(f), r);
}

TEST(EncodeFrame, LengthIs15Plus7PerDigiPlusPidAndInfo) {
  Ax25Frame f = Frame(FrameType::Rr, kResponse, 0);
  EXPECT_EQ(EncodeFrame(f).size(), 15u);
  ASSERT_EQ(ParseCallsignList("A1 A2 A3 A4 A5 A6 A7", f.digis), 7);
  EXPECT_EQ(EncodeFrame(f).size(), 15u + 49u);
  f.type = FrameType::I;
  f.info.assign(10, 'q');
  EXPECT_EQ(EncodeFrame(f).size(), 15u + 49u + 1u + 10u);
}

TEST(DecodeFrame, FourteenBytesFailFifteenWithAUControlDecode) {
  auto bytes = EncodeFrame(Frame(FrameType::Sabm, kCommand, 1));
  ASSERT_EQ(bytes.size(), 15u);
  EXPECT_TRUE(DecodeFrame(bytes));
  bytes.pop_back();
  EXPECT_FALSE(DecodeFrame(bytes));
  EXPECT_FALSE(DecodeFrame(std::span<const uint8_t>{}));
}

TEST(DecodeFrame, SevenDigipeatersDecodeAnEighthFails) {
  Ax25Frame f = Frame(FrameType::Ui, kCommand, 0);
  ASSERT_EQ(ParseCallsignList("D1 D2 D3 D4 D5 D6 D7", f.digis), 7);
  f.repeated = 3;
  auto bytes = EncodeFrame(f);
  auto back = DecodeFrame(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->digis.count(), 7);
  EXPECT_EQ(back->repeated, 3);
  EXPECT_TRUE(back->digis == f.digis);
  // Insert an eighth digipeater: clear the extension bit of the seventh and add one after it.
  bytes[14 + 6 * 7 + 6] &= 0xFE;
  const uint8_t eighth[7] = {'D' << 1, '8' << 1, 0x40, 0x40, 0x40, 0x40, 0x61};
  bytes.insert(bytes.begin() + 14 + 49, eighth, eighth + 7);
  EXPECT_FALSE(DecodeFrame(bytes));
}

TEST(DecodeFrame, PathWithoutItsLastAddressOrControlFails) {
  Ax25Frame f = Frame(FrameType::Ui, kCommand, 0);
  ASSERT_EQ(ParseCallsignList("D1 D2", f.digis), 2);
  auto bytes = EncodeFrame(f);  // 14 + 14 + control + PID = 30
  for (size_t n = 15; n < 29; ++n) {
    EXPECT_FALSE(DecodeFrame(std::span<const uint8_t>(bytes.data(), n))) << n;
  }
  EXPECT_TRUE(DecodeFrame(std::span<const uint8_t>(bytes.data(), 29)));  // no PID, no info
}

TEST(DecodeFrame, UControlBytesWithPfMaskedAndUnknownOnes) {
  auto bytes = EncodeFrame(Frame(FrameType::Ua, kResponse, 0));
  struct Case {
    uint8_t control;
    FrameType type;
  };
  const Case cases[] = {{0x03, FrameType::Ui},   {0x13, FrameType::Ui},   {0x0F, FrameType::Dm},
                        {0x2F, FrameType::Sabm}, {0x3F, FrameType::Sabm}, {0x43, FrameType::Disc},
                        {0x63, FrameType::Ua},   {0x87, FrameType::Frmr}, {0xAF, FrameType::Unkn},
                        {0xE3, FrameType::Unkn}, {0x0D, FrameType::Unkn}, {0xA1, FrameType::Rr},
                        {0x05, FrameType::Rnr},  {0x09, FrameType::Rej}};
  for (const Case& c : cases) {
    bytes[14] = c.control;
    auto f = DecodeFrame(bytes);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, c.type) << std::hex << int(c.control);
  }
}

TEST(DecodeFrame, InfoWithEveryByteValueRoundTrips) {
  Ax25Frame f = Frame(FrameType::I, kCommand, 0);
  for (int b = 0; b < 256; ++b) f.info.push_back(static_cast<uint8_t>(b));
  f.nr = 7;
  f.ns = 6;
  f.pid = 0xCF;
  auto back = DecodeFrame(EncodeFrame(f));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->info, f.info);
  EXPECT_EQ(back->pid, 0xCF);
  EXPECT_EQ(back->nr, 7);
  EXPECT_EQ(back->ns, 6);
  EXPECT_EQ(back->source, f.source);
  EXPECT_EQ(back->destination, f.destination);
  EXPECT_EQ(back->cr, kCommand);
}

// Random bytes never crash the decoder, and whatever decodes (but an unknown control byte)
// re-encodes to a frame with the same monitor line.
TEST(DecodeFrame, RandomBytesAreSafe) {
  std::mt19937 rng(1234);
  int decoded = 0;
  for (int n = 0; n < 20000; ++n) {
    std::vector<uint8_t> b(rng() % 80);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    auto f = DecodeFrame(b);
    if (!f) continue;
    ++decoded;
    if (f->type == FrameType::Unkn) continue;  // its control byte is not kept
    auto again = DecodeFrame(EncodeFrame(*f));
    ASSERT_TRUE(again);
    if (f->cr == kOldVersion) f->cr = kResponse;  // an old-version frame is sent as a response
    EXPECT_EQ(MonitorText(*again), MonitorText(*f));
  }
  EXPECT_GT(decoded, 1000);
}

}  // namespace
}  // namespace vexa::packet
