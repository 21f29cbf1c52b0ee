// The rig section end to end: a scripted transceiver on a pseudo-terminal answers the commands
// the program sends through the real port and its reader thread; the replies come back through
// the transmit section and the bus into the rig section, the waterfall scale and the mode.
#include "app/rig_section.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "app/main_core.h"
#include "support/scripted_rig.h"
#include "support/test_paths.h"
#include "support/test_station.h"

namespace vexa::app {
namespace {

struct RigStation : test::TestStation {
  void Configure(test::ScriptedRig& rig, int type, int model = 0, int speed = 4800) {
    ASSERT_TRUE(rig.ok()) << "no pseudo-terminal";
    ASSERT_EQ(store.WriteSettingInt("TX1", "ComPort", 2), 0);
    ASSERT_EQ(store.WriteSettingText("Ports", "COM2", rig.device()), 0);
    ASSERT_EQ(store.WriteSettingInt("TX1", "ComSpeed", speed), 0);
    ASSERT_EQ(store.WriteSettingInt("TX1", "Type", type), 0);
    if (type == 2) {
      ASSERT_EQ(store.WriteSettingInt("TX1", "IcomAddr", model), 0);
    }
    if (type == 3) {
      ASSERT_EQ(store.WriteSettingInt("TX1", "Yaesu", model), 0);
    }
  }
  void Start() { TestStation::Start(/*openPort=*/true); }
  // Serves the port until the rig has done `steps` steps and `until` holds.
  void ServeUntil(const test::ScriptedRig& rig, size_t steps,
                  const std::function<bool()>& until = {}) {
    (void)Serve([&] { return rig.stepsDone() >= steps && (!until || until()); });
  }
};

TEST(RigSection, KenwoodIsPolledFollowedAndSet) {
  const std::string reply = "IF00014070150     +00000000002000000 ;";
  test::ScriptedRig rig({{"IF;", reply},
                         {"MD2;", ""},  // start-up selects the program's mode (PSK31: USB data)
                         {"IF;", ""},   // the poll again after the answer
                         {"FA00014070000;", ""},
                         {"MD3;", ""},
                         {"MD1;", ""}});
  RigStation s;
  s.Configure(rig, 4);
  rig.Start();
  s.Start();
  auto& r = s.core->rig();
  // The answer is decoded on the tick, which asks again.
  s.ServeUntil(rig, 2, [&] {
    s.core->OnTimer();
    return r.dialHz() == 14070150;
  });
  s.ServeUntil(rig, 3);
  EXPECT_EQ(r.dialHz(), 14070150);
  EXPECT_EQ(s.core->receive().rigFrequency(), 14070150);
  EXPECT_EQ(r.OperatingText(), "14.071.150");  // PSK31 at 1000 Hz audio
  EXPECT_EQ(r.StatusText(), "Kenwood");

  // A frequency typed by the operator: the dial goes 1000 Hz below it.
  r.SetOperatingFrequency(14071000);
  s.ServeUntil(rig, 4);
  EXPECT_EQ(r.dialHz(), 14070000);
  // CW keyed by the line, then LSB: the mode commands follow the program's mode.
  ASSERT_EQ(s.store.WriteSettingInt("CW", "UseSB", 0), 0);
  r.OnInitStep(11);  // the settings read again, as after Setup
  s.core->SetMode(Mode::Cw);
  s.ServeUntil(rig, 5);
  s.core->SetMode(Mode::Ssb2);
  s.ServeUntil(rig, 6);
  EXPECT_TRUE(rig.finished()) << rig.stepsDone();
  EXPECT_EQ(rig.error(), "") << rig.received();
}

TEST(RigSection, IcomRepliesAndBroadcastsMoveTheDialAndTheMode) {
  auto frame = [](std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s.push_back(static_cast<char>(v));
    return s;
  };
  test::ScriptedRig rig({
      // The frequency request, echoed on the bus and answered: 7.040.000.
      {frame({0xFE, 0xFE, 0x56, 0xE0, 0x03, 0xFD}),
       frame({0xFE, 0xFE, 0x56, 0xE0, 0x03, 0xFD, 0xFE, 0xFE, 0xE0, 0x56, 0x03, 0x00, 0x00, 0x04,
              0x07, 0x00, 0xFD})},
      // The mode request: CW, once start-up has set the program's mode (PSK31: USB data).
      {frame({0xFE, 0xFE, 0x56, 0xE0, 0x04, 0xFD}), ""},
      {frame({0xFE, 0xFE, 0x56, 0xE0, 0x06, 0x01, 0xFD}),
       frame({0xFE, 0xFE, 0xE0, 0x56, 0x04, 0x03, 0xFD})},
  });
  RigStation s;
  s.Configure(rig, 2, 12, 19200);
  rig.Start();
  s.Start();
  s.ServeUntil(rig, 3, [&] { return s.core->mode() == Mode::Cw; });
  EXPECT_EQ(s.core->rig().dialHz(), 7040000);
  EXPECT_EQ(s.core->mode(), Mode::Cw);
  EXPECT_TRUE(s.core->rig().answering());
  // The mode the rig reported is not sent back to it.
  EXPECT_EQ(s.core->rig().sent().size(), 3u);
  EXPECT_EQ(rig.error(), "");
  EXPECT_EQ(rig.received().size(), 19u);  // the two requests and the mode, nothing more
}

TEST(RigSection, AYaesuThatNeverAnswersIsAskedAgainAndShownAsSilent) {
  const std::string poll("\x00\x00\x00\x00\x03", 5);
  test::ScriptedRig rig({{poll, ""}, {poll, ""}});
  RigStation s;
  s.Configure(rig, 3, 5);
  rig.Start();
  s.Start();
  s.ServeUntil(rig, 1);
  for (int i = 0; i < RigSection::kRepollTicks; ++i) s.core->OnTimer();
  s.ServeUntil(rig, 2);
  EXPECT_TRUE(rig.finished());
  EXPECT_EQ(s.core->rig().StatusText(), "Yaesu: no reply");
  EXPECT_EQ(s.core->rig().dialHz(), tx::kInitialDialHz);
  // A garbage reply of the wrong length is dropped without effect.
  const uint8_t junk[] = {0x99, 0x99, 0x99};
  s.core->rig().OnTransceiverBytes(junk);
  s.core->OnTimer();
  EXPECT_EQ(s.core->rig().dialHz(), tx::kInitialDialHz);
}

TEST(RigSection, AKenwoodAnswerSplitAcrossReadsIsDecodedWhenWhole) {
  const std::string reply = "IF00007040000     +00000000002000000 ;";
  test::ScriptedRig rig({{"IF;", reply.substr(0, 17)}, {"", ""}});
  RigStation s;
  s.Configure(rig, 4);
  rig.Start();
  s.Start();
  s.ServeUntil(rig, 1, [&] { return s.core->rig().pendingReply() == 17; });
  ASSERT_EQ(s.core->rig().pendingReply(), 17u);
  for (int i = 0; i < 3; ++i) s.core->OnTimer();  // half an answer: the tick waits for ';'
  EXPECT_EQ(s.core->rig().dialHz(), tx::kInitialDialHz);
  const auto rest =
      std::span(reinterpret_cast<const uint8_t*>(reply.data()) + 17, reply.size() - 17);
  s.core->rig().OnTransceiverBytes(rest);
  s.core->OnTimer();
  EXPECT_EQ(s.core->rig().dialHz(), 7040000);
}

TEST(RigSection, WithoutAPortNothingIsSentButTheDisplayFollows) {
  RigStation s;
  ASSERT_EQ(s.store.WriteSettingInt("TX1", "Type", 4), 0);
  s.Start();  // openSerialPort, but ComPort 2 is /dev/ttyUSB1, absent here
  auto& r = s.core->rig();
  r.SetOperatingFrequency(7041000);
  EXPECT_EQ(r.dialHz(), 7040000);
  EXPECT_EQ(s.core->receive().rigFrequency(), 7040000);
  EXPECT_TRUE(r.sent().empty());
  EXPECT_EQ(r.StatusText(), "Kenwood: port not open");
}

TEST(RigSection, APortThatVanishesIsSaidAndTheRigIsFoundAgainWhenItIsBack) {
  RigStation s;
  auto first = std::make_unique<test::ScriptedRig>(
      std::vector<test::ScriptedRig::Step>{{"IF;", "IF00014070150     +00000000002000000 ;"}});
  s.Configure(*first, 4);
  first->Start();
  s.Start();
  auto& r = s.core->rig();
  s.ServeUntil(*first, 1, [&] {
    s.core->OnTimer();
    return r.dialHz() == 14070150;
  });
  ASSERT_EQ(r.dialHz(), 14070150);
  // Unplugged: the device hangs up under the open port.
  first.reset();
  (void)s.Serve([&] { return !s.core->transmit().portOpen(); }, 1);
  ASSERT_FALSE(s.core->transmit().portOpen());
  EXPECT_NE(s.core->transmit().portStatus().find("went away"), std::string::npos)
      << s.core->transmit().portStatus();
  EXPECT_EQ(r.StatusText(), "Kenwood: port not open");
  for (int i = 0; i < 10; ++i) s.core->OnTimer();  // no crash, no write to a dead port

  // Plugged in again (here under a new name, as a by-id link may point to): found on a retry.
  test::ScriptedRig second(
      std::vector<test::ScriptedRig::Step>{{"IF;", "IF00007040000     +00000000002000000 ;"}});
  ASSERT_TRUE(second.ok());
  ASSERT_EQ(s.store.WriteSettingText("Ports", "COM2", second.device()), 0);
  second.Start();
  (void)s.Serve([&] { return r.dialHz() == 7040000; }, 5);
  EXPECT_TRUE(s.core->transmit().portOpen());
  EXPECT_EQ(r.dialHz(), 7040000);
  EXPECT_EQ(s.core->transmit().portStatus(), "");
  EXPECT_EQ(second.error(), "");
}

}  // namespace
}  // namespace vexa::app
