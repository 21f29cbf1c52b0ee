#pragma once
// hamlib's rigctld with its dummy rig (model 1) as an independent rig server for tests, and
// rigctl to look at the dummy rig from outside.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/line_server.h"

extern char** environ;

namespace vexa::test {

inline bool HamlibInstalled() {
  return std::system("command -v rigctld >/dev/null 2>&1 && command -v rigctl >/dev/null 2>&1") ==
         0;
}

inline std::string RigctlGet(int port, const char* what) {
  const std::string cmd = "rigctl -m 2 -r 127.0.0.1:" + std::to_string(port) + " " + what;
  FILE* f = popen(cmd.c_str(), "r");
  if (f == nullptr) return "";
  std::string out;
  char buf[256];
  while (fgets(buf, sizeof buf, f) != nullptr) out += buf;
  pclose(f);
  return out;
}

class Rigctld {
 public:
  // Started on a free port of 127.0.0.1; ready() once it answers.
  Rigctld() {
    {
      LineServer probe([](const std::string&) { return std::string(); });
      port_ = probe.port();
    }
    const std::string p = std::to_string(port_);
    const char* argv[] = {"rigctld", "-m", "1", "-T", "127.0.0.1", "-t", p.c_str(), nullptr};
    ok_ = posix_spawnp(&pid_, "rigctld", nullptr, nullptr, const_cast<char**>(argv), environ) == 0;
  }
  ~Rigctld() {
    if (!ok_) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  bool ok() const { return ok_; }
  int port() const { return port_; }
  // Sends a command until the server takes it (it takes a moment to listen).
  bool Command(const char* command) {
    const std::string cmd = "rigctl -m 2 -r 127.0.0.1:" + std::to_string(port_) + " " + command +
                            " >/dev/null 2>&1";
    for (int i = 0; i < 50; ++i) {
      if (std::system(cmd.c_str()) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  pid_t pid_ = 0;
  int port_ = 0;
  bool ok_ = false;
};

}  // namespace vexa::test
