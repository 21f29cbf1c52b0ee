#include "engine/receive_loop.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/rx_text_queue.h"

namespace vexa::engine {
namespace {

class CountingChannel final : public ReceiveChannel {
 public:
  explicit CountingChannel(int rate = 500) : ReceiveChannel(rate, 31.25) {}
  void ProcessDecimated() override { ++steps; }
  void ProcessBlock(std::span<const int16_t> s) override {
    samples += static_cast<int64_t>(s.size());
    ReceiveChannel::ProcessBlock(s);
  }
  void SetCarrier(double hz) override {
    ++carrierSets;
    ReceiveChannel::SetCarrier(hz);
  }
  int64_t samples = 0;
  int steps = 0;
  int carrierSets = 0;
};

class CountingSink final : public SampleSink {
 public:
  void ProcessSamples(std::span<const int16_t> s) override {
    samples += static_cast<int64_t>(s.size());
  }
  int64_t samples = 0;
};

struct Rig {
  CountingChannel cw, psk, second, rtty1, rtty2, mtty, pactor{1500}, hell{750}, fsk;
  CountingSink monitor, active;
  ChannelTable Table() {
    ChannelTable t;
    t.cw = &cw;
    t.psk = &psk;
    t.second = &second;
    t.rttySingle = &rtty1;
    t.rttyTwoTone = &rtty2;
    t.mtty = &mtty;
    t.pactor = &pactor;
    t.hell = &hell;
    t.fsk31 = &fsk;
    t.packetMonitor = &monitor;
    t.packetActive = &active;
    return t;
  }
};

const std::vector<int16_t> kBlock(2048, 100);

TEST(ReceiveLoop, DispatchesEachModeToItsOwnChannel) {
  struct Case {
    int mode;
    bool twoTone;
    CountingChannel Rig::*expect;
  };
  for (Case c :
       {Case{0, false, &Rig::cw}, Case{9, false, &Rig::psk}, Case{10, false, &Rig::psk},
        Case{4, false, &Rig::rtty1}, Case{4, true, &Rig::rtty2}, Case{17, false, &Rig::mtty},
        Case{14, false, &Rig::pactor}, Case{15, false, &Rig::hell}, Case{11, false, &Rig::fsk},
        Case{16, false, &Rig::fsk}}) {
    Rig rig;
    ReceiveLoop loop(rig.Table(), 0);
    loop.SetMode(static_cast<vexa::Mode>(c.mode));
    loop.SetTwoTone(c.twoTone);
    loop.ProcessBlock(kBlock);
    int64_t total = 0;
    for (auto* ch : {&rig.cw, &rig.psk, &rig.second, &rig.rtty1, &rig.rtty2, &rig.mtty, &rig.pactor,
                     &rig.hell, &rig.fsk})
      total += ch->samples;
    EXPECT_EQ((rig.*c.expect).samples, 2048) << c.mode;
    EXPECT_EQ(total, 2048) << "only one channel runs in mode " << c.mode;
  }
}

TEST(ReceiveLoop, PacketModesFeedTheirDemodulatorsAndOtherModesNothing) {
  Rig rig;
  ReceiveLoop loop(rig.Table(), 0);
  loop.SetMode(vexa::Mode::Ax25);
  loop.ProcessBlock(kBlock);
  loop.SetMode(vexa::Mode::Ax25Tx);
  loop.ProcessBlock(kBlock);
  loop.ProcessBlock(kBlock);
  EXPECT_EQ(rig.monitor.samples, 2048);
  EXPECT_EQ(rig.active.samples, 4096);
  for (int m : {1, 2, 3, 5, 6, 7, 8, 18, -1}) {
    loop.SetMode(static_cast<vexa::Mode>(m));
    loop.ProcessBlock(kBlock);
  }
  EXPECT_EQ(rig.psk.samples + rig.cw.samples + rig.monitor.samples, 2048);
  // With packet on an external TNC the monitor demodulator is absent: nothing breaks.
  ChannelTable t = rig.Table();
  t.packetMonitor = nullptr;
  loop.SetChannels(t);
  loop.SetMode(vexa::Mode::Ax25);
  loop.ProcessBlock(kBlock);
}

TEST(ReceiveLoop, SecondChannelRunsBesideTheModeChannelWhilePlaced) {
  Rig rig;
  ReceiveLoop loop(rig.Table(), 0);
  for (int m : {10, 4, 17, 14, 15, 11, 16, 9}) {
    loop.SetMode(static_cast<vexa::Mode>(m));
    loop.PlaceSecondChannel(1500);
    loop.ProcessBlock(kBlock);
  }
  EXPECT_EQ(rig.second.samples, 8 * 2048);
  EXPECT_DOUBLE_EQ(rig.second.carrier, 1500);
  // CW has no second channel.
  loop.SetMode(vexa::Mode::Cw);
  loop.ProcessBlock(kBlock);
  EXPECT_EQ(rig.second.samples, 8 * 2048);
  // Zero and negative frequencies are off.
  for (double off : {0.0, -5.0}) {
    loop.SetMode(vexa::Mode::Qpsk);
    loop.PlaceSecondChannel(off);
    EXPECT_FALSE(loop.secondActive());
    loop.ProcessBlock(kBlock);
    EXPECT_EQ(rig.second.samples, 8 * 2048);
  }
}

TEST(ReceiveLoop, WhileTransmittingBlocksAreOnlyStored) {
  Rig rig;
  ReceiveLoop loop(rig.Table(), 1);
  loop.SetMode(vexa::Mode::Psk31);
  loop.SetTransmitting(true);
  loop.ProcessBlock(kBlock);
  EXPECT_EQ(rig.psk.samples, 0);
  EXPECT_EQ(loop.historyWriteIndex(), 2048);
  EXPECT_EQ(loop.fullBlocks(), 1u);  // the spectrum still sees it
}

TEST(ReceiveLoop, OnlyFullBlocksReachTheSpectrum) {
  Rig rig;
  ReceiveLoop loop(rig.Table(), 0);
  int repaints = 0;
  loop.SetSpectrumHook([&] { ++repaints; });
  std::vector<int16_t> shortBlock(1000, 7);
  loop.ProcessBlock(shortBlock);
  EXPECT_EQ(repaints, 0);
  EXPECT_EQ(rig.psk.samples, 1000);  // but it is demodulated
  std::vector<int16_t> full(2048);
  for (size_t i = 0; i < full.size(); ++i) full[i] = static_cast<int16_t>(i);
  loop.ProcessBlock(full);
  EXPECT_EQ(repaints, 1);
  EXPECT_FLOAT_EQ(loop.spectrumInput()[2047], 2047.0f);
}

TEST(ReceiveLoop, HistoryRingWrapsAtItsCapacity) {
  Rig rig;
  ReceiveLoop loop(rig.Table(), 1);
  EXPECT_EQ(loop.historyCapacity(), 22050);
  for (int b = 0; b < 11; ++b) loop.ProcessBlock(kBlock);
  EXPECT_EQ(loop.historyWriteIndex(), (11 * 2048) % 22050);
  ReceiveLoop none(rig.Table(), 0);
  none.ProcessBlock(kBlock);
  EXPECT_EQ(none.historyCapacity(), 0);
  EXPECT_EQ(none.historyWriteIndex(), 0);
}

TEST(ReceiveLoop, ReplayRunsTheWholeRingThenGoesLive) {
  Rig rig;
  ReceiveLoop loop(rig.Table(), 1);  // 22050 samples
  int32_t freqErr = 0;
  loop.SetSecondFrequencyError(&freqErr);
  std::vector<int64_t> dispatchAt;
  loop.SetYieldHooks({[&] { dispatchAt.push_back(rig.second.samples); }, [] { return false; }});
  loop.SetMode(vexa::Mode::Psk31);
  loop.PlaceSecondChannel(1200);
  EXPECT_EQ(loop.replayIndex(), 0);  // started at the write index, the oldest sample
  loop.ProcessBlock(kBlock);
  // Exactly 22050 replayed samples, then this block live.
  EXPECT_EQ(rig.second.samples, 22050 + 2048);
  EXPECT_EQ(loop.replayIndex(), -1);
  EXPECT_EQ(dispatchAt, (std::vector<int64_t>{8192, 16384}));
}

TEST(ReceiveLoop, ReplayYieldsToAWaitingBlockAndResumesThere) {
  Rig rig;
  ReceiveLoop loop(rig.Table(), 1);
  bool waiting = true;
  loop.SetYieldHooks({[] {}, [&] { return waiting; }});
  loop.SetMode(vexa::Mode::Psk31);
  loop.PlaceSecondChannel(1200);
  loop.ProcessBlock(kBlock);
  EXPECT_EQ(rig.second.samples, 8192);  // stopped at the first yield, no live samples yet
  EXPECT_EQ(loop.replayIndex(), 8192);
  waiting = false;
  loop.ProcessBlock(kBlock);
  // The rest of the ring up to the write index (which moved by one block), then live.
  EXPECT_EQ(loop.replayIndex(), -1);
  EXPECT_EQ(rig.second.samples, 22050 + 2048 + 2048);
}

TEST(ReceiveLoop, ReplayCorrectsTheSecondFrequencyFromTheDecoderError) {
  Rig rig;
  ReceiveLoop loop(rig.Table(), 1);
  int32_t freqErr = 1 << 29;  // one hertz
  loop.SetSecondFrequencyError(&freqErr);
  loop.SetMode(vexa::Mode::Psk31);
  loop.PlaceSecondChannel(1200);
  const int setsBefore = rig.second.carrierSets;
  loop.ProcessBlock(kBlock);
  // At 8192: 1200 - 1 = 1199 (moved > 0.5 Hz), error halved; at 16384: 0.5 Hz is not > 0.5.
  EXPECT_DOUBLE_EQ(loop.secondFrequency(), 1199.0);
  EXPECT_DOUBLE_EQ(rig.second.carrier, 1199.0);
  EXPECT_EQ(freqErr, 1 << 28);
  EXPECT_EQ(rig.second.carrierSets - setsBefore, 1);
}

TEST(ReceiveLoop, RetuningTheSecondChannelDuringTheCatchUpNeitherRestartsNorEndsIt) {
  Rig rig;
  ReceiveLoop loop(rig.Table(), 1);
  // The AFC moves the channel at every yield of the catch-up.
  double hz = 1200;
  std::vector<int32_t> replayAt;
  loop.SetYieldHooks({[&] {
                        replayAt.push_back(loop.replayIndex());
                        loop.RetuneSecondChannel(hz += 3);
                      },
                      [] { return false; }});
  loop.SetMode(vexa::Mode::Psk31);
  loop.PlaceSecondChannel(1200);
  loop.ProcessBlock(kBlock);
  // The replay ran once through the whole ring (no restart) and then went live.
  EXPECT_EQ(replayAt, (std::vector<int32_t>{8192, 16384}));
  EXPECT_EQ(rig.second.samples, 22050 + 2048);
  EXPECT_EQ(loop.replayIndex(), -1);
  EXPECT_DOUBLE_EQ(loop.secondFrequency(), 1206.0);
  EXPECT_DOUBLE_EQ(rig.second.carrier, 1206.0);

  // Retuning while live does not start a catch-up; retuning to 0 switches the channel off.
  loop.RetuneSecondChannel(1300);
  EXPECT_EQ(loop.replayIndex(), -1);
  loop.RetuneSecondChannel(0);
  EXPECT_DOUBLE_EQ(loop.secondFrequency(), 0.0);
  const int64_t before = rig.second.samples;
  loop.ProcessBlock(kBlock);
  EXPECT_EQ(rig.second.samples, before);
}

TEST(ReceiveLoop, WithoutHistoryTheSecondChannelStartsLiveAtOnce) {
  Rig rig;
  ReceiveLoop loop(rig.Table(), 0);
  loop.SetMode(vexa::Mode::Psk31);
  loop.PlaceSecondChannel(1200);
  EXPECT_EQ(loop.replayIndex(), -1);
  loop.ProcessBlock(kBlock);
  EXPECT_EQ(rig.second.samples, 2048);
}

TEST(RxTextQueue, DropsTheOldestCharacterWhenFull) {
  RxTextQueue q;
  for (size_t i = 0; i < RxTextQueue::kCapacity + 3; ++i) q.Put(static_cast<uint8_t>(i & 0xFF));
  EXPECT_EQ(q.Size(), RxTextQueue::kCapacity);
  EXPECT_EQ(q.Dropped(), 3u);
  uint8_t c = 0;
  ASSERT_TRUE(q.Get(c));
  EXPECT_EQ(c, 3);  // characters 0, 1, 2 were dropped
  size_t n = 1;
  uint8_t last = 0;
  while (q.Get(last)) ++n;
  EXPECT_EQ(n, RxTextQueue::kCapacity);
  EXPECT_EQ(last, static_cast<uint8_t>((RxTextQueue::kCapacity + 2) & 0xFF));
  EXPECT_FALSE(q.Get(c));
  q.Put("AB");
  EXPECT_EQ(q.Size(), 2u);
  q.Clear();
  EXPECT_TRUE(q.Empty());
}

}  // namespace
}  // namespace vexa::engine
