#pragma once
// The contests the program knows: their names in the order of the Contest dialog (the position
// is the contest number the scoring and the report files switch on), the default period and the
// category list of each, the single-band rule and the exchange kind.
#include <string>
#include <string_view>
#include <vector>

namespace vexa::contest {

constexpr int kContestCount = 14;

// Contest numbers, in the dialog's order.
enum ContestNumber : int {
  kCccc = 0,
  kCqWwRtty = 1,
  kTara = 2,
  kBartgSprint = 3,
  kJarts = 4,
  kCqWwSsb = 5,
  kCqWwCw = 6,
  kWae = 7,
  kArrl10 = 8,
  kArrlRoundup = 9,
  kWpxRtty = 10,
  kArrlCw = 11,
  kUkrainian = 12,
  kBartgSpring = 13,
};

struct ContestDef {
  const char* name;
  const char* periodStart;  // "%d/%b/%Y %H:%M:%S"
  const char* periodEnd;
  std::vector<std::string> categories;
};

// The fourteen contests, index = contest number.
const std::vector<ContestDef>& Contests();

// The contest number of a name, -1 for "" and for names the catalogue does not hold.
int ContestNumberOf(std::string_view name);

// The default period of a contest; an unknown contest gets one day of September 2000.
struct ContestPeriod {
  std::string start, end;
};
ContestPeriod DefaultPeriod(std::string_view name);

// The categories of a contest in list order (empty for an unknown contest).
const std::vector<std::string>& Categories(std::string_view name);

// The single band a category names: "10m", "15m", "20m", "40m", "80m", "160m" are searched in
// this order and give band index 8, 6, 4, 2, 1 or 0; -1 (all bands) when none is found.
int SingleBandOfCategory(std::string_view category);

// The exchange kind: 0 no contest, 1 serial numbers, 2 no serial numbers. `ownPrefix` is the
// primary prefix of the operator's own call ("K", "VE", "DL", ...).
int ContestKind(std::string_view name, std::string_view ownPrefix);

// True for the contests whose stations in "K" and "VE" send their state or province.
bool IsArrlStateContest(std::string_view name);
inline bool IsNorthAmericanArrl(std::string_view prefix) {
  return prefix == "K" || prefix == "VE";
}

}  // namespace vexa::contest
