#pragma once
// A KISS TNC on the network for tests: one listening socket on 127.0.0.1 (a free port) and the
// connection it accepted; the test reads what the station sends and writes the far side's bytes.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace vexa::test {

struct NetTnc {
  NetTnc() {
    listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen, 4) != 0)
      return;
    socklen_t len = sizeof a;
    ::getsockname(listen, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~NetTnc() {
    if (conn >= 0) ::close(conn);
    if (listen >= 0) ::close(listen);
  }
  NetTnc(const NetTnc&) = delete;
  NetTnc& operator=(const NetTnc&) = delete;

  std::string Address() const { return "127.0.0.1:" + std::to_string(port); }
  bool Accept(int ms) {
    pollfd p{listen, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    conn = ::accept(listen, nullptr, nullptr);
    return conn >= 0;
  }
  // Up to n bytes, waiting at most ms for each read.
  std::string Read(size_t n, int ms = 2000) {
    std::string got;
    while (got.size() < n) {
      pollfd p{conn, POLLIN, 0};
      if (::poll(&p, 1, ms) <= 0) break;
      char buf[512];
      const ssize_t r = ::read(conn, buf, std::min(sizeof buf, n - got.size()));
      if (r <= 0) break;
      got.append(buf, static_cast<size_t>(r));
    }
    return got;
  }
  // True once the station has closed the accepted connection (end of file within ms).
  bool ClosedByPeer(int ms) {
    pollfd p{conn, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    char c;
    return ::read(conn, &c, 1) == 0;
  }
  void Write(const std::vector<uint8_t>& bytes) const {
    ASSERT_EQ(::write(conn, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  int listen = -1, conn = -1, port = 0;
};

}  // namespace vexa::test
