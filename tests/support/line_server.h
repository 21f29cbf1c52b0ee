#pragma once
// A TCP server on 127.0.0.1 for tests: it accepts connections one after the other and answers
// every received line through a callback (an empty answer sends nothing). It can drop the
// current connection to test reconnects.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vexa::test {

class LineServer {
 public:
  using Answer = std::function<std::string(const std::string& line)>;

  explicit LineServer(Answer answer) : answer_(std::move(answer)) {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 4) != 0)
      return;
    socklen_t len = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~LineServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listen_ >= 0) close(listen_);
  }
  int port() const { return port_; }
  // Closes the current connection (the client must notice and connect again).
  void Drop() { drop_ = true; }
  int connections() const { return connections_.load(); }
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  void Run() {
    int conn = -1;
    std::string in;
    while (!stop_) {
      if (conn < 0) {
        pollfd p{listen_, POLLIN, 0};
        if (poll(&p, 1, 10) <= 0) continue;
        conn = accept(listen_, nullptr, nullptr);
        if (conn >= 0) ++connections_;
        in.clear();
        continue;
      }
      if (drop_) {
        close(conn);
        conn = -1;
        drop_ = false;
        continue;
      }
      pollfd p{conn, POLLIN, 0};
      if (poll(&p, 1, 10) <= 0) continue;
      char buf[1024];
      const ssize_t n = recv(conn, buf, sizeof buf, 0);
      if (n <= 0) {
        close(conn);
        conn = -1;
        continue;
      }
      in.append(buf, static_cast<size_t>(n));
      for (size_t nl; (nl = in.find('\n')) != std::string::npos;) {
        const std::string line = in.substr(0, nl);
        in.erase(0, nl + 1);
        {
          std::lock_guard lock(mutex_);
          lines_.push_back(line);
        }
        const std::string out = answer_(line);
        if (!out.empty()) (void)!send(conn, out.data(), out.size(), MSG_NOSIGNAL);
      }
    }
    if (conn >= 0) close(conn);
  }

  Answer answer_;
  int listen_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false}, drop_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

}  // namespace vexa::test
