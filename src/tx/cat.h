#pragma once
// Transceiver CAT control as pure byte work: the command sets of the five rig families (Icom
// CI-V at the fixed address 0x04 or at a chosen one, Yaesu 5-byte commands, Kenwood text, TenTec
// "N"), encoded into byte strings with the wait each needs, and the replies decoded back into
// the dial frequency and mode. Nothing here touches a port: the rig section sends the commands
// and hands the arriving bytes in.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/mode.h"

namespace vexa::tx {

// TX1/Type.
enum class CatFamily : int {
  None = 0,
  IcomFixed = 1,      // CI-V at address 0x04
  IcomAddressed = 2,  // CI-V at the address IcomAddr chooses
  Yaesu = 3,
  Kenwood = 4,
  TenTec = 5,
  Rigctld = 6,  // a rig server on the network speaking the rigctld text protocol
};

// What each family is like; one row per family.
struct CatFamilyRow {
  CatFamily family;
  const char* name;
  int commandWaitMs;   // wait after a command at 1200 baud (scaled by the port speed)
  bool polledOnTick;   // replies come only when asked: the status request is repeated
  int freqBcdBytes;    // Icom: bytes of the frequency in a set command
  int pttWaitMs;       // wait after a PTT command
  bool pttWaitScaled;  // ...at 1200 baud, scaled by the port speed (else at any speed)
};

// clang-format off
inline constexpr std::array<CatFamilyRow, 7> kCatFamilies{{
    {CatFamily::None,          "none",    0,   false, 0, 0,   true},
    {CatFamily::IcomFixed,     "Icom",    500, false, 4, 500, true},
    {CatFamily::IcomAddressed, "Icom",    500, false, 5, 500, true},
    {CatFamily::Yaesu,         "Yaesu",   0,   true,  0, 100, true},
    {CatFamily::Kenwood,       "Kenwood", 0,   true,  0, 12,  false},
    {CatFamily::TenTec,        "TenTec",  0,   false, 0, 0,   true},
    {CatFamily::Rigctld,       "rigctld", 0,   true,  0, 0,   true},
}};
// clang-format on

// The row of a TX1/Type value; anything outside 0..6 is "none".
const CatFamilyRow& FamilyRow(int type);

// The CI-V addresses IcomAddr 0..21 chooses, and the controller's own address.
inline constexpr std::array<uint8_t, 22> kIcomAddresses{
    0x10, 0x16, 0x48, 0x4E, 0x3E, 0x28, 0x30, 0x38, 0x04, 0x40, 0x3C,
    0x44, 0x56, 0x1C, 0x50, 0x1E, 0x2C, 0x46, 0x26, 0x42, 0x4C, 0x2E};
inline constexpr uint8_t kIcomFixedAddress = 0x04;
inline constexpr uint8_t kControllerAddress = 0xE0;
inline constexpr int kTenTecBfoHz = 1700;
inline constexpr int64_t kInitialDialHz = 14071000;

// The CAT settings (section TX1).
struct CatSettings {
  int type = 0;          // Type: a CatFamily
  int icomAddr = 0;      // IcomAddr: index into kIcomAddresses
  int yaesuModel = 0;    // Yaesu: 0..5; 0 sends only the frequency command
  int tenTec = 0;        // TenTec: 0 uses the "N" command
  int digiSide = 0;      // DigiSide: 0 the data modes on the upper sideband
  int digiCommand = -1;  // DigiCommand: the mode code for the data modes; -1 from DigiSide

