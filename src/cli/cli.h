#pragma once
// vexa-cli: the command-line face of Vexa. Every command runs the same code paths as the
// desktop program, without a window. Exit codes: 0 success, 1 failure, 2 usage error,
// 3 unreadable input.
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/mode.h"
#include "engine/sound_card.h"
#include "platform/audio/audio_backend.h"
#include "platform/files/paths.h"

namespace vexa::cli {

enum ExitCode : int { kExitOk = 0, kExitFailure = 1, kExitUsage = 2, kExitBadInput = 3 };

struct CliContext {
  platform::AppPaths paths;
  std::vector<std::string> args;  // the command's own arguments (global options removed)
  std::ostream& out;
  std::ostream& err;
};

using CommandFn = int (*)(CliContext& ctx);

struct CommandDef {
  const char* name;
  const char* usage;  // one line, shown by "vexa-cli help"
  CommandFn run;
};

// A whole token as a finite number.
bool ParseNumber(const std::string& text, double& value);

// The mode a command-line argument names, when `accept` takes it; nullopt otherwise.
inline std::optional<Mode> ParseModeIf(const std::string& text, bool (*accept)(Mode)) {
  const std::optional<Mode> m = ParseMode(text);
  if (!m || !accept(*m)) return std::nullopt;
  return m;
}

// A recording opened as the sound input, as `rx` reads it. On failure the message is written to
// ctx.err and the exit code is returned in rc.
struct FileInput {
  std::unique_ptr<platform::AudioBackend> backend;
  std::unique_ptr<engine::SoundCard> card;
};
// command: the name the messages begin with.
bool OpenFileInput(CliContext& ctx, const std::string& file, FileInput& in, int& rc,
                   const char* command = "rx");

// Runs vexa-cli with its arguments (argv[0] excluded).
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Commands, one per file.
int CmdSettings(CliContext& ctx);
int CmdDevices(CliContext& ctx);
int CmdDemo(CliContext& ctx);
int CmdLog(CliContext& ctx);
int CmdContest(CliContext& ctx);
int CmdLookup(CliContext& ctx);
int CmdCty(CliContext& ctx);
int CmdRx(CliContext& ctx);
int CmdBrowse(CliContext& ctx);
int CmdTx(CliContext& ctx);
int CmdPorts(CliContext& ctx);
int CmdRig(CliContext& ctx);
int CmdSpots(CliContext& ctx);
// The packet station of mode 13 (cmd_packet_station.cpp).
int CmdPacket(CliContext& ctx);
int CmdMacro(CliContext& ctx);
// rx and tx with --mode ax25 (cmd_packet.cpp).
int CmdRxPacket(CliContext& ctx);
int CmdTxPacket(CliContext& ctx);
// True when the arguments hold "--mode ax25" (any case): rx and tx hand over to the packet
// commands.
bool NamesPacketMode(const std::vector<std::string>& args);

}  // namespace vexa::cli
