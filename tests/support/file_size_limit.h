#pragma once
// Caps the size files may grow to while the object lives, the way a full disk does: a write
// that reaches the cap is cut short and the next one fails with EFBIG. SIGXFSZ, which would
// otherwise end the process, is ignored. Reading and shrinking files are not affected.
#include <sys/resource.h>

#include <csignal>

namespace vexa::test {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    if (getrlimit(RLIMIT_FSIZE, &old_) != 0) return;
    rlimit small = old_;
    small.rlim_cur = bytes;
    set_ = setrlimit(RLIMIT_FSIZE, &small) == 0;
  }
  ~FileSizeLimit() {
    if (set_) setrlimit(RLIMIT_FSIZE, &old_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  // False when the cap could not be set (the test cannot go on).
  bool ok() const { return set_; }

 private:
  rlimit old_{};
  bool set_ = false;
};

}  // namespace vexa::test
