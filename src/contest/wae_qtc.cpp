#include "contest/wae_qtc.h"

#include <cstdio>

#include "log/log_file.h"

namespace vexa::contest {
namespace {

std::string Trimmed(std::string_view s) {
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string_view::npos) return {};
  const size_t b = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(a, b - a + 1));
}

// Received text as the record keeps it: CR LF line ends, no NUL, no line end at the close.
std::string RecordText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\0') continue;
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      continue;
    }
    out.push_back(c);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::string LineText(const QtcLine& l) {
  return l.time + "/" + l.call + "/" + l.number + "\r\n";
}

// Operators answer far fewer wrong calls than this; a front end that repeats one wrong answer
// for ever must not hang the window.
constexpr int kMaxCallQuestions = 100;

}  // namespace

std::string QtcEntryTime(int64_t utcSeconds) {
  const log::QsoTime t = log::QsoTimeFromEpoch(utcSeconds, true);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d/%s/%04d %02d:%02d ", t.day, log::MonthAbbrev(t.month),
                t.year, t.hour, t.minute);
  return buf;
}

QtcWindow::QtcWindow(platform::Prompt& prompt, std::string qtcLogPath, ContinentOf continentOf,
                     std::function<int64_t()> nowUtc)
    : prompt_(prompt),
      path_(std::move(qtcLogPath)),
      continentOf_(std::move(continentOf)),
      nowUtc_(std::move(nowUtc)) {}

int QtcWindow::lineCount() const {
  int n = 0;
  for (const QtcLine& l : lines_)
    if (!l.empty()) ++n;
  return n;
}

std::string QtcWindow::label() const {
  return std::to_string(counters_.number) + "/" + std::to_string(lineCount());
}

void QtcWindow::SetLine(int row, QtcLine line) {
  if (row < 0 || row >= kQtcMaxLines) return;
  lines_[static_cast<size_t>(row)] = std::move(line);
}

int QtcWindow::FillGrid(std::span<const log::QsoRecord> rows) {
  lines_.fill({});
  // A position from a damaged settings file or a log that has shrunk is taken as it stands:
  // below 1 is the first row, beyond the end leaves nothing to send.
  const int64_t first = counters_.position < 1 ? 0 : int64_t{counters_.position} - 1;
  nextPosition_ = static_cast<int>(first + 1);
  const int64_t total = static_cast<int64_t>(rows.size());
  if (total - first < 2) return 0;
  const std::string receiver = log::ToUpper(receiver_);
  int used = 0;
  for (int64_t i = first; i < total && used < kQtcMaxLines; ++i) {
    const log::QsoRecord& r = rows[static_cast<size_t>(i)];
    if (!receiver.empty() && log::ToUpper(r.call) == receiver) continue;
    char hhmm[16];
    std::snprintf(hhmm, sizeof hhmm, "%02d%02d", r.when.hour % 100, r.when.minute % 100);
    lines_[static_cast<size_t>(used++)] = {hhmm, r.call, r.exchangeReceived};
    nextPosition_ = static_cast<int>(i + 2);
  }
  return used;
}

void QtcWindow::SetReceiver(std::string_view call, std::span<const log::QsoRecord> rows) {
  receiver_ = log::ToUpper(Trimmed(call));
  FillGrid(rows);
}

int QtcWindow::OpenQtcWindow(std::span<const log::QsoRecord> rows, std::string_view myCall,
                             std::string_view defaultCall, bool sendAtOnce, std::string* transmit) {
  open_ = false;
  receiver_ = log::ToUpper(Trimmed(defaultCall));
  if (FillGrid(rows) == 0) return kQtcNothingToSend;

  const std::string mine = continentOf_ ? continentOf_(myCall) : std::string();
  const std::string question = "Call for QTC\r\n outside " + mine;
  std::string answer = receiver_;
  for (int asked = 0;; ++asked) {
    if (asked == kMaxCallQuestions || !prompt_.AskText(question, "QTC", answer))
      return kQtcCancelled;
    answer = log::ToUpper(Trimmed(answer));
    if (answer.empty() || !log::IsCallsign(answer)) continue;
    const std::string theirs = continentOf_ ? continentOf_(answer) : std::string();
    if (!theirs.empty() && theirs != mine) break;
  }
  SetReceiver(answer, rows);
  if (lineCount() == 0) return kQtcNothingToSend;
  open_ = true;
  if (sendAtOnce && transmit != nullptr) *transmit = SendQtc();
  return kQtcOk;
}

std::string QtcWindow::SendQtc() const {
  const std::string l = label();
  std::string s = "\r\nQTC " + l + " FOR " + receiver_ + "\r\n";
  for (const QtcLine& line : lines_)
    if (!line.empty()) s += LineText(line);
  s += "\r\nEND OF QTC " + l + "\r\nCFM? BK";
  s.push_back(static_cast<char>(kQtcEndOfTransmission));
  return s;
}

int QtcWindow::Append(const std::string& entry) {
  if (log::AppendRecordText(path_, entry) != log::kLogOk) {
    prompt_.Message("(QTC.LOG)", "Error", platform::PromptIcon::Error);
    return kQtcWriteFailed;
  }
  return kQtcOk;
}

int QtcWindow::ConfirmQtcSent() {
  if (lineCount() == 0) return kQtcNothingToSend;
  std::string entry = QtcEntryTime(nowUtc_()) + "Sent QTC " + label() + " to " + receiver_ + "\r\n";
  for (const QtcLine& line : lines_)
    if (!line.empty()) entry += LineText(line);
  entry += "\r\n\r\n";
  if (const int rc = Append(entry); rc != kQtcOk) return rc;
  if (nextPosition_ != counters_.position) {
    counters_.position = nextPosition_;
    ++counters_.number;
  }
  open_ = false;
  return kQtcOk;
}

int QtcWindow::ClearQtcNumber(std::span<const log::QsoRecord> rows) {
  const platform::PromptAnswer a =
      prompt_.Ask("Clear QTC number, are you sure?", "QTC", platform::PromptButtons::OkCancel,
                  platform::PromptIcon::Question);
  if (a != platform::PromptAnswer::Ok && a != platform::PromptAnswer::Yes) return kQtcCancelled;
  counters_.position = nextPosition_;
  ++counters_.number;
  FillGrid(rows);
  return kQtcOk;
}

int QtcWindow::SaveReceivedQtc(std::string_view selection, std::string_view qsoCall) {
  const std::string text = RecordText(selection);
  if (Trimmed(text).empty()) {
    prompt_.Message("Mark QTC to save, than try again", "QTC", platform::PromptIcon::Information);
    return kQtcNoSelection;
  }
  std::string call = log::ToUpper(Trimmed(qsoCall));
  if (call.empty()) {
    if (!prompt_.AskText("Call:", "QTC", call)) return kQtcCancelled;
    call = log::ToUpper(Trimmed(call));
    if (call.empty()) return kQtcCancelled;
  }
  const std::string entry =
      QtcEntryTime(nowUtc_()) + "Rcvd QTC from " + call + "\r\n" + text + "\r\n\r\n";
  const platform::PromptAnswer a =
      prompt_.Ask(entry + "Save QTC?", "Confirmation", platform::PromptButtons::OkCancel,
                  platform::PromptIcon::Information);
  if (a != platform::PromptAnswer::Ok && a != platform::PromptAnswer::Yes) return kQtcCancelled;
  return Append(entry);
}

}  // namespace vexa::contest
