#pragma once
// One logged contact and the grammar of its record text.
//
// A record is free text: the call first, then tokens in any order (date, time, frequency, mode
// word, reports "sent/received", exchanges "sent&received"); every other token is comment. The
// record text is the only storage format of the log; everything else is rebuilt by parsing it.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/mode.h"

namespace vexa::log {

// A calendar date-time with one-second resolution, as written in the record (no time zone
// conversion). `utc` is true when the record carried the "z" mark.
struct QsoTime {
  int year = 0;   // four digits
  int month = 0;  // 1..12, 0 = unset
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool utc = false;

  bool valid() const { return month != 0; }
  // Seconds since 1970-01-01 00:00:00 of this date-time read as UTC.
  int64_t SecondsSinceEpoch() const;
  friend bool operator==(const QsoTime& a, const QsoTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
  }
};

// Builds a QsoTime from seconds since the epoch (the broken-down UTC time).
QsoTime QsoTimeFromEpoch(int64_t seconds, bool utc);

// English three-letter month name for 1..12 ("Jan"), "" otherwise.
const char* MonthAbbrev(int month);
// "%d/%b/%Y", "%H:%M:%S", "%d/%b/%Y %H:%M:%S" (with a trailing "z" when asked).
std::string FormatQsoDate(const QsoTime& t);
std::string FormatQsoClock(const QsoTime& t);
std::string FormatQsoWhen(const QsoTime& t, bool withZ);
// Radio frequency in hertz as "%i.%03i.%03i" (MHz.kHz.Hz).
std::string FormatFrequency(int32_t hz);

// Date parsed day first: "04/Sep/2000", "4/9/2000", "04/09/00". Returns false on anything else.
bool ParseQsoDate(std::string_view text, QsoTime& out);
// Time of day "12:34:56" (hours 0..23, minutes and seconds 0..59). Returns false otherwise.
bool ParseQsoClock(std::string_view text, QsoTime& out);
// Frequency text "%d.%d.%d" (MHz.kHz.Hz) to hertz; false when it has fewer than three numbers or
// does not fit a 32-bit signed integer.
bool ParseFrequencyText(std::string_view text, int32_t& hz);

struct QsoRecord {
  std::string call;  // upper case
  QsoTime when;
  int32_t frequency = 0;  // hertz, 0 = absent
  std::string mode;       // stored mode code: "CW  ", "SSB ", "RTTY", "PSK ", ... or ""
  std::string rstSent, rstReceived;
  std::string exchangeSent, exchangeReceived;
  std::string comment;  // every other token, each followed by one blank
};

enum QsoParseResult : int {
  kQsoOk = 0,
  kQsoNoCall = 1,  // call missing or not a callsign
  kQsoNoDate = 2,
  kQsoNoTime = 3,
  kQsoNoFrequency = 4,
};

// Which outputs the caller wants. When the comment is wanted without all four of the reports and
// exchanges, the comment receives them as text after its own tokens.
enum QsoFields : unsigned {
  kFieldCall = 1u << 0,
  kFieldWhen = 1u << 1,
  kFieldFrequency = 1u << 2,
  kFieldMode = 1u << 3,
  kFieldRstSent = 1u << 4,
  kFieldRstReceived = 1u << 5,
  kFieldExchangeSent = 1u << 6,
  kFieldExchangeReceived = 1u << 7,
  kFieldComment = 1u << 8,
  kFieldAll = 0x1FFu,
};

// Tokenises one record and fills the wanted fields of `out` (others are left untouched).
// Returns a QsoParseResult; mode, reports, exchanges and comment are optional.
[[nodiscard]] int ParseQsoText(std::string_view text, QsoRecord& out, unsigned fields = kFieldAll);

// Callsign and prefix grammar (letters in either case).
bool IsCallsign(std::string_view text);
bool IsPrefix(std::string_view text);

// The log's grouping of a mode text into classes 0..9 (0 CW, 1 phone, 2 RTTY, 3 SSTV/FAX, 4 PSK,
// 5 FSK, 6 AX25, 7 PACTOR, 8 HELL, 9 MTTY); -1 when none applies.
int ModeClassOf(std::string_view modeText);
// The bit a contact of this stored mode code sets in the country and zone tables (1 CW, 2 phone,
// 4 RTTY, 8 SSTV/FAX, 16 PSK, 32 FSK, 64 AX25, 128 HELL); 0 for codes without one. Trailing
// blanks of the code do not matter.
unsigned ModeBit(std::string_view modeCode);
// The stored code for a mode word of the record grammar ("PSK31" -> "PSK "), "" for other words.
std::string ModeCodeOfWord(std::string_view word);
// A mode word that parses back to the stored code ("PSK " -> "PSK31", "PACT" -> "PACTOR").
std::string ModeWordOfCode(std::string_view code);

// Name of an operating mode number as a stamp writes it; "" for numbers without a name (7 and
// anything outside 0..17), where the stamp asks for the mode instead.
std::string StampModeName(Mode mode);
// Default sent report: "59" for the phone modes 1..3, "599" otherwise.
std::string DefaultReport(Mode mode);

// Case-insensitive substring test (ASCII).
bool ContainsNoCase(std::string_view text, std::string_view part);
std::string ToUpper(std::string_view text);

}  // namespace vexa::log
