#pragma once
// A tiny HTTP/1.1 server on 127.0.0.1 for tests: serves fixed bodies by path from its own
// thread, one connection at a time, and stops when the object goes away.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>

namespace vexa::test {

class LocalHttpServer {
 public:
  struct Reply {
    int status = 200;
    std::string body;
  };

  explicit LocalHttpServer(std::map<std::string, Reply> routes) : routes_(std::move(routes)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;  // any free port
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd_, 8) != 0)
      return;
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LocalHttpServer() {
    stop_ = true;
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    if (thread_.joinable()) thread_.join();
  }
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  bool ok() const { return port_ != 0; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int requests() const { return requests_; }
  // The last request's method and body (for POST).
  std::string lastRequest() const { return last_; }

 private:
  void Serve() {
    while (!stop_) {
      const int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      std::string req;
      char buf[4096];
      size_t headerEnd = std::string::npos;
      size_t wanted = 0;
      for (;;) {
        const ssize_t n = ::recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        req.append(buf, static_cast<size_t>(n));
        if (headerEnd == std::string::npos &&
            (headerEnd = req.find("\r\n\r\n")) != std::string::npos) {
          const size_t cl = req.find("Content-Length: ");
          wanted =
              headerEnd + 4 +
              (cl != std::string::npos && cl < headerEnd ? std::stoul(req.substr(cl + 16)) : 0);
        }
        if (headerEnd != std::string::npos && req.size() >= wanted) break;
      }
      ++requests_;
      last_ = req;
      const size_t sp1 = req.find(' ');
      const size_t sp2 = sp1 == std::string::npos ? sp1 : req.find(' ', sp1 + 1);
      const std::string path =
          sp2 == std::string::npos ? std::string() : req.substr(sp1 + 1, sp2 - sp1 - 1);
      auto it = routes_.find(path);
      const Reply r = it == routes_.end() ? Reply{404, "not found"} : it->second;
      std::string resp = "HTTP/1.1 " + std::to_string(r.status) +
                         " X\r\nContent-Length: " + std::to_string(r.body.size()) +
                         "\r\nConnection: close\r\n\r\n" + r.body;
      size_t off = 0;
      while (off < resp.size()) {
        const ssize_t n = ::send(c, resp.data() + off, resp.size() - off, MSG_NOSIGNAL);
        if (n <= 0) break;
        off += static_cast<size_t>(n);
      }
      ::close(c);
    }
  }

  std::map<std::string, Reply> routes_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::string last_;
  std::thread thread_;
};

}  // namespace vexa::test
