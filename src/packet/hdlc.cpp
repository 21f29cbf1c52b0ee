#include "packet/hdlc.h"

#include "packet/fcs16.h"

namespace vexa::packet {

void HdlcTransmitter::SetFlagCounts(int txDelayFlags, int tailFlags) {
  txDelayFlags_ = txDelayFlags > 0 ? txDelayFlags : 0;
  tailFlags_ = tailFlags > 0 ? tailFlags : 0;
}

bool HdlcTransmitter::PutBit(int bit) {
  if (count_ >= kMaxBits) return false;
  if (bit == 0) level_ ^= 1;  // NRZI: a 0 toggles the line, a 1 keeps it
  const auto i = static_cast<size_t>(count_);
  if (level_) {
    levels_[i >> 3] = static_cast<uint8_t>(levels_[i >> 3] | (1u << (i & 7)));
  } else {
    levels_[i >> 3] = static_cast<uint8_t>(levels_[i >> 3] & ~(1u << (i & 7)));
  }
  ++count_;
  return true;
}

bool HdlcTransmitter::PutByte(uint8_t b, bool stuff) {
  for (int k = 0; k < 8; ++k) {
    const int bit = (b >> k) & 1;
    if (!PutBit(bit)) return false;
    if (!stuff) {
      ones_ = 0;
      continue;
    }
    if (bit) {
      if (++ones_ == 5) {
        if (!PutBit(0)) return false;
        ones_ = 0;
      }
    } else {
      ones_ = 0;
    }
  }
  return true;
}

bool HdlcTransmitter::QueueFrame(std::span<const uint8_t> frame) {
  if (!Pending()) {
    count_ = 0;
    read_ = 0;
    for (int i = 0; i < txDelayFlags_; ++i)
      if (!PutByte(kHdlcFlag, false)) return false;
  }
  ones_ = 0;
  for (uint8_t b : frame)
    if (!PutByte(b, true)) return false;
  const uint16_t fcs = Fcs16(frame);
  if (!PutByte(static_cast<uint8_t>(fcs & 0xFF), true)) return false;
  if (!PutByte(static_cast<uint8_t>(fcs >> 8), true)) return false;
  if (!PutByte(kHdlcFlag, false)) return false;  // the closing flag
  for (int i = 0; i < tailFlags_; ++i)
    if (!PutByte(kHdlcFlag, false)) return false;
  return true;
}

int HdlcTransmitter::NextLevel() {
  if (read_ >= count_) {
    count_ = 0;
    read_ = 0;
    return -1;
  }
  const auto i = static_cast<size_t>(read_++);
  return (levels_[i >> 3] >> (i & 7)) & 1;
}

void HdlcTransmitter::Reset() {
  count_ = 0;
  read_ = 0;
  ones_ = 0;
}

void HdlcReceiver::Reset() {
  bytes_ = 0;
  shift_ = 0;
  bitsInByte_ = 0;
}

void HdlcReceiver::PutBit(int bit) {
  shift_ |= static_cast<unsigned>(bit) << bitsInByte_;
  if (++bitsInByte_ < 8) return;
  if (bytes_ >= kBufferBytes) bytes_ = 0;  // a run without flags: start again
  buffer_[bytes_++] = static_cast<uint8_t>(shift_);
  shift_ = 0;
  bitsInByte_ = 0;
}

void HdlcReceiver::Flag() {
  // The flag's leading 0 ended the previous run, so a flag on a byte boundary finds exactly one
  // bit of a new byte collected.
  if (bitsInByte_ == 1 && bytes_ > 14) {
    const size_t n = bytes_ - 2;
    const uint16_t got = static_cast<uint16_t>(buffer_[n] | (buffer_[n + 1] << 8));
    const std::span<const uint8_t> frame(buffer_.data(), n);
    if (Fcs16(frame) == got) {
      ++framesPassed_;
      if (sink_) sink_->OnFrame(frame);
    } else {
      ++fcsFailures_;
    }
  }
  Reset();
}

void HdlcReceiver::Run(int periods) {
  if (periods >= 1 && periods <= 5) {
    for (int k = 1; k < periods; ++k) PutBit(1);
    PutBit(0);
  } else if (periods == 6) {
    for (int k = 0; k < 5; ++k) PutBit(1);
  } else if (periods == 7) {
    Flag();
  } else {
    Reset();
  }
}

}  // namespace vexa::packet
