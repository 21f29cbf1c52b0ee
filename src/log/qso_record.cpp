#include "log/qso_record.h"

#include <array>
#include <cstdio>

#include "common/mode.h"

namespace vexa::log {
namespace {

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

size_t Count(std::string_view s, char c) {
  size_t n = 0;
  for (char x : s) n += x == c;
  return n;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2) {
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 29 : 28;
  }
  return kDays[month - 1];
}

// Reads 1..maxDigits decimal digits; false when there are none or too many.
bool ReadNumber(std::string_view s, int maxDigits, int& value) {
  if (s.empty() || static_cast<int>(s.size()) > maxDigits) return false;
  int v = 0;
  for (char c : s) {
    if (!IsDigit(c)) return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

// Reads an optionally signed decimal integer at `pos` the way "%d" does (leading blanks allowed);
// the value saturates far outside the 32-bit range so the caller can reject it.
bool ScanInt(std::string_view s, size_t& pos, int64_t& value) {
  while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) negative = s[pos++] == '-';
  const size_t start = pos;
  int64_t v = 0;
  while (pos < s.size() && IsDigit(s[pos])) {
    if (v < (int64_t{1} << 33)) v = v * 10 + (s[pos] - '0');  // saturate: no overflow below
    ++pos;
  }
  if (pos == start) return false;
  value = negative ? -v : v;
  return true;
}

// Plain call without '/': optional digit, 1..3 letters, digits, 1..3 letters.
bool IsPlainCall(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && IsDigit(s[i])) ++i;
  size_t letters = 0;
  while (i < s.size() && IsLetter(s[i])) ++i, ++letters;
  if (letters < 1 || letters > 3) return false;
  size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (digits == 0) return false;
  size_t tail = 0;
  while (i < s.size() && IsLetter(s[i])) ++i, ++tail;
  return tail >= 1 && tail <= 3 && i == s.size();
}

bool IsListedSuffix(std::string_view r) {
  static constexpr std::array<std::string_view, 12> kSuffixes = {"QRP", "MM", "AM", "P",  "M", "A",
                                                                 "AE",  "AA", "E",  "AG", "G", "T"};
  for (auto s : kSuffixes)
    if (EqualsNoCase(r, s)) return true;
  return false;
}

void AppendInt(std::string& s, int v, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, v);
  s += buf;
}

}  // namespace

int64_t QsoTime::SecondsSinceEpoch() const {
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

QsoTime QsoTimeFromEpoch(int64_t seconds, bool utc) {
  int64_t days = seconds / 86400;
  int64_t rem = seconds % 86400;
  if (rem < 0) rem += 86400, --days;
  // Civil from days (inverse of DaysFromCivil).
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  QsoTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
  t.hour = static_cast<int>(rem / 3600);
  t.minute = static_cast<int>(rem / 60 % 60);
  t.second = static_cast<int>(rem % 60);
  t.utc = utc;
  return t;
}

const char* MonthAbbrev(int month) {
  return month >= 1 && month <= 12 ? kMonths[month - 1] : "";
}

std::string FormatQsoDate(const QsoTime& t) {
  std::string s;
  AppendInt(s, t.day, 2);
  s += '/';
  s += MonthAbbrev(t.month);
  s += '/';
  AppendInt(s, t.year, 4);
  return s;
}

std::string FormatQsoClock(const QsoTime& t) {
  std::string s;
  AppendInt(s, t.hour, 2);
  s += ':';
  AppendInt(s, t.minute, 2);
  s += ':';
  AppendInt(s, t.second, 2);
  return s;
}

std::string FormatQsoWhen(const QsoTime& t, bool withZ) {
  std::string s = FormatQsoDate(t);
  s += ' ';
  s += FormatQsoClock(t);
  if (withZ) s += 'z';
  return s;
}

std::string FormatFrequency(int32_t hz) {
  // MHz, kHz and Hz parts; the sign stays on the megahertz part.
  const int64_t v = hz;
  const int64_t a = v < 0 ? -v : v;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%lld.%03lld.%03lld", v < 0 ? "-" : "",
                static_cast<long long>(a / 1000000), static_cast<long long>(a / 1000 % 1000),
                static_cast<long long>(a % 1000));
  return buf;
}

