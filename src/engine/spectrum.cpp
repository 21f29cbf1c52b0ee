#include "engine/spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/dsp_tables.h"
#include "engine/receive_loop.h"

namespace vexa::engine {
namespace {

constexpr int kNyquistBin = kSpectrumFftSize / 2;
constexpr int kMaxZoom = 64;        // 128 pixels per bin
constexpr double kAfcBinHz = 5.38;  // bin width the AFC steps use
constexpr double kSecondChannelMaxHz = 5512.5;
constexpr int32_t kPlotBaseline = 65000;  // value at the bottom row
constexpr int32_t kPlotSpan = 0x30000;    // values across the plot: 6 decades of power
constexpr int32_t kPaletteDivisor = 768;  // value per waterfall palette step

// Pixel access with clipping to columns 0..width-1 and rows firstRow..lastRow of a picture whose
// rows are `stride` pixels apart; row firstRow starts at `pixels`.
struct Canvas {
  uint32_t* pixels;
  int width;
  int firstRow;
  int lastRow;
  int stride;

  void Plot(int x, int y, uint32_t c) const {
    if (x < 0 || x >= width || y < firstRow || y > lastRow) return;
    pixels[static_cast<size_t>(y - firstRow) * static_cast<size_t>(stride) +
           static_cast<size_t>(x)] = c;
  }
  // A pen of side `pen` pixels (1 or 3) centred on the point.
  void PlotPen(int x, int y, uint32_t c, int pen) const {
    const int r = pen / 2;
    for (int dy = -r; dy <= r; ++dy)
      for (int dx = -r; dx <= r; ++dx) Plot(x + dx, y + dy, c);
  }
  // Bresenham line including both end points.
  void Line(int x0, int y0, int x1, int y1, uint32_t c, int pen = 1) const {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
      PlotPen(x0, y0, c, pen);
      if (x0 == x1 && y0 == y1) break;
      const int e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x0 += sx;
      }
      if (e2 <= dx) {
        err += dx;
        y0 += sy;
      }
    }
  }
  void FillRows(int from, int to, uint32_t c) const {
    for (int y = std::max(from, firstRow); y <= std::min(to, lastRow); ++y) {
      uint32_t* row = pixels + static_cast<size_t>(y - firstRow) * static_cast<size_t>(stride);
      std::fill(row, row + width, c);
    }
  }
};

