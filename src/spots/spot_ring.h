#pragma once
// The spot list: the 100 most recent distinct spot lines, in fixed slots that a new line
// overwrites in turn. One instance lives as long as the program; it is not saved. It is used
// from the main thread only.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "spots/spot_record.h"

namespace vexa::spots {

class SpotRing {
 public:
  static constexpr int kSlots = 100;

  // 1 when `line` holds a spot whose spot line is not in the ring yet (it is then stored in
  // slot next() and next() advances), 0 otherwise (no spot, or a duplicate: nothing changes).
  int addSpotFromLine(std::string_view line);

  // The slot the next new spot line overwrites, 0..99.
  int next() const { return next_; }
  // The stored spot line of slot 0..99 ("" when the slot is empty).
  std::string_view slot(int index) const;
  // Stored lines, newest first, trailing white space removed, empty slots skipped: the order in
  // which the spot window numbers them from 1.
  std::vector<std::string> DisplayLines() const;
  // Number of slots in use.
  int size() const;
  // Empties every slot and starts again at slot 0.
  void Reset();

 private:
  std::array<std::array<char, kSpotLineChars + 1>, kSlots> slots_{};
  int next_ = 0;
};

}  // namespace vexa::spots
