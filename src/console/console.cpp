#include "console/console.h"

#include <clocale>
#include <cstdio>
#include <ctime>

#include "tx/transmit_text.h"

namespace vexa::console {
namespace {

constexpr const char* kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kMonthName[12] = {"January",   "February", "March",    "April",
                                        "May",       "June",     "July",     "August",
                                        "September", "October",  "November", "December"};
constexpr const char* kDayAbbrev[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kDayName[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

bool IsTextMode(Mode m) {
  switch (m) {
    case Mode::Cw:
    case Mode::Rtty:
    case Mode::Psk31:
    case Mode::Qpsk:
    case Mode::Fsk31:
    case Mode::Fsk31b:
    case Mode::Mtty:
      return true;
    default:
      return false;
  }
}

bool IsPhoneMode(Mode m) {
  return m == Mode::Ssb1 || m == Mode::Ssb2 || m == Mode::Ssb3;
}

std::tm UtcTime(int64_t seconds) {
  std::tm t{};
  const std::time_t tt = static_cast<std::time_t>(seconds);
  gmtime_r(&tt, &t);
  return t;
}

std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

// Removes every occurrence of token; true when there was one.
bool Remove(std::string& s, std::string_view token) {
  return ReplaceAll(s, token, "") > 0;
}

}  // namespace

int ReplaceAll(std::string& text, std::string_view token, std::string_view replacement) {
  if (token.empty() || token == replacement) return 0;
  size_t hit = text.find(token);
  if (hit == std::string::npos) return 0;
  std::string out;
  size_t pos = 0;
  int count = 0;
  while (hit != std::string::npos) {
    out.append(text, pos, hit - pos);
    out.append(replacement);
    pos = hit + token.size();
    ++count;
    hit = text.find(token, pos);
  }
  out.append(text, pos, std::string::npos);
  text.swap(out);
  return count;
}

std::string CutNumber(std::string_view text, const CutNumbers& cut) {
  std::string s(text);
  if (!cut.short0 && !cut.short1 && !cut.short9) return s;
  if (cut.short9)
    for (char& c : s)
      if (c == '9') c = 'N';
  if (cut.skipLeading0) {
    size_t n = 0;
    while (n + 1 < s.size() && s[n] == '0') ++n;
    s.erase(0, n);
  }
  if (cut.short0)
    for (char& c : s)
      if (c == '0') c = 'T';
  if (cut.short1)
    for (char& c : s)
      if (c == '1') c = 'A';
  return s;
}

std::string FixedDate(int64_t utcSeconds) {
  const std::tm t = UtcTime(utcSeconds);
  char buf[128];
  std::snprintf(buf, sizeof buf, "%02i/%s/%4i", t.tm_mday, kMonthAbbrev[t.tm_mon % 12],
                t.tm_year + 1900);
  return buf;
}

std::string Console::ExpandMacros(std::string_view text) {
  std::string s(text);

  // 1. Brag files go out at once, ahead of the rest of the text.
  for (int n = 0; n <= 9; ++n) {
    std::string token = "<BRAG0>";
    token[5] = static_cast<char>('0' + n);
    if (!Remove(s, token)) continue;
    if (fileDepth_ > 0) continue;  // a brag file naming a brag file would never end
    std::string file = "BRAG0.TXT";
    file[4] = static_cast<char>('0' + n);
    const std::string folder = host_.WorkingFolder();
    (void)SendTextFile(folder.empty() ? file : folder + "/" + file);
  }

  // 2. Key texts, nested.
  ExpandKeyTokens(s);

  // 3. Line ends and the space.
  ReplaceAll(s, "<CR>", "\r");
  ReplaceAll(s, "<LF>", "\n");
  ReplaceAll(s, "<SP>", " ");

  // 4. Station data.
  if (s.find("<MY") != std::string::npos) {
    const StationData st = host_.Station();
    ReplaceAll(s, "<MYCALL>", st.myCall);
    ReplaceAll(s, "<MYNAME>", st.myName);
    ReplaceAll(s, "<MYQTH>", st.myQth);
  }

  // 5. Transmitter control bytes.
  ReplaceAll(s, "<RX>", std::string(1, static_cast<char>(tx::kTxEnd)));
  ReplaceAll(s, "<CWID>", std::string(1, static_cast<char>(tx::kTxCwId)));
  ReplaceAll(s, "<SK>", std::string(1, static_cast<char>(tx::kTxSk)));

  // 6. The program and its version.
  if (s.find("<VER>") != std::string::npos) ReplaceAll(s, "<VER>", host_.VersionText());

  // 7. Date and time in UTC, all from the instant of the key press.
  ExpandDateTime(s);

  // 8. Local date and time, in the user's own format.
  if (s.find("LOCAL>") != std::string::npos) ExpandLocal(s);

  // 9..11. Auto CQ, the callbook, the last received call.
  if (Remove(s, "<ACQ>")) {
    autoCq_.Start();
    host_.Perform(MacroAction::kAutoCqOn);
  }
  if (Remove(s, "<LOOKUP>")) host_.Perform(MacroAction::kLookup);
  if (Remove(s, "<GETCALL>")) {
    autoCq_.Stop();
    host_.Perform(MacroAction::kGetCall);
  }

  // 12. QSO fields.
  ExpandFields(s);

  // 13. Transmission. With macros still left (a line of a text file with an unknown one), the
  // switch stays with the text: each "<" carries its own <TX> on to where the text goes.
  if (Remove(s, "<TX>")) {
    if (s.find('<') != std::string::npos) {
      ReplaceAll(s, "<", "<TX><");
    } else if (!host_.TransmitRunning()) {
      host_.ToggleTransmit();
    }
  }

  // 14. Actions.
  static constexpr struct {
    std::string_view token;
    MacroAction action;
  } kActions[] = {{"<NET>", MacroAction::kNet},
                  {"<NETRX>", MacroAction::kNetRx},
                  {"<SAVE>", MacroAction::kSave},
                  {"<CLEAR>", MacroAction::kClear},
                  {"<SENDWAEQTC>", MacroAction::kSendWaeQtc},
                  {"<TIMESTAMP>", MacroAction::kTimeStamp}};
  for (const auto& a : kActions)
    if (Remove(s, a.token)) host_.Perform(a.action);
  return s;
}

void Console::ExpandKeyTokens(std::string& s) {
  const auto& tokens = NestedKeyTokens();
  for (int pass = 0; pass < kMaxNestingPasses; ++pass) {
    bool replaced = false;
    for (std::string_view token : tokens) {
      const size_t hit = s.find(token);
      if (hit == std::string::npos) continue;
      const std::string& with = keys_.Text(KeyOfToken(token));
      // A text that would outgrow the limit keeps its remaining tokens as text.
      size_t count = 0;
      for (size_t p = hit; p != std::string::npos; p = s.find(token, p + token.size())) ++count;
      if (with.size() > token.size() &&
          s.size() + count * (with.size() - token.size()) > kMaxTextLength)
        return;
      if (ReplaceAll(s, token, with) > 0) replaced = true;
    }
    if (!replaced) return;
  }
}

void Console::ExpandDateTime(std::string& s) const {
  if (s.find('<') == std::string::npos) return;
  const std::tm t = UtcTime(pressTime_);
  const std::string hhmm = TwoDigits(t.tm_hour) + ":" + TwoDigits(t.tm_min);
  const std::string day = TwoDigits(t.tm_mday), month = TwoDigits(t.tm_mon + 1);
  const std::string year2 = TwoDigits(t.tm_year % 100), year4 = std::to_string(t.tm_year + 1900);
  const std::string hour = TwoDigits(t.tm_hour), minute = TwoDigits(t.tm_min),
                    second = TwoDigits(t.tm_sec);
  const struct {
    std::string_view token;
    std::string_view value;
  } kTimes[] = {{"<GMT>", hhmm},
                {"<UTC>", hhmm},
                {"<TIME>", hhmm},
                {"<D>", day},
                {"<DD>", day},
                {"<WDAY>", kDayAbbrev[t.tm_wday % 7]},
                {"<WEEKDAY>", kDayName[t.tm_wday % 7]},
                {"<M>", month},
                {"<MM>", month},
                {"<MMM>", kMonthAbbrev[t.tm_mon % 12]},
                {"<MONTH>", kMonthName[t.tm_mon % 12]},
                {"<YY>", year2},
                {"<YYYY>", year4},
                {"<YEAR>", year4},
                {"<h>", hour},
                {"<hh>", hour},
                {"<m>", minute},
                {"<mm>", minute},
                {"<s>", second},
                {"<ss>", second}};
  for (const auto& e : kTimes) ReplaceAll(s, e.token, e.value);
  if (s.find("<DATE>") != std::string::npos) ReplaceAll(s, "<DATE>", FixedDate(pressTime_));
}

void Console::ExpandLocal(std::string& s) const {
  // The user's time format for these two only; the previous time locale comes back after.
  const char* current = std::setlocale(LC_TIME, nullptr);
  const std::string previous = current != nullptr ? current : "C";
  std::setlocale(LC_TIME, "");
  std::tm t{};
  const std::time_t tt = static_cast<std::time_t>(pressTime_);
  localtime_r(&tt, &t);
  char timeBuf[128] = {0}, dateBuf[128] = {0};
  if (std::strftime(timeBuf, sizeof timeBuf, "%X", &t) == 0) timeBuf[0] = 0;
  if (std::strftime(dateBuf, sizeof dateBuf, "%x", &t) == 0) dateBuf[0] = 0;
  std::setlocale(LC_TIME, previous.c_str());
  ReplaceAll(s, "<TIMELOCAL>", timeBuf);
  ReplaceAll(s, "<DATELOCAL>", dateBuf);
}

void Console::ExpandFields(std::string& s) {
  if (s.find('<') == std::string::npos) return;
  const bool cw = host_.CurrentMode() == Mode::Cw;
  static constexpr struct {
    std::string_view token;
    QsoField field;
    bool cut;
  } kFields[] = {{"<NAME>", QsoField::kName, false},        {"<RST>", QsoField::kRst, false},
                 {"<IMD>", QsoField::kImd, false},          {"<NR>", QsoField::kNr, true},
                 {"<MYNR>", QsoField::kMyNr, true},         {"<PREVNR>", QsoField::kPrevNr, true},
                 {"<MYPREVNR>", QsoField::kMyPrevNr, true}, {"<MYRST>", QsoField::kMyRst, true},
                 {"<CALL>", QsoField::kCall, false},        {"<QTH>", QsoField::kQth, false},
                 {"<BAND>", QsoField::kBand, false},        {"<MODE>", QsoField::kMode, false},
                 {"<FQ>", QsoField::kFrequency, false}};
  for (const auto& f : kFields) {
    if (s.find(f.token) == std::string::npos) continue;
    std::string value = host_.Field(f.field);
    if (f.cut && cw) value = CutNumber(value, host_.CutNumberSwitches());
    ReplaceAll(s, f.token, value);
  }
}

void Console::PlayKeyText(int key) {
  const std::string text = key == kKeyImdReport ? host_.Field(QsoField::kImd) : keys_.Text(key);
  PlayText(text, key);
}

void Console::PlayText(std::string_view text, int key) {
  TakeTime();
  if (key != kKeyAutoCq) autoCq_.Stop();
  const Mode mode = host_.CurrentMode();
  if (IsPhoneMode(mode)) {
    if (key >= 0 && key < kKeyCount) host_.PlayVoiceMessage(key);
    return;
  }
  if (!IsTextMode(mode)) return;
  std::string_view rest = text;
  // One press inserts at most about kMaxTextLength characters, however its pieces expand.
  size_t inserted = 0;
  auto insert = [&](std::string_view piece) {
    inserted += piece.size();
    Insert(piece);
  };
  for (size_t open = rest.find('<'); open != std::string_view::npos && inserted <= kMaxTextLength;
       open = rest.find('<')) {
    insert(rest.substr(0, open));
    const size_t close = rest.find('>', open);
    if (close == std::string_view::npos) {
      // A "<" that never closes is plain text: the rest goes out as typed.
      insert(rest.substr(open));
      return;
    }
    insert(ExpandMacros(rest.substr(open, close - open + 1)));
    rest = rest.substr(close + 1);
  }
  if (inserted <= kMaxTextLength) insert(rest);
}

bool Console::SendTextFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  if (fileDepth_ == 0) TakeTime();
  ++fileDepth_;
  size_t sent = 0;
  std::string line;
  int c = 0;
  auto flush = [&] {
    if (line.empty()) return;
    // Text mode: a CR LF line end reads as LF.
    if (line.size() >= 2 && line[line.size() - 2] == '\r' && line.back() == '\n')
      line.erase(line.size() - 2, 1);
    sent += line.size();
    const std::string out = ExpandMacros(line);
    Insert(out);
    line.clear();
  };
  while (sent < kMaxTextLength && (c = std::fgetc(f)) != EOF) {
    if (c == 0) continue;  // a NUL would cut the text short in the window
    line.push_back(static_cast<char>(c));
    if (c == '\n' || line.size() >= kMaxLineLength) flush();
  }
  flush();
  std::fclose(f);
  --fileDepth_;
  return true;
}

void Console::SendTextLine(std::string_view line) {
  TakeTime();
  Insert(ExpandMacros(line));
}

void Console::AutoCqCall() {
  autoCq_.ResetCounter();
  PlayKeyText(kKeyAutoCq);
  if (!host_.TransmitRunning()) host_.ToggleTransmit();
}

void Console::OnClockChange(bool busy) {
  const bool listening = !host_.TransmitRunning() || host_.CwThroughTnc();
  if (autoCq_.OnClockChange(listening, busy)) AutoCqCall();
}

}  // namespace vexa::console
