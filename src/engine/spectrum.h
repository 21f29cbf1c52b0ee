#pragma once
// The spectrum and waterfall of the received audio, headless.
//
// One Spectrum object turns each full 2048-sample input block into one frame: window, real FFT,
// one value per shown bin (32768 units per decade of power, 0 for an empty bin), then draws the
// frame into an ARGB32 picture that a GUI view blits as it is: a 24-pixel scale strip on top
// (ticks and frequency markers; the label texts are returned separately so the view can draw
// them with its own font), the plot below it (spectrum line, average line, or a waterfall that
// scrolls down one row per frame) and a 10-pixel fine-tuning strip on the right.
//
// After drawing, the frame measures PSK31 signals (SNR and IMD), applies the mouse clicks that the
// view recorded since the last frame and runs the automatic frequency control. New frequencies go
// out through SpectrumHost; the host (the main window) retunes the receivers and the transmitter.
//
// The object never reads settings itself: the host passes SpectrumSettings and the current mode,
// frequencies and switches. All buffers are allocated at construction and on Resize(); Frame()
// does not allocate. FFT planning is not thread-safe: construct Spectrum objects on one thread.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/mode.h"
#include "engine/spectrum_measure.h"
#include "engine/spectrum_palette.h"

namespace vexa::engine {

class ReceiveLoop;

constexpr int kSpectrumFftSize = 2048;
constexpr int kSpectrumMaxShownBins = 2048;
constexpr int kSpectrumScaleRows = 24;                // rows 0..23 hold the scale and the markers
constexpr int kFineTuningStripPixels = 10;            // rightmost columns: the fine-tuning strip
constexpr int kSpectrumMaxSide = 8192;                // largest accepted picture width or height
constexpr float kSpectrumBinHz = 11025.0f / 2048.0f;  // 5.38330078125 Hz, exact in float
constexpr double kSpectrumBinsPerHz = 2048.0 / 11025.0;
constexpr int kSpectrumStartBinBeforeModeChange = 90;
constexpr double kClickUpperLimitHz = 3000.0;  // clicked receive/transmit frequencies stay below
constexpr double kFineTuningStepHz = 4.8;      // at the top (+) and bottom (-) of the strip

// Fixed colours of the picture.
inline constexpr uint32_t kSpectrumLineColour = Argb(255, 200, 0);
inline constexpr uint32_t kAverageLineColour = Argb(0, 128, 240);
inline constexpr uint32_t kPlotBackground = Argb(0, 0, 0);
inline constexpr uint32_t kScaleBackground = Argb(212, 208, 200);
inline constexpr uint32_t kScaleTickColour = Argb(64, 64, 64);
inline constexpr uint32_t kReceiveMarkerColour = Argb(255, 0, 0);
inline constexpr uint32_t kTransmitMarkerColour = Argb(0, 0, 0);
inline constexpr uint32_t kSecondMarkerColour = Argb(128, 128, 128);
inline constexpr uint32_t kStripColour = Argb(96, 96, 96);
inline constexpr uint32_t kStripCentreColour = Argb(255, 255, 255);

// Status codes of the operations below.
enum SpectrumStatus : int {
  kSpectrumOk = 0,
  kSpectrumBadBlock = 1,  // the input block does not hold exactly 2048 samples
  kSpectrumBadSize = 2,   // width or height outside 1..kSpectrumMaxSide
  kSpectrumNoFft = 3,     // the FFT could not be set up (out of memory)
};

// Display types.
enum SpectrumDisplayType : int {
  kSpectrumLine = 0,           // spectrum line, optional average line
  kSpectrumScrollingLine = 1,  // the spectrum line drawn into the scrolling picture
  kSpectrumWaterfall = 2,
};

// The settings the spectrum uses (sections "Spectrum" and "CW" of the settings file).
struct SpectrumSettings {
  int type = kSpectrumWaterfall;    // display type outside CW
  int zoom = 1;                     // 0: 1 pixel per bin, else 2 * zoom pixels per bin
  int cwType = kSpectrumWaterfall;  // the same two settings in CW
  int cwZoom = 1;
  bool showAverage = false;
  bool averageInverted = false;
  bool averageThickLine = false;
  int startFq = 800;          // lowest displayed frequency, Hz
  int startFqHitones = 1900;  // the same for RTTY and packet with the high-tone pair
  bool useHitones = false;
};

// What the spectrum asks its owner to do. Every call is made from inside Frame().
class SpectrumHost {
 public:
  virtual ~SpectrumHost() = default;
  // A new common receive frequency (retune all receive channels).
  virtual void TuneReceive(double hz) = 0;
  // A new transmit frequency.
  virtual void TuneTransmit(double hz) = 0;
  // Places the second receive channel at hz (> 0) or switches it off (hz == 0). replayHistory is
  // true for a fresh placement, which catches up on the stored audio, and false for fine tuning.
  virtual void SetSecondChannel(double hz, bool replayHistory) = 0;
  // One step of the PSK and FSK31 AFC (modes 9, 10, 11, 16): the active decoder's frequency error
  // retunes the receivers, then the second channel's.
  virtual void RunPskAfc() = 0;
};

// One frequency label of the scale: the view draws text centred on pixel column x.
struct ScaleLabel {
  int x = 0;
  std::string text;
};

class Spectrum {
 public:
  explicit Spectrum(const SpectrumSettings& settings = {});
  ~Spectrum();
  Spectrum(const Spectrum&) = delete;
  Spectrum& operator=(const Spectrum&) = delete;

