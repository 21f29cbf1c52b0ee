#include "log/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vexa::log {
namespace {

bool IsTrailingSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsTrailingSpace(s.back())) s.remove_suffix(1);
  return s;
}

void SetError(std::string* error, const std::string& what, int err) {
  if (!error) return;
  *error = what;
  *error += ": ";
  *error += std::strerror(err);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {  // no progress and no reason given: stop rather than spin
      errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

}  // namespace

std::vector<LogFileRecord> SplitLogRecords(std::string_view bytes) {
  std::vector<LogFileRecord> records;
  LogFileRecord current;
  bool open = false;
  size_t pos = 0;
  int line = 0;
  while (pos < bytes.size()) {
    size_t eol = bytes.find('\n', pos);
    const size_t next = eol == std::string_view::npos ? bytes.size() : eol + 1;
    if (eol == std::string_view::npos) eol = bytes.size();
    ++line;
    const std::string_view text = TrimRight(bytes.substr(pos, eol - pos));
    if (text.empty()) {
      if (open) {
        current.end = next;
        current.endLine = line;
        records.push_back(std::move(current));
        current = LogFileRecord();
        open = false;
      }
    } else {
      if (!open) {
        current.start = pos;
        open = true;
      } else {
        current.text += "\r\n";
      }
      current.text += text;
    }
    pos = next;
  }
  if (open) {
    current.end = bytes.size();
    current.endLine = line;
    records.push_back(std::move(current));
  }
  return records;
}

int ReadLogBytes(const std::string& path, std::string& bytes, std::string* error) {
  bytes.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    SetError(error, path, errno);
    return kLogCannotOpen;
  }
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  const bool bad = std::ferror(f) != 0;
  const int err = errno;
  std::fclose(f);
  if (bad) {
    SetError(error, path, err);
    return kLogCannotOpen;
  }
  return kLogOk;
}

int WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* error) {
  std::string tmp = path;
  tmp += ".tmpXXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) {
    SetError(error, FolderOf(path), errno);
    return kLogWriteFailed;
  }
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) ok = false, err = errno;
  if (ok) {
    // Keep the permissions of the file being replaced (mkstemp creates 0600).
    struct stat st {};
    ::chmod(tmp.c_str(), ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    if (::rename(tmp.c_str(), path.c_str()) != 0) ok = false, err = errno;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    SetError(error, path, err);
    return kLogWriteFailed;
  }
  return kLogOk;
}

int AppendRecordText(const std::string& path, std::string_view text, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND, 0644);
  if (fd < 0) {
    SetError(error, path, errno);
    return kLogCannotOpen;
  }
  // Look at the end of the file: a last line that is not blank belongs to a record without its
  // closing blank line, which must be closed before anything is appended.
  std::string prefix;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  if (size < 0) {
    // Without the old length a failed append could not be taken back: write nothing.
    SetError(error, path, errno);
    ::close(fd);
    return kLogWriteFailed;
  }
  if (size > 0) {
    char tail[512];
    const off_t from = size > static_cast<off_t>(sizeof tail) ? size - sizeof tail : 0;
    const ssize_t n = ::pread(fd, tail, static_cast<size_t>(size - from), from);
    if (n > 0) {
      std::string_view t(tail, static_cast<size_t>(n));
      const bool endsWithNewline = t.back() == '\n';
      // Last line (without its LF) and the line before it.
      std::string_view body = endsWithNewline ? t.substr(0, t.size() - 1) : t;
      const size_t lastBreak = body.rfind('\n');
      const std::string_view lastLine =
          lastBreak == std::string_view::npos ? body : body.substr(lastBreak + 1);
      if (!endsWithNewline) {
        prefix = TrimRight(lastLine).empty() ? "\r\n" : "\r\n\r\n";
      } else if (!TrimRight(lastLine).empty()) {
        prefix = "\r\n";
      }
    }
  }
  std::string all = prefix;
  all += text;
  // All or nothing: a write cut short (full disk, size limit, I/O error) or a flush that fails
  // takes the file back to its old length, so that no part of a record is left at its end and
  // the record can be saved again without doubling. The old length is restored by offset, so
  // the records already in the file are never touched.
  // EINVAL from fsync means a kind of file that cannot be flushed (a device): nothing to wait for.
  const bool ok = WriteAll(fd, all) && (::fsync(fd) == 0 || errno == EINVAL);
  const int err = errno;
  if (!ok && ::ftruncate(fd, size) == 0) ::fsync(fd);
  ::close(fd);
  if (!ok) {
    SetError(error, path, err);
    return kLogWriteFailed;
  }
  return kLogOk;
}

