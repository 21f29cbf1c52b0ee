// PTT and key lines: the DTR/RTS use by mode, the CAT PTT bytes and pauses of types 2, 3 and 4,
// the hang counter, and the idle levels.
#include "tx/key_lines.h"

#include <gtest/gtest.h>

#include <vector>

#include "tx_fakes.h"

namespace vexa::tx {
namespace {

using testing::EventLog;
using testing::RecordingLink;

struct Rig {
  EventLog log;
  RecordingLink link{&log, 4800};
  std::vector<int> pauses;
  KeyLines lines{&link, [this](int ms) { pauses.push_back(ms); }};
};

TEST(CatPtt, BytesForEachRigType) {
  KeyLineSettings s;
  s.rigType = 2;
  s.icomAddr = 12;  // 0x56
  EXPECT_EQ(CatPttCommand(s, true),
            (std::vector<uint8_t>{0xFE, 0xFE, 0x56, 0xE0, 0x1C, 0x00, 1, 0xFD}));
  EXPECT_EQ(CatPttCommand(s, false),
            (std::vector<uint8_t>{0xFE, 0xFE, 0x56, 0xE0, 0x1C, 0x00, 0, 0xFD}));
  s.icomAddr = 3;  // other Icom models: no PTT command
  EXPECT_TRUE(CatPttCommand(s, true).empty());
  s.rigType = 1;
  s.icomAddr = 12;
  EXPECT_TRUE(CatPttCommand(s, true).empty());
  s.rigType = 3;
  s.yaesuModel = 2;
  EXPECT_EQ(CatPttCommand(s, true), (std::vector<uint8_t>{0, 0, 0, 1, 0x0F}));
  EXPECT_EQ(CatPttCommand(s, false), (std::vector<uint8_t>{0, 0, 0, 0, 0x0F}));
  s.yaesuModel = 5;
  EXPECT_EQ(CatPttCommand(s, true), (std::vector<uint8_t>{0, 0, 0, 0, 0x08}));
  EXPECT_EQ(CatPttCommand(s, false), (std::vector<uint8_t>{0, 0, 0, 0, 0x88}));
  s.rigType = 4;
  EXPECT_EQ(CatPttCommand(s, true), (std::vector<uint8_t>{'T', 'X', ';'}));
  EXPECT_EQ(CatPttCommand(s, false), (std::vector<uint8_t>{'R', 'X', ';'}));
  for (int t : {0, 1, 5, 6, -1}) {
    s.rigType = t;
    EXPECT_TRUE(CatPttCommand(s, true).empty()) << t;
  }
}

TEST(CatPtt, PausesScaleWithThePortSpeed) {
  EXPECT_EQ(CatPttPauseMs(2, 1200), 500);
  EXPECT_EQ(CatPttPauseMs(2, 4800), 125);
  EXPECT_EQ(CatPttPauseMs(2, 9600), 62);  // 500 / 8
  EXPECT_EQ(CatPttPauseMs(2, 19200), 31);
  EXPECT_EQ(CatPttPauseMs(3, 4800), 25);
  EXPECT_EQ(CatPttPauseMs(3, 38400), 3);
  EXPECT_EQ(CatPttPauseMs(4, 1200), 12);
  EXPECT_EQ(CatPttPauseMs(4, 115200), 12);
  // Below 1200 baud the quotient would be zero: the pause grows instead of dividing by zero.
  EXPECT_EQ(CatPttPauseMs(2, 600), 1000);
  EXPECT_EQ(CatPttPauseMs(3, 300), 400);
  EXPECT_EQ(CatPttPauseMs(2, 0), 500);
  EXPECT_EQ(CatPttPauseMs(0, 9600), 0);
}

TEST(KeyLines, PttUsesTheLinesOfItsModes) {
  struct Case {
    int dtrMode, rtsMode;
    bool dtrIsPtt, rtsIsPtt;
  };
  const Case cases[] = {{0, 0, false, true},  {1, 1, true, false}, {4, 4, true, true},
                        {2, 2, false, false}, {1, 0, true, true},  {0, 1, false, false}};
  for (const Case& c : cases) {
    Rig rig;
    rig.lines.SetSettings({c.dtrMode, c.rtsMode, 0, 0, 0});
    rig.lines.SetPtt(true);
    EXPECT_EQ(rig.link.dtr, c.dtrIsPtt) << c.dtrMode << "/" << c.rtsMode;
    EXPECT_EQ(rig.link.rts, c.rtsIsPtt) << c.dtrMode << "/" << c.rtsMode;
    EXPECT_TRUE(rig.lines.ptt());
    rig.lines.SetPtt(false);
    EXPECT_FALSE(rig.link.dtr);
    EXPECT_FALSE(rig.link.rts);
    EXPECT_TRUE(rig.link.bytes.empty());
  }
}

TEST(KeyLines, KeyUsesTheLinesOfItsModesAndRaisesPtt) {
  Rig rig;  // DtrMode 0 (key), RtsMode 0 (PTT)
  rig.lines.SetKey(true, true);
  EXPECT_TRUE(rig.link.dtr);
  EXPECT_TRUE(rig.link.rts);  // PTT followed the key
  rig.lines.SetKey(false, true);
  EXPECT_FALSE(rig.link.dtr);
  EXPECT_TRUE(rig.link.rts);  // PTT stays until the hang time ends

  Rig both;  // DtrMode 4: DTR is key and PTT, PTT is not switched separately
  both.lines.SetSettings({4, 2, 0, 0, 0});
  both.lines.SetKey(true, true);
  EXPECT_TRUE(both.link.dtr);
  EXPECT_FALSE(both.lines.ptt());

  Rig rts;  // RtsMode 1: RTS is the key; DTR (mode 1) is PTT
  rts.lines.SetSettings({1, 1, 0, 0, 0});
  rts.lines.SetKey(true, true);
  EXPECT_TRUE(rts.link.rts);
  EXPECT_TRUE(rts.link.dtr);
  EXPECT_TRUE(rts.lines.ptt());

  Rig rts4;  // RtsMode 4: returns before PTT
  rts4.lines.SetSettings({2, 4, 0, 0, 0});
  rts4.lines.SetKey(true, true);
  EXPECT_TRUE(rts4.link.rts);
  EXPECT_FALSE(rts4.lines.ptt());
}

TEST(KeyLines, CatPttWritesTheCommandThenPauses) {
  Rig rig;
  rig.lines.SetSettings({2, 2, 4, 0, 0});  // Kenwood, no line PTT
  rig.lines.SetPtt(true);
  rig.lines.SetPtt(false);
  EXPECT_EQ(std::string(rig.link.bytes.begin(), rig.link.bytes.end()), "TX;RX;");
  EXPECT_EQ(rig.pauses, (std::vector<int>{12, 12}));
  Rig icom;
  icom.lines.SetSettings({2, 2, 2, 12, 0});
  icom.lines.SetPtt(true);
  EXPECT_EQ(icom.link.bytes.size(), 8u);
  EXPECT_EQ(icom.pauses, (std::vector<int>{125}));  // 4800 baud
}

TEST(KeyLines, NoOpenPortMeansNothingMoves) {
  Rig rig;
  rig.link.open = false;
  rig.lines.SetSettings({1, 0, 4, 0, 0});
  rig.lines.SetPtt(true);
  rig.lines.SetKey(true, true);
  EXPECT_TRUE(rig.log.empty());
  EXPECT_TRUE(rig.lines.ptt());  // the state is still recorded
  KeyLines none(nullptr, [](int) {});
  none.SetPtt(true);
  none.ApplyIdleLines();
  EXPECT_TRUE(none.ptt());
}

TEST(KeyLines, HangCounterReleasesPttEightDotsAfterTheLastKeyDown) {
  Rig rig;
  std::atomic<int> dot{20};
  rig.lines.SetDotTicks(&dot);
  rig.lines.SetCwMode(true);
  rig.lines.SetKey(true, true);
  EXPECT_EQ(rig.lines.hangTicks(), 160);
  rig.lines.SetKey(false, true);
  for (int i = 0; i < 100; ++i) rig.lines.HangTick();
  rig.lines.SetKey(true, true);  // a new key-down starts the hang time again
  EXPECT_EQ(rig.lines.hangTicks(), 160);
  EXPECT_EQ(rig.link.bytes.size(), 0u);
  int ticks = 0;
  while (rig.lines.ptt() && ticks < 1000) {
    rig.lines.HangTick();
    ++ticks;
  }
  EXPECT_EQ(ticks, 160);
  EXPECT_FALSE(rig.link.rts);
  // Outside CW the hang counter is not loaded.
  Rig ssb;
  ssb.lines.SetPtt(true);
  EXPECT_EQ(ssb.lines.hangTicks(), 0);
}

TEST(KeyLines, IdleLevelsRaiseOnlyLinesHeldForSupply) {
  Rig rig;
  rig.lines.SetSettings({2, 0, 0, 0, 0});
  rig.lines.ApplyIdleLines();
  EXPECT_TRUE(rig.link.dtr);
  EXPECT_FALSE(rig.link.rts);
  EXPECT_TRUE(rig.pauses.empty());
  rig.lines.SetSettings({1, 2, 0, 0, 0});
  rig.lines.ApplyIdleLines(true);  // at start-up: then 200 ms for the interface to come up
  EXPECT_FALSE(rig.link.dtr);
  EXPECT_TRUE(rig.link.rts);
  EXPECT_EQ(rig.pauses, (std::vector<int>{200}));
}

}  // namespace
}  // namespace vexa::tx
