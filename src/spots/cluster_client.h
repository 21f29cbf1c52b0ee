#pragma once
// A telnet DX cluster client: it connects, answers the login question with the station's call,
// hands every line the node sends to its caller (the "DX de" lines go to the spot ring), sends
// cluster commands, and after a lost or failed connection tries again with a growing pause.
// ClusterSession is the pure part (bytes in, lines and answers out, the back-off);
// ClusterClient drives it over a socket, one bounded step at a time, from one thread.
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/net/tcp_socket.h"
#include "spots/cluster_line_reader.h"
#include "spots/web_cluster.h"

namespace vexa::spots {

struct ClusterSettings {
  std::string host;  // empty: no telnet cluster
  int port = 7300;
  std::string call;  // the login call
  int connectTimeoutMs = 10000;
};

// Pauses between connection attempts: 5 s, doubled after each failure, at most 5 minutes; a
// session that reached the login starts the count again.
constexpr int kFirstRetryMs = 5000;
constexpr int kMaxRetryMs = 300000;

class ClusterSession {
 public:
  explicit ClusterSession(std::string loginCall) : call_(std::move(loginCall)) {}

  // A connection was made: a new login follows.
  void OnConnected();
  // Bytes from the node: completed lines are appended to `lines`, what must be answered (the
  // login call, telnet refusals) to `send`.
  void OnBytes(std::span<const uint8_t> bytes, std::vector<std::string>& lines, std::string& send);
  // The connection ended or could not be made: the pause before the next attempt.
  int OnDisconnected();
  bool loginSent() const { return loginSent_; }
  const ClusterLineReader& reader() const { return reader_; }

 private:
  std::string call_;
  ClusterLineReader reader_;
  bool loginSent_ = false;
  int failures_ = 0;
};

// A command line as the node expects it: the text with CR LF, control bytes removed.
std::string ClusterCommandLine(std::string_view command);
// The cluster's command that announces a spot: "DX <kHz> <call> <comment>".
std::string ClusterSpotCommand(const SpotPost& spot);

class ClusterClient {
 public:
  using Now = std::function<std::chrono::steady_clock::time_point()>;
  explicit ClusterClient(ClusterSettings settings, Now now = {});

  // One step of at most about waitMs: connects when an attempt is due, reads what arrived and
  // appends the completed lines to `lines`, writes queued commands. Never blocks longer than
  // the connect time-out.
  void Step(int waitMs, std::vector<std::string>& lines);
  // Queues a command for the node (sent once connected). Bounded: beyond 64 waiting commands
  // the oldest is dropped.
  void Send(std::string_view command);
  // A line for the status bar: connecting, connected as CALL, or the error and the retry.
  const std::string& status() const { return status_; }
  bool connected() const { return socket_.open(); }
  bool loggedIn() const { return socket_.open() && session_.loginSent(); }
  void Disconnect();

 private:
  void Lost(const std::string& why);

  ClusterSettings settings_;
  Now now_;
  platform::TcpSocket socket_;
  ClusterSession session_;
  std::chrono::steady_clock::time_point nextAttempt_{};
  std::vector<std::string> outbox_;
  std::string status_ = "not connected";
};

}  // namespace vexa::spots
