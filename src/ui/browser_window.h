#pragma once
// The signal browser panel: one line per signal the browser found, its audio frequency and its
// most recent text, open signals in black and signals gone quiet in grey. A click on a line
// tunes the main receiver to that signal. Opening the panel starts the browser; closing it
// stops the work.
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <functional>

#include "app/main_core.h"
#include "app/position_dialog.h"

namespace vexa::ui {

class BrowserWindow final : public QDialog {
  Q_OBJECT
 public:
  // `onTuned` runs after a click has moved the receive frequency (the window's fields follow).
  BrowserWindow(app::MainCore& core, std::function<void()> onTuned, QWidget* parent = nullptr);

  void Toggle();
  void Close();
  // Refills the list when the browser has something new (called after every tick).
  void Refresh();
  // Tunes the main receiver to the signal of list row `row`, as a click does.
  void TuneRow(int row);

  QListWidget* list() { return list_; }
  QLabel* status() { return status_; }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  app::MainCore& core_;
  std::function<void()> onTuned_;
  QListWidget* list_ = nullptr;
  QLabel* status_ = nullptr;
  app::CPositionDialog position_{"Browser"};
  uint64_t shown_ = ~uint64_t{0};
};

}  // namespace vexa::ui
