// vexa-cli contest: the report files, the score table and the Cabrillo log of a contest from
// the log file, as the Contest dialog makes them.
#include <cstdlib>
#include <ctime>
#include <iostream>

#include "callinfo/country_file_update.h"
#include "callinfo/country_table.h"
#include "cli/cli.h"
#include "contest/cabrillo.h"
#include "contest/contest_catalogue.h"
#include "contest/contest_report.h"
#include "log/log_file.h"
#include "platform/files/prompt.h"
#include "platform/files/settings_store.h"

namespace vexa::cli {
namespace {

constexpr const char* kUsage =
    "usage: vexa-cli contest report|score|cabrillo [--contest NAME] [--category N]\n"
    "       (default: the contest and category chosen in the settings, section Contest)\n";

void PrintText(std::ostream& os, const std::string& text) {
  for (char c : text)
    if (c != '\r') os << c;
}

}  // namespace

int CmdContest(CliContext& ctx) {
  const auto& a = ctx.args;
  if (a.empty() || (a[0] != "report" && a[0] != "score" && a[0] != "cabrillo")) {
    ctx.err << kUsage;
    return kExitUsage;
  }
  const platform::SettingsStore store(ctx.paths.settingsFile);
  std::string name = store.ReadSettingText("Contest", "Name", "");
  int category = store.ReadSettingInt("Contest", "Class", 0);
  for (size_t i = 1; i < a.size(); ++i) {
    if (a[i] == "--contest" && i + 1 < a.size()) {
      name = a[++i];
    } else if (a[i] == "--category" && i + 1 < a.size()) {
      double v = 0;
      if (!ParseNumber(a[i + 1], v) || v < 0 || v != static_cast<int>(v)) {
        ctx.err << "vexa-cli: --category takes a category number (0, 1, ...)\n";
        return kExitUsage;
      }
      category = static_cast<int>(v);
      ++i;
    } else {
      ctx.err << kUsage;
      return kExitUsage;
    }
  }
  if (contest::ContestNumberOf(name) < 0) {
    ctx.err << "vexa-cli: "
            << (name.empty() ? "no contest chosen" : "unknown contest '" + name + "'")
            << "; the contests are:\n";
    for (const contest::ContestDef& d : contest::Contests()) ctx.err << "  " << d.name << "\n";
    return kExitUsage;
  }
  const auto& cats = contest::Categories(name);
  if (category < 0 || category >= static_cast<int>(cats.size())) {
    ctx.err << "vexa-cli: category " << category << " does not exist; the categories are:\n";
    for (size_t i = 0; i < cats.size(); ++i) ctx.err << "  " << i << " " << cats[i] << "\n";
    return kExitUsage;
  }
  contest::ReportSetup setup;
  setup.contest = name;
  setup.category = cats[static_cast<size_t>(category)];
  setup.singleBand = contest::SingleBandOfCategory(setup.category);
  setup.myCall = store.ReadSettingText("Station", "MyCall", "NOCALL");
  setup.personal.name = store.ReadSettingText("Station", "MyName", "");
  setup.personal.address = store.ReadSettingText("Station", "MyAddress", "");
  setup.personal.zip = store.ReadSettingText("Station", "MyZip", "");
  setup.personal.email = store.ReadSettingText("Station", "MyEmail", "");
  setup.personal.country = store.ReadSettingText("Station", "MyCountry", "");
  setup.nowUtc = static_cast<int64_t>(std::time(nullptr));

  callinfo::CountryTable table;
  if (table.LoadCountryFile(ctx.paths.WorkFile(callinfo::kCountryFileName)) ==
      callinfo::kCountryFileMissing)
    ctx.err << callinfo::kNoCountryFileHint << "\n";
  platform::FixedPrompt prompt;
  int rc = contest::kReportOk;
  if (a[0] == "score") {
    std::string bytes;
    if (log::ReadLogBytes(ctx.paths.WorkFile(log::kLogFileName), bytes) != log::kLogOk) {
      ctx.err << "Can't open log file\n";
      return kExitBadInput;
    }
    log::WorkedTable worked;
    callinfo::MultiplierTally tally;
    const contest::ReportFiles f =
        contest::BuildContestReport(bytes, setup, table, prompt, {}, worked, tally);
    PrintText(ctx.err, prompt.shown);
    ctx.out << name << ", " << setup.category << ": " << f.qsos << " QSOs, " << f.dupes
            << " duplicates\n";
    PrintText(ctx.out, f.score);
    return kExitOk;
  }
  if (a[0] == "report") {
    contest::ReportFiles f;
    rc = contest::CreateContestReport(
        ctx.paths.workDir, setup, table, prompt,
        [&ctx](const std::string& p) { ctx.out << p << "\n"; }, &f);
    PrintText(ctx.err, prompt.shown);
    if (rc == contest::kReportOk) {
      const std::string base = contest::ReportBaseName(setup.myCall);
      ctx.out << f.qsos << " QSOs, " << f.dupes << " duplicates: " << base << ".log " << base
              << ".dup " << base << ".wpx " << base << ".sum\n";
    }
  } else {
    std::string file;
    rc = contest::ExportCabrillo(ctx.paths.workDir, setup, table, prompt, &file);
    PrintText(ctx.err, prompt.shown);
    if (rc == contest::kReportOk) ctx.out << "wrote " << file << "\n";
  }
  if (rc == contest::kReportNoLog) return kExitBadInput;
  return rc == contest::kReportOk ? kExitOk : kExitFailure;
}

}  // namespace vexa::cli
