#pragma once
// Reading the whole log at start-up and when the contest changes: every record is parsed,
// counted and handed to a QsoSink; records that fail are listed with their line numbers.
#include <cstdint>
#include <string>

#include "log/qso_sink.h"

namespace vexa::log {

struct LogScanOptions {
  std::string contestName;       // "" outside a contest
  bool serialNumbers = false;    // the contest numbers its contacts
  bool fullScan = false;         // outside a contest, tally records older than 8 days too
  int64_t nowUtc = 0;            // seconds since the epoch
  int64_t utcOffsetSeconds = 0;  // local time minus UTC, for records written without "z"
};

struct LogScanResult {
  int lines = 0;          // lines read
  int qsoTotal = 0;       // records that parsed
  int errorCount = 0;     // records that failed and are not comments
  std::string errors;     // "Line %i: %s\r\n" for each of them
  int serialCounter = 0;  // with serial numbers: the next counter value
  std::string ownNumber;  // with serial numbers: the next own number, "%03i"
};

// "Scanning log: %i lines"
std::string ScanProgressText(int lines);
// The text shown after a scan with errors: "Log errors:\r\n" and the error lines; "" without.
std::string ScanErrorsText(const LogScanResult& r);

// Scans the bytes of a log file. `serialCounter` is the counter before the scan.
LogScanResult ScanLogText(std::string_view bytes, const LogScanOptions& options, QsoSink& sink,
                          int serialCounter = 0);
// Reads and scans the log file. Returns a LogFileError (a missing file is kLogCannotOpen and
// leaves `result` empty).
[[nodiscard]] int ScanLogFile(const std::string& path, const LogScanOptions& options, QsoSink& sink,
                              LogScanResult& result, int serialCounter = 0);

}  // namespace vexa::log
