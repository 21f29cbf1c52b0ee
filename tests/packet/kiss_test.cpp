#include "packet/kiss.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vexa::packet {
namespace {

using Bytes = std::vector<uint8_t>;

struct Frames : KissReceiver::Handler {
  std::vector<Bytes> got;
  void OnKissFrame(std::span<const uint8_t> f) override { got.emplace_back(f.begin(), f.end()); }
};

TEST(Kiss, EncodingEscapesFendAndFesc) {
  const Bytes data = {0x01, 0xC0, 0x02, 0xDB, 0xDC, 0xDD};
  EXPECT_EQ(EncodeKiss(KissCommand::Data, data),
            (Bytes{0xC0, 0x00, 0x01, 0xDB, 0xDC, 0x02, 0xDB, 0xDD, 0xDC, 0xDD, 0xC0}));
  EXPECT_EQ(EncodeKiss(KissCommand::Data, {}), (Bytes{0xC0, 0x00, 0xC0}));
}

TEST(Kiss, ReceiverUndoesTheEscapesAndKeepsLoneTransposes) {
  Frames h;
  KissReceiver rx(&h);
  // 0xDB 0xDD becomes 0xDB, 0xDB 0xDC becomes 0xC0, a 0xDC without FESC stays 0xDC.
  rx.Push(Bytes{0xC0, 0x00, 0x41, 0xDB, 0xDD, 0xDB, 0xDC, 0xDC, 0xDD, 0xC0});
  ASSERT_EQ(h.got.size(), 1u);
  EXPECT_EQ(h.got[0], (Bytes{0x41, 0xDB, 0xC0, 0xDC, 0xDD}));
}

TEST(Kiss, RoundTripOfRandomFramesBackToBack) {
  std::mt19937 rng(7);
  Frames h;
  KissReceiver rx(&h);
  std::vector<Bytes> sent;
  for (int i = 0; i < 200; ++i) {
    Bytes f(1 + rng() % 400);
    for (auto& b : f) b = static_cast<uint8_t>(rng() % 4 == 0 ? 0xC0 + rng() % 2 * 0x1B : rng());
    sent.push_back(f);
    rx.Push(EncodeKiss(KissCommand::Data, f));
  }
  EXPECT_EQ(h.got, sent);
}

TEST(Kiss, BadInputIsDroppedWithoutLosingTheNextFrame) {
  Frames h;
  KissReceiver rx(&h);
  // Parameter and unknown commands, an empty frame, a frame ending in FESC.
  rx.Push(Bytes{0xC0, 0x01, 0x30, 0xC0, 0xC0, 0x0F, 0x41, 0x42, 0xC0, 0xC0, 0x00, 0xC0});
  rx.Push(Bytes{0xC0, 0x00, 0x41, 0xDB, 0xC0});
  EXPECT_TRUE(h.got.empty());
  // 10 kB without FEND: kept to the buffer's size, then the next frame is whole.
  rx.Push(Bytes{0xC0});
  for (int i = 0; i < 10240; ++i) rx.Push(0x00);
  EXPECT_EQ(rx.pending(), KissReceiver::kBufferBytes);
  rx.Push(0xC0);
  ASSERT_EQ(h.got.size(), 1u);
  EXPECT_EQ(h.got[0].size(), KissReceiver::kBufferBytes - 1);
  rx.Push(EncodeKiss(KissCommand::Data, Bytes{1, 2, 3}));
  ASSERT_EQ(h.got.size(), 2u);
  EXPECT_EQ(h.got[1], (Bytes{1, 2, 3}));
}

TEST(Kiss, ParameterFramesInTheirOrder) {
  KissParameters p;
  p.txDelay = 0x130;  // the low byte goes out
  p.persist = 63;
  p.slotTime = 10;
  p.txTail = 2;
  p.fullDuplex = true;
  const auto frames = KissParameterFrames(p);
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[0], (Bytes{0xC0, 1, 0x30, 0xC0}));
  EXPECT_EQ(frames[1], (Bytes{0xC0, 2, 63, 0xC0}));
  EXPECT_EQ(frames[2], (Bytes{0xC0, 3, 10, 0xC0}));
  EXPECT_EQ(frames[3], (Bytes{0xC0, 4, 2, 0xC0}));
  EXPECT_EQ(frames[4], (Bytes{0xC0, 5, 1, 0xC0}));
  p.txDelay = 0xC0;  // a value equal to FEND is escaped
  EXPECT_EQ(KissParameterFrames(p)[0], (Bytes{0xC0, 1, 0xDB, 0xDC, 0xC0}));
}

TEST(Kiss, TncCommandStringsGetTheirControlCharacters) {
  EXPECT_EQ(ExpandTncCommand("KISS ON\\nRESTART\\n"), "KISS ON\nRESTART\n");
  EXPECT_EQ(ExpandTncCommand("^C^C^C"), "\x03\x03\x03");
  EXPECT_EQ(ExpandTncCommand("A\\rB^MC^JD"), "A\rB\rC\nD");
  EXPECT_EQ(ExpandTncCommand(""), "");
  EXPECT_EQ(ExpandTncCommand("^"), "^");
}

// Persist 63 on a clear channel: a draw of 0..63 keys, so about one attempt step in four.
TEST(ChannelAccess, PersistSixtyThreeKeysAboutOneStepInFour) {
  ChannelAccess ca(12345);
  ca.Configure(63, 1);
  int keyed = 0;
  const int steps = 40000;
  for (int i = 0; i < steps; ++i) keyed += ca.Step(false, true);
  EXPECT_NEAR(static_cast<double>(keyed) / steps, 0.25, 0.02);
}

TEST(ChannelAccess, BusyChannelEndsTheAttemptAndFramesWait) {
  ChannelAccess ca(3);
  ca.Configure(255, 10);
  EXPECT_FALSE(ca.Step(false, false));  // nothing waiting
  EXPECT_FALSE(ca.running());
  for (int i = 0; i < 1000; ++i) EXPECT_FALSE(ca.Step(true, true));
  EXPECT_FALSE(ca.running());
  EXPECT_TRUE(ca.Step(false, true));  // persist 255: the first clear step keys
}

TEST(ChannelAccess, ALostDrawWaitsASlot) {
  ChannelAccess ca(99);
  ca.Configure(-1, 5);  // never wins
  EXPECT_FALSE(ca.Step(false, true));
  EXPECT_TRUE(ca.running());
  EXPECT_EQ(ca.countdown(), 5);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(ca.Step(false, true));
  EXPECT_EQ(ca.countdown(), 1);
}

}  // namespace
}  // namespace vexa::packet
