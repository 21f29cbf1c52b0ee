#include "ui/setup_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vexa::ui {
namespace {

QString ObjectName(const app::SetupField& f) {
  return QString::fromLatin1(f.section) + "/" + QString::fromLatin1(f.key);
}

}  // namespace

SetupDialog::SetupDialog(app::MainCore& core, QWidget* parent) : QDialog(parent), core_(core) {
  setWindowTitle("Setup");
  auto* tabs = new QTabWidget;
  std::vector<QFormLayout*> forms;
  for (int p = 0; p < app::kSetupPageCount; ++p) {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    forms.push_back(form);
    tabs->addTab(page,
                 QString::fromUtf8(app::SetupPageTitle(static_cast<app::SetupPage>(p)).data()));
  }
  const app::SetupValues values = core_.ReadSetup();
  const auto fields = app::SetupFields();
  for (size_t i = 0; i < fields.size(); ++i) {
    const app::SetupField& f = fields[i];
    const QString value = QString::fromStdString(values.at(i));
    QWidget* editor = nullptr;
    switch (f.kind) {
      case app::SetupKind::Check: {
        auto* box = new QCheckBox;
        box->setChecked(value.toInt() != 0);
        editor = box;
        break;
      }
      case app::SetupKind::Choice: {
        auto* combo = new QComboBox;
        for (const app::SetupChoice& c : f.choices) combo->addItem(c.label, c.value);
        const int at = combo->findData(value.toInt());
        if (at >= 0) {
          combo->setCurrentIndex(at);
        } else {
          // A value from the file that the list lacks stays as it is.
          combo->addItem(value, value.toInt());
          combo->setCurrentIndex(combo->count() - 1);
        }
        connect(combo, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabled(); });
        editor = combo;
        break;
      }
      default: {
        auto* line = new QLineEdit(value);
        if (f.kind == app::SetupKind::Int || f.kind == app::SetupKind::Degrees)
          line->setMaximumWidth(140);
        editor = line;
        break;
      }
    }
    editor->setObjectName(ObjectName(f));
    editors_.push_back(editor);
    forms[static_cast<size_t>(f.page)]->addRow(QString::fromUtf8(f.label), editor);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &SetupDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &SetupDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs);
  layout->addWidget(buttons);
  UpdateEnabled();
}

QWidget* SetupDialog::Editor(const char* section, const char* key) const {
  const int i = app::FindSetupField(section, key);
  return i < 0 ? nullptr : editors_[static_cast<size_t>(i)];
}

app::SetupValues SetupDialog::Collect() const {
  app::SetupValues v;
  for (size_t i = 0; i < editors_.size(); ++i) {
    QWidget* e = editors_[i];
    if (auto* box = qobject_cast<QCheckBox*>(e))
      v.at(i).assign(1, box->isChecked() ? '1' : '0');
    else if (auto* combo = qobject_cast<QComboBox*>(e))
      v.at(i) = std::to_string(combo->currentData().toInt());
    else if (auto* line = qobject_cast<QLineEdit*>(e))
      v.at(i) = line->text().toStdString();
  }
  return v;
}

// Only the fields of the chosen kind of transceiver can be edited.
void SetupDialog::UpdateEnabled() {
  auto* type = qobject_cast<QComboBox*>(Editor("TX1", "Type"));
  if (type == nullptr) return;
  const int t = type->currentData().toInt();
  auto enable = [&](const char* key, bool on) {
    if (QWidget* w = Editor("TX1", key)) w->setEnabled(on);
  };
  enable("IcomAddr", t == 2);
  enable("Yaesu", t == 3);
  enable("Kenwood", t == 4);
  enable("TenTec", t == 5);
  enable("NetRigHost", t == 6);
  enable("NetRigPort", t == 6);
}

void SetupDialog::accept() {
  outcome_ = core_.ApplySetup(Collect());
  if (!outcome_.applied) {
    if (platform::Prompt* prompt = core_.prompt())
      prompt->Message(outcome_.error, "Setup", platform::PromptIcon::Warning);
    else
      QMessageBox::warning(this, "Setup", QString::fromStdString(outcome_.error));
    return;
  }
  QDialog::accept();
}

}  // namespace vexa::ui
