#include "engine/receive_loop.h"

#include <algorithm>
#include <cmath>

namespace vexa::engine {

ReceiveLoop::ReceiveLoop(ChannelTable channels, int soundHistory) : ch_(channels) {
  if (soundHistory > 0) {
    // Bounded so that a hostile setting cannot ask for gigabytes: 60 units are two minutes.
    const int units = std::min(soundHistory, 60);
    history_.assign(static_cast<size_t>(units) * kHistoryUnitSamples, 0);
  }
}

void ReceiveLoop::PlaceSecondChannel(double hz) {
  if (!(hz > 0)) {
    secondHz_ = 0;
    replayIndex_ = -1;
    return;
  }
  secondHz_ = hz;
  TuneSecond(hz);
  if (!history_.empty()) replayIndex_ = writeIndex_;
}

void ReceiveLoop::RetuneSecondChannel(double hz) {
  if (!(hz > 0)) {
    PlaceSecondChannel(0);
    return;
  }
  secondHz_ = hz;
  TuneSecond(hz);
}

void ReceiveLoop::ProcessBlock(std::span<const int16_t> block) {
  if (block.size() == kInputBlockSamples) {
    std::transform(block.begin(), block.end(), spectrumInput_.begin(),
                   [](int16_t v) { return static_cast<float>(v); });
    ++fullBlocks_;
    if (spectrumHook_) spectrumHook_();
  }

  // The channels are independent objects, so running the whole block through one channel and
  // then through the next gives the same result as interleaving them sample by sample.
  if (!transmitting_) {
    switch (mode_) {
      case Mode::Psk31:
        Run(PskInUse(), block);
        if (secondActive()) {
          if (replayIndex_ >= 0) ContinueReplay();
          if (replayIndex_ < 0) Run(SecondInUse(), block);
        }
        break;
      case Mode::Cw:
        Run(bestDemod_ && ch_.cwBest != nullptr ? ch_.cwBest : ch_.cw, block);
        break;
      case Mode::Qpsk:
        Run(PskInUse(), block);
        RunSecond(block);
        break;
      case Mode::Rtty:
        if (bestDemod_ && ch_.rttyBest != nullptr) {
          Run(ch_.rttyBest, block);
        } else {
          Run(twoTone_ ? ch_.rttyTwoTone : ch_.rttySingle, block);
        }
        RunSecond(block);
        break;
      case Mode::Mtty:
        Run(bestDemod_ && ch_.mttyBest != nullptr ? ch_.mttyBest : ch_.mtty, block);
        RunSecond(block);
        break;
      case Mode::Pactor:
        Run(ch_.pactor, block);
        RunSecond(block);
        break;
      case Mode::Hell:
        Run(ch_.hell, block);
        RunSecond(block);
        break;
      case Mode::Fsk31:
      case Mode::Fsk31b:
        Run(ch_.fsk31, block);
        RunSecond(block);
        break;
      case Mode::Ax25:
        if (ch_.packetMonitor != nullptr) ch_.packetMonitor->ProcessSamples(block);
        break;
      case Mode::Ax25Tx:
        if (ch_.packetActive != nullptr) ch_.packetActive->ProcessSamples(block);
        break;
      default:
        break;
    }
  }

  if (!history_.empty()) {
    const int32_t cap = historyCapacity();
    for (int16_t x : block) {
      history_[static_cast<size_t>(writeIndex_)] = x;
      writeIndex_ = (writeIndex_ + 1) % cap;
    }
  }
}

void ReceiveLoop::CorrectSecondFrequency() {
  // The stronger demodulator follows the signal by itself; the tick's AFC moves its frequency.
  if (secondFreqErr_ == nullptr || SecondInUse() != ch_.second) return;
  const double f = secondHz_;
  const double corrected = f - *secondFreqErr_ * std::ldexp(1.0, -29);
  if (std::fabs(corrected - f) > 0.5) {
    secondHz_ = corrected;
    TuneSecond(corrected);
    *secondFreqErr_ /= 2;
  }
}

void ReceiveLoop::ContinueReplay() {
  const int32_t cap = historyCapacity();
  if (cap == 0) {
    replayIndex_ = -1;
    return;
  }
  // Runs in chunks that end at the next yield mark, at the end of the ring or at the write index,
  // which is the same as feeding the samples one at a time and checking after each.
  while (replayIndex_ >= 0) {
    const int32_t idx = replayIndex_;
    int32_t end = std::min(cap, (idx / kReplayYieldSamples + 1) * kReplayYieldSamples);
    if (writeIndex_ > idx) end = std::min(end, writeIndex_);
    if (ReceiveChannel* c = SecondInUse(); c != nullptr) {
      c->ProcessBlock(
          std::span<const int16_t>(history_.data() + idx, static_cast<size_t>(end - idx)));
    }
    replayIndex_ = end;
    if (replayIndex_ % kReplayYieldSamples == 0) {
      CorrectSecondFrequency();
      if (hooks_.dispatchTimersAndPaint) hooks_.dispatchTimersAndPaint();
      if (hooks_.inputBlockWaiting && hooks_.inputBlockWaiting()) {
        replayIndex_ %= cap;
        return;
      }
    }
    replayIndex_ %= cap;
    if (replayIndex_ == writeIndex_) replayIndex_ = -1;
  }
}

}  // namespace vexa::engine
