#pragma once
// The operating mode shared by every subsystem, and the one table that knows what each mode is:
// its display name, its command-line name, its log code, mode class and tally bit, and the
// properties the rest of the program asks about (PSK family, sound-card data mode, own receive
// channel, phone, high tones, squelch). Code asks the row instead of comparing mode numbers.
#include <array>
#include <optional>
#include <string>
#include <string_view>

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

// Property bits of a mode row.
enum ModeTrait : unsigned {
  kPskFamily = 1u << 0,         // varicode through the PSK decoder and AFC: 9, 10, 11, 16
  kSoundDataMode = 1u << 1,     // a symbol modulator fills the sound card: 4, 9, 10, 11, 16, 17
  kOwnChannel = 1u << 2,        // a receive channel of its own decodes it to text
  kPhone = 1u << 3,             // the voice keyer plays the programmable keys: 1, 2, 3
  kHiTones = 1u << 4,           // the high-tone audio frequencies apply (UseHitones): 4, 12
  kSquelch = 1u << 5,           // the PSK squelch and hints apply: 9, 10
  kFskAfc = 1u << 6,            // AFC reads the FSK31 receiver: 11, 16
  kPacket = 1u << 7,            // AX.25 through a packet modem: 12, 13
  kOwnChannelAccess = 1u << 8,  // the TX/RX switch does nothing (packet monitor, PACTOR)
  kTonePair = 1u << 9,          // two-tone FSK: the spectrum marks both tones: 4, 12, 13, 14
  kAudioOffset = 1u << 10,      // the signal is an audio tone on the dial: 4, 9..17 (and CW with
                                // the sound card): the operating frequency adds the audio offset
};

// The transceiver's mode codes (the argument of the CAT mode command).
enum RigModeCode : int {
  kRigLsb = 0,
  kRigUsb = 1,
  kRigAm = 2,
  kRigCw = 3,
  kRigData = 4,
  kRigFm = 5
};
inline constexpr int kNoRigMode = -1;

struct ModeRow {
  Mode mode;
  const char* name;     // "CW", "SSB", ... ; "???" for the mode without a name
  const char* cliName;  // the command-line name; "" when the mode has none
  const char* logCode;  // the four-character code the log stores; "" when the log has none
  int modeClass;        // the log's class 0..9 (worked tables, scoring); -1 for none
  unsigned modeBit;     // the bit a contact sets in the country and zone tables; 0 for none
  unsigned traits;      // ModeTrait bits
  int rigMode;          // the rig mode code it selects (CW: with the key line); kNoRigMode for none
};

// clang-format off
inline constexpr std::array<ModeRow, kModeCount> kModeTable{{
    {Mode::Cw,       "CW",     "cw",     "CW  ", 0, 1,   kOwnChannel, kRigCw},
    {Mode::Ssb1,     "SSB",    "ssb",    "SSB ", 1, 2,   kPhone, kRigUsb},
    {Mode::Ssb2,     "SSB",    "ssb2",   "SSB ", 1, 2,   kPhone, kRigLsb},
    {Mode::Ssb3,     "SSB",    "ssb3",   "SSB ", 1, 2,   kPhone, kNoRigMode},
    {Mode::Rtty,     "RTTY",   "rtty",   "RTTY", 2, 4,   kSoundDataMode | kOwnChannel | kHiTones | kTonePair | kAudioOffset, kRigData},
    {Mode::Sstv,     "SSTV",   "sstv",   "SSTV", 3, 8,   0, kRigUsb},
    {Mode::Fax,      "FAX",    "fax",    "FAX ", 3, 8,   0, kRigUsb},
    {Mode::Unnamed7, "???",    "",       "",     -1, 0,  0, kRigAm},
    {Mode::Fm,       "FM",     "fm",     "",     -1, 0,  0, kRigFm},
    {Mode::Psk31,    "PSK31",  "psk31",  "PSK ", 4, 16,  kPskFamily | kSoundDataMode | kOwnChannel | kSquelch | kAudioOffset, kRigData},
    {Mode::Qpsk,     "QPSK",   "qpsk",   "PSK ", 4, 16,  kPskFamily | kSoundDataMode | kOwnChannel | kSquelch | kAudioOffset, kRigData},
    {Mode::Fsk31,    "FSK31",  "fsk31",  "FSK ", 5, 32,  kPskFamily | kSoundDataMode | kOwnChannel | kFskAfc | kAudioOffset, kRigData},
    {Mode::Ax25,     "AX25",   "ax25",   "AX25", 6, 64,  kPacket | kHiTones | kOwnChannelAccess | kTonePair | kAudioOffset, kRigData},
    {Mode::Ax25Tx,   "AX25",   "ax25tx", "AX25", 6, 64,  kPacket | kTonePair | kAudioOffset, kNoRigMode},
    {Mode::Pactor,   "PACTOR", "pactor", "PACT", 7, 0,   kOwnChannel | kOwnChannelAccess | kTonePair | kAudioOffset, kRigData},
    {Mode::Hell,     "HELL",   "hell",   "HELL", 8, 128, kOwnChannel | kAudioOffset, kRigData},
    {Mode::Fsk31b,   "FSK31",  "fsk31b", "FSK ", 5, 32,  kPskFamily | kSoundDataMode | kOwnChannel | kFskAfc | kAudioOffset, kRigData},
    {Mode::Mtty,     "MTTY",   "mtty",   "MTTY", 9, 0,   kSoundDataMode | kOwnChannel | kAudioOffset, kRigData},
}};
// clang-format on

