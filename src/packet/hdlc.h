#pragma once
// HDLC framing of the sound-card modems. The transmitter turns frames into the NRZI line levels
// of one transmission (TX-delay flags, the stuffed frame with its FCS, closing and tail flags);
// the receiver takes the run lengths a demodulator measures between level transitions and hands
// every frame whose FCS matches to a sink, without the FCS.
#include <array>
#include <cstdint>
#include <span>

namespace vexa::packet {

constexpr uint8_t kHdlcFlag = 0x7E;

// Flags sent for a time in 10 ms units (TxDelay, TxTail) at a bit rate: bitRate * t / 800.
constexpr int FlagCount(int bitRate, int tenMs) {
  return bitRate * tenMs / 800;
}

class HdlcTransmitter {
 public:
  // The bit buffer of one transmission; building stops when it is full.
  static constexpr int kMaxBits = 65486;

  // Flag bytes before the first frame and after each frame's closing flag.
  void SetFlagCounts(int txDelayFlags, int tailFlags);
  int txDelayFlags() const { return txDelayFlags_; }
  int tailFlags() const { return tailFlags_; }

  // Queues one frame (without FCS). When no transmission is under way it starts one with the
  // TX-delay flags; otherwise the frame is appended after the previous frame's flags. Returns
  // false when the bit buffer ran full (the transmission is cut there).
  bool QueueFrame(std::span<const uint8_t> frame);
  // Line levels waiting to be sent.
  bool Pending() const { return read_ < count_; }
  int bitCount() const { return count_; }
  // The next line level, 0 or 1; -1 when the transmission has been sent completely (the next
  // frame then starts a new one).
  int NextLevel();
  // Drops the transmission under way.
  void Reset();

 private:
  bool PutBit(int bit);  // false when the buffer is full
  bool PutByte(uint8_t b, bool stuff);

  std::array<uint8_t, (kMaxBits + 7) / 8> levels_{};
  int count_ = 0;
  int read_ = 0;
  int level_ = 0;  // current NRZI line level
  int ones_ = 0;   // consecutive 1 bits, for stuffing
  int txDelayFlags_ = 0;
  int tailFlags_ = 0;
};

// Where a receiver's frames go: the frame bytes without the FCS.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual void OnFrame(std::span<const uint8_t> frame) = 0;
};

// Where a demodulator's run lengths go.
class RunLengthSink {
 public:
  virtual ~RunLengthSink() = default;
  // periods: bit periods between two level transitions (1..8; 8 stands for 8 or more).
  virtual void Run(int periods) = 0;
};

class HdlcReceiver final : public RunLengthSink {
 public:
  static constexpr size_t kBufferBytes = 4096;

  explicit HdlcReceiver(FrameSink* sink = nullptr) : sink_(sink) {}
  void set_sink(FrameSink* sink) { sink_ = sink; }

  // A run of 1..5 periods gives that many bits, all 1 but a final 0; 6 gives five 1 bits (the
  // stuffed 0 is dropped); 7 is a flag; anything longer (or a run below 1) resets the receiver.
  void Run(int periods) override;
  void Reset();

  // Frames that passed the FCS check, and checks that failed (frames of more than 14 bytes
  // between two flags on a byte boundary).
  int framesPassed() const { return framesPassed_; }
  int fcsFailures() const { return fcsFailures_; }

 private:
  void PutBit(int bit);
  void Flag();

  FrameSink* sink_;
  std::array<uint8_t, kBufferBytes> buffer_{};
  size_t bytes_ = 0;
  unsigned shift_ = 0;  // bits of the byte being collected, least significant first
  int bitsInByte_ = 0;
  int framesPassed_ = 0;
  int fcsFailures_ = 0;
};

}  // namespace vexa::packet
