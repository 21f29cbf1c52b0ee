#include "ui/contest_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include "contest/contest_catalogue.h"
#include "contest/contest_report.h"

namespace vexa::ui {

ContestDialog::ContestDialog(app::MainCore& core, QWidget* parent) : QDialog(parent), core_(core) {
  setWindowTitle("Contest");
  contest_ = new QComboBox;
  contest_->addItem("(no contest)", QString());
  for (const contest::ContestDef& c : contest::Contests())
    contest_->addItem(QString::fromLatin1(c.name), QString::fromLatin1(c.name));
  category_ = new QComboBox;
  period_ = new QLabel;
  status_ = new QLabel;
  score_ = new QPlainTextEdit;
  score_->setReadOnly(true);
  score_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  score_->setMinimumSize(520, 260);
  connect(contest_, &QComboBox::currentIndexChanged, this, [this] { FillCategories(); });

  auto* form = new QFormLayout;
  form->addRow("Contest", contest_);
  form->addRow("Category", category_);
  form->addRow("Period", period_);
  auto* apply = new QPushButton("Apply");
  auto* report = new QPushButton("Create report");
  auto* close = new QPushButton("Close");
  connect(apply, &QPushButton::clicked, this, [this] { ApplyChoice(); });
  connect(report, &QPushButton::clicked, this, [this] { CreateReport(); });
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(status_, 1);
  buttons->addWidget(apply);
  buttons->addWidget(report);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(score_);
  layout->addLayout(buttons);
}

void ContestDialog::FillCategories() {
  const std::string name = contest_->currentData().toString().toStdString();
  category_->clear();
  for (const std::string& c : contest::Categories(name))
    category_->addItem(QString::fromStdString(c));
  category_->setEnabled(!name.empty());
  if (name.empty()) {
    period_->setText("-");
  } else {
    const contest::ContestPeriod p = contest::DefaultPeriod(name);
    period_->setText(QString::fromStdString(p.start + " - " + p.end));
  }
}

void ContestDialog::Open() {
  const auto& s = core_.logbook().settings();
  const int at = contest_->findData(QString::fromStdString(s.contestName));
  contest_->setCurrentIndex(at >= 0 ? at : 0);
  FillCategories();
  if (s.contestClass >= 0 && s.contestClass < category_->count())
    category_->setCurrentIndex(s.contestClass);
  score_->setPlainText(QString::fromStdString(core_.logbook().ContestScore()));
  status_->clear();
  show();
  raise();
}

void ContestDialog::ApplyChoice() {
  const std::string name = contest_->currentData().toString().toStdString();
  if (!core_.logbook().ChooseContest(name, std::max(0, category_->currentIndex()))) {
    status_->setText("Unknown contest");
    return;
  }
  score_->setPlainText(QString::fromStdString(core_.logbook().ContestScore()));
  status_->setText(name.empty() ? "No contest" : "Contest: " + QString::fromStdString(name));
}

void ContestDialog::CreateReport() {
  ApplyChoice();
  QProgressDialog progress("", QString(), 0, 0, this);
  progress.setWindowTitle("Creating log");
  progress.setMinimumDuration(0);
  const int rc = core_.logbook().CreateContestReport([&](const std::string& text) {
    progress.setLabelText(QString::fromStdString(text));
    QApplication::processEvents();
  });
  progress.close();
  if (rc != contest::kReportOk) {
    status_->setText(rc == contest::kReportNoContest ? "Choose a contest first"
                     : rc == contest::kReportNoLog   ? "log.log cannot be read"
                                                     : "A report file could not be written");
    return;
  }
  const int cbr = core_.logbook().ExportCabrillo();
  score_->setPlainText(QString::fromStdString(core_.logbook().ContestScore()));
  status_->setText(cbr == contest::kReportOk ? "Report files and Cabrillo log written"
                                             : "Report files written; the Cabrillo log failed");
}

}  // namespace vexa::ui
