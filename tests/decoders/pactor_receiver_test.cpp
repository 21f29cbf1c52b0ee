#include "decoders/pactor_receiver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "decoders/decoder_chain.h"
#include "decoders/pactor_huffman.h"
#include "decoders/rx_test_util.h"
#include "engine/receive_loop.h"
#include "support/cw_signal.h"
#include "support/pactor_signal.h"
#include "support/text_score.h"

namespace vexa::decoders {
namespace {

using testutil::Drain;

// Feeds whole frames bit by bit (LSB first) into the 100- or 200-baud frame register.
void FeedBits(PactorReceiver& rx, const std::vector<uint8_t>& frame, int baud) {
  for (uint8_t byte : frame) {
    for (int k = 0; k < 8; ++k) {
      if (baud == 200) {
        rx.PutBit200((byte >> k) & 1);
      } else {
        rx.PutBit100((byte >> k) & 1);
      }
    }
  }
}

std::vector<uint8_t> Bytes(std::string_view s) {
  return {s.begin(), s.end()};
}

std::vector<uint8_t> Frame100(std::string_view data, int counter, uint8_t extra = 0) {
  return test::MakePactorFrame(100, Bytes(data), static_cast<uint8_t>((counter & 3) | extra));
}

// --- CRC ---

TEST(PactorCrc, MatchesTheX25CheckValueAndLeavesTheResidue) {
  const std::string check = "123456789";
  EXPECT_EQ(PactorCrc(Bytes(check)), 0x906E);
  EXPECT_EQ(test::X25Crc(Bytes(check)), 0x906E);  // the generator's own bitwise version
  auto frame = Bytes("HELLO, W");
  const uint16_t crc = PactorCrc(frame);
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  EXPECT_EQ(PactorCrc(frame), kPactorCrcResidue);
  frame[3] ^= 0x10;
  EXPECT_NE(PactorCrc(frame), kPactorCrcResidue);
}

// --- Discriminator angle ---

TEST(PactorAngle, HalfTurnBothWaysAndNearItGiveTheirCodes) {
  constexpr double pi = std::numbers::pi;
  // What atan2 gives on the negative real axis, from above and from below.
  ASSERT_EQ(std::atan2(0.0, -1.0), pi);
  ASSERT_EQ(std::atan2(-0.0, -1.0), -pi);
  // The products worked out by hand: pi * 683565275 = 2147483646.189..., half of it
  // 1073741823.094...; both cut toward zero.
  EXPECT_EQ(PactorAngleCode(std::atan2(0.0, -1.0)), 2147483646);
  EXPECT_EQ(PactorAngleCode(std::atan2(-0.0, -1.0)), -2147483646);
  EXPECT_EQ(PactorAngleCode(pi), 2147483646);
  EXPECT_EQ(PactorAngleCode(-pi), -2147483646);
  EXPECT_EQ(PactorAngleCode(std::nextafter(pi, 0.0)), 2147483646);
  EXPECT_EQ(PactorAngleCode(std::nextafter(-pi, 0.0)), -2147483646);
  EXPECT_EQ(PactorAngleCode(pi - 1e-9), 2147483645);  // 2147483645.505...
  EXPECT_EQ(PactorAngleCode(-pi + 1e-9), -2147483645);
  EXPECT_EQ(PactorAngleCode(pi / 2), 1073741823);
  EXPECT_EQ(PactorAngleCode(-pi / 2), -1073741823);
  EXPECT_EQ(PactorAngleCode(1.0), 683565275);
  EXPECT_EQ(PactorAngleCode(-1.0), -683565275);
  EXPECT_EQ(PactorAngleCode(0.0), 0);
  EXPECT_EQ(PactorAngleCode(-0.0), 0);
  EXPECT_EQ(PactorAngleCode(1e-9), 0);  // 0.68 and -0.68 cut toward zero
  EXPECT_EQ(PactorAngleCode(-1e-9), 0);
  EXPECT_EQ(PactorAngleCode(2e-9), 1);
  EXPECT_EQ(PactorAngleCode(-2e-9), -1);
  // The phase step across the negative real axis is small, as it is on the air.
  const auto step = static_cast<int32_t>(static_cast<uint32_t>(PactorAngleCode(pi)) -
                                         static_cast<uint32_t>(PactorAngleCode(-pi)));
  EXPECT_EQ(step, -4);
}

TEST(PactorAngle, EqualsTheCutProductForEveryFilterOutputDirection) {
  // Filter outputs on a grid and on the axes, both signs, small and full scale: the code is the
  // product cut toward zero, which is inside int32 for every atan2 result.
  const int32_t values[] = {
      0,         1,        -1,     2,       -2,         3,          1000,
      -1000,     65535,    -65536, 1 << 20, -(1 << 20), 2147483647, -2147483647 - 1,
      123456789, -98765432};
  for (int32_t y : values) {
    for (int32_t x : values) {
      const double a = std::atan2(static_cast<double>(y), static_cast<double>(x));
      const double product = std::trunc(a * 683565275.0);
      ASSERT_LT(std::fabs(product), 2147483647.0);
      EXPECT_EQ(PactorAngleCode(a), static_cast<int64_t>(product)) << "y=" << y << " x=" << x;
    }
  }
}

TEST(PactorAngle, BeyondAHalfTurnWrapsAndNonFiniteGivesZero) {
  constexpr double pi = std::numbers::pi;
  // 2 pi * 683565275 = 4294967292.378...: 4294967292 modulo 2^32 is -4.
  EXPECT_EQ(PactorAngleCode(2 * pi), -4);
  EXPECT_EQ(PactorAngleCode(-2 * pi), 4);
  EXPECT_EQ(PactorAngleCode(3 * pi), 2147483642);  // 6442450938 - 2^32
  EXPECT_EQ(PactorAngleCode(-3 * pi), -2147483642);
  // 2^31 / 683565275 radians and a little more: the product passes INT32_MAX and wraps.
  EXPECT_EQ(PactorAngleCode(2147483648.0 / 683565275.0), -2147483647 - 1);
  // 683565275000000 = 159154 * 2^32 + 4049972416, and 4049972416 - 2^32 = -244994880.
  EXPECT_EQ(PactorAngleCode(1e6), -244994880);
  EXPECT_EQ(PactorAngleCode(1e300), 0);
  EXPECT_EQ(PactorAngleCode(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(PactorAngleCode(-std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(PactorAngleCode(std::numeric_limits<double>::quiet_NaN()), 0);
}

// --- Huffman ---

// What the walk must give for each code, worked out from the code list alone: the walk stops
// at the first leaf on its way, so a code that has another character's code as a prefix gives
// that character; equal codes give the later character.
int ExpectedDecode(int c) {
  const auto code = PactorHuffmanCode(c);
  int best = -1;
  size_t bestLen = code.size() + 1;
  for (int o = 0; o < 128; ++o) {
    const auto other = PactorHuffmanCode(o);
    if (code.substr(0, other.size()) != other) continue;
    if (other.size() < bestLen || (other.size() == bestLen && o > best)) {
      best = o;
      bestLen = other.size();
    }
  }
  return best;
}

TEST(PactorHuffman, EveryCodeDecodesToTheFirstLeafOnItsPath) {
  std::vector<int> shadowed;
  for (int c = 0; c < 128; ++c) {
    PactorHuffmanWalk walk;
    int got = -1;
    for (char b : PactorHuffmanCode(c)) {
      if (got >= 0) break;
      got = walk.Step(b == '1' ? 1 : 0);
    }
    EXPECT_EQ(got, ExpectedDecode(c)) << c;
    if (got != c) shadowed.push_back(c);
  }
  // 28 shares its code with 90 ("Z"); eight control codes and DEL start with a shorter code
  // ("e" = 011 begins DEL's code) and can never be received.
  EXPECT_EQ(shadowed, (std::vector<int>{22, 23, 24, 25, 27, 28, 29, 31, 127}));
  EXPECT_EQ(ExpectedDecode(28), 90);
}

TEST(PactorHuffman, HandDerivedBitsGiveText) {
  // 'e' = 011, ' ' = 10, 't' = 00000, 'Z' = 1100011001.
  const std::string bits =
      "011"
      "10"
      "00000"
      "1100011001";
  PactorHuffmanWalk walk;
  std::string out;
  for (char b : bits) {
    const int c = walk.Step(b == '1' ? 1 : 0);
    if (c >= 0) out.push_back(static_cast<char>(c));
  }
  EXPECT_EQ(out, "e tZ");
  EXPECT_EQ(walk.node(), 0);
}

TEST(PactorHuffman, MissingBranchLeavesTheWalkInPlace) {
  // Find a node with one child and step the missing way.
  const auto& t = PactorHuffmanTreeNodes();
  int node = -1, missing = 0;
  for (int i = 0; i < kPactorHuffmanMaxNodes && node < 0; ++i) {
    const auto& n = t[static_cast<size_t>(i)];
    if (n.leaf >= 0) continue;
    if ((n.child[0] == 0) != (n.child[1] == 0)) {
      node = i;
      missing = n.child[0] == 0 ? 0 : 1;
    }
  }
  ASSERT_GE(node, 0) << "the code leaves no branch missing";
  // Walk to that node along its path from the root.
  std::vector<int> path;
  for (int cur = node; cur != 0;) {
    for (int i = 0; i < kPactorHuffmanMaxNodes; ++i) {
      const auto& n = t[static_cast<size_t>(i)];
      if (n.child[0] == cur || n.child[1] == cur) {
        path.insert(path.begin(), n.child[1] == cur ? 1 : 0);
        cur = i;
        break;
      }
    }
  }
  PactorHuffmanWalk walk;
  for (int b : path) EXPECT_EQ(walk.Step(b), -1);
  ASSERT_EQ(walk.node(), node);
  EXPECT_EQ(walk.Step(missing), -1);
  EXPECT_EQ(walk.node(), node);
}

// --- Frames at bit level ---

TEST(PactorFrames, PlainFramesShowTheirTextWithoutFillCharacters) {
  engine::RxTextQueue q;
  PactorReceiver rx(&q);
  FeedBits(rx, Frame100("CQ CQ DE", 1), 100);
  FeedBits(rx, Frame100(" K2ABC", 2), 100);  // padded with character 30
  EXPECT_EQ(Drain(q), "CQ CQ DE K2ABC");
}

TEST(PactorFrames, RepeatedFrameIsShownOnce) {
  engine::RxTextQueue q;
  PactorReceiver rx(&q);
  const auto f = Frame100("ABCDEFGH", 1);
  FeedBits(rx, f, 100);
  FeedBits(rx, f, 100);
  FeedBits(rx, f, 100);
  FeedBits(rx, Frame100("IJ", 2), 100);
  EXPECT_EQ(Drain(q), "ABCDEFGHIJ");
}

TEST(PactorFrames, CounterGapMarksAMissedFrame) {
  engine::RxTextQueue q;
  PactorReceiver rx(&q);
  FeedBits(rx, Frame100("ONE ", 1), 100);
  FeedBits(rx, Frame100("THREE", 3), 100);
  EXPECT_EQ(Drain(q), "ONE ___\r\nTHREE");
  // The counter wraps: 3 -> 0 -> 1 is continuous.
  FeedBits(rx, Frame100("0", 0), 100);
  FeedBits(rx, Frame100("1", 1), 100);
  EXPECT_EQ(Drain(q), "01");
  // Same counter with a different CRC is a new frame out of order: marked.
  FeedBits(rx, Frame100("X", 1), 100);
  EXPECT_EQ(Drain(q), "___\r\nX");
}

TEST(PactorFrames, CorruptedFrameIsIgnoredAndItsRepeatAccepted) {
  engine::RxTextQueue q;
  PactorReceiver rx(&q);
  FeedBits(rx, Frame100("GOOD ", 1), 100);
  auto bad = Frame100("SECOND ", 2);
  bad[4] ^= 0x08;
  FeedBits(rx, bad, 100);
  EXPECT_EQ(Drain(q), "GOOD ");
  FeedBits(rx, Frame100("SECOND ", 2), 100);
  EXPECT_EQ(Drain(q), "SECOND ");
}

TEST(PactorFrames, InvertedFrameIsCheckedInvertedAndDecoded) {
  engine::RxTextQueue q;
  PactorReceiver rx(&q);
  const auto inv = test::InvertFrame(Frame100("INVERTED", 1));
  ASSERT_EQ(inv[0], 0xAA);
  ASSERT_EQ(inv[9] & 0x30, 0x30);
  FeedBits(rx, inv, 100);
  EXPECT_EQ(Drain(q), "INVERTED");
}

TEST(PactorFrames, StatusBitsMixedAreNotCheckedAsData) {
  engine::RxTextQueue q;
  PactorReceiver rx(&q);
  // Status bits 4-5 = 01: no data check (and not a callsign: the data are lower case).
  FeedBits(rx, Frame100("abcdefgh", 1, 0x10), 100);
  EXPECT_EQ(Drain(q), "");
}

TEST(PactorFrames, CompressedFramesExpandWithTheHuffmanCode) {
  engine::RxTextQueue q;
  PactorReceiver rx(&q);
  const std::string text = "the quick brown fox, 73";
  for (const auto& f : test::PactorTextFrames(text, 100, PactorHuffmanCode, 1)) {
    FeedBits(rx, f, 100);
  }
  EXPECT_EQ(Drain(q), text);
}

TEST(PactorFrames, LongFramesAt200BaudPlainCompressedAndInverted) {
  engine::RxTextQueue q;
  PactorReceiver rx(&q);
  const std::string text = "PACTOR at 200 baud carries twenty bytes a frame.\r\n";
  for (const auto& f : test::PactorTextFrames(text, 200, nullptr, 1)) FeedBits(rx, f, 200);
  EXPECT_EQ(Drain(q), text);
  for (const auto& f : test::PactorTextFrames(text, 200, PactorHuffmanCode, 0)) {
    FeedBits(rx, test::InvertFrame(f), 200);
  }
  EXPECT_EQ(Drain(q), text);
  // A 200-baud register does not take status bits 01.
  FeedBits(rx, test::MakePactorFrame(200, Bytes("no"), 0x11), 200);
  EXPECT_EQ(Drain(q), "");
}

TEST(PactorFrames, CallsignShownAfterTwoEqualReceptions) {
  engine::RxTextQueue q;
  PactorReceiver rx(&q);
  FeedBits(rx, test::MakePactorCallFrame("K2ABC"), 100);
  EXPECT_EQ(Drain(q), "");
  FeedBits(rx, test::MakePactorCallFrame("K2ABC"), 100);
  EXPECT_EQ(Drain(q), "\r\n<C:K2ABC>");
  // A different call in between restarts the count.
  FeedBits(rx, test::MakePactorCallFrame("DL1ABC"), 100);
  FeedBits(rx, test::MakePactorCallFrame("K2ABC"), 100);
  EXPECT_EQ(Drain(q), "");
  FeedBits(rx, test::MakePactorCallFrame("K2ABC"), 100);
  EXPECT_EQ(Drain(q), "\r\n<C:K2ABC>");
  // Eight characters fill the frame; inverted call frames read the same.
  FeedBits(rx, test::InvertFrame(test::MakePactorCallFrame("OE3ABCDE")), 100);
  FeedBits(rx, test::InvertFrame(test::MakePactorCallFrame("OE3ABCDE")), 100);
  EXPECT_EQ(Drain(q), "\r\n<C:OE3ABCDE>");
}

TEST(PactorFrames, CallsignFrameRejectsOtherCharacters) {
  engine::RxTextQueue q;
  PactorReceiver rx(&q);
  for (const char* bad : {"K2ABZ", "k2abc", ""}) {  // Z and lower case are not call characters
    FeedBits(rx, test::MakePactorCallFrame(bad), 100);
    FeedBits(rx, test::MakePactorCallFrame(bad), 100);
  }
  EXPECT_EQ(Drain(q), "");
}

TEST(PactorFrames, RandomBitsNeverCrashAndRarelyPrint) {
  engine::RxTextQueue q;
  PactorReceiver rx(&q);
  uint32_t x = 12345;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1664525u + 1013904223u;
    rx.PutBit100((x >> 28) & 1);
    rx.PutBit200((x >> 29) & 1);
  }
  EXPECT_LT(q.Size(), 40u);  // an accidental CRC match is 1 in 65536 per header match
}

// --- Through the real front end ---

std::string DecodeAudio(const std::vector<int16_t>& audio, double centreHz) {
  engine::RxTextQueue q;
  PactorReceiver rx(&q);
  rx.SetCarrier(centreHz);
  rx.ProcessBlock(audio);
  return Drain(q);
}

std::vector<test::PactorBurst> Bursts(const std::vector<std::vector<uint8_t>>& frames, int baud) {
  std::vector<test::PactorBurst> out;
  for (const auto& f : frames) out.push_back({baud, f});
  return out;
}

const std::string kText = "CQ CQ DE K2ABC K2ABC\r\nUR RST 599 NAME BOB QTH ALBANY\r\n73 SK\r\n";

class PactorAudio : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(PactorAudio, TextFramesDecodeThroughTheReceiver) {
  const auto [baud, compressed] = GetParam();
  const auto frames =
      test::PactorTextFrames(kText, baud, compressed ? PactorHuffmanCode : nullptr, 1);
  test::PactorAudioParams p;
  const auto audio = test::MakePactorAudio(Bursts(frames, baud), p);
  EXPECT_EQ(DecodeAudio(audio, p.centreHz), kText);
}
INSTANTIATE_TEST_SUITE_P(SpeedsAndCompression, PactorAudio,
                         ::testing::Combine(::testing::Values(100, 200), ::testing::Bool()));

TEST(PactorAudioLink, RepeatsMissesCorruptionInversionAndCallsAsOnTheAir) {
  auto frames = test::PactorTextFrames(kText, 100, PactorHuffmanCode, 1);
  ASSERT_GE(frames.size(), 6u);
  std::vector<test::PactorBurst> b;
  b.push_back({100, test::MakePactorCallFrame("K2ABC")});
  b.push_back({100, test::MakePactorCallFrame("K2ABC")});
  b.push_back({100, frames[0]});
  b.push_back({100, frames[0]});  // repeated: the acknowledgement was lost
  auto corrupt = frames[1];
  corrupt[5] ^= 0x40;
  b.push_back({100, corrupt});  // hit by interference, repeated next cycle
  b.push_back({100, test::InvertFrame(frames[1])});
  b.push_back({100, frames[2]});
  // frames[3] is never heard
  for (size_t i = 4; i < frames.size(); ++i) b.push_back({100, frames[i]});
  test::PactorAudioParams p;
  p.centreHz = 1000;
  const std::string got = DecodeAudio(test::MakePactorAudio(b, p), p.centreHz);

  std::string want = "\r\n<C:K2ABC>";
  const auto payloads = test::PactorFramePayloads(kText, 100, PactorHuffmanCode);
  // Expected text of frames 0..2, a miss mark, then frames 4.. : decode each payload alone.
  auto textOf = [&](size_t i) {
    engine::RxTextQueue q;
    PactorReceiver one(&q);
    FeedBits(one, frames[i], 100);
    std::string s = Drain(q);
    return s.substr(s.find("___\r\n") == 0 ? 5 : 0);  // a fresh receiver may mark counter 0
  };
  for (size_t i = 0; i < 3; ++i) want += textOf(i);
  want += "___\r\n";
  for (size_t i = 4; i < frames.size(); ++i) want += textOf(i);
  EXPECT_EQ(got, want);
  EXPECT_EQ(payloads.size(), frames.size());
}

// A longer traffic sample: many frames, so that the share of frames lost at the start of a burst
// (the bit clock and the peaks settle on the first transitions after a pause) is measured.
std::string LongText() {
  std::string t;
  for (int i = 0; i < 12; ++i) {
    t += "QSO NR ";
    t += std::to_string(100 + i * 7);
    t += " THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789\r\n";
  }
  return t;
}

TEST(PactorAudioLink, ClearAndNoisyChannelsStayWithinMeasuredBounds) {
  // Seeded noise (SNR in 3 kHz). A frame with one wrong bit is lost whole (and marked), so the
  // error rate grows in steps of whole frames. Bounds: measured rate plus a margin.
  struct Case {
    int baud;
    bool compressed;
    bool swapped;  // the other sideband: every frame arrives inverted
    double snrDb;  // 99 = no noise
    double bound;
  };
  const std::string text = LongText();
  // Measured (CER): 100 Bd clear 0.030 plain, 0.041 compressed (3 or 4 of about 100 frames lost
  // at burst onsets); 200 Bd clear 0.000; compressed with noise: 100 Bd 0.039 at +10 dB and 0.029
  // at +3 dB, 200 Bd 0.137 at +10 dB and 0.092 at +3 dB.
  for (const Case c : {Case{100, false, false, 99, 0.05}, Case{100, false, true, 99, 0.05},
                       Case{100, true, false, 99, 0.06}, Case{200, false, false, 99, 0.01},
                       Case{200, true, true, 99, 0.01}, Case{100, true, false, 10, 0.06},
                       Case{100, true, false, 3, 0.06}, Case{200, true, false, 10, 0.18},
                       Case{200, true, false, 3, 0.14}}) {
    const auto frames =
        test::PactorTextFrames(text, c.baud, c.compressed ? PactorHuffmanCode : nullptr, 1);
    test::PactorAudioParams p;
    if (c.swapped) p.shiftHz = -p.shiftHz;
    auto audio = test::MakePactorAudio(Bursts(frames, c.baud), p);
    if (c.snrDb < 90) test::AddNoiseAtSnr(audio, p.amplitude, c.snrDb, 77);
    const std::string got = DecodeAudio(audio, p.centreHz);
    size_t marks = 0;
    for (size_t at = got.find("___"); at != std::string::npos; at = got.find("___", at + 1)) {
      ++marks;
    }
    const double cer = test::CharErrorRate(text, got);
    std::printf("PACTOR %d Bd %s%s %+.0f dB: %zu frames, %zu gaps marked, CER %.3f\n", c.baud,
                c.compressed ? "compressed" : "plain", c.swapped ? " inverted" : "", c.snrDb,
                frames.size(), marks, cer);
    EXPECT_LE(cer, c.bound) << c.baud << " Bd " << c.snrDb << " dB";
  }
}

// --- In the main window's chain: mode 14 dispatch ---

TEST(PactorChain, ModeFourteenDecodesThroughTheReceiveLoop) {
  engine::RxTextQueue q;
  DecoderChain chain(q);
  chain.SetMode(vexa::Mode::Pactor);
  chain.TuneAll(1200);
  engine::ReceiveLoop loop(chain.Table(), 0);
  loop.SetMode(vexa::Mode::Pactor);
  test::PactorAudioParams p;
  p.centreHz = 1200;
  const auto frames = test::PactorTextFrames(kText, 200, PactorHuffmanCode, 1);
  const auto audio = test::MakePactorAudio(Bursts(frames, 200), p);
  for (size_t i = 0; i < audio.size(); i += 2048) {
    loop.ProcessBlock(
        std::span<const int16_t>(audio.data() + i, std::min<size_t>(2048, audio.size() - i)));
  }
  EXPECT_EQ(Drain(q), kText);
}

}  // namespace
}  // namespace vexa::decoders
