// vexa-cli spots: the spot list from a file of received lines, from the web cluster page, and a
// spot sent to the web cluster. The ring is printed as the spot window shows it: newest first,
// numbered from 1, one spot line each.
#include <chrono>
#include <fstream>
#include <iostream>

#include "app/settings_table.h"
#include "app/spots_section.h"
#include "cli/cli.h"
#include "platform/files/settings_store.h"
#include "spots/cluster_client.h"
#include "spots/spot_ring.h"
#include "spots/web_cluster.h"

namespace vexa::cli {
namespace {

constexpr const char* kUsage =
    "usage: vexa-cli spots parse FILE | fetch | post --dx CALL --freq KHZ [--comment TEXT]\n"
    "       vexa-cli spots telnet HOST PORT [--call CALL] [--seconds S] [--command TEXT]...\n";

void PrintRing(const spots::SpotRing& ring, std::ostream& out) {
  int n = 0;
  for (const std::string& line : ring.DisplayLines()) out << ++n << '\t' << line << '\n';
}

// Offers the file's lines in order, as the receive window offers completed lines: a line ends
// at CR or LF, empty lines are skipped. Lines are read in blocks and cut to a bounded length,
// so a file without line ends cannot exhaust the memory. Returns false when it cannot be read.
bool FeedFile(const std::string& path, spots::SpotRing& ring, int& lines, int& added) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  lines = added = 0;
  std::string line;
  auto end = [&] {
    if (line.empty()) return;
    ++lines;
    added += ring.addSpotFromLine(line);
    line.clear();
  };
  char block[65536];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    const std::streamsize n = in.gcount();
    for (std::streamsize i = 0; i < n; ++i) {
      const char c = block[i];
      if (c == '\r' || c == '\n') {
        end();
      } else if (line.size() < spots::kMaxPageLineChars) {
        line.push_back(c);
      }
    }
  }
  end();
  return true;
}

int Parse(CliContext& ctx) {
  if (ctx.args.size() != 2) {
    ctx.err << kUsage;
    return kExitUsage;
  }
  spots::SpotRing ring;
  int lines = 0, added = 0;
  if (!FeedFile(ctx.args[1], ring, lines, added)) {
    ctx.err << "vexa-cli spots: cannot read " << ctx.args[1] << "\n";
    return kExitBadInput;
  }
  PrintRing(ring, ctx.out);
  ctx.err << lines << " lines, " << added << " new spots\n";
  return kExitOk;
}

int Fetch(CliContext& ctx) {
  if (ctx.args.size() != 1) {
    ctx.err << kUsage;
    return kExitUsage;
  }
  platform::SettingsStore store(ctx.paths.settingsFile);
  spots::SpotRing ring;
  int added = 0;
  std::string message;
  const int rc = spots::FetchSpots(ring, app::LoadWebClusterSettings(store), added, message);
  if (rc != spots::kWebOk) {
    ctx.err << "vexa-cli spots fetch: " << message << "\n";
    return kExitFailure;
  }
  PrintRing(ring, ctx.out);
  ctx.err << message << "\n";
  return kExitOk;
}

int Post(CliContext& ctx) {
  spots::SpotPost spot;
  bool haveFreq = false;
  for (size_t i = 1; i < ctx.args.size(); ++i) {
    const std::string& a = ctx.args[i];
    if (i + 1 >= ctx.args.size()) {
      ctx.err << kUsage;
      return kExitUsage;
    }
    const std::string& v = ctx.args[++i];
    if (a == "--dx") {
      spot.dxCall = v;
    } else if (a == "--freq") {
      haveFreq = ParseNumber(v, spot.frequencyKhz) && spot.frequencyKhz > 0;
    } else if (a == "--comment") {
      spot.comment = v;
    } else {
      ctx.err << kUsage;
      return kExitUsage;
    }
  }
  bool callOk = !spot.dxCall.empty();
  for (char c : spot.dxCall) callOk = callOk && spots::IsCallsignChar(c);
  if (!callOk || !haveFreq) {
    ctx.err << kUsage << "(--dx needs a callsign, --freq a frequency in kHz above 0)\n";
    return kExitUsage;
  }
  platform::SettingsStore store(ctx.paths.settingsFile);
  const std::string myCall = app::CurrentValueText(*app::FindSetting("Station", "MyCall"), store);
  if (myCall.empty()) {
    ctx.err << "vexa-cli spots post: the own call is not set (settings set Station MyCall CALL)\n";
    return kExitUsage;
  }
  std::string message;
  const int rc = spots::PostSpot(app::LoadWebClusterSettings(store), myCall, spot, message);
  (rc == spots::kWebOk ? ctx.out : ctx.err) << message << "\n";
  return rc == spots::kWebOk ? kExitOk : kExitFailure;
}

// Connects to a telnet cluster for a while, feeding every line to the ring, then prints it.
int Telnet(CliContext& ctx) {
  const auto& a = ctx.args;
  double port = 0, seconds = 10;
  if (a.size() < 3 || !ParseNumber(a[2], port) || port < 1 || port > 65535) {
    ctx.err << kUsage;
    return kExitUsage;
  }
  platform::SettingsStore store(ctx.paths.settingsFile);
  spots::ClusterSettings settings = app::LoadClusterSettings(store);
  settings.host = a[1];
  settings.port = static_cast<int>(port);
  std::vector<std::string> commands;
  for (size_t i = 3; i < a.size(); i += 2) {
    if (i + 1 >= a.size()) {
      ctx.err << kUsage;
      return kExitUsage;
    }
    if (a[i] == "--call") {
      settings.call = a[i + 1];
    } else if (a[i] == "--seconds") {
      if (!ParseNumber(a[i + 1], seconds) || seconds < 0 || seconds > 86400) {
        ctx.err << kUsage;
        return kExitUsage;
      }
    } else if (a[i] == "--command") {
      commands.push_back(a[i + 1]);
    } else {
      ctx.err << kUsage;
      return kExitUsage;
    }
  }
  spots::ClusterClient client(settings);
  for (const std::string& c : commands) client.Send(c);
  spots::SpotRing ring;
  int lines = 0, added = 0;
  bool everLoggedIn = false;
  std::vector<std::string> got;
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
  while (std::chrono::steady_clock::now() < end) {
    client.Step(100, got);
    for (const std::string& l : got) {
      ++lines;
      added += ring.addSpotFromLine(l);
    }
    got.clear();
    everLoggedIn = everLoggedIn || client.loggedIn();
  }
  PrintRing(ring, ctx.out);
  ctx.err << client.status() << "\n" << lines << " lines, " << added << " new spots\n";
  return everLoggedIn || lines > 0 ? kExitOk : kExitFailure;
}

}  // namespace

int CmdSpots(CliContext& ctx) {
  if (!ctx.args.empty() && (ctx.args[0] == "-h" || ctx.args[0] == "--help")) {
    ctx.out << kUsage;
    return kExitOk;
  }
  if (!ctx.args.empty() && ctx.args[0] == "telnet") return Telnet(ctx);
  const std::string sub = ctx.args.empty() ? std::string() : ctx.args[0];
  if (sub == "parse") return Parse(ctx);
  if (sub == "fetch") return Fetch(ctx);
  if (sub == "post") return Post(ctx);
  ctx.err << kUsage;
  return kExitUsage;
}

}  // namespace vexa::cli
