#include "packet/ax25_link.h"

#include <algorithm>
#include <cstdio>

namespace vexa::packet {

Ax25AddressList ReversedPath(const Ax25AddressList& path) {
  Ax25AddressList r(kMaxDigis);
  for (int i = path.count() - 1; i >= 0; --i) (void)r.Add(path[i]);
  return r;
}

// ---------------------------------------------------------------------------------------------
// Ax25Link

Ax25Link::Ax25Link(Ax25Station* station, const Ax25Address& local, const Ax25Address& remote,
                   const Ax25AddressList& path, const LinkParameters& p, LinkTrace* trace)
    : station_(station), local_(local), remote_(remote), params_(p), trace_(trace) {
  for (int i = 0; i < path.count() && i < kMaxDigis; ++i) (void)path_.Add(path[i]);
  params_.maxFrame = std::clamp(params_.maxFrame, 1, 7);
  params_.pacLen = std::clamp(params_.pacLen, 1, kSlotBytes);
  if (trace_) trace_->Open();
}

Ax25Link::~Ax25Link() {
  if (trace_) trace_->Close();
}

void Ax25Link::TraceLine(std::string_view text) {
  if (!trace_) return;
  trace_->Write(text);
  char status[80];
  std::snprintf(status, sizeof status, "vr:%d vs:%d unack:%d written:%d", vr_, vs_, unack_,
                written_);
  trace_->Write(status);
}

void Ax25Link::SendControl(FrameType type, int cr, int pf, int nr) {
  Ax25Frame f;
  f.source = local_;
  f.destination = remote_;
  f.digis = path_;
  f.repeated = 0;
  f.type = type;
  f.cr = cr;
  f.pf = pf;
  f.nr = nr & 7;
  station_->Send(f);
}

void Ax25Link::SendI(int slot, int pf) {
  Ax25Frame f;
  f.source = local_;
  f.destination = remote_;
  f.digis = path_;
  f.type = FrameType::I;
  f.cr = kCommand;
  f.pf = pf;
  f.nr = vr_;
  f.ns = slot & 7;
  f.pid = kPid;
  const auto& s = slots_[static_cast<size_t>(slot & 7)];
  f.info.assign(s.begin(), s.begin() + slotLength_[static_cast<size_t>(slot & 7)]);
  station_->Send(f);
}

void Ax25Link::SendRr(int cr, int pf) {
  SendControl(ReceivedCount() > kBusyBytes ? FrameType::Rnr : FrameType::Rr, cr, pf, vr_);
}

void Ax25Link::StartConnect() {
  state_ = kAwaitingConnection;
  n2_ = params_.retryLimit;
  StartT1();
  t3_ = redundancy_ = 0;
  SendControl(FrameType::Sabm, kCommand, 1);
}

void Ax25Link::AcceptIncoming() {
  if (state_ != kIncomingPending) return;
  SendControl(FrameType::Ua, kResponse, 1);
  EnterConnected();
}

void Ax25Link::Disconnect() {
  switch (state_) {
    case kDisconnected:
    case kIncomingPending:
      return;
    case kAwaitingConnection:
    case kAwaitingRelease:
      n2_ = 1;
      return;
    default:
      state_ = kAwaitingRelease;
      n2_ = params_.retryLimit;
      StartT1();
      t3_ = redundancy_ = 0;
      SendControl(FrameType::Disc, kCommand, 1);
  }
}

size_t Ax25Link::SendData(std::span<const uint8_t> data) {
  if (trace_) {
    std::string line = "SendData: Enter - ";
    line.append(data.begin(), data.end());
    TraceLine(line);
  }
  size_t taken = 0;
  while (taken < data.size() && written_ < kSlots) {
    const size_t slot = static_cast<size_t>((va() + written_) & 7);
    const size_t n = std::min(data.size() - taken, static_cast<size_t>(params_.pacLen));
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(taken), n, slots_[slot].begin());
    slotLength_[slot] = static_cast<int>(n);
    ++written_;
    taken += n;
  }
  TraceLine("SendData: Leave");
  Output();
  return taken;
}

