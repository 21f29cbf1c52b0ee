#include "cli/cli.h"

#include <cmath>
#include <cstdlib>
#include <iostream>

namespace vexa::cli {
namespace {

// The command table. Add a command here and in cli.h.
constexpr CommandDef kCommands[] = {
    {"settings", "settings [--config FILE] dump | get SECTION KEY | set SECTION KEY VALUE",
     CmdSettings},
    {"devices", "devices                      list sound cards for receive and transmit",
     CmdDevices},
    {"demo", "demo [--seconds S]           decode the built-in demo audio in every mode", CmdDemo},
    {"log",
     "log add [--yes] TEXT | check | export adif|adif3|csv | import FILE | stats  the log file",
     CmdLog},
    {"contest", "contest report|score|cabrillo|qtc [--contest NAME] [--category N]  contest files",
     CmdContest},
    {"lookup", "lookup CALL...               country, zones and bearing of callsigns", CmdLookup},
    {"cty", "cty update [URL] | install FILE  get the current country file", CmdCty},
    {"rx", "rx --mode MODE [OPTIONS] FILE decode an audio file (modes and options: rx -h)", CmdRx},
    {"browse", "browse --mode psk31|rtty [--demod classic|best] FILE  every signal in a file",
     CmdBrowse},
    {"tx", "tx --mode MODE (--text T | --text-file F) -o OUT.wav  modulate a text (tx -h)", CmdTx},
    {"rig", "rig read | set FREQ [--mode M]  the transceiver over CAT", CmdRig},
    {"ports", "ports [monitor]              serial devices and port numbers; the port monitor",
     CmdPorts},
    {"macro", "macro [--at T] [--mode M] [--field NAME=VALUE]... [--line] TEXT  expand a key text",
     CmdMacro},
    {"spots", "spots parse FILE | fetch | post ... | telnet HOST PORT  DX spots (spots -h)",
     CmdSpots},
    {"packet",
     "packet [--mycall C] [--modem N] [--audio-in F|DEV] [--audio-out F|DEV] [--tnc H:P]\n"
     "         [--kiss-tcp P] [--connect CALL [--via DIGIS]] [--seconds S]  the packet station\n"
     "         (packet -h)",
     CmdPacket},
};

void PrintUsage(std::ostream& os) {
  os << "usage: vexa-cli [--config FILE] [--workdir DIR] COMMAND [ARGS]\n\ncommands:\n";
  for (const auto& c : kCommands) os << "  " << c.usage << "\n";
}

}  // namespace

bool ParseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end != nullptr && *end == '\0' && std::isfinite(value);
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string config, workdir, command;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--config" || a == "--workdir") {
      if (i + 1 >= args.size()) {
        err << "vexa-cli: " << a << " needs a value\n";
        return kExitUsage;
      }
      (a == "--config" ? config : workdir) = args[++i];
    } else if (command.empty()) {
      command = a;
    } else {
      rest.push_back(a);
    }
  }
  if (command.empty() || command == "help" || command == "--help" || command == "-h") {
    PrintUsage(command.empty() ? err : out);
    return command.empty() ? kExitUsage : kExitOk;
  }
  CliContext ctx{platform::DefaultAppPaths(), rest, out, err};
  if (int e = platform::ResolveAppPaths(ctx.paths, config, workdir)) {
    err << "vexa-cli: cannot create the working folder " << ctx.paths.workDir << " (error " << e
        << ")\n";
    return kExitFailure;
  }
  for (const auto& c : kCommands) {
    if (command == c.name) return c.run(ctx);
  }
  err << "vexa-cli: unknown command '" << command << "'\n";
  PrintUsage(err);
  return kExitUsage;
}

bool OpenFileInput(CliContext& ctx, const std::string& file, FileInput& in, int& rc,
                   const char* command) {
  std::string error;
  platform::FileAudioOptions fo;
  fo.inputPath = file;
  in.backend = platform::MakeFileBackend(fo, error);
  if (!in.backend) {
    ctx.err << "vexa-cli " << command << ": cannot read " << file << ": " << error << "\n";
    rc = kExitBadInput;
    return false;
  }
  in.card = std::make_unique<engine::SoundCard>(*in.backend, engine::DeviceChoice{});
  if (int e = in.card->OpenSoundInput()) {
    ctx.err << "vexa-cli " << command << ": cannot open the audio input (error " << e << ")\n";
    rc = kExitFailure;
    return false;
  }
  return true;
}

}  // namespace vexa::cli
