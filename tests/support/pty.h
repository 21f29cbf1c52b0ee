#pragma once
// A pseudo-terminal pair for serial tests: the code under test opens the slave by name, the test
// drives the master.
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <string>

namespace vexa::test {

struct Pty {
  int master = -1;
  int slave = -1;
  std::string name;
  Pty() {
    char buf[256] = {};
    if (openpty(&master, &slave, buf, nullptr, nullptr) == 0) name = buf;
  }
  ~Pty() {
    if (master >= 0) close(master);
    if (slave >= 0) close(slave);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  // Writes bytes to the master: they arrive at the slave's reader.
  bool WriteMaster(const std::string& bytes) {
    return write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Reads from the master until n bytes arrived (bounded wait on poll, no sleeping).
  std::string ReadMaster(size_t n) {
    std::string got;
    char buf[4096];
    while (got.size() < n) {
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 5000) <= 0) break;
      const ssize_t r = read(master, buf, sizeof buf);
      if (r <= 0) break;
      got.append(buf, static_cast<size_t>(r));
    }
    return got;
  }
};

}  // namespace vexa::test
