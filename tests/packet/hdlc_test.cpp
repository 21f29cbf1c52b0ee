#include "packet/hdlc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "packet/ax25_frame.h"
#include "packet/fcs16.h"
#include "packet/tnc2_text.h"
#include "support/nrzi_runs.h"

namespace vexa::packet {
namespace {

using test::DrainLevels;
using test::FeedRuns;
using test::NrziBits;

struct Collect : FrameSink {
  std::vector<std::vector<uint8_t>> frames;
  void OnFrame(std::span<const uint8_t> f) override { frames.emplace_back(f.begin(), f.end()); }
};

std::vector<uint8_t> UiBytes(const char* tnc2) {
  auto f = ParseTnc2(tnc2);
  EXPECT_TRUE(f) << tnc2;
  return f ? EncodeFrame(*f) : std::vector<uint8_t>{};
}

std::vector<int> FlagBits() {
  return {0, 1, 1, 1, 1, 1, 1, 0};  // 0x7E, least significant bit first
}

TEST(HdlcTransmitter, FlagCountIsBitRateTimesDelayOver800) {
  EXPECT_EQ(FlagCount(1200, 30), 45);  // 300 ms at 1200 bit/s: 360 bits
  EXPECT_EQ(FlagCount(300, 30), 11);   // 11.25 truncated
  EXPECT_EQ(FlagCount(2400, 1), 3);
  EXPECT_EQ(FlagCount(1200, 0), 0);
}

// Hand-derived: one TX-delay flag, the frame's bytes and FCS stuffed, one closing flag and
// one tail flag, all NRZI from level 0.
TEST(HdlcTransmitter, SendsDelayFlagsStuffedFrameClosingAndTailFlags) {
  HdlcTransmitter tx;
  tx.SetFlagCounts(1, 1);
  const std::vector<uint8_t> frame(15, 0xFF);
  ASSERT_TRUE(tx.QueueFrame(frame));
  const auto levels = DrainLevels(tx);
  const auto bits = NrziBits(levels);
  std::vector<int> want = FlagBits();
  int ones = 0;
  auto put = [&](uint8_t b) {
    for (int k = 0; k < 8; ++k) {
      const int bit = (b >> k) & 1;
      want.push_back(bit);
      ones = bit ? ones + 1 : 0;
      if (ones == 5) {
        want.push_back(0);
        ones = 0;
      }
    }
  };
  for (uint8_t b : frame) put(b);
  const uint16_t fcs = Fcs16(frame);
  put(static_cast<uint8_t>(fcs & 0xFF));
  put(static_cast<uint8_t>(fcs >> 8));
  for (int k = 0; k < 2; ++k)
    for (int b : FlagBits()) want.push_back(b);
  EXPECT_EQ(bits, want);
  // 15 bytes of 1s: 120 ones give 24 stuffed zeros.
  EXPECT_EQ(std::count(want.begin() + 8, want.begin() + 8 + 144, 0), 24);
  // The first levels are the flag's: 0 toggles to 1, six 1s keep it, the 0 toggles back.
  EXPECT_EQ(std::vector<int>(levels.begin(), levels.begin() + 8),
            (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 0}));
  // The transmission has been sent: the next level says so.
  EXPECT_EQ(tx.NextLevel(), -1);
  EXPECT_FALSE(tx.Pending());
}

TEST(HdlcTransmitter, NeverSendsSixOnesInsideAFrame) {
  HdlcTransmitter tx;
  tx.SetFlagCounts(2, 2);
  std::vector<uint8_t> frame;
  for (int b = 0; b < 256; ++b) frame.push_back(static_cast<uint8_t>(b));
  ASSERT_TRUE(tx.QueueFrame(frame));
  const auto bits = NrziBits(DrainLevels(tx));
  // Between the 16 leading and the 24 trailing flag bits at most five 1s follow each other.
  int ones = 0, most = 0;
  for (size_t i = 16; i + 24 < bits.size(); ++i) {
    ones = bits[i] ? ones + 1 : 0;
    most = std::max(most, ones);
  }
  EXPECT_EQ(most, 5);
}

TEST(HdlcTransmitter, AppendsAFrameToARunningTransmissionWithoutNewDelay) {
  HdlcTransmitter tx;
  tx.SetFlagCounts(10, 2);
  const auto a = UiBytes("A1>B2:first");
  const auto b = UiBytes("A1>B2:second");
  ASSERT_TRUE(tx.QueueFrame(a));
  const int afterFirst = tx.bitCount();
  (void)tx.NextLevel();  // the transmission is under way
  ASSERT_TRUE(tx.QueueFrame(b));
  const int second = tx.bitCount() - afterFirst;
  // The second frame adds its own bits, its closing and tail flags, and no TX-delay run.
  HdlcTransmitter alone;
  alone.SetFlagCounts(0, 2);
  ASSERT_TRUE(alone.QueueFrame(b));
  EXPECT_EQ(second, alone.bitCount());

  HdlcReceiver rx;
  Collect out;
  rx.set_sink(&out);
  HdlcTransmitter again;
  again.SetFlagCounts(10, 2);
  ASSERT_TRUE(again.QueueFrame(a));
  ASSERT_TRUE(again.QueueFrame(b));
  FeedRuns(DrainLevels(again), rx);
  ASSERT_EQ(out.frames.size(), 2u);
  EXPECT_EQ(out.frames[0], a);
  EXPECT_EQ(out.frames[1], b);
}

TEST(HdlcTransmitter, StopsBuildingAt65486Bits) {
  HdlcTransmitter tx;
  tx.SetFlagCounts(45, 2);
  const std::vector<uint8_t> frame(300, 0x55);
  int queued = 0;
  while (tx.QueueFrame(frame)) ++queued;
  EXPECT_EQ(tx.bitCount(), HdlcTransmitter::kMaxBits);
  EXPECT_EQ(queued, 26);  // (65486 - 360) / (2400 + 16 + 8 + 16) frames fit whole
  // What was built whole still decodes, and the cut frame does not pass.
  HdlcReceiver rx;
  Collect out;
  rx.set_sink(&out);
  FeedRuns(DrainLevels(tx), rx);
  EXPECT_EQ(static_cast<int>(out.frames.size()), queued);
  // After the cut transmission has been sent, a new one starts normally.
  ASSERT_TRUE(tx.QueueFrame(frame));
  EXPECT_EQ(tx.bitCount(), 45 * 8 + 2440);
}

TEST(HdlcReceiver, RoundTripsFramesWithEveryByteValue) {
  HdlcTransmitter tx;
  tx.SetFlagCounts(4, 1);
  Ax25Frame f = *ParseTnc2("N0CALL>APRS,WIDE1-1:");
  for (int b = 0; b < 256; ++b) f.info.push_back(static_cast<uint8_t>(255 - b));
  const auto bytes = EncodeFrame(f);
  ASSERT_TRUE(tx.QueueFrame(bytes));
  HdlcReceiver rx;
  Collect out;
  rx.set_sink(&out);
  FeedRuns(DrainLevels(tx), rx);
  ASSERT_EQ(out.frames.size(), 1u);
  EXPECT_EQ(out.frames[0], bytes);
  EXPECT_EQ(rx.framesPassed(), 1);
  EXPECT_EQ(rx.fcsFailures(), 0);
}

// The same frame with one bit of its line inverted is refused by the FCS (or by the framing).
TEST(HdlcReceiver, ABitErrorNeverPassesTheCheck) {
  HdlcTransmitter tx;
  tx.SetFlagCounts(2, 1);
  const auto bytes = UiBytes("K9PQR>TEST,RELAY:#002 fox jumps");
  ASSERT_TRUE(tx.QueueFrame(bytes));
  const auto levels = DrainLevels(tx);
  for (size_t i = 16; i + 16 < levels.size(); ++i) {
    auto bad = levels;
    for (size_t j = i; j < bad.size(); ++j) bad[j] ^= 1;  // a flipped bit in the NRZI stream
    HdlcReceiver rx;
    Collect out;
    rx.set_sink(&out);
    FeedRuns(bad, rx);
    EXPECT_TRUE(out.frames.empty()) << i;
  }
}

TEST(HdlcReceiver, FourteenByteFramesAndMisalignedFlagsAreIgnored) {
  // 12 bytes + FCS = 14 bytes between flags: not more than 14, never checked.
  HdlcTransmitter tx;
  const std::vector<uint8_t> shortFrame(12, 0x42);
  ASSERT_TRUE(tx.QueueFrame(shortFrame));
  HdlcReceiver rx;
  Collect out;
  rx.set_sink(&out);
  FeedRuns(DrainLevels(tx), rx);
  EXPECT_TRUE(out.frames.empty());
  EXPECT_EQ(rx.fcsFailures(), 0);
  // 13 bytes + FCS = 15: checked and passed.
  const std::vector<uint8_t> frame13(13, 0x42);
  ASSERT_TRUE(tx.QueueFrame(frame13));
  FeedRuns(DrainLevels(tx), rx);
  EXPECT_EQ(out.frames.size(), 1u);
  // Flags only, and a flag after a partial byte: nothing.
  HdlcReceiver r2;
  Collect o2;
  r2.set_sink(&o2);
  for (int i = 0; i < 1000; ++i) {
    r2.Run(1);
    r2.Run(7);
  }
  for (int i = 0; i < 200; ++i) r2.Run(3);
  r2.Run(7);
  EXPECT_TRUE(o2.frames.empty());
  EXPECT_EQ(r2.fcsFailures(), 0);
}

TEST(HdlcReceiver, LongRunAbortsTheFrame) {
  HdlcTransmitter tx;
  tx.SetFlagCounts(2, 1);
  const auto bytes = UiBytes("A1>B2:abort me in the middle");
  ASSERT_TRUE(tx.QueueFrame(bytes));
  auto levels = DrainLevels(tx);
  // Hold the line for 12 bit periods in the middle of the frame.
  const size_t mid = levels.size() / 2;
  levels.insert(levels.begin() + static_cast<long>(mid), 12, levels[mid - 1]);
  HdlcReceiver rx;
  Collect out;
  rx.set_sink(&out);
  FeedRuns(levels, rx);
  EXPECT_TRUE(out.frames.empty());
  // The receiver is ready for the next frame at once.
  tx.SetFlagCounts(1, 1);
  ASSERT_TRUE(tx.QueueFrame(bytes));
  FeedRuns(DrainLevels(tx), rx, levels.back());
  EXPECT_EQ(out.frames.size(), 1u);
}

// 200 kB worth of bits without a flag, random run lengths, then a good frame.
TEST(HdlcReceiver, SurvivesLongRunsWithoutFlagsAndRandomRuns) {
  HdlcReceiver rx;
  Collect out;
  rx.set_sink(&out);
  for (int i = 0; i < 200000 * 8 / 2; ++i) rx.Run(i % 3 == 0 ? 1 : 2);  // no flag at all
  std::mt19937 rng(7);
  for (int i = 0; i < 2000000; ++i) rx.Run(static_cast<int>(rng() % 12) - 1);
  for (int i = -5; i < 20; ++i) rx.Run(i);
  rx.Run(8);
  HdlcTransmitter tx;
  tx.SetFlagCounts(1, 1);
  const auto bytes = UiBytes("A1>B2:after the noise");
  const size_t before = out.frames.size();
  ASSERT_TRUE(tx.QueueFrame(bytes));
  FeedRuns(DrainLevels(tx), rx);
  ASSERT_EQ(out.frames.size(), before + 1);
  EXPECT_EQ(out.frames.back(), bytes);
  // Every frame that passed from the random runs did pass its FCS, which is all the receiver
  // promises; the number stays tiny (about one check in 65536 passes by chance).
  EXPECT_LE(before, 3u);
}

}  // namespace
}  // namespace vexa::packet
