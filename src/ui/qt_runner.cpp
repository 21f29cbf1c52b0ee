#include "ui/qt_runner.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace vexa::ui {

QtRunner::QtRunner(QtPrompt& prompt) : prompt_(prompt) {
  tick_.setTimerType(Qt::PreciseTimer);
  connect(&tick_, &QTimer::timeout, this, [this] {
    if (core_ == nullptr) return;
    core_->OnTimer();
    if (window_ != nullptr) window_->RefreshAfterTick();
  });
}

int QtRunner::RunModal(app::MainCore& core) {
  core_ = &core;
  ended_ = false;
  result_ = app::kResultCancel;
  positioned_ = false;
  window_ = new MainWindow(core, core.templateNumber());
  prompt_.SetParent(window_);
  connect(window_, &MainWindow::CloseRequested, this, [this] {
    if (core_ != nullptr) core_->RequestClose();
  });
  core.OnInitDialog();
  if (!ended_) {
    window_->SyncControls();
    if (positioned_ && (pendingPos_.left != 0 || pendingPos_.top != 0))
      window_->move(pendingPos_.left, pendingPos_.top);
    window_->show();
    if (onStart) onStart(core, *window_);
    if (!ended_) loop_.exec();
  }
  core.OnDestroy();
  tick_.stop();
  prompt_.SetParent(nullptr);
  delete window_;
  window_ = nullptr;
  core_ = nullptr;
  return result_;
}

bool QtRunner::StartTickTimer(int periodMs) {
  tick_.start(periodMs);
  return tick_.isActive();
}

void QtRunner::SetCaption(const std::string& caption) {
  if (window_ != nullptr) window_->setWindowTitle(QString::fromStdString(caption));
}

void QtRunner::DispatchTimersAndPaint() {
  // Keeps the display and the tick alive during a long catch-up; user input waits.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtRunner::InvalidateSpectrum() {
  if (window_ != nullptr) window_->spectrum()->update();
}

void QtRunner::Wake() {
  // From an audio thread: one queued call at a time moves the work onto the main thread.
  if (wakePending_.exchange(true)) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        wakePending_ = false;
        if (core_ == nullptr) return;
        core_->OnWake();
      },
      Qt::QueuedConnection);
}

app::CPositionDialog::Position QtRunner::WindowPosition() const {
  if (window_ == nullptr) return {};
  return {window_->x(), window_->y()};
}

bool QtRunner::WindowMinimised() const {
  return window_ != nullptr && window_->isMinimized();
}

void QtRunner::MoveWindow(app::CPositionDialog::Position p) {
  positioned_ = true;
  pendingPos_ = p;
}

void QtRunner::EndModalLoop(int result) {
  ended_ = true;
  result_ = result;
  loop_.exit(result);
}

void QtRunner::HideWindow() {
  if (window_ != nullptr) window_->hide();
}

}  // namespace vexa::ui
