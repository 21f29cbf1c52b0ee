// Recognising a spot in a line and writing the fixed-layout spot line. The lines are built
// column by column from the layout rules, so every expected field can be read off the line.
#include "spots/spot_record.h"

#include <gtest/gtest.h>

#include <string>

namespace vexa::spots {
namespace {

// A line of `length` spaces with `text` written at each given column.
struct LineBuilder {
  explicit LineBuilder(size_t length) : line(length, ' ') {}
  LineBuilder& At(size_t col, std::string_view text) {
    if (line.size() < col + text.size()) line.resize(col + text.size(), ' ');
    line.replace(col, text.size(), text);
    return *this;
  }
  std::string line;
};

// "DX de" long layout: spotter at 6, point of the frequency at 22, DX call at 26, remark at 39,
// time at 70-73, 'Z' at 74 (a real line from a cluster, as the nodes send them).
constexpr const char* kLongDxDe =
    "DX de K7GS:      14004.0  C5R          op2                            2141Z";

TEST(SpotRecord, ReadsTheLongDxDeLayout) {
  SpotRecord r;
  ASSERT_TRUE(r.parseSpotLine(kLongDxDe));
  EXPECT_EQ(r.spotter, "K7GS");  // the field ends at ':'
  EXPECT_EQ(r.dxCall, "C5R");
  EXPECT_EQ(r.frequency, 14004000);
  EXPECT_EQ(r.time, (SpotTime{21, 41}));
  EXPECT_EQ(r.comment, "op2");  // columns 39-69 with the trailing spaces removed
  // "%-8s%9.1f %02i%02i %-12s%s"
  EXPECT_EQ(r.formatSpotLine(), "K7GS      14004.0 2141 C5R         op2");
}

TEST(SpotRecord, ReadsTheShortDxDeLayout) {
  // Point at 16, DX call at 20, remark 33-63, time 64-67, 'Z' at 68, longer than 74.
  const std::string line = LineBuilder(76)
                               .At(0, "DX de W1AW:14025.3")
                               .At(20, "DL1ABC")
                               .At(33, "CQ test")
                               .At(64, "0915Z")
                               .At(70, "FN31pr")
                               .line;
  SpotRecord r;
  ASSERT_TRUE(r.parseSpotLine(line));
  EXPECT_EQ(r.spotter, "W1AW");
  EXPECT_EQ(r.dxCall, "DL1ABC");
  EXPECT_EQ(r.frequency, 14025300);  // the ':' before the digits ends the number
  EXPECT_EQ(r.time, (SpotTime{9, 15}));
  EXPECT_EQ(r.comment, "CQ test");
}

TEST(SpotRecord, ReadsLayoutB) {
  // Spotter at 0, frequency as the own line, DX call at 18, remark 30-59, time 60-63, spaces at
  // 17, 64, 67 and three letters at 68-70; longer than 70.
  const std::string line = LineBuilder(72)
                               .At(0, "G4ABC")
                               .At(11, "3573.0")
                               .At(18, "VK2XYZ")
                               .At(30, "FT8 -14dB  ")
                               .At(60, "0647")
                               .At(65, "3")
                               .At(68, "EUx")
                               .line;
  SpotRecord r;
  ASSERT_TRUE(r.parseSpotLine(line));
  EXPECT_EQ(r.spotter, "G4ABC");
  EXPECT_EQ(r.dxCall, "VK2XYZ");
  EXPECT_EQ(r.frequency, 3573000);
  EXPECT_EQ(r.time, (SpotTime{6, 47}));
  EXPECT_EQ(r.comment, "FT8 -14dB");
  // One letter fewer at 68-70 and the line is no spot of any layout.
  std::string broken = line;
  broken[70] = '1';
  EXPECT_FALSE(r.parseSpotLine(broken));
}

TEST(SpotRecord, TheOwnLineReadsBackIntoTheSameRecord) {
  SpotRecord r;
  r.spotter = "DL1ABC";
  r.dxCall = "VP8/G3XYZ";
  r.frequency = 7012300;
  r.time = {23, 5};
  r.comment = "up 2, tnx QSO";
  const std::string line = r.formatSpotLine();
  EXPECT_EQ(line, "DL1ABC     7012.3 2305 VP8/G3XYZ   up 2, tnx QSO");
  SpotRecord back;
  ASSERT_TRUE(back.parseSpotLine(line));
  EXPECT_EQ(back, r);
  // Without a comment the line ends in the DX call's padding and still reads back.
  r.comment.clear();
  ASSERT_TRUE(back.parseSpotLine(r.formatSpotLine()));
  EXPECT_EQ(back, r);
}

TEST(SpotRecord, ALineOf24CharactersOrFewerIsNeverASpot) {
  // The shortest own line: a two-character DX call ends at column 24.
  const std::string line = "W1AW      14070.1 1200 K1";
  ASSERT_EQ(line.size(), 25u);
  SpotRecord r;
  ASSERT_TRUE(r.parseSpotLine(line));
  EXPECT_EQ(r.dxCall, "K1");
  EXPECT_EQ(r.comment, "");
  EXPECT_FALSE(r.parseSpotLine(line.substr(0, 24)));
  EXPECT_FALSE(r.parseSpotLine(""));
}

TEST(SpotRecord, TheOwnLinesCommentStartsAtColumn35) {
  std::string line = "W1AW      14070.1 1200 K1ABC       ";
  ASSERT_EQ(line.size(), 35u);
  SpotRecord r;
  ASSERT_TRUE(r.parseSpotLine(line));
  EXPECT_EQ(r.comment, "");
  ASSERT_TRUE(r.parseSpotLine(line + "x  "));
  EXPECT_EQ(r.comment, "x");
}

TEST(SpotRecord, EveryFixedCharacterTestCounts) {
  // Each change breaks one test of layout C, the only layout this line satisfies.
  struct Case {
    size_t col;
    char c;
  };
  const Case cases[] = {{0, 'd'},  {1, 'Y'},  {2, '_'},  {25, 'x'}, {74, 'z'}, {6, ':'},
                        {26, '-'}, {19, 'A'}, {20, ' '}, {21, '/'}, {22, ','}, {23, 'X'},
                        {70, 'O'}, {71, ' '}, {72, ':'}, {73, 'Z'}};
  SpotRecord r;
  ASSERT_TRUE(r.parseSpotLine(kLongDxDe));
  for (const Case& k : cases) {
    std::string line = kLongDxDe;
    line[k.col] = k.c;
    EXPECT_FALSE(r.parseSpotLine(line)) << "column " << k.col << " = '" << k.c << "'";
  }
  // Line length: 75 characters are needed, 74 are too few.
  EXPECT_FALSE(r.parseSpotLine(std::string(kLongDxDe).substr(0, 74)));
}

TEST(SpotRecord, TheOwnLayoutWinsOverLayoutB) {
  // A line that satisfies both: the own layout takes the DX call from 23, layout B from 18.
  const std::string line =
      LineBuilder(72).At(0, "PA3ABC    21074.0 1759 OH2BH").At(60, "1800").At(68, "ABC").line;
  SpotRecord r;
  ASSERT_TRUE(r.parseSpotLine(line));
  EXPECT_EQ(r.dxCall, "OH2BH");
  EXPECT_EQ(r.time, (SpotTime{17, 59}));
  EXPECT_EQ(r.comment.substr(0, 3), "   ");  // from column 35, trailing spaces removed
  EXPECT_EQ(r.comment.back(), 'C');
}

TEST(SpotRecord, TheFrequencyRunsLeftUntilTheFirstNonDigit) {
  // Five kHz digits with the spotter's ':' right before them (point at 22).
  const std::string line = LineBuilder(75)
                               .At(0, "DX de DL1ABC/QRP:14070.1")
                               .At(26, "K1A")
                               .At(39, "psk")
                               .At(70, "0001Z")
                               .line;
  SpotRecord r;
  ASSERT_TRUE(r.parseSpotLine(line));
  EXPECT_EQ(r.frequency, 14070100);
  EXPECT_EQ(r.spotter, "DL1ABC/QRP");
  // 1.8 MHz with its leading spaces, from a skimmer.
  ASSERT_TRUE(r.parseSpotLine(
      "DX de K2PO-#:     1823.4  HL5IV          CW     8 dB  22 WPM  CQ      1307Z"));
  EXPECT_EQ(r.frequency, 1823400);
  EXPECT_EQ(r.spotter, "K2PO");  // '-' ends the callsign field
}

TEST(SpotRecord, AFrequencyWiderThanTheFieldStillParsesAndTheLineIsCut) {
  // 11089934.6 kHz is 11 089 934 600 Hz; in 32 bits that is 11089934600 - 2^33 = 2500000008,
  // read as signed -1794967288. Its field then takes ten characters instead of nine, so one
  // character fewer of the remark fits into the 83-character line.
  const std::string comment = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWX";
  const std::string line = "W1AW   11089934.6 0830 OX3XR       " + comment;
  SpotRecord r;
  ASSERT_TRUE(r.parseSpotLine(line));
  EXPECT_EQ(r.frequency, -1794967288);
  EXPECT_EQ(r.comment, comment);
  const std::string s = r.formatSpotLine();
  ASSERT_EQ(s.size(), 83u);
  EXPECT_EQ(s.substr(0, 36), "W1AW    -1794967.3 0830 OX3XR       ");
  EXPECT_EQ(s.substr(36), comment.substr(0, 47));
}

TEST(SpotRecord, TimeCarriesNoDateAndWrapsPastMidnight) {
  SpotRecord a, b;
  ASSERT_TRUE(a.parseSpotLine(kLongDxDe));
  // The same spot with a locator after the 'Z' (what some nodes add) formats alike.
  ASSERT_TRUE(b.parseSpotLine(std::string(kLongDxDe) + " EN81"));
  EXPECT_EQ(a.formatSpotLine(), b.formatSpotLine());
  // Digits past 23:59 carry over like a clock: 25:70 is 02:10 of the next day, shown as 0210.
  std::string late = kLongDxDe;
  late.replace(70, 4, "2570");
  ASSERT_TRUE(a.parseSpotLine(late));
  EXPECT_EQ(a.time, (SpotTime{2, 10}));
  EXPECT_EQ(a.formatSpotLine().substr(18, 4), "0210");
}

TEST(SpotRecord, BytesOutsideAsciiAreNoCallsignCharacters) {
  std::string line = kLongDxDe;
  line[26] = static_cast<char>(0xC5);  // a Latin-1 letter is not a callsign character
  SpotRecord r;
  EXPECT_FALSE(r.parseSpotLine(line));
  // A NUL byte ends the text: the remaining 10 characters are too few for any layout.
  std::string cut = kLongDxDe;
  cut[10] = '\0';
  EXPECT_FALSE(r.parseSpotLine(cut));
}

TEST(SpotRecord, LongFieldsAreCutAt83Characters) {
  SpotRecord r;
  r.spotter = "W1AW";
  r.dxCall = std::string(5000, 'K');
  r.frequency = 14000000;
  const std::string s = r.formatSpotLine();
  EXPECT_EQ(s.size(), kSpotLineChars);
  EXPECT_EQ(s.substr(23), std::string(83 - 23, 'K'));
}

}  // namespace
}  // namespace vexa::spots
