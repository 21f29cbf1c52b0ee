#pragma once
// The AX.25 connected-mode data link: the packet station (Ax25Station) that owns at most one
// connection, accepts or refuses incoming connections, digipeats, sends the beacon and routes
// every received frame; and the link (Ax25Link), a modulo-8 sliding window with the retry timer
// T1, the idle poll timer T3, the retry counter N2 and the redundancy timer that drops idle
// connections.
//
// Pure: frames come in as bytes without FCS (Ax25Station::Receive) and go out through the
// injected FrameOutput; every timer is a count of seconds driven by Tick(), called once a second.
// No clock reads, no sockets, no threads.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "packet/ax25_frame.h"

namespace vexa::packet {

// Where the station's frames go: the bytes of one frame without FCS (the modem adds HDLC and
// FCS, a KISS TNC its own).
class FrameOutput {
 public:
  virtual ~FrameOutput() = default;
  virtual void SendFrame(std::span<const uint8_t> bytes) = 0;
};

// Every frame the station sends or receives, before encoding or after decoding.
class FrameMonitor {
 public:
  virtual ~FrameMonitor() = default;
  virtual void MonitorFrame(const Ax25Frame& f) = 0;
};

// The link's send-side trace ("trace.log" in the program): Open empties it, Write appends one
// line (without line end) and makes it durable, Close ends it.
class LinkTrace {
 public:
  virtual ~LinkTrace() = default;
  virtual void Open() = 0;
  virtual void Write(std::string_view line) = 0;
  virtual void Close() = 0;
};

// The link parameters the station copies into each new link (seconds, frames, bytes).
struct LinkParameters {
  int maxFrame = 7;          // 1..7 I frames outstanding
  int pacLen = 128;          // 1..255 bytes per I frame
  int retryTime = 10;        // T1, 1..60 s
  int retryLimit = 10;       // N2, 1..10000
  int idlePollTime = 180;    // T3, 0..3600 s; 0 leaves T3 off
  int redundancyTime = 900;  // 60..36000 s
};

class Ax25Station;

class Ax25Link {
 public:
  enum State : int {
    kDisconnected = 0,
    kAwaitingConnection = 2,
    kAwaitingRelease = 3,
    kConnected = 4,
    kTimerRecovery = 5,
    kIncomingPending = 6,
  };
  enum Reason : int { kNormal = 0, kRefused = 1, kRetriesExhausted = 2, kRedundant = 3 };

  static constexpr int kSlots = 8;
  static constexpr int kSlotBytes = 255;
  static constexpr size_t kRingBytes = 2048;
  static constexpr size_t kBusyBytes = 1793;  // RNR instead of RR above this fill
  static constexpr uint8_t kPid = 240;

  Ax25Link(Ax25Station* station, const Ax25Address& local, const Ax25Address& remote,
           const Ax25AddressList& path, const LinkParameters& p, LinkTrace* trace);
  ~Ax25Link();
  Ax25Link(const Ax25Link&) = delete;
  Ax25Link& operator=(const Ax25Link&) = delete;

  // Sends SABM (P=1) and waits for the answer: state 2, N2 = retryLimit, T1 running.
  void StartConnect();
  // Takes an incoming connection (state 6) over: UA (F=1), then the connected state.
  void AcceptIncoming();
  // States 2 and 3: the next T1 expiry gives up. 4 and 5: DISC (P=1), state 3. 0: nothing.
  void Disconnect();
  // Cuts the bytes into pieces of at most pacLen into the free send slots and sends what the
  // window allows. Returns the number of bytes taken (0 with a full send buffer).
  size_t SendData(std::span<const uint8_t> data);
  void ReceiveFrame(const Ax25Frame& f);
  void Tick();

  // Moves up to out.size() received bytes out of the receive ring; returns how many.
  size_t ReadReceived(std::span<uint8_t> out);
  size_t ReceivedCount() const { return (ringWrite_ - ringRead_) % kRingBytes; }

  int state() const { return state_; }
  int reason() const { return reason_; }
  const Ax25Address& local() const { return local_; }
  const Ax25Address& remote() const { return remote_; }
  const Ax25AddressList& path() const { return path_; }
  int vs() const { return vs_; }
  int vr() const { return vr_; }
  int va() const { return (vs_ - unack_) & 7; }
  int unack() const { return unack_; }
  int written() const { return written_; }
  bool HasRoom() const { return written_ < kSlots; }
  bool peerBusy() const { return peerBusy_; }
  bool rejSent() const { return rejSent_; }
  int t1() const { return t1_; }
  int t3() const { return t3_; }
  int redundancy() const { return redundancy_; }
  int n2() const { return n2_; }
  const LinkParameters& parameters() const { return params_; }

 private:
  friend class Ax25Station;  // marks an accepted SABM's link as pending

