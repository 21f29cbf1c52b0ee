#pragma once
// The country file the contest tests resolve calls with, and the folder of the hand-derived
// expected report texts kept beside the tests.
#include <string>

namespace vexa::contest::test {

// Seven countries on six continents: K and VE (NA), DL and G (EU), JA (AS), PY (SA), ZS (AF).
inline const char* const kTestCty =
    "United States:  05:  08:  NA:  37.60:  91.87:  5.0:  K:\n"
    "    K,W,N;\n"
    "Canada:  05:  09:  NA:  44.35:  78.75:  5.0:  VE:\n"
    "    VE,VA;\n"
    "Fed. Rep. of Germany:  14:  28:  EU:  51.00:  -10.00:  -1.0:  DL:\n"
    "    DA,DL;\n"
    "England:  14:  27:  EU:  52.00:  1.00:  0.0:  G:\n"
    "    G,M;\n"
    "Japan:  25:  45:  AS:  36.00:  -138.00:  -9.0:  JA:\n"
    "    JA,JR;\n"
    "Brazil:  11:  15:  SA:  -10.00:  53.00:  3.0:  PY:\n"
    "    PY;\n"
    "South Africa:  38:  57:  AF:  -29.00:  -24.00:  -2.0:  ZS:\n"
    "    ZS;\n";

inline std::string ExpectedPath(const std::string& name) {
  return std::string(VEXA_CONTEST_EXPECTED_DIR) + "/" + name;
}

}  // namespace vexa::contest::test