// Clamps a frequency to a range where bin and pixel arithmetic stays far from int overflow.
double SaneHz(double hz) {
  if (!std::isfinite(hz)) return -1e6;
  return std::clamp(hz, -1e6, 1e6);
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

struct Spectrum::FftBuffers {
  float* in = nullptr;
  fftwf_complex* out = nullptr;
  fftwf_plan plan = nullptr;

  FftBuffers() {
    in = fftwf_alloc_real(kSpectrumFftSize);
    out = fftwf_alloc_complex(kNyquistBin + 1);
    if (in != nullptr && out != nullptr) {
      plan = fftwf_plan_dft_r2c_1d(kSpectrumFftSize, in, out, FFTW_ESTIMATE);
    }
  }
  ~FftBuffers() {
    if (plan != nullptr) fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
  }
  FftBuffers(const FftBuffers&) = delete;
  FftBuffers& operator=(const FftBuffers&) = delete;
  bool ok() const { return plan != nullptr; }
};

Spectrum::Spectrum(const SpectrumSettings& settings)
    : settings_(settings), fft_(std::make_unique<FftBuffers>()) {
  // At most 11025 / 50 ticks fit any scale; the label texts are short enough to stay inside
  // the strings, so rebuilding the scale inside a frame does not allocate.
  ticks_.reserve(256);
  labels_.reserve(256);
  UpdateGeometry();
}

Spectrum::~Spectrum() = default;

void Spectrum::ApplySettings(const SpectrumSettings& settings) {
  settings_ = settings;
  UpdateGeometry();
}

void Spectrum::ChangeMode(Mode mode) {
  mode_ = mode;
  const float startHz = static_cast<float>(LowerClickLimit());
  const float bin = startHz / kSpectrumBinHz;
  startBin_ = bin <= 0 ? 0 : static_cast<int>(std::min(bin, static_cast<float>(kNyquistBin)));
  UpdateGeometry();
}

double Spectrum::LowerClickLimit() const {
  return UsesHiTones(mode_) && settings_.useHitones ? settings_.startFqHitones : settings_.startFq;
}

int Spectrum::Resize(int width, int height) {
  if (width < 1 || height < 1 || width > kSpectrumMaxSide || height > kSpectrumMaxSide) {
    return kSpectrumBadSize;
  }
  width_ = width;
  height_ = height;
  const auto w = static_cast<size_t>(width);
  image_.assign(w * static_cast<size_t>(height), kPlotBackground);
  scroll_.assign(w * static_cast<size_t>(std::max(0, height - kSpectrumScaleRows)),
                 kPlotBackground);
  UpdateGeometry();
  return kSpectrumOk;
}

void Spectrum::UpdateGeometry() {
  const bool cw = mode_ == Mode::Cw;
  const int zoom = std::clamp(cw ? settings_.cwZoom : settings_.zoom, 0, kMaxZoom);
  pixelsPerBin_ = zoom == 0 ? 1 : 2 * zoom;
  const int type = cw ? settings_.cwType : settings_.type;
  type_ = (type >= kSpectrumLine && type <= kSpectrumWaterfall) ? type : kSpectrumWaterfall;
  shownBins_ =
      width_ > kFineTuningStripPixels
          ? std::min(kSpectrumMaxShownBins, (width_ - kFineTuningStripPixels) / pixelsPerBin_)
          : 0;
  labelsDirty_ = true;
}

void Spectrum::SetRadioFrequency(int64_t radioHz, bool lowerSideband) {
  radioHz = std::clamp<int64_t>(radioHz, 0, int64_t{1} << 40);
  if (radioHz != radioHz_ || lowerSideband != lowerSideband_) labelsDirty_ = true;
  radioHz_ = radioHz;
  lowerSideband_ = lowerSideband;
}

uint32_t Spectrum::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return image_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

// ---- Mouse ----

void Spectrum::RecordLeftClick(int x256, int y256) {
  left_ = {std::max(0, x256), y256};
}
void Spectrum::RecordRightClick(int x256, int y256) {
  right_ = {std::max(0, x256), y256};
}
void Spectrum::RecordShiftLeftClick(int x256, int y256) {
  second_ = {std::max(0, x256), y256};
}
void Spectrum::RecordShiftRightClick() {
  second_ = {0, 0};
}

bool Spectrum::InFineTuningStrip(int xPixel) const {
  return xPixel >= width_ - kFineTuningStripPixels && xPixel < width_;
}

bool Spectrum::InStrip(int x256) const {
  return InFineTuningStrip(x256 / 256);
}

double Spectrum::FrequencyAt(int x256) const {
  const double bin = kSpectrumBinHz;
  return x256 * bin / (pixelsPerBin_ * 256.0) + bin * startBin_;
}

int Spectrum::MarkerX(double hz) const {
  const double bin = kSpectrumBinHz;
  return static_cast<int>(std::floor((SaneHz(hz) - startBin_ * bin) * pixelsPerBin_ / bin + 0.5));
}

int Spectrum::BinIndex(double hz) const {
  return static_cast<int>(std::floor(SaneHz(hz) * kSpectrumBinsPerHz + 0.5)) - startBin_;
}

double Spectrum::FineTuningStep(int y256) const {
  if (height_ <= 0) return 0;
  const double step = (1.0 - 2.0 * (y256 / 256.0) / height_) * kFineTuningStepHz;
  return mode_ == Mode::Psk31 ? 2 * step : step;
}

// ---- Frames ----

int Spectrum::Frame(std::span<const float> block) {
  if (block.size() != static_cast<size_t>(kSpectrumFftSize)) return kSpectrumBadBlock;
  if (!fft_->ok()) return kSpectrumNoFft;
  ComputeValues(block);
  Draw();
  if (HasSquelch(mode_)) MeasurePsk();
  ApplyClicks();
  RunAfc();
  return kSpectrumOk;
}

bool Spectrum::FrameIfNewBlock(const ReceiveLoop& loop) {
  if (loop.fullBlocks() == shownBlock_) return false;
  shownBlock_ = loop.fullBlocks();
  return Frame(loop.spectrumInput()) == kSpectrumOk;
}

void Spectrum::Reset() {
  average_.fill(0);
  pskSnr_.Clear();
  imd_.Clear();
  signal_.Clear();
  checkBox_ = false;
  weakFrames_ = 0;
  left_ = right_ = second_ = PendingClick{};
  std::fill(image_.begin(), image_.end(), kPlotBackground);
  std::fill(scroll_.begin(), scroll_.end(), kPlotBackground);
}

void Spectrum::ComputeValues(std::span<const float> block) {
  const auto& window = Tables().spectrumWindow;
  for (size_t k = 0; k < static_cast<size_t>(kSpectrumFftSize); ++k) {
    fft_->in[k] = static_cast<float>(block[k] * window[k]);
  }
  fftwf_execute(fft_->plan);
  for (int i = 0; i < shownBins_; ++i) {
    const int k = startBin_ + i;
    int32_t v = 0;
    if (k <= kNyquistBin) {  // no audio above half the sample rate: those bins read empty
      const float re = fft_->out[k][0], im = fft_->out[k][1];
      const float power = re * re + im * im + 28145.8f;
      const float x = 32768.0f * (std::log10(power) - 4.4494132f);
      // Finite input keeps x within 0..~400000; the guards keep odd input (NaN, inf) defined.
      v = x > -1.0f ? (x < 2.0e9f ? static_cast<int32_t>(x) : 2000000000) : 0;
    }
    values_[static_cast<size_t>(i)] = v;
  }
}

int Spectrum::PlotY(int32_t value) const {
  const int32_t unit = std::max(1, kPlotSpan / (height_ - kSpectrumScaleRows));
  const int64_t y = int64_t{height_} - (int64_t{value} - kPlotBaseline) / unit - 1;
  return static_cast<int>(std::clamp<int64_t>(y, kSpectrumScaleRows, height_ - 1));
}

void Spectrum::Draw() {
  if (width_ == 0 || height_ <= kSpectrumScaleRows) return;
  for (int i = 0; i < shownBins_; ++i) plotY_[static_cast<size_t>(i)] = PlotY(values_[size_t(i)]);
  if (type_ == kSpectrumLine) {
    DrawLinePlot();
  } else {
    DrawScrollingPicture();
  }
  DrawScale();
  DrawMarkers();
  DrawFineTuningStrip();
}

void Spectrum::DrawLinePlot() {
  const Canvas plot{image_.data() + static_cast<size_t>(kSpectrumScaleRows) * size_t(width_),
                    width_, kSpectrumScaleRows, height_ - 1, width_};
  plot.FillRows(kSpectrumScaleRows, height_ - 1, kPlotBackground);
  const int ppb = pixelsPerBin_;
  for (int i = 0; i + 1 < shownBins_; ++i) {
    plot.Line(i * ppb, plotY_[size_t(i)], (i + 1) * ppb, plotY_[size_t(i) + 1],
              kSpectrumLineColour);
  }
  if (shownBins_ == 1) plot.Plot(0, plotY_[0], kSpectrumLineColour);
  if (!settings_.showAverage) return;
  // The average follows the plotted rows, in 1/16 row.
  for (int i = 0; i < shownBins_; ++i) {
    int32_t& a = average_[static_cast<size_t>(i)];
    a += plotY_[static_cast<size_t>(i)] - a / 16;
  }
  const int pen = settings_.averageThickLine ? 3 : 1;
  auto avgY = [&](int i) {
    const int a = average_[static_cast<size_t>(i)] / 16;
    return settings_.averageInverted ? height_ - a + 25 : a - 1;
  };
  for (int i = 0; i + 1 < shownBins_; ++i) {
    plot.Line(i * ppb, avgY(i), (i + 1) * ppb, avgY(i + 1), kAverageLineColour, pen);
  }
}

void Spectrum::DrawScrollingPicture() {
  const Canvas pic{scroll_.data(), width_, kSpectrumScaleRows, height_ - 1, width_};
  uint32_t* top = scroll_.data();  // picture row 24
  const int ppb = pixelsPerBin_;
  const int plotWidth = shownBins_ * ppb;
  if (type_ == kSpectrumWaterfall) {
    for (int x = 0; x < plotWidth; ++x) {
      const int i = x / ppb, part = x % ppb;
      const int64_t v0 = values_[size_t(i)];
      const int64_t v1 = i + 1 < shownBins_ ? values_[size_t(i) + 1] : v0;
      const int64_t v = v0 + (v1 - v0) * part / ppb;
      top[x] =
          kWaterfallPalette[static_cast<size_t>(std::clamp<int64_t>(v / kPaletteDivisor, 0, 255))];
    }
    std::fill(top + plotWidth, top + width_, kPlotBackground);
  } else {
    pic.FillRows(kSpectrumScaleRows, kSpectrumScaleRows, kPlotBackground);
    for (int i = 0; i + 1 < shownBins_; ++i) {
      pic.Line(i * ppb, plotY_[size_t(i)], (i + 1) * ppb, plotY_[size_t(i) + 1],
               kSpectrumLineColour);
    }
    if (shownBins_ == 1) pic.Plot(0, plotY_[0], kSpectrumLineColour);
  }
  // Move the picture down by one row; the top row stays and is repainted next frame.
  const size_t w = static_cast<size_t>(width_);
  const size_t rows = static_cast<size_t>(height_ - kSpectrumScaleRows);
  if (rows > 1) std::memmove(scroll_.data() + w, scroll_.data(), (rows - 1) * w * sizeof(uint32_t));
  std::memcpy(image_.data() + kSpectrumScaleRows * w, scroll_.data(), rows * w * sizeof(uint32_t));
}

void Spectrum::RebuildLabels() {
  labelsDirty_ = false;
  labels_.clear();
  ticks_.clear();
  if (shownBins_ == 0) return;
  const int ppb = pixelsPerBin_;
  const int64_t labelStep = ppb < 3 ? 500 : (ppb > 4 ? 100 : 200);
  const int64_t tickStep = ppb > 4 ? 50 : 100;
  const double lowHz = startBin_ * double{kSpectrumBinHz};
  const double highHz = (startBin_ + shownBins_) * double{kSpectrumBinHz};
  const int plotWidth = shownBins_ * ppb;
  char text[32];
  auto add = [&](double audioHz, bool major, const char* label) {
    const int x = MarkerX(audioHz);
    if (x < 0 || x >= plotWidth) return;
    ticks_.push_back({x, major});
    if (major) labels_.push_back({x, label});
  };
  if (radioHz_ > 0) {
    // Radio frequency = dial + audio (upper sideband) or dial - audio (lower sideband); ticks and
    // labels sit on round radio frequencies.
    const int64_t sign = lowerSideband_ ? -1 : 1;
    const int64_t r1 = radioHz_ + sign * static_cast<int64_t>(std::ceil(lowHz));
    const int64_t r2 = radioHz_ + sign * static_cast<int64_t>(std::floor(highHz));
    const int64_t from = FloorDiv(std::min(r1, r2) + tickStep - 1, tickStep) * tickStep;
    for (int64_t r = from; r <= std::max(r1, r2); r += tickStep) {
      const bool major = r % labelStep == 0;
      std::snprintf(text, sizeof text, "%0.1f", static_cast<double>(r) * 0.001);
      add(static_cast<double>(sign * (r - radioHz_)), major, text);
    }
  } else {
    const int64_t from =
        FloorDiv(static_cast<int64_t>(std::ceil(lowHz)) + tickStep - 1, tickStep) * tickStep;
    for (int64_t f = from; f <= static_cast<int64_t>(std::floor(highHz)); f += tickStep) {
      const bool major = f % labelStep == 0;
      std::snprintf(text, sizeof text, "%i", static_cast<int>(f));
      add(static_cast<double>(f), major, text);
    }
  }
  std::sort(labels_.begin(), labels_.end(),
            [](const ScaleLabel& a, const ScaleLabel& b) { return a.x < b.x; });
}

void Spectrum::DrawScale() {
  if (labelsDirty_) RebuildLabels();
  const Canvas scale{image_.data(), width_, 0, kSpectrumScaleRows - 1, width_};
  scale.FillRows(0, kSpectrumScaleRows - 1, kScaleBackground);
  for (const Tick& t : ticks_) {
    const int from = t.major ? kSpectrumScaleRows - 8 : kSpectrumScaleRows - 4;
    for (int y = from; y < kSpectrumScaleRows; ++y) scale.Plot(t.x, y, kScaleTickColour);
  }
}

void Spectrum::DrawMarkers() {
  // Triangles point down with their tip on the last scale row; they stay left of the strip.
  const Canvas scale{image_.data(), width_ - kFineTuningStripPixels, 0, kSpectrumScaleRows - 1,
                     width_};
  if (scale.width <= 0) return;
  auto triangle = [&](double hz, int high, int base, uint32_t colour) {
    const int x = MarkerX(hz);
    if (x < -base || x > scale.width + base) return;
    for (int j = 0; j < high; ++j) {  // j = 0: the base row
      const int w = base - base * j / high;
      const int y = kSpectrumScaleRows - high + j;
      for (int k = 0; k < w; ++k) scale.Plot(x - w / 2 + k, y, colour);
    }
  };
  const bool tonePair = IsTonePair(mode_);
  triangle(receiveHz_, 7, 6, kReceiveMarkerColour);
  if (tonePair) {
    triangle(receiveHz_ + 90, 7, 6, kReceiveMarkerColour);
    triangle(receiveHz_ - 90, 7, 6, kReceiveMarkerColour);
  }
  if (MarkerX(transmitHz_) != MarkerX(receiveHz_)) {
    triangle(transmitHz_, 5, 4, kTransmitMarkerColour);
    if (tonePair) {
      triangle(transmitHz_ + 90, 5, 4, kTransmitMarkerColour);
      triangle(transmitHz_ - 90, 5, 4, kTransmitMarkerColour);
    }
  }
  if (secondHz_ > 0) triangle(secondHz_, 5, 4, kSecondMarkerColour);
}

void Spectrum::DrawFineTuningStrip() {
  const int x0 = std::max(0, width_ - kFineTuningStripPixels);
  for (int y = 0; y < height_; ++y) {
    uint32_t* row = image_.data() + static_cast<size_t>(y) * size_t(width_);
    std::fill(row + x0, row + width_, y == height_ / 2 ? kStripCentreColour : kStripColour);
  }
}

// ---- Measurements, clicks and AFC ----

void Spectrum::MeasurePsk() {
  const PskSignalQuality q = MeasurePskSignal(values(), BinIndex(transmitHz_));
  if (!q.valid) {
    if (imd_.Average() > 0) imd_.Clear();
    return;
  }
  pskSnr_.Push(q.snrDb);
  if (pskSnr_.Average() > 20) imd_.Push(q.imdDb);
}

std::string Spectrum::ImdText() const {
  if (!(pskSnr_.Average() > 15)) return {};
  char text[32];
  std::snprintf(text, sizeof text, "IMD: %i db", static_cast<int>(std::lround(imd_.Average())));
  return text;
}

void Spectrum::ChangeReceive(double hz) {
  if (hz == receiveHz_) return;
  receiveHz_ = hz;
  if (host_ != nullptr) host_->TuneReceive(hz);
}

void Spectrum::ChangeTransmit(double hz) {
  if (hz == transmitHz_) return;
  transmitHz_ = hz;
  if (host_ != nullptr) host_->TuneTransmit(hz);
}

void Spectrum::ClickReceive(double hz) {
  if (!(hz > LowerClickLimit() && hz < kClickUpperLimitHz)) return;
  receiveHz_ = hz;
  if (host_ != nullptr) host_->TuneReceive(hz);
  if (transmitFollows_) {
    transmitHz_ = hz;
    if (host_ != nullptr) host_->TuneTransmit(hz);
  }
}

void Spectrum::ClickTransmit(double hz) {
  if (!(hz > LowerClickLimit() && hz < kClickUpperLimitHz)) return;
  if (!(std::fabs(hz - transmitHz_) > 0.1)) return;
  transmitHz_ = hz;
  if (host_ != nullptr) host_->TuneTransmit(hz);
}

void Spectrum::ApplyClicks() {
  const PendingClick left = left_, right = right_, second = second_;
  left_ = right_ = second_ = PendingClick{};
  const bool cw = mode_ == Mode::Cw;
  if (left.x >= 0) {
    if (InStrip(left.x)) {
      const double step = FineTuningStep(left.y);
      if (cw) {
        ClickTransmit(transmitHz_ + step);
      } else {
        ClickReceive(receiveHz_ + step);
      }
    } else if (cw) {
      ClickTransmit(FrequencyAt(left.x));
    } else {
      ClickReceive(FrequencyAt(left.x));
    }
  }
  if (right.x >= 0) {
    ClickTransmit(InStrip(right.x) ? transmitHz_ + FineTuningStep(right.y) : FrequencyAt(right.x));
  }
  if (second.x >= 0) {
    if (second.x == 0) {
      secondHz_ = 0;
      if (host_ != nullptr) host_->SetSecondChannel(0, false);
    } else if (InStrip(second.x)) {
      const double hz = secondHz_ + FineTuningStep(second.y);
      if (secondHz_ > 0 && hz > 0 && hz < kSecondChannelMaxHz) {
        secondHz_ = hz;
        if (host_ != nullptr) host_->SetSecondChannel(hz, false);
      }
    } else {
      const double hz = FrequencyAt(second.x);
      if (hz > 0 && hz < kSecondChannelMaxHz) {
        secondHz_ = hz;
        if (host_ != nullptr) host_->SetSecondChannel(hz, true);
      }
    }
  }
}

void Spectrum::RunAfc() {
  if (transmitting_) return;
  if (mode_ == Mode::Cw || IsTonePair(mode_)) {
    if (mode_ == Mode::Cw && afc_) RunCwAfc();
    if (IsTonePair(mode_) && (afc_ || signalCheck_)) RunFskAfc();
    const SignalMeasure m = MeasureTonePairSignal(values(), BinIndex(transmitHz_));
    if (m.valid) signal_.Push(m.db);
  } else if (IsPskFamily(mode_) && afc_ && host_ != nullptr) {
    host_->RunPskAfc();
  }
}

void Spectrum::RunCwAfc() {
  const CwPeak peak = FindCwPeak(values(), BinIndex(receiveHz_));
  if (peak.valid && peak.strong) ChangeTransmit(receiveHz_ + peak.offset * kAfcBinHz);
}

void Spectrum::RunFskAfc() {
  const int c = BinIndex(receiveHz_);
  const FskTone tone = FindFskTone(values(), c);
  if (!tone.valid) return;
  signal_.Push(tone.stepSnrDb);
  if (signal_.Average() > 5 && tone.stepSnrDb > 5) {
    if (signalCheck_ && checkBox_) {
      checkBox_ = false;
      weakFrames_ = std::max(0, weakFrames_ - 1);
    }
    if (!afc_) return;
    const FskOtherTone other = FindOtherFskTone(values(), tone.bin, c);
    if (!other.found || ValueToDb(int64_t{other.value} - tone.reference) <= 4) return;
    const double centreOffsetHz = ((tone.bin + other.bin) / 2 - c) * kAfcBinHz;
    ChangeTransmit((transmitHz_ + receiveHz_ + centreOffsetHz) / 2);
    if (transmitFollows_) ChangeReceive(transmitHz_);
  } else if (signalCheck_ && !checkBox_) {
    if (++weakFrames_ > 3) checkBox_ = true;
  }
}

}  // namespace vexa::engine
