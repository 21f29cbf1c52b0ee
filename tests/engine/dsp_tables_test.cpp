#include "engine/dsp_tables.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vexa::engine {
namespace {

TEST(DspTables, SineTableHasTheQuotedEntries) {
  const auto& t = Tables().sine;
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[1], 3);
  EXPECT_EQ(t[8192], 23169);
  EXPECT_EQ(t[16383], 32766);
  EXPECT_EQ(t[16384], 32767);
}

TEST(DspTables, SineTableIsTruncatedTowardZeroWithTheElevenDigitPi) {
  const auto& t = Tables().sine;
  for (int i = 0; i <= 16384; i += 97) {
    EXPECT_EQ(t[i], static_cast<int32_t>(std::sin(i * 3.1415926535 / 32768) * 32767)) << i;
  }
}

TEST(DspTables, QuadrantBoundariesAreInclusiveOnTheLowerQuadrant) {
  const auto& t = Tables().sine;
  EXPECT_EQ(Sin16(0x4000), t[16384]);
  EXPECT_EQ(Cos16(0x4000), 0);
  EXPECT_EQ(Sin16(0x8000), 0);
  EXPECT_EQ(Cos16(0x8000), -t[16384]);
  EXPECT_EQ(Sin16(0xC000), -t[16384]);
  EXPECT_EQ(Cos16(0xC000), 0);
  EXPECT_EQ(Sin16(0), 0);
  EXPECT_EQ(Cos16(0), 32767);
  EXPECT_EQ(Sin16(0xFFFF), -t[1]);
  EXPECT_EQ(Cos16(0xFFFF), t[16383]);
}

TEST(DspTables, SinAndCosFollowTheUnitCircleEverywhere) {
  for (int p = 0; p < 65536; p += 37) {
    const double a = p * 2 * M_PI / 65536;
    EXPECT_NEAR(Sin16(static_cast<uint16_t>(p)), 32767 * std::sin(a), 2.0) << p;
    EXPECT_NEAR(Cos16(static_cast<uint16_t>(p)), 32767 * std::cos(a), 2.0) << p;
  }
}

TEST(DspTables, RaisedCosineCoversTheFirstQuarterTurn) {
  // The table spans 0..pi/2 of (1 - cos)/2, so it rises from 0 to one half.
  const auto& rc = Tables().raisedCosine;
  EXPECT_DOUBLE_EQ(rc[0], 0.0);
  EXPECT_NEAR(rc[8192], (1 - std::cos(M_PI / 4)) / 2, 1e-9);
  EXPECT_NEAR(rc[16384], 0.5, 1e-9);
  for (int i = 1; i <= 16384; ++i) ASSERT_GT(rc[i], rc[i - 1]) << i;
}

TEST(DspTables, WindowIsTheFourTermBlackmanNuttall) {
  const auto& w = Tables().spectrumWindow;
  // Ends near zero (a0 - a1 + a2 - a3), peak 1 in the middle.
  EXPECT_NEAR(w[0], 0.3635819 - 0.4891775 + 0.1365995 - 0.0106411, 1e-12);
  EXPECT_NEAR(w[1024], 0.3635819 + 0.4891775 + 0.1365995 + 0.0106411, 1e-12);
  // Periodic form: symmetric about the middle, w[k] == w[2048-k].
  for (int k = 1; k < 1024; k += 31) EXPECT_NEAR(w[k], w[2048 - k], 1e-12) << k;
}

}  // namespace
}  // namespace vexa::engine
