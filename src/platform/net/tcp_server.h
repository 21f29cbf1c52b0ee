#pragma once
// A small TCP server for byte streams (the KISS port): listens on one address, accepts any
// number of clients, and is served from the main loop without ever blocking it. Bytes that a
// client sends are handed on as they come; bytes for the clients wait in a bounded outbox per
// client, written whenever the socket takes them. A client that stops reading until its outbox
// is full is disconnected, so it can hold neither the loop nor memory.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace vexa::platform {

class TcpServer {
 public:
  static constexpr size_t kOutboxLimit = 256 * 1024;

  // client: a number that stays the same for the connection's life.
  using BytesHandler = std::function<void(int client, std::span<const uint8_t> bytes)>;

  TcpServer() = default;
  ~TcpServer() { Close(); }
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  // Listens on host:port (port 0 picks a free one, see port()). 0, or 1 with the error text.
  [[nodiscard]] int Listen(const std::string& host, int port, std::string& error);
  int port() const { return port_; }
  // Accepts waiting clients, reads what they sent, writes what waits for them; waits at most
  // timeoutMs for something to happen (0: not at all).
  void Service(const BytesHandler& onBytes, int timeoutMs = 0);
  // Queues the bytes for every connected client (and tries to write them at once).
  void Broadcast(std::span<const uint8_t> bytes);
  int clientCount() const { return static_cast<int>(clients_.size()); }
  // Disconnections of clients whose outbox overflowed, since the start.
  int dropped() const { return dropped_; }
  void Close();

 private:
  struct Client {
    int fd;
    int id;
    std::vector<uint8_t> outbox;
  };
  // Writes what the socket takes now; false when the client is gone.
  static bool Flush(Client& c);
  void CloseClient(size_t i);

  int fd_ = -1;
  int port_ = 0;
  int nextId_ = 1;
  int dropped_ = 0;
  std::vector<Client> clients_;
};

}  // namespace vexa::platform
