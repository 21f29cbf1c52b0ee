#include "app/console_section.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "app/logbook_section.h"
#include "app/receive_section.h"
#include "app/rig_section.h"
#include "app/settings_table.h"
#include "app/transmit_section.h"
#include "callinfo/beam.h"
#include "callinfo/call_areas.h"
#include "callinfo/multiplier_tally.h"
#include "contest/contest_catalogue.h"
#include "log/band_table.h"
#include "log/log_edit.h"
#include "log/log_file.h"

namespace vexa::app {

ConsoleSection::ConsoleSection(StationContext& ctx, ReceiveSection& rx, TransmitSection& tx,
                               LogbookSection& logbook, RigSection& rig)
    : ctx_(ctx), rx_(rx), tx_(tx), logbook_(logbook), rig_(rig) {
  utc_ = [] { return static_cast<int64_t>(std::time(nullptr)); };
  LoadKeys();
  const std::string& work = ctx_.config.paths.workDir;
  platform::Prompt* prompt = ctx_.prompt();
  qtc_ = std::make_unique<contest::QtcWindow>(
      prompt != nullptr ? *prompt : noPrompt_,
      work.empty() ? std::string(contest::kQtcFileName) : work + "/" + contest::kQtcFileName,
      [this](std::string_view call) {
        callinfo::CountryInfo info;
        return logbook_.countries().LookupCountry(call, &info) >= 0 ? info.continent
                                                                    : std::string();
      },
      [this] { return utc_(); });
}

std::string ConsoleSection::StoreKey(int key) {
  switch (key) {
    case console::kKeyAutoCq:
      return "AutoCq";
    case console::kKeyIns:
      return "Ins";
    case console::kKeyGrayPlus:
      return "GrayPlus";
    default:
      return console::KeyName(key);
  }
}

console::KeyTable ReadKeyTable(const platform::SettingsStore& s) {
  auto text = [&](const std::string& key) {
    const SettingDef* def = FindSetting("Keyboard", key);
    return def != nullptr ? CurrentValueText(*def, s) : std::string();
  };
  console::KeyTable keys;
  for (int k = 0; k < console::kKeyCount; ++k) {
    keys.texts[static_cast<size_t>(k)] = text(console::KeyName(k));
    keys.captions[static_cast<size_t>(k)] = text(console::KeyName(k) + " Caption");
  }
  keys.insText = text("Ins");
  keys.grayPlusText = text("GrayPlus");
  keys.autoCqText = text("AutoCq");
  keys.autoCqDelaySeconds = ReadIntSetting(s, "Keyboard", "AutoCqDelay");
  return keys;
}

std::string FrequencyText(int64_t hz) {
  if (hz < 0) hz = 0;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%i.%03i.%03i", static_cast<int>(hz / 1000000),
                static_cast<int>(hz / 1000 % 1000), static_cast<int>(hz % 1000));
  return buf;
}

std::string BandText(int64_t hz) {
  const int band = log::BandOf(static_cast<int32_t>(hz));
  return band < 0 ? std::string()
                  : std::to_string(log::kBands[static_cast<size_t>(band)].metres) + "m";
}

void ConsoleSection::LoadKeys() {
  console_.keys() = ReadKeyTable(ctx_.store());
  console_.autoCq().SetListenSeconds(console_.keys().autoCqDelaySeconds);
}

void ConsoleSection::OnInitStep(int step) {
  if (step != 11) return;
  LoadKeys();
  scan_.SetOwnCall(ctx_.members.myCall.value);
  scan_.SetRegionTest([](std::string_view w) {
    return (w.size() == 2 && callinfo::StateIndex(w) >= 0) || callinfo::ProvinceIndex(w) >= 0;
  });
  if (!ctx_.config.paths.workDir.empty())
    (void)scan_.LoadNames(ctx_.config.paths.WorkFile("names.dat"));
  ReloadLogView();
}

