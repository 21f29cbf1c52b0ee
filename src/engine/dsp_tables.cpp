#include "engine/dsp_tables.h"

#include <cmath>

#include "common/sine_table.h"

namespace vexa::engine {
namespace {

DspTables Build() {
  DspTables t{};
  t.sine = QuarterSineTable();  // the one table of the whole program
  for (int i = 0; i <= 16384; ++i) {
    double a = i * kPi11 / 32768.0;
    t.raisedCosine[i] = (1.0 - std::cos(a)) * 0.5;
  }
  const double a0 = 0.3635819, a1 = 0.4891775, a2 = 0.1365995, a3 = 0.0106411;
  for (int k = 0; k < 2048; ++k) {
    double th = 2.0 * M_PI * k / 2048.0 + M_PI;
    t.spectrumWindow[k] = a0 + a1 * std::cos(th) + a2 * std::cos(2 * th) + a3 * std::cos(3 * th);
  }
  return t;
}

}  // namespace

const DspTables& Tables() {
  static const DspTables tables = Build();
  return tables;
}

}  // namespace vexa::engine
