#include "platform/net/tcp_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vexa::platform {

namespace {
constexpr size_t kMaxQueued = 64 * 1024;  // a peer that takes nothing does not grow this for ever
}

void TcpClient::Fail(const std::string& what, int err) {
  error_ = what + " " + where_ + ": " + std::strerror(err);
  Close();
}

bool TcpClient::Connect(const std::string& host, int port) {
  Close();
  error_.clear();
  where_ = host + ":" + std::to_string(port);
  if (port <= 0 || port > 65535) {
    error_ = "Bad port number " + std::to_string(port);
    return false;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string name = host == "localhost" ? "127.0.0.1" : host;
  const int rc = getaddrinfo(name.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (rc != 0 || found == nullptr) {
    error_ = "Cannot find " + where_ + ": " + gai_strerror(rc);
    return false;
  }
  fd_ = socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    const int e = errno;
    freeaddrinfo(found);
    Fail("Cannot open a socket for", e);
    return false;
  }
  const int one = 1;
  (void)setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  const int c = connect(fd_, found->ai_addr, found->ai_addrlen);
  const int e = errno;
  freeaddrinfo(found);
  if (c == 0) {
    state_ = State::Open;
  } else if (e == EINPROGRESS) {
    state_ = State::Connecting;
  } else {
    Fail("Cannot connect to", e);
    return false;
  }
  return true;
}

TcpClient::State TcpClient::Poll() {
  if (state_ != State::Connecting) return state_;
  pollfd p{fd_, POLLOUT, 0};
  if (poll(&p, 1, 0) <= 0) return state_;
  int err = 0;
  socklen_t len = sizeof err;
  if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
  if (err != 0) {
    Fail("Cannot connect to", err);
    return state_;
  }
  state_ = State::Open;
  (void)Flush();
  return state_;
}

bool TcpClient::Flush() {
  while (!out_.empty()) {
    const ssize_t n = send(fd_, out_.data(), out_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      out_.erase(0, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (n < 0 && errno == EINTR) continue;
    Fail("Lost the connection to", n < 0 ? errno : EPIPE);
    return false;
  }
  return true;
}

bool TcpClient::Send(std::string_view bytes) {
  if (state_ == State::Closed) return false;
  if (out_.size() + bytes.size() > kMaxQueued) {
    Fail("Nothing is taken by", ENOBUFS);
    return false;
  }
  out_.append(bytes);
  return state_ == State::Connecting || Flush();
}

std::string TcpClient::Receive(size_t maxBytes) {
  std::string got;
  if (state_ != State::Open) return got;
  if (!Flush()) return got;
  char buf[4096];
  while (got.size() < maxBytes) {
    const size_t want = std::min(sizeof buf, maxBytes - got.size());
    const ssize_t n = recv(fd_, buf, want, MSG_DONTWAIT);
    if (n > 0) {
      got.append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n < 0 && errno == EINTR) continue;
    const int e = n == 0 ? ECONNRESET : errno;
    const std::string keep = got;
    Fail(n == 0 ? "The other end closed" : "Lost the connection to", e);
    return keep;
  }
  return got;
}

void TcpClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  state_ = State::Closed;
  out_.clear();
}

}  // namespace vexa::platform
