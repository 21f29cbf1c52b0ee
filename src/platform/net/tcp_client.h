#pragma once
// A TCP client that never blocks its caller: connecting, sending and receiving are non-blocking
// and advanced by calls from the main loop's tick. Used for network rig control, where the
// other end (a rig server on this or another machine) may be slow, absent or gone.
#include <cstdint>
#include <string>
#include <string_view>

namespace vexa::platform {

class TcpClient {
 public:
  enum class State { Closed, Connecting, Open };

  TcpClient() = default;
  ~TcpClient() { Close(); }
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  // Starts connecting to host:port. False (with error()) when the address cannot be used; a
  // numeric address or "localhost" never waits, another name is looked up first.
  bool Connect(const std::string& host, int port);
  // Advances a connection in progress without waiting; the state after it.
  State Poll();
  State state() const { return state_; }
  // Queues and sends what the socket takes now; the rest goes out on later calls. False when the
  // connection failed (it is then closed).
  bool Send(std::string_view bytes);
  // Whatever has arrived, at most maxBytes; "" when nothing. The other end closing, or an error,
  // closes the connection.
  std::string Receive(size_t maxBytes = 4096);
  void Close();
  const std::string& error() const { return error_; }

 private:
  bool Flush();
  void Fail(const std::string& what, int err);

  int fd_ = -1;
  State state_ = State::Closed;
  std::string out_;  // bytes waiting for the socket
  std::string error_;
  std::string where_;
};

}  // namespace vexa::platform
