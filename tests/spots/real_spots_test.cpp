// 80 real "DX de" lines from cluster nodes and skimmers. 64 of them put the frequency's point
// at column 22 and the 'Z' at 74 and are read by the long layout; the other 16 shift their
// columns (two-decimal skimmer frequencies, long spotter calls, a locator squeezed in before
// the time, another node's format with the point at 23) and are not spots to this reader.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "spots/spot_ring.h"
#include "support/test_paths.h"

namespace vexa::spots {
namespace {

constexpr const char* kFile = "spots/dxspots.txt";

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (!l.empty()) lines.push_back(l);
  }
  return lines;
}

TEST(RealSpots, SixtyFourOfTheEightyLinesAreSpots) {
  VEXA_REQUIRE_TESTDATA(kFile);
  const auto lines = ReadLines(test::TestDataPath(kFile));
  ASSERT_EQ(lines.size(), 80u);
  std::vector<int> rejected;
  std::set<std::string> spotters, dxCalls;
  for (size_t i = 0; i < lines.size(); ++i) {
    SpotRecord r;
    if (!r.parseSpotLine(lines[i])) {
      rejected.push_back(static_cast<int>(i) + 1);
      continue;
    }
    // Every recognised line has its point at 22: the frequency is a whole number of 100 Hz.
    EXPECT_EQ(r.frequency % 100, 0) << lines[i];
    EXPECT_EQ(lines[i][74], 'Z');
    spotters.insert(r.spotter);
    dxCalls.insert(r.dxCall);
  }
  // Line numbers (from 1) of the lines with shifted columns.
  EXPECT_EQ(rejected,
            (std::vector<int>{24, 25, 26, 29, 32, 35, 43, 63, 73, 74, 75, 76, 77, 78, 79, 80}));
  EXPECT_EQ(spotters.size(), 54u);
  EXPECT_EQ(dxCalls.size(), 40u);
}

TEST(RealSpots, FieldsOfChosenLines) {
  VEXA_REQUIRE_TESTDATA(kFile);
  const auto lines = ReadLines(test::TestDataPath(kFile));
  ASSERT_EQ(lines.size(), 80u);
  struct Expect {
    int line;  // from 1
    const char *spotter, *dx;
    int32_t hz;
    int hour, minute;
    const char* comment;
  };
  const Expect cases[] = {
      {1, "K7GS", "C5R", 14004000, 21, 41, "op2"},
      {4, "LU5WA", "ZZ2T", 7018000, 21, 42, "qrs test"},
      {12, "TK4TH", "PY1KO", 14023000, 21, 43, ""},
      {19, "KB8O", "D66D", 14240000, 20, 59, "up 10 59 Ohio"},  // a locator after the 'Z'
      {27, "W7MEM", "AJ8MH", 14074000, 0, 14, "DN17NR<F2>EN66HM            MI"},
      {33, "KM3T", "CS3B", 14100000, 22, 59, "  CW    24 dB  22 WPM  NCDXF B"},  // "KM3T-2-#"
      {34, "KM3T", "AB8Z/B", 28263900, 22, 59, "  CW    15 dB  18 WPM  BEACON"},
      {69, "K2PO", "HL5IV", 1823400, 13, 7, "  CW     8 dB  22 WPM  CQ"},
  };
  for (const Expect& e : cases) {
    SpotRecord r;
    const std::string& line = lines[static_cast<size_t>(e.line - 1)];
    ASSERT_TRUE(r.parseSpotLine(line)) << line;
    EXPECT_EQ(r.spotter, e.spotter) << line;
    EXPECT_EQ(r.dxCall, e.dx) << line;
    EXPECT_EQ(r.frequency, e.hz) << line;
    EXPECT_EQ(r.time, (SpotTime{e.hour, e.minute})) << line;
    EXPECT_EQ(r.comment, e.comment) << line;
  }
  SpotRecord r;
  ASSERT_TRUE(r.parseSpotLine(lines[0]));
  EXPECT_EQ(r.formatSpotLine(), "K7GS      14004.0 2141 C5R         op2");
  ASSERT_TRUE(r.parseSpotLine(lines[68]));
  EXPECT_EQ(r.formatSpotLine(), "K2PO       1823.4 1307 HL5IV         CW     8 dB  22 WPM  CQ");
}

TEST(RealSpots, TheRingKeepsEachSpotOnceAndReadsItsOwnLinesBack) {
  VEXA_REQUIRE_TESTDATA(kFile);
  const auto lines = ReadLines(test::TestDataPath(kFile));
  SpotRing ring;
  int added = 0;
  for (const auto& l : lines) added += ring.addSpotFromLine(l);
  // The 64 spots are all distinct (no two agree in spotter, frequency, time, call and remark).
  EXPECT_EQ(added, 64);
  EXPECT_EQ(ring.next(), 64);
  for (const auto& l : lines) EXPECT_EQ(ring.addSpotFromLine(l), 0);
  const auto shown = ring.DisplayLines();
  ASSERT_EQ(shown.size(), 64u);
  EXPECT_EQ(shown.front(), "G7SOZ     14012.2 1307 R7KM          CW    17 dB  31 WPM  CQ");
  EXPECT_EQ(shown.back(), "K7GS      14004.0 2141 C5R         op2");
  // Every stored line is a spot of the own layout and formats to itself.
  for (int i = 0; i < 64; ++i) {
    SpotRecord r;
    ASSERT_TRUE(r.parseSpotLine(ring.slot(i)));
    EXPECT_EQ(r.formatSpotLine(), ring.slot(i));
    EXPECT_EQ(ring.addSpotFromLine(ring.slot(i)), 0);
  }
}

}  // namespace
}  // namespace vexa::spots