void ConsoleSection::ReloadLogView() {
  logView_.Clear();
  const std::string& path = logbook_.entry().logPath();
  std::string bytes;
  rate_.Clear();
  contestTotal_ = 0;
  const std::string& contestName = logbook_.entry().contest.name;
  const std::string tag = "[" + contestName + "]";
  log::WorkedTable contestWorked;
  if (path.empty() || log::ReadLogBytes(path, bytes) != log::kLogOk) {
    UpdateContestLines();
    return;
  }
  for (const log::LogFileRecord& rec : log::SplitLogRecords(bytes)) {
    log::QsoRecord r;
    if (log::ParseQsoText(rec.text, r) != log::kQsoOk) continue;
    logView_.ShowQso(r);
    if (!contestName.empty() && r.comment.find(tag) != std::string::npos) {
      if (r.when.valid()) rate_.AddStamp(r.when.SecondsSinceEpoch());
      contestWorked.AddWorked(r.call, log::BandOf(r.frequency), log::ModeClassOf(r.mode));
    }
    if (r.when.valid()) {
      int64_t& last = lastQso_[r.call];
      last = std::max(last, r.when.SecondsSinceEpoch());
    }
  }
  contestTotal_ = contest::ContestQsoCount(contest::ContestNumberOf(contestName), contestWorked);
  UpdateContestLines();
}

void ConsoleSection::UpdateContestLines() {
  contestLines_ = logbook_.entry().contest.active()
                      ? contest::QsoRateLines(contestTotal_, rate_.RatePerHour(utc_()))
                      : std::string();
}

int ConsoleSection::DeleteLogRow(int row) {
  if (row < 0 || row >= logView_.RowCount()) return log::kLogNotFound;
  platform::Prompt* prompt = ctx_.prompt();
  int total = logbook_.logScan().qsoTotal;
  return log::DeleteLoggedQso(logbook_.entry().logPath(), logView_.Row(row), true,
                              prompt != nullptr ? *prompt : noPrompt_, logView_, total);
}

int ConsoleSection::EditLogRow(int row, const std::string& recordText) {
  if (row < 0 || row >= logView_.RowCount()) return log::kLogNotFound;
  log::QsoRecord edited;
  if (log::ParseQsoText(recordText, edited) != log::kQsoOk) return -1;
  platform::Prompt* prompt = ctx_.prompt();
  const log::QsoRecord old = logView_.Row(row);
  return log::EditLoggedQso(logbook_.entry().logPath(), old, edited, logbook_.entry().contest.name,
                            prompt != nullptr ? *prompt : noPrompt_, logView_);
}

std::string ConsoleSection::LogRowText(int row) const {
  if (row < 0 || row >= logView_.RowCount()) return {};
  return log::FormatEditedRecord(logView_.Row(row), logbook_.entry().contest.name);
}

void ConsoleSection::OnReceivedLine(std::string_view line) {
  if (mode_ == Mode::Ax25Tx) return;
  const int64_t hz = rig_.operatingHz();
  const bool jarts = logbook_.entry().contest.name == "JARTS RTTY";
  for (char c : line) scan_.Feed(static_cast<uint8_t>(c), mode_, hz, jarts);
  scan_.Feed('\r', mode_, hz, jarts);
  console::ScanFindings& f = scan_.findings();
  lastReceivedCall_ = f.lastCall;
  log::QsoEntry& e = logbook_.entry();
  if (!f.zone.empty() && e.zone.empty()) e.zone = f.zone;
  if (!f.receivedExchange.empty() && e.receivedExchange.empty())
    e.receivedExchange = f.receivedExchange;
  if (!f.state.empty() && e.stateProvince.empty()) e.stateProvince = f.state;
}

namespace {

// The first word of the entry box's current (last) line.
std::string EntryCall(const std::string& text) {
  size_t start = text.find_last_of("\r\n");
  start = start == std::string::npos ? 0 : start + 1;
  const size_t a = text.find_first_not_of(' ', start);
  if (a == std::string::npos) return {};
  const size_t b = text.find(' ', a);
  return text.substr(a, b == std::string::npos ? std::string::npos : b - a);
}

}  // namespace

