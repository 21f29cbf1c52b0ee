#pragma once
// Call-area regions (Japan, Australia, USA, Canada), US states and Canadian provinces.
#include <string>
#include <string_view>

namespace vexa::callinfo {

constexpr int kRegionCount = 44;
constexpr int kStateSlots = 51;  // 48 named states; slots 48..50 stay unused
constexpr int kStateNames = 48;
constexpr int kProvinceCount = 13;

// Region 0..43 of a call with its country's primary prefix ("JA" 0.., "VK" 10.., "K" 20..,
// "VE" 30.., VO 39.. and VY 41..), or -1.
int RegionOf(std::string_view call, std::string_view primaryPrefix);
// "JA7", "VK3", "K4", "VE3", "VO1", "VY2".
std::string RegionLabel(int region, std::string_view primaryPrefix);
// Index of a two-letter state ("AL" .. "WY", upper-cased first), or -1.
int StateIndex(std::string_view text);
const char* StateName(int index);  // "" outside 0..47
// Index 0..12 of a province spelling ("ON", "VE3", "PQ", ...), or -1.
int ProvinceIndex(std::string_view text);
const char* ProvinceName(int index);  // "VE1" .. "PEI"; "" outside 0..12

}  // namespace vexa::callinfo
