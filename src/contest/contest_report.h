#pragma once
// The contest report: one pass over the contest's records of the log turns them into the QSO
// list ".log", the duplicate list ".dup", the WPX prefix list ".wpx" and the summary sheet
// ".sum", named after the operator's call. The pass rebuilds its own worked table and
// multiplier tally, so the report never depends on what the running program has tallied.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "callinfo/country_table.h"
#include "callinfo/multiplier_tally.h"
#include "log/worked_table.h"
#include "platform/files/prompt.h"

namespace vexa::contest {

// The operator's personal data printed on the summary sheet.
struct PersonalData {
  std::string name, address, zip, email, country;
};

struct ReportSetup {
  std::string contest;   // a catalogue name
  std::string category;  // the chosen category's text
  int singleBand = -1;   // band index of a single-band category, -1 all bands
  std::string myCall;
  PersonalData personal;
  int64_t nowUtc = 0;  // the date of the signature line
};

// The four texts, "\n" line ends as written to the files.
struct ReportFiles {
  std::string log, dup, wpx, sum;
  std::string score;  // the score text (CR LF line ends) the summary holds
  int qsos = 0;       // QSO lines written
  int dupes = 0;
  int notParsed = 0;     // damaged records shown and skipped
  int otherRecords = 0;  // records of other contests or none, skipped
};

// "W1AW/P" -> "W1AW_P". Characters that cannot be part of a plain file name ('\\', ':', blanks,
// control characters, ...) become '_' too; an empty call gives "NOCALL".
std::string ReportBaseName(std::string_view myCall);

// The first step of every contest file: the contest must be known and "log.log" readable (each
// failure is said through the prompt). On success `dir` is the working folder with its '/' and
// `bytes` the log. kReportOk, kReportNoContest or kReportNoLog.
int OpenContestLog(const std::string& workDir, const ReportSetup& setup, platform::Prompt& prompt,
                   std::string& dir, std::string& bytes);

// Builds the report texts from the bytes of a log file. Damaged records are shown through
// `prompt` ("Not parsed:\r\n" + record); `progress` (may be empty) gets "QSO's processed: %i"
// every 10 QSOs. `worked` and `tally` receive the pass's tables.
ReportFiles BuildContestReport(std::string_view logBytes, const ReportSetup& setup,
                               callinfo::CountryTable& table, platform::Prompt& prompt,
                               const std::function<void(const std::string&)>& progress,
                               log::WorkedTable& worked, callinfo::MultiplierTally& tally);

enum ReportError : int {
  kReportOk = 0,
  kReportNoLog = 1,        // "log.log" could not be read
  kReportWriteFailed = 2,  // a report file could not be written; those before it stay
  kReportNoContest = 3,    // no contest, or one the catalogue does not know
};

// Reads "log.log" in `workDir` and writes the four files there, in the order .log, .dup, .wpx,
// .sum. A file that cannot be written stops the report with a message "(NAME)"; the files
// written before it stay. Returns a ReportError; `out` (optional) receives the texts.
[[nodiscard]] int CreateContestReport(const std::string& workDir, const ReportSetup& setup,
                                      callinfo::CountryTable& table, platform::Prompt& prompt,
                                      const std::function<void(const std::string&)>& progress,
                                      ReportFiles* out = nullptr);

}  // namespace vexa::contest
