// The timer keyer measured in 4 ms ticks of a fake clock: element and letter timing, the pump's
// speed characters and end mark, the speed dialog, the Escape double press, and the periodic
// timer's absolute deadlines.
#include "tx/cw_keyer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tx/morse_table.h"
#include "tx/transmit_queue.h"
#include "tx_fakes.h"

namespace vexa::tx {
namespace {

using testing::EventLog;
using testing::FakeClock;
using testing::HeldClock;
using testing::RecordingLink;

struct Station {
  EventLog log;
  RecordingLink link{&log};
  KeyLines lines{&link, [](int) {}};
  HeldClock clock;  // the timer thread never ticks: the tests tick by hand
  CwKeyer keyer{lines, clock, 20};
  PlainTransmitText text;
  TransmitQueue queue{text};
  int stops = 0, starts = 0;
  Station() {
    CwKeyer::Hooks h;
    h.nextChar = [this](uint8_t& c) { return queue.NextTxChar(c); };
    h.clearTransmitBuffers = [this] {
      text.ClearWindow();
      text.ClearSimpleKeyboard();
    };
    h.stopReception = [this] { ++stops; };
    h.startReception = [this] { ++starts; };
    keyer.SetHooks(h);
    lines.SetCwMode(true);
  }
  // The key line (DTR, DtrMode 0) tick by tick: '#' down, '.' up.
  std::string Ticks(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
      keyer.KeyerTick();
      s += link.dtr ? '#' : '.';
    }
    return s;
  }
};

std::string Repeat(char c, int n) {
  return std::string(static_cast<size_t>(n), c);
}

TEST(CwKeyer, DotDashAndLetterEndInDotLengths) {
  Station st;
  ASSERT_TRUE(st.keyer.LoadPattern(MorseCode('A')));  // .-
  const int d = 20;
  const std::string want = Repeat('#', d) + Repeat('.', d) + Repeat('#', 3 * d) + Repeat('.', d) +
                           Repeat('.', 2 * d);  // letter end: 2 more units
  EXPECT_EQ(st.Ticks(static_cast<int>(want.size())), want);
  EXPECT_EQ(st.keyer.pattern(), 0u);
  EXPECT_TRUE(st.link.rts);  // PTT came up with the first key-down
  // With d = 20 a dot is 80 ms of key-down and the speed shows 15 WPM.
  EXPECT_EQ(d * kKeyerTickUs / 1000, 80);
  EXPECT_EQ(st.keyer.wpm(), 15);
}

// "E E" keyed exactly: letters end 3 units after their last element and a space adds 4 more, so
// the words are 7 units apart; two spaces in a row add 4 units each.
TEST(CwKeyer, WordSpaceIsSevenUnitsAndLetterSpaceThree) {
  Station st;
  const int d = 10;
  st.keyer.SetNormalDotTicks(d);
  std::string got;
  for (unsigned code : {MorseCode('E'), MorseCode(' '), MorseCode('E'), MorseCode('T'),
                        MorseCode(' '), MorseCode(' '), MorseCode('E')}) {
    ASSERT_TRUE(st.keyer.LoadPattern(code));
    while (st.keyer.pattern() != 0) got += st.Ticks(1);
  }
  got += st.Ticks(2 * d - 1);  // the rest of the last letter end
  // Each letter is loaded the tick its predecessor's last unit begins, as the pump does.
  const std::string want = Repeat('#', d) + Repeat('.', 3 * d) + Repeat('.', 4 * d) +  // E, space
                           Repeat('#', d) + Repeat('.', 3 * d) +                       // E
                           Repeat('#', 3 * d) + Repeat('.', 3 * d) +                   // T
                           Repeat('.', 8 * d) +                                        // 2 spaces
                           Repeat('#', d) + Repeat('.', 3 * d);                        // E
  EXPECT_EQ(got, want);
}

TEST(CwKeyer, PttHangsEightDotsAfterTheLastKeyDown) {
  Station st;
  ASSERT_TRUE(st.keyer.LoadPattern(MorseCode('E')));
  int ticks = 0;
  bool wasPtt = false;
  while (ticks < 1000) {
    st.keyer.KeyerTick();
    ++ticks;
    if (st.lines.ptt()) wasPtt = true;
    if (wasPtt && !st.lines.ptt()) break;
  }
  EXPECT_EQ(ticks, 8 * 20 + 1);  // loaded at the key-down tick, counted down on the next 160
}

TEST(CwKeyer, PumpLoadsOneLetterOnlyIntoAnEmptyPatternAndSendsItAtTheDotLength) {
  Station st;
  st.text.Type("^^ET");
  st.keyer.CwPump();  // not running: nothing is taken
  EXPECT_EQ(st.text.text(), "^^ET");
  ASSERT_TRUE(st.keyer.Start());
  EXPECT_EQ(st.stops, 1);  // reception paused while keying
  st.keyer.CwPump();
  EXPECT_EQ(st.keyer.dotTicks(), 18);  // two "^": two ticks faster
  EXPECT_EQ(st.keyer.pattern(), MorseCode('E'));
  EXPECT_EQ(st.text.text(), "T");
  st.keyer.CwPump();  // the pattern is not empty yet: T waits
  EXPECT_EQ(st.text.text(), "T");
  const std::string dot = st.Ticks(18 * 4);
  EXPECT_EQ(dot, Repeat('#', 18) + Repeat('.', 18 * 3));  // dot and letter end at d = 18
  st.keyer.CwPump();
  EXPECT_EQ(st.keyer.pattern(), MorseCode('T'));
  st.keyer.Stop();
  EXPECT_EQ(st.keyer.dotTicks(), 20);  // stopping returns to the normal speed
  EXPECT_EQ(st.starts, 1);
  EXPECT_FALSE(st.link.dtr);  // the toggle releases the key and PTT
  EXPECT_FALSE(st.lines.ptt());
}

TEST(CwKeyer, EndMarkStopsTheKeyerDropsPttAndClearsBothWindows) {
  Station st;
  st.text.Type("E\xAE");
  st.text.AppendAfterCaret("more");
  st.text.TypeSimple("pending");
  ASSERT_TRUE(st.keyer.Start());
  st.keyer.CwPump();  // E
  st.Ticks(20 * 4);
  EXPECT_TRUE(st.lines.ptt());
  st.keyer.CwPump();  // the end mark
  EXPECT_FALSE(st.keyer.running());
  EXPECT_FALSE(st.lines.ptt());
  EXPECT_EQ(st.text.text(), "");
  EXPECT_EQ(st.text.pending(), "");
  EXPECT_EQ(st.starts, 1);  // reception restarted
}

TEST(CwKeyer, CaretAndLineFeedRestoreNormalSpeedAfterCarets) {
  Station st;
  st.text.Type("^^^\nK");
  ASSERT_TRUE(st.keyer.Start());
  st.keyer.CwPump();
  EXPECT_EQ(st.keyer.dotTicks(), 20);  // three faster, then LF: normal again
  EXPECT_EQ(st.keyer.pattern() != 0u, true);
  st.keyer.Stop();
}

TEST(CwKeyer, FasterAndSlowerStepUntilTheShownSpeedChanges) {
  Station st;
  EXPECT_EQ(st.keyer.caption(), "CW SPEED 15 WPM");
  st.keyer.Faster();
  EXPECT_EQ(st.keyer.dotTicks(), 19);
  EXPECT_EQ(st.keyer.normalDotTicks(), 19);
  EXPECT_EQ(st.keyer.caption(), "CW SPEED 16 WPM");
  st.keyer.Slower();
  EXPECT_EQ(st.keyer.dotTicks(), 20);
  EXPECT_EQ(st.keyer.wpm(), 15);
  for (int i = 0; i < 100; ++i) st.keyer.Faster();
  EXPECT_EQ(st.keyer.dotTicks(), 3);  // never below 3 through the dialog
  EXPECT_EQ(st.keyer.wpm(), 100);
  for (int i = 0; i < 400; ++i) st.keyer.Slower();
  EXPECT_EQ(st.keyer.wpm(), 1);
  const int d = st.keyer.dotTicks();
  st.keyer.Slower();
  EXPECT_EQ(st.keyer.dotTicks(), d);  // no slower than 1 WPM
  EXPECT_EQ(CwWpm(0), 0);
  EXPECT_EQ(CwWpm(25), 12);
  EXPECT_EQ(CwWpm(10), 30);
}

TEST(CwKeyer, TwoEscapesWithinFiveTicksStopTheKeyer) {
  Station st;
  ASSERT_TRUE(st.keyer.Start());
  st.keyer.EscapePressed();
  for (int i = 0; i < 5; ++i) st.keyer.EscapeTick();
  st.keyer.EscapePressed();  // 5 + 10 = 15: not above 15
  EXPECT_TRUE(st.keyer.running());
  for (int i = 0; i < 15; ++i) st.keyer.EscapeTick();
  st.keyer.EscapePressed();
  for (int i = 0; i < 4; ++i) st.keyer.EscapeTick();
  st.keyer.EscapePressed();  // 6 + 10 = 16
  EXPECT_FALSE(st.keyer.running());
  EXPECT_FALSE(st.link.dtr);
  EXPECT_FALSE(st.lines.ptt());
  EXPECT_EQ(st.starts, 1);
}

TEST(PeriodicTimer, DeadlinesAreAbsoluteWhateverTheTickCosts) {
  FakeClock clock;
  clock.now = 5000;
  PeriodicTimer timer(clock);
  std::atomic<int> ticks{0};
  std::mutex m;
  std::condition_variable cv;
  ASSERT_TRUE(timer.Start(4000, [&] {
    clock.now += 1500;  // every tick takes 1.5 ms
    if (++ticks == 50) {
      std::lock_guard lock(m);
      cv.notify_all();
    }
  }));
  {
    std::unique_lock lock(m);
    cv.wait_for(lock, std::chrono::seconds(10), [&] { return ticks.load() >= 50; });
  }
  timer.Stop();
  ASSERT_GE(clock.deadlines.size(), 50u);
  for (size_t k = 0; k < 50; ++k) EXPECT_EQ(clock.deadlines[k], 5000 + 4000 * int64_t(k + 1)) << k;
}

TEST(PeriodicTimer, FallingFarBehindSkipsInsteadOfBursting) {
  FakeClock clock;
  PeriodicTimer timer(clock);
  std::atomic<int> ticks{0};
  std::mutex m;
  std::condition_variable cv;
  ASSERT_TRUE(timer.Start(4000, [&] {
    if (++ticks == 3) clock.now += 20000;  // the machine stalls for 20 ms in tick 3
    if (ticks == 6) cv.notify_all();
  }));
  {
    std::unique_lock lock(m);
    cv.wait_for(lock, std::chrono::seconds(10), [&] { return ticks.load() >= 6; });
  }
  timer.Stop();
  ASSERT_GE(clock.deadlines.size(), 5u);
  const int64_t t0 = clock.deadlines[0] - 4000;
  EXPECT_EQ(clock.deadlines[2], t0 + 12000);
  // After the stall the next deadline is one period after "now", not the missed ones.
  EXPECT_EQ(clock.deadlines[3], t0 + 12000 + 20000 + 4000);
  EXPECT_EQ(clock.deadlines[4], clock.deadlines[3] + 4000);
}

}  // namespace
}  // namespace vexa::tx
