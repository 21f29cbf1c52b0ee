#include "packet/ax25_link.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace vexa::packet {
namespace {

Ax25Address Call(const char* text) {
  return *ParseCallsign(text);
}

Ax25AddressList Path(const char* text) {
  Ax25AddressList l(kMaxDigis);
  EXPECT_GE(ParseCallsignList(text, l), 0);
  return l;
}

// Records every frame the station hands to its output, decoded again from the bytes.
struct Wire : FrameOutput {
  std::vector<Ax25Frame> frames;
  void SendFrame(std::span<const uint8_t> bytes) override {
    auto f = DecodeFrame(bytes);
    ASSERT_TRUE(f.has_value());
    frames.push_back(*f);
  }
  // "I ns=.. nr=.." style short names: type, N(S)/N(R), and C/R with P/F.
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const auto& f : frames) out.push_back(Name(f));
    return out;
  }
  static std::string Name(const Ax25Frame& f) {
    std::string s = FrameTypeName(f.type);
    if (f.type == FrameType::I) s += std::to_string(f.ns);
    if (f.type == FrameType::I || IsSupervisory(f.type)) s += "/" + std::to_string(f.nr);
    s += f.cr == kCommand ? (f.pf ? ",P" : ",C") : (f.pf ? ",F" : ",R");
    return s;
  }
  void Clear() { frames.clear(); }
};

struct Lines : LinkTrace {
  std::vector<std::string> lines;
  int opened = 0, closed = 0;
  void Open() override {
    ++opened;
    lines.clear();
  }
  void Write(std::string_view line) override { lines.emplace_back(line); }
  void Close() override { ++closed; }
};

// A frame from the remote station to us, as the link would see it.
Ax25Frame From(const char* src, const char* dst, FrameType t, int cr, int pf, int nr = 0,
               int ns = 0, std::string info = {}) {
  Ax25Frame f;
  f.source = Call(src);
  f.destination = Call(dst);
  f.type = t;
  f.cr = cr;
  f.pf = pf;
  f.nr = nr;
  f.ns = ns;
  f.info.assign(info.begin(), info.end());
  return f;
}

struct Fixture {
  Wire wire;
  Lines trace;
  Ax25Station station{&wire, nullptr, &trace};
  Ax25Link* link = nullptr;

  explicit Fixture(LinkParameters p = {}) {
    StationSettings s;
    s.link = p;
    (void)s.incomingCalls.Add(Call("DL1ME"));
    station.Apply(s);
  }
  void Feed(const Ax25Frame& f) { station.Receive(EncodeFrame(f)); }
  void Peer(FrameType t, int cr, int pf, int nr = 0, int ns = 0, std::string info = {}) {
    Feed(From("DL2YOU", "DL1ME", t, cr, pf, nr, ns, std::move(info)));
  }
  // Connects DL1ME to DL2YOU and lets the peer accept.
  void Connected() {
    link = station.Connect(Call("DL1ME"), Call("DL2YOU"), Ax25AddressList(kMaxDigis));
    ASSERT_NE(link, nullptr);
    Peer(FrameType::Ua, kResponse, 1);
    ASSERT_EQ(link->state(), Ax25Link::kConnected);
    wire.Clear();
  }
};

LinkParameters Params(int maxFrame, int pacLen) {
  LinkParameters p;
  p.maxFrame = maxFrame;
  p.pacLen = pacLen;
  return p;
}

TEST(Ax25Link, ConnectSendsSabmAndUaConnects) {
  Fixture fx;
  Ax25Link* l = fx.station.Connect(Call("DL1ME"), Call("DL2YOU"), Path("RELAY"));
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->state(), Ax25Link::kAwaitingConnection);
  EXPECT_EQ(l->t1(), 11);
  EXPECT_EQ(l->n2(), 10);
  ASSERT_EQ(fx.wire.Names(), std::vector<std::string>{"SABM,P"});
  EXPECT_EQ(fx.wire.frames[0].digis[0], Call("RELAY"));
  EXPECT_EQ(fx.wire.frames[0].repeated, 0);
  // The same connection, and any second one, is refused.
  EXPECT_EQ(fx.station.Connect(Call("DL1ME"), Call("DL2YOU"), Path("RELAY")), nullptr);
  EXPECT_EQ(fx.station.Connect(Call("DL1ME"), Call("DL3XX"), Path("")), nullptr);
  // The UA comes back through the relay: the path reversed, all repeated.
  Ax25Frame ua = From("DL2YOU", "DL1ME", FrameType::Ua, kResponse, 1);
  ua.digis = Path("RELAY");
  ua.repeated = 0;
  fx.Feed(ua);  // heard straight from the peer before the relay repeated it: not ours yet
  EXPECT_EQ(l->state(), Ax25Link::kAwaitingConnection);
  ua.repeated = 1;
  fx.Feed(ua);
  EXPECT_EQ(l->state(), Ax25Link::kConnected);
  EXPECT_EQ(l->t1(), 0);
  EXPECT_EQ(l->t3(), 181);
  EXPECT_EQ(l->redundancy(), 901);
}

