// The KISS TNC on a serial port (modem type 7) through the core: a TNC on a pseudo-terminal
// gets the start command as the escapes make it, the five parameter frames at once and again a
// minute later, the station's frames KISS-framed with their escapes; its KISS frames reach the
// station; leaving mode 13 sends the exit command and closes the port; a port that cannot be
// opened or that vanishes is reported.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/main_core.h"
#include "packet/ax25_frame.h"
#include "packet/kiss.h"
#include "support/ax25_frames.h"
#include "support/pty.h"
#include "support/test_station.h"

namespace vexa::app {
namespace {

using test::MakeFrame;

std::string Bytes(const std::vector<uint8_t>& v) {
  return std::string(v.begin(), v.end());
}

std::string Drain(engine::RxTextQueue& q) {
  std::string s;
  uint8_t c;
  while (q.Get(c)) s += static_cast<char>(c);
  return s;
}

// The far side's frames of the KISS stream the TNC receives.
struct KissCollector final : packet::KissReceiver::Handler {
  std::vector<packet::Ax25Frame> frames;
  void OnKissFrame(std::span<const uint8_t> f) override {
    if (auto d = packet::DecodeFrame(f)) frames.push_back(*d);
  }
};

struct KissTnc : test::TestStation {
  test::Pty tnc;

  void Start(const std::string& device = "") {
    ASSERT_FALSE(tnc.name.empty()) << "no pseudo-terminal";
    ASSERT_EQ(store.WriteSettingInt("TX1", "ComPort", 0), 0);
    ASSERT_EQ(store.WriteSettingInt("AX.25", "Modem_type", 7), 0);
    ASSERT_EQ(store.WriteSettingInt("AX.25", "TncCom", 5), 0);
    ASSERT_EQ(store.WriteSettingInt("AX.25", "TxDelay", 25), 0);
    ASSERT_EQ(store.WriteSettingInt("AX.25", "Persist", 200), 0);
    ASSERT_EQ(store.WriteSettingInt("AX.25", "SlotTime", 0x1C0), 0);  // low byte 0xC0
    ASSERT_EQ(store.WriteSettingInt("AX.25", "TxTail", 2), 0);
    ASSERT_EQ(store.WriteSettingInt("AX.25", "FullDuplex", 1), 0);
    ASSERT_EQ(store.WriteSettingText("Ports", "COM5", device.empty() ? tnc.name : device), 0);
    // The waits after a command give the TNC the time to take it before anything else (the
    // port's close discards what is still in the line): a little of it is real here.
    onSleep = [](int) { usleep(20000); };
    TestStation::Start(/*openPort=*/true);
    sleeps.clear();
    core->SetMode(Mode::Ax25Tx);
  }
  PacketSection& packet() { return core->packet(); }
  // Reads what the TNC got until `frames` KISS frames of the far side's collector arrived.
  bool ReadFrames(KissCollector& c, size_t frames) {
    packet::KissReceiver rx(&c);
    for (int i = 0; i < 50 && c.frames.size() < frames; ++i) {
      const std::string got = tnc.ReadMaster(1);
      if (got.empty()) return false;
      rx.Push(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(got.data()), got.size()));
    }
    return c.frames.size() >= frames;
  }
};

TEST(PacketTnc, StartCommandParameterFramesAndStopCommandOnThePort) {
  KissTnc t;
  t.Start();
  ASSERT_TRUE(t.packet().tncOpen()) << t.packet().tncStatus();
  EXPECT_EQ(t.sleeps, std::vector<int>{1000}) << "one second after the start command";

  // The stored "KISS ON\nRESTART\n" (literal backslash-n) arrives with line feeds, then the
  // five parameter frames: TX delay, persistence, slot time (low byte, escaped), TX tail, full
  // duplex.
  const std::string start = "KISS ON\nRESTART\n";
  const std::string params =
      std::string("\xC0\x01\x19\xC0", 4) + std::string("\xC0\x02\xC8\xC0", 4) +
      std::string("\xC0\x03\xDB\xDC\xC0", 5) + std::string("\xC0\x04\x02\xC0", 4) +
      std::string("\xC0\x05\x01\xC0", 4);
  EXPECT_EQ(t.tnc.ReadMaster(start.size() + params.size()), start + params);

  // Every 60 seconds of mode 13 the TNC gets them again (a reset TNC regains them).
  for (int s = 0; s < 59; ++s) t.packet().OnSecond();
  pollfd p{t.tnc.master, POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 50), 0) << "nothing before the minute is full";
  t.packet().OnSecond();
  EXPECT_EQ(t.tnc.ReadMaster(params.size()), params);

