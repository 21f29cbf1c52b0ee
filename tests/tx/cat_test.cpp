// The CAT command sets byte for byte, the replies decoded back, the Icom framing with its echo,
// broadcasts and stray frames, and the operating frequency with its corrections.
#include "tx/cat.h"

#include <gtest/gtest.h>

namespace vexa::tx {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes One(const CatCommands& c) {
  EXPECT_EQ(c.size(), 1u);
  return c.empty() ? Bytes{} : c.front().bytes;
}

CatSettings Rig(int type, int model = 0) {
  CatSettings s;
  s.type = type;
  if (type == 2) s.icomAddr = model;
  if (type == 3) s.yaesuModel = model;
  return s;
}

TEST(CatEncode, TheFrequencyCommandOfEachFamily) {
  // Kenwood at 14.070 MHz.
  EXPECT_EQ(One(EncodeSetFrequency(Rig(4), 14070000)),
            (Bytes{'F', 'A', '0', '0', '0', '1', '4', '0', '7', '0', '0', '0', '0', ';'}));
  // Icom at the chosen address 0x56 (index 12), 7.040 MHz, five BCD bytes least significant
  // first, and the wait after it.
  const CatCommands icom = EncodeSetFrequency(Rig(2, 12), 7040000);
  EXPECT_EQ(One(icom), (Bytes{0xFE, 0xFE, 0x56, 0xE0, 0x05, 0x00, 0x00, 0x04, 0x07, 0x00, 0xFD}));
  EXPECT_EQ(CommandWaitMs(icom.front(), 1200), 500);
  EXPECT_EQ(CommandWaitMs(icom.front(), 9600), 62);
  EXPECT_EQ(CommandWaitMs(icom.front(), 600), 1000);
  // Icom at the fixed address: four bytes. 14.070.150 Hz.
  EXPECT_EQ(One(EncodeSetFrequency(Rig(1), 14070150)),
            (Bytes{0xFE, 0xFE, 0x04, 0xE0, 0x05, 0x50, 0x01, 0x07, 0x14, 0xFD}));
  EXPECT_TRUE(EncodeSetFrequency(Rig(1), 0).empty());
  // Yaesu model 5 and the others, in units of 10 Hz.
  EXPECT_EQ(One(EncodeSetFrequency(Rig(3, 5), 14070000)), (Bytes{0x01, 0x40, 0x70, 0x00, 0x01}));
  for (int model : {0, 1, 2, 3, 4})
    EXPECT_EQ(One(EncodeSetFrequency(Rig(3, model), 14070000)),
              (Bytes{0x00, 0x70, 0x40, 0x01, 0x0A}))
        << model;
  EXPECT_TRUE(EncodeSetFrequency(Rig(0), 14070000).empty());
}

TEST(CatEncode, TenTecSendsTheModeFilterAndNCommands) {
  CatSettings s = Rig(5);
  const CatCommands c = EncodeSetFrequency(s, 14070000);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].bytes, (Bytes{'M', '1', '\r', 'W', 0x0A, '\r'}));
  // B = 14070000 + 1700 - 1250 = 14070450: coarse 5628 + 18000 = 23628 (0x5C4C); fine
  // 450 x 5.46 = 2457 (0x0999); BFO (1700 x 546 + 4368000) / 200 = 26481 (0x6771).
  EXPECT_EQ(c[1].bytes, (Bytes{'N', 0x5C, 0x4C, 0x09, 0x99, 0x67, 0x71, '\r'}));
  s.digiSide = 1;  // lower sideband: B = 14070000 - 1700 - 1250 = 14067050
  const CatCommands lsb = EncodeSetFrequency(s, 14070000);
  ASSERT_EQ(lsb.size(), 2u);
  EXPECT_EQ(lsb[0].bytes[1], '2');
  // coarse 5626 + 18000 = 23626 (0x5C4A); fine 2050 x 5.46 = 11193 (0x2BB9).
  EXPECT_EQ(lsb[1].bytes, (Bytes{'N', 0x5C, 0x4A, 0x2B, 0xB9, 0x67, 0x71, '\r'}));
  s.tenTec = 1;
  EXPECT_TRUE(EncodeSetFrequency(s, 14070000).empty());
}

