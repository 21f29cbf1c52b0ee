#pragma once
// A prompt for tests: answers questions from a script, answers text questions from a table, and
// keeps everything it was shown or asked.
#include <deque>
#include <map>
#include <string>

#include "platform/files/prompt.h"

namespace vexa::test {

class ScriptedPrompt final : public platform::Prompt {
 public:
  void Message(std::string_view text, std::string_view, platform::PromptIcon) override {
    messages.emplace_back(text);
  }
  platform::PromptAnswer Ask(std::string_view text, std::string_view, platform::PromptButtons,
                             platform::PromptIcon) override {
    questions.emplace_back(text);
    if (answers.empty()) return platform::PromptAnswer::No;
    const platform::PromptAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  bool AskText(std::string_view question, std::string_view, std::string& answer) override {
    questions.emplace_back(question);
    auto it = texts.find(std::string(question));
    if (it == texts.end()) return false;
    answer = it->second;
    return true;
  }

  std::deque<platform::PromptAnswer> answers;  // for Ask, in order; No when empty
  std::map<std::string, std::string> texts;    // for AskText, by question
  std::deque<std::string> messages;
  std::deque<std::string> questions;
};

}  // namespace vexa::test
