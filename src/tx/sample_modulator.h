#pragma once
// Plays prepared samples (the packet modem's transmissions) through the transmitter's block
// pump: each block takes the next samples; once they have run out the block is marked as the
// end block and the rest of it is silence. Samples added after the end was marked wait for
// the next transmission, so no sample is cut off.
#include <cstdint>
#include <deque>
#include <span>

#include "common/modem.h"

namespace vexa::tx {

class SampleModulator final : public Modulator {
 public:
  explicit SampleModulator(ModulatorHost& host) : host_(host) {}

  void Append(std::span<const int16_t> samples) {
    samples_.insert(samples_.end(), samples.begin(), samples.end());
  }
  size_t waiting() const { return samples_.size(); }

  void Start(const ModulatorParams&) override { ended_ = false; }
  // Switching back to receive cuts the transmission short; what was not sent is dropped.
  void RequestTail() override { samples_.clear(); }
  void Fill(std::span<int16_t> block) override {
    size_t i = 0;
    if (!ended_) {
      for (; i < block.size() && !samples_.empty(); ++i) {
        block[i] = samples_.front();
        samples_.pop_front();
      }
    }
    for (size_t k = i; k < block.size(); ++k) block[k] = 0;
    if (!ended_ && samples_.empty()) {
      ended_ = true;
      host_.MarkEndBlock();
    }
  }

 private:
  ModulatorHost& host_;
  std::deque<int16_t> samples_;
  bool ended_ = false;
};

}  // namespace vexa::tx
