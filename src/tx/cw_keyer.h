#pragma once
// CW keyed on a serial line: a 4 ms periodic keyer (KeyerTick, on its own thread) sends the
// element pattern of one letter at a time; the main window's 55 ms tick (CwPump) hands it the
// next letter from the transmit queue when the pattern is empty. The pattern is written by the
// pump only while it is 0 and only shifted by the keyer, so the two threads need no lock.
//
// Speed: one number, the dot length d in 4 ms ticks (current and normal value); WPM =
// int(1200 / (4 d) + 0.5). In the text, "^" makes the current speed one tick faster and "~" or LF
// returns to the normal speed.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "tx/key_lines.h"
#include "tx/periodic_timer.h"

namespace vexa::tx {

constexpr int kKeyerTickUs = 4000;
// Dot lengths are kept within 1 to 10000 ticks (a 40 s dot), whatever the settings file holds.
constexpr int kMaxDotTicks = 10000;
constexpr int ClampDotTicks(int d) {
  return d < 1 ? 1 : d > kMaxDotTicks ? kMaxDotTicks : d;
}

// Words per minute shown for a dot length in ticks (0 for a length below 1).
constexpr int CwWpm(int dotTicks) {
  return dotTicks < 1 ? 0 : static_cast<int>(1200.0 / (4.0 * dotTicks) + 0.5);
}

// The caption of the speed dialog, "CW SPEED %i WPM".
std::string CwSpeedCaption(int dotTicks);

class CwKeyer {
 public:
  // What the keyer needs around it, supplied by its owner.
  struct Hooks {
    std::function<bool(uint8_t&)> nextChar;      // the transmit queue's NextTxChar
    std::function<void()> clearTransmitBuffers;  // window and simple keyboard
    std::function<void()> stopReception;         // sound input closed while keying
    std::function<void()> startReception;        // and reopened afterwards
    // The TNC terminal, when open, keys CW itself: bytes go to its port (null: not open).
    std::function<bool()> tncTerminalOpen;
    std::function<void(std::string_view)> tncWrite;
    std::function<void(int ms)> sleep;  // pause before the TNC's keyer command
  };

  CwKeyer(KeyLines& lines, Clock& clock, int normalDotTicks = 20);
  ~CwKeyer();
  CwKeyer(const CwKeyer&) = delete;
  CwKeyer& operator=(const CwKeyer&) = delete;

  void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }
  // The TNC terminal's part of the hooks (set by the owner of the terminal, main thread only).
  void SetTncHooks(std::function<bool()> open, std::function<void(std::string_view)> write,
                   std::function<void(int ms)> sleep) {
    hooks_.tncTerminalOpen = std::move(open);
    hooks_.tncWrite = std::move(write);
    hooks_.sleep = std::move(sleep);
  }

  // Starts or stops the timer keyer (the TX/RX toggle in CW with keying by line).
  void Toggle();
  // Starts the 4 ms timer thread. Returns false when it could not be started ("Timer fault").
  bool Start();
  // Stops the timer; releases the key and PTT, back to normal speed, reception restarted.
  void Stop();
  bool running() const { return running_.load(); }

  // The 4 ms tick (called by the timer thread; tests call it directly).
  void KeyerTick();
  // The 55 ms tick: one letter into an empty pattern.
  void CwPump();
  // Escape while keying: +10 per press, -1 per 55 ms tick; above 15 the keyer stops.
  void EscapePressed();
  void EscapeTick();
  int escapeCount() const { return escape_; }

  // Speed dialog. Both change the current and the normal dot length together until the shown
  // WPM changes; Faster only while d > 3, Slower only while the WPM is above 1.
  void Faster();
  void Slower();
  int wpm() const { return CwWpm(dot_.load()); }
  std::string caption() const { return CwSpeedCaption(dot_.load()); }

  int dotTicks() const { return dot_.load(); }
  int normalDotTicks() const { return normal_.load(); }
  void SetNormalDotTicks(int d);
  const std::atomic<int>& dotTicksRef() const { return dot_; }
  unsigned pattern() const { return pattern_.load(); }
  // Loads a letter directly (tests and the TNC-less paths); only when the pattern is empty.
  bool LoadPattern(unsigned pattern);

 private:
  KeyLines& lines_;
  PeriodicTimer timer_;
  Hooks hooks_;
  std::atomic<bool> running_{false};
  std::atomic<int> dot_;
  std::atomic<int> normal_;
  std::atomic<unsigned> pattern_{0};
  int countdown_ = 0;      // keyer thread only
  bool inLetter_ = false;  // keyer thread only: elements sent since the last letter end
  int escape_ = 0;
};

}  // namespace vexa::tx
