#pragma once
// The signal browser: every PSK31 (or RTTY 45.45 Bd / 170 Hz) signal in the passband found and
// decoded at once, one receiver of its own per signal.
//
// Finding: one shared spectrum (2048-point FFT, Hann window, a new frame every 1024 samples) is
// smoothed over about half a second; its band power around each bin (the width of one signal,
// for RTTY the weaker of the two tones) is compared with a local noise floor (the median, over
// about 600 Hz, of the smallest band power in each 86 Hz block, so that a crowded band still
// shows its gaps). A peak that stands above the floor by the opening ratio in three frames in a
// row and stands clear of its surroundings opens a slot; a slot stays while its signal stands
// above the (lower) keeping ratio, so a fading signal keeps its slot, and is closed after a
// silence. A signal that comes back within a few hertz of a closed slot continues that slot's
// text.
//
// Decoding: each slot runs the ordinary receive channel of the mode (its own integer front end,
// decimation and demodulator) on every input sample. A new slot first catches up on the last
// 1.5 s of audio, so the start of a transmission is not lost while the spectrum was still
// deciding. PSK slots follow their signal with the demodulator's own frequency error (the BPSK
// decoder's drift, or the offset the stronger demodulator tracks), as the main receiver's AFC
// does. Characters are kept only while the spectrum sees the signal, so
// noise after the end of a transmission prints nothing.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vexa::decoders {

enum class BrowseMode { Psk31, Rtty };

struct BrowserOptions {
  BrowseMode mode = BrowseMode::Psk31;
  double lowHz = 200.0;  // the part of the spectrum searched for signals
  double highHz = 3500.0;
  int maxSlots = 48;             // at most this many signals decoded at once
  bool best = false;             // the slots use the stronger demodulators
  bool invert = false;           // RTTY: the lower tone is mark (the sideband is inverted)
  double silenceSeconds = 10.0;  // a slot whose signal is gone this long is closed
};

// One signal found: its audio frequency, all text decoded on it (line ends as spaces, other
// control characters left out) and whether its slot is open now.
struct BrowserSignal {
  int id = 0;  // stable while the browser lives
  double hz = 0;
  bool active = false;
  std::string text;
  // The last kRecentChars characters of text, for a one-line display.
  std::string Recent() const;
};

inline constexpr size_t kRecentChars = 80;

class SignalBrowser {
 public:
  static constexpr int kFftSize = 2048;
  static constexpr int kHop = 1024;

  explicit SignalBrowser(const BrowserOptions& options = {});
  ~SignalBrowser();
  SignalBrowser(const SignalBrowser&) = delete;
  SignalBrowser& operator=(const SignalBrowser&) = delete;

  // False when the FFT could not be set up; the browser then finds nothing.
  bool ok() const;

  // Input at 11025 samples per second, blocks of any length.
  void ProcessBlock(std::span<const int16_t> samples);

  // Every signal found so far, open or closed, ordered by frequency.
  std::vector<BrowserSignal> Signals() const;
  // Number of open slots.
  int ActiveCount() const;
  // Bumped whenever a signal's text or frequency or the set of signals changed.
  uint64_t revision() const { return revision_; }
  const BrowserOptions& options() const { return options_; }

 private:
  struct Impl;
  void Frame();
  BrowserOptions options_;
  std::unique_ptr<Impl> impl_;
  uint64_t revision_ = 0;
};

}  // namespace vexa::decoders