TEST(CatEncode, ModeStatusVfoAndPttCommands) {
  CatSettings icom = Rig(2, 12);
  EXPECT_EQ(One(EncodeSetMode(icom, kRigCw)), (Bytes{0xFE, 0xFE, 0x56, 0xE0, 0x06, 0x03, 0xFD}));
  // The data code becomes DigiCommand, or USB/LSB by DigiSide.
  EXPECT_EQ(One(EncodeSetMode(icom, kRigData))[5], kRigUsb);
  icom.digiSide = 1;
  EXPECT_EQ(One(EncodeSetMode(icom, kRigData))[5], kRigLsb);
  icom.digiCommand = 4;
  EXPECT_EQ(One(EncodeSetMode(icom, kRigData))[5], 4);

  CatSettings kenwood = Rig(4);
  const char* expect[] = {"MD1;", "MD2;", "MD5;", "MD3;", "MD2;", "MD4;"};
  for (int code = 0; code <= 5; ++code) {
    const Bytes b = One(EncodeSetMode(kenwood, code));
    EXPECT_EQ(std::string(b.begin(), b.end()), expect[code]) << code;
  }
  kenwood.digiSide = 1;
  EXPECT_EQ(One(EncodeSetMode(kenwood, kRigData))[2], '1');
  kenwood.digiCommand = 6;
  EXPECT_EQ(One(EncodeSetMode(kenwood, kRigData))[2], '6');

  EXPECT_EQ(One(EncodeSetMode(Rig(3, 5), kRigFm)), (Bytes{0x05, 0x00, 0x00, 0x00, 0x07}));
  EXPECT_EQ(One(EncodeSetMode(Rig(3, 2), kRigLsb)), (Bytes{0x00, 0x00, 0x00, 0x00, 0x0C}));
  EXPECT_TRUE(EncodeSetMode(Rig(3, 0), kRigUsb).empty());
  EXPECT_TRUE(EncodeSetMode(Rig(4), 6).empty());
  EXPECT_TRUE(EncodeSetMode(Rig(4), -1).empty());

  const CatCommands status = EncodeRequestStatus(Rig(1));
  ASSERT_EQ(status.size(), 2u);
  EXPECT_EQ(status[0].bytes, (Bytes{0xFE, 0xFE, 0x04, 0xE0, 0x03, 0xFD}));
  EXPECT_EQ(status[1].bytes, (Bytes{0xFE, 0xFE, 0x04, 0xE0, 0x04, 0xFD}));
  EXPECT_EQ(status[1].waitMs, 500);
  EXPECT_EQ(One(EncodeRequestStatus(Rig(3, 5))), (Bytes{0, 0, 0, 0, 0x03}));
  EXPECT_EQ(One(EncodeRequestStatus(Rig(3, 1))), (Bytes{0, 0, 0, 0x02, 0x10}));
  EXPECT_EQ(One(EncodeRequestStatus(Rig(4))), (Bytes{'I', 'F', ';'}));
  EXPECT_TRUE(EncodeRequestStatus(Rig(5)).empty());

  EXPECT_EQ(One(EncodeSelectVfo(Rig(1), 0xB0)), (Bytes{0xFE, 0xFE, 0x04, 0xE0, 0x07, 0xB0, 0xFD}));
  EXPECT_EQ(One(EncodeSelectVfo(Rig(1), -1)), (Bytes{0xFE, 0xFE, 0x04, 0xE0, 0x07, 0xFD}));
  EXPECT_EQ(One(EncodeSelectVfo(Rig(3, 3), 1)), (Bytes{0, 0, 0, 1, 0x05}));
  EXPECT_TRUE(EncodeSelectVfo(Rig(3, 5), 1).empty());
  EXPECT_TRUE(EncodeSelectVfo(Rig(2, 12), 1).empty());

  EXPECT_EQ(One(EncodePtt(Rig(2, 12), true)), (Bytes{0xFE, 0xFE, 0x56, 0xE0, 0x1C, 0, 1, 0xFD}));
  EXPECT_TRUE(EncodePtt(Rig(2, 3), true).empty());
  const CatCommands kptt = EncodePtt(Rig(4), false);
  EXPECT_EQ(One(kptt), (Bytes{'R', 'X', ';'}));
  EXPECT_EQ(CommandWaitMs(kptt.front(), 115200), 12);
}

