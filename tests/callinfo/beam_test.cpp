// Distance and bearing: hand-derived texts for simple geometry, and a comparison with an
// independent formula (atan2 bearing, haversine distance) over many point pairs.
#include "callinfo/beam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

namespace vexa::callinfo {
namespace {

TEST(BeamText, SamePointHasNoBearingAndTheWholeEarthAsLongPath) {
  BeamSides sides;
  EXPECT_EQ(BeamText(48.1, 11.6, 48.1, 11.6, kBeamFull, &sides),
            " Deg   0.00 km (0.00 miles)\r\n Deg   40003 km (24883 miles)(LP)");
  EXPECT_EQ(BeamText(48.1, 11.6, 48.1, 11.6, kBeamShortBearing), "");
  EXPECT_NEAR(sides.distanceOverMinusPi, 0.0, 1e-7);
}

TEST(BeamText, QuarterOfTheEquator) {
  // 90 degrees of arc = 5400 nautical miles = 10000.8 km = 6220.8 statute miles; the long path
  // is 40003.2 - 10000.8 km and 24883.2 - 6220.8 miles.
  BeamSides sides;
  EXPECT_EQ(BeamText(0, 0, 0, 90, kBeamFull, &sides),
            "90 Deg   10001 km (6221 miles)\r\n270 Deg   30002 km (18662 miles)(LP)");
  EXPECT_NEAR(sides.distanceOverMinusPi, -0.5, 1e-9);
  EXPECT_NEAR(sides.longPathSin, -1.0, 1e-9);
  EXPECT_NEAR(sides.longPathCos, 0.0, 1e-6);
  EXPECT_EQ(BeamText(0, 0, 0, -90, kBeamShortBearing), "270");
}

TEST(BeamText, ShortDistancesKeepDecimals) {
  // 0.05 degrees = 3 nautical miles; 0.005 degrees = 0.3 nautical miles.
  EXPECT_EQ(BeamText(0, 0, 0, 0.05, kBeamFull),
            "90 Deg   5.6 km (3.5 miles)\r\n270 Deg   39998 km (24880 miles)(LP)");
  EXPECT_EQ(BeamText(0, 0, 0.005, 0, kBeamFull),
            "0 Deg   0.56 km (0.35 miles)\r\n180 Deg   40003 km (24883 miles)(LP)");
}

TEST(BeamText, CrossesTheDateLineEastwards) {
  // 170 E to 170 W is 20 degrees east: 1200 nm = 2222.4 km = 1382.4 miles.
  EXPECT_EQ(BeamText(0, 170, 0, -170, kBeamFull),
            "90 Deg   2222 km (1382 miles)\r\n270 Deg   37781 km (23501 miles)(LP)");
  EXPECT_EQ(BeamText(0, -170, 0, 170, kBeamShortBearing), "270");
}

TEST(BeamText, FormsSelectTheText) {
  EXPECT_EQ(BeamText(0, 0, 45, 90, kBeamShortBearing), "45");
  EXPECT_EQ(BeamText(0, 0, 45, 90, 2), "");
  EXPECT_EQ(BeamText(0, 0, 45, 90, -1), "");
  // Antipodes and poles give finite texts.
  EXPECT_EQ(BeamText(0, 0, 0, 180, kBeamShortBearing).find("nan"), std::string::npos);
  EXPECT_EQ(BeamText(90, 0, -90, 0, kBeamFull).find("nan"), std::string::npos);
}

TEST(BeamText, AgreesWithAnIndependentFormula) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<double> lat(-80, 80), lon(-180, 180);
  const double rad = M_PI / 180;
  for (int i = 0; i < 2000; ++i) {
    const double la1 = lat(rng), lo1 = lon(rng), la2 = lat(rng), lo2 = lon(rng);
    const double dl = (lo2 - lo1) * rad;
    double b = std::atan2(std::sin(dl) * std::cos(la2 * rad),
                          std::cos(la1 * rad) * std::sin(la2 * rad) -
                              std::sin(la1 * rad) * std::cos(la2 * rad) * std::cos(dl)) /
               rad;
    if (b < 0) b += 360;
    const double h = std::pow(std::sin((la2 - la1) * rad / 2), 2) +
                     std::cos(la1 * rad) * std::cos(la2 * rad) * std::pow(std::sin(dl / 2), 2);
    const double km = 2 * std::asin(std::sqrt(h)) / rad * 60 * 1.852;
    if (km < 50) continue;

    const std::string text = BeamText(la1, lo1, la2, lo2, kBeamFull);
    const int bearing = std::atoi(text.c_str());
    double diff = std::fabs(bearing - b);
    if (diff > 180) diff = 360 - diff;
    EXPECT_LE(diff, 0.51) << la1 << "," << lo1 << " -> " << la2 << "," << lo2 << ": " << text;
    const double shownKm = std::atof(text.c_str() + text.find("Deg") + 6);
    EXPECT_NEAR(shownKm, km, 0.6) << text;
  }
}

}  // namespace
}  // namespace vexa::callinfo
