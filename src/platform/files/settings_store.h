#pragma once
// Private-profile (INI) settings file: sections of named keys holding integer or text values.
//
// Semantics the program relies on:
//  - section and key names compare case-insensitively;
//  - a missing key reads as the caller's default, an integer read of a non-number as 0;
//  - integers are written with "%d", texts as they are; a text read back is cut at 4095 characters;
//  - the file is never held open: every call opens, parses and closes it;
//  - a missing or unreadable file reads as empty;
//  - every write reaches the file at once and replaces it atomically (temporary file + rename),
//    so a crash or a full disk never leaves a half-written file; a failed write leaves the old
//    file as it was and is reported by a non-zero result.
#include <string>
#include <string_view>

namespace vexa::platform {

enum SettingsError : int {
  kSettingsOk = 0,
  kSettingsBadName = 1,     // section or key empty, or holding a character the file cannot carry
  kSettingsBadValue = 2,    // a text value holding a line break
  kSettingsWriteFailed = 3  // the file could not be replaced (see errno text in lastError())
};

class SettingsStore {
 public:
  static constexpr size_t kMaxTextLength = 4095;

  explicit SettingsStore(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  int ReadSettingInt(std::string_view section, std::string_view key, int defaultValue) const;
  std::string ReadSettingText(std::string_view section, std::string_view key,
                              std::string_view defaultValue) const;
  // True when the key exists in the file (whatever its value).
  bool HasSetting(std::string_view section, std::string_view key) const;

  [[nodiscard]] int WriteSettingInt(std::string_view section, std::string_view key, int value);
  [[nodiscard]] int WriteSettingText(std::string_view section, std::string_view key,
                                     std::string_view text);

  // Text of the last failed write ("" after a successful one).
  const std::string& lastError() const { return lastError_; }

  // Integer conversion used by ReadSettingInt: optional blanks and sign, then decimal digits up
  // to the first other character; no digits gives 0; values beyond int32 saturate.
  static int ParseProfileInt(std::string_view text);

 private:
  std::string path_;
  std::string lastError_;
};

}  // namespace vexa::platform
