#include "packet/packet_console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexa::packet {
namespace {

Ax25Address Call(const char* text) {
  return *ParseCallsign(text);
}

struct Text : TextSink {
  std::string text;
  void PutText(std::string_view t) override { text.append(t); }
  std::string Take() {
    std::string t;
    t.swap(text);
    return t;
  }
};

struct Wire : FrameOutput {
  std::vector<Ax25Frame> frames;
  void SendFrame(std::span<const uint8_t> bytes) override { frames.push_back(*DecodeFrame(bytes)); }
};

Ax25Frame From(FrameType t, int cr, int pf, int nr = 0, int ns = 0, std::string info = {}) {
  Ax25Frame f;
  f.source = Call("DL2YOU");
  f.destination = Call("DL1ME");
  f.type = t;
  f.cr = cr;
  f.pf = pf;
  f.nr = nr;
  f.ns = ns;
  f.info.assign(info.begin(), info.end());
  return f;
}

struct Console {
  Wire wire;
  Ax25Station station{&wire};
  Text main, second;
  PacketConsole console{station, &main, &second};
  explicit Console(LinkParameters p = {}) {
    StationSettings s;
    s.link = p;
    (void)s.incomingCalls.Add(Call("DL1ME"));
    station.Apply(s);
  }
  void Feed(const Ax25Frame& f) { station.Receive(EncodeFrame(f)); }
  bool Connect() {
    return console.Connect(Call("DL1ME"), Call("DL2YOU"), Ax25AddressList(kMaxDigis), false);
  }
};

TEST(PacketConsole, ConnectTypeReceiveAndDisconnect) {
  Console c;
  ASSERT_TRUE(c.Connect());
  EXPECT_EQ(c.main.Take(), "*** TRYING...\n");
  c.console.Step();
  c.Feed(From(FrameType::Ua, kResponse, 1));
  c.console.Step();
  EXPECT_EQ(c.main.Take(), "*** CONNECTED.\n");
  // Five letters and a CR: one I frame of six bytes, echoed locally.
  c.wire.frames.clear();
  c.console.Type("hello\rnext");
  c.console.Step();
  EXPECT_EQ(c.main.Take(), "hello\r");
  ASSERT_EQ(c.wire.frames.size(), 1u);
  EXPECT_EQ(c.wire.frames[0].type, FrameType::I);
  EXPECT_EQ(std::string(c.wire.frames[0].info.begin(), c.wire.frames[0].info.end()), "hello\r");
  c.console.Step();
  EXPECT_EQ(c.wire.frames.size(), 1u);  // "next" waits for its CR
  // Received data goes to the main text without bytes of value 255.
  c.Feed(From(FrameType::I, kCommand, 0, 1, 0, std::string("ok\xff!\r")));
  c.console.Step();
  EXPECT_EQ(c.main.Take(), "ok!\r");
  // The peer disconnects.
  c.Feed(From(FrameType::Disc, kCommand, 1));
  c.console.Step();
  EXPECT_EQ(c.main.Take(), "*** DISCONNECTED.\n");
  EXPECT_EQ(c.console.current(), nullptr);
  EXPECT_EQ(c.station.LinkCount(), 0);
}

TEST(PacketConsole, TextTypedWhileConnectingFollowsTheConnectedLine) {
  Console c;
  ASSERT_TRUE(c.Connect());
  c.console.Type("early\r");
  c.console.Step();
  c.Feed(From(FrameType::Ua, kResponse, 1));
  c.wire.frames.clear();
  c.console.Step();
  EXPECT_EQ(c.main.Take(), "*** TRYING...\n*** CONNECTED.\n");
  EXPECT_TRUE(c.wire.frames.empty());
  c.console.Step();
  EXPECT_EQ(c.main.Take(), "early\r");
  ASSERT_EQ(c.wire.frames.size(), 1u);
  EXPECT_EQ(std::string(c.wire.frames[0].info.begin(), c.wire.frames[0].info.end()), "early\r");
}

TEST(PacketConsole, OurDisconnectReportsEachStep) {
  Console c;
  ASSERT_TRUE(c.Connect());
  c.Feed(From(FrameType::Ua, kResponse, 1));
  c.console.Step();
  c.main.Take();
  c.console.current()->Disconnect();
  c.console.Step();
  EXPECT_EQ(c.main.Take(), "*** DISCONNECTING.\n");
  c.Feed(From(FrameType::Ua, kResponse, 1));
  c.console.Step();
  EXPECT_EQ(c.main.Take(), "*** DISCONNECTED.\n");
}

TEST(PacketConsole, TimeoutAndRefusalReportFailedWithTheReason) {
  LinkParameters p;
  p.retryLimit = 2;
  p.retryTime = 1;
  Console c(p);
  ASSERT_TRUE(c.Connect());
  c.main.Take();
  for (int i = 0; i < 10; ++i) {
    c.station.Tick();
    c.console.Step();
  }
  EXPECT_EQ(c.main.Take(), "*** FAILED.\nTimeout.\n");
  EXPECT_EQ(c.station.LinkCount(), 0);

  ASSERT_TRUE(c.Connect());
  c.main.Take();
  c.console.Step();
  c.Feed(From(FrameType::Dm, kResponse, 1));
  c.console.Step();
  EXPECT_EQ(c.main.Take(), "*** FAILED.\nDM received.\n");
}

TEST(PacketConsole, ConnectingWhileConnectedAbortsTheOldLinkFirst) {
  Console c;
  ASSERT_TRUE(c.Connect());
  c.Feed(From(FrameType::Ua, kResponse, 1));
  c.console.Step();
  c.main.Take();
  c.wire.frames.clear();
  EXPECT_TRUE(c.console.Abort());
  EXPECT_EQ(c.main.Take(), "*** ABORTED.\n");
  ASSERT_EQ(c.wire.frames.size(), 1u);
  EXPECT_EQ(c.wire.frames[0].type, FrameType::Disc);
  EXPECT_EQ(c.station.LinkCount(), 0);
  c.console.Step();
  EXPECT_EQ(c.main.Take(), "");  // nothing more once released
  EXPECT_FALSE(c.console.Abort());
  // A second connect while one stands is refused by the station.
  ASSERT_TRUE(c.Connect());
  EXPECT_FALSE(c.console.Connect(Call("DL1ME"), Call("DL3XX"), Ax25AddressList(kMaxDigis), false));
}

TEST(PacketConsole, IncomingConnectIsTakenOverAtTheNextStep) {
  Console c;
  c.Feed(From(FrameType::Sabm, kCommand, 1));
  EXPECT_TRUE(c.wire.frames.empty());
  c.console.Step();
  EXPECT_NE(c.second.text.find("*** INCOMING CONNECT from DL2YOU\n"), std::string::npos);
  ASSERT_EQ(c.wire.frames.size(), 1u);
  EXPECT_EQ(c.wire.frames[0].type, FrameType::Ua);
  ASSERT_NE(c.console.current(), nullptr);
  EXPECT_EQ(c.console.current()->state(), Ax25Link::kConnected);
  c.Feed(From(FrameType::Disc, kCommand, 1));
  c.console.Step();
  EXPECT_EQ(c.main.Take(), "*** DISCONNECTED.\n");
}

TEST(PacketConsole, MonitorMaskSelectsFrameKinds) {
  for (int mask : {0, 1, 2, 4, 8, 15}) {
    Console c;
    c.console.set_monitorMask(mask);
    c.Feed(From(FrameType::Ui, kCommand, 0, 0, 0, "beacon"));
    c.Feed(From(FrameType::Rr, kResponse, 0));
    c.Feed(From(FrameType::Sabm, kCommand, 1));  // and our UA at the step
    c.console.Step();
    c.Feed(From(FrameType::I, kCommand, 0, 0, 0, "x"));
    const std::string& m = c.second.text;
    EXPECT_EQ(m.find(">UI,C") != std::string::npos, (mask & 2) != 0) << mask;
    EXPECT_EQ(m.find(">RR0,R") != std::string::npos, (mask & 8) != 0) << mask;
    EXPECT_EQ(m.find(">SABM,P") != std::string::npos, (mask & 4) != 0) << mask;
    EXPECT_EQ(m.find("DL1ME>DL2YOU>UA,F") != std::string::npos, (mask & 4) != 0) << mask;
    EXPECT_EQ(m.find(">I00,C") != std::string::npos, (mask & 1) != 0) << mask;
  }
}

// A line longer than the line buffer goes out in pieces of 127; nothing typed is lost, also
// when the send buffer is full for a while.
TEST(PacketConsole, LongLinesAndAFullSendBufferLoseNothing) {
  LinkParameters p;
  p.pacLen = 16;
  p.maxFrame = 2;
  Console c(p);
  ASSERT_TRUE(c.Connect());
  c.Feed(From(FrameType::Ua, kResponse, 1));
  c.console.Step();
  std::string typed;
  for (int i = 0; i < 40; ++i)
    typed += "line " + std::to_string(i) + " " + std::string(i * 5, 'x') + "\r";
  c.console.Type(typed);
  std::string sent;
  for (int round = 0; round < 2000 && sent.size() < typed.size(); ++round) {
    c.console.Step();
    for (const auto& f : c.wire.frames)
      if (f.type == FrameType::I) sent.append(f.info.begin(), f.info.end());
    if (!c.wire.frames.empty()) {
      const int vs = c.console.current()->vs();
      c.wire.frames.clear();
      c.Feed(From(FrameType::Rr, kResponse, 0, vs));
    }
  }
  EXPECT_EQ(sent, typed);
  EXPECT_EQ(c.main.text.substr(c.main.text.size() - typed.size()), typed);  // the echo
  EXPECT_EQ(c.console.typedWaiting(), 0u);
}

}  // namespace
}  // namespace vexa::packet
