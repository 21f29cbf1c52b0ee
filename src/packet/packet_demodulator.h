#pragma once
// The face of a sound-card packet demodulator: it takes raw input samples at 11025/s, reports
// the number of bit periods between two tone changes to its run-length output (the HDLC
// receiver) and keeps a carrier-detect level that channel access compares with the modem's
// busy threshold.
#include <cstdint>
#include <span>

#include "common/modem.h"
#include "packet/hdlc.h"

namespace vexa::packet {

class PacketDemodulator : public SampleSink {
 public:
  void set_output(RunLengthSink* output) { output_ = output; }
  RunLengthSink* output() const { return output_; }
  // Demodulators with HDLC receivers of their own hand whole frames (without FCS) here instead
  // of reporting run lengths.
  void set_frame_output(FrameSink* frames) { frames_ = frames; }

  virtual void ProcessSample(int16_t x) = 0;
  // The carrier-detect value, a 16-bit magnitude (0..32767 or so).
  virtual int32_t Level() const = 0;
  // Clears the running state (the parameters stay).
  virtual void Reset() = 0;

  void ProcessSamples(std::span<const int16_t> samples) override {
    for (int16_t x : samples) ProcessSample(x);
  }

 protected:
  void Emit(int periods) {
    if (output_) output_->Run(periods);
  }
  void EmitFrame(std::span<const uint8_t> frame) {
    if (frames_) frames_->OnFrame(frame);
  }

 private:
  RunLengthSink* output_ = nullptr;
  FrameSink* frames_ = nullptr;
};

}  // namespace vexa::packet
