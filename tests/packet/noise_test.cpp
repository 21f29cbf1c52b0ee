// Noise never makes a frame: an hour of white noise through the receivers counts the frame
// checks that were made and the frames that passed them.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "packet/correlator_demodulator.h"
#include "packet/packet_modem.h"

namespace vexa::packet {
namespace {

struct NoiseRun {
  int checks = 0;  // flags on a byte boundary after more than 14 bytes
  int passed = 0;  // frames that passed the FCS
  int decoded = 0;
};

NoiseRun RunNoise(int type, int seconds, unsigned seed, DemodChoice demod = DemodChoice::Classic) {
  PacketModemSettings s;
  s.type = type;
  s.demod = demod;
  s.receiveHz = 1500;
  NoiseRun r;
  PacketReceiver rx(MakeDemodulator(s), [&](const Ax25Frame&) { ++r.decoded; });
  std::mt19937 rng(seed);
  std::normal_distribution<double> n(0, 5000);
  std::vector<int16_t> block(11025);
  for (int sec = 0; sec < seconds; ++sec) {
    for (auto& x : block) x = static_cast<int16_t>(std::fmax(-32768, std::fmin(32767, n(rng))));
    rx.ProcessSamples(block);
  }
  r.checks = rx.hdlc().fcsFailures() + rx.hdlc().framesPassed();
  r.passed = rx.hdlc().framesPassed();
  if (auto* c = dynamic_cast<CorrelatorDemodulator*>(rx.demodulator())) {
    r.checks += c->checks();  // the correlators' own receivers
    r.passed += c->passed();
  }
  return r;
}

TEST(PacketNoise, AnHourOfNoiseThroughTheVhfReceiverPassesNoFrame) {
  const NoiseRun r = RunNoise(1, 3600, 99);
  // The receiver did look: noise produces flags on a byte boundary now and then (530 with this
  // seed); a chance pass of the 16-bit check would be one in 65536 of them.
  EXPECT_GT(r.checks, 100);
  EXPECT_EQ(r.passed, 0);
  EXPECT_EQ(r.decoded, 0);
}

TEST(PacketNoise, TenMinutesOfNoiseThroughTheHfAndZeroCrossingReceiversPassNoFrame) {
  for (int type : {0, 2}) {
    const NoiseRun r = RunNoise(type, 600, 100 + static_cast<unsigned>(type));
    EXPECT_GT(r.checks, 5) << type;
    EXPECT_EQ(r.passed, 0) << type;
    EXPECT_EQ(r.decoded, 0) << type;
  }
}

// The correlator demodulator runs seven HDLC receivers, so it makes more checks; 20 minutes
// keep the test short (it costs more per sample than the zero-crossing receiver).
TEST(PacketNoise, TwentyMinutesOfNoiseThroughTheCorrelatorDemodulatorPassNoFrame) {
  const NoiseRun r = RunNoise(1, 1200, 77, DemodChoice::Best);
  EXPECT_GT(r.checks, 100);
  EXPECT_EQ(r.passed, 0);
  EXPECT_EQ(r.decoded, 0);
}

}  // namespace
}  // namespace vexa::packet
