#pragma once
// A TCP server on 127.0.0.1 for tests of network clients that must survive bad servers: for
// each connection it reads what the client sends (until a blank line or a pause), answers with
// fixed bytes, and then closes or holds the connection open without a word until it is stopped.
// One connection at a time, on its own thread; everything it received is kept.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace vexa::test {

class ScriptedTcpServer {
 public:
  struct Script {
    std::string reply;      // sent after the request (or at once when waitForRequest is false)
    bool holdOpen = false;  // keep the connection open and silent after the reply
    bool waitForRequest = true;
    // When not empty: after the reply, wait for a line from the client, then send this.
    std::string afterLine;
  };

  explicit ScriptedTcpServer(Script script) : script_(std::move(script)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd_, 8) != 0)
      return;
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedTcpServer() {
    stop_ = true;
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    if (thread_.joinable()) thread_.join();
  }
  ScriptedTcpServer(const ScriptedTcpServer&) = delete;
  ScriptedTcpServer& operator=(const ScriptedTcpServer&) = delete;

  bool ok() const { return port_ != 0; }
  int port() const { return port_; }
  int connections() const { return connections_; }
  std::string received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  // Waits up to `ms` for data on `fd`; false on a time-out or when the server stops.
  bool Readable(int fd, int ms) {
    for (int waited = 0; waited < ms && !stop_; waited += 20) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) > 0) return true;
    }
    return false;
  }

  void Serve() {
    while (!stop_) {
      const int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      ++connections_;
      char buf[4096];
      std::string request;
      while (script_.waitForRequest && request.find("\r\n\r\n") == std::string::npos &&
             Readable(c, 2000)) {
        const ssize_t n = ::recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<size_t>(n));
      }
      {
        std::lock_guard lock(mutex_);
        received_ += request;
      }
      size_t off = 0;
      while (off < script_.reply.size() && !stop_) {
        const ssize_t n =
            ::send(c, script_.reply.data() + off, script_.reply.size() - off, MSG_NOSIGNAL);
        if (n <= 0) break;
        off += static_cast<size_t>(n);
      }
      if (!script_.afterLine.empty()) {
        std::string line;
        while (line.find('\n') == std::string::npos && Readable(c, 5000)) {
          const ssize_t n = ::recv(c, buf, sizeof buf, 0);
          if (n <= 0) break;
          line.append(buf, static_cast<size_t>(n));
        }
        {
          std::lock_guard lock(mutex_);
          received_ += line;
        }
        for (size_t sent = 0; sent < script_.afterLine.size() && !stop_;) {
          const ssize_t n = ::send(c, script_.afterLine.data() + sent,
                                   script_.afterLine.size() - sent, MSG_NOSIGNAL);
          if (n <= 0) break;
          sent += static_cast<size_t>(n);
        }
      }
      while (script_.holdOpen && !stop_) {
        if (!Readable(c, 100)) continue;
        const ssize_t n = ::recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        std::lock_guard lock(mutex_);
        received_.append(buf, static_cast<size_t>(n));
      }
      ::close(c);
    }
  }

  Script script_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::string received_;
  std::thread thread_;
};

}  // namespace vexa::test