bool ParseQsoDate(std::string_view text, QsoTime& out) {
  const size_t a = text.find('/');
  if (a == std::string_view::npos) return false;
  const size_t b = text.find('/', a + 1);
  if (b == std::string_view::npos || text.find('/', b + 1) != std::string_view::npos) return false;
  const std::string_view dayText = text.substr(0, a);
  const std::string_view monthText = text.substr(a + 1, b - a - 1);
  const std::string_view yearText = text.substr(b + 1);
  int day = 0, month = 0, year = 0;
  if (!ReadNumber(dayText, 2, day)) return false;
  if (!ReadNumber(monthText, 2, month)) {
    month = 0;
    if (monthText.size() < 3) return false;
    for (int m = 1; m <= 12; ++m) {
      static constexpr std::array<std::string_view, 12> kFull = {
          "JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
          "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
      const std::string_view full = kFull[m - 1];
      if (monthText.size() <= full.size() &&
          EqualsNoCase(monthText, full.substr(0, monthText.size())))
        month = m;
    }
    if (month == 0) return false;
  }
  if (yearText.size() == 2 || yearText.size() == 1) {
    if (!ReadNumber(yearText, 2, year)) return false;
    year += year < 30 ? 2000 : 1900;
  } else if (!ReadNumber(yearText, 4, year) || year < 100) {
    return false;
  }
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  out.year = year;
  out.month = month;
  out.day = day;
  return true;
}

bool ParseQsoClock(std::string_view text, QsoTime& out) {
  const size_t a = text.find(':');
  if (a == std::string_view::npos) return false;
  const size_t b = text.find(':', a + 1);
  if (b == std::string_view::npos) return false;
  int h = 0, m = 0, s = 0;
  if (!ReadNumber(text.substr(0, a), 2, h) || !ReadNumber(text.substr(a + 1, b - a - 1), 2, m) ||
      !ReadNumber(text.substr(b + 1), 2, s))
    return false;
  if (h > 23 || m > 59 || s > 59) return false;
  out.hour = h;
  out.minute = m;
  out.second = s;
  return true;
}

bool ParseFrequencyText(std::string_view text, int32_t& hz) {
  size_t pos = 0;
  int64_t a = 0, b = 0, c = 0;
  if (!ScanInt(text, pos, a) || pos >= text.size() || text[pos++] != '.') return false;
  if (!ScanInt(text, pos, b) || pos >= text.size() || text[pos++] != '.') return false;
  if (!ScanInt(text, pos, c)) return false;
  const int64_t v = (a * 1000 + b) * 1000 + c;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  hz = static_cast<int32_t>(v);
  return true;
}

std::string ModeCodeOfWord(std::string_view w) {
  if (w == "CW") return "CW  ";
  if (w == "RTTY") return "RTTY";
  if (w == "PSK31" || w == "BPSK" || w == "QPSK" || w == "PSK") return "PSK ";
  if (w == "FSK31" || w == "FSK31B") return "FSK ";
  if (w == "SSTV") return "SSTV";
  if (w == "AX25" || w == "AX25TX") return "AX25";
  if (w == "FAX") return "FAX ";
  if (w == "HELL") return "HELL";
  if (w == "PACTOR") return "PACT";
  if (w == "MTTY") return "MTTY";
  if (w == "SSB" || w == "USB" || w == "LSB") return "SSB ";
  return "";
}

std::string ModeWordOfCode(std::string_view code) {
  while (!code.empty() && code.back() == ' ') code.remove_suffix(1);
  if (code == "PSK") return "PSK31";
  if (code == "FSK") return "FSK31";
  if (code == "PACT") return "PACTOR";
  return std::string(code);
}

int ParseQsoText(std::string_view text, QsoRecord& out, unsigned fields) {
  std::string call, mode, rstSent, rstReceived, exSent, exReceived, comment;
  QsoTime date, clock;
  bool haveDate = false, haveTime = false, timeUtc = false, first = true;
  int32_t frequency = 0;

  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= 0x20) ++i;
    const size_t start = i;
    while (i < text.size() && static_cast<unsigned char>(text[i]) > 0x20) ++i;
    if (i == start) break;
    std::string_view tok = text.substr(start, i - start);
    if (first) {
      call = tok;
      first = false;
      continue;
    }
    if (!haveTime && Count(tok, ':') == 2) {
      std::string_view t = tok;
      bool z = false;
      if (t.back() == 'z' || t.back() == 'Z') t.remove_suffix(1), z = true;
      if (ParseQsoClock(t, clock)) haveTime = true, timeUtc = z;
      continue;
    }
    const size_t slashes = Count(tok, '/');
    if (slashes == 2) {
      if (ParseQsoDate(tok, date)) haveDate = true;
      continue;
    }
    if (slashes == 1) {
      const size_t p = tok.find('/');
      rstSent = tok.substr(0, p);
      rstReceived = tok.substr(p + 1);
      continue;
    }
    if (Count(tok, '.') == 2) {
      int32_t hz = 0;
      if (ParseFrequencyText(tok, hz)) frequency = hz;
      continue;
    }
    const std::string code = ModeCodeOfWord(tok);
    if (!code.empty()) {
      const bool refused = (code == "RTTY" && mode == "PSK ") || (code == "SSB " && !mode.empty());
      if (!refused) {
        mode = code;
        continue;
      }
    }
    if (Count(tok, '&') == 1) {
      const size_t p = tok.find('&');
      exSent = tok.substr(0, p);
      exReceived = tok.substr(p + 1);
      continue;
    }
    comment += tok;
    comment += ' ';
  }

  int result = kQsoOk;
  if (call.empty() || !IsCallsign(call))
    result = kQsoNoCall;
  else if (!haveDate)
    result = kQsoNoDate;
  else if (!haveTime)
    result = kQsoNoTime;
  else if (frequency == 0)
    result = kQsoNoFrequency;

  if (fields & kFieldCall) out.call = ToUpper(call);
  if (fields & kFieldWhen) {
    QsoTime when;
    if (haveDate) {
      when = date;
      when.hour = clock.hour;
      when.minute = clock.minute;
      when.second = clock.second;
      when.utc = timeUtc;
    }
    out.when = when;
  }
  if (fields & kFieldFrequency) out.frequency = frequency;
  if (fields & kFieldMode) out.mode = mode;
  if (fields & kFieldRstSent) out.rstSent = rstSent;
  if (fields & kFieldRstReceived) out.rstReceived = rstReceived;
  if (fields & kFieldExchangeSent) out.exchangeSent = exSent;
  if (fields & kFieldExchangeReceived) out.exchangeReceived = exReceived;
  if (fields & kFieldComment) {
    constexpr unsigned kFour =
        kFieldRstSent | kFieldRstReceived | kFieldExchangeSent | kFieldExchangeReceived;
    if ((fields & kFour) != kFour) {
      comment += rstSent + " " + exSent + " - " + rstReceived + " " + exReceived + " ";
    }
    out.comment = comment;
  }
  return result;
}