  // Leaving mode 13: half a second, the exit command "^C^C^C" as three bytes 3, a second, and
  // the port is closed.
  t.sleeps.clear();
  t.core->SetMode(Mode::Psk31);
  EXPECT_EQ(t.tnc.ReadMaster(3), "\x03\x03\x03");
  EXPECT_EQ(t.sleeps, (std::vector<int>{500, 1000}));
  EXPECT_FALSE(t.packet().tncOpen());
  t.sleeps.clear();
  t.core->SetMode(Mode::Psk31);
  EXPECT_TRUE(t.sleeps.empty()) << "closing a closed port waits for nothing";
}

TEST(PacketTnc, ALinkRunsThroughTheTncWithKissEscapesBothWays) {
  KissTnc t;
  t.Start();
  ASSERT_TRUE(t.packet().tncOpen()) << t.packet().tncStatus();
  (void)t.tnc.ReadMaster(16 + 21);  // start command and parameter frames

  ASSERT_TRUE(t.packet().ConnectCommand("DL2YOU", "DL1ME", "", false));
  KissCollector sent;
  ASSERT_TRUE(t.ReadFrames(sent, 1));
  EXPECT_EQ(sent.frames[0].type, packet::FrameType::Sabm);
  EXPECT_EQ(packet::FormatCallsign(sent.frames[0].source), "DL1ME");
  EXPECT_EQ(packet::FormatCallsign(sent.frames[0].destination), "DL2YOU");

  // The UA in KISS from the TNC connects the link.
  const auto ua = MakeFrame("DL2YOU", "DL1ME", packet::FrameType::Ua, packet::kResponse, 1);
  ASSERT_TRUE(t.tnc.WriteMaster(
      Bytes(packet::EncodeKiss(packet::KissCommand::Data, packet::EncodeFrame(ua)))));
  auto link = [&] { return t.packet().engine().console().current(); };
  ASSERT_TRUE(t.Serve([&] { return link() && link()->state() == packet::Ax25Link::kConnected; }));
  t.core->OnTimer();
  EXPECT_NE(Drain(t.core->receive().mainQueue()).find("*** CONNECTED.\n"), std::string::npos);

  // A typed byte 0xC0 goes to the TNC as FESC TFEND, 0xDB as FESC TFESC.
  t.packet().Type("a\xC0\xDB\r");
  t.core->OnTimer();
  KissCollector data;
  std::string wire;
  {
    packet::KissReceiver rx(&data);
    for (int i = 0; i < 20 && data.frames.empty(); ++i) {
      const std::string got = t.tnc.ReadMaster(1);
      wire += got;
      rx.Push(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(got.data()), got.size()));
    }
  }
  ASSERT_EQ(data.frames.size(), 1u);
  EXPECT_EQ(data.frames[0].type, packet::FrameType::I);
  EXPECT_EQ(Bytes(data.frames[0].info), "a\xC0\xDB\r");
  EXPECT_NE(wire.find("a\xDB\xDC\xDB\xDD\r"), std::string::npos);

  // An I frame from the far side with both escapes, and a lone 0xDC, reaches the receive text.
  auto i = MakeFrame("DL2YOU", "DL1ME", packet::FrameType::I, packet::kCommand, 0);
  const std::string info = "x\xC0y\xDBz\xDC\r";
  i.info.assign(info.begin(), info.end());
  // Bytes of a broken frame first: an unknown command and an escape left pending are dropped.
  ASSERT_TRUE(t.tnc.WriteMaster(std::string("\xC0\x07junk\xC0\xC0\x00zz\xDB\xC0", 12)));
  ASSERT_TRUE(t.tnc.WriteMaster(
      Bytes(packet::EncodeKiss(packet::KissCommand::Data, packet::EncodeFrame(i)))));
  std::string text;
  ASSERT_TRUE(t.Serve(
      [&] {
        text += Drain(t.core->receive().mainQueue());
        return text.find('\r') != std::string::npos && text.find('x') != std::string::npos;
      },
      10));
  EXPECT_NE(text.find(info), std::string::npos) << text;
}

