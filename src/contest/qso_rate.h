#pragma once
// The contest QSO total and rate lines of the console: "Total %i QSOs\r\n" and
// "Rate %i QSOs/hour\r\n". The rate comes from a ring of the minute values of the latest stamps:
// the contacts stamped within the last sixty minutes (the minute of the clock included), which
// is what an operator can compare with the hour before; a ring that holds more contacts than any
// station makes in an hour keeps the count exact.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "log/worked_table.h"

namespace vexa::contest {

class QsoRate {
 public:
  static constexpr size_t kRingSize = 512;

  void Clear() {
    count_ = 0;
    next_ = 0;
  }
  // A contact stamped at this instant (seconds since the epoch, UTC).
  void AddStamp(int64_t utcSeconds);
  // Contacts whose minute lies in the sixty minutes up to and including the minute of `nowUtc`.
  int RatePerHour(int64_t nowUtc) const;
  size_t size() const { return count_; }

 private:
  std::array<int64_t, kRingSize> minutes_{};
  size_t count_ = 0, next_ = 0;
};

// "Total %i QSOs\r\nRate %i QSOs/hour\r\n".
std::string QsoRateLines(int total, int ratePerHour);

// The QSO count of the score table's Total line for contest number `contest` over the worked
// table of the contest's records: one QSO per call and band of the bands the contest scores
// ("ARRL 10 METERS" counts the calls worked in CW or phone).
int ContestQsoCount(int contest, const log::WorkedTable& worked);

}  // namespace vexa::contest
