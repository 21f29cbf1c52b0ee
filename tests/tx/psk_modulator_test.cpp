// The PSK-family sequence counter: preamble, text, postamble, Morse identification and the end,
// checked symbol by symbol against hand-derived sequences.
#include "tx/psk_modulator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tx_fakes.h"

namespace vexa::tx {
namespace {

using testing::TextHost;

constexpr int kOff = 4;

// Records the symbol chosen at each symbol instant; keeps its place across calls.
class SymbolReader {
 public:
  SymbolReader(PskModulator& m, TextHost& host) : m_(m), host_(host) {}
  std::vector<int> Next(size_t n) {
    std::vector<int> out;
    int16_t sample;
    while (out.size() < n) {
      const uint32_t before = m_.generator().symbolClock;
      host_.samplesSoFar = i_++;
      m_.Fill(std::span<int16_t>(&sample, 1));
      if (newSymbol_) out.push_back(m_.generator().curSymbol);
      newSymbol_ = m_.generator().symbolClock < before;
    }
    return out;
  }

 private:
  PskModulator& m_;
  TextHost& host_;
  int64_t i_ = 0;
  bool newSymbol_ = true;
};

std::vector<int> Symbols(PskModulator& m, TextHost& host, size_t n) {
  return SymbolReader(m, host).Next(n);
}

// Bits from BPSK phase codes: no change is 1, a reversal 0.
std::string Bits(const std::vector<int>& s, size_t from, size_t to) {
  std::string b;
  for (size_t k = from; k < to; ++k) b += s[k] == s[k - 1] ? '1' : '0';
  return b;
}

// Varicode bits of a text as sent: each character "00" + its word.
std::string VaricodeBits(const std::string& text) {
  std::string b;
  for (unsigned char c : text) {
    b += "00";
    const uint16_t code = decoders::VaricodeEncode(c);
    for (int i = decoders::VaricodeLength(code) - 1; i >= 0; --i)
      b += ((code >> i) & 1) ? '1' : '0';
  }
  return b;
}

ModulatorParams Params() {
  ModulatorParams p;
  p.myCall = "AB1C";
  p.cwIdUnitSymbols = 2;
  return p;
}

TEST(PskModulator, EmptyWindowGivesCarrierReversalsCrLfThenIdleReversals) {
  TextHost host;
  host.queue.StartTransmission();
  PskModulator m(host, vexa::Mode::Psk31);
  m.Start(Params());
  const auto s = Symbols(m, host, 140);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(s[k], 0) << k;  // 4 symbols of steady carrier
  EXPECT_EQ(Bits(s, 4, 40), std::string(36, '0'));      // 36 reversals
  const std::string crlf = VaricodeBits("\r\n");        // 00 11111 00 11101
  EXPECT_EQ(crlf, "00111110011101");
  EXPECT_EQ(Bits(s, 40, 40 + crlf.size()), crlf);
  EXPECT_EQ(Bits(s, 40 + crlf.size(), 120), std::string(120 - 40 - crlf.size(), '0'));
  EXPECT_EQ(host.echo, "\r\n");
  EXPECT_LT(host.endSample, 0);  // never ends for lack of text
}

TEST(PskModulator, EndMarkSendsThePostambleClearsTheWindowAndEnds) {
  TextHost host;
  host.queue.StartTransmission();
  host.text.Type("e\xAE");
  host.text.AppendAfterCaret("typed later");
  PskModulator m(host, vexa::Mode::Psk31);
  m.Start(Params());
  const auto s = Symbols(m, host, 200);
  const std::string text = VaricodeBits("\r\ne");
  const size_t t0 = 40, p0 = t0 + text.size();
  EXPECT_EQ(Bits(s, t0, p0), text);
  EXPECT_EQ(Bits(s, p0, p0 + 4), "0000");                             // postamble: 4 reversals
  for (size_t k = p0 + 4; k < p0 + 40; ++k) EXPECT_EQ(s[k], 0) << k;  // 36 of steady carrier
  for (size_t k = p0 + 40; k < s.size(); ++k) EXPECT_EQ(s[k], kOff) << k;
  EXPECT_EQ(host.echo, "\r\ne");
  EXPECT_EQ(host.clears, 1);
  EXPECT_EQ(host.text.text(), "");  // text typed after the end mark is discarded
  // The end is marked one symbol after the carrier went off (once the ramp has ended).
  const int64_t symbolSamples = 11025 * 100 / 3125;  // 352.8
  EXPECT_NEAR(host.endSample, static_cast<int64_t>((p0 + 41) * 352.8), symbolSamples / 100 + 2);
}

TEST(PskModulator, EndMarkFirstEndsAtOnceWithoutPreamble) {
  TextHost host;  // no CR LF chunk: the end mark is the very first character
  host.text.Type("\xAE");
  PskModulator m(host, vexa::Mode::Psk31);
  m.Start(Params());
  const auto s = Symbols(m, host, 10);
  for (int v : s) EXPECT_EQ(v, kOff);
  EXPECT_EQ(host.endSample, 0);
  EXPECT_EQ(host.echo, "");
}

// Morse of a text in symbols: on = 0, off = 4; a dot 1 unit on + 1 off, a dash 3 + 1, a letter
// end 2 off, a space (an empty letter) 4 off, so words are 7 units apart.
std::vector<int> MorseSymbols(const std::vector<std::string>& letters, int unit) {
  std::vector<int> out;
  auto add = [&](int sym, int units) {
    out.insert(out.end(), static_cast<size_t>(units * unit), sym);
  };
  for (const auto& l : letters) {
    if (l.empty()) {
      add(kOff, 4);
      continue;
    }
    for (char e : l) {
      add(0, e == '-' ? 3 : 1);
      add(kOff, 1);
    }
    add(kOff, 2);
  }
  return out;
}

TEST(PskModulator, CwIdThenEndSendsPostambleMorsePreambleThenStops) {
  TextHost host;
  host.queue.StartTransmission();
  host.text.Type("K\xA9\xAE");
  PskModulator m(host, vexa::Mode::Psk31);
  ModulatorParams p = Params();
  p.useDe = true;
  m.Start(p);
  const auto s = Symbols(m, host, 760);
  const std::string text = VaricodeBits("\r\nK");
  size_t k = 40 + text.size();
  EXPECT_EQ(Bits(s, 40, k), text);
  EXPECT_EQ(Bits(s, k, k + 4), "0000");
  k += 4;
  for (size_t e = k + 36; k < e; ++k) ASSERT_EQ(s[k], 0) << k;
  ASSERT_EQ(s[k++], kOff);  // carrier off at the end of the postamble
  // "  de AB1C  " in Morse, unit 2 symbols.
  const auto morse =
      MorseSymbols({"", "", "-..", ".", "", ".-", "-...", ".----", "-.-.", "", ""}, 2);
  for (size_t i = 0; i < morse.size(); ++i, ++k) ASSERT_EQ(s[k], morse[i]) << "Morse symbol " << i;
  for (size_t e = k + 4; k < e; ++k) ASSERT_EQ(s[k], 0) << k;  // the new preamble
  EXPECT_EQ(Bits(s, k, k + 36), std::string(36, '0'));
  k += 36;
  // The end mark right after the identification: carrier off at once, no second postamble.
  for (; k < s.size(); ++k) ASSERT_EQ(s[k], kOff) << k;
  EXPECT_GE(host.endSample, 0);
  EXPECT_EQ(host.echo, "\r\nK");
}

TEST(PskModulator, IdentificationWithoutDeAndSkProsign) {
  TextHost host;
  host.text.Type("\xA4\xAE");  // SK before anything else goes out before the preamble
  PskModulator m(host, vexa::Mode::Psk31);
  m.Start(Params());
  const auto s = Symbols(m, host, 140);
  const auto morse = MorseSymbols({"", "", "...-.-", "", ""}, 2);
  size_t k = 0;
  for (; k < morse.size(); ++k) ASSERT_EQ(s[k], morse[k]) << k;
  for (; k < s.size(); ++k) ASSERT_EQ(s[k], kOff) << k;  // then the end mark: off at once
  EXPECT_GE(host.endSample, 0);

  TextHost host2;
  host2.text.Type("\xA9");
  PskModulator m2(host2, vexa::Mode::Psk31);
  m2.Start(Params());  // UseDE off: "  AB1C  "
  const auto s2 = Symbols(m2, host2, 180);
  const auto morse2 = MorseSymbols({"", "", ".-", "-...", ".----", "-.-.", "", ""}, 2);
  for (size_t i = 0; i < morse2.size(); ++i) ASSERT_EQ(s2[i], morse2[i]) << i;
  for (size_t i = morse2.size() + 1; i < morse2.size() + 5; ++i) EXPECT_EQ(s2[i], 0) << i;
}

TEST(PskModulator, TailRequestFinishesTheCharacterThenPostamble) {
  TextHost host;
  host.queue.StartTransmission();
  host.text.Type("qq");
  PskModulator m(host, vexa::Mode::Psk31);
  m.Start(Params());
  SymbolReader reader(m, host);
  auto s = reader.Next(40 + 4);  // preamble done; CR has begun
  m.RequestTail();
  const auto rest = reader.Next(120);
  s.insert(s.end(), rest.begin(), rest.end());
  const std::string cr = VaricodeBits("\r");
  EXPECT_EQ(Bits(s, 40, 40 + cr.size()), cr);
  const size_t p0 = 40 + cr.size();
  EXPECT_EQ(Bits(s, p0, p0 + 4), "0000");
  for (size_t k = p0 + 4; k < p0 + 40; ++k) EXPECT_EQ(s[k], 0) << k;
  EXPECT_EQ(s[p0 + 40], kOff);
  EXPECT_EQ(host.echo, "\r");
  EXPECT_EQ(host.text.text(), "qq");  // nothing more was taken
}

// Rate-1/2, K = 5 convolutional code with generators 0x19 and 0x17 on the inverted bits,
// written out independently of the encoder.
std::vector<int> ConvolutionalSteps(const std::string& bits) {
  std::vector<int> steps;
  unsigned reg = 0;
  for (char b : bits) {
    reg = ((reg << 1) | (b == '1' ? 0u : 1u)) & 31u;
    steps.push_back(2 * (__builtin_popcount(reg & 0x19) & 1) +
                    (__builtin_popcount(reg & 0x17) & 1));
  }
  return steps;
}

TEST(PskModulator, QpskStepsAreTheConvolutionalCodeOfTheVaricodeBits) {
  for (bool reverse : {false, true}) {
    TextHost host;
    host.queue.StartTransmission();
    host.text.Type("QPSK 73");
    PskModulator m(host, vexa::Mode::Qpsk);
    ModulatorParams p = Params();
    p.reverse = reverse;
    m.Start(p);
    const std::string text = VaricodeBits("\r\nQPSK 73");
    const std::string bits = std::string(36, '0') + text + "0000";
    const auto s = Symbols(m, host, 4 + bits.size());
    const auto want = ConvolutionalSteps(bits);
    for (size_t k = 0; k < bits.size(); ++k) {
      const int step = (s[4 + k] - s[3 + k]) & 3;
      ASSERT_EQ(step, reverse ? (-want[k]) & 3 : want[k]) << "bit " << k;
    }
  }
}

TEST(PskModulator, Fsk31VariantsMapThePhaseCodes) {
  TextHost host;
  host.queue.StartTransmission();
  PskModulator tones(host, vexa::Mode::Fsk31);
  tones.Start(Params());
  const auto s = Symbols(tones, host, 80);
  for (size_t k = 4; k < 40; ++k) EXPECT_TRUE(s[k] == 5 || s[k] == 7) << k;
  EXPECT_EQ(Bits(s, 4, 40), std::string(36, '0'));
  const std::string crlf = VaricodeBits("\r\n");
  EXPECT_EQ(Bits(s, 40, 40 + crlf.size()), crlf);

  TextHost host2;
  host2.queue.StartTransmission();
  PskModulator quarter(host2, vexa::Mode::Fsk31b);
  quarter.Start(Params());
  const auto q = Symbols(quarter, host2, 80);
  // Each symbol turns a quarter: +1 while the BPSK phase code is 2, -1 while it is 0. Idle
  // reversals alternate the code, so the position swings back and forth; a run of 1 bits
  // keeps it turning one way.
  for (size_t k = 5; k < 80; ++k) {
    const int d = (q[k] - q[k - 1]) & 3;
    EXPECT_TRUE(d == 1 || d == 3) << k;
  }
  for (size_t k = 6; k < 40; ++k) EXPECT_NE((q[k] - q[k - 1]) & 3, (q[k - 1] - q[k - 2]) & 3);
}

TEST(PskModulator, RetuneTakesEffectAtTheNextSymbolInstant) {
  TextHost host;
  PskModulator m(host, vexa::Mode::Psk31);
  m.Start(Params());
  SymbolReader reader(m, host);
  reader.Next(10);
  const uint16_t before = m.generator().centreStep;
  m.Retune(1500);
  int16_t sample;
  m.Fill(std::span<int16_t>(&sample, 1));
  EXPECT_EQ(m.generator().centreStep, before);  // not inside a symbol
  reader.Next(2);
  EXPECT_EQ(m.generator().centreStep, PhaseStep16(1500, 11025));
}

}  // namespace
}  // namespace vexa::tx
