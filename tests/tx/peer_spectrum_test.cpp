// The transmitted spectrum set beside a peer's: the same text modulated by Vexa and by fldigi
// (shared test data) must keep its energy as close to the carrier as the peer's does. A PSK
// signal without raised-cosine shaping, or a keyed tone with hard edges, would spread far
// wider.
#include <gtest/gtest.h>

#include <fftw3.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/audio/audio_backend.h"
#include "support/test_paths.h"
#include "tx/cw_tone_modulator.h"
#include "tx/psk_modulator.h"
#include "tx_fakes.h"

namespace vexa::tx {
namespace {

// Fraction of the power between 500 and 1500 Hz that lies more than `halfWidth` Hz away from
// `centre`: averaged periodograms of Hann-windowed 4096-sample frames (bins of 2.7 Hz).
double OutOfBandFraction(const std::vector<int16_t>& s, double centre, double halfWidth) {
  constexpr int kN = 4096;
  std::vector<float> in(kN);
  std::vector<fftwf_complex> out(kN / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(kN, in.data(), out.data(), FFTW_ESTIMATE);
  std::vector<double> power(kN / 2 + 1, 0.0);
  for (size_t at = 0; at + kN <= s.size(); at += kN / 2) {
    for (int i = 0; i < kN; ++i)
      in[static_cast<size_t>(i)] = static_cast<float>(s[at + static_cast<size_t>(i)] *
                                                      (0.5 - 0.5 * std::cos(2 * M_PI * i / kN)));
    fftwf_execute(plan);
    for (size_t k = 0; k < power.size(); ++k)
      power[k] += double(out[k][0]) * out[k][0] + double(out[k][1]) * out[k][1];
  }
  fftwf_destroy_plan(plan);
  double inside = 0, outside = 0;
  for (size_t k = 0; k < power.size(); ++k) {
    const double f = static_cast<double>(k) * 11025 / kN;
    if (f < 500 || f > 1500) continue;
    (std::abs(f - centre) > halfWidth ? outside : inside) += power[k];
  }
  return outside / (inside + outside);
}

std::vector<int16_t> Trim(std::vector<int16_t> s) {  // leading and trailing silence
  size_t a = 0, b = s.size();
  while (a < b && std::abs(s[a]) < 50) ++a;
  while (b > a && std::abs(s[b - 1]) < 50) --b;
  return std::vector<int16_t>(s.begin() + static_cast<long>(a), s.begin() + static_cast<long>(b));
}

std::vector<int16_t> Modulate(Modulator& m, testing::TextHost& host, size_t maxSamples) {
  std::vector<int16_t> out;
  std::vector<int16_t> block(1024);
  while (host.endSample < 0 && out.size() < maxSamples) {
    host.samplesSoFar = static_cast<int64_t>(out.size());
    m.Fill(block);
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

TEST(PeerSpectrum, Psk31IsAsNarrowAsFldigis) {
  VEXA_REQUIRE_TESTDATA("audio/fldigi_bpsk31.wav");
  std::vector<int16_t> peer;
  std::string error;
  ASSERT_TRUE(platform::ReadAudioFile(test::TestDataPath("audio/fldigi_bpsk31.wav"), peer, error));
  const std::string text = test::ReadFileBytes(test::TestDataPath("audio/fldigi_bpsk31.txt"));
  testing::TextHost host;
  host.queue.StartTransmission();
  host.text.Type(text + "\xAE");
  PskModulator m(host, vexa::Mode::Psk31);
  m.Start(ModulatorParams{});
  const auto ours = Trim(Modulate(m, host, 11025 * 120));
  peer = Trim(peer);
  const double oursOut = OutOfBandFraction(ours, 1000, 50);
  const double peerOut = OutOfBandFraction(peer, 1000, 50);
  std::printf("PSK31 power beyond +-50 Hz: vexa %.5f, fldigi %.5f\n", oursOut, peerOut);
  EXPECT_LT(oursOut, 0.01);
  EXPECT_LT(oursOut, 2 * peerOut + 0.001) << "fldigi " << peerOut;
}

TEST(PeerSpectrum, CwKeyingIsAsCleanAsFldigis) {
  VEXA_REQUIRE_TESTDATA("audio/fldigi_cw_20wpm.wav");
  std::vector<int16_t> peer;
  std::string error;
  ASSERT_TRUE(
      platform::ReadAudioFile(test::TestDataPath("audio/fldigi_cw_20wpm.wav"), peer, error));
  const std::string text = test::ReadFileBytes(test::TestDataPath("audio/fldigi_cw_20wpm.txt"));
  std::atomic<int> dot{15};  // 20 WPM
  testing::TextHost host;
  host.text.Type(text + "\xAE");
  CwToneModulator m(host);
  ModulatorParams p;
  p.dotTicks = &dot;
  p.cwPitchHz = 800;
  m.Start(p);
  const auto ours = Trim(Modulate(m, host, 11025 * 120));
  peer = Trim(peer);
  const double oursOut = OutOfBandFraction(ours, 800, 100);
  const double peerOut = OutOfBandFraction(peer, 800, 100);
  std::printf("CW power beyond +-100 Hz: vexa %.5f, fldigi %.5f\n", oursOut, peerOut);
  EXPECT_LT(oursOut, 2 * peerOut + 0.001) << "fldigi " << peerOut << " vexa " << oursOut;
}

}  // namespace
}  // namespace vexa::tx
