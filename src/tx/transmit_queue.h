#pragma once
// The transmit queue: hands the modulators and the CW pump one character at a time from the
// transmit text, through a chunk buffer of characters already removed from the window but not
// yet sent. Every transmission begins with CR LF (the chunk is set to it at the start), and a
// space or control character at or past the wrap column is followed by CR LF.
#include <cstdint>
#include <string>

#include "tx/transmit_text.h"

namespace vexa::tx {

class TransmitQueue {
 public:
  explicit TransmitQueue(TransmitText& text, int wrapColumn = 80)
      : text_(text), wrap_(wrapColumn) {}

  // The next character. False when nothing is available; true with c = 0 when the window gave
  // an element without text (the caller sends its idle signal).
  bool NextTxChar(uint8_t& c);
  // Called at every start of a sound transmission.
  void StartTransmission() { chunk_ = "\r\n"; }
  // Wrap column (profile key Wrap); 0 or less switches wrapping off.
  void SetWrap(int column) { wrap_ = column; }
  int wrap() const { return wrap_; }
  int column() const { return column_; }
  const std::string& chunk() const { return chunk_; }
  TransmitText& text() { return text_; }

 private:
  TransmitText& text_;
  int wrap_;
  int column_ = 0;
  std::string chunk_;
};

}  // namespace vexa::tx
