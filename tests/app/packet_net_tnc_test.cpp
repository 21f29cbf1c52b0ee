// A KISS TNC on the network (modem type 7 with AX.25/TncHost) through the core: the station
// connects to it, sends the parameter frames once connected (no command strings: it speaks
// KISS already), runs a link over it in both directions, and reports a TNC that refuses or
// goes away without losing what the link holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "app/main_core.h"
#include "packet/ax25_frame.h"
#include "packet/kiss.h"
#include "support/ax25_frames.h"
#include "support/net_tnc.h"
#include "support/test_station.h"

namespace vexa::app {
namespace {

using test::MakeFrame;
using test::NetTnc;

std::vector<packet::Ax25Frame> DataFrames(const std::string& wire) {
  struct Collect final : packet::KissReceiver::Handler {
    std::vector<packet::Ax25Frame> frames;
    void OnKissFrame(std::span<const uint8_t> f) override {
      if (auto d = packet::DecodeFrame(f)) frames.push_back(*d);
    }
  } c;
  packet::KissReceiver rx(&c);
  rx.Push(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(wire.data()), wire.size()));
  return c.frames;
}

struct NetStation : test::TestStation {
  void Start(const std::string& hostPort) {
    ASSERT_EQ(store.WriteSettingInt("AX.25", "Modem_type", 7), 0);
    ASSERT_EQ(store.WriteSettingText("AX.25", "TncHost", hostPort), 0);
    ASSERT_EQ(store.WriteSettingInt("AX.25", "TxDelay", 25), 0);
    ASSERT_EQ(store.WriteSettingInt("AX.25", "Persist", 200), 0);
    ASSERT_EQ(store.WriteSettingInt("AX.25", "SlotTime", 10), 0);
    ASSERT_EQ(store.WriteSettingInt("AX.25", "TxTail", 2), 0);
    ASSERT_EQ(store.WriteSettingInt("AX.25", "FullDuplex", 0), 0);
    TestStation::Start();
    core->SetMode(Mode::Ax25Tx);
  }
  // Ticks until done holds (about 3 s at most).
  bool Tick(const std::function<bool()>& done) {
    for (int i = 0; i < 300; ++i) {
      core->OnTimer();
      if (done()) return true;
      usleep(10000);
    }
    return false;
  }
};

TEST(PacketNetworkTnc, ParameterFramesThenALinkBothWays) {
  NetTnc tnc;
  ASSERT_GT(tnc.port, 0);
  NetStation s;
  s.Start(" 127.0.0.1:" + std::to_string(tnc.port) + " ");
  ASSERT_TRUE(tnc.Accept(2000));
  PacketSection& packet = s.core->packet();
  EXPECT_TRUE(packet.tncOpen()) << packet.tncStatus();
  EXPECT_TRUE(s.sleeps.empty()) << "a network TNC needs no command strings and no waits";

  // The five parameter frames, and nothing before them.
  const std::string params =
      std::string("\xC0\x01\x19\xC0", 4) + std::string("\xC0\x02\xC8\xC0", 4) +
      std::string("\xC0\x03\x0A\xC0", 4) + std::string("\xC0\x04\x02\xC0", 4) +
      std::string("\xC0\x05\x00\xC0", 4);
  std::string got;
  ASSERT_TRUE(s.Tick([&] {
    got += tnc.Read(params.size() - got.size(), 5);
    return got.size() >= params.size();
  }));
  EXPECT_EQ(got, params);

  // A connect goes out as a KISS data frame; the far side's UA connects the link; its I frame
  // reaches the receive text.
  ASSERT_TRUE(packet.ConnectCommand("DL2YOU", "DL1ME", "", false));
  std::vector<packet::Ax25Frame> sent;
  std::string wire;
  ASSERT_TRUE(s.Tick([&] {
    wire += tnc.Read(64, 5);
    sent = DataFrames(wire);
    return !sent.empty();
  }));
  EXPECT_EQ(sent[0].type, packet::FrameType::Sabm);
  EXPECT_EQ(packet::FormatCallsign(sent[0].destination), "DL2YOU");
  tnc.Write(
      packet::EncodeKiss(packet::KissCommand::Data,
                         packet::EncodeFrame(MakeFrame("DL2YOU", "DL1ME", packet::FrameType::Ua,
                                                       packet::kResponse, 1))));
  auto link = [&] { return packet.engine().console().current(); };
  ASSERT_TRUE(s.Tick([&] { return link() && link()->state() == packet::Ax25Link::kConnected; }));
  auto i = MakeFrame("DL2YOU", "DL1ME", packet::FrameType::I, packet::kCommand, 0);
  const std::string info = "hello over tcp\r";
  i.info.assign(info.begin(), info.end());
  tnc.Write(packet::EncodeKiss(packet::KissCommand::Data, packet::EncodeFrame(i)));
  std::string text;
  ASSERT_TRUE(s.Tick([&] {
    uint8_t c;
    while (s.core->receive().mainQueue().Get(c)) text += static_cast<char>(c);
    return text.find(info) != std::string::npos;
  })) << text;

  // The TNC goes away: reported, the link keeps its state, nothing crashes.
  ::close(tnc.conn);
  tnc.conn = -1;
  ASSERT_TRUE(s.Tick([&] { return !packet.tncOpen(); }));
  EXPECT_NE(packet.tncStatus().find("127.0.0.1:" + std::to_string(tnc.port)), std::string::npos)
      << packet.tncStatus();
  EXPECT_NE(s.core->startupNotice().find("is not reachable"), std::string::npos);
  ASSERT_NE(link(), nullptr);
}

TEST(PacketNetworkTnc, BadAddressesAndARefusingTncAreReported) {
  for (const char* bad : {"localhost", "host:", ":8001", "127.0.0.1:99999", "127.0.0.1:80x"}) {
    NetStation s;
    s.Start(bad);
    EXPECT_FALSE(s.core->packet().tncOpen()) << bad;
    EXPECT_NE(s.core->packet().tncStatus().find("is not HOST:PORT"), std::string::npos) << bad;
    EXPECT_NE(s.prompt.shown.find("Cannot open TNC port!"), std::string::npos) << bad;
  }
  // A port nobody listens on: refused on the first ticks, reported in the status line.
  int port = 0;
  {
    NetTnc gone;
    port = gone.port;
  }
  NetStation s;
  s.Start("127.0.0.1:" + std::to_string(port));
  ASSERT_TRUE(s.Tick([&] { return !s.core->packet().tncOpen(); }));
  EXPECT_NE(s.core->packet().tncStatus().find("is not reachable"), std::string::npos)
      << s.core->packet().tncStatus();
}

}  // namespace
}  // namespace vexa::app
