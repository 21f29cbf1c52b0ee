#include "contest/contest_report.h"

#include <cstdarg>
#include <cstdio>

#include "contest/contest_catalogue.h"
#include "contest/contest_score.h"
#include "log/band_table.h"
#include "log/log_file.h"
#include "log/qso_record.h"

namespace vexa::contest {
namespace {

std::string Fmt(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

struct Layout {
  const char* title;
  const char* header;
  const char* dashes;
};

// Page title, column header and dash line by contest number (contest 11 has no page header).
const Layout kLayouts[kContestCount] = {
    {"2000 CCCC PSK31 Contest  ",
     " Band    Date     Time  Call worked  Sent Exchg Rcvd Exchg  Dxcc  Rgn   Pts\n",
     " ---- ----------- ----- ------------ ---------- ----------  ----  ---   ---\n"},
    {"2000 CQ WW DX RTTY Contest  ",
     " Band    Date     Time  Call worked  Sent Exchg Rcvd Exchg  Dxcc Dom CQ Pts\n",
     " ---- ----------- ----- ------------ ---------- ----------  ---- --- -- ---\n"},
    {"2000 TARA Rumble PSK31 Contest  ",
     " Band    Date     Time  Call worked  Sent Exchg       Rcvd Exchg       Dxcc Rgn Pts\n",
     " ---- ----------- ----- ------------ ---------------- ---------------- ---- --- ---\n"},
    {"2000 BARTG RTTY SPRINT Contest  ",
     " Band    Date     Time  Call worked  Sent Rcvd Dxcc Rgn Co Pts\n",
     " ---- ----------- ----- ------------ ---- ---- ---- --- -- ---\n"},
    {"2000 JARTS WW RTTY Contest  ",
     " Band    Date     Time  Call worked  SentExchg RcvdExchg Dxcc Rgn Pts\n",
     " ---- ----------- ----- ------------ --------- --------- ---- --- ---\n"},
    {"2000 CQ WW DX SSB Contest  ",
     " Band    Date     Time  Call worked  Sent Exchg Rcvd Exchg Dxcc CQ Pts\n",
     " ---- ----------- ----- ------------ ---------- ---------- ---- -- ---\n"},
    {"2000 CQ WW DX SSB Contest  ",
     " Band    Date     Time  Call worked  Sent Exchg Rcvd Exchg Dxcc CQ Pts\n",
     " ---- ----------- ----- ------------ ---------- ---------- ---- -- ---\n"},
    {"2000 WAE RTTY Contest  ",
     " Band    Date     Time  Call worked  SentExchg RcvdExchg Mult Pts\n",
     " ---- ----------- ----- ------------ --------- --------- ---- ---\n"},
    {"2000 ARRL 10 Meter Contest  ",
     " Mode Band    Date     Time  Call worked  SentExchg RcvdExchg DXCC Dom Pts\n",
     " ---- ---- ----------- ----- ------------ --------- --------- ---- --- ---\n"},
    {"2000 ARRL RTTY Roundup Contest  ",
     " Mode Band    Date     Time  Call worked  SentExchg RcvdExchg Mult Pts\n",
     " ---- ---- ----------- ----- ------------ --------- --------- ---- ---\n"},
    {"2000 WPX RTTY Contest  ",
     " Mode Band    Date     Time  Call worked  SentExchg RcvdExchg Mult   Pts\n",
     " ---- ---- ----------- ----- ------------ --------- --------- ------ ---\n"},
    {nullptr, nullptr, nullptr},
    {"2000 Ukrainian Open RTTY Contest  ",
     " Mode Band    Date     Time  Call worked  SentExchg RcvdExchg Pts\n",
     " ---- ---- ----------- ----- ------------ --------- --------- ---\n"},
    {"2000 BARTG RTTY SPRING Contest  ",
     " Band    Date     Time  Call worked  Sent Exchange Rcvd Exchange Dxcc Rgn Co Pts\n",
     " ---- ----------- ----- ------------ ------------- ------------- ---- --- -- ---\n"},
};

const char* SummaryTitle(int n) {
  switch (n) {
    case kCccc:
      return "\n                              CCCC SUMMARY SHEET\n\n\n    Contest Date : "
             "04-Sep-99\n\n";
    case kCqWwRtty:
      return "\n                              CQ WW DX RTTY SUMMARY SHEET\n\n\n    Contest Dates "
             ": 26-Sep-99, 27-Sep-99\n\n";
    case kTara:
      return "\n                           TARA RUMBLE 2000 SUMMARY SHEET\n\n\n    Contest Date "
             ": 15-Apr-2000\n\n";
    case kBartgSprint:
      return "\n                           BARTG SPRINT SUMMARY SHEET\n\n\n    Contest DateS "
             ":\n\n";
    case kJarts:
      return "\n                         JARTS SUMMARY SHEET\n\n\n    Contest Date : "
             "15-Apr-2000\n\n";
    case kCqWwSsb:
      return "\n                              CQ WW DX SSB SUMMARY SHEET\n\n\n    Contest Dates "
             ": 30-Oct-99, 31-Oct-99\n\n";
    case kCqWwCw:
      return "\n                              CQ WW DX CW SUMMARY SHEET\n\n\n    Contest Dates : "
             "27-Nov-99, 28-Nov-99\n\n";
    case kWae:
      return "\n                              WAE RTTY CONTEST SUMMARY SHEET\n\n\n    Contest "
             "Dates : 13-Nov-99, 14-Nov-99\n\n";
    case kArrl10:
      return "\n                              ARLL 10 METERS CONTEST SUMMARY SHEET\n\n\n    "
             "Contest Dates : 11-Dec-99, 12-Dec-99\n\n";
    case kArrlRoundup:
      return "\n                           ARRL RTTY ROUNDUP CONTEST SUMMARY SHEET\n\n\n    "
             "Contest Dates : 08-Jan-2000, 09-Jan-2000\n\n";
    case kWpxRtty:
      return "\n                           WPX RTTY CONTEST SUMMARY SHEET\n\n\n    Contest Dates "
             ": 12-Feb-2000, 13-Feb-2000\n\n";
    case kUkrainian:
      return "\n Ukrainian Open RTTY CONTEST SUMMARY SHEET\n\n\n    Contest Dates : 04-Mar-2000, "
             "05-Mar-2000\n\n";
    default:
      return "";
  }
}

std::string DateTimeColumn(const log::QsoTime& t) {
  return Fmt("%02d-%s-%04d %02d:%02d", t.day, log::MonthAbbrev(t.month), t.year, t.hour, t.minute);
}

bool PutsModeFirst(int n) {
  // The Ukrainian Open's header has the mode column too, so its lines carry it as well.
  return n == kArrl10 || n == kArrlRoundup || n == kWpxRtty || n == kUkrainian;
}

std::string ExchangeColumns(int n, const log::QsoRecord& r) {
  const char* rs = r.rstSent.c_str();
  const char* es = r.exchangeSent.c_str();
  const char* rr = r.rstReceived.c_str();
  const char* er = r.exchangeReceived.c_str();
  switch (n) {
    case kCccc:
    case kCqWwRtty:
    case kCqWwSsb:
    case kCqWwCw:
    case kWae:
      return Fmt("%3s %-6s %3s %-6s", rs, es, rr, er);
    case kTara:
      return Fmt("%3s %-12s %3s %-12s", rs, es, rr, er);
    case kBartgSprint:
      return Fmt("%4s %4s", es, er);
    case kUkrainian:
      return Fmt("%6s %6s", es, er);
    case kBartgSpring:
      return Fmt("%3s %-9s %3s %-9s", rs, es, rr, er);
    default:  // 4, 8, 9, 10, 11
      return Fmt("%3s %-5s %3s %-5s", rs, es, rr, er);
  }
}

std::string MultiplierColumns(int n, const callinfo::TallyResult& t, int points) {
  const char* country = t.texts[0].c_str();
  const char* zone = t.texts[2].c_str();
  const char* region = t.texts[3].c_str();
  const char* state = t.texts[4].c_str();
  const char* continent = t.texts[5].c_str();
  switch (n) {
    case kCccc:
      return Fmt("%-5s %-4s %3i", country, region, points);
    case kCqWwRtty:
      return Fmt("%-4s %-3s %2s %3i", country, state, zone, points);
    case kTara:
      return Fmt("%-4s %-3s %i", country, region, points);
    case kBartgSprint:
    case kBartgSpring:
      return Fmt("%-4s %-3s %2s %i", country, region, continent, points);
    case kJarts:
      return Fmt("%-4s %-3s %3i", country, region, points);
    case kCqWwSsb:
    case kCqWwCw:
      return Fmt("%-4s %2s %3i", country, zone, points);
    case kWae:
      return Fmt("%-4s %2i", country, points);
    case kArrl10:
      return Fmt("%-4s %-3s %2i", country, state, points);
    case kArrlRoundup:
      return Fmt("%-4s %2i", t.texts[0].empty() ? state : country, points);
    case kWpxRtty:
      return Fmt("%-6s %2i", t.texts[6].c_str(), points);
    case kUkrainian:
      return Fmt("%2i", 2);
    default:
      return Fmt("%2i", points);
  }
}

}  // namespace

std::string ReportBaseName(std::string_view myCall) {
  std::string out;
  for (char c : myCall) {
    const bool plain =
        (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-';
    out += plain ? c : '_';
  }
  return out.empty() ? std::string("NOCALL") : out;
}

ReportFiles BuildContestReport(std::string_view logBytes, const ReportSetup& setup,
                               callinfo::CountryTable& table, platform::Prompt& prompt,
                               const std::function<void(const std::string&)>& progress,
                               log::WorkedTable& worked, callinfo::MultiplierTally& tally) {
  ReportFiles f;
  const int n = ContestNumberOf(setup.contest);
  worked.Clear();
  tally.Reset(table.size());
  const callinfo::TallyContest tc{setup.contest, setup.singleBand};
  const std::string tag = " [" + setup.contest + "]";
  const ScoreStation mine = ScoreStationOf(table, setup.myCall);
  const Layout* layout = n >= 0 ? &kLayouts[n] : nullptr;

  for (const log::LogFileRecord& rec : log::SplitLogRecords(logBytes)) {
    if (!setup.contest.empty() && rec.text.find(tag) == std::string::npos) {
      ++f.otherRecords;
      continue;
    }
    log::QsoRecord r;
    if (log::ParseQsoText(rec.text, r) != log::kQsoOk) {
      if (!rec.text.empty() && rec.text[0] != ';') {
        prompt.Message("Not parsed:\r\n" + rec.text, "", platform::PromptIcon::Warning);
        ++f.notParsed;
      }
      continue;
    }
    const int band = log::BandOf(r.frequency);
    const int cls = log::ModeClassOf(r.mode);
    if (band < 0 || cls < 0) continue;
    const bool dupe = worked.IsWorked(r.call, band, cls);
    worked.AddWorked(r.call, band, cls);
    const callinfo::TallyResult t =
        tally.TallyContact(table, r.call, r.frequency, r.mode, r.exchangeReceived, tc);
    const int points = dupe ? 0
                            : QsoPoints(n, mine, ScoreStationOf(table, r.call), r.call, band,
                                        setup.singleBand, cls == 0);

    const int metres = log::kBands[static_cast<size_t>(band)].metres;
    std::string line;
    if (PutsModeFirst(n))
      line = Fmt(" %-4s %3im %15s %-12s %s %s\n", r.mode.c_str(), metres,
                 DateTimeColumn(r.when).c_str(), r.call.c_str(), ExchangeColumns(n, r).c_str(),
                 MultiplierColumns(n, t, points).c_str());
    else
      line = Fmt(" %3im %15s %-12s %s %s\n", metres, DateTimeColumn(r.when).c_str(), r.call.c_str(),
                 ExchangeColumns(n, r).c_str(), MultiplierColumns(n, t, points).c_str());

    if (f.qsos % 50 == 0 && layout != nullptr && layout->title != nullptr) {
      f.log += layout->title + setup.myCall + "\n\n\n";
      f.log += layout->header;
      f.log += layout->dashes;
    }
    f.log += line;
    ++f.qsos;
    if (f.qsos % 50 == 0)
      f.log += "\f";
    else if (f.qsos % 10 == 0)
      f.log += "\n";
    if (f.qsos % 10 == 0 && progress) progress(Fmt("QSO's processed: %i", f.qsos));

    if (dupe) {
      if (f.dupes % 50 == 0) {
        f.dup += " Dupes      " + setup.myCall + "\n\n\n";
        f.dup += " Mode Band    Date     Time  Call worked  SentExchg RcvdExchg Mult   Pts\n";
        f.dup += " ---- ---- ----------- ----- ------------ --------- --------- ------ ---\n";
      }
      f.dup += line;
      ++f.dupes;
      if (f.dupes % 50 == 0)
        f.dup += "\f";
      else if (f.dupes % 10 == 0)
        f.dup += "\n";
    }
  }

  f.wpx = " WPX list   " + setup.myCall + "\n\n";
  for (size_t i = 0; i < tally.prefixes.size(); ++i) {
    f.wpx += Fmt("%-8s", tally.prefixes[i].c_str());
    if ((i + 1) % 10 == 0) f.wpx += "\n";
  }
  f.wpx += "\n\n";
  f.wpx += Fmt("Total: %i prefixes\n\f", static_cast<int>(tally.prefixes.size()));

  f.score = ContestScoreText(n, setup.singleBand, worked, tally, table, setup.myCall);
  f.sum = SummaryTitle(n);
  const PersonalData& p = setup.personal;
  f.sum += "   Callsign used : " + setup.myCall + "\n\n";
  f.sum += "        Category : " + setup.category + "\n\n";
  f.sum += "            Name : " + p.name + "\n\n";
  f.sum += "         Address : " + p.address + "\n\n";
  f.sum += "             ZIP : " + p.zip + "\n\n";
  f.sum += "           Email : " + p.email + "\n\n";
  f.sum += "      Country    : " + p.country + "\n\n";
  f.sum += f.score;
  f.sum +=
      "\n\n\nI have observed all competition rules as well as all regulations established\nfor "
      "amateur radio in my country.  My report is correct and true to the best\nof my "
      "knowledge.  I agree to be bound by the decisions of the Awards Committee\n\n\n\n";
  const log::QsoTime now = log::QsoTimeFromEpoch(setup.nowUtc, true);
  f.sum += Fmt("Date :  %02d/%s/%04d  Signed _______________ Call ___________\n\f", now.day,
               log::MonthAbbrev(now.month), now.year);
  return f;
}

int OpenContestLog(const std::string& workDir, const ReportSetup& setup, platform::Prompt& prompt,
                   std::string& dir, std::string& bytes) {
  if (ContestNumberOf(setup.contest) < 0) {
    prompt.Message("No contest chosen", "Error", platform::PromptIcon::Error);
    return kReportNoContest;
  }
  dir = workDir.empty() || workDir.back() == '/' ? workDir : workDir + "/";
  if (log::ReadLogBytes(dir + log::kLogFileName, bytes) != log::kLogOk) {
    prompt.Message("Can't open log file", "Error", platform::PromptIcon::Error);
    return kReportNoLog;
  }
  return kReportOk;
}

int CreateContestReport(const std::string& workDir, const ReportSetup& setup,
                        callinfo::CountryTable& table, platform::Prompt& prompt,
                        const std::function<void(const std::string&)>& progress, ReportFiles* out) {
  std::string dir, bytes;
  if (const int rc = OpenContestLog(workDir, setup, prompt, dir, bytes); rc != kReportOk) return rc;
  log::WorkedTable worked;
  callinfo::MultiplierTally tally;
  ReportFiles f = BuildContestReport(bytes, setup, table, prompt, progress, worked, tally);
  const std::string base = ReportBaseName(setup.myCall);
  const std::pair<const char*, const std::string*> files[] = {
      {".log", &f.log}, {".dup", &f.dup}, {".wpx", &f.wpx}, {".sum", &f.sum}};
  int rc = kReportOk;
  for (const auto& [ext, text] : files) {
    const std::string name = base + ext;
    if (log::WriteFileAtomic(dir + name, *text) != log::kLogOk) {
      prompt.Message("(" + name + ")", "Error", platform::PromptIcon::Error);
      rc = kReportWriteFailed;
      break;
    }
  }
  if (out) *out = std::move(f);
  return rc;
}

}  // namespace vexa::contest
