#pragma once
// The AX.25 settings sheet without its widgets: the four pages and their fields, the values as
// the sheet shows them (TX delay, TX tail and slot time in milliseconds, ten times the stored
// value; the TNC speed as its list index; the monitor mask as four check boxes), the range
// checks of OK (the network TNC's address as HOST:PORT or empty), and the conversion back into the
// member settings. The window builds its controls from this table; PacketSection::ApplyAx25Setup
// takes the values.
#include <string>
#include <vector>

#include "app/member_settings.h"

namespace vexa::app {

enum class Ax25Page : int { General = 0, BeaconMonitor = 1, Parameters = 2, Tnc = 3 };
constexpr int kAx25PageCount = 4;
// "General", "Beacon/Monitor", "Parameters", "TNC & Custom AFSK".
const char* Ax25PageTitle(Ax25Page page);

enum class Ax25Kind {
  Calls,     // space-separated callsigns (capacity from the member)
  Call,      // one callsign or empty
  Text,      // free text
  Int,       // a number within [min, max]
  Ms10,      // shown in ms (stored x 10); [min, max] in ms
  Check,     // 0 or 1
  Choice,    // one of choices (value stored as it is)
  Speed,     // TNC speed list: index 0..4 for 1200..19200
  MaskBit,   // one bit (`bit`) of MonitorMask
  HostPort,  // empty, or HOST:PORT with a port 1..65535 (stored without surrounding blanks)
};

struct Ax25Choice {
  std::string label;
  int value;
};

struct Ax25Field {
  Ax25Page page;
  const char* label;  // with its accelerator
  const char* key;    // the key in section "AX.25"
  Ax25Kind kind;
  int min = 0, max = 0;
  int bit = 0;
  std::vector<Ax25Choice> choices;
};

const std::vector<Ax25Field>& Ax25Fields();
// Index of the field of key (and bit, for the monitor mask), or -1.
int FindAx25Field(const char* key, int bit = 0);

// The values of every field as the sheet shows them, in the order of Ax25Fields().
std::vector<std::string> ReadAx25Setup(MemberSettings& members);
// Checks every value; on success, with store, the members get the new values (nothing is
// written to the file here). Returns "" or the message that names the first refused field
// (then nothing changes).
std::string StoreAx25Setup(const std::vector<std::string>& values, MemberSettings& members,
                           bool store = true);

// TNC speed list index: the times the speed can be halved while staying at or above 1200.
int Ax25SpeedIndex(int speed);

}  // namespace vexa::app