TEST(CatIcom, AddressTableAndItsEdges) {
  EXPECT_EQ(IcomAddress(Rig(2, 0)), 0x10);
  EXPECT_EQ(IcomAddress(Rig(2, 12)), 0x56);
  EXPECT_EQ(IcomAddress(Rig(2, 21)), 0x2E);
  EXPECT_EQ(IcomAddress(Rig(2, 22)), 0x04);
  EXPECT_EQ(IcomAddress(Rig(2, -1)), 0x04);
  CatSettings fixed = Rig(1);
  fixed.icomAddr = 12;
  EXPECT_EQ(IcomAddress(fixed), 0x04);
}

TEST(CatIcom, FramingBroadcastsRepliesEchoAndStrayFrames) {
  const CatSettings s = Rig(2, 12);
  IcomFramer framer;
  std::vector<std::vector<uint8_t>> frames;
  // Noise, a broadcast of 7.040.000 split across two reads, our own echo, a reply to the mode
  // request, and a frame from another rig.
  const Bytes a{0x13, 0xFD, 0xFE, 0xFE, 0x00, 0x56, 0x00, 0x00, 0x00};
  const Bytes b{0x04, 0x07, 0x00, 0xFD, 0xFE, 0xFE, 0x56, 0xE0, 0x03, 0xFD, 0xFE, 0xFE,
                0xE0, 0x56, 0x04, 0x03, 0x01, 0xFD, 0xFE, 0xFE, 0xE0, 0x5E, 0x03, 0xFD};
  framer.Feed(a, frames);
  EXPECT_TRUE(frames.empty());
  framer.Feed(b, frames);
  ASSERT_EQ(frames.size(), 4u);

  CatReport r = DecodeIcomFrame(s, frames[0], Mode::Psk31);
  EXPECT_EQ(r.dialHz, 7040000);
  EXPECT_TRUE(r.monitorText.empty());
  r = DecodeIcomFrame(s, frames[1], Mode::Psk31);  // our own request
  EXPECT_FALSE(r.dialHz || r.mode);
  EXPECT_TRUE(r.monitorText.empty());
  r = DecodeIcomFrame(s, frames[2], Mode::Psk31);  // reply: CW
  EXPECT_EQ(r.mode, Mode::Cw);
  r = DecodeIcomFrame(s, frames[3], Mode::Psk31);  // another rig's address
  EXPECT_EQ(r.monitorText, "\r\nE0 5E 03 ");

  // Mode broadcasts: a sideband keeps a data mode, otherwise selects SSB; replies never keep.
  const Bytes usb{0x00, 0x56, 0x01, 0x01}, lsb{0x00, 0x56, 0x01, 0x00};
  EXPECT_FALSE(DecodeIcomFrame(s, usb, Mode::Rtty).mode);
  EXPECT_FALSE(DecodeIcomFrame(s, lsb, Mode::Sstv).mode);
  EXPECT_EQ(DecodeIcomFrame(s, usb, Mode::Cw).mode, Mode::Ssb1);
  EXPECT_EQ(DecodeIcomFrame(s, lsb, Mode::Ssb1).mode, Mode::Ssb2);
  EXPECT_EQ(DecodeIcomFrame(s, Bytes{0xE0, 0x56, 0x04, 0x00}, Mode::Psk31).mode, Mode::Ssb2);
  EXPECT_EQ(DecodeIcomFrame(s, Bytes{0x00, 0x56, 0x01, 0x05}, Mode::Psk31).mode, Mode::Fm);
  EXPECT_EQ(DecodeIcomFrame(s, Bytes{0x00, 0x56, 0x01, 0x02}, Mode::Psk31).mode, Mode::Unnamed7);

  // Bad BCD, six frequency bytes, a frame with no command: nothing is taken from them.
  EXPECT_FALSE(DecodeIcomFrame(s, Bytes{0x00, 0x56, 0x00, 0x0A, 0x00}, Mode::Psk31).dialHz);
  EXPECT_FALSE(DecodeIcomFrame(s, Bytes{0x00, 0x56, 0x00, 0, 0, 0, 0, 0, 1}, Mode::Psk31).dialHz);
  EXPECT_EQ(DecodeIcomFrame(s, Bytes{0x00}, Mode::Psk31).monitorText, "\r\n00 ");
}

