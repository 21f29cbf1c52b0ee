#pragma once
// ADIF 3 beside the ADIF 1.00 export: the writer ("LOG3.ADI": ADIF_VER 3.1.4, MODE/SUBMODE
// pairs, BAND, FREQ in MHz, the contest exchange and CONTEST_ID), the reader of ADI and ADX
// files written by other loggers, and the import of such a file into the log.
//
// The reader never trusts a field length alone: ADIF counts bytes, but many programs count
// characters of UTF-8 text, so a length that does not land before the next tag is tried again
// as a character count. Text that is not UTF-8 is read as Latin-1. Every problem is reported,
// none stops the reading.
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "log/qso_record.h"
#include "platform/files/prompt.h"

namespace vexa::log {

constexpr const char* kAdif3FileName = "LOG3.ADI";

// Contest name of the log ("CQ WW RTTY") -> ADIF CONTEST_ID, and back ("" when unknown).
struct ContestIds {
  std::function<std::string(std::string_view)> toId;
  std::function<std::string(std::string_view)> toName;
};

// MODE and SUBMODE for a stored mode code; `recordText` tells QPSK from BPSK (both are stored as
// the PSK code) by its mode word.
std::pair<std::string, std::string> Adif3Mode(std::string_view modeCode,
                                              std::string_view recordText);
// "20m" for a frequency in a band of the band table, "" otherwise.
std::string Adif3Band(int32_t frequencyHz);

std::string Adif3Header(int64_t nowUtc);
// One record; `contestName` is the record's contest tag ("" none); ends "<EOR>\n".
std::string Adif3Record(const QsoRecord& r, std::string_view recordText,
                        std::string_view contestName, const ContestIds& ids);

// Converts the log of `workDir` into LOG3.ADI (CR LF line ends). Returns an ExportError.
[[nodiscard]] int ExportAdif3(const std::string& workDir, platform::Prompt& prompt,
                              const ContestIds& ids, int64_t nowUtc, int* written = nullptr);

// One record read from a file: field names upper-cased, values UTF-8.
struct AdifFields {
  std::vector<std::pair<std::string, std::string>> fields;
  const std::string* Find(std::string_view name) const;
};

struct AdifReadResult {
  std::vector<AdifFields> records;
  std::vector<std::string> problems;  // one line per problem, with the record number
  bool adx = false;
};

// Reads ADI or ADX text (told apart by the content).
AdifReadResult ReadAdif(std::string_view bytes);
AdifReadResult ReadAdi(std::string_view bytes);
AdifReadResult ReadAdx(std::string_view bytes);

// Converts a read record into a log record; false with `why` when it lacks what a log record
// needs (a valid call, date, time, frequency or band). `contestName` receives the contest tag.
bool QsoFromAdif(const AdifFields& f, const ContestIds& ids, QsoRecord& out,
                 std::string& contestName, std::string& why);

struct ImportReport {
  int read = 0;                       // records in the file
  int imported = 0;                   // appended to the log
  int duplicates = 0;                 // already in the log (same call, date, minute, band and mode)
  int rejected = 0;                   // not convertible
  std::vector<std::string> skipped;   // "record N CALL: reason"
  std::vector<std::string> problems;  // from the reader
  std::vector<QsoRecord> added;       // the records appended, for the worked tables
};

enum ImportError : int {
  kImportOk = 0,
  kImportCannotRead = 1,   // the ADIF file could not be read
  kImportWriteFailed = 2,  // the new log could not be written (the old one is unchanged)
  kImportNoRecords = 3,    // the file holds no ADIF record
};

// Appends the records of the ADIF file `adifPath` to the log file `logPath` by writing a new
// log and renaming it over the old one, so the log is unchanged until the import is complete.
[[nodiscard]] int ImportAdif(const std::string& adifPath, const std::string& logPath,
                             const ContestIds& ids, ImportReport& report);
// The same from bytes (the log file is still read and replaced).
[[nodiscard]] int ImportAdifBytes(std::string_view adif, const std::string& logPath,
                                  const ContestIds& ids, ImportReport& report);

}  // namespace vexa::log
