#pragma once
// Message boxes and questions of the core, answered with Qt dialogs.
#include <QInputDialog>
#include <QMessageBox>
#include <QWidget>

#include "platform/files/prompt.h"

namespace vexa::ui {

class QtPrompt final : public platform::Prompt {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Message(std::string_view text, std::string_view title, platform::PromptIcon icon) override {
    QMessageBox box(Icon(icon), QString::fromUtf8(title.data(), int(title.size())),
                    QString::fromUtf8(text.data(), int(text.size())), QMessageBox::Ok, parent_);
    box.exec();
  }

  platform::PromptAnswer Ask(std::string_view text, std::string_view title,
                             platform::PromptButtons buttons, platform::PromptIcon icon) override {
    QMessageBox::StandardButtons b = QMessageBox::Ok;
    switch (buttons) {
      case platform::PromptButtons::Ok:
        b = QMessageBox::Ok;
        break;
      case platform::PromptButtons::YesNo:
        b = QMessageBox::Yes | QMessageBox::No;
        break;
      case platform::PromptButtons::YesNoCancel:
        b = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
      case platform::PromptButtons::OkCancel:
        b = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    }
    QMessageBox box(Icon(icon), QString::fromUtf8(title.data(), int(title.size())),
                    QString::fromUtf8(text.data(), int(text.size())), b, parent_);
    switch (box.exec()) {
      case QMessageBox::Yes:
        return platform::PromptAnswer::Yes;
      case QMessageBox::No:
        return platform::PromptAnswer::No;
      case QMessageBox::Ok:
        return platform::PromptAnswer::Ok;
      default:
        return platform::PromptAnswer::Cancel;
    }
  }

  bool AskText(std::string_view question, std::string_view title, std::string& answer) override {
    bool ok = false;
    QString t = QInputDialog::getText(parent_, QString::fromUtf8(title.data(), int(title.size())),
                                      QString::fromUtf8(question.data(), int(question.size())),
                                      QLineEdit::Normal, QString::fromStdString(answer), &ok);
    if (ok) answer = t.toStdString();
    return ok;
  }

 private:
  static QMessageBox::Icon Icon(platform::PromptIcon i) {
    switch (i) {
      case platform::PromptIcon::Information:
        return QMessageBox::Information;
      case platform::PromptIcon::Warning:
        return QMessageBox::Warning;
      case platform::PromptIcon::Error:
        return QMessageBox::Critical;
      case platform::PromptIcon::Question:
        return QMessageBox::Question;
      default:
        return QMessageBox::NoIcon;
    }
  }
  QWidget* parent_ = nullptr;
};

}  // namespace vexa::ui
