#pragma once
// What the operating console needs from the station around it: the transmit window, the
// transmitter switch, the station data, the QSO fields, the frequencies and the log. The main
// window core implements it over its sections; tests and the command line implement it over
// plain values. Every call happens on the main loop.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/mode.h"

namespace vexa::console {

// QSO fields a macro inserts (the record being composed and the contest exchange).
enum class QsoField {
  kName,       // <NAME>
  kRst,        // <RST>: the report to send
  kImd,        // <IMD>: the last intermodulation reading
  kNr,         // <NR>: the serial number to send
  kMyNr,       // <MYNR>
  kPrevNr,     // <PREVNR>
  kMyPrevNr,   // <MYPREVNR>
  kMyRst,      // <MYRST>: the own report
  kCall,       // <CALL>
  kQth,        // <QTH>
  kBand,       // <BAND>
  kMode,       // <MODE>: the mode's name
  kFrequency,  // <FQ>
};

// Macros that act instead of inserting text.
enum class MacroAction {
  kNet,         // <NET>: the transmit frequency follows the receive frequency
  kNetRx,       // <NETRX>: the receive frequency goes to the transmit frequency
  kSave,        // <SAVE>: the QSO goes into the log
  kClear,       // <CLEAR>: the QSO fields are emptied
  kSendWaeQtc,  // <SENDWAEQTC>: the QTC window in sending mode
  kTimeStamp,   // <TIMESTAMP>: the entry box is stamped
  kLookup,      // <LOOKUP>: the callbook text of the current call, when it has none yet
  kGetCall,     // <GETCALL>: an empty call field takes the last received call
  kAutoCqOn,    // <ACQ>: told after the console switched Auto CQ on
};

struct StationData {
  std::string myCall, myName, myQth;
};

// The cut-number switches of the CW settings.
struct CutNumbers {
  bool short0 = false, short1 = false, short9 = false, skipLeading0 = false;
};

class ConsoleHost {
 public:
  virtual ~ConsoleHost() = default;

  // --- Transmit window ---
  // Inserts text at the caret of the transmit window (or posts it to the simple keyboard when
  // that is shown).
  virtual void InsertTransmitText(std::string_view text) = 0;
  // A sound transmission is running or the CW keyer runs.
  virtual bool TransmitRunning() const = 0;
  // CW goes out through the TNC terminal's controller (its keyer sends while the program
  // listens, so Auto CQ counts on while sending).
  virtual bool CwThroughTnc() const { return false; }
  virtual void ToggleTransmit() = 0;
  // A phone mode key plays its recorded message (key 0..23).
  virtual void PlayVoiceMessage(int key) = 0;

  // --- Station and time ---
  virtual Mode CurrentMode() const = 0;
  virtual StationData Station() const = 0;
  virtual CutNumbers CutNumberSwitches() const = 0;
  // The program's name and version, as in the window title.
  virtual std::string VersionText() const = 0;
  // Seconds since the epoch (UTC); taken once per key press.
  virtual int64_t NowUtcSeconds() const = 0;
  // The folder that holds the brag files.
  virtual std::string WorkingFolder() const = 0;

  // --- QSO fields and actions ---
  virtual std::string Field(QsoField field) = 0;
  virtual void Perform(MacroAction action) = 0;
};

}  // namespace vexa::console
