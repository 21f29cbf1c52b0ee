#include "ui/qtc_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "contest/wae_qtc.h"

namespace vexa::ui {

QtcDialog::QtcDialog(app::MainCore& core, QWidget* parent) : QDialog(parent), core_(core) {
  setWindowTitle("QTC");
  receiver_ = new QLineEdit;
  receiver_->setObjectName("qtcReceiver");
  label_ = new QLabel;
  label_->setObjectName("qtcLabel");
  grid_ = new QTableWidget(contest::kQtcMaxLines, 3);
  grid_->setObjectName("qtcGrid");
  grid_->setHorizontalHeaderLabels({"Time", "Call", "Nr"});
  grid_->horizontalHeader()->setStretchLastSection(true);
  grid_->setMinimumSize(320, 320);
  connect(receiver_, &QLineEdit::editingFinished, this, [this] { TakeReceiver(); });
  connect(grid_, &QTableWidget::cellChanged, this,
          [this](int row, int column) { TakeCell(row, column); });

  auto* form = new QFormLayout;
  form->addRow("QTC for", receiver_);
  form->addRow("QTC", label_);
  auto* send = new QPushButton("Send");
  auto* clear = new QPushButton("Clear QTC number");
  auto* ok = new QPushButton("OK");
  auto* cancel = new QPushButton("Cancel");
  send->setObjectName("qtcSend");
  clear->setObjectName("qtcClear");
  ok->setObjectName("qtcOk");
  connect(send, &QPushButton::clicked, this, [this] { Send(); });
  connect(clear, &QPushButton::clicked, this, [this] { ClearNumber(); });
  connect(ok, &QPushButton::clicked, this, [this] { Confirm(); });
  connect(cancel, &QPushButton::clicked, this, [this] {
    core_.console().qtc().Close();
    reject();
  });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(send);
  buttons->addWidget(clear);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(grid_);
  layout->addLayout(buttons);

  core_.console().SetQtcShower([this] {
    Refresh();
    show();
    raise();
  });
}

int QtcDialog::OpenQtc() {
  return core_.console().OpenQtcWindow(false);
}

void QtcDialog::Refresh() {
  const contest::QtcWindow& q = core_.console().qtc();
  filling_ = true;
  receiver_->setText(QString::fromStdString(q.receiver()));
  label_->setText(QString::fromStdString(q.label()));
  for (int row = 0; row < contest::kQtcMaxLines; ++row) {
    const contest::QtcLine& l = q.lines()[static_cast<size_t>(row)];
    const std::string* cells[3] = {&l.time, &l.call, &l.number};
    for (int col = 0; col < 3; ++col)
      grid_->setItem(row, col, new QTableWidgetItem(QString::fromLatin1(cells[col]->c_str())));
  }
  filling_ = false;
}

void QtcDialog::TakeReceiver() {
  auto& con = core_.console();
  const std::string call = receiver_->text().toStdString();
  if (call == con.qtc().receiver()) return;
  con.qtc().SetReceiver(call, con.logView().Rows());
  Refresh();
}

void QtcDialog::TakeCell(int row, int column) {
  if (filling_) return;
  auto& q = core_.console().qtc();
  contest::QtcLine l = q.lines()[static_cast<size_t>(row)];
  const QTableWidgetItem* item = grid_->item(row, column);
  const std::string text = item != nullptr ? item->text().trimmed().toLatin1().toStdString() : "";
  (column == 0 ? l.time : column == 1 ? l.call : l.number) = text;
  q.SetLine(row, l);
  label_->setText(QString::fromStdString(q.label()));
}

void QtcDialog::Send() {
  TakeReceiver();
  core_.console().SendQtc();
}

void QtcDialog::Confirm() {
  TakeReceiver();
  if (core_.console().ConfirmQtcSent() == contest::kQtcWriteFailed) return;
  core_.console().qtc().Close();
  accept();
}

void QtcDialog::ClearNumber() {
  if (core_.console().ClearQtcNumber() == contest::kQtcOk) Refresh();
}

}  // namespace vexa::ui