void Ax25Link::Output() {
  if (state_ != kConnected && state_ != kTimerRecovery) return;
  TraceLine("DlapbOutput: Enter");
  // A busy peer gets no new I frames; T1 polls it until it clears.
  if (peerBusy_ && t1_ == 0) {
    StartT1();
    n2_ = params_.retryLimit;
    TraceLine("DlapbOutput: Leave");
    return;
  }
  while (!peerBusy_ && unack_ < written_ && unack_ < params_.maxFrame) {
    if (trace_) {
      std::string line = "DlapbOutput: I";
      line += static_cast<char>('0' + vr_);
      line += static_cast<char>('0' + vs_);
      line += " - ";
      const auto& s = slots_[static_cast<size_t>(vs_)];
      line.append(s.begin(), s.begin() + slotLength_[static_cast<size_t>(vs_)]);
      TraceLine(line);
    }
    SendI(vs_, 0);
    vs_ = (vs_ + 1) & 7;
    ++unack_;
    n2_ = params_.retryLimit;
    StartT1();
    StartT3();
    StartRedundancy();
    ackPending_ = false;
  }
  if (ackPending_) {
    TraceLine(std::string("DlapbOutput: RR") + static_cast<char>('0' + vr_));
    SendRr(kResponse, 0);
    ackPending_ = false;
  }
  TraceLine("DlapbOutput: Leave");
}

void Ax25Link::AckOurs(int nr) {
  TraceLine("AckOurs: Enter, nr=" + std::to_string(nr));
  // N(R) must lie within V(A)+1 .. V(S): 1..unack frames past V(A).
  const int acked = (nr - va()) & 7;
  if (acked >= 1 && acked <= unack_) {
    unack_ -= acked;
    written_ -= acked;
    if (unack_ == 0) {
      t1_ = 0;
      StartT3();
    } else {
      StartT1();
      n2_ = params_.retryLimit;
    }
  }
  TraceLine("AckOurs: Leave");
}

void Ax25Link::Retransmit() {
  TraceLine("InvRex: Enter");
  vs_ = (vs_ - unack_) & 7;
  unack_ = 0;
  TraceLine("InvRex: Leave");
}

void Ax25Link::Poll() {
  if (unack_ == 0 || peerBusy_)
    SendRr(kCommand, 1);
  else
    SendI(va(), 1);
}

void Ax25Link::EnterConnected() {
  n2_ = params_.retryLimit;
  state_ = kConnected;
  StartT3();
  t1_ = 0;
  StartRedundancy();
  vs_ = vr_ = unack_ = written_ = 0;
  ringRead_ = ringWrite_ = 0;
  rejSent_ = ackPending_ = peerBusy_ = false;
  closingRedundant_ = false;
}

void Ax25Link::ResetConnected() {
  // The pieces still waiting (acknowledged ones excluded) move to slots 0.. in order.
  std::array<std::array<uint8_t, kSlotBytes>, kSlots> slots;
  std::array<int, kSlots> lengths{};
  const int first = va();
  const int pieces = written_;
  for (int i = 0; i < pieces; ++i) {
    const size_t from = static_cast<size_t>((first + i) & 7);
    slots[static_cast<size_t>(i)] = slots_[from];
    lengths[static_cast<size_t>(i)] = slotLength_[from];
  }
  const size_t read = ringRead_, write = ringWrite_;
  EnterConnected();
  slots_ = slots;
  slotLength_ = lengths;
  written_ = pieces;
  ringRead_ = read;
  ringWrite_ = write;
}

void Ax25Link::GoDisconnected(int reason) {
  state_ = kDisconnected;
  reason_ = reason == kNormal && closingRedundant_ ? kRedundant : reason;
  StopTimers();
}

