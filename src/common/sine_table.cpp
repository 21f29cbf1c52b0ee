#include "common/sine_table.h"

#include <cmath>

namespace vexa {

const QuarterSine& QuarterSineTable() {
  static const QuarterSine table = [] {
    QuarterSine t{};
    for (int i = 0; i <= 16384; ++i) {
      t[static_cast<size_t>(i)] =
          static_cast<int32_t>(std::sin(i * kSinePi / 32768.0) * 32767.0);  // truncation
    }
    return t;
  }();
  return table;
}

}  // namespace vexa
