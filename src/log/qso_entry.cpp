#include "log/qso_entry.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "log/band_table.h"
#include "log/log_file.h"

namespace vexa::log {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Contests whose exchange is not a serial number even though they number their contacts.
bool KeepsOwnNumber(const std::string& contest) {
  return contest == "CQ WW RTTY" || contest == "CQ WW DX SSB" || contest == "CQ WW DX CW" ||
         contest == "TARA Rumble PSK31 2000" || contest == "JARTS RTTY";
}

}  // namespace

QsoEntry::QsoEntry(std::string logPath, platform::Prompt& prompt, std::function<int64_t()> nowUtc,
                   QsoSink* sink)
    : logPath_(std::move(logPath)), prompt_(prompt), nowUtc_(std::move(nowUtc)), sink_(sink) {}

void QsoEntry::Type(std::string t) {
  text = std::move(t);
  state = (state & ~unsigned{kEntrySaved}) | kEntryTyped;
}

void QsoEntry::StampQso() {
  if (state & kEntryStamped) return;

  std::string exchangeToken;
  if (contest.active()) {
    if (askExchange) {
      askExchange(*this);
    } else {
      std::string own = ownExchange.empty() ? ownNumber : ownExchange;
      if (prompt_.AskText("My exchange:", contest.name, own)) ownExchange = own;
      std::string rcvd = receivedExchange;
      if (prompt_.AskText("Received exchange:", contest.name, rcvd)) receivedExchange = rcvd;
    }
    if (!ownExchange.empty() || !receivedExchange.empty())
      exchangeToken = ownExchange + "&" + receivedExchange;
  }

  QsoRecord probe;
  if (ParseQsoText(text, probe) == kQsoOk) return;

  state |= kEntryStamped;
  std::string freq = frequencyText;
  if (freq.empty()) {
    std::string answer;
    if (prompt_.AskText("Frequency:", "", answer)) freq = answer;
  }
  std::string modeName = StampModeName(mode);
  if (modeName.empty()) {
    std::string answer;
    if (prompt_.AskText("Mode:", "", answer)) modeName = answer;
  }
  const std::string satellite = satelliteRs ? "RS13" : "";

  const int64_t now = nowUtc_ ? nowUtc_() : 0;
  const QsoTime t =
      gmt ? QsoTimeFromEpoch(now, true) : QsoTimeFromEpoch(now + utcOffsetSeconds, false);
  const std::string when = FormatQsoWhen(t, gmt);
  const std::string tail = " " + when + " " + modeName + " " + freq + " " + note + " " + satellite;

  if (rstSent.empty()) rstSent = DefaultReport(mode);
  if (rstSent.empty()) {
    std::string answer;
    if (prompt_.AskText("My RST:", "", answer)) rstSent = answer;
  }
  if (rstReceived.empty()) {
    std::string answer;
    if (prompt_.AskText("RST:", "", answer)) rstReceived = answer;
  }
  const std::string reportToken = rstSent + "/" + rstReceived;

  std::string result = text;
  auto appendOnce = [&result](const std::string& part) {
    if (part.empty() || ContainsNoCase(result, part)) return;
    result += ' ';
    result += part;
  };
  appendOnce(reportToken);
  appendOnce(exchangeToken);
  appendOnce(name);
  appendOnce(qth);
  if (!call.empty() && !ContainsNoCase(result, call)) result = call + " " + result;
  text = result + tail;
  if (sink_) {
    QsoRecord stamped;
    (void)ParseQsoText(text, stamped, kFieldCall);
    sink_->StampedQso(call.empty() ? stamped.call : ToUpper(call));
  }
}

void QsoEntry::FinishRecord(std::string& record) const {
  if (contest.active()) {
    if (!record.empty() && record.back() == ' ') record.pop_back();
    if (record.empty() || record.back() != ' ') record += ' ';
    record += "[";
    record += contest.name;
    record += "]";
  }
  record += "\r\n\r\n";
}

