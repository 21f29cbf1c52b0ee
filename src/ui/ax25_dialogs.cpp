#include "ui/ax25_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

#include "app/ax25_setup.h"

namespace vexa::ui {

ConnectDialog::ConnectDialog(app::MainCore& core, QWidget* parent) : QDialog(parent) {
  setWindowTitle("Connect to...");
  auto& m = core.members();
  remote_ = new QLineEdit(QString::fromStdString(m.defaultRemoteCall.value));
  remote_->setObjectName("remote");
  myCall_ = new QLineEdit(QString::fromStdString(m.defaultMyCall.value));
  myCall_->setObjectName("myCall");
  digis_ = new QLineEdit(QString::fromStdString(m.defaultDigis.Text()).trimmed());
  digis_->setObjectName("digis");
  tryAll_ = new QCheckBox("&Try all SSIDs in MyCall");
  tryAll_->setObjectName("tryAllSsids");
  tryAll_->setChecked(m.tryAllSsids.value != 0);
  auto* form = new QFormLayout;
  form->addRow("&Remote", remote_);
  form->addRow("&MyCall", myCall_);
  form->addRow("&Digis", digis_);
  form->addRow(tryAll_);
  connect_ = new QPushButton("CONNECT");
  connect_->setObjectName("connect");
  connect_->setDefault(true);
  cancel_ = new QPushButton("Cancel/Disc");
  cancel_->setObjectName("cancel");
  QObject::connect(connect_, &QPushButton::clicked, this, &QDialog::accept);
  QObject::connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(connect_);
  buttons->addWidget(cancel_);
  auto* v = new QVBoxLayout(this);
  v->addLayout(form);
  v->addLayout(buttons);
}

namespace {

QString EditorName(const app::Ax25Field& f) {
  return f.bit != 0 ? QString("%1/%2").arg(f.key).arg(f.bit) : QString(f.key);
}

}  // namespace

CAx25PropertySheet::CAx25PropertySheet(app::MainCore& core, QWidget* parent)
    : QDialog(parent), core_(core) {
  setWindowTitle("AX.25 Setup");
  tabs_ = new QTabWidget;
  QWidget* pages[app::kAx25PageCount] = {new CAx25GeneralPage, new CAx25BeaconPage,
                                         new CAx25ParamsPage, new TncPage};
  QFormLayout* forms[app::kAx25PageCount];
  QFormLayout* monitorForm = nullptr;
  for (int p = 0; p < app::kAx25PageCount; ++p) {
    forms[p] = new QFormLayout(pages[p]);
    tabs_->addTab(pages[p], app::Ax25PageTitle(static_cast<app::Ax25Page>(p)));
  }
  const auto values = app::ReadAx25Setup(core_.members());
  const auto& fields = app::Ax25Fields();
  for (size_t i = 0; i < fields.size(); ++i) {
    const app::Ax25Field& f = fields[i];
    const QString value = QString::fromStdString(values[i]);
    QWidget* editor = nullptr;
    bool ownRow = false;
    switch (f.kind) {
      case app::Ax25Kind::Check:
      case app::Ax25Kind::MaskBit: {
        auto* box = new QCheckBox(f.label);
        box->setChecked(value == "1");
        editor = box;
        ownRow = true;
        break;
      }
      case app::Ax25Kind::Choice:
      case app::Ax25Kind::Speed: {
        auto* combo = new QComboBox;
        for (const auto& c : f.choices) combo->addItem(QString::fromStdString(c.label), c.value);
        const int at = combo->findData(value.toInt());
        if (at >= 0) {
          combo->setCurrentIndex(at);
        } else {
          // A value from the file that the list lacks stays as it is (and is refused on OK).
          combo->addItem(value, value.toInt());
          combo->setCurrentIndex(combo->count() - 1);
        }
        editor = combo;
        break;
      }
      default: {
        auto* line = new QLineEdit(value.trimmed());
        if (f.kind == app::Ax25Kind::Int || f.kind == app::Ax25Kind::Ms10)
          line->setMaximumWidth(120);
        if (f.kind == app::Ax25Kind::HostPort)
          line->setPlaceholderText("empty: the serial port above");
        editor = line;
        break;
      }
    }
    editor->setObjectName(EditorName(f));
    editors_.push_back(editor);
    QFormLayout* form = forms[static_cast<int>(f.page)];
    if (f.kind == app::Ax25Kind::MaskBit) {
      if (!monitorForm) {
        auto* group = new QGroupBox("Monitor mask");
        monitorForm = new QFormLayout(group);
        form->addRow(group);
      }
      monitorForm->addRow(editor);
    } else if (ownRow) {
      form->addRow(editor);
    } else {
      form->addRow(f.label, editor);
    }
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &CAx25PropertySheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CAx25PropertySheet::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
}

QWidget* CAx25PropertySheet::Editor(const char* key, int bit) const {
  const int i = app::FindAx25Field(key, bit);
  return i < 0 ? nullptr : editors_[static_cast<size_t>(i)];
}

std::vector<std::string> CAx25PropertySheet::Collect() const {
  std::vector<std::string> v;
  for (QWidget* e : editors_) {
    if (auto* box = qobject_cast<QCheckBox*>(e))
      v.push_back(box->isChecked() ? "1" : "0");
    else if (auto* combo = qobject_cast<QComboBox*>(e))
      v.push_back(std::to_string(combo->currentData().toInt()));
    else if (auto* line = qobject_cast<QLineEdit*>(e))
      v.push_back(line->text().toLatin1().toStdString());
    else
      v.emplace_back();
  }
  return v;
}

void CAx25PropertySheet::accept() {
  const auto values = Collect();
  // The page of the first refused value is shown with the message.
  error_ = app::StoreAx25Setup(values, core_.members(), /*store=*/false);
  if (error_.empty()) error_ = core_.packet().ApplyAx25Setup(values);
  if (!error_.empty()) {
    const auto& fields = app::Ax25Fields();
    for (size_t i = 0; i < fields.size(); ++i) {
      auto one = values;
      // The first field whose own value is refused (the others at their shown values).
      const auto shown = app::ReadAx25Setup(core_.members());
      for (size_t k = 0; k < fields.size(); ++k)
        if (k != i) one[k] = shown[k];
      if (!app::StoreAx25Setup(one, core_.members(), false).empty()) {
        tabs_->setCurrentIndex(static_cast<int>(fields[i].page));
        editors_[i]->setFocus();
        break;
      }
    }
    if (platform::Prompt* prompt = core_.prompt())
      prompt->Message(error_, "AX.25 Setup", platform::PromptIcon::Warning);
    else
      QMessageBox::warning(this, "AX.25 Setup", QString::fromStdString(error_));
    return;
  }
  QDialog::accept();
}

}  // namespace vexa::ui
