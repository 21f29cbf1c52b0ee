// vexa-cli log: add a record as the Save button does, check the log, export it, show statistics.
#include <cctype>
#include <ctime>
#include <iostream>

#include "callinfo/country_file_update.h"
#include "callinfo/country_table.h"
#include "callinfo/multiplier_tally.h"
#include "callinfo/tally_sink.h"
#include "cli/cli.h"
#include "common/mode.h"
#include "contest/cabrillo.h"
#include "log/adif3.h"
#include "log/log_export.h"
#include "log/log_file.h"
#include "log/log_scan.h"
#include "log/qso_entry.h"
#include "platform/files/prompt.h"

namespace vexa::cli {
namespace {

constexpr const char* kUsage =
    "usage: vexa-cli log add [--yes] [--freq MHZ.KHZ.HZ] [--mode NAME] [--contest NAME] TEXT\n"
    "       vexa-cli log check | export adif|adif3|csv | import FILE | stats\n";

// Every message the prompt was shown, one per line, with CR LF turned into line breaks.
void PrintShown(std::ostream& os, const std::string& shown) {
  for (char c : shown)
    if (c != '\r') os << c;
}

int Add(CliContext& ctx) {
  bool yes = false;
  std::string freq, mode, contest, text;
  const auto& a = ctx.args;
  for (size_t i = 1; i < a.size(); ++i) {
    if (a[i] == "--yes") {
      yes = true;
    } else if ((a[i] == "--freq" || a[i] == "--mode" || a[i] == "--contest") && i + 1 < a.size()) {
      (a[i] == "--freq" ? freq : a[i] == "--mode" ? mode : contest) = a[i + 1];
      ++i;
    } else {
      if (!text.empty()) text += ' ';
      text += a[i];
    }
  }
  if (text.empty()) {
    ctx.err << kUsage;
    return kExitUsage;
  }
  std::optional<Mode> modeGiven = Mode::Unnamed7;  // no mode: the stamp leaves it out
  if (!mode.empty() && !(modeGiven = ParseMode(mode))) {
    ctx.err << "vexa-cli: unknown mode '" << mode << "'\n";
    return kExitUsage;
  }
  platform::FixedPrompt prompt(yes ? platform::PromptAnswer::Yes : platform::PromptAnswer::No);
  log::QsoEntry entry(ctx.paths.WorkFile(log::kLogFileName), prompt,
                      [] { return static_cast<int64_t>(std::time(nullptr)); });
  entry.frequencyText = freq;
  entry.mode = *modeGiven;
  entry.contest.name = contest;
  entry.Type(text);
  const int rc = entry.SaveQso();
  PrintShown(ctx.err, prompt.shown);
  switch (rc) {
    case log::kSaveOk:
      ctx.out << "saved: " << entry.previousText << "\n";
      return kExitOk;
    case log::kSaveRefused:
      ctx.err << "Not parsed! Not saved (use --yes to save it anyway): " << entry.text << "\n";
      return kExitFailure;
    default:
      return kExitFailure;
  }
}

int Check(CliContext& ctx) {
  struct Progress : log::QsoSink {
    std::ostream* err;
    void ScanProgress(int lines) override { *err << log::ScanProgressText(lines) << "\r"; }
  } sink;
  sink.err = &ctx.err;
  log::LogScanOptions o;
  o.nowUtc = std::time(nullptr);
  o.fullScan = true;
  log::LogScanResult res;
  const std::string path = ctx.paths.WorkFile(log::kLogFileName);
  if (log::ScanLogFile(path, o, sink, res) != log::kLogOk) {
    ctx.err << "vexa-cli: cannot read the log " << path << "\n";
    return kExitBadInput;
  }
  PrintShown(ctx.out, log::ScanErrorsText(res));
  ctx.out << "lines: " << res.lines << "\nQSOs: " << res.qsoTotal << "\nerrors: " << res.errorCount
          << "\n";
  return res.errorCount == 0 ? kExitOk : kExitFailure;
}

int Export(CliContext& ctx) {
  if (ctx.args.size() != 2 ||
      (ctx.args[1] != "adif" && ctx.args[1] != "adif3" && ctx.args[1] != "csv")) {
    ctx.err << kUsage;
    return kExitUsage;
  }
  platform::FixedPrompt prompt;
  int written = 0;
  const int rc = ctx.args[1] == "adif" ? log::ExportAdif(ctx.paths.workDir, prompt, &written)
                 : ctx.args[1] == "adif3"
                     ? log::ExportAdif3(ctx.paths.workDir, prompt, contest::AdifContestIds(),
                                        static_cast<int64_t>(std::time(nullptr)), &written)
                     : log::ExportCsv(ctx.paths.workDir, prompt, &written);
  PrintShown(rc == log::kExportOk ? ctx.out : ctx.err, prompt.shown);
  if (rc == log::kExportNoLog) return kExitBadInput;
  return rc == log::kExportOk ? kExitOk : kExitFailure;
}

// Appends an ADI or ADX file to the log; prints what was taken and what was left out and why.
int Import(CliContext& ctx) {
  if (ctx.args.size() != 2) {
    ctx.err << kUsage;
    return kExitUsage;
  }
  log::ImportReport rep;
  const int rc = log::ImportAdif(ctx.args[1], ctx.paths.WorkFile(log::kLogFileName),
                                 contest::AdifContestIds(), rep);
  if (rc == log::kImportCannotRead) {
    ctx.err << "vexa-cli: cannot read " << ctx.args[1] << "\n";
    return kExitBadInput;
  }
  for (const std::string& p : rep.problems) ctx.err << "note: " << p << "\n";
  for (const std::string& s : rep.skipped) ctx.err << "skipped " << s << "\n";
  if (rc == log::kImportWriteFailed) {
    ctx.err << "vexa-cli: the log could not be written; it is unchanged\n";
    return kExitFailure;
  }
  ctx.out << rep.read << " records read, " << rep.imported << " imported, " << rep.duplicates
          << " already in the log, " << rep.rejected << " not usable\n";
  return rc == log::kImportNoRecords ? kExitBadInput : kExitOk;
}

int Stats(CliContext& ctx) {
  callinfo::CountryTable table;
  if (table.LoadCountryFile(ctx.paths.WorkFile(callinfo::kCountryFileName)) ==
      callinfo::kCountryFileMissing)
    ctx.err << callinfo::kNoCountryFileHint << "\n";
  callinfo::MultiplierTally tally;
  tally.Reset(table.size());
  tally.LoadWorkedFile(ctx.paths.WorkFile(callinfo::kWorkedFileName), table);
  callinfo::TallySink sink(table, tally);
  log::LogScanOptions o;
  o.nowUtc = std::time(nullptr);
  o.fullScan = true;
  log::LogScanResult res;
  const bool scanned =
      log::ScanLogFile(ctx.paths.WorkFile(log::kLogFileName), o, sink, res) == log::kLogOk;
  PrintShown(ctx.out, callinfo::StatisticsText(tally, scanned ? res.qsoTotal : -1));
  return kExitOk;
}

}  // namespace

int CmdLog(CliContext& ctx) {
  const auto& a = ctx.args;
  if (a.empty()) {
    ctx.err << kUsage;
    return kExitUsage;
  }
  if (a[0] == "add") return Add(ctx);
  if (a[0] == "check" && a.size() == 1) return Check(ctx);
  if (a[0] == "export") return Export(ctx);
  if (a[0] == "import") return Import(ctx);
  if (a[0] == "stats" && a.size() == 1) return Stats(ctx);
  ctx.err << kUsage;
  return kExitUsage;
}

}  // namespace vexa::cli
