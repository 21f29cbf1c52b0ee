#pragma once
// A TCP client connection with every wait bounded: connecting, receiving and sending each take
// a time-out in milliseconds, so a dead or silent server never holds the caller. One thread at
// a time uses an object; returns status codes, never throws.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexa::platform {

enum TcpError : int {
  kTcpOk = 0,
  kTcpNoHost = 1,    // the name does not resolve
  kTcpRefused = 2,   // no connection could be made (refused, unreachable)
  kTcpTimedOut = 3,  // no connection within the time-out
};

class TcpSocket {
 public:
  TcpSocket() = default;
  ~TcpSocket() { Close(); }
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Connects to host:port (any address the name resolves to) within timeoutMs.
  [[nodiscard]] int Connect(const std::string& host, int port, int timeoutMs, std::string& error);
  // Waits up to timeoutMs for bytes: the count read (> 0), 0 after a time-out, -1 when the
  // connection ended or failed (the socket is then closed).
  int Receive(uint8_t* buffer, size_t capacity, int timeoutMs);
  // Sends all of `data`, waiting at most timeoutMs for room; false on failure (then closed).
  bool SendAll(std::string_view data, int timeoutMs);
  // Idempotent.
  void Close();
  bool open() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace vexa::platform
