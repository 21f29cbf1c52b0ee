#pragma once
// Which mode classes each call was worked in on each band: decides duplicates and gives the QSO
// count of a contest score. A sorted array of at most 8000 calls; a new call goes in at its
// sorted place, and when the table is full the call with the largest key is pushed out.
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "log/band_table.h"

namespace vexa::log {

// Packs a callsign into a 64-bit key that sorts like the text: up to 12 characters in base 38
// (end, '/', digits, letters), letters case-insensitive; other characters count as '/'. Calls
// longer than 12 characters share the key of their first 12.
uint64_t CallKey(std::string_view call);

class WorkedTable {
 public:
  static constexpr size_t kMaxEntries = 8000;

  struct Entry {
    uint64_t key = 0;
    std::array<uint16_t, kBandCount> bands{};  // bit (1 << ModeClass) per band
  };

  // Sets the class bit (0..9) for the call on the band (0..8); out-of-range values are ignored.
  void AddWorked(std::string_view call, int band, int modeClass);
  // The call's entry, or null when it was never worked.
  const Entry* Find(std::string_view call) const;
  // True when the call was worked on the band in the class.
  bool IsWorked(std::string_view call, int band, int modeClass) const;

  size_t size() const { return entries_.size(); }
  const std::vector<Entry>& entries() const { return entries_; }
  void Clear() { entries_.clear(); }

 private:
  std::vector<Entry> entries_;
};

}  // namespace vexa::log
