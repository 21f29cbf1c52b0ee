#pragma once
// The Contest dialog: the contest (or none), its category, its period, the claimed score of
// the log's contacts, and the report files and Cabrillo log for submission.
#include <QDialog>

#include "app/main_core.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;

namespace vexa::ui {

class ContestDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit ContestDialog(app::MainCore& core, QWidget* parent = nullptr);

  // Shows the chosen contest and refreshes the score.
  void Open();
  // Takes the contest and category shown (written at once).
  void ApplyChoice();
  // The report files (with the "Creating log" progress) and the Cabrillo log; the result is
  // said in the status line.
  void CreateReport();

  QComboBox* contest() { return contest_; }
  QComboBox* category() { return category_; }
  QLabel* period() { return period_; }
  QLabel* status() { return status_; }
  QPlainTextEdit* score() { return score_; }

 private:
  void FillCategories();

  app::MainCore& core_;
  QComboBox* contest_ = nullptr;
  QComboBox* category_ = nullptr;
  QLabel* period_ = nullptr;
  QLabel* status_ = nullptr;
  QPlainTextEdit* score_ = nullptr;
};

}  // namespace vexa::ui
