#pragma once
// The scan of the received text: every received character passes through it. It catches the
// other station's state or province, a name from the names list, the last call sign heard, and
// the numbers that fill the zone and the received exchange.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/mode.h"

namespace vexa::console {

// What the scan found so far.
struct ScanFindings {
  std::string state, alternativeState;  // received state or province, and the one before
  std::string name;                     // default for the "Name:" field
  std::string lastCall;                 // upper-cased
  int64_t lastCallHz = 0;               // the radio frequency it was heard on
  std::string zone;                     // filled while empty (one digit) or by two digits
  std::string receivedExchange;         // filled while empty
};

class ReceivedTextScan {
 public:
  // Longest word or number the scan keeps; longer runs are cut (nothing real is that long).
  static constexpr size_t kMaxWord = 32;

  // States and provinces (two letters, or three for the province spellings): the test comes
  // from the country data.
  using RegionTest = std::function<bool(std::string_view word)>;
  void SetRegionTest(RegionTest test) { regionTest_ = std::move(test); }
  void SetOwnCall(std::string call);
  // The names list: one name per line, blank lines skipped, upper-cased. A missing file gives
  // an empty list. Returns the number of names.
  int LoadNames(const std::string& path);
  void SetNames(std::vector<std::string> names);
  const std::vector<std::string>& names() const { return names_; }

  // One received character in mode `mode`, heard on radioHz. noThreeDigitExchange: the contest
  // takes no three-digit received exchange (JARTS).
  void Feed(uint8_t c, Mode mode, int64_t radioHz, bool noThreeDigitExchange = false);
  ScanFindings& findings() { return found_; }
  const ScanFindings& findings() const { return found_; }
  void Reset() { found_ = {}; }

 private:
  void EndWord(int64_t radioHz);
  void EndNumber(bool noThreeDigitExchange);
  void CompareNames(const std::string& upper);

  RegionTest regionTest_;
  std::string ownCall_;
  std::vector<std::string> names_;
  std::string word_, number_;
  bool numberOnly_ = true;  // every character of the run counted as a digit
  bool realDigit_ = false;  // one of them was a real digit
  ScanFindings found_;
};

}  // namespace vexa::console
