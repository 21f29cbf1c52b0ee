#pragma once
// Block processing of received audio: every input block goes through the receive channel of the
// current mode (and the second channel when one is placed), is kept in the history ring, and a
// full block is copied for the spectrum. The second channel can catch up on the history ring
// (the replay) when it is placed, yielding to timers, painting and new audio while it does.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "common/mode.h"
#include "common/modem.h"
#include "engine/receive_channel.h"

namespace vexa::engine {

constexpr int kInputBlockSamples = 2048;

// Packet demodulators take raw samples.
using vexa::SampleSink;

// The receive channels of the main window; a null entry means "not built" and is skipped.
struct ChannelTable {
  ReceiveChannel* cw = nullptr;           // mode 0, 500 Hz
  ReceiveChannel* cwBest = nullptr;       // mode 0 with the stronger decoder, 500 Hz
  ReceiveChannel* psk = nullptr;          // modes 9, 10, 500 Hz
  ReceiveChannel* pskBest = nullptr;      // modes 9, 10 with the stronger demodulator, 500 Hz
  ReceiveChannel* second = nullptr;       // any mode while placed, 500 Hz
  ReceiveChannel* secondBest = nullptr;   // the second channel with the stronger demodulator
  ReceiveChannel* rttySingle = nullptr;   // mode 4, 750 Hz
  ReceiveChannel* rttyTwoTone = nullptr;  // mode 4 with the two-tone switch, 750 Hz
  ReceiveChannel* rttyBest = nullptr;     // mode 4 with the stronger demodulator, 750 Hz
  ReceiveChannel* mtty = nullptr;         // mode 17, 750 Hz
  ReceiveChannel* mttyBest = nullptr;     // mode 17 with the stronger demodulator, 750 Hz
  ReceiveChannel* pactor = nullptr;       // mode 14, 1500 Hz
  ReceiveChannel* hell = nullptr;         // mode 15, 750 Hz
  ReceiveChannel* fsk31 = nullptr;        // modes 11, 16, 500 Hz
  SampleSink* packetMonitor = nullptr;    // mode 12 (left null while packet runs on a TNC)
  SampleSink* packetActive = nullptr;     // mode 13 (the selected modem's demodulator)
};

// What the replay needs from the event loop it runs inside.
struct YieldHooks {
  std::function<void()> dispatchTimersAndPaint;  // run waiting tick and paint work now
  std::function<bool()> inputBlockWaiting;       // is the next input block already waiting?
};

class ReceiveLoop {
 public:
  static constexpr int32_t kHistoryUnitSamples = 22050;  // 2 seconds per SoundHistory unit
  static constexpr int32_t kReplayYieldSamples = 0x2000;

  // soundHistory: the SoundHistory setting; the ring holds soundHistory * 22050 samples.
  ReceiveLoop(ChannelTable channels, int soundHistory);

  void SetMode(Mode mode) { mode_ = mode; }
  Mode mode() const { return mode_; }
  void SetTwoTone(bool on) { twoTone_ = on; }
  bool twoTone() const { return twoTone_; }
  // The stronger RTTY, MTTY, PSK31 and CW demodulators in place of the classic ones, the second
  // channel's included (off: the classic ones).
  void SetBestDemod(bool on) { bestDemod_ = on; }
  bool bestDemod() const { return bestDemod_; }
  // While a sound transmission runs, blocks are only stored in the history ring.
  void SetTransmitting(bool on) { transmitting_ = on; }
  void SetChannels(const ChannelTable& channels) { ch_ = channels; }
  const ChannelTable& channels() const { return ch_; }
  void SetYieldHooks(YieldHooks hooks) { hooks_ = std::move(hooks); }
  // Called when a full block has been copied for the spectrum (the spectrum repaints).
  void SetSpectrumHook(std::function<void()> hook) { spectrumHook_ = std::move(hook); }
  // The frequency-error accumulator of the second channel's decoder, used by the replay's
  // frequency correction (int32 in units of 2^-29 Hz per step).
  void SetSecondFrequencyError(int32_t* err) { secondFreqErr_ = err; }

  // Places the second channel at hz (> 0) and starts the replay of the history ring; hz <= 0
  // switches the second channel off.
  void PlaceSecondChannel(double hz);
  // Moves the second channel (its AFC, fine tuning) without touching a running catch-up: the
  // replay goes on from where it is at the new frequency. hz <= 0 switches the channel off.
  void RetuneSecondChannel(double hz);
  double secondFrequency() const { return secondHz_; }
  bool secondActive() const { return secondHz_ > 0; }
  int32_t replayIndex() const { return replayIndex_; }
  // Ends a running catch-up (the channel then runs on live audio).
  void StopReplay() { replayIndex_ = -1; }

  // Processes one input block (normally 2048 samples; a shorter one is not given to the
  // spectrum).
  void ProcessBlock(std::span<const int16_t> block);

  // The last full block as floats, for the spectrum; fullBlocks counts them.
  const std::array<float, kInputBlockSamples>& spectrumInput() const { return spectrumInput_; }
  uint64_t fullBlocks() const { return fullBlocks_; }

  int32_t historyCapacity() const { return static_cast<int32_t>(history_.size()); }
  int32_t historyWriteIndex() const { return writeIndex_; }

 private:
  void Run(ReceiveChannel* c, std::span<const int16_t> s) {
    if (c != nullptr) c->ProcessBlock(s);
  }
  ReceiveChannel* PskInUse() const {
    return bestDemod_ && ch_.pskBest != nullptr ? ch_.pskBest : ch_.psk;
  }
  ReceiveChannel* SecondInUse() const {
    return bestDemod_ && ch_.secondBest != nullptr ? ch_.secondBest : ch_.second;
  }
  // Both second receivers are kept on the same frequency, so the switch can change sides.
  void TuneSecond(double hz) {
    if (ch_.second != nullptr) ch_.second->SetCarrier(hz);
    if (ch_.secondBest != nullptr) ch_.secondBest->SetCarrier(hz);
  }
  void RunSecond(std::span<const int16_t> s) {
    if (secondActive()) Run(SecondInUse(), s);
  }
  void ContinueReplay();
  void CorrectSecondFrequency();

  ChannelTable ch_;
  Mode mode_ = Mode::Psk31;
  bool twoTone_ = false;
  bool bestDemod_ = false;
  bool transmitting_ = false;
  double secondHz_ = 0;
  int32_t* secondFreqErr_ = nullptr;
  YieldHooks hooks_;
  std::function<void()> spectrumHook_;

  std::vector<int16_t> history_;
  int32_t writeIndex_ = 0;
  int32_t replayIndex_ = -1;

  std::array<float, kInputBlockSamples> spectrumInput_{};
  uint64_t fullBlocks_ = 0;
};

}  // namespace vexa::engine
