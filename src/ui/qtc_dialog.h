#pragma once
// The QTC window of WAE RTTY: the receiving station, the grid of up to ten contacts (time,
// call, number received) and the label "n/m", with Send (the QTC into the transmit window),
// Clear QTC number, OK (the QTC was sent: it is recorded in "QTC.LOG") and Cancel. A view over
// the console section's QTC window; the grid's cells may be corrected before sending.
#include <QDialog>

#include "app/main_core.h"

class QLabel;
class QLineEdit;
class QTableWidget;

namespace vexa::ui {

class QtcDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit QtcDialog(app::MainCore& core, QWidget* parent = nullptr);

  // Opens the window (the menu: without sending at once). A contest::QtcResult.
  int OpenQtc();
  // Shows the QTC state of the console section (the section calls it when the window opens).
  void Refresh();
  void Send();
  // OK: recorded and closed; a failed write keeps the window open.
  void Confirm();
  void ClearNumber();

  QLineEdit* receiver() { return receiver_; }
  QTableWidget* grid() { return grid_; }
  QLabel* label() { return label_; }

 private:
  void TakeReceiver();
  void TakeCell(int row, int column);

  app::MainCore& core_;
  QLineEdit* receiver_ = nullptr;
  QTableWidget* grid_ = nullptr;
  QLabel* label_ = nullptr;
  bool filling_ = false;
};

}  // namespace vexa::ui
