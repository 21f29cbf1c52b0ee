#include "platform/net/tcp_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace vexa::platform {
namespace {

// Waits for `events` on fd for at most timeoutMs; >0 ready, 0 time-out, <0 failure.
int WaitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  for (;;) {
    const int rc = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (rc < 0 && errno == EINTR) continue;
    return rc;
  }
}

}  // namespace

int TcpSocket::Connect(const std::string& host, int port, int timeoutMs, std::string& error) {
  Close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0) {
    error = host + ": " + ::gai_strerror(rc);
    return kTcpNoHost;
  }
  int result = kTcpRefused;
  error = host + ":" + service + ": no address to connect to";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
    const int fd =
        ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (WaitFor(fd, POLLOUT, static_cast<int>(left)) > 0) {
        int soError = 0;
        socklen_t len = sizeof soError;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
        rc = soError == 0 ? 0 : -1;
        errno = soError;
      } else {
        ::close(fd);
        result = kTcpTimedOut;
        error =
            host + ":" + service + ": no connection within " + std::to_string(timeoutMs) + " ms";
        continue;
      }
    }
    if (rc == 0) {
      fd_ = fd;
      break;
    }
    error = host + ":" + service + ": " + std::strerror(errno);
    result = kTcpRefused;
    ::close(fd);
  }
  ::freeaddrinfo(found);
  if (fd_ < 0) return result;
  error.clear();
  return kTcpOk;
}

int TcpSocket::Receive(uint8_t* buffer, size_t capacity, int timeoutMs) {
  if (fd_ < 0) return -1;
  const int ready = WaitFor(fd_, POLLIN, timeoutMs);
  if (ready == 0) return 0;
  if (ready < 0) {
    Close();
    return -1;
  }
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, capacity, 0);
    if (n > 0) return static_cast<int>(n);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    Close();
    return -1;
  }
}

bool TcpSocket::SendAll(std::string_view data, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!data.empty()) {
    if (fd_ < 0) return false;
    const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (n > 0) {
      data.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && left > 0 &&
        WaitFor(fd_, POLLOUT, static_cast<int>(left)) > 0)
      continue;
    Close();
    return false;
  }
  return true;
}

void TcpSocket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace vexa::platform
