#include "console/call_alert.h"

#include <clocale>
#include <cstdio>
#include <ctime>

namespace vexa::console {

uint32_t CountryModeBit(int modeClass) {
  if (modeClass < 0 || modeClass > 9) return 0;
  return modeClass <= 6 ? 1u << modeClass : 128u;
}

const char* NewCountryLabel(int modeClass) {
  static constexpr const char* kLabels[10] = {
      " New DXCC CW : ",    " New DXCC SSB : ", " New DXCC RTTY : ", " New DXCC SSTV : ",
      " New DXCC PSK31 : ", " New DXCC FSK : ", " New DXCC AX25 : ", " New DXCC PACTOR : ",
      " New DXCC HELL : ",  " New DXCC MTTY : "};
  return modeClass >= 0 && modeClass <= 9 ? kLabels[modeClass] : "";
}

std::string LocalDateText(int64_t utc) {
  const char* current = std::setlocale(LC_TIME, nullptr);
  const std::string previous = current != nullptr ? current : "C";
  std::setlocale(LC_TIME, "");
  std::tm t{};
  const std::time_t tt = static_cast<std::time_t>(utc);
  localtime_r(&tt, &t);
  char buf[128] = {0};
  if (std::strftime(buf, sizeof buf, "%x", &t) == 0) buf[0] = 0;
  std::setlocale(LC_TIME, previous.c_str());
  return buf;
}

std::string CallAlertText(const CallAlertInput& in, std::string (*localDate)(int64_t utc)) {
  std::string alert;
  if (in.worked == kWorkedHere) {
    alert = "     QSO BEFORE";
    if (in.lastQsoKnown && in.lastQsoUtc != in.nowUtc) {
      const int64_t ago = in.nowUtc - in.lastQsoUtc;
      if (ago >= 86400 || ago < 0) {
        alert += "  " + (localDate != nullptr ? localDate(in.lastQsoUtc) : std::string());
      } else {
        char buf[32];
        std::snprintf(buf, sizeof buf, "  %2i:%02i ago", static_cast<int>(ago / 3600),
                      static_cast<int>(ago / 60 % 60));
        alert += buf;
      }
    }
    return alert;
  }
  if (in.contest && in.hasRegion && !in.regionWorked) alert += "   New Region  ";
  if (!in.countryKnown || in.noCountryAlert) return alert;
  if (in.countryTotal == 0) {
    alert = "   !!! NEW Country (" + in.countryName + ") !!!";
  } else if ((in.countryBand & CountryModeBit(in.modeClass)) == 0) {
    alert += NewCountryLabel(in.modeClass) + in.countryName;
  }
  return alert;
}

}  // namespace vexa::console
