#include "log/worked_table.h"

#include <algorithm>

namespace vexa::log {

uint64_t CallKey(std::string_view call) {
  uint64_t key = 0;
  for (size_t i = 0; i < 12; ++i) {
    uint64_t d = 0;  // end of text
    if (i < call.size()) {
      const char c = call[i];
      if (c >= '0' && c <= '9')
        d = 2 + static_cast<uint64_t>(c - '0');
      else if (c >= 'A' && c <= 'Z')
        d = 12 + static_cast<uint64_t>(c - 'A');
      else if (c >= 'a' && c <= 'z')
        d = 12 + static_cast<uint64_t>(c - 'a');
      else
        d = 1;  // '/' and anything else sort before the digits, as '/' does in ASCII
    }
    key = key * 38u + d;  // 38^12 < 2^64: no wrap
  }
  return key;
}

void WorkedTable::AddWorked(std::string_view call, int band, int modeClass) {
  if (band < 0 || band >= kBandCount || modeClass < 0 || modeClass > 15) return;
  const uint64_t key = CallKey(call);
  auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                             [](const Entry& e, uint64_t k) { return e.key < k; });
  if (it == entries_.end() || it->key != key) {
    Entry e;
    e.key = key;
    it = entries_.insert(it, e);
    if (entries_.size() > kMaxEntries) {
      const bool newIsLast = it + 1 == entries_.end();
      entries_.pop_back();
      if (newIsLast) return;  // the new call had the largest key and was pushed out
    }
  }
  it->bands[static_cast<size_t>(band)] |= static_cast<uint16_t>(1u << modeClass);
}

const WorkedTable::Entry* WorkedTable::Find(std::string_view call) const {
  const uint64_t key = CallKey(call);
  auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                             [](const Entry& e, uint64_t k) { return e.key < k; });
  return it != entries_.end() && it->key == key ? &*it : nullptr;
}

bool WorkedTable::IsWorked(std::string_view call, int band, int modeClass) const {
  const Entry* e = Find(call);
  if (!e || band < 0 || band >= kBandCount || modeClass < 0 || modeClass > 15) return false;
  return (e->bands[static_cast<size_t>(band)] >> modeClass) & 1u;
}

}  // namespace vexa::log
