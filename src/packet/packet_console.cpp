#include "packet/packet_console.h"

namespace vexa::packet {

bool MonitorSelects(int mask, FrameType type) {
  switch (type) {
    case FrameType::I:
      return (mask & kMonitorI) != 0;
    case FrameType::Ui:
      return (mask & kMonitorUi) != 0;
    case FrameType::Rr:
    case FrameType::Rnr:
    case FrameType::Rej:
      return (mask & kMonitorSupervisory) != 0;
    default:
      return (mask & kMonitorControl) != 0;
  }
}

const char* ReasonText(int reason) {
  switch (reason) {
    case Ax25Link::kRefused:
      return "DM received.\n";
    case Ax25Link::kRetriesExhausted:
      return "Timeout.\n";
    case Ax25Link::kRedundant:
      return "Link redundant.\n";
    default:
      return "";
  }
}

PacketConsole::PacketConsole(Ax25Station& station, TextSink* main, TextSink* second)
    : station_(station), main_(main), second_(second) {
  station_.set_monitor(this);
}

PacketConsole::~PacketConsole() {
  station_.set_monitor(nullptr);
}

void PacketConsole::MonitorFrame(const Ax25Frame& f) {
  if (second_ && MonitorSelects(mask_, f.type)) second_->PutText(MonitorText(f));
}

bool PacketConsole::Abort() {
  if (!current_) return false;
  current_->Disconnect();
  station_.Release(current_);
  current_ = nullptr;
  previous_ = 0;
  line_.clear();
  unsent_.clear();
  Main("*** ABORTED.\n");
  return true;
}

bool PacketConsole::Connect(const Ax25Address& local, const Ax25Address& remote,
                            const Ax25AddressList& path, bool anySsid) {
  Ax25Link* l = anySsid ? station_.ConnectAnySsid(local, remote, path)
                        : station_.Connect(local, remote, path);
  if (!l) return false;
  current_ = l;
  previous_ = l->state();  // an answer within the same tick still reports CONNECTED
  Main("*** TRYING...\n");
  return true;
}

void PacketConsole::Step() {
  if (current_) LinkConsoleStep();
  IncomingStep();
}

void PacketConsole::SendLine() {
  Main(line_);
  unsent_ += line_;
  line_.clear();
  const size_t n =
      current_->SendData({reinterpret_cast<const uint8_t*>(unsent_.data()), unsent_.size()});
  unsent_.erase(0, n);
}

void PacketConsole::LinkConsoleStep() {
  // 1. Received data, without the bytes of value 255.
  uint8_t buf[256];
  for (size_t n; (n = current_->ReadReceived(buf)) > 0;) {
    std::string text;
    text.reserve(n);
    for (size_t i = 0; i < n; ++i)
      if (buf[i] != 255) text += static_cast<char>(buf[i]);
    Main(text);
  }

  // 2. Typed text, only on a running link: pieces stored before the connection stands would
  // be discarded when it does. The first line waits until "*** CONNECTED." has been printed,
  // so the operator's echo never comes before it.
  const int now = current_->state();
  const auto running = [](int s) {
    return s == Ax25Link::kConnected || s == Ax25Link::kTimerRecovery;
  };
  if (running(now) && running(previous_)) {
    if (!unsent_.empty() && current_->HasRoom()) {
      const size_t n =
          current_->SendData({reinterpret_cast<const uint8_t*>(unsent_.data()), unsent_.size()});
      unsent_.erase(0, n);
    }
    while (unsent_.empty() && current_->HasRoom() && !typed_.empty()) {
      const char c = typed_.front();
      typed_.erase(0, 1);
      line_ += c;
      // A line that fills the buffer before its CR goes out as it is, so nothing is lost.
      if (c == '\r' || line_.size() >= kLineLimit) {
        SendLine();
        return;
      }
    }
  }

  // 3. Status lines.
  const int prev = previous_;
  if (prev == 2 && now == 4) {
    Main("*** CONNECTED.\n");
    previous_ = 4;
    return;
  }
  if (prev == 2 && now == 0) Main("*** FAILED.\n");
  if (prev != 3 && now == 3) Main("*** DISCONNECTING.\n");
  if ((prev == 3 || prev == 4 || prev == 5) && now == 0) Main("*** DISCONNECTED.\n");
  if (prev != 0 && now == 0) Main(ReasonText(current_->reason()));

  // 4. An ended link is released.
  if (now == 0) {
    station_.Release(current_);
    current_ = nullptr;
    previous_ = 0;
    line_.clear();
    unsent_.clear();
  } else {
    previous_ = now;
  }
}

void PacketConsole::IncomingStep() {
  if (current_ || !station_.incomingPending()) return;
  Ax25Link* l = station_.TakeIncoming();
  if (!l) return;
  current_ = l;
  if (second_) second_->PutText("*** INCOMING CONNECT from " + FormatCallsign(l->remote()) + "\n");
  l->AcceptIncoming();
  previous_ = l->state();
}

}  // namespace vexa::packet
