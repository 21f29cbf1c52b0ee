#pragma once
// The operating console: the macro expander and the key player. `ExpandMacros` replaces and
// performs the macros of a text in a fixed order of steps; `PlayKeyText` feeds a key's text
// into the transmit window piece by piece (plain text as it is, each "<...>" segment through
// the expander); `SendTextFile` sends a file line by line through the expander. Everything the
// console touches outside itself goes through ConsoleHost.
#include <cstdint>
#include <string>
#include <string_view>

#include "console/auto_cq.h"
#include "console/console_host.h"
#include "console/key_table.h"

namespace vexa::console {

// Replaces every occurrence of token (case-sensitive), scanning on after each inserted
// replacement so that it is never scanned again. Nothing is done when token and replacement
// are equal or the token is empty. Returns the number of replacements.
int ReplaceAll(std::string& text, std::string_view token, std::string_view replacement);

// The cut-number conversion of a serial number or report sent in CW.
std::string CutNumber(std::string_view text, const CutNumbers& cut);

// "%02i/%s/%4i": day, fixed English month abbreviation, year (UTC).
std::string FixedDate(int64_t utcSeconds);

class Console {
 public:
  // The longest text an expansion may grow to; deeper nesting or further brag text beyond it
  // stays unexpanded or is not sent.
  static constexpr size_t kMaxTextLength = 1u << 16;
  // The most nesting passes over the key tokens.
  static constexpr int kMaxNestingPasses = 5;
  // Characters of one line of a sent text file, line end included.
  static constexpr size_t kMaxLineLength = 255;

  explicit Console(ConsoleHost& host) : host_(host) {}

  KeyTable& keys() { return keys_; }
  const KeyTable& keys() const { return keys_; }
  AutoCq& autoCq() { return autoCq_; }
  const AutoCq& autoCq() const { return autoCq_; }

  // The whole text through the steps of the expansion; actions are performed on the way.
  std::string ExpandMacros(std::string_view text);
  // Plays key 0..23 or a SpecialKey. Any key but the Auto CQ text stops Auto CQ.
  void PlayKeyText(int key);
  // Plays a text as key `key` would (the command line's check of a key text).
  void PlayText(std::string_view text, int key);
  // Sends a text file: each line through ExpandMacros and into the transmit window. False when
  // the file cannot be opened (nothing is sent and nothing is shown).
  bool SendTextFile(const std::string& path);
  // One line of a sent text file, expanded whole.
  void SendTextLine(std::string_view line);
  // Takes the instant the date and time macros use (done by every key press and file send).
  void TakeTime() { pressTime_ = host_.NowUtcSeconds(); }

  // An Auto CQ call: the counter is reset, the Auto CQ text played and, unless a transmission
  // or the keyer runs, transmission starts.
  void AutoCqCall();
  // The once-a-second moment of Auto CQ (the clock text changed); busy: the RTTY rule.
  void OnClockChange(bool busy);

 private:
  void ExpandKeyTokens(std::string& s);
  void ExpandDateTime(std::string& s) const;
  void ExpandLocal(std::string& s) const;
  void ExpandFields(std::string& s);
  void Insert(std::string_view text) {
    if (!text.empty()) host_.InsertTransmitText(text);
  }

  ConsoleHost& host_;
  KeyTable keys_;
  AutoCq autoCq_;
  int64_t pressTime_ = 0;
  int fileDepth_ = 0;  // brag files sent from inside a sent file are not followed
};

}  // namespace vexa::console
