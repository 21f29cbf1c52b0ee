// Measurements and automatic frequency control driven by audio: generated signals with known
// tones, and signals made by independent programs (shared test data).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/spectrum.h"
#include "platform/audio/audio_backend.h"
#include "support/test_paths.h"

namespace vexa::engine {
namespace {

constexpr double kRate = 11025.0;

class RecordingHost : public SpectrumHost {
 public:
  void TuneReceive(double hz) override { receive.push_back(hz); }
  void TuneTransmit(double hz) override { transmit.push_back(hz); }
  void SetSecondChannel(double hz, bool) override { second.push_back(hz); }
  void RunPskAfc() override { ++pskAfcCalls; }
  std::vector<double> receive, transmit, second;
  int pskAfcCalls = 0;
};

// Seeded white noise of the given RMS added to a signal.
void AddNoise(std::vector<float>& s, double rms, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> d(0, rms);
  for (auto& x : s) x = static_cast<float>(x + d(rng));
}

// An idling PSK31 signal: phase reversals every symbol with a cosine envelope, which is exactly
// two tones 15.625 Hz either side of the carrier, each of amplitude a / 2. `productsDb` > 0 adds
// the third-order products at +-46.875 Hz that many dB below each tone.
std::vector<float> PskIdle(double carrierHz, double a, size_t n, double productsDb = 0) {
  std::vector<float> s(n);
  const double pb = productsDb > 0 ? a / 2 * std::pow(10.0, -productsDb / 20) : 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    double x = a * std::cos(M_PI * 31.25 * t) * std::cos(2 * M_PI * carrierHz * t);
    x += pb * (std::cos(2 * M_PI * (carrierHz + 46.875) * t) +
               std::cos(2 * M_PI * (carrierHz - 46.875) * t + 0.3));
    s[i] = static_cast<float>(x);
  }
  return s;
}

// RTTY with continuous phase: mark (upper) and space tones 170 Hz apart around centreHz,
// alternating every bit at 45.45 baud, the pattern of an idle "RYRY" line.
std::vector<float> RttyAlternating(double centreHz, double a, size_t n) {
  std::vector<float> s(n);
  double phase = 0;
  const double samplesPerBit = kRate / 45.45;
  for (size_t i = 0; i < n; ++i) {
    const bool mark = static_cast<long>(double(i) / samplesPerBit) % 2 == 0;
    phase += 2 * M_PI * (mark ? centreHz + 85 : centreHz - 85) / kRate;
    s[i] = static_cast<float>(a * std::sin(phase));
  }
  return s;
}

std::vector<float> Tone(double hz, double a, size_t n) {
  std::vector<float> s(n);
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<float>(a * std::sin(2 * M_PI * hz * i / kRate));
  return s;
}

std::vector<float> ReadPeerAudio(const std::string& rel) {
  std::vector<int16_t> pcm;
  std::string error;
  EXPECT_TRUE(platform::ReadAudioFile(test::TestDataPath(rel), pcm, error)) << error;
  return std::vector<float>(pcm.begin(), pcm.end());
}

struct Rig {
  explicit Rig(int mode, SpectrumSettings s = {}) : spectrum(s) {
    EXPECT_EQ(spectrum.Resize(1034, 124), kSpectrumOk);
    spectrum.ChangeMode(static_cast<vexa::Mode>(mode));
    spectrum.SetHost(&host);
  }
  void Tune(double receiveHz, double transmitHz) {
    spectrum.SetReceiveFrequency(receiveHz);
    spectrum.SetTransmitFrequency(transmitHz);
  }
  // Frame number `frame` of a sample stream (consecutive 2048-sample blocks).
  void RunFrame(const std::vector<float>& s, size_t frame) {
    ASSERT_LE((frame + 1) * 2048, s.size());
    ASSERT_EQ(spectrum.Frame(std::span<const float>(s).subspan(frame * 2048, 2048)), kSpectrumOk);
  }
  size_t Frames(const std::vector<float>& s) const { return s.size() / 2048; }
  Spectrum spectrum;
  RecordingHost host;
};

// ---------------------------------------------------------------- PSK31 IMD

TEST(PskImd, CleanTwoToneReadsHighAndThirdOrderProductsReadTheirLevel) {
  auto clean = PskIdle(1000, 8000, 12 * 2048);
  auto products = PskIdle(1000, 8000, 12 * 2048, 20);
  auto products30 = PskIdle(1000, 8000, 12 * 2048, 30);
  for (auto* s : {&clean, &products, &products30}) AddNoise(*s, 2, 5);
  double imd[3];
  int k = 0;
  for (auto* s : {&clean, &products, &products30}) {
    Rig r(9);
    r.Tune(1000, 1000);
    for (size_t f = 0; f < 8; ++f) r.RunFrame(*s, f);
    EXPECT_GT(r.spectrum.pskSnrAverage(), 20);
    imd[k++] = r.spectrum.imdAverage();
    EXPECT_EQ(r.spectrum.ImdText(),
              "IMD: " + std::to_string(std::lround(r.spectrum.imdAverage())) + " db");
  }
  EXPECT_GT(imd[0], 40);  // no products: the floor between the bins
  // The products are measured at the strongest of 3 bins, as the tones are; the bins do not
  // fall on the same fractions of a bin, which costs up to about a dB.
  EXPECT_NEAR(imd[1], 20, 1.5);
  EXPECT_NEAR(imd[2], 30, 1.5);
}

TEST(PskImd, MeasuresAtTheTransmitFrequencyInBothPskModes) {
  auto s = PskIdle(1500, 8000, 8 * 2048, 25);
  AddNoise(s, 2, 6);
  for (int mode : {9, 10}) {
    Rig r(mode);
    r.Tune(1000, 1500);  // the transmit side is where the measured signal sits
    for (size_t f = 0; f < 6; ++f) r.RunFrame(s, f);
    EXPECT_NEAR(r.spectrum.imdAverage(), 25, 1.5) << mode;
  }
  Rig rtty(4);  // other modes do not measure
  rtty.Tune(1500, 1500);
  for (size_t f = 0; f < 6; ++f) rtty.RunFrame(s, f);
  EXPECT_EQ(rtty.spectrum.pskSnrAverage(), 0);
  EXPECT_EQ(rtty.spectrum.ImdText(), "");
}

TEST(PskImd, TextNeedsSnrAndTheEdgeClearsTheAverage) {
  Rig r(9);
  r.Tune(1000, 1000);
  std::vector<float> silence(4 * 2048, 0.0f);
  for (size_t f = 0; f < 4; ++f) r.RunFrame(silence, f);
  EXPECT_EQ(r.spectrum.ImdText(), "");
  EXPECT_EQ(r.spectrum.pskSnrAverage(), 0);
  // A weak signal: SNR average above 20 is needed before the IMD average is fed.
  auto weak = PskIdle(1000, 3, 8 * 2048);
  AddNoise(weak, 6, 8);
  for (size_t f = 0; f < 8; ++f) r.RunFrame(weak, f);
  EXPECT_LE(r.spectrum.pskSnrAverage(), 20);
  EXPECT_EQ(r.spectrum.imdAverage(), 0);
  // Strong: the average fills; then the transmit frequency moves within 10 bins of the low edge
  // (820 Hz is bin 152, 4 bins above the start bin 148) and the average is cleared.
  auto strong = PskIdle(1000, 8000, 8 * 2048);
  for (size_t f = 0; f < 8; ++f) r.RunFrame(strong, f);
  EXPECT_GT(r.spectrum.imdAverage(), 0);
  r.spectrum.SetTransmitFrequency(820);
  r.RunFrame(strong, 0);
  EXPECT_EQ(r.spectrum.imdAverage(), 0);
}

TEST(PskImd, IndependentPeerSignalIsClean) {
  // fldigi's PSK31 (cosine-shaped, no products) at 1000 Hz.
  VEXA_REQUIRE_TESTDATA("audio/fldigi_bpsk31.wav");
  const auto s = ReadPeerAudio("audio/fldigi_bpsk31.wav");
  Rig r(9);
  r.Tune(1000, 1000);
  int shown = 0;
  double best = -100;
  for (size_t f = 0; f < r.Frames(s); ++f) {
    r.RunFrame(s, f);
    if (!r.spectrum.ImdText().empty()) {
      ++shown;
      best = std::max(best, r.spectrum.imdAverage());
    }
  }
  EXPECT_GT(shown, 10);
  EXPECT_GE(best, 25);
}

// ---------------------------------------------------------------- FSK AFC

TEST(FskAfc, PullsAMistunedRttySignalToItsCentre) {
  const auto s = [] {
    auto v = RttyAlternating(1000, 6000, 30 * 2048);
    AddNoise(v, 20, 9);
    return v;
  }();
  for (double start : {1030.0, 968.0, 1045.0}) {
    Rig r(4);
    r.Tune(start, start);
    r.spectrum.SetAfc(true);
    for (size_t f = 0; f < 16; ++f) r.RunFrame(s, f);
    // The AFC works on whole bins (5.38 Hz): it settles within one bin of the centre.
    EXPECT_NEAR(r.spectrum.receiveFrequency(), 1000, 5.38) << start;
    EXPECT_EQ(r.spectrum.transmitFrequency(), r.spectrum.receiveFrequency());
    ASSERT_FALSE(r.host.receive.empty());
    EXPECT_EQ(r.host.receive.back(), r.spectrum.receiveFrequency());
    // Each step halves the remaining distance (to within one bin), so it never overshoots far.
    for (double hz : r.host.receive) EXPECT_LE(std::fabs(hz - 1000), std::fabs(start - 1000));
  }
}

TEST(FskAfc, HeldTransmitFrequencyMovesAloneAndSwitchesGate) {
  auto s = RttyAlternating(1000, 6000, 16 * 2048);
  {
    Rig r(4);
    r.Tune(1030, 1030);
    r.spectrum.SetTransmitFollowsReceive(false);
    r.spectrum.SetAfc(true);
    for (size_t f = 0; f < 12; ++f) r.RunFrame(s, f);
    EXPECT_NEAR(r.spectrum.transmitFrequency(), 1000, 5.38);
    EXPECT_EQ(r.spectrum.receiveFrequency(), 1030);
    EXPECT_TRUE(r.host.receive.empty());
  }
  {
    Rig r(4);  // AFC off: the signal check alone measures but does not tune
    r.Tune(1030, 1030);
    r.spectrum.SetSignalCheck(true);
    for (size_t f = 0; f < 12; ++f) r.RunFrame(s, f);
    EXPECT_TRUE(r.host.receive.empty());
    EXPECT_TRUE(r.host.transmit.empty());
  }
  {
    Rig r(4);  // no AFC while transmitting
    r.Tune(1030, 1030);
    r.spectrum.SetAfc(true);
    r.spectrum.SetTransmitting(true);
    for (size_t f = 0; f < 12; ++f) r.RunFrame(s, f);
    EXPECT_TRUE(r.host.receive.empty());
  }
}

TEST(FskAfc, NoiseAloneDoesNotMoveTheFrequency) {
  std::vector<float> s(16 * 2048, 0.0f);
  AddNoise(s, 300, 10);
  for (int mode : {4, 12, 13, 14}) {
    Rig r(mode);
    r.Tune(1000, 1000);
    r.spectrum.SetAfc(true);
    for (size_t f = 0; f < 16; ++f) r.RunFrame(s, f);
    EXPECT_TRUE(r.host.receive.empty()) << mode;
    // The strongest of 12 noise bins stands a little over the mean of 13: below the AFC's 5.
    EXPECT_LE(r.spectrum.signalAverage(), 5) << mode;
  }
}

TEST(FskAfc, IndependentPeerRttySignalsAreCentred) {
  // minimodem and fldigi RTTY, 170 Hz shift centred on 1000 Hz.
  for (const char* rel : {"audio/rtty_mm_45b_s170.wav", "audio/fldigi_rtty_45b_s170.wav"}) {
    VEXA_REQUIRE_TESTDATA(rel);
    const auto s = ReadPeerAudio(rel);
    Rig r(4);
    r.Tune(1035, 1035);
    r.spectrum.SetAfc(true);
    for (size_t f = 0; f < r.Frames(s); ++f) r.RunFrame(s, f);
    EXPECT_NEAR(r.spectrum.receiveFrequency(), 1000, 5.38) << rel;
  }
}

TEST(SignalCheck, BoxFollowsWeakAndStrongFrames) {
  Rig r(4);
  r.Tune(1000, 1000);
  r.spectrum.SetSignalCheck(true);
  std::vector<float> silence(8 * 2048, 0.0f);
  for (size_t f = 0; f < 3; ++f) r.RunFrame(silence, f);
  EXPECT_FALSE(r.spectrum.signalCheckChecked());
  EXPECT_EQ(r.spectrum.weakFrames(), 3);
  r.RunFrame(silence, 3);  // the fourth weak frame: more than 3
  EXPECT_TRUE(r.spectrum.signalCheckChecked());
  EXPECT_EQ(r.spectrum.weakFrames(), 4);
  r.RunFrame(silence, 4);  // stays checked, the counter does not run on
  EXPECT_EQ(r.spectrum.weakFrames(), 4);
  // A strong signal clears the box once the 4-frame average exceeds 5, taking one off the counter.
  const auto s = RttyAlternating(1000, 6000, 8 * 2048);
  size_t f = 0;
  while (r.spectrum.signalCheckChecked() && f < 4) r.RunFrame(s, f++);
  EXPECT_FALSE(r.spectrum.signalCheckChecked());
  EXPECT_EQ(r.spectrum.weakFrames(), 3);
  r.RunFrame(s, f++);  // strong again: nothing more to clear
  EXPECT_EQ(r.spectrum.weakFrames(), 3);
  EXPECT_GT(r.spectrum.signalAverage(), 6);  // the receive-signal measure sees the signal
  r.RunFrame(silence, 0);                    // one weak frame brings the counter above 3 again
  EXPECT_TRUE(r.spectrum.signalCheckChecked());
  // Without the switch nothing changes.
  Rig off(4);
  off.Tune(1000, 1000);
  for (size_t i = 0; i < 6; ++i) off.RunFrame(silence, i);
  EXPECT_FALSE(off.spectrum.signalCheckChecked());
  EXPECT_EQ(off.spectrum.weakFrames(), 0);
}

// ---------------------------------------------------------------- CW AFC

SpectrumSettings StartAt400() {
  SpectrumSettings s;
  s.startFq = 400;  // start bin 74
  return s;
}

TEST(CwAfc, MovesTheTransmitFrequencyOntoTheStrongestSignal) {
  Rig r(0, StartAt400());
  r.Tune(800, 800);  // the receive bin 149 (800 Hz = 148.6 bins)
  r.spectrum.SetAfc(true);
  auto s = Tone(820, 3000, 2 * 2048);  // 152.3 bins: the peak is 3 bins above
  AddNoise(s, 5, 3);
  r.RunFrame(s, 0);
  ASSERT_EQ(r.host.transmit.size(), 1u);
  EXPECT_DOUBLE_EQ(r.host.transmit[0], 800 + 3 * 5.38);
  EXPECT_EQ(r.spectrum.receiveFrequency(), 800);  // the receive frequency (pitch) stays
  EXPECT_TRUE(r.host.receive.empty());
  r.RunFrame(s, 1);  // the same offset again: no new call
  EXPECT_EQ(r.host.transmit.size(), 1u);
}

TEST(CwAfc, IgnoresWeakSignalsAndNeedsRoomAroundTheReceiveBin) {
  auto weak = Tone(820, 0.5, 2048);
  AddNoise(weak, 2, 4);
  Rig r(0, StartAt400());
  r.Tune(800, 800);
  r.spectrum.SetAfc(true);
  r.RunFrame(weak, 0);
  EXPECT_TRUE(r.host.transmit.empty());
  // With the start at 800 Hz the receive bin of an 800 Hz pitch lies at the left edge: no AFC.
  auto strong = Tone(820, 3000, 2048);
  Rig edge(0);
  edge.Tune(800, 800);
  edge.spectrum.SetAfc(true);
  edge.RunFrame(strong, 0);
  EXPECT_TRUE(edge.host.transmit.empty());
  // And none without the AFC switch.
  Rig off(0, StartAt400());
  off.Tune(800, 800);
  off.RunFrame(strong, 0);
  EXPECT_TRUE(off.host.transmit.empty());
}

TEST(CwAfc, FindsAnIndependentPeerCwSignal) {
  // fldigi CW at 800 Hz, receive pitch set 30 Hz too high.
  VEXA_REQUIRE_TESTDATA("audio/fldigi_cw_20wpm.wav");
  const auto s = ReadPeerAudio("audio/fldigi_cw_20wpm.wav");
  Rig r(0, StartAt400());
  r.Tune(830, 830);
  r.spectrum.SetAfc(true);
  for (size_t f = 0; f < r.Frames(s); ++f) r.RunFrame(s, f);
  ASSERT_FALSE(r.host.transmit.empty());
  EXPECT_NEAR(r.spectrum.transmitFrequency(), 800, 5.38);
}

// ---------------------------------------------------------------- PSK AFC hook

TEST(PskAfcHook, RunsOncePerFrameInThePskAndFsk31ModesWithAfcOn) {
  std::vector<float> silence(2048, 0.0f);
  for (int mode = 0; mode < 18; ++mode) {
    Rig r(mode);
    r.spectrum.SetAfc(true);
    r.RunFrame(silence, 0);
    r.RunFrame(silence, 0);
    const bool expected = mode == 9 || mode == 10 || mode == 11 || mode == 16;
    EXPECT_EQ(r.host.pskAfcCalls, expected ? 2 : 0) << mode;
  }
  Rig off(9);
  off.RunFrame(silence, 0);
  EXPECT_EQ(off.host.pskAfcCalls, 0);
  Rig tx(9);
  tx.spectrum.SetAfc(true);
  tx.spectrum.SetTransmitting(true);
  tx.RunFrame(silence, 0);
  EXPECT_EQ(tx.host.pskAfcCalls, 0);
  Rig none(9);  // no host: nothing to call, no crash
  none.spectrum.SetHost(nullptr);
  none.spectrum.SetAfc(true);
  none.RunFrame(silence, 0);
}

}  // namespace
}  // namespace vexa::engine
