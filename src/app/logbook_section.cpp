#include "app/logbook_section.h"

#include <ctime>
#include <filesystem>

#include "app/settings_table.h"
#include "callinfo/country_info.h"
#include "contest/cabrillo.h"
#include "contest/contest_catalogue.h"
#include "contest/contest_score.h"
#include "log/log_export.h"
#include "log/log_file.h"

namespace vexa::app {
namespace {

// Collects the messages of start-up work instead of stopping it with a dialog.
class NoticeCollector final : public platform::Prompt {
 public:
  void Message(std::string_view text, std::string_view, platform::PromptIcon) override {
    if (!notice.empty()) notice += "  ";
    notice += text;
  }
  platform::PromptAnswer Ask(std::string_view, std::string_view, platform::PromptButtons,
                             platform::PromptIcon) override {
    return platform::PromptAnswer::No;
  }
  std::string notice;
};

}  // namespace

void LogbookSettings::Load(const platform::SettingsStore& s) {
  auto text = [&](const char* sec, const char* key) {
    return s.ReadSettingText(sec, key, DefaultText(*FindSetting(sec, key), s));
  };
  auto num = [&](const char* sec, const char* key) { return ReadIntSetting(s, sec, key); };
  myName = text("Station", "MyName");
  myQth = text("Station", "MyQth");
  myLatitude = std::strtod(text("Station", "MyLatitude").c_str(), nullptr);
  myLongitude = std::strtod(text("Station", "MyLongitude").c_str(), nullptr);
  contestName = text("Contest", "Name");
  singleBandIdx = num("Contest", "SingleBandIdx");
  contestClass = num("Contest", "Class");
  qrzCd = text("Misc", "QrzCd");
  if (!qrzCd.empty() && qrzCd.back() != '/' && qrzCd.back() != '\\') qrzCd += '/';
}

LogbookSection::LogbookSection(StationContext& ctx) : ctx_(ctx) {
  platform::Prompt* prompt = ctx_.prompt();
  entry_ = std::make_unique<log::QsoEntry>(
      ctx_.config.paths.workDir.empty() ? std::string()
                                        : ctx_.config.paths.WorkFile(log::kLogFileName),
      prompt != nullptr ? *prompt : silentPrompt_,
      [] { return static_cast<int64_t>(std::time(nullptr)); }, static_cast<log::QsoSink*>(this));
}

LogbookSection::~LogbookSection() = default;

void LogbookSection::OnInitStep(int step) {
  switch (step) {
    case 11:
      settings_.Load(ctx_.store());
      entry_->contest.name = settings_.contestName;
      break;
    case 13:
      LoadCountries();
      break;
    case 17:
      ScanLog();
      break;
    case 19:
      PlaceOwnStation();
      SetUpContest();
      break;
    default:
      break;
  }
}

void LogbookSection::OnSetupApplied() {
  settings_.Load(ctx_.store());
  PlaceOwnStation();  // the callsign or the position may be new
}

void LogbookSection::LoadCountries() {
  const std::string& dir = ctx_.config.paths.workDir;
  if (dir.empty()) return;
  NoticeCollector notes;
  (void)callinfo::LoadCountryFileWithHint(countries_, dir, notes);
  for (auto& c : notes.notice)
    if (c == '\r' || c == '\n') c = ' ';
  if (!notes.notice.empty()) ctx_.bus.Notice(notes.notice);
  // What was worked in earlier runs; the scan then adds the recent contacts.
  tally_.Reset(countries_.size());
  const std::string worked = ctx_.config.paths.WorkFile(callinfo::kWorkedFileName);
  std::error_code ec;
  workedFileFound_ = std::filesystem::exists(worked, ec);
  (void)tally_.LoadWorkedFile(worked, countries_);
  tablesReady_ = countries_.size() > 0;
}

void LogbookSection::ScanLog() {
  const std::string& dir = ctx_.config.paths.workDir;
  if (dir.empty()) return;
  log::LogScanOptions o;
  o.contestName = settings_.contestName;
  o.nowUtc = static_cast<int64_t>(std::time(nullptr));
  // Without a worked file (a first run, or one that was lost) the whole log is tallied, so the
  // tables do not start from the last eight days only.
  o.fullScan = !workedFileFound_;
  if (log::ScanLogFile(ctx_.config.paths.WorkFile(log::kLogFileName), o, *this, logScan_) ==
          log::kLogOk &&
      logScan_.errorCount > 0) {
    ctx_.bus.Notice(std::to_string(logScan_.errorCount) +
                    " log lines do not parse (vexa-cli log check)");
  }
  entry_->qsoTotal = logScan_.qsoTotal;
  entry_->serialCounter = logScan_.serialCounter;
}

void LogbookSection::PlaceOwnStation() {
  myLat_ = settings_.myLatitude;
  myLon_ = settings_.myLongitude;
  callinfo::CountryInfo own;
  if ((myLat_ == 0 && myLon_ == 0) &&
      countries_.LookupCountry(ctx_.members.myCall.value, &own) >= 0) {
    myLat_ = own.latitude;
    myLon_ = own.longitude;
  }
  countries_.SetStationPosition(myLat_, myLon_);
}

// In a contest the stamp asks the exchange by the contest's rules, and the exchange kind decides
// whether the own serial number counts on.
void LogbookSection::SetUpContest() {
  if (settings_.contestName.empty()) return;
  platform::Prompt* prompt = ctx_.prompt();
  exchange_ = std::make_unique<contest::ContestExchange>(
      prompt != nullptr ? *prompt : silentPrompt_, countries_,
      contest::OwnStation{ctx_.members.myCall.value, settings_.myName},
      [] { return static_cast<int64_t>(std::time(nullptr)); });
  entry_->contest.serialNumbers =
      contest::ContestKind(settings_.contestName, exchange_->ownPrefix()) == 1;
  entry_->askExchange = [this](log::QsoEntry& e) { exchange_->Stamp(e); };
}

contest::ReportSetup LogbookSection::ContestSetup() const {
  contest::ReportSetup s;
  s.contest = settings_.contestName;
  const auto& cats = contest::Categories(s.contest);
  if (settings_.contestClass >= 0 && settings_.contestClass < static_cast<int>(cats.size()))
    s.category = cats[static_cast<size_t>(settings_.contestClass)];
  s.singleBand = settings_.singleBandIdx;
  s.myCall = ctx_.members.myCall.value;
  s.personal.name = settings_.myName;
  s.personal.address = settings_.myQth;
  s.nowUtc = static_cast<int64_t>(std::time(nullptr));
  return s;
}

std::string LogbookSection::ContestScore() {
  const contest::ReportSetup s = ContestSetup();
  if (contest::ContestNumberOf(s.contest) < 0 || ctx_.config.paths.workDir.empty()) return {};
  std::string bytes;
  if (log::ReadLogBytes(ctx_.config.paths.WorkFile(log::kLogFileName), bytes) != log::kLogOk)
    return {};
  platform::FixedPrompt quiet;  // damaged records are the report's business
  log::WorkedTable worked;
  callinfo::MultiplierTally tally;
  return contest::BuildContestReport(bytes, s, countries_, quiet, {}, worked, tally).score;
}

int LogbookSection::CreateContestReport(const std::function<void(const std::string&)>& progress) {
  platform::Prompt& prompt = ctx_.prompt() != nullptr ? *ctx_.prompt() : silentPrompt_;
  return contest::CreateContestReport(ctx_.config.paths.workDir, ContestSetup(), countries_, prompt,
                                      progress);
}

bool LogbookSection::ChooseContest(const std::string& name, int categoryIndex) {
  if (!name.empty() && contest::ContestNumberOf(name) < 0) return false;
  const auto& cats = contest::Categories(name);
  if (categoryIndex < 0 || categoryIndex >= static_cast<int>(cats.size())) categoryIndex = 0;
  settings_.contestName = name;
  settings_.contestClass = categoryIndex;
  settings_.singleBandIdx =
      cats.empty() ? -1 : contest::SingleBandOfCategory(cats[static_cast<size_t>(categoryIndex)]);
  auto& store = ctx_.store();
  int failed = 0;
  failed += store.WriteSettingText("Contest", "Name", name) != 0;
  failed += store.WriteSettingInt("Contest", "Class", settings_.contestClass) != 0;
  failed += store.WriteSettingInt("Contest", "SingleBandIdx", settings_.singleBandIdx) != 0;
  if (failed > 0) ctx_.bus.Notice("The contest could not be stored: " + store.lastError());
  entry_->contest.name = name;
  entry_->contest.serialNumbers = false;
  entry_->askExchange = nullptr;
  exchange_.reset();
  SetUpContest();
  return true;
}

int LogbookSection::ExportCabrillo() {
  platform::Prompt& prompt = ctx_.prompt() != nullptr ? *ctx_.prompt() : silentPrompt_;
  return contest::ExportCabrillo(ctx_.config.paths.workDir, ContestSetup(), countries_, prompt);
}

void LogbookSection::TallyQso(const log::QsoRecord& r) {
  if (!tablesReady_) return;
  const callinfo::TallyContest contest{settings_.contestName, settings_.singleBandIdx};
  tally_.TallyContact(countries_, r.call, r.frequency, r.mode, r.exchangeReceived, contest);
}

void LogbookSection::WorkedQso(const log::QsoRecord& r, int band, int modeClass) {
  worked_.AddWorked(r.call, band, modeClass);
}

int LogbookSection::SaveEntry() {
  const int r = entry_->SaveQso();
  if (r == log::kSaveOk) ++logScan_.qsoTotal;
  return r;
}

bool LogbookSection::entryUnsaved() const {
  return (entry_->state & log::kEntryTyped) != 0 && !entry_->text.empty();
}

bool LogbookSection::OnCommand(int command) {
  if (command != kCmdExportCsv && command != kCmdExportAdif) return false;
  if (ctx_.prompt() != nullptr && !ctx_.config.paths.workDir.empty()) {
    const std::string& dir = ctx_.config.paths.workDir;
    (void)(command == kCmdExportAdif ? log::ExportAdif(dir, *ctx_.prompt())
                                     : log::ExportCsv(dir, *ctx_.prompt()));
  }
  return true;
}

bool LogbookSection::OnCloseRequested() {
  if (!entryUnsaved() || ctx_.prompt() == nullptr) return true;
  const auto a =
      ctx_.prompt()->Ask("Text is not saved!\r\nSave?", "", platform::PromptButtons::YesNoCancel,
                         platform::PromptIcon::Question);
  if (a == platform::PromptAnswer::Cancel) return false;
  if (a == platform::PromptAnswer::Yes) (void)SaveEntry();
  return true;
}

int LogbookSection::SaveWorkedFile() const {
  if (!tablesReady_ || ctx_.config.paths.workDir.empty()) return 0;
  return tally_.SaveWorkedFile(ctx_.config.paths.WorkFile(callinfo::kWorkedFileName), countries_);
}

void LogbookSection::OnDestroy() {
  if (SaveWorkedFile() != 0) ctx_.trace.TraceLine("qcty.dat not written\n");
}

}  // namespace vexa::app