bool RecordMatches(std::string_view recordText, const QsoRecord& wanted) {
  const std::string upper = ToUpper(recordText);
  if (wanted.call.empty() || upper.compare(0, wanted.call.size(), ToUpper(wanted.call)) != 0)
    return false;
  QsoRecord r;
  if (ParseQsoText(upper, r) != kQsoOk) return false;
  return r.frequency == wanted.frequency && r.when == wanted.when &&
         ToUpper(r.mode) == ToUpper(wanted.mode);
}

QsoSpan FindQsoInText(std::string_view bytes, const QsoRecord& wanted) {
  for (const LogFileRecord& rec : SplitLogRecords(bytes)) {
    if (RecordMatches(rec.text, wanted))
      return QsoSpan{static_cast<int64_t>(rec.start), static_cast<int64_t>(rec.end)};
  }
  return QsoSpan{};
}

int FindQsoInFile(const std::string& path, const QsoRecord& wanted, QsoSpan& span) {
  std::string bytes;
  span = QsoSpan{};
  if (int e = ReadLogBytes(path, bytes)) return e;
  span = FindQsoInText(bytes, wanted);
  return span.found() ? kLogOk : kLogNotFound;
}

namespace {

int RewriteSpan(const std::string& path, const QsoRecord& old, std::string_view insert,
                std::string* error) {
  std::string bytes;
  if (int e = ReadLogBytes(path, bytes, error)) return e;
  const QsoSpan span = FindQsoInText(bytes, old);
  if (!span.found()) return kLogNotFound;
  std::string out;
  out.reserve(bytes.size() + insert.size());
  out.append(bytes, 0, static_cast<size_t>(span.start));
  out += insert;
  out.append(bytes, static_cast<size_t>(span.end), std::string::npos);
  return WriteFileAtomic(path, out, error);
}

}  // namespace

int DeleteQso(const std::string& path, const QsoRecord& record, std::string* error) {
  return RewriteSpan(path, record, {}, error);
}

int ReplaceQso(const std::string& path, const QsoRecord& old, const QsoRecord& replacement,
               std::string_view contestName, std::string* error) {
  return RewriteSpan(path, old, FormatEditedRecord(replacement, contestName), error);
}

std::string FormatEditedRecord(const QsoRecord& r, std::string_view contestName) {
  std::string s = r.call;
  s += ' ';
  s += FormatQsoWhen(r.when, true);
  s += ' ';
  s += FormatFrequency(r.frequency);
  const std::string mode = ModeWordOfCode(r.mode);
  if (!mode.empty()) {
    s += ' ';
    s += mode;
  }
  if (!r.rstSent.empty() && !r.rstReceived.empty()) {
    s += ' ';
    s += r.rstSent;
    s += '/';
    s += r.rstReceived;
  }
  if (!r.exchangeSent.empty() && !r.exchangeReceived.empty()) {
    s += ' ';
    s += r.exchangeSent;
    s += '&';
    s += r.exchangeReceived;
  }
  std::string tag;
  if (!contestName.empty()) {
    tag = "[";
    tag += contestName;
    tag += "]";
  }
  std::string_view comment = TrimRight(r.comment);
  if (!tag.empty() && comment.size() >= tag.size() &&
      comment.substr(comment.size() - tag.size()) == tag) {
    comment = TrimRight(comment.substr(0, comment.size() - tag.size()));
  }
  if (!comment.empty()) {
    s += ' ';
    s += comment;
  }
  if (!tag.empty()) {
    s += ' ';
    s += tag;
  }
  s += "\r\n\r\n";
  return s;
}

}  // namespace vexa::log
