#include "callinfo/call_areas.h"

#include <array>
#include <cstdio>

namespace vexa::callinfo {
namespace {

constexpr std::array<const char*, kStateNames> kStates = {
    "AL", "AR", "AZ", "CA", "CO", "CT", "DE", "FL", "GA", "IA", "ID", "IN", "IL", "KS", "KY", "LA",
    "MA", "MD", "ME", "MI", "MN", "MO", "MS", "MT", "NC", "ND", "NE", "NH", "NJ", "NM", "NV", "NY",
    "OH", "OK", "OR", "PA", "RI", "SC", "SD", "TN", "TX", "UT", "VA", "VT", "WA", "WI", "WV", "WY"};

constexpr std::array<const char*, kProvinceCount> kProvinces = {
    "VE1", "VE2", "VE3", "VE4", "VE5", "VE6", "VE7", "VE8", "VE9", "NF", "LAB", "YU", "PEI"};

struct Spelling {
  const char* text;
  int index;
};
// First match wins.
constexpr Spelling kSpellings[] = {
    {"VE1", 0}, {"NS", 0},   {"VE2", 1},  {"QU", 1},   {"PQ", 1},   {"VE3", 2},
    {"ON", 2},  {"ONT", 2},  {"VE4", 3},  {"MB", 3},   {"MAN", 3},  {"VE5", 4},
    {"SK", 4},  {"SAS", 4},  {"VE6", 5},  {"AB", 5},   {"ALT", 5},  {"VE7", 6},
    {"BC", 6},  {"VE8", 7},  {"NW", 7},   {"VE9", 8},  {"NB", 8},   {"VO1", 9},
    {"NF", 9},  {"VO2", 10}, {"LAB", 10}, {"LA", 10},  {"LB", 10},  {"VY1", 11},
    {"YU", 11}, {"YK", 11},  {"YT", 11},  {"VY2", 12}, {"PEI", 12}, {"PE", 12}};

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return u;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

int RegionOf(std::string_view call, std::string_view prefix) {
  if (call.size() < 3) return -1;
  int base;
  if (prefix == "JA") {
    base = 0;
  } else if (prefix == "VK") {
    base = 10;
  } else if (prefix == "K") {
    base = 20;
  } else if (prefix == "VE") {
    base = 30;
    if (call[1] == 'O' || call[1] == 'o') base = 39;
    if (call[1] == 'Y' || call[1] == 'y') base = 41;
  } else {
    return -1;
  }
  int digit = 0;
  const size_t n = call.size();
  if (call[n - 2] == '/' && IsDigit(call[n - 1])) {
    digit = call[n - 1] - '0';
  } else {
    for (size_t i = 1; i <= 3 && i < n; ++i) {
      if (IsDigit(call[i])) {
        digit = call[i] - '0';
        break;
      }
    }
  }
  const int region = base + digit;
  return region > 43 ? 43 : region;
}

std::string RegionLabel(int region, std::string_view prefix) {
  char buf[32];
  if (region == 40 || region == 41)
    std::snprintf(buf, sizeof buf, "VO%i", region - 39);
  else if (region == 42 || region == 43)
    std::snprintf(buf, sizeof buf, "VY%i", region - 41);
  else
    std::snprintf(buf, sizeof buf, "%.*s%i", static_cast<int>(prefix.size()), prefix.data(),
                  region % 10);
  return buf;
}

int StateIndex(std::string_view text) {
  const std::string u = Upper(text);
  for (int i = 0; i < kStateNames; ++i)
    if (u == kStates[static_cast<size_t>(i)]) return i;
  return -1;
}

const char* StateName(int index) {
  return index >= 0 && index < kStateNames ? kStates[static_cast<size_t>(index)] : "";
}

int ProvinceIndex(std::string_view text) {
  const std::string u = Upper(text);
  for (const Spelling& s : kSpellings)
    if (u == s.text) return s.index;
  return -1;
}

const char* ProvinceName(int index) {
  return index >= 0 && index < kProvinceCount ? kProvinces[static_cast<size_t>(index)] : "";
}

}  // namespace vexa::callinfo
