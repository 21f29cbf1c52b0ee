#include "ui/tnc_window.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBlock>
#include <QVBoxLayout>

namespace vexa::ui {

TncTextEdit::TncTextEdit(app::TncTerminalSection& terminal, QWidget* parent)
    : QPlainTextEdit(parent), terminal_(terminal) {
  setMaximumBlockCount(20000);  // a long session stays bounded
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void TncTextEdit::Insert(uint8_t c) {
  QTextCursor cur(document());
  cur.movePosition(QTextCursor::End);
  if (c == '\r') {
    cur.insertBlock();
  } else if (c == 8) {
    if (!cur.block().text().isEmpty()) cur.deletePreviousChar();
  } else if (c == '\t' || c >= 32) {
    cur.insertText(QString(QChar::fromLatin1(static_cast<char>(c))));
  }
  setTextCursor(cur);
  ensureCursorVisible();
}

void TncTextEdit::Show(uint8_t c) {
  Insert(c);
}

void TncTextEdit::keyPressEvent(QKeyEvent* e) {
  QByteArray bytes;
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
    bytes = "\r";
  else if (e->key() == Qt::Key_Backspace)
    bytes = "\b";
  else
    bytes = e->text().toLatin1();
  if (bytes.isEmpty()) {
    QPlainTextEdit::keyPressEvent(e);  // moving around, copying
    return;
  }
  for (char ch : bytes) {
    const auto c = static_cast<uint8_t>(ch);
    Insert(c);
    terminal_.Type(c);
  }
}

TncWindow::TncWindow(app::MainCore& core, QWidget* parent) : QDialog(parent), core_(core) {
  setWindowTitle("TNC");
  text_ = new TncTextEdit(core_.tncTerminal(), this);
  status_ = new QLabel;
  auto* settings = new QPushButton("Settings...");
  connect(settings, &QPushButton::clicked, this, [this] { EditSettings(); });
  auto* row = new QHBoxLayout;
  row->addWidget(status_, 1);
  row->addWidget(settings);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(row);
  resize(640, 400);
  core_.tncTerminal().SetDisplay([this](uint8_t c) { text_->Show(c); });
}

TncWindow::~TncWindow() {
  core_.tncTerminal().SetDisplay(nullptr);
}

void TncWindow::Toggle() {
  if (core_.tncTerminal().isOpen()) {
    Close();
    return;
  }
  core_.tncTerminal().Open();
  const auto p = position_.RestorePosition(core_.settingsStore(), "TNC");
  if (p.left != 0 || p.top != 0) move(p.left, p.top);
  RefreshStatus();
  show();
  raise();
  text_->setFocus();
}

void TncWindow::Close() {
  if (isVisible()) (void)position_.SavePosition(core_.settingsStore(), {x(), y()}, isMinimized());
  core_.tncTerminal().Close();
  hide();
}

void TncWindow::closeEvent(QCloseEvent* e) {
  Close();
  e->accept();
}

void TncWindow::RefreshStatus() {
  const auto& t = core_.tncTerminal();
  const auto& s = t.settings();
  if (s.com <= 0)
    status_->setText("No port (Settings...)");
  else if (!t.portOpen())
    status_->setText(QString::fromStdString(t.portStatus()));
  else
    status_->setText(QString("COM%1, %2 bit/s").arg(s.com).arg(s.speed));
}

QDialog* TncWindow::MakeSettingsDialog() {
  const app::TncTerminalSettings& s = core_.tncTerminal().settings();
  auto* d = new QDialog(this);
  d->setWindowTitle("TNC settings");
  auto* form = new QFormLayout;
  auto* port = new QSpinBox;
  port->setObjectName("port");
  port->setRange(0, 9);
  port->setSpecialValueText("none");
  port->setValue(s.com);
  auto* speed = new QComboBox;
  speed->setObjectName("speed");
  for (int i = 0; i <= 4; ++i)
    speed->addItem(QString::number(app::TncTerminalSettings::SpeedForIndex(i)));
  speed->setCurrentIndex(app::TncTerminalSettings::SpeedIndex(s.speed));
  auto* bits = new QComboBox;
  bits->setObjectName("bits");
  bits->addItems({"7", "8"});
  bits->setCurrentIndex(std::clamp(s.bits - 7, 0, 1));
  auto* stop = new QComboBox;
  stop->setObjectName("stopBits");
  stop->addItems({"1", "1.5", "2"});
  stop->setCurrentIndex(std::clamp(s.stopBits - 1, 0, 2));
  auto* dtr = new QCheckBox("Raise DTR");
  dtr->setObjectName("dtr");
  dtr->setChecked(s.useDtr);
  auto* rts = new QCheckBox("Raise RTS (hardware flow control)");
  rts->setObjectName("rts");
  rts->setChecked(s.useRts);
  form->addRow("Port (COM)", port);
  form->addRow("Speed (bit/s)", speed);
  form->addRow("Data bits", bits);
  form->addRow("Stop bits", stop);
  form->addRow(dtr);
  form->addRow(rts);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, d, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, d, &QDialog::reject);
  auto* layout = new QVBoxLayout(d);
  layout->addLayout(form);
  layout->addWidget(buttons);
  return d;
}

void TncWindow::ApplyDialog(QDialog* d) {
  app::TncTerminalSettings s = core_.tncTerminal().settings();
  s.com = d->findChild<QSpinBox*>("port")->value();
  s.speed =
      app::TncTerminalSettings::SpeedForIndex(d->findChild<QComboBox*>("speed")->currentIndex());
  s.bits = d->findChild<QComboBox*>("bits")->currentIndex() + 7;
  s.stopBits = d->findChild<QComboBox*>("stopBits")->currentIndex() + 1;
  s.useDtr = d->findChild<QCheckBox*>("dtr")->isChecked();
  s.useRts = d->findChild<QCheckBox*>("rts")->isChecked();
  core_.tncTerminal().ApplySettings(s);
  RefreshStatus();
}

void TncWindow::EditSettings() {
  QDialog* d = MakeSettingsDialog();
  if (d->exec() == QDialog::Accepted) ApplyDialog(d);
  d->deleteLater();
}

}  // namespace vexa::ui
