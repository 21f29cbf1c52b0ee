// The transmitter's switching: the order of the start, the refill of returned blocks, the end
// after the end mark within four blocks, toggles during the tail, abort, the watchdog, and the
// modes that do not transmit through the sound card.
#include "tx/transmitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tx_fakes.h"

namespace vexa::tx {
namespace {

using testing::EventLog;
using testing::HeldClock;
using testing::RecordingBackend;
using testing::RecordingLink;

struct Station {
  EventLog log;
  RecordingBackend backend{&log};
  engine::SoundCard sound{backend, engine::DeviceChoice{}};
  RecordingLink link{&log};
  KeyLines lines{&link, [](int) {}};
  PlainTransmitText text;
  engine::RxTextQueue echo;
  HeldClock clock;
  Transmitter tx{sound, text, lines, echo, clock};
  std::vector<bool> transmitting;
  int watchdogSeconds = 0;

  explicit Station(int mode = 9) {
    tx.SetMode(static_cast<vexa::Mode>(mode));
    tx.SetTransmittingHook([this](bool on) { transmitting.push_back(on); });
    tx.SetWatchdogHook([this](int s) { watchdogSeconds = s; });
    EXPECT_EQ(sound.OpenSoundInput(), 0);
    log.clear();
  }
  // Plays queued blocks and hands them back until the transmission ends; returns the number
  // of blocks played.
  int PlayUntilEnd(int limit = 1000) {
    int played = 0;
    if (tx.endBlock() >= 0 && writesAtEndMark < 0) writesAtEndMark = backend.writes;
    while (tx.active() && played < limit) {
      if (!backend.PlayOne()) break;
      int index = -1;
      while (sound.TakeOutputDone(index)) {
        tx.OnOutputDone(index);
        if (tx.endBlock() >= 0 && writesAtEndMark < 0) writesAtEndMark = backend.writes;
      }
      ++played;
    }
    return played;
  }
  int writesAtEndMark = -1;  // blocks written when the end block was marked
  std::string Echoed() {
    std::string s;
    uint8_t c;
    while (echo.Get(c)) s += static_cast<char>(c);
    return s;
  }
};

// Prepared samples (packet frames) go out whole with PTT, in any mode, and the transmission
// ends after them; samples given while it runs are played too, none is cut off.
TEST(Transmitter, PlaysPreparedSamplesWholeThenReturnsToReceive) {
  Station st(13);
  std::vector<int16_t> first(3000), second(5000);
  for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<int16_t>(1 + i % 100);
  for (size_t i = 0; i < second.size(); ++i) second[i] = static_cast<int16_t>(-1 - i % 50);
  st.tx.PlaySamples(first);
  EXPECT_TRUE(st.tx.active());
  EXPECT_TRUE(st.lines.ptt());
  st.tx.PlaySamples(second);  // the end is marked already: these follow in a second one
  st.PlayUntilEnd();
  if (st.tx.active()) st.PlayUntilEnd();
  EXPECT_FALSE(st.tx.active());
  EXPECT_FALSE(st.lines.ptt());
  EXPECT_EQ(st.transmitting, (std::vector<bool>{true, false, true, false}));
  std::vector<int16_t> played;
  for (int16_t v : st.backend.written)
    if (v != 0) played.push_back(v);
  std::vector<int16_t> want = first;
  want.insert(want.end(), second.begin(), second.end());
  EXPECT_EQ(played, want);
  EXPECT_EQ(st.tx.samplesWaiting(), 0u);
  EXPECT_EQ(st.Echoed(), "");  // nothing of the text queue went out
}

TEST(Transmitter, StartClosesInputOpensOutputRaisesPttAndPrimesFourBlocks) {
  Station st;
  st.tx.ToggleTransmit();
  EXPECT_TRUE(st.tx.TransmitFlag());
  EXPECT_TRUE(st.tx.active());
  EXPECT_EQ(st.log, (EventLog{"input close", "output open", "RTS on", "write 0", "write 1",
                              "write 2", "write 3"}));
  EXPECT_EQ(st.transmitting, (std::vector<bool>{true}));
  EXPECT_EQ(st.backend.written.size(), 4u * 1024);
}

TEST(Transmitter, EveryReturnedBlockIsRefilledInOrder) {
  Station st;
  st.tx.ToggleTransmit();
  st.log.clear();
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(st.backend.PlayOne());
    int index = -1;
    while (st.sound.TakeOutputDone(index)) st.tx.OnOutputDone(index);
  }
  EXPECT_EQ(st.log, (EventLog{"write 0", "write 1", "write 2", "write 3", "write 0", "write 1"}));
  EXPECT_TRUE(st.tx.active());  // no text: PSK idles and never stops by itself
}

TEST(Transmitter, EndMarkEndsWithinFourBlocksOfTheTailThenReceptionResumes) {
  for (int mode : {4, 9, 10, 11, 16, 17, 0}) {
    Station st(mode);
    st.text.Type("cq\xAE");
    st.tx.ToggleTransmit();
    st.PlayUntilEnd();
    EXPECT_FALSE(st.tx.active()) << mode;
    EXPECT_FALSE(st.tx.TransmitFlag());
    EXPECT_FALSE(st.lines.ptt());
    ASSERT_GE(st.log.size(), 3u);
    EXPECT_EQ(*(st.log.end() - 3), "output close") << mode;
    EXPECT_EQ(*(st.log.end() - 2), "input open") << mode;
    EXPECT_EQ(*(st.log.end() - 1), "RTS off") << mode;
    EXPECT_EQ(st.transmitting, (std::vector<bool>{true, false}));
    // The end block is the one in which the tail fell silent; at most three blocks were written
    // after it, and the transmission ended when it came back.
    ASSERT_GE(st.writesAtEndMark, 1) << mode;
    EXPECT_LE(st.backend.writes - st.writesAtEndMark, 3) << mode;
    const auto& w = st.backend.written;
    const size_t endOfEndBlock = static_cast<size_t>(st.writesAtEndMark) * 1024;
    for (size_t i = endOfEndBlock; i < w.size(); ++i) ASSERT_EQ(w[i], 0) << mode << " at " << i;
    EXPECT_NE(*std::max_element(w.begin(), w.end()), 0);
    if (mode != 0) {
      EXPECT_EQ(st.Echoed(), "\r\ncq") << mode;
    } else {
      EXPECT_EQ(st.Echoed(), "") << "CW is not echoed";
    }
  }
}

TEST(Transmitter, ToggleDuringTransmissionAsksForTheTailAndASecondToggleWaitsForTheEnd) {
  Station st(4);
  st.text.Type("RYRYRYRYRY");
  st.tx.ToggleTransmit();
  st.tx.ToggleTransmit();  // to receive: RTTY goes off at the next half-bit
  EXPECT_FALSE(st.tx.TransmitFlag());
  EXPECT_TRUE(st.tx.active());
  const int writesBefore = st.backend.writes;
  st.tx.ToggleTransmit();  // ignored: the tail is still running out
  EXPECT_EQ(st.backend.writes, writesBefore);
  EXPECT_FALSE(st.tx.TransmitFlag());
  st.PlayUntilEnd();
  EXPECT_FALSE(st.tx.active());
  EXPECT_EQ(std::count(st.log.begin(), st.log.end(), "output open"), 1);
  st.tx.ToggleTransmit();  // now a new transmission starts
  EXPECT_TRUE(st.tx.active());
  EXPECT_EQ(std::count(st.log.begin(), st.log.end(), "output open"), 2);
}

TEST(Transmitter, AbortGoesStraightToReceiveAndClearsTheText) {
  Station st;
  st.text.Type("long text");
  st.text.AppendAfterCaret(" and more");
  st.tx.ToggleTransmit();
  st.log.clear();
  st.tx.EscapeKey();
  EXPECT_EQ(st.log, (EventLog{"output close", "input open", "RTS off"}));
  EXPECT_FALSE(st.tx.active());
  EXPECT_EQ(st.text.text(), "");
  st.tx.OnOutputDone(0);  // a late block after the abort is ignored
  EXPECT_EQ(st.backend.writes, 4);
}

TEST(Transmitter, FailedOutputLeavesPttOnUntilTheWatchdogEndsIt) {
  Station st;
  st.backend.failOutput = true;
  st.tx.SetTxTimeout(300);
  st.tx.ToggleTransmit();
  EXPECT_NE(st.tx.outputOpenResult(), 0);
  EXPECT_TRUE(st.tx.TransmitFlag());
  EXPECT_TRUE(st.lines.ptt());
  EXPECT_EQ(st.backend.writes, 0);
  int ticks = 0;
  while (st.lines.ptt() && ticks < 10000) {
    st.tx.OnTimerTick();
    st.clock.now += 55000;
    ++ticks;
  }
  EXPECT_EQ(st.watchdogSeconds, 300);
  EXPECT_FALSE(st.tx.active());
  EXPECT_NEAR(ticks * 0.055, 300, 0.2);
}

TEST(Transmitter, WatchdogZeroIsOffAndANewTransmissionStartsTheCountAgain) {
  Station st;
  st.tx.SetTxTimeout(0);
  st.tx.ToggleTransmit();
  for (int i = 0; i < 20000; ++i) {
    st.tx.OnTimerTick();
    st.clock.now += 55000;
  }
  EXPECT_TRUE(st.tx.active());
  EXPECT_EQ(st.watchdogSeconds, 0);

  Station s2;
  s2.tx.SetTxTimeout(10);
  s2.text.Type("e\xAE");
  s2.tx.ToggleTransmit();
  s2.tx.OnTimerTick();
  s2.clock.now += 9000000;
  s2.PlayUntilEnd();
  s2.tx.OnTimerTick();  // off: the count is forgotten
  s2.tx.ToggleTransmit();
  s2.tx.OnTimerTick();
  s2.clock.now += 9000000;
  s2.tx.OnTimerTick();
  EXPECT_EQ(s2.watchdogSeconds, 0);
  s2.clock.now += 2000000;
  s2.tx.OnTimerTick();
  EXPECT_EQ(s2.watchdogSeconds, 10);
}

TEST(Transmitter, CwWithLineKeyingTogglesTheKeyerAndWritesNoSound) {
  Station st(0);
  st.tx.SetSoundCardCw(false);
  st.tx.ToggleTransmit();
  EXPECT_TRUE(st.tx.keyer().running());
  EXPECT_FALSE(st.tx.active());
  EXPECT_EQ(st.backend.writes, 0);
  EXPECT_EQ(st.log, (EventLog{"input close"}));  // reception pauses while keying
  st.text.Type("e");
  st.tx.OnTimerTick();  // the pump runs on the 55 ms tick
  EXPECT_NE(st.tx.keyer().pattern(), 0u);
  // Escape twice in quick succession stops it.
  st.tx.EscapeKey();
  EXPECT_TRUE(st.text.allSelected());
  st.tx.EscapeKey();
  EXPECT_FALSE(st.tx.keyer().running());
  EXPECT_EQ(st.log.back(), "input open");
}

TEST(Transmitter, ModesWithoutSoundTransmissionIgnoreTheToggle) {
  for (int mode : {1, 2, 3, 5, 6, 7, 8, 12, 14, 15, 99, -1}) {
    Station st(mode);
    st.tx.ToggleTransmit();
    EXPECT_FALSE(st.tx.active()) << mode;
    EXPECT_TRUE(st.log.empty()) << mode;
  }
}

TEST(Transmitter, EndOfTransmitKeyEndsAfterEverythingTyped) {
  Station st;
  st.text.Type("ab");
  st.text.AppendAfterCaret("cd");
  st.tx.EndOfTransmitKey();
  EXPECT_EQ(st.text.text(), "abcd\xAE");
  st.tx.ToggleTransmit();
  st.PlayUntilEnd();
  EXPECT_FALSE(st.tx.active());
  EXPECT_EQ(st.Echoed(), "\r\nabcd");
}

TEST(Transmitter, ClearTransmitBuffersEmptiesTheActiveWindow) {
  Station st;
  st.text.Type("window");
  st.text.TypeSimple("simple");
  st.tx.ClearTransmitBuffers();
  EXPECT_EQ(st.text.text(), "");
  EXPECT_EQ(st.text.pending(), "simple");
  st.text.Type("window");
  st.text.SetSimpleKeyboardVisible(true);
  st.tx.ClearTransmitBuffers();
  EXPECT_EQ(st.text.text(), "window");
  EXPECT_EQ(st.text.pending(), "");
}

}  // namespace
}  // namespace vexa::tx
