#pragma once
// Where a logged contact goes besides the file: the contest tally (countries, zones,
// multipliers), the log view and the recent-QSO list, the worked table and the worked-spot list.
// The logbook calls these; the owners of those tables implement them. Every operation has an
// empty default so a caller implements only what it keeps.
#include <string>

#include "log/qso_record.h"

namespace vexa::log {

class QsoSink {
 public:
  virtual ~QsoSink() = default;
  // The contact enters the country, zone and multiplier tally.
  virtual void TallyQso(const QsoRecord& r) { (void)r; }
  // The contact becomes the last row of the log view and enters the recent-QSO list.
  virtual void ShowQso(const QsoRecord& r) { (void)r; }
  // The call was worked on this band (0..8) in this mode class (0..9): worked table and
  // worked-spot list.
  virtual void WorkedQso(const QsoRecord& r, int band, int modeClass) {
    (void)r;
    (void)band;
    (void)modeClass;
  }
  // The entry box was stamped for this call (the recent-QSO ring of the call analysis).
  virtual void StampedQso(const std::string& call) { (void)call; }
  // Progress of a log scan: called every 100 lines with the number of lines read so far.
  virtual void ScanProgress(int lines) { (void)lines; }
};

}  // namespace vexa::log
