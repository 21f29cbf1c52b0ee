#include "ui/spectrum_widget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace vexa::ui {

SpectrumWidget::SpectrumWidget(app::MainCore& core, QWidget* parent)
    : QWidget(parent), core_(core) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::CrossCursor);
  setToolTip(
      tr("Left click: receive frequency. Right click: transmit frequency.\n"
         "Shift+left: second receive channel. Shift+right: second channel off.\n"
         "Right strip: fine tuning."));
}

void SpectrumWidget::paintEvent(QPaintEvent*) {
  const double rx = core_.receive().rxFrequency(), tx = core_.receive().txFrequency();
  const double second = core_.receive().secondFrequency();
  core_.receive().RenderSpectrum(width(), height());
  QPainter p(this);
  auto& s = core_.receive().spectrum();
  if (s.width() > 0 && s.height() > 0) {
    QImage img(reinterpret_cast<const uchar*>(s.image().data()), s.width(), s.height(),
               s.width() * 4, QImage::Format_RGB32);
    p.drawImage(0, 0, img);
    QFont f = font();
    f.setPixelSize(10);
    p.setFont(f);
    p.setPen(Qt::black);
    for (const auto& l : s.labels()) {
      const QString t = QString::fromStdString(l.text);
      const int w = p.fontMetrics().horizontalAdvance(t);
      p.drawText(l.x - w / 2, 11, t);
    }
  } else {
    p.fillRect(rect(), Qt::black);
  }
  if (rx != core_.receive().rxFrequency() || tx != core_.receive().txFrequency() ||
      second != core_.receive().secondFrequency())
    emit FrequenciesChanged();
}

void SpectrumWidget::mousePressEvent(QMouseEvent* e) {
  const int x = static_cast<int>(e->position().x() * 256);
  const int y = static_cast<int>(e->position().y() * 256);
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  auto& s = core_.receive().spectrum();
  if (e->button() == Qt::LeftButton) {
    if (shift)
      s.RecordShiftLeftClick(x, y);
    else
      s.RecordLeftClick(x, y);
  } else if (e->button() == Qt::RightButton) {
    if (shift)
      s.RecordShiftRightClick();
    else
      s.RecordRightClick(x, y);
  }
  update();
}

void SpectrumWidget::mouseMoveEvent(QMouseEvent* e) {
  const bool strip =
      core_.receive().spectrum().InFineTuningStrip(static_cast<int>(e->position().x()));
  setCursor(strip ? Qt::SizeVerCursor : Qt::CrossCursor);
}

}  // namespace vexa::ui