TEST(Ax25Link, ConnectAnySsidTakesTheFirstFreeSsid) {
  Fixture fx;
  Ax25Link* l = fx.station.ConnectAnySsid(Call("DL1ME-15"), Call("DL2YOU"), Path(""));
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->local(), Call("DL1ME-15"));
  EXPECT_EQ(fx.station.ConnectAnySsid(Call("DL1ME-15"), Call("DL2YOU"), Path("")), nullptr);
}

// maxFrame 3 with five pieces: N(S) 0, 1, 2 go out; RR N(R)=2 frees two slots and sends 3, 4.
TEST(Ax25Link, WindowHoldsMaxFrameAndAnAckSlidesIt) {
  Fixture fx(Params(3, 2));
  fx.Connected();
  const std::string text = "aabbccddee";
  EXPECT_EQ(fx.link->SendData({reinterpret_cast<const uint8_t*>(text.data()), text.size()}), 10u);
  EXPECT_EQ(fx.wire.Names(), (std::vector<std::string>{"I0/0,C", "I1/0,C", "I2/0,C"}));
  EXPECT_EQ(std::string(fx.wire.frames[1].info.begin(), fx.wire.frames[1].info.end()), "bb");
  EXPECT_EQ(fx.wire.frames[1].pid, 240);
  EXPECT_EQ(fx.link->unack(), 3);
  EXPECT_EQ(fx.link->written(), 5);
  fx.wire.Clear();
  fx.Peer(FrameType::Rr, kResponse, 0, 2);
  EXPECT_EQ(fx.wire.Names(), (std::vector<std::string>{"I3/0,C", "I4/0,C"}));
  EXPECT_EQ(fx.link->unack(), 3);
  EXPECT_EQ(fx.link->written(), 3);
  EXPECT_EQ(fx.link->va(), 2);
  EXPECT_EQ(fx.link->vs(), 5);
  // Everything acknowledged: T1 stops, T3 runs.
  fx.Peer(FrameType::Rr, kResponse, 0, 5);
  EXPECT_EQ(fx.link->unack(), 0);
  EXPECT_EQ(fx.link->written(), 0);
  EXPECT_EQ(fx.link->t1(), 0);
  EXPECT_EQ(fx.link->t3(), 181);
}

TEST(Ax25Link, SendBufferTakesEightPiecesAndKeepsTheRest) {
  Fixture fx(Params(2, 10));
  fx.Connected();
  const std::string text(100, 'x');
  EXPECT_EQ(fx.link->SendData({reinterpret_cast<const uint8_t*>(text.data()), text.size()}), 80u);
  EXPECT_FALSE(fx.link->HasRoom());
  EXPECT_EQ(fx.link->SendData({reinterpret_cast<const uint8_t*>(text.data()), 5}), 0u);
  fx.Peer(FrameType::Rr, kResponse, 0, 1);
  EXPECT_EQ(fx.link->SendData({reinterpret_cast<const uint8_t*>(text.data()), 20}), 10u);
  // The freed slot 0 holds the ninth piece, sequence number 8 mod 8.
  EXPECT_EQ(fx.link->written(), 8);
}

