#pragma once
// Runs the main window core inside the Qt event loop: builds the window for each pass of the
// start-up loop, drives the 55 ms tick with a timer, and moves audio wake-ups from the audio
// threads onto the main thread.
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>

#include "app/application.h"
#include "ui/main_window.h"
#include "ui/qt_prompt.h"

namespace vexa::ui {

class QtRunner final : public QObject, public app::MainWindowRunner, public app::CoreHost {
  Q_OBJECT
 public:
  explicit QtRunner(QtPrompt& prompt);

  app::CoreHost& Host() override { return *this; }
  int RunModal(app::MainCore& core) override;

  bool StartTickTimer(int periodMs) override;
  void StopTickTimer() override { tick_.stop(); }
  void SetCaption(const std::string& caption) override;
  void DispatchTimersAndPaint() override;
  void InvalidateSpectrum() override;
  void Wake() override;
  app::CPositionDialog::Position WindowPosition() const override;
  bool WindowMinimised() const override;
  void MoveWindow(app::CPositionDialog::Position p) override;
  void EndModalLoop(int result) override;
  void HideWindow() override;

  // Called after initialisation with the window shown (command-line options, screenshots).
  std::function<void(app::MainCore&, MainWindow&)> onStart;

 private:
  QtPrompt& prompt_;
  app::MainCore* core_ = nullptr;
  MainWindow* window_ = nullptr;
  QEventLoop loop_;
  QTimer tick_;
  bool ended_ = false;
  int result_ = app::kResultCancel;
  bool positioned_ = false;
  app::CPositionDialog::Position pendingPos_;
  std::atomic<bool> wakePending_{false};
};

}  // namespace vexa::ui
