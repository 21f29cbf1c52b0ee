#include "callinfo/beam.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vexa::callinfo {
namespace {

// The program's own constants: pi taken as 3.1415926535 for degrees to radians.
constexpr double kDegToRad = 0.017453292519444445;
constexpr double kDegToRadLongPath = 0.017453292222222222;
constexpr double kRadToDeg = 57.29577951471995;
constexpr double kPi = 3.1415926535;

std::string Format(const char* fmt, double a, double b) {
  char buf[96];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

std::string Format1(double a) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.0f", a);
  return buf;
}

}  // namespace

std::string BeamText(double myLat, double myLon, double lat, double lon, int form,
                     BeamSides* sides) {
  double dLon = myLon - lon;
  if (dLon > 180) dLon -= 360;
  if (dLon < -180) dLon += 360;
  const double p1 = myLat * kDegToRad;
  const double p2 = lat * kDegToRad;
  const double l = dLon * kDegToRad;
  // Rounding can push the cosine a hair beyond 1 for two equal points: clamp before acos.
  const double c = std::clamp(
      std::cos(p1) * std::cos(p2) * std::cos(l) + std::sin(p1) * std::sin(p2), -1.0, 1.0);
  const double d = std::acos(c);
  const double nm = d * kRadToDeg * 60;
  const double km = nm * 1.852;
  const double miles = nm * 1.152;

  const double denom = std::sin(d) * std::cos(p1);
  double t = denom != 0 ? (std::sin(p2) - std::cos(d) * std::sin(p1)) / denom : 1.0;
  if (!(t >= -1.0)) t = -1.0;  // also catches NaN
  if (t > 1.0) t = 1.0;
  double az = std::acos(t) * kRadToDeg;
  if (l > 0) az = 360 - az;  // the point lies west
  while (az < 0) az += 360;
  double lp = az + 180;
  if (lp >= 360) lp -= 360;

  if (sides) {
    sides->distanceOverMinusPi = d / -kPi;
    sides->longPathSin = std::sin(lp * kDegToRadLongPath);
    sides->longPathCos = std::cos(lp * kDegToRadLongPath);
  }

  std::string shortText, longText;
  if (km > 0.005) {
    shortText = Format1(az);
    longText = Format1(lp);
  }
  if (form == kBeamShortBearing) return shortText;
  if (form != kBeamFull) return {};

  std::string dist;
  if (km > 10)
    dist = Format("%.0f km (%.0f miles)", km, miles);
  else if (km > 1)
    dist = Format("%.1f km (%.1f miles)", km, miles);
  else
    dist = Format("%.2f km (%.2f miles)", km, miles);
  const std::string longDist = Format("%.0f km (%.0f miles)", 40003.2 - km, 24883.2 - miles);
  return shortText + " Deg   " + dist + "\r\n" + longText + " Deg   " + longDist + "(LP)";
}

}  // namespace vexa::callinfo