TEST(Ax25Link, AnRrOutsideTheWindowChangesNothing) {
  Fixture fx(Params(7, 1));
  fx.Connected();
  const std::string text = "abc";
  (void)fx.link->SendData({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  fx.wire.Clear();
  const int t1 = fx.link->t1();
  fx.link->Tick();  // T1 runs down a little
  for (int nr : {4, 5, 6, 7, 0}) {
    fx.Peer(FrameType::Rr, kResponse, 0, nr);
    EXPECT_EQ(fx.link->unack(), 3) << nr;
    EXPECT_EQ(fx.link->written(), 3) << nr;
    EXPECT_EQ(fx.link->vs(), 3) << nr;
    EXPECT_EQ(fx.link->t1(), t1 - 1) << nr;
  }
  EXPECT_TRUE(fx.wire.frames.empty());
}

// A REJ N(R)=1 with frames 0..2 outstanding acknowledges 0 and resends 1 and 2.
TEST(Ax25Link, RejAcknowledgesAndResendsFromItsNr) {
  Fixture fx(Params(7, 1));
  fx.Connected();
  const std::string text = "abc";
  (void)fx.link->SendData({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  fx.wire.Clear();
  fx.Peer(FrameType::Rej, kResponse, 0, 1);
  ASSERT_EQ(fx.wire.Names(), (std::vector<std::string>{"I1/0,C", "I2/0,C"}));
  EXPECT_EQ(fx.wire.frames[0].info, std::vector<uint8_t>{'b'});
  EXPECT_EQ(fx.wire.frames[1].info, std::vector<uint8_t>{'c'});
  EXPECT_EQ(fx.link->unack(), 2);
  EXPECT_EQ(fx.link->written(), 2);
}

TEST(Ax25Link, AGapGetsOneRejUntilTheMissingFrameArrives) {
  Fixture fx;
  fx.Connected();
  fx.Peer(FrameType::I, kCommand, 0, 0, 0, "one");
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"RR/1,R"});  // the acknowledgement
  fx.wire.Clear();
  fx.Peer(FrameType::I, kCommand, 0, 0, 2, "three");
  fx.Peer(FrameType::I, kCommand, 0, 0, 3, "four");
  fx.Peer(FrameType::I, kCommand, 0, 0, 4, "five");
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"REJ/1,F"});
  EXPECT_TRUE(fx.link->rejSent());
  // While the REJ stands only a poll is answered.
  fx.Peer(FrameType::I, kCommand, 1, 0, 3, "four");
  EXPECT_EQ(fx.wire.Names(), (std::vector<std::string>{"REJ/1,F", "RR/1,F"}));
  fx.wire.Clear();
  fx.Peer(FrameType::I, kCommand, 0, 0, 1, "two");
  EXPECT_FALSE(fx.link->rejSent());
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"RR/2,R"});
  // A new gap gets a REJ of its own.
  fx.wire.Clear();
  fx.Peer(FrameType::I, kCommand, 0, 0, 5, "six");
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"REJ/2,F"});
  uint8_t buf[64];
  const size_t n = fx.link->ReadReceived(buf);
  EXPECT_EQ(std::string(buf, buf + n), "onetwo");
}

TEST(Ax25Link, APolledIFrameIsAcknowledgedAtOnce) {
  Fixture fx;
  fx.Connected();
  fx.Peer(FrameType::I, kCommand, 1, 0, 0, "x");
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"RR/1,F"});
}

// retryLimit 15, retryTime 10: 15 SABMs 11 s apart, then DISC, reason 2.
TEST(Ax25Link, AnUnansweredSabmIsSentFifteenTimesThenDisc) {
  LinkParameters p;
  p.retryLimit = 15;
  p.retryTime = 10;
  Fixture fx(p);
  Ax25Link* l = fx.station.Connect(Call("DL1ME"), Call("DL2YOU"), Path(""));
  std::vector<int> sentAt{0};
  for (int second = 1; second <= 200 && l->state() != 0; ++second) {
    const size_t before = fx.wire.frames.size();
    fx.station.Tick();
    if (fx.wire.frames.size() > before) sentAt.push_back(second);
  }
  const auto names = fx.wire.Names();
  ASSERT_EQ(names.size(), 16u);
  for (size_t i = 0; i < 15; ++i) EXPECT_EQ(names[i], "SABM,P") << i;
  EXPECT_EQ(names[15], "DISC,P");
  for (size_t i = 1; i < sentAt.size(); ++i) EXPECT_EQ(sentAt[i] - sentAt[i - 1], 11) << i;
  EXPECT_EQ(l->state(), Ax25Link::kDisconnected);
  EXPECT_EQ(l->reason(), Ax25Link::kRetriesExhausted);
  EXPECT_EQ(l->t1(), 0);
}