TEST(CatIcom, AFrameWithoutEndIsDroppedAndTheNextOneStillComes) {
  IcomFramer framer;
  std::vector<std::vector<uint8_t>> frames;
  Bytes junk{0xFE, 0xFE};
  junk.insert(junk.end(), 200000, 0x11);
  framer.Feed(junk, frames);
  EXPECT_TRUE(frames.empty());
  framer.Feed(Bytes{0xFE, 0xFE, 0x00, 0x56, 0x00, 0x00, 0x00, 0x07, 0x14, 0x00, 0xFD}, frames);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(DecodeIcomFrame(Rig(2, 12), frames[0], Mode::Psk31).dialHz, 14070000);
}

TEST(CatReplies, YaesuModelsAndKenwood) {
  // Models 1 and 2: bytes 1..3 in units of 10 Hz (0x0157DC = 88028 -> 880280 Hz).
  const Bytes m12{0x00, 0x01, 0x57, 0xDC, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(DecodeYaesuReply(1, m12), 880280);
  EXPECT_EQ(DecodeYaesuReply(2, m12), 880280);
  EXPECT_FALSE(DecodeYaesuReply(1, std::span(m12).first(10)));
  // Model 4 drops its first byte.
  Bytes m4{0xAA};
  m4.insert(m4.end(), m12.begin(), m12.end());
  EXPECT_EQ(DecodeYaesuReply(4, m4), 880280);
  EXPECT_FALSE(DecodeYaesuReply(4, m12));
  // Model 3: 32 bits times 0.625 (22512000 -> 14070000).
  const Bytes m3{0x00, 0x01, 0x57, 0x81, 0x80, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(DecodeYaesuReply(3, m3), 14070000);
  // Model 5: exactly five bytes, BCD most significant first.
  EXPECT_EQ(DecodeYaesuReply(5, Bytes{0x01, 0x40, 0x70, 0x00, 0x01}), 14070000);
  EXPECT_FALSE(DecodeYaesuReply(5, Bytes{0x01, 0x40, 0x70, 0x00, 0x01, 0x00}));
  EXPECT_FALSE(DecodeYaesuReply(5, Bytes{0x01, 0x4A, 0x70, 0x00, 0x01}));
  EXPECT_FALSE(DecodeYaesuReply(0, m12));

  const std::string ifReply = "IF00014070150     +00000000002000000 ;";
  EXPECT_EQ(DecodeKenwoodReply(
                std::span(reinterpret_cast<const uint8_t*>(ifReply.data()), ifReply.size())),
            14070150);
  const std::string shortReply = "IF00014070150";
  EXPECT_FALSE(DecodeKenwoodReply(
      std::span(reinterpret_cast<const uint8_t*>(shortReply.data()), shortReply.size())));
  const std::string garbage = "IF0001407x150 ;";
  EXPECT_FALSE(DecodeKenwoodReply(
      std::span(reinterpret_cast<const uint8_t*>(garbage.data()), garbage.size())));
}

TEST(CatFrequency, OperatingFrequencyFromTheDialAndBack) {
  DialContext c;
  c.mode = Mode::Psk31;
  c.audioHz = 1000;
  // PSK at 1000 Hz audio on the upper sideband: operating 14.071.000 is dial 14.070.000.
  EXPECT_EQ(DialForOperating(c, 14071000), 14070000);
  EXPECT_EQ(OperatingFrequency(c, 14070000), 14071000);
  c.corrections.data = -50;
  EXPECT_EQ(DialForOperating(c, 14071000), 14070050);
  EXPECT_EQ(OperatingFrequency(c, 14070050), 14071000);
  c.digiSide = 1;  // the rig runs data on the lower sideband
  EXPECT_EQ(OperatingFrequency(c, 14070050), 14069000);
  EXPECT_EQ(DialForOperating(c, 14069000), 14070050);
  // Hellschreiber and PACTOR sit at an audio offset too; SSB uses its own correction.
  c = {};
  c.mode = Mode::Hell;
  c.audioHz = 1500.4;
  EXPECT_EQ(OperatingFrequency(c, 7000000), 7001500);
  c.mode = Mode::Ssb2;
  c.corrections.lsb = 120;
  EXPECT_EQ(OperatingFrequency(c, 7000000), 7000120);
  EXPECT_EQ(DialForOperating(c, 7000120), 7000000);
  // CW keyed by the line uses the CW correction, by the sound card the audio offset.
  c.mode = Mode::Cw;
  c.cwBySoundCard = false;
  c.corrections.cw = 700;
  EXPECT_EQ(OperatingFrequency(c, 7000000), 7000700);
  c.cwBySoundCard = true;
  c.audioHz = 800;
  EXPECT_EQ(OperatingFrequency(c, 7000000), 7000800);
}

TEST(CatFrequency, TheDisplayFormAndWhatAUserMayType) {
  EXPECT_EQ(FormatFrequency(14070150), "14.070.150");
  EXPECT_EQ(FormatFrequency(1838000), "1.838.000");
  EXPECT_EQ(FormatFrequency(144800005), "144.800.005");
  EXPECT_EQ(FormatFrequency(-5), "0.000.000");
  EXPECT_EQ(ParseFrequency("14.070.150"), 14070150);
  EXPECT_EQ(ParseFrequency("14.070"), 14070000);
  EXPECT_EQ(ParseFrequency("14.07015"), 14070150);
  EXPECT_EQ(ParseFrequency("14070.15"), 14070150);
  EXPECT_EQ(ParseFrequency("14070150"), 14070150);
  EXPECT_EQ(ParseFrequency("14070"), 14070000);
  EXPECT_EQ(ParseFrequency(" 7 "), 7000000);
  for (const char* bad :
       {"", "abc", "14.07.150", "14..070", ".5", "5.", "-14070", "1e9", "99999999999999999999999"})
    EXPECT_EQ(ParseFrequency(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace vexa::tx

namespace vexa::tx {
namespace {

TEST(Rigctl, CommandLinesAndReplies) {
  EXPECT_EQ(RigctlSetFrequency(14070000), "F 14070000\n");
  CatSettings s;
  s.type = 6;
  EXPECT_EQ(RigctlSetMode(s, kRigData), "M PKTUSB 0\n");
  EXPECT_EQ(RigctlSetMode(s, kRigCw), "M CW 0\n");
  EXPECT_EQ(RigctlSetMode(s, kRigLsb), "M LSB 0\n");
  s.digiSide = 1;
  EXPECT_EQ(RigctlSetMode(s, kRigData), "M PKTLSB 0\n");
  EXPECT_EQ(RigctlSetMode(s, 9), "");
  EXPECT_EQ(RigctlSetPtt(true), "T 1\n");
  EXPECT_EQ(ParseRigctlFrequency("14070000"), 14070000);
  EXPECT_EQ(ParseRigctlFrequency("7074000.000000\r"), 7074000);
  for (const char* bad : {"", "RPRT 0", "14070000x", "1.2.3", "USB", "999999999999999999999"})
    EXPECT_EQ(ParseRigctlFrequency(bad), std::nullopt) << bad;
  EXPECT_EQ(ParseRigctlResult("RPRT 0"), 0);
  EXPECT_EQ(ParseRigctlResult("RPRT -11"), -11);
  EXPECT_EQ(ParseRigctlResult("14070000"), std::nullopt);
  EXPECT_EQ(ParseRigctlResult("RPRT x"), std::nullopt);
  EXPECT_EQ(RigctlModeFor("USB", Mode::Psk31), std::nullopt);  // PSK31 rides on USB
  EXPECT_EQ(RigctlModeFor("USB", Mode::Cw), Mode::Ssb1);
  EXPECT_EQ(RigctlModeFor("LSB", Mode::Ssb1), Mode::Ssb2);
  EXPECT_EQ(RigctlModeFor("CW", Mode::Psk31), Mode::Cw);
  EXPECT_EQ(RigctlModeFor("CW", Mode::Cw), std::nullopt);
  EXPECT_EQ(RigctlModeFor("PKTUSB", Mode::Rtty), std::nullopt);
  EXPECT_EQ(RigctlModeFor("FM", Mode::Psk31), Mode::Fm);
}

}  // namespace
}  // namespace vexa::tx
