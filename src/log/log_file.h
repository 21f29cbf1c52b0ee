#pragma once
// The log file "log.log": plain text, one record per paragraph (record lines, then a blank
// line), written with CR LF line ends. This file holds the pure record splitter and the file
// operations that find, delete and replace one record.
//
// Every rewrite of the file goes through a temporary file in the same folder and an atomic
// rename, so a crash or a full disk never leaves a cut log; a failed write leaves the old file
// as it was and returns an error. A new record is appended in place instead, and an append
// that fails part-way is cut back off, so a full disk leaves no part of it either.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "log/qso_record.h"

namespace vexa::log {

constexpr const char* kLogFileName = "log.log";

enum LogFileError : int {
  kLogOk = 0,
  kLogCannotOpen = 1,   // the file could not be opened or read
  kLogWriteFailed = 2,  // the file could not be written (the old file is unchanged)
  kLogNotFound = 3,     // the record is not in the file (the file is unchanged)
};

// One record as it lies in the file.
struct LogFileRecord {
  std::string text;  // its non-blank lines, trimmed at the right, joined with CR LF
  size_t start = 0;  // offset of its first line
  size_t end = 0;    // offset after the blank line that ends it (the file size for a last
                     // record without one)
  int endLine = 0;   // 1-based number of the line that ends it
};

// Splits the bytes of a log file into records. Lines end at LF (a CR before it is trimmed with
// the other trailing white space); a line that is empty after trimming ends the current record.
// A record after the last blank line is returned too. Bytes of any value are kept as they are.
std::vector<LogFileRecord> SplitLogRecords(std::string_view bytes);

// Whole-file helpers. Return a LogFileError; `error` (optional) receives the system's text.
[[nodiscard]] int ReadLogBytes(const std::string& path, std::string& bytes,
                               std::string* error = nullptr);
[[nodiscard]] int WriteFileAtomic(const std::string& path, std::string_view bytes,
                                  std::string* error = nullptr);
// Appends `text`, first closing a last record that lacks its blank line so that the new record
// never runs into it. Creates the file when it is missing. All or nothing: when any write fails
// the file is cut back to its old length and kLogWriteFailed is returned; a successful append
// is flushed to the disk (fsync) before kLogOk is returned.
[[nodiscard]] int AppendRecordText(const std::string& path, std::string_view text,
                                   std::string* error = nullptr);

// True when the record text (upper-cased) begins with the wanted call, parses, and carries the
// same frequency, date-time and mode code (case-insensitive) as `wanted`.
bool RecordMatches(std::string_view recordText, const QsoRecord& wanted);

// Offsets of the first matching record, or {-1, -1}.
struct QsoSpan {
  int64_t start = -1;
  int64_t end = -1;
  bool found() const { return start >= 0; }
};
QsoSpan FindQsoInText(std::string_view bytes, const QsoRecord& wanted);

[[nodiscard]] int FindQsoInFile(const std::string& path, const QsoRecord& wanted, QsoSpan& span);
// Removes the record (its lines and the blank line after it).
[[nodiscard]] int DeleteQso(const std::string& path, const QsoRecord& record,
                            std::string* error = nullptr);
// Puts `replacement`, written by FormatEditedRecord, in the place of `old`.
[[nodiscard]] int ReplaceQso(const std::string& path, const QsoRecord& old,
                             const QsoRecord& replacement, std::string_view contestName,
                             std::string* error = nullptr);

// The record text the edit writer produces, blank line included:
// call, "%d/%b/%Y %H:%M:%Sz", "%i.%03i.%03i", mode, "sent/rcvd", "sent&rcvd", comment,
// "[contest]", then "\r\n\r\n". The mode is written as a word that parses back to the same
// code, and a contest tag already at the end of the comment is not written twice.
std::string FormatEditedRecord(const QsoRecord& r, std::string_view contestName);

}  // namespace vexa::log
