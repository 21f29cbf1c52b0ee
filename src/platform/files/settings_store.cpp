#include "platform/files/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace vexa::platform {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  if (!in) return lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

// Section header name when the line is "[name]", else nothing.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// Key and value of a "key=value" line.
bool SplitKey(std::string_view line, std::string_view& key, std::string_view& value) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return !key.empty();
}

// Finds the value of section/key in the file's lines.
std::optional<std::string> Lookup(const std::vector<std::string>& lines, std::string_view section,
                                  std::string_view key) {
  bool inSection = false;
  for (const auto& line : lines) {
    if (auto s = SectionOf(line)) {
      inSection = EqualNoCase(*s, section);
      continue;
    }
    if (!inSection) continue;
    std::string_view k, v;
    if (SplitKey(line, k, v) && EqualNoCase(k, key)) {
      // A value enclosed in matching quotes reads without them.
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      return std::string(v);
    }
  }
  return std::nullopt;
}

bool ValidName(std::string_view name, bool isSection) {
  if (Trim(name).empty() || Trim(name).size() != name.size()) return false;
  for (char c : name) {
    if (c == '\n' || c == '\r' || c == '\0') return false;
    if (isSection && c == ']') return false;
    if (!isSection && c == '=') return false;
  }
  if (!isSection && name.front() == '[') return false;
  return true;
}

}  // namespace

int SettingsStore::ParseProfileInt(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (v <= static_cast<long long>(INT_MAX) + 1) v = v * 10 + (c - '0');
  }
  if (negative) v = -v;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

int SettingsStore::ReadSettingInt(std::string_view section, std::string_view key,
                                  int defaultValue) const {
  auto v = Lookup(ReadLines(path_), section, key);
  if (!v) return defaultValue;
  return ParseProfileInt(*v);
}

std::string SettingsStore::ReadSettingText(std::string_view section, std::string_view key,
                                           std::string_view defaultValue) const {
  auto v = Lookup(ReadLines(path_), section, key);
  std::string text = v ? std::move(*v) : std::string(defaultValue);
  if (text.size() > kMaxTextLength) text.resize(kMaxTextLength);
  return text;
}

bool SettingsStore::HasSetting(std::string_view section, std::string_view key) const {
  return Lookup(ReadLines(path_), section, key).has_value();
}

int SettingsStore::WriteSettingInt(std::string_view section, std::string_view key, int value) {
  return WriteSettingText(section, key, std::to_string(value));
}

int SettingsStore::WriteSettingText(std::string_view section, std::string_view key,
                                    std::string_view text) {
  if (!ValidName(section, true) || !ValidName(key, false)) {
    lastError_ = "invalid section or key name";
    return kSettingsBadName;
  }
  if (text.find_first_of("\r\n") != std::string_view::npos || text.find('\0') != text.npos) {
    lastError_ = "a setting cannot hold a line break";
    return kSettingsBadValue;
  }

  std::vector<std::string> lines = ReadLines(path_);
  const std::string newLine = std::string(key) + "=" + std::string(text);

  // Find the section; replace the key in it, or add the key at the end of the section.
  bool inSection = false;
  bool sectionFound = false;
  size_t insertAt = lines.size();
  bool done = false;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    if (auto s = SectionOf(lines[i])) {
      if (inSection) break;  // the section ended without the key
      inSection = EqualNoCase(*s, section);
      if (inSection) {
        sectionFound = true;
        insertAt = i + 1;
      }
      continue;
    }
    if (!inSection) continue;
    std::string_view k, v;
    if (SplitKey(lines[i], k, v) && EqualNoCase(k, key)) {
      lines[i] = newLine;
      done = true;
    } else if (!Trim(lines[i]).empty()) {
      insertAt = i + 1;
    }
  }
  if (!done) {
    if (sectionFound) {
      lines.insert(lines.begin() + static_cast<long>(insertAt), newLine);
    } else {
      if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
      lines.push_back("[" + std::string(section) + "]");
      lines.push_back(newLine);
    }
  }

  std::string content;
  for (const auto& l : lines) {
    content += l;
    content += '\n';
  }

  // Write a temporary file beside the target, flush it to disk, then rename it over the target.
  namespace fs = std::filesystem;
  fs::path target(path_);
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  std::string tmpl = path_ + ".XXXXXX";
  std::vector<char> tmpName(tmpl.begin(), tmpl.end());
  tmpName.push_back('\0');
  int fd = mkstemp(tmpName.data());
  if (fd < 0) {
    lastError_ = std::string("cannot create temporary file: ") + std::strerror(errno);
    return kSettingsWriteFailed;
  }
  struct stat st {};
  if (stat(path_.c_str(), &st) == 0)
    fchmod(fd, st.st_mode & 07777);
  else
    fchmod(fd, 0644);
  const char* p = content.data();
  size_t left = content.size();
  bool ok = true;
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (ok && fdatasync(fd) != 0) ok = false;
  int savedErrno = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && rename(tmpName.data(), path_.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    unlink(tmpName.data());
    lastError_ = "cannot write " + path_ + ": " + std::strerror(savedErrno);
    return kSettingsWriteFailed;
  }
  lastError_.clear();
  return kSettingsOk;
}

}  // namespace vexa::platform
