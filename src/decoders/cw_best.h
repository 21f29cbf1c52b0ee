#pragma once
// The stronger CW decoder ("best"), beside the classic one and using the same Morse table. It
// keeps the common integer front end (mixed down at the receive frequency, 500 Hz, one step =
// 2 ms) and works in floating point from there:
//
// - a narrow filter matched to the elements: the I/Q sums averaged over about 0.8 of the
//   sender's unit (20 ms until the speed is known), whose envelope is compared with a
//   threshold halfway between the tracked tone level and the tracked noise level, with
//   hysteresis, and only while the tone stands clear of the noise (a squelch);
// - glitches bridged: a run shorter than about a third of a unit joins the runs around it;
// - speed from the first elements: the unit is the shorter of the first mark and the first
//   space (inside a letter both are one unit), so the first letter already decodes; it then
//   follows every dot, dash and element space.
#include <array>
#include <cstdint>

#include "engine/receive_channel.h"
#include "engine/rx_text_queue.h"

namespace vexa::decoders {

class CwBest : public engine::ReceiveChannel {
 public:
  static constexpr int kRing = 64;
  static constexpr int kWarmSteps = 64;  // 128 ms kept from cold before the levels are set
  explicit CwBest(engine::RxTextQueue* sink = nullptr);
  void ProcessDecimated() override;
  void ResetFilters() override;

  // The measured unit (a dot) in 2 ms steps, 0 until it is known.
  float unitSteps() const { return unit_; }
  // Words per minute (PARIS: 1200 ms / unit), 0 until known.
  float wpm() const { return unit_ > 0 ? 600.0f / unit_ : 0; }
  bool keyDown() const { return elemDown_; }

 private:
  void Clear();
  void Decide(float env);
  void Element(bool down, int len);
  void EndLetter();
  void Put(uint8_t c) {
    if (sink_ != nullptr) sink_->Put(c);
  }

  engine::RxTextQueue* sink_;
  float ringI_[kRing] = {};
  float ringQ_[kRing] = {};
  int ringIndex_ = 0;
  float peak_ = 0;   // envelope while keyed
  float floor_ = 0;  // envelope while not keyed
  int warm_ = 0;     // steps since reset, up to kWarmSteps
  std::array<float, kWarmSteps> warmEnv_{};
  bool raw_ = false;

  bool elemDown_ = false;  // state of the element being measured
  int elemLen_ = 0;        // its length in steps (bridged glitches included)
  int oppLen_ = 0;         // the opposite run that may end it
  float unit_ = 0;
  int firstMark_ = 0;  // the first mark's length while the unit is not known
  uint32_t bits_ = 0;  // elements of the letter, the first in bit 0 (dash = 1)
  int count_ = 0;
  bool letterDone_ = true;
  bool wordDone_ = true;
};

}  // namespace vexa::decoders
