#pragma once
// The QSO entry box and the QSO fields of the main window, without the window: the text the
// operator composes, the fields macros fill, and the three operations on them: stamping
// (`StampQso`, the <TIMESTAMP> macro), saving to the log file (`SaveQso`, <SAVE> and the Save
// button) and clearing (`ClearQso`). Questions go through platform::Prompt.
#include <cstdint>
#include <functional>
#include <string>

#include "log/qso_record.h"
#include "log/qso_sink.h"
#include "platform/files/prompt.h"

namespace vexa::log {

// The contest as the logbook sees it: its name (the tag of every record) and whether it numbers
// its contacts. An empty name means no contest.
struct ContestSetup {
  std::string name;
  bool serialNumbers = false;
  bool active() const { return !name.empty(); }
};

enum EntryState : unsigned {
  kEntryTyped = 1,    // text typed since the last save
  kEntryStamped = 2,  // the record has been stamped
  kEntrySaved = 4,    // just saved (the whole value)
};

enum SaveResult : int {
  kSaveOk = 0,
  kSaveNothing = 1,      // nothing typed or stamped
  kSaveRefused = 2,      // the record did not parse and the operator said No
  kSaveWriteFailed = 3,  // the log file could not be written; the box keeps its text
};

class QsoEntry {
 public:
  // `logPath` is the log file; `nowUtc` gives the time in seconds since the epoch; `sink` (may
  // be null) receives every saved contact.
  QsoEntry(std::string logPath, platform::Prompt& prompt, std::function<int64_t()> nowUtc,
           QsoSink* sink = nullptr);

  // Replaces the box text as typing does (sets kEntryTyped).
  void Type(std::string text);

  // Completes the box text with call, report, exchange, name, QTH and the time, mode and
  // frequency tail. Does nothing once stamped.
  void StampQso();
  // Appends the record to the log file. Returns a SaveResult.
  [[nodiscard]] int SaveQso();
  // Empties the box and the QSO fields; asks first when unsaved text would be lost. Returns true
  // when the box was cleared (false after Cancel or a refused save).
  bool ClearQso();

  // The entry box.
  std::string text;
  unsigned state = 0;
  std::string previousText;  // the box text before the last clear

  // Fields of the main window used by the stamp.
  std::string frequencyText;     // "%i.%03i.%03i"; asked for when empty
  Mode mode = Mode::Cw;          // operating mode
  std::string note;              // the note field, appended to every stamp
  bool satelliteRs = false;      // adds " RS13"
  bool gmt = true;               // stamp in UTC with "z", else local time
  int64_t utcOffsetSeconds = 0;  // local time minus UTC, used when gmt is off

  // QSO fields.
  std::string call, name, qth, rstSent, rstReceived;
  std::string ownExchange, receivedExchange;  // contest exchange, sent and received
  std::string zone, stateProvince;

  // Contest and numbering. `askExchange`, when set, fills the own and received exchange for the
  // stamp by the contest's rules instead of the two plain questions.
  ContestSetup contest;
  std::function<void(QsoEntry&)> askExchange;
  std::string ownNumber;  // the own serial number as sent ("001")
  std::string previousOwnNumber;
  std::string previousExchange;
  int serialCounter = 0;
  int qsoTotal = 0;

  const std::string& logPath() const { return logPath_; }

 private:
  bool AnyFieldSet() const;
  void FinishRecord(std::string& record) const;

  std::string logPath_;
  platform::Prompt& prompt_;
  std::function<int64_t()> nowUtc_;
  QsoSink* sink_;
};

}  // namespace vexa::log
