#pragma once
// A country file of two countries on two continents (the United States in NA, Germany in EU),
// enough for contest rules that score by continent and country.
namespace vexa::test {

inline constexpr const char* kTwoCountryCty =
    "United States:  05:  08:  NA:  37.60:  91.87:  5.0:  K:\n    K,W,N;\n"
    "Fed. Rep. of Germany:  14:  28:  EU:  51.00:  -10.00:  -1.0:  DL:\n    DA,DL;\n";

}  // namespace vexa::test
