#include "platform/files/trace_log.h"

#include <cstdio>

namespace vexa::platform {

void TraceLog::Clear() const {
  if (!path_.empty()) std::remove(path_.c_str());
}

void TraceLog::TraceLine(std::string_view text) const {
  if (path_.empty()) return;
  std::FILE* f = std::fopen(path_.c_str(), "ab");
  if (f == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

}  // namespace vexa::platform
