// The TNC terminal through the core: a controller on a pseudo-terminal talks to it through the
// real port and its reader thread; received lines reach the spot list, typed characters and the
// CW keyer's characters reach the controller, and its settings dialog's indexes.
#include "app/tnc_terminal_section.h"

#include <gtest/gtest.h>

#include <poll.h>

#include "app/main_core.h"
#include "support/pty.h"
#include "support/test_paths.h"
#include "support/test_station.h"

namespace vexa::app {
namespace {

struct Terminal : test::TestStation {
  test::Pty controller;
  std::string shown;

  void Start(int com = 4) {
    ASSERT_FALSE(controller.name.empty()) << "no pseudo-terminal";
    ASSERT_EQ(store.WriteSettingInt("TNC", "Com", com), 0);
    ASSERT_EQ(store.WriteSettingText("Ports", "COM4", controller.name), 0);
    ASSERT_EQ(store.WriteSettingInt("TX1", "ComPort", 0), 0);
    TestStation::Start(/*openPort=*/true);
    core->tncTerminal().SetDisplay([this](uint8_t c) { shown.push_back(static_cast<char>(c)); });
    core->tncTerminal().Open();
  }
};

TEST(TncTerminal, TheSettingsDialogsIndexesFollowTheRule) {
  EXPECT_EQ(TncTerminalSettings::SpeedIndex(1200), 0);
  EXPECT_EQ(TncTerminalSettings::SpeedIndex(2400), 1);
  EXPECT_EQ(TncTerminalSettings::SpeedIndex(4800), 2);
  EXPECT_EQ(TncTerminalSettings::SpeedIndex(19200), 4);
  EXPECT_EQ(TncTerminalSettings::SpeedIndex(300), 0);     // below the list: its first entry
  EXPECT_EQ(TncTerminalSettings::SpeedIndex(115200), 4);  // above it: its last
  EXPECT_EQ(TncTerminalSettings::SpeedForIndex(3), 9600);
  EXPECT_EQ(TncTerminalSettings::SpeedForIndex(0), 1200);
  EXPECT_EQ(TncTerminalSettings::SpeedForIndex(9), 19200);
}

TEST(TncTerminal, ReceivedLinesReachTheSpotListAndTheScreenWithoutLineFeeds) {
  Terminal t;
  t.Start();
  ASSERT_TRUE(t.core->tncTerminal().portOpen()) << t.core->tncTerminal().portStatus();
  const std::string spot =
      "DX de K7GS:      14004.0  C5R          op2                            2141Z";
  ASSERT_TRUE(t.controller.WriteMaster("cmd:\r\n" + spot + "\r\n"));
  ASSERT_TRUE(t.Serve([&] { return t.shown.size() >= 6 + spot.size(); }));
  EXPECT_EQ(t.shown, "cmd:\r" + spot + "\r") << "CR LF: one new line on the screen";
  ASSERT_EQ(t.core->spots().DisplayLines().size(), 1u);
  EXPECT_EQ(t.core->spots().DisplayLines()[0].substr(0, 27), "K7GS      14004.0 2141 C5R ");

  // LF alone ends the line for the spot list, but starts no new line on the screen.
  const std::string second =
      "DX de VE3BR:     14051.9  W6SC         CW                             2141Z";
  t.shown.clear();
  ASSERT_TRUE(t.controller.WriteMaster(second + "\n"));
  ASSERT_TRUE(t.Serve([&] { return t.core->spots().DisplayLines().size() == 2; }));
  EXPECT_EQ(t.shown, second);
  // A line longer than the buffer is cut, not lost or overrun.
  ASSERT_TRUE(t.controller.WriteMaster(std::string(5000, 'x') + "\r"));
  ASSERT_TRUE(t.Serve([&] { return t.shown.size() == second.size() + 5001; }));
}

TEST(TncTerminal, TypedTextAndTheCwKeyerGoToTheController) {
  Terminal t;
  t.Start();
  ASSERT_TRUE(t.core->tncTerminal().portOpen()) << t.core->tncTerminal().portStatus();
  for (char c : std::string("c DB0XYZ\r")) t.core->tncTerminal().Type(static_cast<uint8_t>(c));
  EXPECT_EQ(t.controller.ReadMaster(9), "c DB0XYZ\r");
  // The keyer tells the controller its speed and starts the controller's keyer.
  auto& keyer = t.core->transmit().transmitter().keyer();
  ASSERT_TRUE(keyer.Start());
  const std::string expect = "cw " + std::to_string(keyer.wpm()) + "\r\x03\x74";
  EXPECT_EQ(t.controller.ReadMaster(expect.size()), expect);
  keyer.Stop();
  EXPECT_EQ(t.controller.ReadMaster(2), "\x03\x78");
  // Closed: the keyer keys its own line again; the controller hears nothing of it.
  t.core->tncTerminal().Close();
  ASSERT_TRUE(keyer.Start());
  keyer.Stop();
  pollfd p{t.controller.master, POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 100), 0) << "bytes reached the closed terminal's controller";
}

TEST(TncTerminal, WithoutAPortItOpensAndSendsNothingAndItsSettingsAreWrittenAtClose) {
  Terminal t;
  t.Start(/*com=*/0);
  auto& term = t.core->tncTerminal();
  EXPECT_TRUE(term.isOpen());
  EXPECT_FALSE(term.portOpen());
  EXPECT_EQ(term.portStatus(), "");
  term.Type('x');  // nowhere to go, no harm
  // The dialog chooses the pty at 4800 bit/s, 7 bits, two stop bits: the port opens with them.
  TncTerminalSettings s = term.settings();
  s.com = 4;
  s.speed = TncTerminalSettings::SpeedForIndex(2);
  s.bits = 0 + 7;
  s.stopBits = 2 + 1;
  term.ApplySettings(s);
  ASSERT_TRUE(term.portOpen()) << term.portStatus();
  term.Close();
  EXPECT_EQ(t.store.ReadSettingInt("TNC", "Com", 0), 4);
  EXPECT_EQ(t.store.ReadSettingInt("TNC", "Speed", 0), 4800);
  EXPECT_EQ(t.store.ReadSettingInt("TNC", "Bits", 0), 7);
  EXPECT_EQ(t.store.ReadSettingInt("TNC", "StopBits", 0), 3);
  // A port that is not there: said, and the terminal still opens.
  ASSERT_EQ(t.store.WriteSettingText("Ports", "COM4", t.dir.File("no-such-tty")), 0);
  term.Open();
  EXPECT_TRUE(term.isOpen());
  EXPECT_FALSE(term.portOpen());
  EXPECT_NE(term.portStatus().find("no-such-tty"), std::string::npos) << term.portStatus();
}

}  // namespace
}  // namespace vexa::app
