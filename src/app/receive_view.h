#pragma once
// The receive text window as the main window core sees it. The desktop program implements it
// with a text widget; the headless model keeps the text in memory (command line and tests).
#include <cstdint>
#include <string>

namespace vexa::app {

class ReceiveView {
 public:
  virtual ~ReceiveView() = default;
  // Writes one received character (CR and LF included) at the end of the text.
  virtual void AppendChar(uint8_t c) = 0;
  // Removes the last character (a received backspace).
  virtual void DeleteLastChar() = 0;
  // A line has ended: the window scrolls by one line.
  virtual void LineCompleted() = 0;
  // While the operator works in the window (selecting text), nothing is taken from the queue.
  virtual bool HasFocus() const = 0;
};

class TextReceiveView final : public ReceiveView {
 public:
  void AppendChar(uint8_t c) override { text.push_back(static_cast<char>(c)); }
  void DeleteLastChar() override {
    if (!text.empty()) text.pop_back();
  }
  void LineCompleted() override { ++lines; }
  bool HasFocus() const override { return focus; }

  std::string text;
  int lines = 0;
  bool focus = false;
};

}  // namespace vexa::app
