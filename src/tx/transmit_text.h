#pragma once
// Where the transmitter's characters come from: the transmit window, or the simple keyboard
// window with its pending string when that is shown instead. The GUI's editor implements
// TransmitText; PlainTransmitText is the model used headless and in tests.
//
// Only text before the caret may be sent; text after it waits and can still be edited. Each
// character taken for sending leaves the window.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexa::tx {

// Control bytes that travel in the transmit text.
inline constexpr uint8_t kTxEnd = 0xAE;   // end of transmission
inline constexpr uint8_t kTxCwId = 0xA9;  // station identification in Morse
inline constexpr uint8_t kTxSk = 0xA4;    // the prosign SK

class TransmitText {
 public:
  virtual ~TransmitText() = default;

  // True while the simple keyboard window is shown instead of the transmit window.
  virtual bool SimpleKeyboardVisible() const = 0;
  // Simple keyboard: removes and returns the first pending character; false when none.
  virtual bool PopPending(uint8_t& c) = 0;
  // Transmit window: the number of characters before the caret.
  virtual size_t CaretPosition() const = 0;
  // Transmit window: removes the first element (called only with the caret above 0) and
  // returns its text. An element without text (an embedded object) is removed and gives "".
  virtual std::string TakeFirst() = 0;
  // Empties the transmit window.
  virtual void ClearWindow() = 0;
  // Empties the simple keyboard's pending string and deletes its text.
  virtual void ClearSimpleKeyboard() = 0;
  // Puts the caret at the end of the active window and types c there.
  virtual void PostAtEnd(uint8_t c) = 0;
  // Selects all text of the transmit window (the next typing replaces it), or focuses the
  // simple keyboard when it is shown.
  virtual void SelectAll() = 0;
};

class PlainTransmitText final : public TransmitText {
 public:
  // Types text at the caret (replacing everything when all is selected); the caret moves on.
  void Type(std::string_view s) {
    if (allSelected_) {
      text_.clear();
      caret_ = 0;
      allSelected_ = false;
    }
    // Built anew rather than with insert(), which GCC 12 misreports (-Wrestrict) when inlined.
    std::string out;
    out.reserve(text_.size() + s.size());
    out.append(text_, 0, caret_);
    out.append(s);
    out.append(text_, caret_, std::string::npos);
    text_.swap(out);
    caret_ += s.size();
  }
  // Adds text after the end without moving the caret (it waits until the caret passes it).
  void AppendAfterCaret(std::string_view s) { text_ += s; }
  void SetCaret(size_t pos) { caret_ = pos > text_.size() ? text_.size() : pos; }
  void SetSimpleKeyboardVisible(bool on) { simple_ = on; }
  // Typing into the simple keyboard window.
  void TypeSimple(std::string_view s) { pending_ += s; }

  const std::string& text() const { return text_; }
  const std::string& pending() const { return pending_; }
  bool allSelected() const { return allSelected_; }

  bool SimpleKeyboardVisible() const override { return simple_; }
  bool PopPending(uint8_t& c) override {
    if (pending_.empty()) return false;
    c = static_cast<uint8_t>(pending_.front());
    pending_.erase(0, 1);
    return true;
  }
  size_t CaretPosition() const override { return caret_; }
  std::string TakeFirst() override {
    if (caret_ == 0 || text_.empty()) return {};
    std::string first = text_.substr(0, 1);
    text_.erase(0, 1);
    --caret_;
    return first;
  }
  void ClearWindow() override {
    text_.clear();
    caret_ = 0;
    allSelected_ = false;
  }
  void ClearSimpleKeyboard() override { pending_.clear(); }
  void PostAtEnd(uint8_t c) override {
    const char ch = static_cast<char>(c);
    if (simple_) {
      pending_.push_back(ch);
      return;
    }
    allSelected_ = false;
    caret_ = text_.size();
    Type(std::string_view(&ch, 1));
  }
  void SelectAll() override {
    if (!simple_) allSelected_ = true;
  }

 private:
  std::string text_;
  size_t caret_ = 0;
  bool simple_ = false;
  std::string pending_;
  bool allSelected_ = false;
};

}  // namespace vexa::tx