TEST(Ax25Link, DmOrDiscWhileConnectingIsARefusal) {
  for (FrameType t : {FrameType::Dm, FrameType::Disc}) {
    Fixture fx;
    Ax25Link* l = fx.station.Connect(Call("DL1ME"), Call("DL2YOU"), Path(""));
    fx.wire.Clear();
    fx.Peer(t, t == FrameType::Dm ? kResponse : kCommand, 1);
    EXPECT_EQ(l->state(), 0);
    EXPECT_EQ(l->reason(), Ax25Link::kRefused);
    EXPECT_EQ(fx.wire.Names(),
              t == FrameType::Disc ? std::vector<std::string>{"DM,F"} : std::vector<std::string>{});
  }
}

TEST(Ax25Link, DisconnectSendsDiscAndUaEndsNormally) {
  Fixture fx;
  fx.Connected();
  fx.link->Disconnect();
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"DISC,P"});
  EXPECT_EQ(fx.link->state(), Ax25Link::kAwaitingRelease);
  fx.Peer(FrameType::Ua, kResponse, 1);
  EXPECT_EQ(fx.link->state(), 0);
  EXPECT_EQ(fx.link->reason(), Ax25Link::kNormal);
  // A poll to the dead link gets DM.
  fx.wire.Clear();
  fx.Peer(FrameType::Rr, kCommand, 1);
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"DM,F"});
}

// A peer that restarts the link with SABM gets UA; sequence numbers start again, and neither
// the pieces waiting to go nor the bytes received and not yet read are lost.
TEST(Ax25Link, ARestartKeepsWaitingAndReceivedData) {
  Fixture fx(Params(2, 1));
  fx.Connected();
  fx.Peer(FrameType::I, kCommand, 0, 0, 0, "in");
  const std::string text = "abcd";
  (void)fx.link->SendData({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  fx.Peer(FrameType::Rr, kResponse, 0, 1);  // 'a' acknowledged; b, c out; d waits
  fx.wire.Clear();
  fx.Peer(FrameType::Sabm, kCommand, 1);
  EXPECT_EQ(fx.wire.Names(), (std::vector<std::string>{"UA,F", "I0/0,C", "I1/0,C"}));
  EXPECT_EQ(fx.wire.frames[1].info, std::vector<uint8_t>{'b'});
  EXPECT_EQ(fx.wire.frames[2].info, std::vector<uint8_t>{'c'});
  EXPECT_EQ(fx.link->written(), 3);
  uint8_t buf[8];
  const size_t n = fx.link->ReadReceived(buf);
  EXPECT_EQ(std::string(buf, buf + n), "in");
}

// Our SABM answered twice: the second UA must not restart the running link.
TEST(Ax25Link, ALateUaLeavesTheRunningLinkAlone) {
  Fixture fx(Params(7, 1));
  fx.Connected();
  fx.Peer(FrameType::I, kCommand, 0, 0, 0, "x");
  const std::string text = "ab";
  (void)fx.link->SendData({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  fx.Peer(FrameType::Ua, kResponse, 1);
  EXPECT_EQ(fx.link->vs(), 2);
  EXPECT_EQ(fx.link->vr(), 1);
  EXPECT_EQ(fx.link->unack(), 2);
  EXPECT_EQ(fx.link->ReceivedCount(), 1u);
}

TEST(Ax25Link, PeerDiscGetsDmAndEndsNormally) {
  Fixture fx;
  fx.Connected();
  fx.Peer(FrameType::Disc, kCommand, 1);
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"DM,F"});
  EXPECT_EQ(fx.link->state(), 0);
  EXPECT_EQ(fx.link->reason(), 0);
}

TEST(Ax25Link, IdlePollGoesToTimerRecoveryAndAFinalBringsItBack) {
  LinkParameters p;
  p.idlePollTime = 5;
  Fixture fx(p);
  fx.Connected();
  for (int i = 0; i < 6; ++i) fx.station.Tick();
  EXPECT_EQ(fx.link->state(), Ax25Link::kTimerRecovery);
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"RR/0,P"});
  fx.Peer(FrameType::Rr, kResponse, 1, 0);
  EXPECT_EQ(fx.link->state(), Ax25Link::kConnected);
  EXPECT_EQ(fx.link->t1(), 0);
  EXPECT_EQ(fx.link->t3(), 6);
}