// Connects DL1ME to DL2YOU through the TNC (the far side's UA written by the test).
void Connected(KissTnc& t) {
  (void)t.tnc.ReadMaster(16 + 21);  // start command and parameter frames
  ASSERT_TRUE(t.packet().ConnectCommand("DL2YOU", "DL1ME", "", false));
  KissCollector sabm;
  ASSERT_TRUE(t.ReadFrames(sabm, 1));
  const auto ua = MakeFrame("DL2YOU", "DL1ME", packet::FrameType::Ua, packet::kResponse, 1);
  ASSERT_TRUE(t.tnc.WriteMaster(
      Bytes(packet::EncodeKiss(packet::KissCommand::Data, packet::EncodeFrame(ua)))));
  ASSERT_TRUE(t.Serve([&] {
    auto* l = t.packet().engine().console().current();
    return l && l->state() == packet::Ax25Link::kConnected;
  }));
  t.core->OnTimer();
  (void)Drain(t.core->receive().mainQueue());
}

// The information of the I frames the TNC got until `bytes` bytes arrived.
std::string IFrameText(KissTnc& t, size_t bytes, int* frames = nullptr) {
  KissCollector c;
  packet::KissReceiver rx(&c);
  std::string info;
  for (int i = 0; i < 100 && info.size() < bytes; ++i) {
    const std::string got = t.tnc.ReadMaster(1);
    if (got.empty()) break;
    rx.Push(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(got.data()), got.size()));
    info.clear();
    int n = 0;
    for (const auto& f : c.frames)
      if (f.type == packet::FrameType::I) {
        info += Bytes(f.info);
        ++n;
      }
    if (frames) *frames = n;
  }
  return info;
}

TEST(PacketTnc, TypedLinesGoIntoTheConnectionWithTheirLocalEcho) {
  KissTnc t;
  ASSERT_EQ(t.store.WriteSettingInt("AX.25", "MaxFrame", 7), 0);
  ASSERT_EQ(t.store.WriteSettingInt("AX.25", "PacLen", 255), 0);
  t.Start();
  ASSERT_TRUE(t.packet().tncOpen()) << t.packet().tncStatus();
  auto& window = t.core->transmit().plainTransmitText();

  // Text typed before the link stands waits in the transmit window.
  (void)t.tnc.ReadMaster(16 + 21);
  ASSERT_TRUE(t.packet().ConnectCommand("DL2YOU", "DL1ME", "", false));
  window.Type("hello\r");
  for (int k = 0; k < 3; ++k) t.core->OnTimer();
  EXPECT_EQ(window.text(), "hello\r");
  const auto ua = MakeFrame("DL2YOU", "DL1ME", packet::FrameType::Ua, packet::kResponse, 1);
  ASSERT_TRUE(t.tnc.WriteMaster(
      Bytes(packet::EncodeKiss(packet::KissCommand::Data, packet::EncodeFrame(ua)))));
  ASSERT_TRUE(t.Serve(
      [&] {
        auto* l = t.packet().engine().console().current();
        return l && l->state() == packet::Ax25Link::kConnected;
      },
      5));
  // Five letters and a CR: one I frame with the six bytes, and the line echoed.
  for (int k = 0; k < 3; ++k) t.core->OnTimer();
  int frames = 0;
  EXPECT_EQ(IFrameText(t, 6, &frames), "hello\r");
  EXPECT_EQ(frames, 1);
  EXPECT_TRUE(window.text().empty());
  // The status line comes first: text is taken only after the tick that reported it.
  EXPECT_EQ(Drain(t.core->receive().mainQueue()), "*** TRYING...\n*** CONNECTED.\nhello\r");
}

