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
#include "contest/wae_qtc.h"
#include "log/log_file.h"
#include "platform/files/prompt.h"
#include "platform/files/settings_store.h"

namespace vexa::cli {
namespace {

constexpr const char* kUsage =
    "usage: vexa-cli contest report|score|cabrillo [--contest NAME] [--category N]\n"
    "       (default: the contest and category chosen in the settings, section Contest)\n"
    "       vexa-cli contest qtc --call CALL [--confirm]\n"
    "       vexa-cli contest qtc --received CALL FILE\n";

constexpr const char* kQtcUsage =
    "usage: vexa-cli contest qtc --call CALL [--confirm]   the next WAE QTC for CALL (--confirm:\n"
    "                                                      recorded as sent in QTC.LOG)\n"
    "       vexa-cli contest qtc --received CALL FILE      keeps a received QTC in QTC.LOG\n";

// Answers the QTC window's call question with the call of the command line, once: a call the
// window refuses (a station on the own continent) ends the command instead of asking again.
class QtcCallPrompt final : public platform::Prompt {
 public:
  explicit QtcCallPrompt(std::string call) : call_(std::move(call)) {}
  void Message(std::string_view text, std::string_view, platform::PromptIcon) override {
    shown += std::string(text) + "\n";
  }
  platform::PromptAnswer Ask(std::string_view, std::string_view, platform::PromptButtons,
                             platform::PromptIcon) override {
    return platform::PromptAnswer::Ok;
  }
  bool AskText(std::string_view, std::string_view, std::string& answer) override {
    if (++asked > 1) return false;
    answer = call_;
    return true;
  }
  std::string shown;
  int asked = 0;

 private:
  std::string call_;
};

void PrintText(std::ostream& os, const std::string& text) {
  for (char c : text)
    if (c != '\r') os << c;
}

// The QTC as it goes out, for the terminal: CR LF as line ends, the end mark as "<RX>".
std::string ShownQtc(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    if (static_cast<uint8_t>(c) == contest::kQtcEndOfTransmission) {
      out += "<RX>";
    } else {
      out.push_back(c);
    }
  }
  return out + "\n";
}

int CmdQtc(CliContext& ctx) {
  const auto& a = ctx.args;
  std::string call, receivedFile;
  bool confirm = false, received = false;
  for (size_t i = 1; i < a.size(); ++i) {
    if ((a[i] == "--call" || a[i] == "--received") && i + 1 < a.size()) {
      received = a[i] == "--received";
      call = a[++i];
      if (received) {
        if (i + 1 >= a.size()) {
          ctx.err << kQtcUsage;
          return kExitUsage;
        }
        receivedFile = a[++i];
      }
    } else if (a[i] == "--confirm") {
      confirm = true;
    } else {
      ctx.err << kQtcUsage;
      return kExitUsage;
    }
  }
  if (call.empty() || (received && confirm)) {
    ctx.err << kQtcUsage;
    return kExitUsage;
  }
  platform::SettingsStore store(ctx.paths.settingsFile);
  const std::string myCall = store.ReadSettingText("Station", "MyCall", "NOCALL");
  callinfo::CountryTable table;
  if (table.LoadCountryFile(ctx.paths.WorkFile(callinfo::kCountryFileName)) ==
      callinfo::kCountryFileMissing)
    ctx.err << callinfo::kNoCountryFileHint << "\n";
  QtcCallPrompt prompt(call);
  contest::QtcWindow qtc(
      prompt, ctx.paths.WorkFile(contest::kQtcFileName),
      [&table](std::string_view c) {
        callinfo::CountryInfo info;
        return table.LookupCountry(c, &info) >= 0 ? info.continent : std::string();
      },
      [] { return static_cast<int64_t>(std::time(nullptr)); });

  if (received) {
    std::string text;
    if (log::ReadLogBytes(receivedFile, text) != log::kLogOk) {
      ctx.err << "vexa-cli: cannot read " << receivedFile << "\n";
      return kExitBadInput;
    }
    const int rc = qtc.SaveReceivedQtc(text, call);
    PrintText(ctx.err, prompt.shown);
    if (rc == contest::kQtcOk) ctx.out << "kept the QTC from " << log::ToUpper(call) << "\n";
    return rc == contest::kQtcOk            ? kExitOk
           : rc == contest::kQtcNoSelection ? kExitBadInput
                                            : kExitFailure;
  }

  // The log view: every record of the log that parses, in file order.
  std::string bytes;
  if (log::ReadLogBytes(ctx.paths.WorkFile(log::kLogFileName), bytes) != log::kLogOk) {
    ctx.err << "Can't open log file\n";
    return kExitBadInput;
  }
  std::vector<log::QsoRecord> rows;
  for (const log::LogFileRecord& rec : log::SplitLogRecords(bytes)) {
    log::QsoRecord r;
    if (log::ParseQsoText(rec.text, r) == log::kQsoOk) rows.push_back(std::move(r));
  }
  qtc.SetCounters({store.ReadSettingInt("Contest", "QtcPosition", 1),
                   store.ReadSettingInt("Contest", "QtcNumber", 1)});
  std::string text;
  const int rc = qtc.OpenQtcWindow(rows, myCall, call, true, &text);
  PrintText(ctx.err, prompt.shown);
  if (rc == contest::kQtcNothingToSend) {
    ctx.err << "No contacts left for a QTC (position " << qtc.counters().position << " of "
            << rows.size() << " contacts)\n";
    return kExitFailure;
  }
  if (rc != contest::kQtcOk) {
    callinfo::CountryInfo mine;
    const bool known = table.LookupCountry(myCall, &mine) >= 0;
    ctx.err << "vexa-cli: " << log::ToUpper(call) << " is no station outside "
            << (known ? mine.continent : std::string("the own continent")) << "\n";
    return kExitUsage;
  }
  ctx.out << ShownQtc(text);
  if (!confirm) return kExitOk;
  const std::string label = qtc.label();
  if (qtc.ConfirmQtcSent() != contest::kQtcOk) {
    PrintText(ctx.err, prompt.shown);
    return kExitFailure;
  }
  if (store.WriteSettingInt("Contest", "QtcPosition", qtc.counters().position) != 0 ||
      store.WriteSettingInt("Contest", "QtcNumber", qtc.counters().number) != 0) {
    ctx.err << "vexa-cli: the QTC is recorded, but the settings could not be written: "
            << store.lastError() << "\n";
    return kExitFailure;
  }
  ctx.out << "recorded QTC " << label << " to " << qtc.receiver() << " in " << contest::kQtcFileName
          << "; next position " << qtc.counters().position << ", series " << qtc.counters().number
          << "\n";
  return kExitOk;
}

}  // namespace

int CmdContest(CliContext& ctx) {
  const auto& a = ctx.args;
  if (!a.empty() && a[0] == "qtc") return CmdQtc(ctx);
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
