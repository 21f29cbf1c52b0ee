#include "contest/cabrillo.h"

#include <cstdio>
#include <cstdlib>

#include "contest/contest_catalogue.h"
#include "log/band_table.h"
#include "log/log_file.h"
#include "log/qso_record.h"

namespace vexa::contest {
namespace {

// Contest number -> the name in the robots' and ADIF's contest lists. The CCCC PSK31 contest
// is in neither list; its name follows their pattern.
constexpr const char* kRobotNames[kContestCount] = {
    "CCCC-PSK31",  "CQ-WW-RTTY", "TARA-RUMBLE",     "BARTG-SPRINT", "JARTS-WW-RTTY",
    "CQ-WW-SSB",   "CQ-WW-CW",   "DARC-WAEDC-RTTY", "ARRL-10",      "ARRL-RTTY",
    "CQ-WPX-RTTY", "ARRL-DX-CW", "UKR-CHAMP-RTTY",  "BARTG-RTTY"};

// Older names still found in logs (our own earlier exports among them), read as these contests.
struct RobotAlias {
  const char* robot;
  int contest;
};
constexpr RobotAlias kRobotAliases[] = {{"WAEDC", kWae}, {"UR-DX", kUkrainian}};

bool Has(std::string_view text, std::string_view part) {
  return log::ContainsNoCase(text, part);
}

std::string SplitExchange(int contest, const std::string& ex) {
  if (contest != kCqWwRtty) return ex;
  std::string out = ex;
  const size_t dash = out.find('-');
  if (dash != std::string::npos) out[dash] = ' ';
  return out;
}

}  // namespace

std::string RobotContestName(std::string_view name) {
  const int n = ContestNumberOf(name);
  return n < 0 ? std::string() : kRobotNames[n];
}

std::string ContestNameOfRobotName(std::string_view robot) {
  const std::string up = log::ToUpper(robot);
  for (int n = 0; n < kContestCount; ++n)
    if (up == kRobotNames[n]) return Contests()[static_cast<size_t>(n)].name;
  for (const RobotAlias& a : kRobotAliases)
    if (up == a.robot) return Contests()[static_cast<size_t>(a.contest)].name;
  return {};
}

log::ContestIds AdifContestIds() {
  log::ContestIds ids;
  ids.toId = [](std::string_view name) {
    std::string id = RobotContestName(name);
    return id.empty() ? std::string(name) : id;
  };
  ids.toName = [](std::string_view id) { return ContestNameOfRobotName(id); };
  return ids;
}

std::string CabrilloMode(std::string_view code) {
  std::string c(code);
  while (!c.empty() && c.back() == ' ') c.pop_back();
  if (c == "CW") return "CW";
  if (c == "SSB") return "PH";
  if (c == "FM") return "FM";
  if (c == "RTTY" || c == "MTTY") return "RY";
  return "DG";
}

std::string CabrilloCategoryLines(std::string_view contestName, std::string_view cat,
                                  int singleBand) {
  const int n = ContestNumberOf(contestName);
  const bool swl = Has(cat, "SWL");
  const bool multi = Has(cat, "Multi") || Has(cat, "Milti");
  std::string out;
  out += std::string("CATEGORY-OPERATOR: ") +
         (swl     ? "CHECKLOG"
          : multi ? "MULTI-OP"
                  : "SINGLE-OP") +
         "\r\n";
  out += std::string("CATEGORY-ASSISTED: ") + (Has(cat, "Assisted") ? "ASSISTED" : "NON-ASSISTED") +
         "\r\n";
  out += "CATEGORY-BAND: " +
         (singleBand >= 0 && singleBand < log::kBandCount
              ? std::to_string(log::kBands[static_cast<size_t>(singleBand)].metres) + "M"
              : std::string("ALL")) +
         "\r\n";
  const char* power = "HIGH";
  if (Has(cat, "QRP") || Has(cat, " 5 watts"))
    power = "QRP";
  else if (Has(cat, "High"))
    power = "HIGH";
  else if (Has(cat, "Low") || Has(cat, "watts"))
    power = "LOW";
  out += std::string("CATEGORY-POWER: ") + power + "\r\n";
  const char* mode = "RTTY";
  if (n == kCqWwCw || n == kArrlCw)
    mode = "CW";
  else if (n == kCqWwSsb)
    mode = "SSB";
  else if (n == kCccc || n == kTara)
    mode = "DIGI";
  else if (n == kArrl10)
    mode = Has(cat, "PHONE") ? "SSB" : Has(cat, ", CW") ? "CW" : "MIXED";
  out += std::string("CATEGORY-MODE: ") + mode + "\r\n";
  const char* tx = "ONE";
  if (multi) {
    if (Has(cat, "Two Tx"))
      tx = "TWO";
    else if (Has(cat, "Multi Tx") || Has(cat, "Multi-Transmitter") || Has(cat, "Multi Transmitter"))
      tx = "UNLIMITED";
  }
  out += std::string("CATEGORY-TRANSMITTER: ") + tx + "\r\n";
  return out;
}

long ClaimedScore(std::string_view text) {
  const size_t eq = text.rfind("= ");
  if (eq == std::string_view::npos) return 0;
  return std::strtol(std::string(text.substr(eq + 2, 20)).c_str(), nullptr, 10);
}

std::string BuildCabrillo(std::string_view logBytes, const ReportSetup& setup,
                          callinfo::CountryTable& table, platform::Prompt& prompt) {
  log::WorkedTable worked;
  callinfo::MultiplierTally tally;
  const ReportFiles report = BuildContestReport(logBytes, setup, table, prompt, {}, worked, tally);
  const int n = ContestNumberOf(setup.contest);
  std::string out = "START-OF-LOG: 3.0\r\n";
  const std::string robot = RobotContestName(setup.contest);
  out += "CONTEST: " + (robot.empty() ? setup.contest : robot) + "\r\n";
  out += "CALLSIGN: " + setup.myCall + "\r\n";
  out += CabrilloCategoryLines(setup.contest, setup.category, setup.singleBand);
  out += "CLAIMED-SCORE: " + std::to_string(ClaimedScore(report.score)) + "\r\n";
  out += "CREATED-BY: Vexa\r\n";
  const PersonalData& p = setup.personal;
  if (!p.name.empty()) out += "NAME: " + p.name + "\r\n";
  if (!p.address.empty()) out += "ADDRESS: " + p.address + "\r\n";
  if (!p.zip.empty()) out += "ADDRESS-POSTALCODE: " + p.zip + "\r\n";
  if (!p.country.empty()) out += "ADDRESS-COUNTRY: " + p.country + "\r\n";
  if (!p.email.empty()) out += "EMAIL: " + p.email + "\r\n";

  const std::string tag = " [" + setup.contest + "]";
  platform::FixedPrompt quiet;  // the report pass above has shown the damaged records
  for (const log::LogFileRecord& rec : log::SplitLogRecords(logBytes)) {
    if (rec.text.find(tag) == std::string::npos) continue;
    log::QsoRecord r;
    if (log::ParseQsoText(rec.text, r) != log::kQsoOk) continue;
    if (log::BandOf(r.frequency) < 0 || log::ModeClassOf(r.mode) < 0) continue;
    char line[192];
    std::snprintf(line, sizeof line,
                  "QSO: %5d %-2s %04d-%02d-%02d %02d%02d %-13s %-3s %-6s %-13s %-3s %-6s\r\n",
                  r.frequency / 1000, CabrilloMode(r.mode).c_str(), r.when.year, r.when.month,
                  r.when.day, r.when.hour, r.when.minute, setup.myCall.c_str(), r.rstSent.c_str(),
                  SplitExchange(n, r.exchangeSent).c_str(), r.call.c_str(), r.rstReceived.c_str(),
                  SplitExchange(n, r.exchangeReceived).c_str());
    out += line;
  }
  out += "END-OF-LOG:\r\n";
  return out;
}

int ExportCabrillo(const std::string& workDir, const ReportSetup& setup,
                   callinfo::CountryTable& table, platform::Prompt& prompt, std::string* fileName) {
  std::string dir, bytes;
  if (const int rc = OpenContestLog(workDir, setup, prompt, dir, bytes); rc != kReportOk) return rc;
  const std::string name = ReportBaseName(setup.myCall) + ".cbr";
  if (fileName) *fileName = name;
  if (log::WriteFileAtomic(dir + name, BuildCabrillo(bytes, setup, table, prompt)) != log::kLogOk) {
    prompt.Message("(" + name + ")", "Error", platform::PromptIcon::Error);
    return kReportWriteFailed;
  }
  return kReportOk;
}

}  // namespace vexa::contest