TEST(Ax25Link, T1ExpiryPollsWithTheOldestFrameAndRetriesEnd) {
  LinkParameters p;
  p.retryTime = 2;
  p.retryLimit = 3;
  p.pacLen = 1;
  Fixture fx(p);
  fx.Connected();
  const std::string text = "ab";
  (void)fx.link->SendData({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  fx.wire.Clear();
  for (int i = 0; i < 20 && fx.link->state() != 0; ++i) fx.station.Tick();
  EXPECT_EQ(fx.wire.Names(), (std::vector<std::string>{"I0/0,P", "I0/0,P", "DM,F"}));
  EXPECT_EQ(fx.link->reason(), Ax25Link::kRetriesExhausted);
}

TEST(Ax25Link, AFullReceiveRingAnswersRnrAndDropsTheFrame) {
  Fixture fx;
  fx.Connected();
  const std::string big(250, 'z');
  int ns = 0;
  // 1793 bytes or fewer in the ring: RR; above: RNR.
  for (int i = 0; i < 8; ++i, ns = (ns + 1) & 7) fx.Peer(FrameType::I, kCommand, 0, 0, ns, big);
  EXPECT_EQ(fx.link->ReceivedCount(), 2000u);
  EXPECT_EQ(Wire::Name(fx.wire.frames.back()), "RNR/0,R");
  fx.wire.Clear();
  fx.Peer(FrameType::I, kCommand, 1, 0, ns, big);  // no room: dropped, polled: RNR
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"RNR/0,F"});
  EXPECT_EQ(fx.link->ReceivedCount(), 2000u);
  EXPECT_EQ(fx.link->vr(), 0);
  uint8_t buf[2048];
  EXPECT_EQ(fx.link->ReadReceived(buf), 2000u);
  fx.wire.Clear();
  fx.Peer(FrameType::I, kCommand, 1, 0, ns, big);
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"RR/1,F"});
}

TEST(Ax25Link, ThePeerBusyHoldsNewFramesUntilItClears) {
  Fixture fx(Params(7, 1));
  fx.Connected();
  fx.Peer(FrameType::Rnr, kResponse, 0, 0);
  EXPECT_TRUE(fx.link->peerBusy());
  const std::string text = "ab";
  (void)fx.link->SendData({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  EXPECT_TRUE(fx.wire.frames.empty());
  EXPECT_EQ(fx.link->t1(), 11);
  fx.Peer(FrameType::Rr, kResponse, 0, 0);
  EXPECT_EQ(fx.wire.Names(), (std::vector<std::string>{"I0/0,C", "I1/0,C"}));
}

TEST(Ax25Link, RedundancyTimerDisconnectsAnIdleLinkWithItsOwnReason) {
  LinkParameters p;
  p.redundancyTime = 60;
  p.idlePollTime = 0;  // no idle polls
  Fixture fx(p);
  fx.Connected();
  for (int i = 0; i < 60; ++i) fx.station.Tick();
  EXPECT_EQ(fx.link->state(), Ax25Link::kConnected);
  fx.station.Tick();
  EXPECT_EQ(fx.link->state(), Ax25Link::kAwaitingRelease);
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"DISC,P"});
  fx.Peer(FrameType::Ua, kResponse, 1);
  EXPECT_EQ(fx.link->reason(), Ax25Link::kRedundant);
}

