// Audio made by an independent packet program (see the test data README): the frames it sent
// are listed beside each file in monitor form. Each test decodes the file through one modem
// type's receiver and fails below the count reached when it was written; a decoded frame that
// is not in the list fails it too.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/audio/audio_backend.h"
#include "support/packet_signal.h"
#include "support/test_paths.h"

namespace vexa::packet {
namespace {

int DecodePeerFile(const std::string& name, const PacketModemSettings& s) {
  std::vector<int16_t> samples;
  std::string error;
  EXPECT_TRUE(platform::ReadAudioFile(test::TestDataPath("audio/" + name + ".wav"), samples, error))
      << error;
  std::ifstream list(test::TestDataPath("audio/" + name + ".txt"));
  std::set<std::string> want;
  for (std::string line; std::getline(list, line);)
    if (!line.empty()) want.insert(line);
  EXPECT_FALSE(want.empty());
  std::set<std::string> found;
  for (const std::string& l : test::DecodeLines(s, samples)) {
    EXPECT_TRUE(want.count(l)) << "decoded a frame that was not sent: " << l;
    found.insert(l);
  }
  return static_cast<int>(found.size());
}

PacketModemSettings Vhf1200() {
  PacketModemSettings s;
  s.type = 1;
  return s;
}

// The HF modem listens at the centre of the 1600/1800 Hz pair.
PacketModemSettings Hf300() {
  PacketModemSettings s;
  s.type = 0;
  s.receiveHz = 1700;
  return s;
}

TEST(PacketPeerAudio, Vhf1200CleanDecodes94Of100) {
  VEXA_REQUIRE_TESTDATA("audio/ax25_1200_clean.wav");
  EXPECT_GE(DecodePeerFile("ax25_1200_clean", Vhf1200()), 94);
}

TEST(PacketPeerAudio, Hf300CleanDecodesAll20) {
  VEXA_REQUIRE_TESTDATA("audio/ax25_300_clean.wav");
  EXPECT_EQ(DecodePeerFile("ax25_300_clean", Hf300()), 20);
}

TEST(PacketPeerAudio, Hf300At3DbDecodes19Of20) {
  VEXA_REQUIRE_TESTDATA("audio/ax25_300_snr+3.wav");
  EXPECT_GE(DecodePeerFile("ax25_300_snr+3", Hf300()), 19);
}

// The classic zero-crossing receiver hears nothing in the +9 dB file (white noise over the
// whole band moves its crossings); the correlator demodulator takes every frame of all four
// files, where the peer's own decoder reaches 100, 98, 20 and 20.
PacketModemSettings Best(PacketModemSettings s) {
  s.demod = DemodChoice::Best;
  return s;
}

TEST(PacketPeerAudio, BestDemodulatorDecodesEveryFrameOfThe1200Files) {
  VEXA_REQUIRE_TESTDATA("audio/ax25_1200_snr+9.wav");
  EXPECT_EQ(DecodePeerFile("ax25_1200_clean", Best(Vhf1200())), 100);
  EXPECT_EQ(DecodePeerFile("ax25_1200_snr+9", Best(Vhf1200())), 100);
  EXPECT_EQ(DecodePeerFile("ax25_1200_snr+9", Vhf1200()), 0);
}

TEST(PacketPeerAudio, BestDemodulatorDecodesEveryFrameOfThe300Files) {
  VEXA_REQUIRE_TESTDATA("audio/ax25_300_snr+3.wav");
  EXPECT_EQ(DecodePeerFile("ax25_300_clean", Best(Hf300())), 20);
  EXPECT_EQ(DecodePeerFile("ax25_300_snr+3", Best(Hf300())), 20);
}

}  // namespace
}  // namespace vexa::packet
