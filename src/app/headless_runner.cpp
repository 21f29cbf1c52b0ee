#include "app/headless_runner.h"

namespace vexa::app {

int HeadlessRunner::RunModal(MainCore& core) {
  ended_ = false;
  result_ = kResultCancel;
  core.OnInitDialog();
  if (!ended_ && onStart) onStart(core);
  double nextTickMs = nowMs_ + tickMs_;
  const double blockMs = 2048.0 * 1000.0 / 11025.0;
  while (!ended_) {
    const int blocks = core.OnInputBlocks();
    core.OnOutputDone();
    core.OnSerialData();
    if (blocks > 0) {
      nowMs_ += blockMs * blocks;
    } else {
      // No audio waiting: let time run on by one tick so that the ticks (and the transmitter)
      // keep going; end when there is no more input and no time limit.
      if (maxSeconds_ <= 0) {
        // Run the ticks that are due, then stop: the input has run dry.
        while (tickOn_ && nextTickMs <= nowMs_ + tickMs_) {
          core.OnTimer();
          if (onTick) onTick(core);
          nextTickMs += tickMs_;
        }
        core.RequestClose();
        break;
      }
      nowMs_ += tickMs_;
    }
    while (tickOn_ && nextTickMs <= nowMs_ && !ended_) {
      core.OnTimer();
      if (onTick) onTick(core);
      nextTickMs += tickMs_;
    }
    if (maxSeconds_ > 0 && nowMs_ >= maxSeconds_ * 1000.0 && !ended_) core.RequestClose();
  }
  core.OnDestroy();
  return result_;
}

}  // namespace vexa::app