TEST(Ax25Link, TraceLinesFollowTheSendSide) {
  Fixture fx(Params(7, 10));
  fx.Connected();
  EXPECT_EQ(fx.trace.opened, 1);
  fx.trace.lines.clear();
  const std::string text = "hi\r";
  (void)fx.link->SendData({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  fx.Peer(FrameType::Rr, kResponse, 0, 1);
  const std::vector<std::string> want = {
      "SendData: Enter - hi\r",  "vr:0 vs:0 unack:0 written:0",
      "SendData: Leave",         "vr:0 vs:0 unack:0 written:1",
      "DlapbOutput: Enter",      "vr:0 vs:0 unack:0 written:1",
      "DlapbOutput: I00 - hi\r", "vr:0 vs:0 unack:0 written:1",
      "DlapbOutput: Leave",      "vr:0 vs:1 unack:1 written:1",
      "AckOurs: Enter, nr=1",    "vr:0 vs:1 unack:1 written:1",
      "AckOurs: Leave",          "vr:0 vs:1 unack:0 written:0",
      "DlapbOutput: Enter",      "vr:0 vs:1 unack:0 written:0",
      "DlapbOutput: Leave",      "vr:0 vs:1 unack:0 written:0",
  };
  EXPECT_EQ(fx.trace.lines, want);
  fx.station.Release(fx.link);
  EXPECT_EQ(fx.trace.closed, 1);
  EXPECT_EQ(fx.station.LinkCount(), 0);
}

// ---------------------------------------------------------------------------------------------
// Station routing

TEST(Ax25Station, IncomingSabmWaitsForTheConsoleAndASecondOneGetsDm) {
  Fixture fx;
  fx.Feed(From("DL2YOU", "DL1ME", FrameType::Sabm, kCommand, 1));
  EXPECT_TRUE(fx.wire.frames.empty());  // the UA waits for the console
  ASSERT_TRUE(fx.station.incomingPending());
  ASSERT_EQ(fx.station.LinkCount(), 1);
  EXPECT_EQ(fx.station.link(0)->state(), Ax25Link::kIncomingPending);
  // Another station's SABM while one is pending: DM from our call to it.
  fx.Feed(From("DL3XX", "DL1ME", FrameType::Sabm, kCommand, 1));
  ASSERT_EQ(fx.wire.Names(), std::vector<std::string>{"DM,F"});
  EXPECT_EQ(fx.wire.frames[0].destination, Call("DL3XX"));
  EXPECT_EQ(fx.wire.frames[0].source, Call("DL1ME"));
  fx.wire.Clear();
  Ax25Link* l = fx.station.TakeIncoming();
  ASSERT_NE(l, nullptr);
  EXPECT_FALSE(fx.station.incomingPending());
  l->AcceptIncoming();
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"UA,F"});
  EXPECT_EQ(l->state(), Ax25Link::kConnected);
  // Connected now: a second SABM from another station is still refused.
  fx.wire.Clear();
  fx.Feed(From("DL3XX", "DL1ME", FrameType::Sabm, kCommand, 1));
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"DM,F"});
  EXPECT_EQ(fx.station.LinkCount(), 1);
}

TEST(Ax25Station, IncomingOverAPathAnswersBackwards) {
  Fixture fx;
  Ax25Frame sabm = From("DL2YOU", "DL1ME", FrameType::Sabm, kCommand, 1);
  sabm.digis = Path("DIGA DIGB");
  sabm.repeated = 2;
  fx.Feed(sabm);
  Ax25Link* l = fx.station.TakeIncoming();
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->path(), Path("DIGB DIGA"));
  l->AcceptIncoming();
  ASSERT_EQ(fx.wire.frames.size(), 1u);
  EXPECT_EQ(fx.wire.frames[0].digis, Path("DIGB DIGA"));
  EXPECT_EQ(fx.wire.frames[0].repeated, 0);
}

// A version 2.2 peer asks with SABME first; a DM makes it fall back to SABM.
TEST(Ax25Station, SabmeAndOtherUnknownPollsAreAnsweredWithDm) {
  Fixture fx;
  auto bytes = EncodeFrame(From("DL2YOU", "DL1ME", FrameType::Sabm, kCommand, 1));
  ASSERT_EQ(bytes[14], 0x3F);
  bytes[14] = 0x7F;  // SABME, P=1
  fx.station.Receive(bytes);
  EXPECT_EQ(fx.wire.Names(), std::vector<std::string>{"DM,F"});
  EXPECT_FALSE(fx.station.incomingPending());
  EXPECT_EQ(fx.station.LinkCount(), 0);
  // Not for one of our calls: nothing.
  fx.wire.Clear();
  auto other = EncodeFrame(From("DL2YOU", "DL9ZZ", FrameType::Sabm, kCommand, 1));
  fx.station.Receive(other);
  EXPECT_TRUE(fx.wire.frames.empty());
  // The fall-back SABM is accepted.
  fx.Peer(FrameType::Sabm, kCommand, 1);
  EXPECT_TRUE(fx.station.incomingPending());
}

