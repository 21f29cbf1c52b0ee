// Frames sent through each modem type's own modulator and received by its own demodulator,
// clean and with seeded white noise. Signal: half of full scale; noise: Gaussian over the whole
// 5512 Hz band, RMS given per case. Every window states the lowest count that passes.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/packet_signal.h"

namespace vexa::packet {
namespace {

std::vector<std::string> TestLines() {
  std::vector<std::string> lines;
  for (int i = 0; i < 20; ++i) {
    lines.push_back("N0CALL-" + std::to_string(1 + i % 15) + ">APRS,WIDE1-1:frame " +
                    std::to_string(i) + " the quick brown fox jumps over the lazy dog 0123456789");
  }
  return lines;
}

struct RoundTripCase {
  const char* name;
  int type;
  bool psk;
  DemodChoice demod;
  int tone1, tone2, baud;  // the custom modem's settings
  int clean;               // frames of 20 that must pass without noise
  int at1000;              // ... with noise of RMS 1000 (SNR about 24 dB in 3 kHz)
  int at2000;              // ... RMS 2000 (about 18 dB)
  int at3000;              // ... RMS 3000 (about 14.5 dB); 0 where the design gives up
  int at6000;              // ... RMS 6000 (about 8.5 dB)
};

class ModemRoundTrip : public testing::TestWithParam<RoundTripCase> {};

// The whole transmission: one frame after another with a little silence between them, each with
// its own TX delay of 100 ms and one tail flag.
std::vector<int16_t> Transmission(const PacketModemSettings& s,
                                  const std::vector<std::string>& lines) {
  std::vector<int16_t> sig(300, 0);
  for (const auto& l : lines) {
    auto one = test::ModulateLines(s, {l}, 10, 1);
    sig.insert(sig.end(), one.begin(), one.end());
    sig.insert(sig.end(), 500, 0);
  }
  if (s.type == 5) {
    // Type 5's modulator is set up for 22050 samples/s: played at that rate it is the 2400 bit/s
    // signal its demodulator expects at 11025/s once the rate is halved.
    std::vector<int16_t> half;
    for (size_t i = 0; i + 1 < sig.size(); i += 2) half.push_back((sig[i] + sig[i + 1]) / 2);
    sig = half;
  }
  return sig;
}

int CountDecoded(const PacketModemSettings& s, const std::vector<int16_t>& sig,
                 const std::vector<std::string>& lines) {
  const std::set<std::string> sent(lines.begin(), lines.end());
  std::set<std::string> found;
  for (const auto& got : test::DecodeLines(s, sig)) {
    EXPECT_TRUE(sent.count(got)) << "decoded a frame that was not sent: " << got;
    found.insert(got);
  }
  return static_cast<int>(found.size());
}

TEST_P(ModemRoundTrip, DecodesItsOwnSignalCleanAndInNoise) {
  const RoundTripCase& c = GetParam();
  PacketModemSettings s;
  s.type = c.type;
  s.usePsk = c.psk;
  s.demod = c.demod;
  s.receiveHz = 1500;
  s.customTone1 = c.tone1;
  s.customTone2 = c.tone2;
  s.customBaud = c.baud;
  const auto lines = TestLines();
  const auto sig = Transmission(s, lines);
  ASSERT_FALSE(sig.empty());
  EXPECT_GE(CountDecoded(s, test::AddNoise(sig, 0.5, 0, 1), lines), c.clean);
  EXPECT_GE(CountDecoded(s, test::AddNoise(sig, 0.5, 1000, 11), lines), c.at1000);
  EXPECT_GE(CountDecoded(s, test::AddNoise(sig, 0.5, 2000, 12), lines), c.at2000);
  EXPECT_GE(CountDecoded(s, test::AddNoise(sig, 0.5, 3000, 13), lines), c.at3000);
  EXPECT_GE(CountDecoded(s, test::AddNoise(sig, 0.5, 6000, 14), lines), c.at6000);
}

// The windows sit two frames below what the modems reach with these seeds (clean: all they
// reach). At RMS 3000 the classic zero-crossing receivers give up while the mixer and the
// correlator demodulator still decode most frames at 1200 bit/s; at RMS 6000 only the mixer
// (300 bit/s) and the correlators on 1200/2200 and 1200/2400 Hz do.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    EveryType, ModemRoundTrip,
    testing::Values(
        RoundTripCase{"HF300",        0, false, DemodChoice::Classic, 0, 0, 0, 20, 20, 20, 20, 20},
        RoundTripCase{"Vhf1200",      1, false, DemodChoice::Classic, 0, 0, 0, 19, 16, 10, 2, 0},
        RoundTripCase{"ZeroCross1200",2, false, DemodChoice::Classic, 0, 0, 0, 20, 18, 18, 8, 0},
        RoundTripCase{"Fx469_1200",   3, false, DemodChoice::Classic, 0, 0, 0, 20, 18, 16, 0, 0},
        RoundTripCase{"Fx469_2400",   4, false, DemodChoice::Classic, 0, 0, 0, 20, 18, 17, 0, 0},
        RoundTripCase{"Fx469_2400Psk",4, true,  DemodChoice::Classic, 0, 0, 0, 20, 18, 16, 0, 0},
        RoundTripCase{"Fx469_4800",   5, false, DemodChoice::Classic, 0, 0, 0, 20, 18, 14, 0, 0},
        RoundTripCase{"Fx469_4800Psk",5, true,  DemodChoice::Classic, 0, 0, 0, 20, 18, 15, 0, 0},
        // The custom modem with tones and a rate the 11025/s input can carry.
        RoundTripCase{"Custom1200",   6, false, DemodChoice::Classic, 2000, 3600, 1200, 20, 18, 18, 1, 0},
        RoundTripCase{"Custom600",    6, false, DemodChoice::Classic, 1000, 1800, 600, 20, 18, 17, 0, 0},
        RoundTripCase{"BestHF300",        0, false, DemodChoice::Best, 0, 0, 0, 20, 20, 20, 20, 20},
        RoundTripCase{"BestVhf1200",      1, false, DemodChoice::Best, 0, 0, 0, 20, 20, 18, 18, 17},
        RoundTripCase{"BestZeroCross1200",2, false, DemodChoice::Best, 0, 0, 0, 20, 20, 18, 18, 15},
        RoundTripCase{"BestFx469_1200",   3, false, DemodChoice::Best, 0, 0, 0, 20, 20, 17, 12, 0},
        RoundTripCase{"BestFx469_2400",   4, false, DemodChoice::Best, 0, 0, 0, 20, 20, 13, 0, 0},
        RoundTripCase{"BestFx469_4800",   5, false, DemodChoice::Best, 0, 0, 0, 20, 20, 11, 2, 0},
        RoundTripCase{"BestCustom1200",   6, false, DemodChoice::Best, 2000, 3600, 1200, 20, 20, 18, 18, 0}),
    [](const testing::TestParamInfo<RoundTripCase>& i) { return std::string(i.param.name); });
// clang-format on

}  // namespace
}  // namespace vexa::packet