  // --- Configuration (from the host) ---
  // Replaces the settings; the zoom and display type follow at once, the start bin at the next
  // mode change.
  void ApplySettings(const SpectrumSettings& settings);
  // A mode change: the start bin from the start frequency, and in CW the CW zoom and type.
  void ChangeMode(Mode mode);
  // The picture size in pixels (the control's client area). Clears the picture.
  [[nodiscard]] int Resize(int width, int height);
  void SetHost(SpectrumHost* host) { host_ = host; }

  // The frequencies shown by the markers and used by clicks and AFC, in audio Hz. The host keeps
  // them current (a receive frequency changed elsewhere, e.g. by the PSK AFC, is passed in here).
  void SetReceiveFrequency(double hz) { receiveHz_ = hz; }
  void SetTransmitFrequency(double hz) { transmitHz_ = hz; }
  void SetSecondFrequency(double hz) { secondHz_ = hz; }  // <= 0: second channel off
  // True when the transmit frequency moves with the receive frequency (not held separately).
  void SetTransmitFollowsReceive(bool on) { transmitFollows_ = on; }
  void SetAfc(bool on) { afc_ = on; }
  // The signal-check switch of the main window (its check box state is kept here).
  void SetSignalCheck(bool on) { signalCheck_ = on; }
  void SetTransmitting(bool on) { transmitting_ = on; }
  // The transceiver's dial frequency in Hz, or <= 0 when unknown; with the lower sideband the
  // radio frequency falls as the audio frequency rises.
  void SetRadioFrequency(int64_t radioHz, bool lowerSideband);

  // --- Mouse (from the view) ---
  // Positions in 1/256 pixel from the top-left corner of the picture. Each is consumed by the
  // next frame; a later click of the same kind before that frame replaces the earlier one.
  void RecordLeftClick(int x256, int y256);       // receive frequency (transmit in CW)
  void RecordRightClick(int x256, int y256);      // transmit frequency
  void RecordShiftLeftClick(int x256, int y256);  // place the second channel
  void RecordShiftRightClick();                   // second channel off
  // True over the fine-tuning strip (the view shows its second cursor shape there).
  bool InFineTuningStrip(int xPixel) const;

  // --- Frames ---
  // Computes, draws and evaluates one frame from 2048 samples (16-bit sample values as floats).
  [[nodiscard]] int Frame(std::span<const float> block);
  // Runs Frame() on the receive loop's last full block if it has not been shown yet; true when a
  // frame ran. Repaints without a new block just show the picture again.
  bool FrameIfNewBlock(const ReceiveLoop& loop);
  // Clears the averages, the measurements, the signal-check state, pending clicks and pictures.
  void Reset();

