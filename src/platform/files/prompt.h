#pragma once
// Message boxes and questions to the operator. The desktop program answers them with dialogs,
// the command line with its options or the terminal, and tests with a script. Code below the
// user interface asks through this interface and never shows anything itself.
#include <string>
#include <string_view>

namespace vexa::platform {

enum class PromptAnswer { Ok, Yes, No, Cancel };
enum class PromptButtons { Ok, YesNo, YesNoCancel, OkCancel };
enum class PromptIcon { None, Information, Warning, Error, Question };

class Prompt {
 public:
  virtual ~Prompt() = default;
  // A message with an OK button (title "Error" for errors, as the caller gives it).
  virtual void Message(std::string_view text, std::string_view title, PromptIcon icon) = 0;
  // A question; returns the button chosen.
  virtual PromptAnswer Ask(std::string_view text, std::string_view title, PromptButtons buttons,
                           PromptIcon icon) = 0;
  // Asks for one line of text (a frequency, a report). `answer` holds the suggested text on entry
  // and the typed text on return. Returns false when the operator cancels or the front end cannot
  // ask for text (the default).
  virtual bool AskText(std::string_view question, std::string_view title, std::string& answer) {
    (void)question;
    (void)title;
    (void)answer;
    return false;
  }
};

// Answers every question with a fixed answer and keeps the texts it was shown (for the command
// line's --yes/--no and for tests).
class FixedPrompt final : public Prompt {
 public:
  explicit FixedPrompt(PromptAnswer answer = PromptAnswer::No) : answer_(answer) {}
  void Message(std::string_view text, std::string_view, PromptIcon) override {
    shown += std::string(text) + "\n";
  }
  PromptAnswer Ask(std::string_view text, std::string_view, PromptButtons buttons,
                   PromptIcon) override {
    asked += std::string(text) + "\n";
    if (buttons == PromptButtons::Ok) return PromptAnswer::Ok;
    if (buttons == PromptButtons::OkCancel)
      return answer_ == PromptAnswer::Yes || answer_ == PromptAnswer::Ok ? PromptAnswer::Ok
                                                                         : PromptAnswer::Cancel;
    return answer_;
  }
  void SetAnswer(PromptAnswer a) { answer_ = a; }

  std::string shown;  // every message, one per line
  std::string asked;  // every question, one per line

 private:
  PromptAnswer answer_;
};

}  // namespace vexa::platform
