#pragma once
// Runs vexa-cli in-process with a temporary working folder and keeps what it printed.
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "support/test_paths.h"

namespace vexa::cli {

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

// `args` after "--workdir DIR" (and "--config DIR/vexa.ini" when withConfig).
inline CliRun Cli(const test::TempDir& dir, std::vector<std::string> args,
                  bool withConfig = false) {
  std::vector<std::string> full = {"--workdir", dir.path()};
  if (withConfig) full.insert(full.end(), {"--config", dir.File("vexa.ini")});
  full.insert(full.end(), args.begin(), args.end());
  std::ostringstream out, err;
  const int code = RunCli(full, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace vexa::cli