  // --- Results ---
  std::span<const int32_t> values() const { return {values_.data(), size_t(shownBins_)}; }
  std::span<const int32_t> averages() const { return {average_.data(), size_t(shownBins_)}; }
  std::span<const uint32_t> image() const { return image_; }
  uint32_t Pixel(int x, int y) const;  // 0 outside the picture
  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<ScaleLabel>& labels() const { return labels_; }
  static const std::array<uint32_t, 256>& palette() { return kWaterfallPalette; }

  Mode mode() const { return mode_; }
  int startBin() const { return startBin_; }
  int pixelsPerBin() const { return pixelsPerBin_; }
  int shownBins() const { return shownBins_; }
  int displayType() const { return type_; }
  double receiveFrequency() const { return receiveHz_; }
  double transmitFrequency() const { return transmitHz_; }
  double secondFrequency() const { return secondHz_; }

  // Geometry: the audio frequency under a position in 1/256 pixel, and the marker column of a
  // frequency (may lie outside the picture).
  double FrequencyAt(int x256) const;
  int MarkerX(double hz) const;
  // Index into values() of the bin nearest to hz (may lie outside 0..shownBins-1).
  int BinIndex(double hz) const;
  // The fine-tuning step of a click at y256 (1/256 pixel) in the current mode.
  double FineTuningStep(int y256) const;

  // PSK31 measurements (modes 9 and 10), 4-frame running averages in dB.
  double pskSnrAverage() const { return pskSnr_.Average(); }
  double imdAverage() const { return imd_.Average(); }
  // "IMD: %i db" while the PSK SNR average exceeds 15 dB, else "".
  std::string ImdText() const;
  // The receive-signal measure of CW and the FSK modes (4-frame running average, dB).
  double signalAverage() const { return signal_.Average(); }
  // The signal-check box: checked after more than 3 weak frames, cleared by a strong one.
  bool signalCheckChecked() const { return checkBox_; }
  int weakFrames() const { return weakFrames_; }

 private:
  struct PendingClick {
    int x = -1, y = -1;  // 1/256 pixel; x == -1: none
  };
  struct FftBuffers;

  void UpdateGeometry();
  void ComputeValues(std::span<const float> block);
  void Draw();
  void DrawLinePlot();
  void DrawScrollingPicture();
  void DrawScale();
  void DrawMarkers();
  void DrawFineTuningStrip();
  void RebuildLabels();
  bool InStrip(int x256) const;
  int PlotY(int32_t value) const;
  void MeasurePsk();
  void ApplyClicks();
  void ClickReceive(double hz);
  void ClickTransmit(double hz);
  void RunAfc();
  void RunCwAfc();
  void RunFskAfc();
  void ChangeTransmit(double hz);
  void ChangeReceive(double hz);
  double LowerClickLimit() const;

  SpectrumSettings settings_;
  SpectrumHost* host_ = nullptr;
  std::unique_ptr<FftBuffers> fft_;

  Mode mode_ = Mode::Unnamed7;  // no mode change yet
  int type_ = kSpectrumWaterfall;
  int startBin_ = kSpectrumStartBinBeforeModeChange;
  int pixelsPerBin_ = 2;
  int shownBins_ = 0;
  int width_ = 0, height_ = 0;

  double receiveHz_ = 1000, transmitHz_ = 1000, secondHz_ = 0;
  bool transmitFollows_ = true;
  bool afc_ = false, signalCheck_ = false, transmitting_ = false;
  int64_t radioHz_ = 0;
  bool lowerSideband_ = false;

  std::array<int32_t, kSpectrumMaxShownBins> values_{};
  std::array<int32_t, kSpectrumMaxShownBins> average_{};  // 1/16 pixel rows
  std::array<int, kSpectrumMaxShownBins> plotY_{};
  std::vector<uint32_t> image_;   // the whole picture, width x height
  std::vector<uint32_t> scroll_;  // the scrolling plot of types 1 and 2, width x (height - 24)
  std::vector<ScaleLabel> labels_;
  struct Tick {
    int x;
    bool major;  // carries a label
  };
  std::vector<Tick> ticks_;
  bool labelsDirty_ = true;

  PendingClick left_, right_, second_;  // second_.x == 0: switch the second channel off

  RunningAverage4 pskSnr_, imd_, signal_;
  bool checkBox_ = false;
  int weakFrames_ = 0;
  uint64_t shownBlock_ = 0;
};

}  // namespace vexa::engine
