#pragma once
// Where Vexa keeps its files: the settings file in the configuration folder and the working
// folder (log, country file, trace files, exports). Both follow the XDG base-directory rules and
// can be overridden from the command line (--config FILE, --workdir DIR).
#include <string>

namespace vexa::platform {

struct AppPaths {
  std::string settingsFile;  // e.g. ~/.config/vexa/vexa.ini
  std::string workDir;       // e.g. ~/.local/share/vexa (no trailing slash)

  // Path of a file in the working folder.
  std::string WorkFile(const std::string& name) const { return workDir + "/" + name; }
};

// Default locations from XDG_CONFIG_HOME / XDG_DATA_HOME (or ~/.config, ~/.local/share).
// The settings file is named after the program ("vexa.ini"); the GUI and the CLI share it.
AppPaths DefaultAppPaths();

// Applies overrides (empty strings keep the defaults) and creates the working folder when it is
// missing. Returns 0, or errno when the working folder cannot be created.
[[nodiscard]] int ResolveAppPaths(AppPaths& paths, const std::string& configOverride,
                                  const std::string& workDirOverride);

}  // namespace vexa::platform
