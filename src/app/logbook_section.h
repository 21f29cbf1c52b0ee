#pragma once
// The logbook section: the country database, the log scan at start-up with its statistics, the
// worked table and the multiplier tally (kept between runs in "qcty.dat"), the operator's own
// position, the QSO entry line of the window with its closing question, and the exports.
#include <functional>
#include <memory>
#include <string>

#include "app/section.h"
#include "app/station_context.h"
#include "callinfo/country_table.h"
#include "callinfo/multiplier_tally.h"
#include "contest/contest_exchange.h"
#include "contest/contest_report.h"
#include "log/log_scan.h"
#include "log/qso_entry.h"
#include "log/worked_table.h"

namespace vexa::app {

// The station and contest settings read at initialisation (step 11).
struct LogbookSettings {
  std::string myName, myQth;
  double myLatitude = 0, myLongitude = 0;
  std::string contestName;
  int singleBandIdx = -1;
  int contestClass = 0;  // the category's index in the contest's list
  std::string qrzCd;     // the callbook folder, with a trailing '/' when not empty

  void Load(const platform::SettingsStore& store);
};

class LogbookSection final : public Section, private log::QsoSink {
 public:
  explicit LogbookSection(StationContext& ctx);
  ~LogbookSection() override;

  const char* name() const override { return "logbook"; }
  void OnInitStep(int step) override;
  void OnSetupApplied() override;
  void OnModeChange(Mode mode) override { entry_->mode = mode; }
  bool OnCommand(int command) override;
  bool OnCloseRequested() override;
  void OnDestroy() override;

  // --- The QSO entry line ---
  log::QsoEntry& entry() { return *entry_; }
  // Replaces the entry text as typing does.
  void TypeEntry(const std::string& text) { entry_->Type(text); }
  // Saves the entry to the log (a log::SaveResult).
  [[nodiscard]] int SaveEntry();
  // Text typed since the last save.
  bool entryUnsaved() const;

  // --- Tables ---
  callinfo::CountryTable& countries() { return countries_; }
  callinfo::MultiplierTally& tally() { return tally_; }
  const log::WorkedTable& worked() const { return worked_; }
  const log::LogScanResult& logScan() const { return logScan_; }
  // The operator's position (from the own call's country, else the settings), degrees.
  double myLatitude() const { return myLat_; }
  double myLongitude() const { return myLon_; }
  // Writes "qcty.dat" now (also done at exit). 0 or the log file error.
  [[nodiscard]] int SaveWorkedFile() const;
  const LogbookSettings& settings() const { return settings_; }

  // --- The chosen contest ---
  // The report setup of the chosen contest and category (contest "" when none is chosen).
  contest::ReportSetup ContestSetup() const;
  // The score table of the chosen contest over the contest's records of the log ("" when no
  // contest is chosen or the log cannot be read).
  std::string ContestScore();
  // The report files and the Cabrillo log of the chosen contest (a contest::ReportError).
  [[nodiscard]] int CreateContestReport(const std::function<void(const std::string&)>& progress);
  [[nodiscard]] int ExportCabrillo();
  // The Contest dialog's choice, written at once: the contest ("" leaves contest mode) and the
  // category's index in its list; a single-band category sets the band. False for a contest
  // the catalogue does not know (nothing changes).
  bool ChooseContest(const std::string& name, int categoryIndex);

 private:
  // QsoSink: every contact of the scan and of a save enters the tables.
  void TallyQso(const log::QsoRecord& r) override;
  void WorkedQso(const log::QsoRecord& r, int band, int modeClass) override;
  void LoadCountries();
  void ScanLog();
  void PlaceOwnStation();
  void SetUpContest();

  StationContext& ctx_;
  LogbookSettings settings_;
  callinfo::CountryTable countries_;
  callinfo::MultiplierTally tally_;
  log::WorkedTable worked_;
  log::LogScanResult logScan_;
  platform::FixedPrompt silentPrompt_;  // when the core has no prompt
  std::unique_ptr<log::QsoEntry> entry_;
  std::unique_ptr<contest::ContestExchange> exchange_;
  bool tablesReady_ = false;  // the tally was sized for the country file and read from disk
  bool workedFileFound_ = false;
  double myLat_ = 0, myLon_ = 0;
};

}  // namespace vexa::app