TEST(Ax25Station, DigipeatsByTheNextHopsHBit) {
  Fixture fx;
  StationSettings s = fx.station.settings();
  (void)s.digiCalls.Add(Call("RELAY-2"));
  s.digipeating = true;
  fx.station.Apply(s);
  Ax25Frame ui = From("DL2YOU", "APRS", FrameType::Ui, kCommand, 0, 0, 0, "hello");
  ui.digis = Path("WIDE1 RELAY-2 WIDE2");
  ui.repeated = 1;
  fx.Feed(ui);
  ASSERT_EQ(fx.wire.frames.size(), 1u);
  const Ax25Frame& out = fx.wire.frames[0];
  EXPECT_EQ(out.repeated, 2);
  EXPECT_EQ(out.digis, ui.digis);
  EXPECT_EQ(out.info, ui.info);
  EXPECT_EQ(out.source, ui.source);
  EXPECT_EQ(out.destination, ui.destination);
  // Our call not next (before its turn, after it, fully repeated, other SSID): not repeated.
  fx.wire.Clear();
  for (int rep : {0, 2, 3}) {
    ui.repeated = rep;
    fx.Feed(ui);
  }
  ui.digis = Path("RELAY-1");
  ui.repeated = 0;
  fx.Feed(ui);
  EXPECT_TRUE(fx.wire.frames.empty());
  // Digipeating off.
  s.digipeating = false;
  fx.station.Apply(s);
  ui.digis = Path("RELAY-2");
  fx.Feed(ui);
  EXPECT_TRUE(fx.wire.frames.empty());
}

TEST(Ax25Station, BeaconAtTheFirstTickThenEveryIntervalPlusOne) {
  Fixture fx;
  StationSettings s = fx.station.settings();
  s.beaconEnabled = true;
  s.beaconInterval = 3;
  s.beaconSource = Call("DL1ME");
  s.beaconDestination = Call("BEACON");
  s.beaconPath = Path("WIDE1-1");
  s.beaconText = "QRV";
  fx.station.Apply(s);
  std::vector<int> at;
  for (int t = 1; t <= 9; ++t) {
    const size_t n = fx.wire.frames.size();
    fx.station.Tick();
    if (fx.wire.frames.size() > n) at.push_back(t);
  }
  EXPECT_EQ(at, (std::vector<int>{1, 5, 9}));
  const Ax25Frame& b = fx.wire.frames[0];
  EXPECT_EQ(Wire::Name(b), "UI,C");
  EXPECT_EQ(b.destination, Call("BEACON"));
  EXPECT_EQ(b.digis, Path("WIDE1-1"));
  EXPECT_EQ(std::string(b.info.begin(), b.info.end()), "QRV");
  EXPECT_EQ(b.pid, 240);
  // A text of 255 characters is not taken over.
  s.beaconText = std::string(255, 'x');
  fx.station.Apply(s);
  EXPECT_EQ(fx.station.settings().beaconText, "QRV");
}

TEST(Ax25Station, BadFramesAreDroppedAndFloodsOfSabmsLeaveOneLink) {
  Fixture fx;
  const std::vector<uint8_t> shortFrame(10, 0x40);
  fx.station.Receive(shortFrame);
  fx.station.Receive({});
  EXPECT_TRUE(fx.wire.frames.empty());
  for (int i = 0; i < 500; ++i) {
    Ax25Frame sabm = From("DL2YOU", "DL1ME", FrameType::Sabm, kCommand, 1);
    sabm.source.ssid = static_cast<uint8_t>(i % 16);
    fx.Feed(sabm);
  }
  EXPECT_EQ(fx.station.LinkCount(), 1);
  // Every other station's request gets DM; the pending caller's repeats go to its link.
  EXPECT_EQ(fx.wire.frames.size(), 499u - 499u / 16u);
}

// ---------------------------------------------------------------------------------------------
// Two stations back to back

// Carries frames between two stations, dropping those the pattern marks.
struct LossyWire : FrameOutput {
  std::deque<std::vector<uint8_t>>* queue;
  uint32_t seed;
  int dropEvery;
  int dropped = 0;
  LossyWire(std::deque<std::vector<uint8_t>>* q, uint32_t s, int every)
      : queue(q), seed(s), dropEvery(every) {}
  void SendFrame(std::span<const uint8_t> bytes) override {
    seed = seed * 1664525u + 1013904223u;
    if (dropEvery > 0 && (seed >> 24) % static_cast<uint32_t>(dropEvery) == 0) {
      ++dropped;
      return;
    }
    queue->emplace_back(bytes.begin(), bytes.end());
  }
};

