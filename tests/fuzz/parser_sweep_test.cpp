// A seeded sweep over the parser entry points that the fuzzing programs use: random bytes, and
// valid inputs with bytes flipped, cut and repeated. Runs under the sanitizers with the tests.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "fuzz/parser_fuzz.h"
#include "support/test_paths.h"

namespace vexa::fuzz {
namespace {

using Entry = bool (*)(const uint8_t*, size_t);

// Mutations of the seeds and plain random inputs; returns the first input that broke an
// invariant ("" when none did).
std::string Sweep(Entry entry, const std::vector<std::string>& seeds, int rounds, uint32_t seed) {
  std::mt19937 rng(seed);
  auto byte = [&] { return static_cast<char>(rng() & 0xFF); };
  for (int i = 0; i < rounds; ++i) {
    std::string in;
    if (seeds.empty() || i % 4 == 0) {
      in.resize(rng() % 300);
      for (auto& c : in) c = byte();
    } else {
      in = seeds[rng() % seeds.size()];
      const int edits = 1 + static_cast<int>(rng() % 8);
      for (int e = 0; e < edits && !in.empty(); ++e) {
        const size_t at = rng() % in.size();
        switch (rng() % 4) {
          case 0:
            in[at] = byte();
            break;
          case 1:
            in.resize(at);
            break;
          case 2:
            in.insert(at, in.substr(at, rng() % 40));
            break;
          default:
            in.insert(at, 1, byte());
            break;
        }
      }
    }
    if (!entry(reinterpret_cast<const uint8_t*>(in.data()), in.size()))
      return in.empty() ? " " : in;
  }
  return "";
}

TEST(ParserSweep, SettingsFiles) {
  const std::vector<std::string> seeds = {
      "[Misc]\nAFC=1\nNET=0\n\n[Station]\nMyCall=DL1ABC\n",
      "; comment\r\n[AX.25]\r\nDefaultDigis=DB0AAA-3 DB0BBB \r\n[Keyboard]\r\nF1=<TX>CQ<RX>\r\n",
      "[Station]\nMyCall=\"quoted\"\n[Station]\nMyCall=second\n"};
  EXPECT_EQ(Sweep(FuzzSettingsFile, seeds, 400, 1), "");
}

TEST(ParserSweep, LogRecordsAndFiles) {
  const std::vector<std::string> seeds = {
      "DL1ABC 04/Sep/2000 12:34:56z 14.070.150 PSK31 599/579 001&023 NAME QTH [CQ WW RTTY]",
      "W1AW 01/Jan/2020 12:00:00 7.000.000 CW 599 579",
      "K1ABC 31/Dec/1999 23:59 3.580 RTTY\r\n\r\nVX1AA 01/01/26 0000z 28.000.000 FM\r\n"};
  EXPECT_EQ(Sweep(FuzzQsoRecord, seeds, 3000, 2), "");
  EXPECT_EQ(Sweep(FuzzLogFile, seeds, 2000, 3), "");
}

TEST(ParserSweep, AdifFiles) {
  const std::vector<std::string> seeds = {
      "hdr <ADIF_VER:5>3.1.4 <EOH>\n<CALL:4>W1AW<QSO_DATE:8>20240101<TIME_ON:4>1200"
      "<FREQ:6>14.075<MODE:3>PSK<SUBMODE:6>QPSK31<SRX_STRING:5>05-MA<EOR>\n",
      "<CALL:4>J\xC3\xB6rg<NAME:4>J\xC3\xB6rg<BAND:3>20m<QSO_DATE:8>20240101<TIME_ON:6>120000<EOR>",
      "<?xml version=\"1.0\"?><ADX><RECORDS><RECORD><CALL>K1AR</CALL><QSO_DATE>20240101"
      "</QSO_DATE><TIME_ON>1200</TIME_ON><FREQ>7.01</FREQ><COMMENT>a &amp; b &#246;</COMMENT>"
      "</RECORD></RECORDS></ADX>"};
  EXPECT_EQ(Sweep(FuzzAdif, seeds, 3000, 11), "");
}

TEST(ParserSweep, ContestExchanges) {
  const std::vector<std::string> seeds = {
      "\x04K1AR05-MA", "\x06W1AW/4 123 more\r\n",
      "\x05K1AR 26/Sep/2000 00:10:00z 14.085.000 RTTY 599/599 14&05-MA [CQ WW RTTY]\r\n\r\n"};
  EXPECT_EQ(Sweep(FuzzContestExchange, seeds, 2000, 12), "");
}

TEST(ParserSweep, CountryFiles) {
  std::vector<std::string> seeds = {
      "Germany:                  14:  28:  EU:   51.00:   -10.00:    -1.0:  DL:\n"
      "    DA,DB,DC,DD,DE,DF,DG,DH,DI,DJ,DK,DL,DM,DN,DO,DP,DQ,DR,Y2,Y3,=DL0ABC(15)[27];\n",
      "United States:            05:  08:  NA:   37.53:    91.67:     5.0:  K:\n"
      "    AA,K,N,W,=W1AW/4,4U1WB(4)[7]<1.0/2.0>{NA}~5.0~;\n"};
  if (std::filesystem::exists(test::TestDataPath("cty/cty.dat"))) {
    const std::string real = test::ReadFileBytes(test::TestDataPath("cty/cty.dat"));
    for (size_t at = 0; at + 3000 < real.size(); at += real.size() / 8)
      seeds.push_back(real.substr(at, 3000));
  }
  EXPECT_EQ(Sweep(FuzzCountryFile, seeds, 1500, 4), "");
}

TEST(ParserSweep, CallsignListsAndDecoderBits) {
  const std::vector<std::string> seeds = {"DB0AAA-3 DB0BBB ", "N0CALL-15 A1 B2-0 ",
                                          "W1AW W2AW W3AW W4AW W5AW W6AW W7AW W8AW "};
  EXPECT_EQ(Sweep(FuzzCallsignList, seeds, 4000, 5), "");
  EXPECT_EQ(Sweep(FuzzRxBits, {}, 1000, 6), "");
}

TEST(ParserSweep, SpotLinesAndClusterBytes) {
  const std::vector<std::string> seeds = {
      "DX de K7GS:      14004.0  C5R          op2                            2141Z",
      "DX de W1AW:14025.3  DL1ABC       CQ test                        0915Z FN31pr",
      "DL1ABC     7012.3 2305 VP8/G3XYZ   up 2, tnx QSO",
      "G4ABC       3573.0 VK2XYZ      FT8 -14dB                     0647 3  EUx ",
      "\xff\xfd\x18\xff\xfb\x01login: \r\nDX de K2PO-#:     1823.4  HL5IV   CW\x07\x07\r\n"};
  EXPECT_EQ(Sweep(FuzzSpotLine, seeds, 6000, 7), "");
  EXPECT_EQ(Sweep(FuzzClusterReader, seeds, 3000, 8), "");
}

TEST(ParserSweep, Ax25FramesAndHdlcRuns) {
  // Seeds: a UI frame with a path and an I frame, as encoded bytes.
  const std::string ui = std::string(
      "\x82\xa0\xa4\xa6\x40\x40\xe0\x9c\x60\x86\x82\x98\x98\x6e"
      "\xae\x92\x88\x8a\x62\x40\x63\x03\xf0hello",
      28);
  const std::string i = std::string(
      "\x9c\x60\x86\x82\x98\x98\xe2\x9c\x60\x86\x82\x98\x98\x61"
      "\x56\xf0hi",
      18);
  EXPECT_EQ(Sweep(FuzzAx25Frame, {ui, i}, 20000, 7), "");
  EXPECT_EQ(Sweep(FuzzHdlcRuns, {}, 3000, 8), "");
}

TEST(ParserSweep, KissStreamsAndLinkScripts) {
  const std::string kiss = std::string("\xc0\x00\x82\xa0\xdb\xdc\xdb\xdd\xc0\xc0\x01\x30\xc0", 13);
  EXPECT_EQ(Sweep(FuzzKissReceiver, {kiss}, 10000, 9), "");
  // A script: connect accepted (UA), data sent, acknowledged, ticks, a peer I frame.
  const std::string script = std::string(
      "\x03\x00\x40\x00\x00\x14\x05\x02\x40\x00\x00\x05"
      "\x09\x80\x48\x00\x00\x00",
      18);
  EXPECT_EQ(Sweep(FuzzAx25Link, {script}, 6000, 10), "");
}

}  // namespace
}  // namespace vexa::fuzz
