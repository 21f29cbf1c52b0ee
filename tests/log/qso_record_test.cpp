// The record grammar: tokens, mode words, result codes, callsigns and prefixes, mode classes
// and bits, bands and segments.
#include "log/qso_record.h"

#include <gtest/gtest.h>

#include "log/band_table.h"

namespace vexa::log {
namespace {

TEST(ParseQsoText, ReadsTheFullContestRecord) {
  QsoRecord r;
  ASSERT_EQ(ParseQsoText("DL1ABC 04/Sep/2000 12:34:56z 14.070.150 PSK31 599/579 001&023 NAME QTH "
                         "[CQ WW RTTY]",
                         r),
            kQsoOk);
  EXPECT_EQ(r.call, "DL1ABC");
  EXPECT_EQ(r.frequency, 14070150);
  EXPECT_EQ(r.mode, "PSK ");
  EXPECT_EQ(r.rstSent, "599");
  EXPECT_EQ(r.rstReceived, "579");
  EXPECT_EQ(r.exchangeSent, "001");
  EXPECT_EQ(r.exchangeReceived, "023");
  // "[CQ", "WW" and "RTTY]" are three comment words, each followed by a blank.
  EXPECT_EQ(r.comment, "NAME QTH [CQ WW RTTY] ");
  EXPECT_EQ(r.when.year, 2000);
  EXPECT_EQ(r.when.month, 9);
  EXPECT_EQ(r.when.day, 4);
  EXPECT_EQ(FormatQsoClock(r.when), "12:34:56");
  EXPECT_TRUE(r.when.utc);
}

TEST(ParseQsoText, SeparatesOnEveryControlByteAndUpperCasesTheCall) {
  QsoRecord r;
  ASSERT_EQ(ParseQsoText("dl1abc\t04/Sep/2000\r\n12:34:56\x01 14.070.150", r), kQsoOk);
  EXPECT_EQ(r.call, "DL1ABC");
  EXPECT_FALSE(r.when.utc);
  EXPECT_EQ(r.comment, "");
}

struct ModeCase {
  const char* tokens;
  const char* mode;
  const char* comment;
};

class ModeWords : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeWords, FollowPrecedence) {
  const ModeCase& c = GetParam();
  QsoRecord r;
  ASSERT_EQ(ParseQsoText(std::string("W1AW 01/Jan/2020 00:00:00 14.000.000 ") + c.tokens, r),
            kQsoOk);
  EXPECT_EQ(r.mode, c.mode) << c.tokens;
  EXPECT_EQ(r.comment, c.comment) << c.tokens;
}

INSTANTIATE_TEST_SUITE_P(
    Precedence, ModeWords,
    ::testing::Values(ModeCase{"PSK31 RTTY", "PSK ", "RTTY "},  // RTTY cannot replace PSK
                      ModeCase{"RTTY PSK31", "PSK ", ""},       // a later word overrides
                      ModeCase{"CW USB", "CW  ", "USB "},       // phone only when no mode yet
                      ModeCase{"LSB CW", "CW  ", ""}, ModeCase{"FM", "", "FM "},
                      ModeCase{"SSB FM", "SSB ", "FM "}, ModeCase{"QPSK", "PSK ", ""},
                      ModeCase{"FSK31B", "FSK ", ""}, ModeCase{"AX25TX", "AX25", ""},
                      ModeCase{"PACTOR", "PACT", ""}, ModeCase{"FAX", "FAX ", ""},
                      ModeCase{"psk31", "", "psk31 "},  // mode words are case-sensitive
                      ModeCase{"HELL MTTY", "MTTY", ""},
                      ModeCase{"PSK RTTY SSTV", "SSTV", "RTTY "}));

TEST(ParseQsoText, OneColonIsNoTimeAndASecondTimeIsOrdinaryText) {
  QsoRecord r;
  EXPECT_EQ(ParseQsoText("W1AW 01/Jan/2020 12:34 14.000.000", r), kQsoNoTime);
  EXPECT_EQ(r.comment, "12:34 ");
  ASSERT_EQ(ParseQsoText("W1AW 01/Jan/2020 10:00:00 11:11:11 14.000.000", r), kQsoOk);
  EXPECT_EQ(FormatQsoClock(r.when), "10:00:00");
  EXPECT_EQ(r.comment, "11:11:11 ");
  // A time that does not parse is dropped, and a later one is still taken.
  ASSERT_EQ(ParseQsoText("W1AW 01/Jan/2020 25:00:00 10:20:30Z 14.000.000", r), kQsoOk);
  EXPECT_EQ(FormatQsoClock(r.when), "10:20:30");
  EXPECT_TRUE(r.when.utc);
  EXPECT_EQ(r.comment, "");
}

TEST(ParseQsoText, ResultCodesComeInOrder) {
  QsoRecord r;
  EXPECT_EQ(ParseQsoText("", r), kQsoNoCall);
  EXPECT_EQ(ParseQsoText("ABCD 01/Jan/2020 10:00:00 14.000.000", r), kQsoNoCall);
  EXPECT_EQ(ParseQsoText("W1AW 10:00:00 14.000.000", r), kQsoNoDate);
  EXPECT_EQ(ParseQsoText("W1AW 31/Feb/2020 10:00:00 14.000.000", r), kQsoNoDate);
  EXPECT_EQ(ParseQsoText("W1AW 01/Jan/2020 14.000.000", r), kQsoNoTime);
  EXPECT_EQ(ParseQsoText("W1AW 01/Jan/2020 10:00:00", r), kQsoNoFrequency);
  EXPECT_EQ(ParseQsoText("W1AW 01/Jan/2020 10:00:00 14.070", r), kQsoNoFrequency);
  // A frequency beyond 32 bits leaves the frequency unset.
  EXPECT_EQ(ParseQsoText("W1AW 01/Jan/2020 10:00:00 99999.999.999", r), kQsoNoFrequency);
  EXPECT_EQ(ParseQsoText("W1AW 01/Jan/2020 10:00:00 99999999999999999999.9.9", r), kQsoNoFrequency);
  EXPECT_EQ(ParseQsoText("W1AW 01/Jan/2020 10:00:00 -99999999999999999999.9.9", r),
            kQsoNoFrequency);
}

TEST(ParseQsoText, LaterTokensReplaceEarlierOnes) {
  QsoRecord r;
  ASSERT_EQ(ParseQsoText("W1AW 01/Jan/2020 02/Feb/2021 10:00:00 7.000.000 14.1.2 559/449 599/589 "
                         "1&2 3&4",
                         r),
            kQsoOk);
  EXPECT_EQ(FormatQsoDate(r.when), "02/Feb/2021");
  EXPECT_EQ(r.frequency, 14001002);
  EXPECT_EQ(r.rstSent, "599");
  EXPECT_EQ(r.rstReceived, "589");
  EXPECT_EQ(r.exchangeSent, "3");
  EXPECT_EQ(r.exchangeReceived, "4");
}

TEST(ParseQsoText, NumericAndTwoDigitYearDatesReadDayFirst) {
  QsoTime t;
  ASSERT_TRUE(ParseQsoDate("04/09/2000", t));
  EXPECT_EQ(t.day, 4);
  EXPECT_EQ(t.month, 9);
  ASSERT_TRUE(ParseQsoDate("4/september/05", t));
  EXPECT_EQ(t.year, 2005);
  EXPECT_EQ(t.month, 9);
  ASSERT_TRUE(ParseQsoDate("29/Feb/2000", t));
  EXPECT_FALSE(ParseQsoDate("29/Feb/1900", t));
  EXPECT_FALSE(ParseQsoDate("00/Jan/2000", t));
  EXPECT_FALSE(ParseQsoDate("01/Foo/2000", t));
  EXPECT_FALSE(ParseQsoDate("01/13/2000", t));
}

TEST(ParseQsoText, CommentCarriesReportsWhenTheyAreNotWanted) {
  QsoRecord r;
  ASSERT_EQ(ParseQsoText("W1AW 01/Jan/2020 10:00:00 14.000.000 599/579 1&2 HI", r,
                         kFieldCall | kFieldComment),
            kQsoOk);
  EXPECT_EQ(r.comment, "HI 599 1 - 579 2 ");
  EXPECT_EQ(r.rstSent, "");  // not asked for, not filled
}

struct CallCase {
  const char* text;
  bool call;
};

class CallsignGrammar : public ::testing::TestWithParam<CallCase> {};

TEST_P(CallsignGrammar, Decides) {
  EXPECT_EQ(IsCallsign(GetParam().text), GetParam().call) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Calls, CallsignGrammar,
                         ::testing::Values(CallCase{"W1AW", true}, CallCase{"W1AW/4", true},
                                           CallCase{"W1AW/P", true}, CallCase{"DL/W1AW", true},
                                           CallCase{"W1AW/XYZW", false}, CallCase{"RAEM", true},
                                           CallCase{"ABCD", false}, CallCase{"3DA0XY", true},
                                           CallCase{"4U1ITU", true}, CallCase{"w1aw", true},
                                           CallCase{"W1", false}, CallCase{"/W1AW", false},
                                           CallCase{"W1AW/", false}, CallCase{"W1AW/QRP", true},
                                           CallCase{"W1AW/MM", true}, CallCase{"W1AW/VE3", true},
                                           CallCase{"VE3/W1AW/P", true}, CallCase{"W1AW/-", false},
                                           CallCase{"ABCD1EF", false}, CallCase{"DL1ABCD", false},
                                           CallCase{"1234", false}, CallCase{"W1AW//P", false},
                                           CallCase{"DL1-AB", false}));

TEST(IsPrefix, AcceptsPrefixesOnly) {
  for (const char* p : {"W", "DL", "VE3", "3DA0", "UA9", "VP2E", "K4"})
    EXPECT_TRUE(IsPrefix(p)) << p;
  for (const char* p : {"", "XYZW", "3", "DL/", "VE3ABCD", "ABCD1"}) EXPECT_FALSE(IsPrefix(p)) << p;
}

TEST(ModeClassOf, SearchesInOrder) {
  EXPECT_EQ(ModeClassOf("CW  "), 0);
  EXPECT_EQ(ModeClassOf("SSB "), 1);
  EXPECT_EQ(ModeClassOf("USB"), 1);
  EXPECT_EQ(ModeClassOf("RTTY"), 2);
  EXPECT_EQ(ModeClassOf("SSTV"), 3);
  EXPECT_EQ(ModeClassOf("FAX "), 3);
  EXPECT_EQ(ModeClassOf("PSK "), 4);
  EXPECT_EQ(ModeClassOf("FSK "), 5);
  EXPECT_EQ(ModeClassOf("AX25"), 6);
  EXPECT_EQ(ModeClassOf("PACTOR"), 7);
  EXPECT_EQ(ModeClassOf("PACT"), -1);  // the stored code has no class
  EXPECT_EQ(ModeClassOf("HELL"), 8);
  EXPECT_EQ(ModeClassOf("MTTY"), 9);
  EXPECT_EQ(ModeClassOf("CWRTTY"), 0);  // "CW" is tried first
  EXPECT_EQ(ModeClassOf("FM"), -1);
}

TEST(ModeBit, OneBitPerFamily) {
  EXPECT_EQ(ModeBit("CW  "), 1u);
  EXPECT_EQ(ModeBit("SSB "), 2u);
  EXPECT_EQ(ModeBit("LSB "), 2u);
  EXPECT_EQ(ModeBit("RTTY"), 4u);
  EXPECT_EQ(ModeBit("SSTV"), 8u);
  EXPECT_EQ(ModeBit("FAX "), 8u);
  EXPECT_EQ(ModeBit("PSK "), 16u);
  EXPECT_EQ(ModeBit("FSK "), 32u);
  EXPECT_EQ(ModeBit("AX25"), 64u);
  EXPECT_EQ(ModeBit("HELL"), 128u);
  EXPECT_EQ(ModeBit("PACT"), 0u);
  EXPECT_EQ(ModeBit("MTTY"), 0u);
  EXPECT_EQ(ModeBit(""), 0u);
}

TEST(ModeWords, EveryStoredCodeHasAWordThatParsesBack) {
  for (const char* code :
       {"CW  ", "SSB ", "RTTY", "PSK ", "FSK ", "SSTV", "AX25", "FAX ", "HELL", "PACT", "MTTY"}) {
    EXPECT_EQ(ModeCodeOfWord(ModeWordOfCode(code)), code) << code;
  }
}

TEST(StampModeName, NamesOperatingModesAndLeavesUnknownEmpty) {
  EXPECT_EQ(StampModeName(static_cast<Mode>(0)), "CW");
  EXPECT_EQ(StampModeName(static_cast<Mode>(2)), "SSB");
  EXPECT_EQ(StampModeName(static_cast<Mode>(10)), "QPSK");
  EXPECT_EQ(StampModeName(static_cast<Mode>(16)), "FSK31");
  EXPECT_EQ(StampModeName(static_cast<Mode>(13)), "AX25");
  EXPECT_EQ(StampModeName(static_cast<Mode>(7)), "");
  EXPECT_EQ(StampModeName(static_cast<Mode>(18)), "");
  EXPECT_EQ(StampModeName(static_cast<Mode>(-1)), "");
  EXPECT_EQ(DefaultReport(static_cast<Mode>(1)), "59");
  EXPECT_EQ(DefaultReport(static_cast<Mode>(3)), "59");
  EXPECT_EQ(DefaultReport(static_cast<Mode>(0)), "599");
  EXPECT_EQ(DefaultReport(static_cast<Mode>(4)), "599");
}

TEST(BandOf, FindsBandsAndSegmentsAtTheirEdges) {
  int seg = -7;
  EXPECT_EQ(BandOf(1809999, &seg), -1);
  EXPECT_EQ(seg, -7);  // untouched outside the bands
  EXPECT_EQ(BandOf(1810000, &seg), 0);
  EXPECT_EQ(seg, kSegmentCw);
  EXPECT_EQ(BandOf(2000999, &seg), 0);  // 2000 kHz after integer division
  EXPECT_EQ(BandOf(2001000), -1);
  EXPECT_EQ(BandOf(14070150, &seg), 4);
  EXPECT_EQ(seg, kSegmentCw);  // digital starts 7 kHz above 14068
  EXPECT_EQ(BandOf(14075000, &seg), 4);
  EXPECT_EQ(seg, kSegmentDigital);
  EXPECT_EQ(BandOf(14100000, &seg), 4);
  EXPECT_EQ(seg, kSegmentPhone);
  EXPECT_EQ(BandOf(10146999, &seg), 3);
  EXPECT_EQ(seg, kSegmentCw);  // 30 m has no phone segment
  EXPECT_EQ(BandOf(10147000, &seg), 3);
  EXPECT_EQ(seg, kSegmentDigital);
  EXPECT_EQ(BandOf(29700999), 8);
  EXPECT_EQ(BandOf(-14070000), -1);  // negative wraps to a huge unsigned value
  EXPECT_EQ(BandOf(0), -1);
  const int metres[] = {160, 80, 40, 30, 20, 17, 15, 12, 10};
  for (int i = 0; i < kBandCount; ++i) {
    EXPECT_EQ(kBands[i].metres, metres[i]);
    EXPECT_EQ(BandOf(kBands[i].lowKHz * 1000), i);
    EXPECT_EQ(BandOf(kBands[i].highKHz * 1000), i);
  }
}

TEST(QsoTime, EpochConversionRoundTrips) {
  for (int64_t s :
       {int64_t{0}, int64_t{951782400}, int64_t{968070896}, int64_t{4102444799}, int64_t{-86400}}) {
    const QsoTime t = QsoTimeFromEpoch(s, true);
    EXPECT_EQ(t.SecondsSinceEpoch(), s);
  }
  // 968070896 = 04/Sep/2000 12:34:56 UTC.
  EXPECT_EQ(FormatQsoWhen(QsoTimeFromEpoch(968070896, true), true), "04/Sep/2000 12:34:56z");
  EXPECT_EQ(FormatFrequency(14070150), "14.070.150");
  EXPECT_EQ(FormatFrequency(7001), "0.007.001");
}

}  // namespace
}  // namespace vexa::log