struct Pair {
  std::deque<std::vector<uint8_t>> toB, toA;
  LossyWire wireA, wireB;
  Ax25Station a, b;
  Pair(int dropEvery, LinkParameters p)
      : wireA(&toB, 1, dropEvery), wireB(&toA, 2, dropEvery), a(&wireA), b(&wireB) {
    StationSettings sa, sb;
    sa.link = sb.link = p;
    (void)sa.incomingCalls.Add(Call("DL1AAA"));
    (void)sb.incomingCalls.Add(Call("DL2BBB"));
    a.Apply(sa);
    b.Apply(sb);
  }
  void Deliver() {
    while (!toA.empty() || !toB.empty()) {
      if (!toB.empty()) {
        auto f = toB.front();
        toB.pop_front();
        b.Receive(f);
      }
      if (!toA.empty()) {
        auto f = toA.front();
        toA.pop_front();
        a.Receive(f);
      }
    }
  }
};

std::string Drain(Ax25Link* l) {
  std::string s;
  uint8_t buf[256];
  for (size_t n; (n = l->ReadReceived(buf)) > 0;) s.append(buf, buf + n);
  return s;
}

class BackToBack : public ::testing::TestWithParam<int> {};

TEST_P(BackToBack, DataCrossesBothWaysDespiteLostFrames) {
  LinkParameters p;
  p.maxFrame = 4;
  p.pacLen = 40;
  p.retryTime = 3;
  p.retryLimit = 20;
  p.idlePollTime = 10;
  Pair pair(GetParam(), p);
  Ax25Link* la = pair.a.Connect(Call("DL1AAA"), Call("DL2BBB"), Ax25AddressList(kMaxDigis));
  ASSERT_NE(la, nullptr);
  Ax25Link* lb = nullptr;
  std::string textA, textB;
  for (int i = 0; i < 120; ++i) textA += "line " + std::to_string(i) + " from A\r";
  for (int i = 0; i < 80; ++i) textB += "reply " + std::to_string(i) + " from B\r";
  size_t sentA = 0, sentB = 0;
  std::string gotA, gotB;
  for (int second = 0; second < 3000; ++second) {
    pair.Deliver();
    if (!lb) {
      if ((lb = pair.b.TakeIncoming()) != nullptr) lb->AcceptIncoming();
    }
    if (la->state() >= Ax25Link::kConnected && sentA < textA.size())
      sentA += la->SendData(
          {reinterpret_cast<const uint8_t*>(textA.data()) + sentA, textA.size() - sentA});
    if (lb && lb->state() >= Ax25Link::kConnected && sentB < textB.size())
      sentB += lb->SendData(
          {reinterpret_cast<const uint8_t*>(textB.data()) + sentB, textB.size() - sentB});
    pair.Deliver();
    gotB += Drain(la);
    if (lb) gotA += Drain(lb);
    if (gotA.size() == textA.size() && gotB.size() == textB.size()) break;
    pair.a.Tick();
    pair.b.Tick();
    ASSERT_NE(la->state(), 0) << "link A ended at second " << second << " reason " << la->reason()
                              << ", B received " << gotA.size();
  }
  EXPECT_EQ(gotA, textA);
  EXPECT_EQ(gotB, textB);
  if (GetParam() > 0) {
    EXPECT_GT(pair.wireA.dropped + pair.wireB.dropped, 0);
  }
  // The disconnect goes through even when frames of it are lost: a repeated DISC to a peer
  // that has already ended is answered with DM.
  la->Disconnect();
  for (int second = 0; second < 200 && la->state() != 0; ++second) {
    pair.Deliver();
    pair.a.Tick();
    pair.b.Tick();
  }
  EXPECT_EQ(la->state(), 0);
  EXPECT_EQ(la->reason(), Ax25Link::kNormal);
  ASSERT_NE(lb, nullptr);
  EXPECT_EQ(lb->state(), 0);
}

// 0: no loss; 3, 5, 8: about one frame in three, five and eight lost in each direction.
INSTANTIATE_TEST_SUITE_P(Losses, BackToBack, ::testing::Values(0, 3, 5, 8));

}  // namespace
}  // namespace vexa::packet