  void Output();
  void AckOurs(int nr);
  void Retransmit();
  void Poll();
  void T1Expiry();
  void EnterConnected();
  // A SABM on a running link: sequence numbers from 0, waiting data and received data kept.
  void ResetConnected();
  void GoDisconnected(int reason);
  void StartT1() { t1_ = params_.retryTime + 1; }
  void StartT3() { t3_ = params_.idlePollTime > 0 ? params_.idlePollTime + 1 : 0; }
  void StartRedundancy() { redundancy_ = params_.redundancyTime + 1; }
  void StopTimers() { t1_ = t3_ = redundancy_ = 0; }

  // Builds and sends a frame from local to remote over the path (nothing repeated).
  void SendControl(FrameType type, int cr, int pf, int nr = 0);
  void SendI(int slot, int pf);
  // RR, or RNR when the receive ring is nearly full.
  void SendRr(int cr, int pf);
  bool RingHasRoom(size_t n) const { return ReceivedCount() + n < kRingBytes; }
  void TraceLine(std::string_view text);

  Ax25Station* station_;
  Ax25Address local_, remote_;
  Ax25AddressList path_{kMaxDigis};
  LinkParameters params_;
  LinkTrace* trace_;

  int state_ = kDisconnected;
  int reason_ = kNormal;
  int vs_ = 0, vr_ = 0, unack_ = 0, written_ = 0;
  std::array<std::array<uint8_t, kSlotBytes>, kSlots> slots_{};
  std::array<int, kSlots> slotLength_{};
  std::array<uint8_t, kRingBytes> ring_{};
  size_t ringWrite_ = 0, ringRead_ = 0;
  bool rejSent_ = false, ackPending_ = false, peerBusy_ = false;
  bool closingRedundant_ = false;  // the redundancy timer started the disconnect
  int t1_ = 0, t3_ = 0, redundancy_ = 0, n2_ = 0;
};

// The station's own lists, beacon and link parameters (the AX.25 settings).
struct StationSettings {
  Ax25AddressList incomingCalls{10};
  Ax25AddressList digiCalls{7};
  bool digipeating = false;
  Ax25Address beaconSource, beaconDestination;
  Ax25AddressList beaconPath{kMaxDigis};
  std::string beaconText;
  int beaconInterval = 600;
  bool beaconEnabled = false;
  LinkParameters link;
};

class Ax25Station {
 public:
  static constexpr size_t kMaxBeaconText = 254;

  Ax25Station(FrameOutput* output = nullptr, FrameMonitor* monitor = nullptr,
              LinkTrace* trace = nullptr);
  ~Ax25Station();
  Ax25Station(const Ax25Station&) = delete;
  Ax25Station& operator=(const Ax25Station&) = delete;

  void set_output(FrameOutput* o) { output_ = o; }
  void set_monitor(FrameMonitor* m) { monitor_ = m; }
  void set_trace(LinkTrace* t) { trace_ = t; }

  // Takes the settings over (a beacon text of more than 254 characters keeps the old one) and
  // restarts the beacon countdown, so a beacon goes out at the next tick.
  void Apply(const StationSettings& s);
  const StationSettings& settings() const { return settings_; }

  // A new link from local to remote over path, SABM sent; nullptr when the same connection
  // exists or the station already has a link.
  Ax25Link* Connect(const Ax25Address& local, const Ax25Address& remote,
                    const Ax25AddressList& path);
  // Connect with the local SSID raised by 0..15 (mod 16), first success wins.
  Ax25Link* ConnectAnySsid(const Ax25Address& local, const Ax25Address& remote,
                           const Ax25AddressList& path);
  // Bytes of one received frame without FCS: decoded, monitored, routed. Bad frames are dropped.
  void Receive(std::span<const uint8_t> bytes);
  void Send(const Ax25Frame& f);
  // Removes and destroys the link.
  void Release(Ax25Link* link);
  // Once a second: every link's timers, then the beacon.
  void Tick();

  bool incomingPending() const { return incomingPending_; }
  // The incoming link waiting to be taken over (the pending mark is cleared), or nullptr.
  Ax25Link* TakeIncoming();
  int LinkCount() const { return static_cast<int>(links_.size()); }
  Ax25Link* link(int i) { return links_[static_cast<size_t>(i)].get(); }
  int beaconCountdown() const { return beaconCountdown_; }

 private:
  static bool Contains(const Ax25AddressList& list, const Ax25Address& a);
  void Route(const Ax25Frame& f);
  void AnswerDm(const Ax25Frame& f);

  FrameOutput* output_;
  FrameMonitor* monitor_;
  LinkTrace* trace_;
  StationSettings settings_;
  std::vector<std::unique_ptr<Ax25Link>> links_;  // capacity 1
  bool incomingPending_ = false;
  Ax25Link* pending_ = nullptr;
  int beaconCountdown_ = 0;
};

// The path in the other direction: the last digipeater first.
Ax25AddressList ReversedPath(const Ax25AddressList& path);

}  // namespace vexa::packet
