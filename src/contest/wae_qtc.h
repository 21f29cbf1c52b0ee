#pragma once
// WAE QTC traffic: blocks of up to ten earlier contacts (time, call, received number) sent to a
// station on another continent, and the record "QTC.LOG" of what was sent and received.
//
// QtcWindow is the QTC window without its widgets: the receiving station, the grid of lines
// filled from the log view from the QTC position on, the label "%d/%d" (series number, lines),
// the text that goes to the transmit window, and the operations that confirm a sent QTC, skip
// the position on, and keep a received one. Questions go through platform::Prompt; the record
// file is appended all or nothing, so a failed write changes neither the file nor the counters.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "log/qso_record.h"
#include "platform/files/prompt.h"

namespace vexa::contest {

constexpr const char* kQtcFileName = "QTC.LOG";
constexpr int kQtcMaxLines = 10;
// The transmitter's end-of-transmission byte that closes a sent QTC (the <RX> of a key text).
constexpr uint8_t kQtcEndOfTransmission = 0xAE;

// One line of the grid: "%H%M" of the contact, its call, the number received from it.
struct QtcLine {
  std::string time, call, number;
  bool empty() const { return time.empty() && call.empty() && number.empty(); }
};

// The two stored counters ("QtcPosition", "QtcNumber" of section Contest). The position is the
// log view row, counted from 1, of the first contact not yet sent in a QTC.
struct QtcCounters {
  int position = 1;
  int number = 1;
};

enum QtcResult : int {
  kQtcOk = 0,
  kQtcNothingToSend = 1,  // too few unsent contacts: the window closes at once
  kQtcCancelled = 2,      // the operator cancelled a question; nothing changed
  kQtcWriteFailed = 3,    // "QTC.LOG" could not be written; nothing changed
  kQtcNoSelection = 4,    // no received text was marked
};

// "%d/%b/%Y %H:%M " of a UTC instant (English month abbreviations): the head of every entry.
std::string QtcEntryTime(int64_t utcSeconds);

class QtcWindow {
 public:
  // The continent ("EU", "NA", ...) of a call from the country file, "" when it is unknown.
  using ContinentOf = std::function<std::string(std::string_view call)>;

  QtcWindow(platform::Prompt& prompt, std::string qtcLogPath, ContinentOf continentOf,
            std::function<int64_t()> nowUtc);

  // The counters as stored; the owner writes them back after every change (counters()).
  void SetCounters(QtcCounters c) { counters_ = c; }
  const QtcCounters& counters() const { return counters_; }

  // Opening the window: the grid is filled for `defaultCall`; with nothing to send the window
  // closes at once (kQtcNothingToSend, after the operator is told). Otherwise the operator is
  // asked "Call for QTC\r\n outside %s" (own continent) until the answer is a station on
  // another continent (Cancel: kQtcCancelled); the grid is filled again for that station, so
  // its own contacts are left out. With `sendAtOnce`, `transmit` receives the QTC text.
  int OpenQtcWindow(std::span<const log::QsoRecord> rows, std::string_view myCall,
                    std::string_view defaultCall, bool sendAtOnce, std::string* transmit);
  bool open() const { return open_; }
  void Close() { open_ = false; }

  // The receiving station; a new one fills the grid again (its own contacts are left out).
  void SetReceiver(std::string_view call, std::span<const log::QsoRecord> rows);
  const std::string& receiver() const { return receiver_; }

  // Fills the grid from `rows` (the log view) from the QTC position on, leaving out the
  // receiver's own contacts, at most ten lines; the rest of the grid is blanked. Nothing is
  // offered when fewer than two unsent contacts remain. Returns the number of lines.
  int FillGrid(std::span<const log::QsoRecord> rows);
  const std::array<QtcLine, kQtcMaxLines>& lines() const { return lines_; }
  int lineCount() const;
  // The operator corrects a line of the grid (row 0..9); the label follows the line count.
  void SetLine(int row, QtcLine line);
  // Series number + "/" + number of lines ("3/10").
  std::string label() const;
  // The log view row (from 1) after the last contact the grid holds.
  int nextPosition() const { return nextPosition_; }

  // The QTC as it goes to the transmit window: "\r\nQTC 3/10 FOR K1AR\r\n", a "%s/%s/%s\r\n"
  // line for every filled grid line, "\r\nEND OF QTC 3/10\r\nCFM? BK" and the end-of-
  // transmission mark 0xAE.
  std::string SendQtc() const;

  // The window is closed with OK: the entry "Sent QTC <label> to <call>" with its lines is
  // appended to "QTC.LOG"; then, when the grid reached past the stored position, the position
  // moves on and the series number grows. A write error is shown as "(QTC.LOG)" and changes
  // nothing (kQtcWriteFailed).
  int ConfirmQtcSent();

  // "Clear QTC number, are you sure?": OK moves the position past the grid's contacts without
  // sending them, increases the series number and fills the grid again.
  int ClearQtcNumber(std::span<const log::QsoRecord> rows);

  // Keeps a received QTC: `selection` is the text marked in the receive window (none: the
  // operator is told "Mark QTC to save, than try again"), `qsoCall` the call of the QSO line
  // (empty: asked "Call:"). The entry is shown with "Save QTC?"; OK appends it to "QTC.LOG".
  int SaveReceivedQtc(std::string_view selection, std::string_view qsoCall);

 private:
  int Append(const std::string& entry);

  platform::Prompt& prompt_;
  std::string path_;
  ContinentOf continentOf_;
  std::function<int64_t()> nowUtc_;
  QtcCounters counters_;
  std::string receiver_;
  std::array<QtcLine, kQtcMaxLines> lines_{};
  int nextPosition_ = 1;
  bool open_ = false;
};

}  // namespace vexa::contest
