#pragma once
// The transmit window: the operator types here, and the transmitter takes the text that stands
// before the caret one character at a time (each sent character leaves the window). Text after
// the caret waits and can still be edited. Characters are Latin-1; the control characters of
// the transmitter (end of transmission, identification, SK) show as their Latin-1 signs.
#include <QPlainTextEdit>

#include "tx/transmit_text.h"

namespace vexa::ui {

class TransmitTextEdit final : public QPlainTextEdit, public tx::TransmitText {
 public:
  explicit TransmitTextEdit(QWidget* parent = nullptr) : QPlainTextEdit(parent) {}

  bool SimpleKeyboardVisible() const override { return false; }
  bool PopPending(uint8_t&) override { return false; }
  size_t CaretPosition() const override {
    return static_cast<size_t>(textCursor().selectionStart());
  }
  std::string TakeFirst() override {
    QTextCursor c(document());
    c.movePosition(QTextCursor::Start);
    if (!c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor)) return {};
    const QString t = c.selectedText();
    c.removeSelectedText();
    if (t.isEmpty()) return {};
    const QChar ch = t.at(0);
    if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator) return "\r\n";
    const ushort u = ch.unicode();
    return std::string(1, static_cast<char>(u < 256 ? u : '?'));
  }
  void ClearWindow() override { clear(); }
  void ClearSimpleKeyboard() override {}
  void PostAtEnd(uint8_t c) override {
    QTextCursor cur = textCursor();
    cur.movePosition(QTextCursor::End);
    cur.insertText(QString(QChar(static_cast<ushort>(c))));
    setTextCursor(cur);
  }
  void SelectAll() override { selectAll(); }
};

}  // namespace vexa::ui
