#pragma once
// The spectrum and waterfall control: a view over the core's spectrum picture. A repaint
// computes the next frame (when a new block is there) and blits the picture; mouse clicks are
// recorded for the next frame to apply.
#include <QWidget>

#include "app/main_core.h"

namespace vexa::ui {

class SpectrumWidget final : public QWidget {
  Q_OBJECT
 public:
  SpectrumWidget(app::MainCore& core, QWidget* parent = nullptr);
  QSize sizeHint() const override { return {1034, 200}; }
  QSize minimumSizeHint() const override { return {300, 80}; }

 signals:
  void FrequenciesChanged();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  app::MainCore& core_;
};

}  // namespace vexa::ui
