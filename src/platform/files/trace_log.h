#pragma once
// The debug trace: plain lines appended to "VexaDbg.log" in the working folder. Each line carries
// its own "\n". The file is opened and closed for every line; failures are swallowed, because a
// trace that cannot be written must never stop the program.
#include <string>
#include <string_view>

namespace vexa::platform {

class TraceLog {
 public:
  static constexpr const char* kFileName = "VexaDbg.log";

  TraceLog() = default;  // a log without a file: every line is dropped
  explicit TraceLog(std::string path) : path_(std::move(path)) {}

  // Deletes the trace file (the first action of start-up, so each run starts empty).
  void Clear() const;
  void TraceLine(std::string_view text) const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace vexa::platform
