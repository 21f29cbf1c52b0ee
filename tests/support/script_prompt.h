#pragma once
// A prompt for tests: questions get a set answer, text questions take their answers from a
// script (none left: the operator cancels), and everything asked or shown is recorded.
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/prompt.h"

namespace vexa::test {

class ScriptPrompt final : public platform::Prompt {
 public:
  void Message(std::string_view text, std::string_view, platform::PromptIcon) override {
    shown += std::string(text) + "\n";
  }
  platform::PromptAnswer Ask(std::string_view text, std::string_view, platform::PromptButtons,
                             platform::PromptIcon) override {
    asked += std::string(text) + "\n";
    return answer;
  }
  // Recorded as "TITLE: QUESTION [SUGGESTED]".
  bool AskText(std::string_view question, std::string_view title, std::string& text) override {
    asked += std::string(title) + ": " + std::string(question) + " [" + text + "]\n";
    if (answers.empty()) return false;
    text = answers.front();
    answers.erase(answers.begin());
    return true;
  }

  std::vector<std::string> answers;
  platform::PromptAnswer answer = platform::PromptAnswer::No;
  std::string shown, asked;
};

}  // namespace vexa::test