TEST(PacketTnc, WindowLinesEndInOneCrAndLongLinesGoInPiecesWithNothingLost) {
  KissTnc t;
  ASSERT_EQ(t.store.WriteSettingInt("AX.25", "MaxFrame", 7), 0);
  ASSERT_EQ(t.store.WriteSettingInt("AX.25", "PacLen", 255), 0);
  t.Start();
  ASSERT_TRUE(t.packet().tncOpen()) << t.packet().tncStatus();
  Connected(t);
  auto& window = t.core->transmit().plainTransmitText();

  // CR LF from the window is one line end; a lone LF is one too; the transmitter's control
  // characters (end of transmission, CW identification, SK) are left out.
  window.Type("abc\r\ndef\nghi\xAE\xA9\xA4\r\n");
  for (int k = 0; k < 8; ++k) t.core->OnTimer();
  int frames = 0;
  EXPECT_EQ(IFrameText(t, 12, &frames), "abc\rdef\rghi\r");
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(Drain(t.core->receive().mainQueue()), "abc\rdef\rghi\r");

  // 300 characters before the CR: pieces of 127, 127 and 46 + CR, in order, each echoed.
  std::string longLine;
  for (int i = 0; i < 300; ++i) longLine += static_cast<char>('A' + i % 26);
  window.Type(longLine + "\r\n");
  for (int k = 0; k < 8; ++k) t.core->OnTimer();
  frames = 0;
  EXPECT_EQ(IFrameText(t, 301, &frames), longLine + "\r");
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(Drain(t.core->receive().mainQueue()), longLine + "\r");
  EXPECT_TRUE(window.text().empty());
}

TEST(PacketTnc, APortThatWillNotOpenOrVanishesIsReported) {
  {
    KissTnc t;
    t.Start("/dev/vexa-no-such-tnc");
    EXPECT_FALSE(t.packet().tncOpen());
    EXPECT_NE(t.prompt.shown.find("Cannot open TNC port!"), std::string::npos);
    EXPECT_FALSE(t.packet().tncStatus().empty());
    // The station still runs; a connect goes nowhere, and nothing blocks.
    EXPECT_TRUE(t.packet().ConnectCommand("DL2YOU", "DL1ME", "", false));
    for (int k = 0; k < 40; ++k) t.core->OnTimer();
  }
  {
    KissTnc t;
    t.Start();
    ASSERT_TRUE(t.packet().tncOpen()) << t.packet().tncStatus();
    ASSERT_TRUE(t.packet().ConnectCommand("DL2YOU", "DL1ME", "", false));
    // The far end goes away (the master closed: the slave hangs up).
    close(t.tnc.master);
    t.tnc.master = -1;
    ASSERT_TRUE(t.Serve([&] { return !t.packet().tncOpen(); }));
    EXPECT_NE(t.packet().tncStatus().find("went away"), std::string::npos);
    EXPECT_NE(t.core->startupNotice().find("went away"), std::string::npos);
    // The link keeps its state and its timers; the frames it sends go nowhere.
    auto* l = t.packet().engine().console().current();
    ASSERT_NE(l, nullptr);
    for (int k = 0; k < 40; ++k) t.core->OnTimer();
    EXPECT_EQ(t.packet().engine().console().current(), l);
  }
}

}  // namespace
}  // namespace vexa::app
