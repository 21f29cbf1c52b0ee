// The ring of the 100 most recent distinct spot lines: storing, duplicates, overwriting and the
// display order.
#include "spots/spot_ring.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace vexa::spots {
namespace {

// A "DX de" line (long layout) with the given DX call, frequency, time and remark.
std::string DxDe(const std::string& dx, const char* khz, const char* hhmm,
                 const std::string& remark = "CW") {
  char line[128];
  std::snprintf(line, sizeof line, "DX de K7GS:   %10s  %-13s%-31s%sZ", khz, dx.c_str(),
                remark.c_str(), hhmm);
  return line;
}

TEST(SpotRing, StartsEmptyAndStoresANewSpotInSlotNext) {
  SpotRing ring;
  EXPECT_EQ(ring.next(), 0);
  EXPECT_EQ(ring.size(), 0);
  EXPECT_TRUE(ring.DisplayLines().empty());
  EXPECT_EQ(ring.addSpotFromLine("no spot here"), 0);
  EXPECT_EQ(ring.next(), 0);
  ASSERT_EQ(ring.addSpotFromLine(DxDe("C5R", "14004.0", "2141", "op2")), 1);
  EXPECT_EQ(ring.next(), 1);
  EXPECT_EQ(ring.slot(0), "K7GS      14004.0 2141 C5R         op2");
  EXPECT_EQ(ring.slot(1), "");
}

TEST(SpotRing, TheSameSpotTwiceIsStoredOnce) {
  SpotRing ring;
  const std::string line = DxDe("C5R", "14004.0", "2141");
  ASSERT_EQ(ring.addSpotFromLine(line), 1);
  EXPECT_EQ(ring.addSpotFromLine(line), 0);
  EXPECT_EQ(ring.next(), 1);  // a duplicate does not move next
  // The stored line itself (the own layout) is the same spot.
  EXPECT_EQ(ring.addSpotFromLine(std::string(ring.slot(0))), 0);
  // Another remark or another minute is another spot.
  EXPECT_EQ(ring.addSpotFromLine(DxDe("C5R", "14004.0", "2141", "QRX")), 1);
  EXPECT_EQ(ring.addSpotFromLine(DxDe("C5R", "14004.0", "2142")), 1);
  EXPECT_EQ(ring.size(), 3);
  // The comparison is case-sensitive.
  EXPECT_EQ(ring.addSpotFromLine(DxDe("c5r", "14004.0", "2141")), 1);
}

TEST(SpotRing, The101stSpotOverwritesTheOldest) {
  SpotRing ring;
  char hhmm[24];
  for (int i = 0; i < 100; ++i) {
    std::snprintf(hhmm, sizeof hhmm, "%02d%02d", i / 60, i % 60);
    ASSERT_EQ(ring.addSpotFromLine(DxDe("W1AW", "7030.0", hhmm)), 1) << i;
  }
  EXPECT_EQ(ring.next(), 0);
  EXPECT_EQ(ring.size(), 100);
  EXPECT_EQ(ring.slot(0).substr(18, 4), "0000");
  ASSERT_EQ(ring.addSpotFromLine(DxDe("W1AW", "7030.0", "2000")), 1);
  EXPECT_EQ(ring.next(), 1);
  EXPECT_EQ(ring.size(), 100);
  EXPECT_EQ(ring.slot(0).substr(18, 4), "2000");
  const auto lines = ring.DisplayLines();
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines.front().substr(18, 4), "2000");  // newest first
  EXPECT_EQ(lines[1].substr(18, 4), "0139");       // spot 99: 1 h 39 min
  EXPECT_EQ(lines.back().substr(18, 4), "0001");   // the oldest left
  // A duplicate is found in every slot, also in those below next.
  EXPECT_EQ(ring.addSpotFromLine(DxDe("W1AW", "7030.0", "0139")), 0);
  EXPECT_EQ(ring.addSpotFromLine(DxDe("W1AW", "7030.0", "0001")), 0);
  EXPECT_EQ(ring.addSpotFromLine(DxDe("W1AW", "7030.0", "2000")), 0);
  EXPECT_EQ(ring.next(), 1);
  // The overwritten one is new again.
  EXPECT_EQ(ring.addSpotFromLine(DxDe("W1AW", "7030.0", "0000")), 1);
  EXPECT_EQ(ring.next(), 2);
}

TEST(SpotRing, DisplayedLinesLoseTheirTrailingSpaces) {
  SpotRing ring;
  // Without a remark the stored line ends in the DX call's padding.
  ASSERT_EQ(ring.addSpotFromLine(DxDe("PY1KO", "14023.0", "2143", "")), 1);
  EXPECT_EQ(ring.slot(0), "K7GS      14023.0 2143 PY1KO       ");
  ASSERT_EQ(ring.DisplayLines().size(), 1u);
  EXPECT_EQ(ring.DisplayLines()[0], "K7GS      14023.0 2143 PY1KO");
}

TEST(SpotRing, APageFedBottomUpHasItsFirstLineNewest) {
  const std::string page[] = {DxDe("A1A", "14001.0", "1003"), DxDe("B2B", "14002.0", "1002"),
                              "<hr>", DxDe("C3C", "14003.0", "1001")};
  SpotRing ring;
  int added = 0;
  for (int i = 3; i >= 0; --i) added += ring.addSpotFromLine(page[i]);
  EXPECT_EQ(added, 3);
  const auto lines = ring.DisplayLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(23), "A1A         CW");
  EXPECT_EQ(lines[1].substr(23), "B2B         CW");
  EXPECT_EQ(lines[2].substr(23), "C3C         CW");
  // The same page again adds nothing.
  added = 0;
  for (int i = 3; i >= 0; --i) added += ring.addSpotFromLine(page[i]);
  EXPECT_EQ(added, 0);
  EXPECT_EQ(ring.DisplayLines(), lines);
}

TEST(SpotRing, LinesOfAnyLengthAndBytesAreSafe) {
  SpotRing ring;
  std::string junk(1 << 20, '\xff');
  EXPECT_EQ(ring.addSpotFromLine(junk), 0);
  // A spot whose DX call runs for a megabyte is stored cut to 83 characters.
  std::string huge = "W1AW      14070.1 1200 " + std::string(1 << 20, 'K');
  ASSERT_EQ(ring.addSpotFromLine(huge), 1);
  EXPECT_EQ(ring.slot(0).size(), kSpotLineChars);
  for (int c = 0; c < 256; ++c) {
    std::string line = DxDe("W1AW", "7030.0", "1234", "x");
    line[45] = static_cast<char>(c);  // inside the remark
    (void)ring.addSpotFromLine(line);
  }
  EXPECT_LE(ring.size(), SpotRing::kSlots);
  ring.Reset();
  EXPECT_EQ(ring.size(), 0);
  EXPECT_EQ(ring.next(), 0);
}

}  // namespace
}  // namespace vexa::spots