void Ax25Link::ReceiveFrame(const Ax25Frame& f) {
  const bool poll = f.cr == kCommand && f.pf;
  const bool final = f.cr == kResponse && f.pf;
  const FrameType t = f.type;
  switch (state_) {
    case kDisconnected:
      if (poll) SendControl(FrameType::Dm, kResponse, 1);
      return;
    case kAwaitingConnection:
      if (t == FrameType::Sabm) {
        SendControl(FrameType::Ua, kResponse, 1);
        EnterConnected();
      } else if (t == FrameType::Ua) {
        EnterConnected();
      } else if (t == FrameType::Disc) {
        if (poll) SendControl(FrameType::Dm, kResponse, 1);
        GoDisconnected(kRefused);
      } else if (t == FrameType::Dm) {
        GoDisconnected(kRefused);
      }
      break;
    case kAwaitingRelease:
      if (t == FrameType::Ua || t == FrameType::Dm) {
        GoDisconnected(kNormal);
        break;
      }
      if (poll) SendControl(FrameType::Dm, kResponse, 1);
      if (t == FrameType::Disc || t == FrameType::Sabm) GoDisconnected(kNormal);
      break;
    case kIncomingPending:
      break;
    case kConnected:
    case kTimerRecovery:
      switch (t) {
        case FrameType::Sabm:
          // The peer restarted the link: sequence numbers begin again, but what waits in the
          // send buffer and what was received and not yet read are kept.
          SendControl(FrameType::Ua, kResponse, 1);
          ResetConnected();
          break;
        case FrameType::Ua:
          // A late or repeated UA (our SABM was answered twice) must not restart a running
          // link: both sides would lose their sequence numbers and the unacknowledged data.
          break;
        case FrameType::Disc:
          SendControl(FrameType::Dm, kResponse, 1);
          GoDisconnected(kNormal);
          break;
        case FrameType::Dm:
        case FrameType::Frmr:
          GoDisconnected(kRefused);
          break;
        case FrameType::I: {
          AckOurs(f.nr);
          if (state_ == kConnected)
            StartRedundancy();
          else if (t1_ == 0)
            StartT1();
          if (RingHasRoom(f.info.size())) {
            if (f.ns == vr_) {
              rejSent_ = false;
              vr_ = (vr_ + 1) & 7;
              for (uint8_t b : f.info) {
                ring_[ringWrite_] = b;
                ringWrite_ = (ringWrite_ + 1) % kRingBytes;
              }
              if (poll)
                SendControl(FrameType::Rr, kResponse, 1, vr_);
              else
                ackPending_ = true;
            } else if (!rejSent_) {
              rejSent_ = true;
              SendControl(FrameType::Rej, kResponse, 1, vr_);
            } else if (poll) {
              SendControl(FrameType::Rr, kResponse, 1, vr_);
            }
          } else if (state_ == kTimerRecovery || poll) {
            SendControl(FrameType::Rnr, kResponse, 1, vr_);
          }
          break;
        }
        case FrameType::Rr:
        case FrameType::Rnr:
        case FrameType::Rej:
          peerBusy_ = t == FrameType::Rnr;
          if (state_ == kConnected) {
            if (poll) SendRr(kResponse, 1);
            AckOurs(f.nr);
            if (t == FrameType::Rej) {
              t1_ = 0;
              StartT3();
              Retransmit();
            }
          } else if (!final) {
            if (poll) SendRr(kResponse, 1);
            AckOurs(f.nr);
            if (t == FrameType::Rej && unack_ > 0) Retransmit();
            if (t1_ == 0) StartT1();
          } else {
            t1_ = 0;
            AckOurs(f.nr);
            if (unack_ == 0) {
              StartT3();
              if (t != FrameType::Rnr) state_ = kConnected;
              if (redundancy_ == 0) StartRedundancy();
            } else {
              Retransmit();
            }
          }
          break;
        default:  // UNKN and UI
          break;
      }
      break;
    default:
      break;
  }
  Output();
}

void Ax25Link::T1Expiry() {
  if (n2_ == 0) return;
  const int was = n2_--;
  if (was == 1) {
    if (state_ == kAwaitingConnection)
      SendControl(FrameType::Disc, kCommand, 1);
    else
      SendControl(FrameType::Dm, kResponse, 1);
    GoDisconnected(kRetriesExhausted);
    return;
  }
  StartT1();
  switch (state_) {
    case kAwaitingConnection:
      SendControl(FrameType::Sabm, kCommand, 1);
      break;
    case kAwaitingRelease:
      SendControl(FrameType::Disc, kCommand, 1);
      break;
    case kConnected:
    case kTimerRecovery:
      Poll();
      state_ = kTimerRecovery;
      StartT3();
      break;
    default:
      break;
  }
}

void Ax25Link::Tick() {
  if (state_ == kDisconnected) return;
  if (t1_ > 0 && --t1_ == 0) T1Expiry();
  if (t3_ > 0 && --t3_ == 0 && state_ == kConnected) {
    n2_ = params_.retryLimit;
    StartT1();
    state_ = kTimerRecovery;
    Poll();
  }
  if (redundancy_ > 0 && --redundancy_ == 0 && (state_ == kConnected || state_ == kTimerRecovery)) {
    Disconnect();
    closingRedundant_ = true;
  }
}

size_t Ax25Link::ReadReceived(std::span<uint8_t> out) {
  size_t n = 0;
  while (n < out.size() && ringRead_ != ringWrite_) {
    out[n++] = ring_[ringRead_];
    ringRead_ = (ringRead_ + 1) % kRingBytes;
  }
  return n;
}

// ---------------------------------------------------------------------------------------------
// Ax25Station

Ax25Station::Ax25Station(FrameOutput* output, FrameMonitor* monitor, LinkTrace* trace)
    : output_(output), monitor_(monitor), trace_(trace) {}

Ax25Station::~Ax25Station() = default;

void Ax25Station::Apply(const StationSettings& s) {
  const std::string oldText = settings_.beaconText;
  settings_ = s;
  if (s.beaconText.size() > kMaxBeaconText) settings_.beaconText = oldText;
  beaconCountdown_ = 0;
}

bool Ax25Station::Contains(const Ax25AddressList& list, const Ax25Address& a) {
  for (int i = 0; i < list.count(); ++i)
    if (list[i] == a) return true;
  return false;
}