void ConsoleSection::AnalyseCall(const std::string& rawCall) {
  std::string call = rawCall;
  for (char& c : call) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (call != analysedCall_) callbookText_.clear();
  analysedCall_ = call;
  alert_.clear();
  countryLine_.clear();
  beam_ = {};
  if (call.empty()) return;

  callinfo::CountryInfo info;
  const int country = logbook_.countries().LookupCountry(call, &info);
  const int band = log::BandOf(static_cast<int32_t>(rig_.operatingHz()));
  const int cls = log::ModeClassOf(ModeName(mode_));

  if (country >= 0) {
    callinfo::BeamSides sides;
    const std::string bearing =
        callinfo::BeamText(logbook_.myLatitude(), logbook_.myLongitude(), info.latitude,
                           info.longitude, callinfo::kBeamShortBearing, &sides);
    // Short path = long path turned half round; the radius grows with the central angle.
    const double r = 64.0 * -sides.distanceOverMinusPi;
    beam_.line = true;
    beam_.endX = 64.5 - sides.longPathSin * r;
    beam_.endY = 64.5 + sides.longPathCos * r;
    char cq[8], itu[8];
    std::snprintf(cq, sizeof cq, "%i", info.cqZone);
    std::snprintf(itu, sizeof itu, "%i", info.ituZone);
    beam_.label = " " + info.primaryPrefix + "\n" + info.continent + "-" + cq + "-" + itu + "\n" +
                  bearing + "\xC2\xB0";
    if (beam_.endY < 64) {
      beam_.labelTop = 68;
      beam_.labelBottom = 118;
    }
    countryLine_ = info.primaryPrefix + "  " + info.name + "  CQ " + cq + "  ITU " + itu + "  " +
                   bearing + "\xC2\xB0";
  }

  console::CallAlertInput in;
  const log::WorkedTable& worked = logbook_.worked();
  if (worked.Find(call) != nullptr)
    in.worked = band >= 0 && cls >= 0 && worked.IsWorked(call, band, cls)
                    ? console::kWorkedHere
                    : console::kWorkedElsewhere;
  in.modeClass = cls < 0 ? 0 : cls;
  in.nowUtc = utc_();
  if (auto it = lastQso_.find(call); it != lastQso_.end()) {
    in.lastQsoKnown = true;
    in.lastQsoUtc = it->second;
  }
  const log::QsoEntry& e = logbook_.entry();
  const callinfo::MultiplierTally& tally = logbook_.tally();
  in.contest = e.contest.active();
  if (country >= 0 && band >= 0) {
    const int region = callinfo::RegionOf(call, info.primaryPrefix);
    if (region >= 0 && region < callinfo::kRegionCount) {
      in.hasRegion = true;
      in.regionWorked = (tally.regions[static_cast<size_t>(region)][static_cast<size_t>(band)] &
                         (1u << in.modeClass)) != 0;
    }
    if (static_cast<size_t>(country) < tally.countries.size()) {
      const callinfo::BandWords& w = tally.countries[static_cast<size_t>(country)];
      in.countryKnown = true;
      in.countryName = info.name;
      in.countryTotal = w[callinfo::kTotalWord];
      in.countryBand = w[static_cast<size_t>(band)];
    }
  }
  in.noCountryAlert = e.contest.name == "ARRL RTTY Roundup Contest" &&
                      (info.primaryPrefix == "K" || info.primaryPrefix == "VE");
  alert_ = console::CallAlertText(in, console::LocalDateText);
  if (in.worked == console::kWorkedHere && ctx_.members.beep.value != 0 && beep_)
    beep_(ctx_.members.beepFq.value, ctx_.members.beepTime.value);
}

int ConsoleSection::SaveEntry() {
  log::QsoEntry& e = logbook_.entry();
  if (e.frequencyText.empty()) e.frequencyText = Field(console::QsoField::kFrequency);
  std::string call = e.call.empty() ? EntryCall(e.text) : e.call;
  const int r = logbook_.SaveEntry();
  if (r == log::kSaveOk) ReloadLogView();
  if (r == log::kSaveOk && !call.empty()) {
    for (char& c : call) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    lastQso_[call] = utc_();
  }
  return r;
}

