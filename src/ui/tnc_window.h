#pragma once
// The "TNC" terminal window: an external controller on its own serial port, typed to and read
// from directly. Typed characters go to the controller (and show, as in any terminal window);
// what it sends shows as it comes, CR starting a new line. Its settings dialog picks the port
// and the line settings. Closing the window closes the terminal.
#include <QDialog>
#include <QPlainTextEdit>

#include "app/main_core.h"

class QLabel;

namespace vexa::ui {

// The text area: keys go to the terminal section, received characters are inserted at the end.
class TncTextEdit final : public QPlainTextEdit {
 public:
  explicit TncTextEdit(app::TncTerminalSection& terminal, QWidget* parent = nullptr);
  void Show(uint8_t c);

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void Insert(uint8_t c);
  app::TncTerminalSection& terminal_;
};

class TncWindow final : public QDialog {
  Q_OBJECT
 public:
  explicit TncWindow(app::MainCore& core, QWidget* parent = nullptr);
  ~TncWindow() override;

  // The main window's TNC command: opens the terminal (and its port) or closes it.
  void Toggle();
  TncTextEdit* text() { return text_; }
  QLabel* status() { return status_; }
  // The settings dialog, modal; the values go to the terminal on OK.
  void EditSettings();
  // The dialog itself, for tests: built from the current settings, applied by ApplyDialog.
  QDialog* MakeSettingsDialog();
  void ApplyDialog(QDialog* dialog);

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void Close();
  void RefreshStatus();

  app::MainCore& core_;
  TncTextEdit* text_ = nullptr;
  QLabel* status_ = nullptr;
  app::CPositionDialog position_{"TNC"};
};

}  // namespace vexa::ui
