#pragma once
// The operating mode number shared by every subsystem, and its display name.
namespace vexa {

enum class Mode : int {
  Cw = 0,
  Ssb1 = 1,  // the three phone modes all show as "SSB"
  Ssb2 = 2,
  Ssb3 = 3,
  Rtty = 4,
  Sstv = 5,
  Fax = 6,
  Unnamed7 = 7,
  Fm = 8,
  Psk31 = 9,
  Qpsk = 10,
  Fsk31 = 11,
  Ax25 = 12,    // packet monitor
  Ax25Tx = 13,  // the active packet station
  Pactor = 14,
  Hell = 15,
  Fsk31b = 16,
  Mtty = 17,
};

constexpr int kModeCount = 18;

// "CW", "SSB", "RTTY", ... for a mode number; "???" for 7 and for numbers outside 0..17.
constexpr const char* ModeName(int mode) {
  switch (mode) {
    case 0: return "CW";
    case 1: case 2: case 3: return "SSB";
    case 4: return "RTTY";
    case 5: return "SSTV";
    case 6: return "FAX";
    case 8: return "FM";
    case 9: return "PSK31";
    case 10: return "QPSK";
    case 11: case 16: return "FSK31";
    case 12: case 13: return "AX25";
    case 14: return "PACTOR";
    case 15: return "HELL";
    case 17: return "MTTY";
    default: return "???";
  }
}
constexpr const char* ModeName(Mode mode) { return ModeName(static_cast<int>(mode)); }

}  // namespace vexa