void ConsoleSection::OnModeChange(Mode mode) {
  if (mode != mode_) console_.autoCq().Stop();
  mode_ = mode;
}

void ConsoleSection::OnRigFrequency(int64_t dialHz) {
  (void)dialHz;
  const int band = log::BandOf(static_cast<int32_t>(rig_.operatingHz()));
  if (band != band_) console_.autoCq().Stop();
  band_ = band;
}

void ConsoleSection::OnTick() {
  if (abortCounter_ > 0) --abortCounter_;
  // The call field holding text stops Auto CQ: someone answered.
  const std::string& call = logbook_.entry().call;
  if (call != lastCallField_) {
    lastCallField_ = call;
    if (!call.empty()) console_.autoCq().Stop();
  }
  const std::string entryCall = EntryCall(logbook_.entry().text);
  if (entryCall != analysedCall_) AnalyseCall(entryCall);
  UpdateClock();
}

void ConsoleSection::UpdateClock() {
  const std::time_t now = static_cast<std::time_t>(utc_());
  std::tm t{};
  if (logbook_.entry().gmt) {
    gmtime_r(&now, &t);
  } else {
    localtime_r(&now, &t);
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
  if (clockText_ == buf) return;
  const bool first = clockText_.empty();
  clockText_ = buf;
  UpdateContestLines();
  if (!first) console_.OnClockChange(RttyBusy());
}

bool ConsoleSection::RttyBusy() const {
  if (mode_ != Mode::Rtty) return false;
  return std::lround(rx_.spectrum().signalAverage()) > 6;
}

// ---- Keys ----

void ConsoleSection::PressKey(int key) {
  if (key < 0 || key >= console::kKeyCount) return;
  console_.PlayKeyText(key);
}

void ConsoleSection::PressIns() {
  console_.autoCq().Stop();
  Perform(console::MacroAction::kGetCall);
  console_.PlayKeyText(console::kKeyIns);
}

void ConsoleSection::PressGrayPlus() {
  console_.PlayKeyText(console::kKeyGrayPlus);
}

void ConsoleSection::PressEscape() {
  console_.autoCq().Stop();
  tx::Transmitter& t = tx_.transmitter();
  // The keyer and the phone modes have their own Escape handling.
  if (mode_ == Mode::Ssb3 || t.keyer().running() || !t.active()) {
    tx_.EscapeKey();
    return;
  }
  // A sound transmission: the first press selects what is left to send, a second one soon
  // after aborts.
  tx_.transmitText().SelectAll();
  abortCounter_ += kEscapeStep;
  if (abortCounter_ > kAbortAbove) {
    abortCounter_ = 0;
    t.Abort();
  }
}

void ConsoleSection::ToggleTransmitCommand() {
  if (mode_ == Mode::Ax25Tx || mode_ == Mode::Pactor) return;
  tx_.ToggleTransmit();
}

// ---- Editing ----

std::string ConsoleSection::TextDialogTitle(int key) {
  if (key == console::kKeyIns) return "Enter Macro for Ins key";
  if (key == console::kKeyGrayPlus) return "Enter Macro for Gray Plus key";
  if (key == console::kKeyAutoCq) return "Auto CQ";
  return "Text for " + console::KeyName(key);
}

std::string ConsoleSection::CaptionDialogTitle(int key) {
  return "Caption for " + console::KeyName(key);
}

std::string ConsoleSection::EditText(int key) const {
  return console::ToEditForm(console_.keys().Text(key));
}

void ConsoleSection::SetEditedText(int key, std::string_view edited) {
  console::KeyTable& keys = console_.keys();
  std::string stored = console::ToStoredForm(edited);
  if (key >= 0 && key < console::kKeyCount) {
    keys.texts[static_cast<size_t>(key)] = stored;
  } else if (key == console::kKeyIns) {
    keys.insText = stored;
  } else if (key == console::kKeyGrayPlus) {
    keys.grayPlusText = stored;
  } else if (key == console::kKeyAutoCq) {
    keys.autoCqText = stored;
  } else {
    return;
  }
  (void)ctx_.store().WriteSettingText("Keyboard", StoreKey(key), stored);
}

const std::string& ConsoleSection::Caption(int key) const {
  static const std::string kNone;
  if (key < 0 || key >= console::kKeyCount) return kNone;
  return console_.keys().captions[static_cast<size_t>(key)];
}

void ConsoleSection::SetCaption(int key, std::string caption) {
  if (key < 0 || key >= console::kKeyCount) return;
  (void)ctx_.store().WriteSettingText("Keyboard", console::KeyName(key) + " Caption", caption);
  console_.keys().captions[static_cast<size_t>(key)] = std::move(caption);
}

void ConsoleSection::AutoCqDialog(AutoCqButton button, std::string_view editedText,
                                  int listenSeconds) {
  if (button == AutoCqButton::kCancel) {
    console_.autoCq().Stop();
    return;
  }
  if (listenSeconds < 0) listenSeconds = 0;
  SetEditedText(console::kKeyAutoCq, editedText);
  console_.keys().autoCqDelaySeconds = listenSeconds;
  console_.autoCq().SetListenSeconds(listenSeconds);
  (void)ctx_.store().WriteSettingInt("Keyboard", "AutoCqDelay", listenSeconds);
  console_.autoCq().Start();
  if (button == AutoCqButton::kBegin) console_.AutoCqCall();
}

// ---- WAE QTC ----

int ConsoleSection::OpenQtcWindow(bool sendAtOnce) {
  contest::QtcWindow& q = *qtc_;
  q.SetCounters({ctx_.members.qtcPosition.value, ctx_.members.qtcNumber.value});
  const log::QsoEntry& e = logbook_.entry();
  std::string text;
  const int rc = q.OpenQtcWindow(logView_.Rows(), ctx_.members.myCall.value,
                                 e.call.empty() ? EntryCall(e.text) : e.call, sendAtOnce, &text);
  if (rc == contest::kQtcNothingToSend) {
    // The window closes at once; the operator is told why nothing happened.
    platform::Prompt* prompt = ctx_.prompt();
    if (prompt != nullptr)
      prompt->Message("No contacts left for a QTC", "QTC", platform::PromptIcon::Information);
  }
  if (rc != contest::kQtcOk) return rc;
  if (!text.empty()) InsertTransmitText(text);
  if (qtcShower_) qtcShower_();
  return rc;
}

void ConsoleSection::SendQtc() {
  if (qtc_->lineCount() > 0) InsertTransmitText(qtc_->SendQtc());
}

void ConsoleSection::StoreQtcCounters() {
  const contest::QtcCounters& c = qtc_->counters();
  ctx_.members.qtcPosition.value = c.position;
  ctx_.members.qtcNumber.value = c.number;
  // Written at once: a crash must not send the same contacts again in a later QTC.
  (void)ctx_.members.qtcPosition.Save();
  (void)ctx_.members.qtcNumber.Save();
}

int ConsoleSection::ConfirmQtcSent() {
  const int rc = qtc_->ConfirmQtcSent();
  if (rc == contest::kQtcOk) StoreQtcCounters();
  return rc;
}

int ConsoleSection::ClearQtcNumber() {
  const int rc = qtc_->ClearQtcNumber(logView_.Rows());
  if (rc == contest::kQtcOk) StoreQtcCounters();
  return rc;
}

int ConsoleSection::SaveReceivedQtc(std::string_view selection) {
  const log::QsoEntry& e = logbook_.entry();
  return qtc_->SaveReceivedQtc(selection, e.call.empty() ? EntryCall(e.text) : e.call);
}

// ---- ConsoleHost ----

void ConsoleSection::InsertTransmitText(std::string_view text) {
  tx::TransmitText& window = tx_.transmitText();
  if (window.SimpleKeyboardVisible()) {
    for (char c : text) window.PostAtEnd(static_cast<uint8_t>(c));
    return;
  }
  if (inserter_) {
    inserter_(text);
  } else {
    tx_.plainTransmitText().Type(text);
  }
}

bool ConsoleSection::TransmitRunning() const {
  tx::Transmitter& t = tx_.transmitter();
  return t.active() || t.keyer().running();
}

bool ConsoleSection::CwThroughTnc() const {
  return mode_ == Mode::Cw && ctx_.tncTerminal != nullptr;
}

void ConsoleSection::ToggleTransmit() {
  tx_.ToggleTransmit();
}

void ConsoleSection::PlayVoiceMessage(int key) {
  (void)tx_.PlayVoiceMessage(key);
}

console::StationData ConsoleSection::Station() const {
  return {ctx_.members.myCall.value, logbook_.settings().myName, logbook_.settings().myQth};
}

console::CutNumbers ConsoleSection::CutNumberSwitches() const {
  const MemberSettings& m = ctx_.members;
  return {m.short0.value != 0, m.short1.value != 0, m.short9.value != 0, m.skipLeading0.value != 0};
}

std::string ConsoleSection::Field(console::QsoField field) {
  const log::QsoEntry& e = logbook_.entry();
  const bool phone = mode_ == Mode::Ssb1 || mode_ == Mode::Ssb2 || mode_ == Mode::Ssb3;
  auto orReport = [phone](const std::string& s) {
    return s.empty() ? std::string(phone ? "59" : "599") : s;
  };
  switch (field) {
    case console::QsoField::kName:
      return e.name;
    case console::QsoField::kRst:
      return orReport(e.rstSent);
    case console::QsoField::kImd:
      return rx_.ImdText();
    case console::QsoField::kNr:
      return e.ownNumber.empty() ? e.ownExchange : e.ownNumber;
    case console::QsoField::kMyNr:
      return e.ownExchange.empty() ? e.ownNumber : e.ownExchange;
    case console::QsoField::kPrevNr:
      return e.previousOwnNumber;
    case console::QsoField::kMyPrevNr:
      return e.previousExchange;
    case console::QsoField::kMyRst:
      return orReport(e.rstReceived);
    case console::QsoField::kCall:
      // Before the call field is filled, the call typed first in the entry box.
      return e.call.empty() ? EntryCall(e.text) : e.call;
    case console::QsoField::kQth:
      return e.qth;
    case console::QsoField::kBand:
      return BandText(rig_.operatingHz());
    case console::QsoField::kMode:
      return ModeName(mode_);
    case console::QsoField::kFrequency:
      return FrequencyText(rig_.operatingHz());
  }
  return {};
}

void ConsoleSection::Perform(console::MacroAction action) {
  log::QsoEntry& e = logbook_.entry();
  switch (action) {
    case console::MacroAction::kNet:
      rx_.SetTxFrequency(rx_.rxFrequency());
      break;
    case console::MacroAction::kNetRx:
      rx_.TuneAll(rx_.txFrequency());
      break;
    case console::MacroAction::kSave:
      (void)SaveEntry();
      break;
    case console::MacroAction::kClear:
      (void)e.ClearQso();
      break;
    case console::MacroAction::kTimeStamp:
      if (e.frequencyText.empty()) e.frequencyText = Field(console::QsoField::kFrequency);
      e.StampQso();
      break;
    case console::MacroAction::kGetCall:
      if (e.call.empty()) e.call = lastReceivedCall_;
      break;
    case console::MacroAction::kLookup:
      if (callbookText_.empty() && callbook_ && !e.call.empty()) {
        callbookText_ = callbook_(e.call);
        // The record's first line names the station, the second gives its QTH.
        const size_t nl = callbookText_.find('\n');
        if (e.name.empty()) e.name = callbookText_.substr(0, nl);
        if (e.qth.empty() && nl != std::string::npos) {
          const size_t end = callbookText_.find('\n', nl + 1);
          e.qth = callbookText_.substr(nl + 1, end == std::string::npos ? end : end - nl - 1);
        }
      }
      break;
    case console::MacroAction::kSendWaeQtc:
      (void)OpenQtcWindow(true);
      break;
    case console::MacroAction::kAutoCqOn:
      break;
  }
}

}  // namespace vexa::app
