#pragma once
// Conversion of the whole log file into "LOG.ADI" (ADIF 1.00) and "LOG.CSV" in the working
// folder. Messages to the operator go through the prompt.
#include <string>

#include "log/qso_record.h"
#include "platform/files/prompt.h"

namespace vexa::log {

constexpr const char* kAdifFileName = "LOG.ADI";
constexpr const char* kCsvFileName = "LOG.CSV";

enum ExportError : int {
  kExportOk = 0,
  kExportNoLog = 1,        // "Can't open log file"
  kExportWriteFailed = 2,  // the output file could not be written (an old one stays as it was)
};

// The ADIF header (the version field comes before the end-of-header mark), with "\n" line ends.
std::string AdifHeader();
// One ADIF record ending in "<EOR>\n"; lengths count bytes. The mode is written without the
// trailing blanks of its stored code.
std::string AdifRecord(const QsoRecord& r);
// One CSV line "call;date time;Hz;mode;sent;rcvd;comment;exsent;exrcvd;\n"; the date-time is
// "YYYY-MM-DD HH:MM:SS"; a field holding ';', '"' or a line break is quoted with '"' doubled.
std::string CsvLine(const QsoRecord& r);

// Converts the log file in `workDir` and writes the result next to it. Output "\n" becomes CR LF.
// Records that do not parse are reported one by one ("Not parsed:\r\n" + record) unless they are
// empty or begin with ';'. Returns an ExportError; counts the records written when asked.
[[nodiscard]] int ExportAdif(const std::string& workDir, platform::Prompt& prompt,
                             int* written = nullptr);
[[nodiscard]] int ExportCsv(const std::string& workDir, platform::Prompt& prompt,
                            int* written = nullptr);

}  // namespace vexa::log
