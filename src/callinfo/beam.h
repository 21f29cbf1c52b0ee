#pragma once
// Great-circle distance and antenna bearing (short and long path) from the station to a point.
#include <string>

namespace vexa::callinfo {

// Values the display code draws with, left by the last BeamText call.
struct BeamSides {
  double distanceOverMinusPi = 0;  // central angle in radians divided by -pi
  double longPathSin = 0;          // sine of the long-path bearing
  double longPathCos = 0;          // cosine of the long-path bearing
};

enum BeamForm : int { kBeamFull = 0, kBeamShortBearing = 1 };

// All angles in degrees, north and east positive. form 0: two lines,
//   "<short> Deg   <km> km (<mi> miles)\r\n<long> Deg   <km> km (<mi> miles)(LP)";
// form 1: the short-path bearing digits only; any other form: "". `sides` (optional) receives
// the side values.
std::string BeamText(double myLat, double myLon, double lat, double lon, int form,
                     BeamSides* sides = nullptr);

}  // namespace vexa::callinfo
