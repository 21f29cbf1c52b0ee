#include "contest/qso_rate.h"

#include <cstdio>

#include "contest/contest_catalogue.h"
#include "contest/contest_score.h"

namespace vexa::contest {
namespace {

// Whole minutes since the epoch, rounded down also before 1970.
int64_t MinuteOf(int64_t utcSeconds) {
  return utcSeconds >= 0 ? utcSeconds / 60 : -((-utcSeconds + 59) / 60);
}

constexpr uint16_t kCwOrPhone = (1u << 0) | (1u << 1);

}  // namespace

void QsoRate::AddStamp(int64_t utcSeconds) {
  minutes_[next_] = MinuteOf(utcSeconds);
  next_ = (next_ + 1) % kRingSize;
  if (count_ < kRingSize) ++count_;
}

int QsoRate::RatePerHour(int64_t nowUtc) const {
  const int64_t now = MinuteOf(nowUtc);
  int n = 0;
  for (size_t i = 0; i < count_; ++i) {
    const int64_t m = minutes_[i];
    if (m <= now && m > now - 60) ++n;
  }
  return n;
}

std::string QsoRateLines(int total, int ratePerHour) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "Total %i QSOs\r\nRate %i QSOs/hour\r\n", total, ratePerHour);
  return buf;
}

int ContestQsoCount(int contest, const log::WorkedTable& worked) {
  int qsos = 0;
  for (int b = 0; b < log::kBandCount; ++b) {
    if (!ScoreUsesBand(contest, b)) continue;
    for (const log::WorkedTable::Entry& e : worked.entries()) {
      const uint16_t w = e.bands[static_cast<size_t>(b)];
      if (w != 0 && (contest != kArrl10 || (w & kCwOrPhone) != 0)) ++qsos;
    }
  }
  return qsos;
}

}  // namespace vexa::contest
