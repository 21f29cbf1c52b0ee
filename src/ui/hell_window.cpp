#include "ui/hell_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QVBoxLayout>

namespace vexa::ui {

// Columns kept: painting wraps around in the image at this width.
constexpr int kHellColumns = 4096;

class HellCanvas final : public QWidget {
 public:
  explicit HellCanvas(HellWindow& w) : QWidget(&w), w_(w) {
    setMinimumHeight(2 * decoders::HellImage::kHeight);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const auto& img = w_.image();
    const int h = decoders::HellImage::kHeight;
    const int width = this->width();
    QImage out(width, h, QImage::Format_Grayscale8);
    out.fill(w_.negative() ? 0 : 255);
    const int newest = img.columnCounter;
    for (int x = 0; x < width; ++x) {
      int src;
      if (w_.scroll()) {
        src = newest - (width - 1 - x);  // newest column at the right edge
      } else {
        // Like a tape wrapping at the window's width: column c shows at c % width.
        const int back = (newest % width - x + width) % width;
        src = newest - back;
      }
      if (src < 0) {
        if (img.width() < kHellColumns) continue;  // nothing painted there yet
        src += kHellColumns;                       // the image has wrapped around
      }
      if (src >= img.width()) continue;
      for (int y = 0; y < h; ++y) {
        const uint8_t g = img.At(src, y);
        out.setPixel(x, y, w_.negative() ? 255 - g : g);
      }
    }
    // Stretched to the window's height, two screen rows per image row.
    p.drawImage(rect(), out);
  }

 private:
  HellWindow& w_;
};

HellWindow::HellWindow(platform::SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store), image_(kHellColumns) {
  setWindowTitle("Hellschreiber");
  canvas_ = new HellCanvas(*this);
  scroll_ = new QCheckBox("Scroll");
  negative_ = new QCheckBox("Negative");
  scroll_->setChecked(store_.ReadSettingInt("Hellscreiber", "Scroll", 0) != 0);
  negative_->setChecked(store_.ReadSettingInt("Hellscreiber", "Negative", 1) != 0);
  auto* row = new QHBoxLayout;
  row->addWidget(scroll_);
  row->addWidget(negative_);
  row->addStretch();
  auto* v = new QVBoxLayout(this);
  v->addWidget(canvas_, 1);
  v->addLayout(row);
  resize(800, 140);
  const auto pos = position_.RestorePosition(store_, "");
  if (pos.left != 0 || pos.top != 0) move(pos.left, pos.top);
  connect(scroll_, &QCheckBox::toggled, canvas_, qOverload<>(&QWidget::update));
  connect(negative_, &QCheckBox::toggled, canvas_, qOverload<>(&QWidget::update));
}

HellWindow::~HellWindow() {
  SaveState();
}

bool HellWindow::scroll() const {
  return scroll_->isChecked();
}
bool HellWindow::negative() const {
  return negative_->isChecked();
}

void HellWindow::Refresh() {
  if (image_.pixelCount() == shownPixels_) return;
  shownPixels_ = image_.pixelCount();
  canvas_->update();
}

void HellWindow::SaveState() {
  (void)store_.WriteSettingInt("Hellscreiber", "Scroll", scroll() ? 1 : 0);
  (void)store_.WriteSettingInt("Hellscreiber", "Negative", negative() ? 1 : 0);
  (void)position_.SavePosition(store_, {x(), y()}, isMinimized());
}

void HellWindow::closeEvent(QCloseEvent* e) {
  SaveState();
  QDialog::closeEvent(e);
}

}  // namespace vexa::ui
