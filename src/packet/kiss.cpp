#include "packet/kiss.h"

namespace vexa::packet {

std::vector<uint8_t> EncodeKiss(KissCommand command, std::span<const uint8_t> data) {
  std::vector<uint8_t> out;
  out.reserve(data.size() + data.size() / 8 + 3);
  out.push_back(kFend);
  out.push_back(static_cast<uint8_t>(command));
  for (uint8_t b : data) {
    if (b == kFend) {
      out.push_back(kFesc);
      out.push_back(kTfend);
    } else if (b == kFesc) {
      out.push_back(kFesc);
      out.push_back(kTfesc);
    } else {
      out.push_back(b);
    }
  }
  out.push_back(kFend);
  return out;
}

std::vector<std::vector<uint8_t>> KissParameterFrames(const KissParameters& p) {
  const struct {
    KissCommand command;
    int value;
  } rows[] = {{KissCommand::TxDelay, p.txDelay},
              {KissCommand::Persistence, p.persist},
              {KissCommand::SlotTime, p.slotTime},
              {KissCommand::TxTail, p.txTail},
              {KissCommand::FullDuplex, p.fullDuplex ? 1 : 0}};
  std::vector<std::vector<uint8_t>> out;
  for (const auto& r : rows) {
    const uint8_t b = static_cast<uint8_t>(r.value & 0xFF);
    out.push_back(EncodeKiss(r.command, std::span<const uint8_t>(&b, 1)));
  }
  return out;
}

void KissReceiver::Push(uint8_t byte) {
  if (byte == kFend) {
    if (!escape_ && length_ > 1 && buffer_[0] == 0 && handler_)
      handler_->OnKissFrame(std::span<const uint8_t>(buffer_ + 1, length_ - 1));
    Reset();
    return;
  }
  if (byte == kFesc) {
    escape_ = true;
    return;
  }
  if (escape_) {
    if (byte == kTfend)
      byte = kFend;
    else if (byte == kTfesc)
      byte = kFesc;
    escape_ = false;
  }
  if (length_ < kBufferBytes) buffer_[length_++] = byte;
}

namespace {
void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (size_t pos = 0; (pos = s.find(from, pos)) != std::string::npos; pos += to.size())
    s.replace(pos, from.size(), to);
}
}  // namespace

std::string ExpandTncCommand(std::string_view stored) {
  std::string s(stored);
  ReplaceAll(s, "\\n", "\n");
  ReplaceAll(s, "\\r", "\r");
  ReplaceAll(s, "^M", "\r");
  ReplaceAll(s, "^J", "\n");
  ReplaceAll(s, "^C", "\x03");
  return s;
}

int ChannelAccess::Draw() {
  // xorshift32: cheap, and replayable from the seed.
  seed_ ^= seed_ << 13;
  seed_ ^= seed_ >> 17;
  seed_ ^= seed_ << 5;
  return static_cast<int>(seed_ >> 24);
}

bool ChannelAccess::Step(bool busy, bool waiting) {
  if (!running_) {
    if (!waiting) return false;
    running_ = true;
    countdown_ = 1;
  }
  if (busy) {
    running_ = false;  // restarts at the next step while frames wait
    return false;
  }
  if (--countdown_ > 0) return false;
  if (Draw() <= persist_) {
    running_ = false;
    return true;
  }
  countdown_ = slotTime_ > 0 ? slotTime_ : 1;
  return false;
}

}  // namespace vexa::packet
