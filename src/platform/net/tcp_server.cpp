#include "platform/net/tcp_server.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vexa::platform {
namespace {
void NonBlocking(int fd) {
  const int fl = ::fcntl(fd, F_GETFL, 0);
  if (fl >= 0) (void)::fcntl(fd, F_SETFL, fl | O_NONBLOCK);
}
}  // namespace

int TcpServer::Listen(const std::string& host, int port, std::string& error) {
  Close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int rc =
          ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found);
      rc != 0) {
    error = host + ": " + ::gai_strerror(rc);
    return 1;
  }
  error = host + ":" + service + ": no address to listen on";
  for (addrinfo* a = found; a; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    const int one = 1;
    (void)::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 16) == 0) {
      NonBlocking(fd);
      sockaddr_storage bound{};
      socklen_t len = sizeof bound;
      if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len) == 0) {
        if (bound.ss_family == AF_INET)
          port_ = ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        else if (bound.ss_family == AF_INET6)
          port_ = ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
      }
      fd_ = fd;
      break;
    }
    error = host + ":" + service + ": " + std::strerror(errno);
    ::close(fd);
  }
  ::freeaddrinfo(found);
  if (fd_ < 0) return 1;
  error.clear();
  return 0;
}

bool TcpServer::Flush(Client& c) {
  size_t sent = 0;
  while (sent < c.outbox.size()) {
    const ssize_t n =
        ::send(c.fd, c.outbox.data() + sent, c.outbox.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    return false;
  }
  c.outbox.erase(c.outbox.begin(), c.outbox.begin() + static_cast<std::ptrdiff_t>(sent));
  return true;
}

void TcpServer::CloseClient(size_t i) {
  ::close(clients_[i].fd);
  clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
}

void TcpServer::Service(const BytesHandler& onBytes, int timeoutMs) {
  if (fd_ < 0) return;
  std::vector<pollfd> fds;
  fds.push_back({fd_, POLLIN, 0});
  for (const auto& c : clients_)
    fds.push_back({c.fd, static_cast<short>(POLLIN | (c.outbox.empty() ? 0 : POLLOUT)), 0});
  int rc;
  do {
    rc = ::poll(fds.data(), fds.size(), timeoutMs < 0 ? 0 : timeoutMs);
  } while (rc < 0 && errno == EINTR);
  if (rc <= 0) return;
  // Existing clients first (their indexes match fds[1..]), newest last.
  uint8_t buf[4096];
  for (size_t k = fds.size() - 1; k >= 1; --k) {
    const size_t i = k - 1;
    bool alive = true;
    if (fds[k].revents & (POLLIN | POLLHUP | POLLERR)) {
      for (;;) {
        const ssize_t n = ::recv(clients_[i].fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
          if (onBytes)
            onBytes(clients_[i].id, std::span<const uint8_t>(buf, static_cast<size_t>(n)));
          continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        alive = false;  // closed by the peer or failed
        break;
      }
    }
    if (alive && (fds[k].revents & POLLOUT)) alive = Flush(clients_[i]);
    if (!alive) CloseClient(i);
  }
  if (fds[0].revents & POLLIN) {
    for (;;) {
      const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (c < 0) break;
      clients_.push_back({c, nextId_++, {}});
    }
  }
}

void TcpServer::Broadcast(std::span<const uint8_t> bytes) {
  for (size_t i = clients_.size(); i-- > 0;) {
    Client& c = clients_[i];
    if (c.outbox.size() + bytes.size() > kOutboxLimit) {
      ++dropped_;
      CloseClient(i);
      continue;
    }
    c.outbox.insert(c.outbox.end(), bytes.begin(), bytes.end());
    if (!Flush(c)) CloseClient(i);
  }
}

void TcpServer::Close() {
  for (auto& c : clients_) ::close(c.fd);
  clients_.clear();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace vexa::platform
