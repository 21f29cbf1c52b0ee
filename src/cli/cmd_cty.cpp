// vexa-cli cty: get a current country file into the working folder.
#include <iostream>

#include "callinfo/country_file_update.h"
#include "cli/cli.h"

namespace vexa::cli {

int CmdCty(CliContext& ctx) {
  const auto& a = ctx.args;
  std::string message;
  int rc;
  if (!a.empty() && a[0] == "update" && a.size() <= 2) {
    rc = callinfo::UpdateCountryFile(a.size() == 2 ? a[1] : callinfo::kDefaultCountryFileUrl,
                                     ctx.paths.workDir, message);
  } else if (a.size() == 2 && a[0] == "install") {
    rc = callinfo::InstallCountryFile(a[1], ctx.paths.workDir, message);
  } else {
    ctx.err << "usage: vexa-cli cty update [URL] | install FILE\n";
    return kExitUsage;
  }
  (rc == callinfo::kUpdateOk ? ctx.out : ctx.err) << message << "\n";
  if (rc == callinfo::kUpdateOk) return kExitOk;
  return rc == callinfo::kUpdateCannotRead || rc == callinfo::kUpdateNotCountryFile ? kExitBadInput
                                                                                    : kExitFailure;
}

}  // namespace vexa::cli
