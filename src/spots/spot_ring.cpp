#include "spots/spot_ring.h"

#include <cstring>

namespace vexa::spots {

int SpotRing::addSpotFromLine(std::string_view line) {
  SpotRecord record;
  if (!record.parseSpotLine(line)) return 0;
  std::string s = record.formatSpotLine();
  if (s.size() > kSpotLineChars) s.resize(kSpotLineChars);
  // Searched from the slot to be overwritten upwards; a duplicate changes nothing.
  for (int n = 0; n < kSlots; ++n) {
    if (slot((next_ + n) % kSlots) == s) return 0;
  }
  auto& target = slots_[static_cast<size_t>(next_)];
  std::memcpy(target.data(), s.data(), s.size());
  target[s.size()] = '\0';
  next_ = (next_ + 1) % kSlots;
  return 1;
}

std::string_view SpotRing::slot(int index) const {
  if (index < 0 || index >= kSlots) return {};
  return std::string_view(slots_[static_cast<size_t>(index)].data());
}

std::vector<std::string> SpotRing::DisplayLines() const {
  std::vector<std::string> lines;
  for (int n = kSlots - 1; n >= 0; --n) {
    std::string_view s = slot((n + next_) % kSlots);
    if (s.empty()) continue;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' ||
                          s.back() == '\n' || s.back() == '\v' || s.back() == '\f'))
      s.remove_suffix(1);
    lines.emplace_back(s);
  }
  return lines;
}

int SpotRing::size() const {
  int n = 0;
  for (const auto& s : slots_) n += s[0] != '\0' ? 1 : 0;
  return n;
}

void SpotRing::Reset() {
  for (auto& s : slots_) s[0] = '\0';
  next_ = 0;
}

}  // namespace vexa::spots
