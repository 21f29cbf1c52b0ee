#include "spots/cluster_line_reader.h"

#include <string_view>

namespace vexa::spots {
namespace {

// Telnet command bytes.
constexpr uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                  kSe = 240;

}  // namespace

void ClusterLineReader::Feed(std::span<const uint8_t> bytes, std::vector<std::string>& lines) {
  for (const uint8_t b : bytes) {
    switch (state_) {
      case State::Text:
        if (b == kIac) {
          state_ = State::Command;
        } else if (b == '\r') {
          EndLine(lines);
          afterCr_ = true;
          continue;
        } else if (b == '\n') {
          if (!afterCr_) EndLine(lines);
        } else if ((b >= 32 && b != 127) || b == '\t') {
          if (line_.size() < kMaxLineChars) line_.push_back(static_cast<char>(b));
        }
        // BEL, NUL and the other control bytes are dropped.
        break;
      case State::Command:
        if (b == kIac) {
          // An escaped 0xFF data byte.
          if (line_.size() < kMaxLineChars) line_.push_back(static_cast<char>(b));
          state_ = State::Text;
        } else if (b >= kWill && b <= kDont) {
          verb_ = b;
          state_ = State::Option;
        } else if (b == kSb) {
          subBytes_ = 0;
          state_ = State::Sub;
        } else {
          state_ = State::Text;  // NOP, GA and the other two-byte commands
        }
        break;
      case State::Option:
        Refuse(verb_, b);
        state_ = State::Text;
        break;
      case State::Sub:
        if (b == kIac) {
          state_ = State::SubCommand;
        } else if (++subBytes_ > kMaxSubnegotiation) {
          state_ = State::Text;
        }
        break;
      case State::SubCommand:
        state_ = b == kSe ? State::Text : State::Sub;
        break;
    }
    afterCr_ = false;
  }
}

void ClusterLineReader::EndLine(std::vector<std::string>& lines) {
  if (!line_.empty()) lines.push_back(std::move(line_));
  line_.clear();
}

void ClusterLineReader::Refuse(uint8_t verb, uint8_t option) {
  // This client takes on no option: it refuses what is proposed, once per option so that two
  // refusing ends cannot loop, and needs no answer to a refusal.
  if (verb == kDo && !refusedDo_[option]) {
    refusedDo_[option] = true;
    replies_ += {static_cast<char>(kIac), static_cast<char>(kWont), static_cast<char>(option)};
  } else if (verb == kWill && !refusedWill_[option]) {
    refusedWill_[option] = true;
    replies_ += {static_cast<char>(kIac), static_cast<char>(kDont), static_cast<char>(option)};
  }
}

std::string ClusterLineReader::TakeReplies() {
  std::string r;
  r.swap(replies_);
  return r;
}

void ClusterLineReader::Reset() {
  *this = ClusterLineReader();
}

bool IsLoginPrompt(std::string_view pending) {
  while (!pending.empty() && (pending.back() == ' ' || pending.back() == '\t'))
    pending.remove_suffix(1);
  auto endsWith = [&](std::string_view word) {
    if (pending.size() < word.size()) return false;
    const std::string_view tail = pending.substr(pending.size() - word.size());
    for (size_t i = 0; i < word.size(); ++i) {
      char c = tail[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != word[i]) return false;
    }
    return true;
  };
  return endsWith("login:") || endsWith("call:") || endsWith("callsign:");
}

}  // namespace vexa::spots
