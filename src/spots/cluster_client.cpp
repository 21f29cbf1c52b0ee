#include "spots/cluster_client.h"

#include <algorithm>
#include <thread>

namespace vexa::spots {

void ClusterSession::OnConnected() {
  reader_.Reset();
  loginSent_ = false;
}

void ClusterSession::OnBytes(std::span<const uint8_t> bytes, std::vector<std::string>& lines,
                             std::string& send) {
  const size_t first = lines.size();
  reader_.Feed(bytes, lines);
  send += reader_.TakeReplies();
  if (loginSent_) return;
  // The question usually waits without a line end; some nodes end it with one.
  bool asked = IsLoginPrompt(reader_.pending());
  if (asked) reader_.EndPendingLine(lines);
  for (size_t i = first; i < lines.size() && !asked; ++i) asked = IsLoginPrompt(lines[i]);
  if (asked) {
    send += ClusterCommandLine(call_);
    loginSent_ = true;
    failures_ = 0;
  }
}

int ClusterSession::OnDisconnected() {
  const int pause = std::min(kMaxRetryMs, kFirstRetryMs << std::min(failures_, 6));
  ++failures_;
  loginSent_ = false;
  return pause;
}

std::string ClusterCommandLine(std::string_view command) {
  std::string line;
  for (const char c : command) {
    if (static_cast<unsigned char>(c) >= 32 && c != 127) line.push_back(c);
  }
  return line + "\r\n";
}

std::string ClusterSpotCommand(const SpotPost& spot) {
  std::string command = "DX " + FormatPostFrequency(spot.frequencyKhz) + " " + spot.dxCall;
  if (!spot.comment.empty()) command += " " + spot.comment;
  return command;
}

ClusterClient::ClusterClient(ClusterSettings settings, Now now)
    : settings_(std::move(settings)),
      now_(now ? std::move(now) : Now([] { return std::chrono::steady_clock::now(); })),
      session_(settings_.call) {}

void ClusterClient::Send(std::string_view command) {
  if (outbox_.size() >= 64) outbox_.erase(outbox_.begin());
  outbox_.push_back(ClusterCommandLine(command));
}

void ClusterClient::Disconnect() {
  socket_.Close();
  status_ = "disconnected";
}

void ClusterClient::Lost(const std::string& why) {
  socket_.Close();
  const int pause = session_.OnDisconnected();
  nextAttempt_ = now_() + std::chrono::milliseconds(pause);
  status_ = why + "; next try in " + std::to_string(pause / 1000) + " s";
}

void ClusterClient::Step(int waitMs, std::vector<std::string>& lines) {
  const std::string where = settings_.host + ":" + std::to_string(settings_.port);
  if (!socket_.open()) {
    if (settings_.host.empty()) {
      status_ = "no cluster host set";
      std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
      return;
    }
    if (now_() < nextAttempt_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
      return;
    }
    status_ = "connecting to " + where;
    std::string error;
    if (socket_.Connect(settings_.host, settings_.port, settings_.connectTimeoutMs, error) !=
        platform::kTcpOk) {
      Lost("cannot connect: " + error);
      return;
    }
    session_.OnConnected();
    status_ = "connected to " + where + ", waiting for the login";
  }
  uint8_t buffer[4096];
  const int n = socket_.Receive(buffer, sizeof buffer, waitMs);
  if (n < 0) {
    Lost("connection to " + where + " closed");
    return;
  }
  std::string answer;
  if (n > 0) {
    const bool wasLoggedIn = session_.loginSent();
    session_.OnBytes(std::span<const uint8_t>(buffer, static_cast<size_t>(n)), lines, answer);
    if (!wasLoggedIn && session_.loginSent())
      status_ = "connected to " + where + " as " + settings_.call;
  }
  if (session_.loginSent()) {
    for (const std::string& c : outbox_) answer += c;
    outbox_.clear();
  }
  if (!answer.empty() && !socket_.SendAll(answer, 5000)) Lost("cannot send to " + where);
}

}  // namespace vexa::spots