int QsoEntry::SaveQso() {
  if (!(state & (kEntryTyped | kEntryStamped))) return kSaveNothing;
  StampQso();

  // Lines of the box: CR and LF become blanks, trailing blanks go, non-blank lines are joined
  // each followed by one blank, and a blank line closes a paragraph.
  std::vector<std::string> paragraphs;
  std::string record;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    std::string line = text.substr(pos, eol - pos);
    for (char& c : line)
      if (c == '\r' || c == '\n') c = ' ';
    while (!line.empty() && IsBlank(line.back())) line.pop_back();
    if (line.empty()) {
      if (!record.empty()) paragraphs.push_back(std::move(record));
      record.clear();
    } else {
      record += line;
      record += ' ';
    }
    pos = eol + 1;
  }
  // Blank lines at the end of the box close nothing: the last paragraph is then the record.
  if (record.empty() && !paragraphs.empty()) {
    record = std::move(paragraphs.back());
    paragraphs.pop_back();
  }
  // `record` is the text after the last blank line; earlier paragraphs are logged as records of
  // their own when they parse, so that nothing the log view shows is missing from the file.
  std::string out;
  std::vector<QsoRecord> parsed;
  int earlierSaved = 0;
  for (std::string& p : paragraphs) {
    FinishRecord(p);
    QsoRecord r;
    if (ParseQsoText(p, r) == kQsoOk) {
      ++earlierSaved;
      out += p;
      parsed.push_back(std::move(r));
    }
  }

  FinishRecord(record);
  QsoRecord r;
  const bool ok = ParseQsoText(record, r) == kQsoOk;
  if (!ok) {
    const bool comment = !record.empty() && record[0] == ';';
    if (!comment) {
      if (prompt_.Ask("Not parsed! Save anyway?", "", platform::PromptButtons::YesNo,
                      platform::PromptIcon::Question) != platform::PromptAnswer::Yes)
        return kSaveRefused;
      prompt_.Message("Ignored, not saved", "", platform::PromptIcon::Information);
    }
  } else {
    parsed.push_back(r);
  }
  out += record;

  // The file first: what the tables and the view show is then always in the log.
  std::string error;
  if (AppendRecordText(logPath_, out, &error) != kLogOk) {
    std::string msg = "Cannot write the log (";
    msg += logPath_;
    msg += ")";
    if (!error.empty()) msg += "\r\n" + error;
    prompt_.Message(msg, "Error", platform::PromptIcon::Error);
    return kSaveWriteFailed;
  }
  if (sink_) {
    for (const QsoRecord& q : parsed) {
      sink_->TallyQso(q);
      sink_->ShowQso(q);
      const int band = BandOf(q.frequency);
      const int cls = ModeClassOf(q.mode);
      if (band >= 0 && cls >= 0) sink_->WorkedQso(q, band, cls);
    }
  }
  state = kEntrySaved;

  previousExchange = receivedExchange;
  previousOwnNumber = ownNumber;
  const long own = std::strtol(ownNumber.c_str(), nullptr, 10);
  serialCounter = own >= 0 && own < 100000000 ? static_cast<int>(own) + 1 : 1;
  qsoTotal += 1 + earlierSaved;
  if (contest.active() && contest.serialNumbers && !KeepsOwnNumber(contest.name)) {
    char buf[16];
    std::snprintf(buf, sizeof buf, serialCounter < 1000 ? "%03i" : "%04i", serialCounter);
    ownNumber = buf;
  }
  ClearQso();
  return kSaveOk;
}

bool QsoEntry::AnyFieldSet() const {
  return !call.empty() || !name.empty() || !qth.empty() || !rstSent.empty() ||
         !rstReceived.empty() || !ownExchange.empty() || !receivedExchange.empty() ||
         !zone.empty() || !stateProvince.empty();
}

bool QsoEntry::ClearQso() {
  if ((state & (kEntryTyped | kEntryStamped)) && AnyFieldSet()) {
    const platform::PromptAnswer a =
        prompt_.Ask("Text is not saved!\r\nSave?", "", platform::PromptButtons::YesNoCancel,
                    platform::PromptIcon::Question);
    if (a == platform::PromptAnswer::Cancel) return false;
    if (a == platform::PromptAnswer::Yes) {
      // A successful save clears the box itself.
      return SaveQso() == kSaveOk;
    }
  }
  if (!text.empty()) previousText = text;
  text.clear();
  call.clear();
  name.clear();
  qth.clear();
  rstSent.clear();
  rstReceived.clear();
  receivedExchange.clear();
  zone.clear();
  stateProvince.clear();
  ownExchange.clear();
  state = 0;
  return true;
}

}  // namespace vexa::log
