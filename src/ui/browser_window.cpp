#include "ui/browser_window.h"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <cmath>

namespace vexa::ui {

BrowserWindow::BrowserWindow(app::MainCore& core, std::function<void()> onTuned, QWidget* parent)
    : QDialog(parent), core_(core), onTuned_(std::move(onTuned)) {
  setWindowTitle("Signal browser");
  setObjectName("signalBrowser");
  list_ = new QListWidget;
  list_->setObjectName("browserList");
  list_->setFont(QFont("Monospace"));
  list_->setToolTip(tr("Every signal in the passband; a click tunes the receiver to it"));
  status_ = new QLabel;
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(status_);
  resize(720, 420);
  connect(list_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { TuneRow(list_->row(item)); });
}

void BrowserWindow::Toggle() {
  if (core_.browser().isOpen()) {
    Close();
    return;
  }
  core_.browser().Open();
  const auto p = position_.RestorePosition(core_.settingsStore(), "Browser");
  if (p.left != 0 || p.top != 0) move(p.left, p.top);
  Refresh();
  show();
  raise();
}

void BrowserWindow::Close() {
  if (isVisible()) (void)position_.SavePosition(core_.settingsStore(), {x(), y()}, isMinimized());
  core_.browser().Close();
  list_->clear();
  hide();
}

void BrowserWindow::closeEvent(QCloseEvent* e) {
  Close();
  e->accept();
}

void BrowserWindow::Refresh() {
  auto& browser = core_.browser();
  if (browser.revision() == shown_) return;
  shown_ = browser.revision();
  const int selectedId =
      list_->currentItem() != nullptr ? list_->currentItem()->data(Qt::UserRole + 1).toInt() : -1;
  const auto found = browser.Signals();
  list_->clear();
  for (const auto& s : found) {
    const QString line = QString("%1 Hz  %2")
                             .arg(static_cast<int>(std::lround(s.hz)), 5)
                             .arg(QString::fromLatin1(s.Recent().c_str()));
    auto* item = new QListWidgetItem(line, list_);
    item->setData(Qt::UserRole, s.hz);
    item->setData(Qt::UserRole + 1, s.id);
    if (!s.active) item->setForeground(Qt::gray);
    if (s.id == selectedId) list_->setCurrentItem(item);
  }
  const char* kind = browser.browseMode() == decoders::BrowseMode::Rtty ? "RTTY" : "PSK31";
  status_->setText(
      QString("%1: found %2, open %3").arg(kind).arg(found.size()).arg(browser.activeCount()));
}

void BrowserWindow::TuneRow(int row) {
  QListWidgetItem* item = list_->item(row);
  if (item == nullptr) return;
  core_.receive().ClickTune(item->data(Qt::UserRole).toDouble());
  if (onTuned_) onTuned_();
}

}  // namespace vexa::ui