bool IsPrefix(std::string_view s) {
  if (s.empty() || s.find('/') != std::string_view::npos) return false;
  size_t i = 0;
  if (IsDigit(s[i])) ++i;
  size_t letters = 0;
  while (i < s.size() && IsLetter(s[i])) ++i, ++letters;
  if (letters < 1 || letters > 3) return false;
  if (i == s.size()) return true;
  size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (digits == 0) return false;
  size_t tail = 0;
  while (i < s.size() && IsLetter(s[i])) ++i, ++tail;
  return tail <= 3 && i == s.size();
}

bool IsCallsign(std::string_view s) {
  size_t n = s.size();
  if (n <= 2) return false;
  if (s.front() == '/' || s.back() == '/') return false;
  const size_t last = s.rfind('/');
  if (last != std::string_view::npos && last == n - 2) {
    const char c = s[n - 1];
    if (!IsLetter(c) && !IsDigit(c)) return false;
    n -= 2;  // W1AW/P, W1AW/4: the designator does not count
  }
  const std::string_view t = s.substr(0, n);
  const size_t slash = t.find('/');
  if (slash != std::string_view::npos) {
    const std::string_view l = t.substr(0, slash);
    const std::string_view r = t.substr(slash + 1);
    return (IsCallsign(r) && IsPrefix(l)) || (IsCallsign(l) && (IsListedSuffix(r) || IsPrefix(r)));
  }
  return IsPlainCall(t) || EqualsNoCase(t, "RAEM");
}

int ModeClassOf(std::string_view m) {
  auto has = [m](std::string_view p) { return m.find(p) != std::string_view::npos; };
  if (has("CW")) return 0;
  if (has("RTTY")) return 2;
  if (has("PSK")) return 4;
  if (has("FSK")) return 5;
  if (has("SSTV") || has("FAX")) return 3;
  if (has("AX25")) return 6;
  if (has("HELL")) return 8;
  if (has("PACTOR")) return 7;
  if (has("MTTY")) return 9;
  if (has("SB")) return 1;
  return -1;
}

unsigned ModeBit(std::string_view code) {
  while (!code.empty() && code.back() == ' ') code.remove_suffix(1);
  if (code == "CW") return 1;
  if (code == "SSB" || code == "USB" || code == "LSB") return 2;
  if (code == "RTTY") return 4;
  if (code == "SSTV" || code == "FAX") return 8;
  if (code == "PSK") return 16;
  if (code == "FSK") return 32;
  if (code == "AX25") return 64;
  if (code == "HELL") return 128;
  return 0;
}

std::string StampModeName(Mode mode) {
  return RowOf(mode).mode == Mode::Unnamed7 ? std::string() : std::string(ModeName(mode));
}

std::string DefaultReport(Mode mode) {
  return IsPhone(mode) ? "59" : "599";
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  if (part.empty()) return true;
  if (part.size() > text.size()) return false;
  for (size_t i = 0; i + part.size() <= text.size(); ++i)
    if (EqualsNoCase(text.substr(i, part.size()), part)) return true;
  return false;
}

std::string ToUpper(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = Upper(c);
  return s;
}

}  // namespace vexa::log