  CatFamily family() const { return FamilyRow(type).family; }
};

// The rig's CI-V address: the IcomAddr entry for type 2, else (and out of range) 0x04.
uint8_t IcomAddress(const CatSettings& s);

// One command: the bytes and the wait after them at 1200 baud (see CatWaitMs).
struct CatCommand {
  std::vector<uint8_t> bytes;
  int waitMs = 0;
  bool scaled = true;  // false: waitMs holds at any port speed
};
using CatCommands = std::vector<CatCommand>;

// The wait after a command on a port running at `baud`.
int CommandWaitMs(const CatCommand& c, int baud);
// A wait of `ms` at 1200 baud for a port running at `baud`: ms / (baud / 1200) with the integer
// quotient; below 1200 baud (where that quotient is 0) the time is scaled instead.
int CatWaitMs(int ms, int baud);

// The dial frequency command (Yaesu, Kenwood, TenTec with TenTec 0, Icom when dialHz is not 0).
CatCommands EncodeSetFrequency(const CatSettings& s, int64_t dialHz);
// The mode command for a rig mode code (0 LSB, 1 USB, 2 AM, 3 CW, 4 data, 5 FM).
CatCommands EncodeSetMode(const CatSettings& s, int rigMode);
// The status request (Yaesu with a model, Kenwood, Icom).
CatCommands EncodeRequestStatus(const CatSettings& s);
// The VFO command with its sub-command (-1: none): Icom type 1 and Yaesu models 1..4 only.
CatCommands EncodeSelectVfo(const CatSettings& s, int subCommand);
// PTT by command: Icom at 0x56, Yaesu, Kenwood; empty for the others.
CatCommands EncodePtt(const CatSettings& s, bool on);

// The mode code sent for a rig mode: Icom and Yaesu send DigiCommand (or USB/LSB by DigiSide)
// for the data code 4.
int RigModeArgument(const CatSettings& s, int rigMode);

// --- Operating frequency ---
// Per-mode corrections in hertz (TX1 FqCorrection, FqCorrCW, FqCorrUSB, FqCorrLSB).
struct FrequencyCorrections {
  int data = 0, cw = 0, usb = 0, lsb = 0;
};
struct DialContext {
  Mode mode = Mode::Psk31;
  bool cwBySoundCard = true;  // CW/UseSB
  double audioHz = 1000;      // the receive audio frequency
  int digiSide = 0;
  FrequencyCorrections corrections;
};
// The correction of the current mode.
int ModeCorrection(const DialContext& c);
// The operating frequency the user sees for a dial frequency, and back.
int64_t OperatingFrequency(const DialContext& c, int64_t dialHz);
int64_t DialForOperating(const DialContext& c, int64_t operatingHz);
// "%i.%03i.%03i": MHz, kHz, Hz.
std::string FormatFrequency(int64_t hz);
// A frequency typed by the user: "14.070.150", "14070150", "14.07015" (MHz), "14070.15" (kHz).
std::optional<int64_t> ParseFrequency(const std::string& text);

// --- Replies ---
// The Icom framing state machine of one port: FE starts, other bytes after FE open a frame, FD
// completes it. Frames longer than kMaxFrame are dropped.
class IcomFramer {
 public:
  static constexpr size_t kMaxFrame = 64;
  // Feeds bytes; every completed frame [destination, source, command, data...] is appended.
  void Feed(std::span<const uint8_t> bytes, std::vector<std::vector<uint8_t>>& frames);

 private:
  enum class State { WaitFe, AfterFe, InFrame } state_ = State::WaitFe;
  std::vector<uint8_t> frame_;
};

// What a reply told.
struct CatReport {
  std::optional<int64_t> dialHz;
  std::optional<Mode> mode;
  std::string monitorText;  // a frame nobody asked for, for the port monitor
};
// One complete Icom frame, with the program's current mode (data modes keep it on a broadcast).
CatReport DecodeIcomFrame(const CatSettings& s, std::span<const uint8_t> frame, Mode current);
// The Yaesu status reply of a model; nullopt when too short (or not 5 bytes for model 5).
std::optional<int64_t> DecodeYaesuReply(int model, std::span<const uint8_t> reply);
// The bytes of a whole Yaesu status reply of a model (0: the model is never asked).
size_t YaesuReplyLength(int model);
// The Kenwood "IF" reply: the dial in characters 2..12; nullopt when 13 characters or fewer.
std::optional<int64_t> DecodeKenwoodReply(std::span<const uint8_t> reply);

// --- The rigctld text protocol (one command a line, answered by values or "RPRT n") ---
std::string RigctlSetFrequency(int64_t dialHz);  // "F 14070000\n"
// "M USB 0\n"; the data code is PKTUSB or PKTLSB by DigiSide. "" for a code without a name.
std::string RigctlSetMode(const CatSettings& s, int rigMode);
std::string RigctlSetPtt(bool on);  // "T 1\n"
inline constexpr const char* kRigctlGetFrequency = "f\n";
inline constexpr const char* kRigctlGetMode = "m\n";
// A frequency line ("14070000" or "14070000.000000"); nullopt for anything else.
std::optional<int64_t> ParseRigctlFrequency(std::string_view line);
// The "RPRT n" result of a set command; nullopt when the line is not one.
std::optional<int> ParseRigctlResult(std::string_view line);
// The program mode a rigctld mode name asks for, given the current one (a sideband or data
// report keeps a mode that rides on it); nullopt to keep the current mode.
std::optional<Mode> RigctlModeFor(std::string_view name, Mode current);

}  // namespace vexa::tx
