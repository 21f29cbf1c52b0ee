#include "decoders/hell_receiver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "decoders/decoder_chain.h"
#include "decoders/hell_image.h"
#include "engine/receive_loop.h"
#include "platform/audio/audio_backend.h"
#include "support/test_paths.h"

namespace vexa::decoders {
namespace {

class PixelLog final : public HellPixelSink {
 public:
  void AddPixel(int grey) override { pixels.push_back(grey); }
  std::vector<int> pixels;
};

// A tone keyed on and off by a function of time (seconds), 11025 Hz.
template <typename On>
std::vector<int16_t> KeyedTone(double seconds, double hz, double amplitude, On on) {
  std::vector<int16_t> s(static_cast<size_t>(seconds * 11025));
  for (size_t n = 0; n < s.size(); ++n) {
    const double t = static_cast<double>(n) / 11025;
    if (on(t)) s[n] = static_cast<int16_t>(amplitude * std::sin(2 * M_PI * hz * t));
  }
  return s;
}

// --- Normalisation ---

TEST(HellReceiverLevels, NarrowSpanMapsPixelsOneToOneAboveBlack) {
  HellReceiver h;
  for (int i = 0; i < 4; ++i) {
    h.blackAvg.Add(10);
    h.whiteAvg.Add(300);  // (300 - 10) / 2 = 145 > 6 * 10, but at most 256: scale 256
  }
  EXPECT_EQ(h.PixelValue(10), 0);
  EXPECT_EQ(h.PixelValue(110), 100);
  EXPECT_EQ(h.PixelValue(265), 255);
  EXPECT_EQ(h.PixelValue(266), 255);   // 256 is shown as 255
  EXPECT_EQ(h.PixelValue(5000), 255);  // brighter than the scale allows
  EXPECT_EQ(h.PixelValue(0), 0);       // darker than black is clamped to 0
}

TEST(HellReceiverLevels, WideSpanScalesHalfTheRangeToFullWhite) {
  HellReceiver h;
  for (int i = 0; i < 4; ++i) {
    h.blackAvg.Add(1000);
    h.whiteAvg.Add(1000 + 2 * 25600);  // span 25600 > 6000: scale 25600, 100 per grey step
  }
  EXPECT_EQ(h.PixelValue(1000 + 100 * 77), 77);
  EXPECT_EQ(h.PixelValue(1000 + 100 * 77 + 99), 77);  // integer division
  EXPECT_EQ(h.PixelValue(1000 + 25600), 255);
}

TEST(HellReceiverLevels, BlackLevelFloorsTheSpanAtSixTimesBlack) {
  HellReceiver h;
  for (int i = 0; i < 4; ++i) {
    h.blackAvg.Add(2560);         // 6 x 2560 = 15360
    h.whiteAvg.Add(2560 + 2000);  // half range 1000 < 15360: scale 15360, 60 per step
  }
  EXPECT_EQ(h.PixelValue(2560 + 600), 10);
  EXPECT_EQ(h.PixelValue(2560 + 2000), 33);  // full tone stays grey: the signal is weak
}

TEST(HellReceiverLevels, AveragesRoundWithHalfTheirSize) {
  HellReceiver h;
  h.blackAvg.Add(5);
  EXPECT_EQ(h.blackAvg.Mean(), 7);  // (5 + 2) / 1
  h.blackAvg.Add(6);
  EXPECT_EQ(h.blackAvg.Mean(), 6);  // (11 + 2) / 2
}

// --- Pixel clock and delay through the real front end ---

TEST(HellReceiverClock, DeliversThreeHundredFiftyPixelsASecond) {
  PixelLog log;
  HellReceiver h(&log);
  h.SetCarrier(1000);
  EXPECT_EQ(h.symbolStep, 30583);
  h.ProcessBlock(std::vector<int16_t>(11025 * 4, 0));
  // 4 s: 4 x 750 decimated steps (minus the decimator's fraction) x 30583 / 65536.
  EXPECT_NEAR(static_cast<double>(log.pixels.size()), 1400.0, 2.0);
}

TEST(HellReceiverClock, ToneStepAppearsAboutSixtyPixelsLate) {
  PixelLog log;
  HellReceiver h(&log);
  h.SetCarrier(1000);
  // Silence for 2 s, then a steady tone: measure where the pixels turn bright.
  const auto audio = KeyedTone(4.0, 1000, 8000, [](double t) { return t >= 2.0; });
  h.ProcessBlock(audio);
  int first = -1;
  for (size_t i = 0; i < log.pixels.size(); ++i) {
    if (log.pixels[i] > 128) {
      first = static_cast<int>(i);
      break;
    }
  }
  ASSERT_GE(first, 0);
  // The tone starts at pixel 700; the delay line holds it back by 59 pixels and the 64-tap filter
  // (32 steps at 750 Hz) by 15 more.
  EXPECT_GE(first, 700 + 59 + 12);
  EXPECT_LE(first, 700 + 59 + 18);
}

// --- The painted strip ---

TEST(HellImagePlacement, PixelsFillTwentyRowColumnsTwiceWithTheCopyOffset) {
  HellImage img;
  // Pixel k (from 1) has row counter k % 20 and column k / 10.
  for (int k = 1; k <= 40; ++k) img.AddPixel(k == 5 ? 255 : 0);
  // k = 5: n = 5, column 0 -> (0, 14), (1, 14), (1, 34), (2, 34); tone is painted black.
  EXPECT_EQ(img.At(0, 14), 0);
  EXPECT_EQ(img.At(1, 14), 0);
  EXPECT_EQ(img.At(1, 34), 0);
  EXPECT_EQ(img.At(2, 34), 0);
  EXPECT_EQ(img.At(0, 13), 255);
  // k = 20: n = 0, column 2 -> row 19.
  EXPECT_EQ(img.rowCounter, 0);
  EXPECT_EQ(img.columnCounter, 4);
  EXPECT_EQ(img.width(), 4 + 3);
  img.set_inverted(true);
  img.AddPixel(200);
  EXPECT_EQ(img.At(4, 18), 200);
}

TEST(HellImagePlacement, WrapsAtTheWindowWidth) {
  HellImage img(8);
  for (int k = 0; k < 200; ++k) img.AddPixel(0);
  EXPECT_EQ(img.width(), 8);
  EXPECT_LT(img.columnCounter, 8);
}

TEST(HellImagePlacement, PgmHeaderAndSize) {
  HellImage img;
  for (int k = 0; k < 100; ++k) img.AddPixel(k % 256);
  const std::string pgm = img.ToPgm();
  const std::string header = "P5\n" + std::to_string(img.width()) + " 40\n255\n";
  ASSERT_EQ(pgm.substr(0, header.size()), header);
  EXPECT_EQ(pgm.size(), header.size() + static_cast<size_t>(img.width()) * 40);
}

// A keyed pattern with the column period (57.14 ms): the tone is on for the first third of every
// column. The strip must show the mark as a horizontal band at fixed rows (no slant).
TEST(HellReceiverAudio, ColumnSynchronousPatternPaintsAStraightBand) {
  HellImage img;
  HellReceiver h(&img);
  h.SetCarrier(1200);
  const double column = 20.0 / 350.0;
  const auto audio =
      KeyedTone(20.0, 1200, 6000, [&](double t) { return std::fmod(t, column) < column / 3; });
  h.ProcessBlock(audio);
  // Ink per row over the last three quarters of the image (the levels have settled).
  const int x0 = img.width() / 4, x1 = img.width() - 3;
  int bandRows = 0, blankRows = 0;
  for (int y = 0; y < 20; ++y) {
    int ink = 0;
    for (int x = x0; x < x1; ++x) ink += img.At(x, y) < 128 ? 1 : 0;
    const double share = static_cast<double>(ink) / (x1 - x0);
    if (share > 0.9) ++bandRows;
    if (share < 0.1) ++blankRows;
  }
  // About a third of the 20 rows are dark in every column and the rest stay light.
  EXPECT_GE(bandRows, 4);
  EXPECT_LE(bandRows, 8);
  EXPECT_GE(blankRows, 10);
}

// --- Feld-Hell made by fldigi ---

TEST(HellReceiverPeer, FldigiFeldHellPaintsReadableText) {
  const std::string rel = "audio/fldigi_feldhell.wav";
  VEXA_REQUIRE_TESTDATA(rel);
  std::vector<int16_t> audio;
  std::string error;
  ASSERT_TRUE(platform::ReadAudioFile(test::TestDataPath(rel), audio, error)) << error;
  HellImage img;
  HellReceiver h(&img);
  h.SetCarrier(1000);
  h.ProcessBlock(audio);
  test::TempDir dir;
  test::WriteFileBytes(dir.File("feldhell.pgm"), img.ToPgm());
  if (const char* keep = std::getenv("VEXA_KEEP_HELL_IMAGE")) {
    test::WriteFileBytes(keep, img.ToPgm());
  }
  // 63 characters at 2.5 a second and 35 screen columns a second: the strip is about 900 wide.
  EXPECT_NEAR(img.width(), 63 / 2.5 * 35 + 35, 60);

  // Words appear as groups of inked columns separated by blank ones; each character cell is 7
  // scan columns = 14 screen columns. fldigi sends idle dots before and after the text (the
  // first ones run into the first word), so the groups are the words plus one.
  std::vector<bool> ink(static_cast<size_t>(img.width()));
  for (int x = 0; x < img.width(); ++x) {
    for (int y = 0; y < img.height(); ++y)
      ink[static_cast<size_t>(x)] = ink[static_cast<size_t>(x)] || img.At(x, y) < 128;
  }
  std::vector<int> widths;
  for (int x = 0; x < img.width();) {
    if (!ink[static_cast<size_t>(x)]) {
      ++x;
      continue;
    }
    const int start = x;
    int gap = 0;
    for (; x < img.width() && gap < 10; ++x) gap = ink[static_cast<size_t>(x)] ? 0 : gap + 1;
    widths.push_back(x - gap - start);
  }
  std::vector<std::string> words;
  {
    std::string text = test::ReadFileBytes(test::TestDataPath("audio/fldigi_feldhell.txt"));
    std::string w;
    for (char c : text + " ") {
      if (c == ' ' || c == '\n' || c == '\r') {
        if (!w.empty()) words.push_back(w);
        w.clear();
      } else {
        w.push_back(c);
      }
    }
  }
  ASSERT_EQ(widths.size(), words.size() + 1);
  for (size_t k = 1; k < words.size(); ++k) {
    double cells = 0;
    for (char c : words[k]) cells += c == '.' ? 0.5 : 1.0;  // a full stop is a narrow glyph
    EXPECT_NEAR((widths[k] + 4) / 14.0, cells, 0.7) << words[k];
  }
  // Nothing is painted before the signal starts (0.5 s of silence).
  for (int x = 0; x < 10; ++x) {
    for (int y = 0; y < img.height(); ++y) EXPECT_EQ(img.At(x, y), 255) << x << "," << y;
  }
}

// --- In the main window's chain: mode 15 dispatch ---

TEST(HellChain, ModeFifteenPaintsThroughTheReceiveLoop) {
  engine::RxTextQueue q;
  DecoderChain chain(q);
  PixelLog log;
  chain.hell().set_sink(&log);
  chain.SetMode(vexa::Mode::Hell);
  chain.TuneAll(1000);
  engine::ReceiveLoop loop(chain.Table(), 0);
  loop.SetMode(vexa::Mode::Hell);
  loop.ProcessBlock(std::vector<int16_t>(2048, 0));
  const size_t painted = log.pixels.size();
  EXPECT_NEAR(static_cast<double>(painted), 2048.0 * 350 / 11025, 1.5);  // 64 or 65 a block
  loop.SetMode(vexa::Mode::Cw);
  loop.ProcessBlock(std::vector<int16_t>(2048, 0));
  EXPECT_EQ(log.pixels.size(), painted);  // not selected: untouched
}

}  // namespace
}  // namespace vexa::decoders