Ax25Link* Ax25Station::Connect(const Ax25Address& local, const Ax25Address& remote,
                               const Ax25AddressList& path) {
  for (const auto& l : links_)
    if (l->local() == local && l->remote() == remote && l->path() == path) return nullptr;
  if (!links_.empty()) return nullptr;
  links_.push_back(std::make_unique<Ax25Link>(this, local, remote, path, settings_.link, trace_));
  Ax25Link* link = links_.back().get();
  link->StartConnect();
  return link;
}

Ax25Link* Ax25Station::ConnectAnySsid(const Ax25Address& local, const Ax25Address& remote,
                                      const Ax25AddressList& path) {
  for (int i = 0; i < 16; ++i) {
    Ax25Address a = local;
    a.ssid = static_cast<uint8_t>((local.ssid + i) % 16);
    if (Ax25Link* l = Connect(a, remote, path)) return l;
  }
  return nullptr;
}

void Ax25Station::Receive(std::span<const uint8_t> bytes) {
  auto f = DecodeFrame(bytes);
  if (!f) return;
  if (monitor_) monitor_->MonitorFrame(*f);
  Route(*f);
}

void Ax25Station::Send(const Ax25Frame& f) {
  if (monitor_) monitor_->MonitorFrame(f);
  if (!output_) return;
  const auto bytes = EncodeFrame(f);
  output_->SendFrame(bytes);
}

void Ax25Station::AnswerDm(const Ax25Frame& f) {
  Ax25Frame dm;
  dm.source = f.destination;
  dm.destination = f.source;
  dm.digis = ReversedPath(f.digis);
  dm.type = FrameType::Dm;
  dm.cr = kResponse;
  dm.pf = 1;
  Send(dm);
}

void Ax25Station::Route(const Ax25Frame& f) {
  const bool allRepeated = f.repeated == f.digis.count();
  // 1. A frame of one of our links. Only once every digipeater has repeated it, so that a frame
  // heard both directly and through the path is taken once.
  if (allRepeated) {
    const Ax25AddressList back = ReversedPath(f.digis);
    for (const auto& l : links_) {
      if (l->local() == f.destination && l->remote() == f.source && l->path() == back) {
        l->ReceiveFrame(f);
        return;
      }
    }
  }
  const bool forUs = allRepeated && Contains(settings_.incomingCalls, f.destination);
  // 2. A connection request to one of our calls.
  if (forUs && f.type == FrameType::Sabm) {
    if (incomingPending_ || !links_.empty()) {
      AnswerDm(f);
      return;
    }
    links_.push_back(std::make_unique<Ax25Link>(this, f.destination, f.source,
                                                ReversedPath(f.digis), settings_.link, trace_));
    pending_ = links_.back().get();
    pending_->state_ = Ax25Link::kIncomingPending;  // until the console takes it over
    incomingPending_ = true;
    return;
  }
  // 3. Any other poll to one of our calls (SABME among them) is refused.
  if (forUs && f.cr == kCommand && f.pf) {
    AnswerDm(f);
    return;
  }
  // 4. Digipeating: the next hop is one of our digipeater calls.
  if (settings_.digipeating && f.digis.count() > 0 && !allRepeated &&
      Contains(settings_.digiCalls, f.digis[f.repeated])) {
    Ax25Frame again = f;
    again.repeated = f.repeated + 1;
    Send(again);
  }
}

Ax25Link* Ax25Station::TakeIncoming() {
  if (!incomingPending_) return nullptr;
  incomingPending_ = false;
  Ax25Link* l = pending_;
  pending_ = nullptr;
  return l;
}

void Ax25Station::Release(Ax25Link* link) {
  if (link == pending_) {
    pending_ = nullptr;
    incomingPending_ = false;
  }
  std::erase_if(links_, [link](const auto& l) { return l.get() == link; });
}

void Ax25Station::Tick() {
  // A link may end in the tick; the console releases it, so iterate by index over a stable list.
  for (size_t i = 0; i < links_.size(); ++i) links_[i]->Tick();
  if (!settings_.beaconEnabled) return;
  if (beaconCountdown_ > 0) {
    --beaconCountdown_;
    return;
  }
  beaconCountdown_ = settings_.beaconInterval;
  Ax25Frame ui;
  ui.source = settings_.beaconSource;
  ui.destination = settings_.beaconDestination;
  ui.digis = settings_.beaconPath;
  ui.type = FrameType::Ui;
  ui.cr = kCommand;
  ui.pf = 0;
  ui.pid = Ax25Link::kPid;
  ui.info.assign(settings_.beaconText.begin(), settings_.beaconText.end());
  Send(ui);
}

}  // namespace vexa::packet
