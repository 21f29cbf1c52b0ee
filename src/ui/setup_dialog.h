#pragma once
// The main settings sheet "Setup": one tab per page, its fields built from the sheet's table.
// OK hands the values to the core, which checks and applies them; a refused value keeps the
// sheet open with the reason.
#include <QDialog>
#include <vector>

#include "app/main_core.h"

class QWidget;

namespace vexa::ui {

class SetupDialog final : public QDialog {
  Q_OBJECT
 public:
  SetupDialog(app::MainCore& core, QWidget* parent = nullptr);

  // The editor of a field ("Section/Key" is also its object name), or null.
  QWidget* Editor(const char* section, const char* key) const;
  // What the last OK did (tests and the window read it after exec()).
  const app::SetupOutcome& outcome() const { return outcome_; }

  void accept() override;

 private:
  app::SetupValues Collect() const;
  void UpdateEnabled();

  app::MainCore& core_;
  std::vector<QWidget*> editors_;  // one per field of the sheet, in table order
  app::SetupOutcome outcome_;
};

}  // namespace vexa::ui
