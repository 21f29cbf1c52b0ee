#include "platform/files/paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vexa::platform {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  if (v != nullptr && v[0] == '/') return v;  // relative XDG values are ignored, as the rules say
  return fallback;
}

std::string Home() {
  const char* h = std::getenv("HOME");
  return (h != nullptr && h[0] != '\0') ? h : "/tmp";
}

}  // namespace

AppPaths DefaultAppPaths() {
  AppPaths p;
  p.settingsFile = EnvOr("XDG_CONFIG_HOME", Home() + "/.config") + "/vexa/vexa.ini";
  p.workDir = EnvOr("XDG_DATA_HOME", Home() + "/.local/share") + "/vexa";
  return p;
}

int ResolveAppPaths(AppPaths& paths, const std::string& configOverride,
                    const std::string& workDirOverride) {
  if (!configOverride.empty()) paths.settingsFile = configOverride;
  if (!workDirOverride.empty()) paths.workDir = workDirOverride;
  while (paths.workDir.size() > 1 && paths.workDir.back() == '/') paths.workDir.pop_back();
  std::error_code ec;
  std::filesystem::create_directories(paths.workDir, ec);
  if (ec) return ec.value();
  return 0;
}

}  // namespace vexa::platform
