// The spectrum frame, its picture and the mouse: exact numbers from the definitions of the frame
// (window, unnormalised 2048-point DFT, value = trunc(32768 * (log10(power + 28145.8) -
// 4.4494132)) in single precision) and of the picture geometry.
#include "engine/spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/dsp_tables.h"
#include "engine/receive_channel.h"
#include "engine/receive_loop.h"

namespace vexa::engine {
namespace {

using Block = std::vector<float>;
constexpr double kBin = 11025.0 / 2048.0;
constexpr double kA0 = 0.3635819, kA1 = 0.4891775, kA2 = 0.1365995, kA3 = 0.0106411;

Block Silence() {
  return Block(2048, 0.0f);
}

// A cosine of the given amplitude at an exact bin centre, or at any frequency.
Block Tone(double hz, double amplitude, double phase = 0) {
  Block b(2048);
  for (int n = 0; n < 2048; ++n) {
    b[size_t(n)] = static_cast<float>(amplitude * std::cos(2 * M_PI * hz * n / 11025.0 + phase));
  }
  return b;
}

// The written value formula, applied to a DFT output computed independently.
int32_t ValueOf(double re, double im) {
  const float fr = static_cast<float>(re), fi = static_cast<float>(im);
  const float power = fr * fr + fi * fi + 28145.8f;
  return static_cast<int32_t>(32768.0f * (std::log10(power) - 4.4494132f));
}

class RecordingHost : public SpectrumHost {
 public:
  void TuneReceive(double hz) override { receive.push_back(hz); }
  void TuneTransmit(double hz) override { transmit.push_back(hz); }
  void SetSecondChannel(double hz, bool replay) override {
    second.push_back(hz);
    replays.push_back(replay);
  }
  void RunPskAfc() override { ++pskAfcCalls; }
  std::vector<double> receive, transmit, second;
  std::vector<bool> replays;
  int pskAfcCalls = 0;
};

SpectrumSettings StartAt(int startFq, int zoom = 1, int type = kSpectrumWaterfall) {
  SpectrumSettings s;
  s.startFq = startFq;
  s.zoom = zoom;
  s.type = type;
  return s;
}

// A spectrum in PSK31 (mode 9) on a 1034 x 124 picture: 512 bins, 2 pixels per bin.
struct Fixture {
  explicit Fixture(SpectrumSettings s = {}, int mode = 9, int width = 1034, int height = 124)
      : spectrum(s) {
    EXPECT_EQ(spectrum.Resize(width, height), kSpectrumOk);
    spectrum.ChangeMode(static_cast<vexa::Mode>(mode));
    spectrum.SetHost(&host);
  }
  void Run(const Block& b) { ASSERT_EQ(spectrum.Frame(b), kSpectrumOk); }
  Spectrum spectrum;
  RecordingHost host;
};

// ---------------------------------------------------------------- frame values

TEST(SpectrumFrame, SilentInputGivesZeroInEveryBin) {
  for (int zoom : {0, 1, 3}) {
    for (int start : {0, 800, 5000}) {
      Fixture f(StartAt(start, zoom));
      f.Run(Silence());
      ASSERT_GT(f.spectrum.values().size(), 0u);
      for (int32_t v : f.spectrum.values())
        ASSERT_EQ(v, 0) << "zoom " << zoom << " start " << start;
    }
  }
}

TEST(SpectrumFrame, ConstantInputGivesTheWindowCoefficients) {
  // The periodic four-term window sums to 2048*a0; its DFT is 2048*a0 at bin 0, -1024*a1 at bin
  // 1, 1024*a2 at bin 2, -1024*a3 at bin 3 and exactly zero beyond. A constant c scales that.
  Fixture f(StartAt(0, 0));
  ASSERT_EQ(f.spectrum.startBin(), 0);
  const double c = 100;
  f.Run(Block(2048, static_cast<float>(c)));
  const auto v = f.spectrum.values();
  const double dft[4] = {c * 2048 * kA0, -c * 1024 * kA1, c * 1024 * kA2, -c * 1024 * kA3};
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(v[size_t(k)], ValueOf(dft[k], 0), 1) << k;
  // Worked: 100 * 2048 * a0 = 74461.573; trunc(32768 * (log10(74461.573^2 + 28145.8) -
  // 4.4494132)) = trunc(173488.6) = 173488.
  EXPECT_NEAR(v[0], 173488, 1);
  for (size_t k = 4; k < v.size(); ++k) ASSERT_EQ(v[k], 0) << k;
}

TEST(SpectrumFrame, ToneAtABinCentreFillsSevenBins) {
  // A cosine of amplitude A at bin k0 has the DFT A*N/2 times the window coefficients:
  // k0: A*1024*a0, k0+-1: -A*512*a1, k0+-2: A*512*a2, k0+-3: -A*512*a3; every other bin is 0.
  Fixture f(StartAt(800));  // start bin 148
  const int k0 = 190;
  const double a = 1000;
  f.Run(Tone(k0 * kBin, a));
  const auto v = f.spectrum.values();
  const int i0 = k0 - f.spectrum.startBin();
  const double coef[4] = {a * 1024 * kA0, -a * 512 * kA1, a * 512 * kA2, -a * 512 * kA3};
  for (int d = -3; d <= 3; ++d) {
    EXPECT_NEAR(v[size_t(i0 + d)], ValueOf(coef[std::abs(d)], 0), 1) << d;
  }
  for (size_t i = 0; i < v.size(); ++i) {
    if (std::abs(int(i) - i0) > 3) {
      ASSERT_EQ(v[i], 0) << i;
    }
  }
}

TEST(SpectrumFrame, NoiseMatchesADirectTransform) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> d(-20000, 20000);
  Block b(2048);
  for (auto& x : b) x = static_cast<float>(std::round(d(rng)));
  Fixture f(StartAt(0, 0), 9, 1034);  // 1024 bins from bin 0
  f.Run(b);
  const auto v = f.spectrum.values();
  ASSERT_EQ(v.size(), 1024u);
  // Direct DFT in long double of the windowed input (windowed in float, as the frame does).
  const auto& w = Tables().spectrumWindow;
  std::vector<long double> xw(2048), cs(2048), sn(2048);
  for (int n = 0; n < 2048; ++n) {
    xw[size_t(n)] = static_cast<float>(b[size_t(n)] * w[size_t(n)]);
    cs[size_t(n)] = std::cos(2.0L * M_PIl * n / 2048);
    sn[size_t(n)] = std::sin(2.0L * M_PIl * n / 2048);
  }
  int worst = 0;
  for (int k = 0; k < 1024; ++k) {
    long double re = 0, im = 0;
    for (int n = 0; n < 2048; ++n) {
      const size_t j = size_t((k * n) % 2048);
      re += xw[size_t(n)] * cs[j];
      im -= xw[size_t(n)] * sn[j];
    }
    worst = std::max(worst, std::abs(v[size_t(k)] - ValueOf(double(re), double(im))));
  }
  // 1 unit = 1/32768 decade: float rounding of the FFT may move the truncation by one.
  EXPECT_LE(worst, 1);
}

TEST(SpectrumFrame, BinsAboveHalfTheSampleRateReadEmpty) {
  // 1 pixel per bin from bin 900: bins 900..1024 are real, 1025.. lie above 5512.5 Hz.
  SpectrumSettings s = StartAt(static_cast<int>(900 * kBin) + 1, 0);
  Fixture f(s, 9, 1034);
  ASSERT_EQ(f.spectrum.startBin(), 900);
  Block b = Tone(1000 * kBin, 3000);  // bin 1000; its mirror would sit at 1048
  f.Run(b);
  const auto v = f.spectrum.values();
  EXPECT_GT(v[100], 200000);
  for (size_t i = 125; i < v.size(); ++i) ASSERT_EQ(v[i], 0) << i;
}

TEST(SpectrumFrame, RejectsBadBlocksAndSurvivesOddSamples) {
  Fixture f;
  EXPECT_EQ(f.spectrum.Frame(Block(2047, 1.0f)), kSpectrumBadBlock);
  EXPECT_EQ(f.spectrum.Frame(Block{}), kSpectrumBadBlock);
  Block odd = Tone(1000, 1000);
  odd[10] = std::nanf("");
  odd[11] = INFINITY;
  odd[12] = 1e30f;
  EXPECT_EQ(f.spectrum.Frame(odd), kSpectrumOk);
  for (int32_t v : f.spectrum.values()) ASSERT_GE(v, 0);
}

TEST(SpectrumFrame, RunsOncePerFullBlockOfTheReceiveLoop) {
  ReceiveLoop loop(ChannelTable{}, 0);
  Fixture f;
  EXPECT_FALSE(f.spectrum.FrameIfNewBlock(loop));  // nothing received yet
  std::vector<int16_t> block(2048);
  for (int n = 0; n < 2048; ++n) {
    block[size_t(n)] = static_cast<int16_t>(8000 * std::cos(2 * M_PI * 190 * n / 2048.0));
  }
  loop.ProcessBlock(block);
  EXPECT_TRUE(f.spectrum.FrameIfNewBlock(loop));
  EXPECT_GT(f.spectrum.values()[190 - 148], 200000);
  EXPECT_FALSE(f.spectrum.FrameIfNewBlock(loop));                  // a repaint without a new block
  loop.ProcessBlock(std::span<const int16_t>(block).first(1000));  // short: not a spectrum block
  EXPECT_FALSE(f.spectrum.FrameIfNewBlock(loop));
  loop.ProcessBlock(block);
  EXPECT_TRUE(f.spectrum.FrameIfNewBlock(loop));
}

// ---------------------------------------------------------------- geometry

TEST(SpectrumGeometry, ShownBinsFollowWidthAndZoom) {
  Spectrum s;
  ASSERT_EQ(s.Resize(1034, 100), kSpectrumOk);
  EXPECT_EQ(s.pixelsPerBin(), 2);  // Zoom 1
  EXPECT_EQ(s.shownBins(), 512);
  EXPECT_DOUBLE_EQ(s.shownBins() * double(kSpectrumBinHz), 2756.25);
  SpectrumSettings z0;
  z0.zoom = 0;
  s.ApplySettings(z0);
  EXPECT_EQ(s.pixelsPerBin(), 1);
  EXPECT_EQ(s.shownBins(), 1024);
  SpectrumSettings z3;
  z3.zoom = 3;
  s.ApplySettings(z3);
  EXPECT_EQ(s.pixelsPerBin(), 6);
  EXPECT_EQ(s.shownBins(), 170);  // 1024 / 6
  s.ApplySettings(z0);
  ASSERT_EQ(s.Resize(8000, 100), kSpectrumOk);
  EXPECT_EQ(s.shownBins(), 2048);  // at most 2048
  ASSERT_EQ(s.Resize(10, 100), kSpectrumOk);
  EXPECT_EQ(s.shownBins(), 0);  // all fine-tuning strip
  EXPECT_EQ(s.Resize(0, 100), kSpectrumBadSize);
  EXPECT_EQ(s.Resize(100, -1), kSpectrumBadSize);
  EXPECT_EQ(s.Resize(100000, 100), kSpectrumBadSize);
  EXPECT_EQ(s.width(), 10);  // a refused size leaves the picture as it was
}

TEST(SpectrumGeometry, TinyPicturesAreDrawnSafely) {
  // Sizes with no plot rows, no bins or only the strip; every drawing path must stay inside.
  const Block tone = Tone(1000, 4000);
  for (int type : {kSpectrumLine, kSpectrumScrollingLine, kSpectrumWaterfall}) {
    for (auto [w, h] : {std::pair{1, 1}, {5, 30}, {11, 25}, {12, 24}, {40, 26}, {1034, 25}}) {
      SpectrumSettings st = StartAt(800, 1, type);
      st.showAverage = true;
      st.averageThickLine = true;
      Fixture f(st, 4, w, h);
      f.spectrum.SetSecondFrequency(900);
      f.spectrum.RecordLeftClick((w - 1) * 256, (h - 1) * 256);
      f.spectrum.RecordShiftLeftClick(256, 0);
      f.Run(tone);
      f.Run(tone);
      EXPECT_EQ(f.spectrum.image().size(), size_t(w) * size_t(h));
    }
  }
}

TEST(SpectrumGeometry, StartBinFollowsTheModeAndTheHighTones) {
  SpectrumSettings s;  // StartFq 800, StartFqHitones 1900
  Spectrum sp(s);
  EXPECT_EQ(sp.startBin(), 90);  // before the first mode change
  sp.ChangeMode(vexa::Mode::Psk31);
  EXPECT_EQ(sp.startBin(), 148);  // 800 / 5.3833 = 148.6
  sp.ChangeMode(vexa::Mode::Rtty);
  EXPECT_EQ(sp.startBin(), 148);  // high tones off
  s.useHitones = true;
  sp.ApplySettings(s);
  EXPECT_EQ(sp.startBin(), 148);  // takes effect at the next mode change
  sp.ChangeMode(vexa::Mode::Rtty);
  EXPECT_EQ(sp.startBin(), 352);  // 1900 / 5.3833 = 352.9
  sp.ChangeMode(vexa::Mode::Ax25);
  EXPECT_EQ(sp.startBin(), 352);
  sp.ChangeMode(vexa::Mode::Ax25Tx);
  EXPECT_EQ(sp.startBin(), 148);
  s.startFq = -50;
  sp.ApplySettings(s);
  sp.ChangeMode(vexa::Mode::Psk31);
  EXPECT_EQ(sp.startBin(), 0);
  s.startFq = 1000000;
  sp.ApplySettings(s);
  sp.ChangeMode(vexa::Mode::Psk31);
  EXPECT_EQ(sp.startBin(), 1024);
}

TEST(SpectrumGeometry, CwHasItsOwnZoomAndDisplayType) {
  SpectrumSettings s;
  s.zoom = 1;
  s.type = kSpectrumWaterfall;
  s.cwZoom = 2;
  s.cwType = kSpectrumLine;
  Spectrum sp(s);
  ASSERT_EQ(sp.Resize(1034, 100), kSpectrumOk);
  sp.ChangeMode(vexa::Mode::Cw);
  EXPECT_EQ(sp.pixelsPerBin(), 4);
  EXPECT_EQ(sp.displayType(), kSpectrumLine);
  EXPECT_EQ(sp.shownBins(), 256);
  sp.ChangeMode(vexa::Mode::Rtty);
  EXPECT_EQ(sp.pixelsPerBin(), 2);
  EXPECT_EQ(sp.displayType(), kSpectrumWaterfall);
  s.type = 7;  // unknown types show the waterfall; absurd zooms are limited
  s.zoom = -3;
  sp.ApplySettings(s);
  EXPECT_EQ(sp.displayType(), kSpectrumWaterfall);
  EXPECT_EQ(sp.pixelsPerBin(), 1);
}

// ---------------------------------------------------------------- picture

int PlotRow(int32_t value, int height) {
  // y = bottom - (value - 65000) / unit - 1 with unit = 0x30000 / (height - 24), kept in the plot.
  const int unit = 0x30000 / (height - 24);
  return std::clamp(height - (value - 65000) / unit - 1, 24, height - 1);
}

TEST(SpectrumPicture, WaterfallRowTakesPaletteColoursAndScrolls) {
  Fixture f;  // waterfall, 2 pixels per bin, start bin 148
  const int k0 = 190;
  f.Run(Tone(k0 * kBin, 8000));
  const auto& pal = Spectrum::palette();
  const auto v = f.spectrum.values();
  const int x0 = 2 * (k0 - 148);
  // A strong tone saturates the palette: index min(value / 768, 255) = 255 = RGB(252, 34, 0).
  ASSERT_GT(v[size_t(k0 - 148)] / 768, 255);
  EXPECT_EQ(f.spectrum.Pixel(x0, 25), Argb(252, 34, 0));
  // An empty bin is palette entry 0 (black).
  EXPECT_EQ(f.spectrum.Pixel(2 * 100, 25), pal[0]);
  // Each bin's first pixel is its own colour, the next one halfway to the next bin's value.
  for (int i = 30; i < 50; ++i) {
    const int32_t a = v[size_t(i)], b = v[size_t(i) + 1];
    ASSERT_EQ(f.spectrum.Pixel(2 * i, 25), pal[size_t(std::min(a / 768, 255))]) << i;
    ASSERT_EQ(f.spectrum.Pixel(2 * i + 1, 25), pal[size_t(std::min((a + (b - a) / 2) / 768, 255))])
        << i;
  }
  // Painted at row 24, then moved down: rows 24 and 25 hold the newest line.
  EXPECT_EQ(f.spectrum.Pixel(x0, 24), f.spectrum.Pixel(x0, 25));
  EXPECT_EQ(f.spectrum.Pixel(x0, 26), pal[0]);
  f.Run(Silence());
  EXPECT_EQ(f.spectrum.Pixel(x0, 25), pal[0]);
  EXPECT_EQ(f.spectrum.Pixel(x0, 26), Argb(252, 34, 0));
  f.Run(Silence());
  EXPECT_EQ(f.spectrum.Pixel(x0, 26), pal[0]);
  EXPECT_EQ(f.spectrum.Pixel(x0, 27), Argb(252, 34, 0));
}

TEST(SpectrumPicture, SilentLineLiesOnTheBottomRow) {
  Fixture f(StartAt(800, 1, kSpectrumLine), 9, 1034, 124);
  f.Run(Silence());
  for (int x = 0; x < 1022; x += 7) {
    ASSERT_EQ(f.spectrum.Pixel(x, 123), kSpectrumLineColour) << x;
    ASSERT_EQ(f.spectrum.Pixel(x, 122), kPlotBackground) << x;
  }
}

TEST(SpectrumPicture, LinePeakSitsOnTheScaledRow) {
  Fixture f(StartAt(800, 1, kSpectrumLine), 9, 1034, 224);
  const int k0 = 200;
  f.Run(Tone(k0 * kBin, 300));
  const int i0 = k0 - 148;
  const int32_t peak = f.spectrum.values()[size_t(i0)];
  const int y = PlotRow(peak, 224);
  ASSERT_GT(y, 24);
  ASSERT_LT(y, 223);
  EXPECT_EQ(f.spectrum.Pixel(2 * i0, y), kSpectrumLineColour);
  // Nothing of the line lies above its peak in that column.
  for (int r = 24; r < y; ++r) ASSERT_EQ(f.spectrum.Pixel(2 * i0, r), kPlotBackground) << r;
  // A value above the plot is held at row 24.
  f.Run(Tone(k0 * kBin, 30000));
  EXPECT_EQ(f.spectrum.Pixel(2 * i0, 24), kSpectrumLineColour);
}

TEST(SpectrumPicture, AverageLineThinThickAndInverted) {
  // Silence puts every bin on row h-1. avg += y - avg/16 rises until avg/16 == y exactly, so the
  // average line settles on row y - 1 = h - 2, or inverted on h - (h - 1) + 25 = 26.
  const int h = 124;
  for (int variant = 0; variant < 3; ++variant) {
    SpectrumSettings s = StartAt(800, 1, kSpectrumLine);
    s.showAverage = true;
    s.averageThickLine = variant == 1;
    s.averageInverted = variant == 2;
    Fixture f(s, 9, 1034, h);
    for (int i = 0; i < 400; ++i) f.Run(Silence());
    for (int32_t a : f.spectrum.averages()) ASSERT_EQ(a / 16, h - 1);
    const int x = 300;
    if (variant == 0) {
      EXPECT_EQ(f.spectrum.Pixel(x, h - 2), kAverageLineColour);
      EXPECT_EQ(f.spectrum.Pixel(x, h - 3), kPlotBackground);
      EXPECT_EQ(f.spectrum.Pixel(x, h - 1), kSpectrumLineColour);
    } else if (variant == 1) {
      EXPECT_EQ(f.spectrum.Pixel(x, h - 3), kAverageLineColour);
      EXPECT_EQ(f.spectrum.Pixel(x, h - 2), kAverageLineColour);
      EXPECT_EQ(f.spectrum.Pixel(x, h - 1), kAverageLineColour);
      EXPECT_EQ(f.spectrum.Pixel(x, h - 4), kPlotBackground);
    } else {
      EXPECT_EQ(f.spectrum.Pixel(x, 26), kAverageLineColour);
      EXPECT_EQ(f.spectrum.Pixel(x, 25), kPlotBackground);
      EXPECT_EQ(f.spectrum.Pixel(x, 27), kPlotBackground);
    }
  }
}

TEST(SpectrumPicture, AverageIsKeptOnlyWhenShown) {
  Fixture f(StartAt(800, 1, kSpectrumWaterfall));
  for (int i = 0; i < 5; ++i) f.Run(Silence());
  for (int32_t a : f.spectrum.averages()) ASSERT_EQ(a, 0);
}

TEST(SpectrumPicture, ScrollingLineMovesDownEachFrame) {
  Fixture f(StartAt(800, 1, kSpectrumScrollingLine), 9, 1034, 224);
  const int k0 = 200, i0 = k0 - 148;
  const Block tone = Tone(k0 * kBin, 300);
  f.Run(tone);
  const int y = PlotRow(f.spectrum.values()[size_t(i0)], 224);
  EXPECT_EQ(f.spectrum.Pixel(2 * i0, y + 1), kSpectrumLineColour);
  EXPECT_EQ(f.spectrum.Pixel(2 * i0, y), kPlotBackground);
  f.Run(Silence());  // a silent line is drawn on the bottom row and scrolled out of the picture
  EXPECT_EQ(f.spectrum.Pixel(2 * i0, y + 2), kSpectrumLineColour);
  EXPECT_EQ(f.spectrum.Pixel(2 * i0, y + 1), kPlotBackground);
}

TEST(SpectrumPicture, FineTuningStripCoversTheTenRightmostColumns) {
  Fixture f;
  f.Run(Tone(1000, 5000));
  for (int y : {0, 30, 100}) {
    EXPECT_EQ(f.spectrum.Pixel(1024, y), kStripColour);
    EXPECT_EQ(f.spectrum.Pixel(1033, y), kStripColour);
    EXPECT_NE(f.spectrum.Pixel(1023, y), kStripColour);
  }
  EXPECT_EQ(f.spectrum.Pixel(1030, 62), kStripCentreColour);
  EXPECT_FALSE(f.spectrum.InFineTuningStrip(1023));
  EXPECT_TRUE(f.spectrum.InFineTuningStrip(1024));
  EXPECT_TRUE(f.spectrum.InFineTuningStrip(1033));
  EXPECT_FALSE(f.spectrum.InFineTuningStrip(1034));
  EXPECT_EQ(f.spectrum.Pixel(1034, 0), 0u);  // outside the picture
}

// ---------------------------------------------------------------- markers and scale

// Columns holding `colour` on row y, within [from, to].
std::vector<int> ColumnsOf(const Spectrum& s, uint32_t colour, int y, int from = 0, int to = 1023) {
  std::vector<int> xs;
  for (int x = from; x <= to; ++x) {
    if (s.Pixel(x, y) == colour) xs.push_back(x);
  }
  return xs;
}

TEST(SpectrumMarkers, ReceiveTriangleAtTheComputedColumn) {
  Fixture f;
  f.spectrum.SetReceiveFrequency(1000);
  f.spectrum.SetTransmitFrequency(1000);
  f.Run(Silence());
  // x = round((1000 - 148 * 5.3833) * 2 / 5.3833) = round(75.52) = 76.
  EXPECT_EQ(f.spectrum.MarkerX(1000), 76);
  // 7 rows high (17..23), 6 wide at its base (73..78), tip on row 23.
  EXPECT_EQ(ColumnsOf(f.spectrum, kReceiveMarkerColour, 17),
            (std::vector<int>{73, 74, 75, 76, 77, 78}));
  EXPECT_EQ(ColumnsOf(f.spectrum, kReceiveMarkerColour, 23), (std::vector<int>{76}));
  EXPECT_TRUE(ColumnsOf(f.spectrum, kReceiveMarkerColour, 16).empty());
  // No transmit marker while both frequencies are the same, and no second channel marker.
  for (int y = 17; y < 24; ++y) {
    ASSERT_TRUE(ColumnsOf(f.spectrum, kTransmitMarkerColour, y).empty()) << y;
    ASSERT_TRUE(ColumnsOf(f.spectrum, kSecondMarkerColour, y).empty()) << y;
  }
}

TEST(SpectrumMarkers, TonePairsInTheFskModesAndASeparateTransmitMarker) {
  Fixture f(SpectrumSettings{}, 4);
  f.spectrum.SetReceiveFrequency(1000);
  f.spectrum.SetTransmitFrequency(1200);
  f.Run(Silence());
  // Tones at 910 and 1090: columns round(42.08) = 42 and round(108.96) = 109.
  EXPECT_EQ(ColumnsOf(f.spectrum, kReceiveMarkerColour, 23), (std::vector<int>{42, 76, 109}));
  // The transmit marker is smaller (5 rows, 4 wide) with its own pair at 1110 and 1290 Hz:
  // 1200 -> round(149.82) = 150, 1110 -> round(116.39) = 116, 1290 -> round(183.26) = 183.
  EXPECT_EQ(f.spectrum.MarkerX(1110), 116);
  EXPECT_EQ(f.spectrum.MarkerX(1290), 183);
  EXPECT_EQ(ColumnsOf(f.spectrum, kTransmitMarkerColour, 23, 110, 190),
            (std::vector<int>{116, 150, 183}));
  EXPECT_EQ(ColumnsOf(f.spectrum, kTransmitMarkerColour, 19, 145, 155),
            (std::vector<int>{148, 149, 150, 151}));
  EXPECT_TRUE(ColumnsOf(f.spectrum, kTransmitMarkerColour, 18, 145, 155).empty());
  // In PSK31 there are no tone pairs.
  f.spectrum.ChangeMode(vexa::Mode::Psk31);
  f.Run(Silence());
  EXPECT_EQ(ColumnsOf(f.spectrum, kReceiveMarkerColour, 23), (std::vector<int>{76}));
}

TEST(SpectrumMarkers, SecondChannelIsASmallGreyTriangle) {
  Fixture f;
  f.spectrum.SetSecondFrequency(1200);
  f.Run(Silence());
  EXPECT_EQ(ColumnsOf(f.spectrum, kSecondMarkerColour, 23), (std::vector<int>{150}));
  EXPECT_EQ(ColumnsOf(f.spectrum, kSecondMarkerColour, 19).size(), 4u);
  f.spectrum.SetSecondFrequency(0);
  f.Run(Silence());
  EXPECT_TRUE(ColumnsOf(f.spectrum, kSecondMarkerColour, 23).empty());
}

std::vector<std::string> Texts(const std::vector<ScaleLabel>& labels) {
  std::vector<std::string> t;
  for (const auto& l : labels) t.push_back(l.text);
  return t;
}

TEST(SpectrumScale, AudioLabelsEvery500HzAndTicksEvery100Hz) {
  Fixture f;  // 796.7 .. 3553.0 Hz shown
  f.Run(Silence());
  EXPECT_EQ(Texts(f.spectrum.labels()),
            (std::vector<std::string>{"1000", "1500", "2000", "2500", "3000", "3500"}));
  for (const auto& l : f.spectrum.labels()) EXPECT_EQ(l.x, f.spectrum.MarkerX(std::stoi(l.text)));
  // Ticks every 100 Hz on the last rows: 800 Hz at column 1 (minor), 1000 Hz at 76 (major).
  EXPECT_EQ(f.spectrum.Pixel(1, 23), kScaleTickColour);
  EXPECT_EQ(f.spectrum.Pixel(1, 19), kScaleBackground);
  EXPECT_EQ(f.spectrum.MarkerX(900), 38);
  EXPECT_EQ(f.spectrum.Pixel(38, 20), kScaleTickColour);
  EXPECT_EQ(f.spectrum.Pixel(39, 20), kScaleBackground);
}

TEST(SpectrumScale, StepsShrinkWithZoom) {
  Fixture f4(StartAt(800, 2));  // 4 pixels per bin: labels every 200 Hz
  f4.Run(Silence());
  EXPECT_EQ(Texts(f4.spectrum.labels()).front(), "800");
  EXPECT_EQ(Texts(f4.spectrum.labels())[1], "1000");
  Fixture f6(StartAt(800, 3));  // 6 pixels per bin: labels every 100 Hz, ticks every 50 Hz
  f6.Run(Silence());
  EXPECT_EQ(Texts(f6.spectrum.labels()).front(), "800");
  EXPECT_EQ(Texts(f6.spectrum.labels())[1], "900");
  const int x850 = f6.spectrum.MarkerX(850);
  EXPECT_EQ(f6.spectrum.Pixel(x850, 23), kScaleTickColour);
}

TEST(SpectrumScale, RadioLabelsFollowTheSideband) {
  Fixture f;
  f.spectrum.SetRadioFrequency(14070000, false);  // upper sideband: 14070796.7 .. 14073553.0
  f.Run(Silence());
  EXPECT_EQ(
      Texts(f.spectrum.labels()),
      (std::vector<std::string>{"14071.0", "14071.5", "14072.0", "14072.5", "14073.0", "14073.5"}));
  EXPECT_EQ(f.spectrum.labels()[0].x, f.spectrum.MarkerX(1000));
  f.spectrum.SetRadioFrequency(7040000, true);  // lower: radio falls as audio rises
  f.Run(Silence());
  const auto& l = f.spectrum.labels();
  ASSERT_EQ(Texts(l),
            (std::vector<std::string>{"7039.0", "7038.5", "7038.0", "7037.5", "7037.0", "7036.5"}));
  EXPECT_EQ(l[0].x, 76);                   // 7039.0 kHz is 1000 Hz of audio
  f.spectrum.SetRadioFrequency(0, false);  // unknown again: audio labels
  f.Run(Silence());
  EXPECT_EQ(Texts(f.spectrum.labels()).front(), "1000");
}

// ---------------------------------------------------------------- clicks

TEST(SpectrumClicks, LeftClickTunesReceiveAndTransmitTogether) {
  Fixture f;
  f.spectrum.RecordLeftClick(76 * 256, 50 * 256);
  f.Run(Silence());
  // f = x * bin / (2 * 256) + bin * 148 = (38 + 148) * bin = 1001.2939453125 Hz.
  ASSERT_EQ(f.host.receive, (std::vector<double>{186 * kBin}));
  ASSERT_EQ(f.host.transmit, (std::vector<double>{186 * kBin}));
  EXPECT_EQ(f.spectrum.receiveFrequency(), 186 * kBin);
  // Consumed: the next frame changes nothing.
  f.Run(Silence());
  EXPECT_EQ(f.host.receive.size(), 1u);
  // Held separately, the transmit frequency stays.
  f.spectrum.SetTransmitFollowsReceive(false);
  f.spectrum.RecordLeftClick(300 * 256 + 128, 0);  // (150.25 + 148) * bin = 1605.5 Hz
  f.Run(Silence());
  EXPECT_EQ(f.host.receive.back(), 298.25 * kBin);
  EXPECT_EQ(f.host.transmit.size(), 1u);
  EXPECT_EQ(f.spectrum.transmitFrequency(), 186 * kBin);
}

TEST(SpectrumClicks, ReceiveClicksOutsideTheRangeAreIgnored) {
  Fixture f;
  f.spectrum.RecordLeftClick(0, 0);  // 796.7 Hz: below StartFq 800
  f.Run(Silence());
  f.spectrum.RecordLeftClick(1 * 256, 0);  // 799.4 Hz
  f.Run(Silence());
  EXPECT_TRUE(f.host.receive.empty());
  f.spectrum.RecordLeftClick(2 * 256, 0);  // 149 bins = 802.1 Hz
  f.Run(Silence());
  EXPECT_EQ(f.host.receive, (std::vector<double>{149 * kBin}));
  // 3000 Hz lies at (3000/bin - 148) * 2 = 818.56 pixels; above it nothing is applied.
  f.spectrum.RecordLeftClick(819 * 256, 0);
  f.Run(Silence());
  f.spectrum.RecordRightClick(900 * 256, 0);
  f.Run(Silence());
  EXPECT_EQ(f.host.receive.size(), 1u);
  EXPECT_EQ(f.host.transmit.size(), 1u);
  f.spectrum.RecordLeftClick(818 * 256, 0);  // 557 bins = 2998.5 Hz
  f.Run(Silence());
  EXPECT_EQ(f.host.receive.back(), 557 * kBin);
}

TEST(SpectrumClicks, RightClickNeedsMoreThanATenthOfAHertz) {
  Fixture f;
  f.spectrum.RecordRightClick(100 * 256, 0);  // (50 + 148) bins = 1065.9 Hz
  f.Run(Silence());
  EXPECT_EQ(f.host.transmit, (std::vector<double>{198 * kBin}));
  EXPECT_TRUE(f.host.receive.empty());
  // One 1/256 pixel is bin / 512 = 0.0105 Hz: 9 of them stay within 0.1 Hz, 10 go beyond.
  f.spectrum.RecordRightClick(100 * 256 + 9, 0);
  f.Run(Silence());
  EXPECT_EQ(f.host.transmit.size(), 1u);
  f.spectrum.RecordRightClick(100 * 256 + 10, 0);
  f.Run(Silence());
  ASSERT_EQ(f.host.transmit.size(), 2u);
  EXPECT_DOUBLE_EQ(f.host.transmit[1], 198 * kBin + 10 * kBin / 512);
}

TEST(SpectrumClicks, InCwTheLeftClickSetsTheTransmitFrequency) {
  Fixture f(SpectrumSettings{}, 0);
  f.spectrum.SetReceiveFrequency(800);
  f.spectrum.SetTransmitFrequency(800);
  f.spectrum.RecordLeftClick(100 * 256, 0);
  f.Run(Silence());
  EXPECT_TRUE(f.host.receive.empty());
  EXPECT_EQ(f.host.transmit, (std::vector<double>{198 * kBin}));
  EXPECT_EQ(f.spectrum.receiveFrequency(), 800);
}

TEST(SpectrumClicks, ShiftClicksPlaceAndRemoveTheSecondChannel) {
  Fixture f;
  f.spectrum.RecordShiftLeftClick(200 * 256, 40 * 256);
  f.Run(Silence());
  ASSERT_EQ(f.host.second, (std::vector<double>{248 * kBin}));
  EXPECT_EQ(f.host.replays, (std::vector<bool>{true}));
  EXPECT_EQ(f.spectrum.secondFrequency(), 248 * kBin);
  EXPECT_TRUE(f.host.receive.empty());
  f.spectrum.RecordShiftRightClick();
  f.Run(Silence());
  EXPECT_EQ(f.host.second.back(), 0.0);
  EXPECT_EQ(f.spectrum.secondFrequency(), 0.0);
  // A Shift click at column 0 records position 0 as well, which switches it off.
  f.spectrum.SetSecondFrequency(1500);
  f.spectrum.RecordShiftLeftClick(0, 0);
  f.Run(Silence());
  EXPECT_EQ(f.spectrum.secondFrequency(), 0.0);
}

TEST(SpectrumClicks, FineTuningStripMovesByUpTo4Point8Hz) {
  Fixture f(SpectrumSettings{}, 4, 1034, 100);
  EXPECT_DOUBLE_EQ(f.spectrum.FineTuningStep(0), 4.8);
  EXPECT_DOUBLE_EQ(f.spectrum.FineTuningStep(100 * 256), -4.8);
  EXPECT_DOUBLE_EQ(f.spectrum.FineTuningStep(50 * 256), 0.0);
  EXPECT_DOUBLE_EQ(f.spectrum.FineTuningStep(25 * 256), 2.4);
  f.spectrum.SetReceiveFrequency(1000);
  f.spectrum.SetTransmitFrequency(1000);
  f.spectrum.RecordLeftClick(1030 * 256, 25 * 256);
  f.Run(Silence());
  EXPECT_EQ(f.host.receive, (std::vector<double>{1002.4}));
  f.spectrum.RecordRightClick(1025 * 256, 75 * 256);  // transmit down by 2.4
  f.Run(Silence());
  EXPECT_DOUBLE_EQ(f.host.transmit.back(), 1000.0);
  // In PSK31 the steps are twice as large.
  f.spectrum.ChangeMode(vexa::Mode::Psk31);
  EXPECT_DOUBLE_EQ(f.spectrum.FineTuningStep(0), 9.6);
  f.spectrum.RecordLeftClick(1033 * 256, 100 * 256);
  f.Run(Silence());
  EXPECT_DOUBLE_EQ(f.host.receive.back(), 1002.4 - 9.6);
  // The strip retunes a placed second channel without a replay.
  f.spectrum.SetSecondFrequency(1500);
  f.spectrum.RecordShiftLeftClick(1024 * 256, 0);
  f.Run(Silence());
  EXPECT_DOUBLE_EQ(f.host.second.back(), 1509.6);
  EXPECT_FALSE(f.host.replays.back());
}

TEST(SpectrumState, ResetObjectBehavesLikeAFreshOne) {
  SpectrumSettings st = StartAt(800, 1, kSpectrumLine);
  st.showAverage = true;
  std::mt19937 rng(2);
  std::uniform_real_distribution<double> hz(900, 2500);
  std::vector<Block> blocks;
  for (int i = 0; i < 6; ++i) blocks.push_back(Tone(hz(rng), 2000 + 500 * i, i));
  Fixture used(st, 4), fresh(st, 4);
  used.spectrum.SetSignalCheck(true);
  fresh.spectrum.SetSignalCheck(true);
  for (const Block& b : blocks) used.Run(b);
  used.spectrum.RecordRightClick(300 * 256, 0);
  used.spectrum.Reset();
  for (int type : {kSpectrumLine, kSpectrumWaterfall}) {
    st.type = type;
    used.spectrum.ApplySettings(st);
    fresh.spectrum.ApplySettings(st);
    for (const Block& b : blocks) {
      used.Run(b);
      fresh.Run(b);
      ASSERT_TRUE(std::ranges::equal(used.spectrum.values(), fresh.spectrum.values()));
      ASSERT_TRUE(std::ranges::equal(used.spectrum.averages(), fresh.spectrum.averages()));
      ASSERT_TRUE(std::ranges::equal(used.spectrum.image(), fresh.spectrum.image()));
      ASSERT_EQ(used.spectrum.signalAverage(), fresh.spectrum.signalAverage());
      ASSERT_EQ(used.spectrum.weakFrames(), fresh.spectrum.weakFrames());
    }
  }
  EXPECT_TRUE(used.host.transmit.empty());  // the pending click went with the reset
}

}  // namespace
}  // namespace vexa::engine