// The row of a mode; a number outside 0..17 gets the row of the unnamed mode 7.
constexpr const ModeRow& RowOf(Mode m) {
  const int i = static_cast<int>(m);
  return kModeTable[static_cast<size_t>(i >= 0 && i < kModeCount ? i : 7)];
}
constexpr bool HasTrait(Mode m, unsigned trait) {
  return (RowOf(m).traits & trait) != 0;
}

constexpr bool IsPskFamily(Mode m) {
  return HasTrait(m, kPskFamily);
}
constexpr bool IsSoundDataMode(Mode m) {
  return HasTrait(m, kSoundDataMode);
}
constexpr bool HasOwnChannel(Mode m) {
  return HasTrait(m, kOwnChannel);
}
constexpr bool IsPhone(Mode m) {
  return HasTrait(m, kPhone);
}
constexpr bool UsesHiTones(Mode m) {
  return HasTrait(m, kHiTones);
}
constexpr bool HasSquelch(Mode m) {
  return HasTrait(m, kSquelch);
}
constexpr bool UsesFskAfc(Mode m) {
  return HasTrait(m, kFskAfc);
}
constexpr bool IsPacket(Mode m) {
  return HasTrait(m, kPacket);
}
constexpr bool IsTonePair(Mode m) {
  return HasTrait(m, kTonePair);
}
// The signal sits at an audio offset from the dial (CW only when the sound card makes the tone).
constexpr bool UsesAudioOffset(Mode m, bool cwBySoundCard) {
  return HasTrait(m, kAudioOffset) || (m == Mode::Cw && cwBySoundCard);
}
// The rig mode code the mode selects; CW keyed by the line is CW, by the sound card data.
constexpr int RigModeOf(Mode m, bool cwBySoundCard) {
  if (m == Mode::Cw) return cwBySoundCard ? kRigData : kRigCw;
  return RowOf(m).rigMode;
}
// The TX/RX switch does nothing: the mode has its own channel access or only monitors.
constexpr bool IgnoresTxSwitch(Mode m) {
  return HasTrait(m, kOwnChannelAccess);
}

// "CW", "SSB", "RTTY", ... ; "???" for 7 and for numbers outside 0..17.
constexpr const char* ModeName(Mode m) {
  return RowOf(m).name;
}

// A mode number from a setting or a file: numbers outside 0..17 give nullopt.
constexpr std::optional<Mode> ModeFromNumber(int n) {
  if (n < 0 || n >= kModeCount) return std::nullopt;
  return static_cast<Mode>(n);
}

// The mode a text names: its command-line name or display name in any case ("psk31", "PSK31";
// "ssb" and "fsk31" are the first mode of that name), or its number "0".."17".
std::optional<Mode> ParseMode(std::string_view text);

// "cw|rtty|..." : the command-line names of the modes `accept` takes, joined by `separator`.
std::string ModeCliNames(bool (*accept)(Mode), std::string_view separator);

}  // namespace vexa
