#include "app/console_section.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "app/logbook_section.h"
#include "app/receive_section.h"
#include "app/rig_section.h"
#include "app/settings_table.h"
#include "app/transmit_section.h"
#include "log/band_table.h"

namespace vexa::app {

ConsoleSection::ConsoleSection(StationContext& ctx, ReceiveSection& rx, TransmitSection& tx,
                               LogbookSection& logbook, RigSection& rig)
    : ctx_(ctx), rx_(rx), tx_(tx), logbook_(logbook), rig_(rig) {
  utc_ = [] { return static_cast<int64_t>(std::time(nullptr)); };
  LoadKeys();
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
  if (step == 11) LoadKeys();
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
      return e.call;
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
      // The stamp takes the frequency field of the window: the rig's operating frequency.
      if (e.frequencyText.empty()) e.frequencyText = Field(console::QsoField::kFrequency);
      (void)logbook_.SaveEntry();
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
    case console::MacroAction::kSendWaeQtc:
    case console::MacroAction::kLookup:
    case console::MacroAction::kAutoCqOn:
      break;
  }
}

}  // namespace vexa::app
