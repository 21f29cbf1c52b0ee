#include "tx/transmit_queue.h"

namespace vexa::tx {

bool TransmitQueue::NextTxChar(uint8_t& c) {
  if (text_.SimpleKeyboardVisible()) return text_.PopPending(c);
  if (chunk_.empty()) {
    if (text_.CaretPosition() == 0) return false;
    chunk_ = text_.TakeFirst();
    if (chunk_.empty()) {
      c = 0;
      return true;
    }
  }
  c = static_cast<uint8_t>(chunk_.front());
  chunk_.erase(0, 1);
  ++column_;
  if (c < '!') {
    if (wrap_ > 0 && column_ >= wrap_ && c != '\r' && c != '\n') chunk_.insert(0, "\r\n");
    column_ = 0;
  }
  return true;
}

}  // namespace vexa::tx
