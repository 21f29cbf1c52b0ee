#pragma once
// The text a telnet DX cluster sends, turned into lines: telnet commands are taken out (and
// every option the server proposes is refused once), BEL and the other control bytes are
// dropped, CR, LF and CR LF end a line, and a line is cut to a bounded length. Text after the
// last line end (a prompt) waits in pending(). Pure: bytes in, lines and answers out.
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexa::spots {

class ClusterLineReader {
 public:
  // Longest line kept; the rest of a longer line is dropped.
  static constexpr size_t kMaxLineChars = 4096;
  // Longest telnet sub-negotiation skipped before the reader gives up on it.
  static constexpr size_t kMaxSubnegotiation = 1024;

  // Takes received bytes; each completed non-empty line is appended to `lines`.
  void Feed(std::span<const uint8_t> bytes, std::vector<std::string>& lines);
  // The text since the last line end.
  const std::string& pending() const { return line_; }
  // Ends the pending text as a line of its own (a prompt that was answered): the node's next
  // text then starts a new line.
  void EndPendingLine(std::vector<std::string>& lines) { EndLine(lines); }
  // Telnet answers owed to the server; cleared by the call.
  std::string TakeReplies();
  void Reset();

 private:
  enum class State { Text, Command, Option, Sub, SubCommand };
  void EndLine(std::vector<std::string>& lines);
  void Refuse(uint8_t verb, uint8_t option);

  State state_ = State::Text;
  uint8_t verb_ = 0;
  size_t subBytes_ = 0;
  bool afterCr_ = false;
  std::string line_;
  std::string replies_;
  std::bitset<256> refusedDo_, refusedWill_;
};

// True when `pending` ends in a login question ("login:", "call:", "callsign:", any case,
// spaces after it allowed).
bool IsLoginPrompt(std::string_view pending);

}  // namespace vexa::spots
