#pragma once
// The operator's side of the packet station: the current link, the status lines that report it,
// typed lines into the connection with their local echo, received data out, incoming
// connections taken over, and the monitor of every frame sent or heard (through the monitor
// mask). The windows and the command line give it their text queues and call Step() every
// 55 ms tick; the dialog that asks for the calls is theirs.
#include <cstdint>
#include <string>
#include <string_view>

#include "packet/ax25_link.h"

namespace vexa::packet {

// Where text goes (a received-text queue of the window, stdout of the command line).
class TextSink {
 public:
  virtual ~TextSink() = default;
  virtual void PutText(std::string_view text) = 0;
};

// Bits of the monitor mask.
constexpr int kMonitorI = 1;
constexpr int kMonitorUi = 2;
constexpr int kMonitorControl = 4;  // UNKN, SABM, DISC, UA, DM, FRMR
constexpr int kMonitorSupervisory = 8;
// True when the mask selects frames of this type.
bool MonitorSelects(int mask, FrameType type);

// The reason texts of a link that ended ("" for a normal end).
const char* ReasonText(int reason);

class PacketConsole final : public FrameMonitor {
 public:
  static constexpr size_t kLineLimit = 127;

  // main: connected data and status lines; second: monitor lines and incoming notices. The
  // console installs itself as the station's monitor.
  PacketConsole(Ax25Station& station, TextSink* main, TextSink* second);
  ~PacketConsole() override;
  PacketConsole(const PacketConsole&) = delete;
  PacketConsole& operator=(const PacketConsole&) = delete;

  void set_monitorMask(int mask) { mask_ = mask; }
  int monitorMask() const { return mask_; }

  // A running link is disconnected, released and forgotten ("*** ABORTED."). False when there
  // was none.
  bool Abort();
  // Connect with the calls of the dialog; true and "*** TRYING..." when the station took it,
  // false when it refused (the caller shows "Cannot connect!").
  bool Connect(const Ax25Address& local, const Ax25Address& remote, const Ax25AddressList& path,
               bool anySsid);
  // Characters typed for transmission; they wait here until the link has room.
  void Type(std::string_view text) { typed_.append(text); }
  size_t typedWaiting() const { return typed_.size() + unsent_.size() + line_.size(); }
  // One console step: received data, typed text, status lines, then incoming connections.
  void Step();

  Ax25Link* current() { return current_; }
  void MonitorFrame(const Ax25Frame& f) override;

 private:
  void LinkConsoleStep();
  void IncomingStep();
  // Hands a complete line (or a full line buffer) to the link with its local echo.
  void SendLine();
  void Main(std::string_view t) {
    if (main_) main_->PutText(t);
  }

  Ax25Station& station_;
  TextSink* main_;
  TextSink* second_;
  int mask_ = 15;
  Ax25Link* current_ = nullptr;
  int previous_ = 0;
  std::string typed_;   // typed, not yet taken into the line buffer
  std::string line_;    // the line being typed (at most kLineLimit)
  std::string unsent_;  // the part of a line the send buffer had no room for
};

}  // namespace vexa::packet
