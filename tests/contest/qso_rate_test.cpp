// The console's contest rate: contacts stamped within the sixty minutes up to the clock's
// minute, from a ring of minute values, and the two lines it is shown in.
#include "contest/qso_rate.h"

#include <gtest/gtest.h>

namespace vexa::contest {
namespace {

constexpr int64_t kT0 = 942454800;  // 13/Nov/1999 01:00:00 UTC

TEST(QsoRate, CountsTheContactsOfTheLastSixtyMinutes) {
  QsoRate rate;
  EXPECT_EQ(rate.RatePerHour(kT0), 0);
  rate.AddStamp(kT0 - 3600);       // 00:00:00, sixty minutes before: out at 01:00
  rate.AddStamp(kT0 - 3600 + 60);  // 00:01:00: the oldest minute still in
  rate.AddStamp(kT0 - 1);          // 00:59:59
  rate.AddStamp(kT0 + 59);         // 01:00:59: the clock's own minute
  rate.AddStamp(kT0 + 60);         // 01:01:00: after the clock, not counted
  EXPECT_EQ(rate.RatePerHour(kT0), 3);
  EXPECT_EQ(rate.RatePerHour(kT0 - 1), 3);     // 00:59: the 00:00 contact is in, 01:00 not yet
  EXPECT_EQ(rate.RatePerHour(kT0 + 3600), 1);  // 02:00 looks back to 01:01: only 01:01:00
  EXPECT_EQ(rate.RatePerHour(kT0 + 7200), 0);
  rate.Clear();
  EXPECT_EQ(rate.RatePerHour(kT0), 0);
}

TEST(QsoRate, TheRingKeepsTheLatestStamps) {
  QsoRate rate;
  // An old burst that fills the ring, then 100 contacts in the last hour: the ring forgets the
  // oldest first and the hour stays exact.
  for (size_t i = 0; i < QsoRate::kRingSize; ++i) rate.AddStamp(kT0 - 86400);
  for (int i = 0; i < 100; ++i) rate.AddStamp(kT0 - 30 * i);
  EXPECT_EQ(rate.size(), QsoRate::kRingSize);
  EXPECT_EQ(rate.RatePerHour(kT0), 100);
  EXPECT_EQ(rate.RatePerHour(kT0 - 86400), static_cast<int>(QsoRate::kRingSize) - 100);
  // Times before 1970 fall into their own minute too.
  QsoRate old;
  old.AddStamp(-1);
  EXPECT_EQ(old.RatePerHour(-1), 1);
  EXPECT_EQ(old.RatePerHour(3539), 1);  // 00:58 looks back to 23:59 of the day before
  EXPECT_EQ(old.RatePerHour(3540), 0);
}

TEST(QsoRate, TheLinesOfTheConsole) {
  EXPECT_EQ(QsoRateLines(0, 0), "Total 0 QSOs\r\nRate 0 QSOs/hour\r\n");
  EXPECT_EQ(QsoRateLines(1234, 87), "Total 1234 QSOs\r\nRate 87 QSOs/hour\r\n");
}

}  // namespace
}  // namespace vexa::contest
