#include "ui/spot_window.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "log/band_table.h"

namespace vexa::ui {
namespace {

QColor MarkColour(app::SpotMark mark) {
  switch (mark) {
    case app::SpotMark::NewCountry:
      return QColor(200, 0, 0);
    case app::SpotMark::NewBandCountry:
      return QColor(190, 110, 0);
    case app::SpotMark::WorkedOnBand:
      return QColor(140, 140, 140);
    default:
      return QColor(0, 0, 0);
  }
}

}  // namespace

SpotWindow::SpotWindow(app::MainCore& core, TakeSpot onTake, std::function<std::string()> qsoText,
                       QWidget* parent)
    : QDialog(parent), core_(core), onTake_(std::move(onTake)), qsoText_(std::move(qsoText)) {
  setWindowTitle("DXC");
  auto* v = new QVBoxLayout(this);

  auto* bar = new QHBoxLayout;
  band_ = new QComboBox;
  band_->setObjectName("spotBand");
  band_->addItem("All bands", -1);
  for (int i = 0; i < log::kBandCount; ++i)
    band_->addItem(QString("%1 m").arg(log::kBands[static_cast<size_t>(i)].metres), i);
  modeFilter_ = new QComboBox;
  modeFilter_->setObjectName("spotMode");
  modeFilter_->addItem("All modes", -1);
  modeFilter_->addItem("CW", log::kSegmentCw);
  modeFilter_->addItem("Phone", log::kSegmentPhone);
  modeFilter_->addItem("Digital", log::kSegmentDigital);
  refresh_ = new QPushButton("Refresh");
  refresh_->setObjectName("spotRefresh");
  post_ = new QPushButton("Spot...");
  post_->setObjectName("spotPost");
  bar->addWidget(band_);
  bar->addWidget(modeFilter_);
  bar->addStretch(1);
  bar->addWidget(refresh_);
  bar->addWidget(post_);
  v->addLayout(bar);

  list_ = new QListWidget;
  list_->setObjectName("spotList");
  QFont mono("Monospace");
  mono.setStyleHint(QFont::TypeWriter);
  list_->setFont(mono);
  v->addWidget(list_, 2);
  status_ = new QLabel;
  status_->setObjectName("spotStatus");
  v->addWidget(status_);

  // The telnet cluster: its status, its text and a command line.
  auto* cluster = new QHBoxLayout;
  connect_ = new QPushButton("Connect");
  connect_->setObjectName("clusterConnect");
  connect_->setCheckable(true);
  clusterStatus_ = new QLabel(QString::fromStdString(core_.spots().clusterStatus()));
  clusterStatus_->setObjectName("clusterStatus");
  cluster->addWidget(connect_);
  cluster->addWidget(clusterStatus_, 1);
  v->addLayout(cluster);
  clusterText_ = new QPlainTextEdit;
  clusterText_->setObjectName("clusterText");
  clusterText_->setReadOnly(true);
  clusterText_->setFont(mono);
  clusterText_->setMaximumBlockCount(static_cast<int>(app::SpotsSection::kClusterTextLines));
  v->addWidget(clusterText_, 1);
  command_ = new QLineEdit;
  command_->setObjectName("clusterCommand");
  command_->setPlaceholderText(tr("Cluster command (sh/dx, set/filter ...), Enter sends it"));
  v->addWidget(command_);
  resize(720, 560);

  connect(band_, &QComboBox::currentIndexChanged, this, [this] { Refill(); });
  connect(modeFilter_, &QComboBox::currentIndexChanged, this, [this] { Refill(); });
  connect(refresh_, &QPushButton::clicked, this, [this] { (void)core_.spots().FetchSpots(); });
  connect(post_, &QPushButton::clicked, this, [this] { AskAndSendSpot(); });
  connect(list_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { TakeRow(list_->row(item)); });
  connect(connect_, &QPushButton::toggled, this, [this](bool on) {
    if (on && !core_.spots().ConnectCluster()) {
      QSignalBlocker block(connect_);
      connect_->setChecked(false);
    } else if (!on) {
      core_.spots().DisconnectCluster();
    }
  });
  connect(command_, &QLineEdit::returnPressed, this, [this] {
    const std::string text = command_->text().toStdString();
    if (text.empty()) return;
    core_.spots().SendClusterCommand(text);
    command_->clear();
  });
  connect(this, &QDialog::finished, this, [this] {
    (void)position_.SavePosition(core_.settingsStore(), {x(), y()}, isMinimized());
  });
  core_.spots().AttachView(this);
}

SpotWindow::~SpotWindow() {
  core_.spots().AttachView(nullptr);
}

void SpotWindow::OpenSpotWindow() {
  if (!isVisible()) {
    const auto p = position_.RestorePosition(core_.settingsStore(), "DXC");
    if (p.left != 0 || p.top != 0) move(p.left, p.top);
  }
  show();
  raise();
  core_.spots().OpenSpotWindow();  // refills through SpotsChanged, fetches with LoadOnStart
}

app::SpotFilter SpotWindow::Filter() const {
  app::SpotFilter f;
  f.band = band_->currentData().toInt();
  f.segment = modeFilter_->currentData().toInt();
  return f;
}

void SpotWindow::Refill() {
  auto& logbook = core_.logbook();
  const app::SpotMarkTables tables{&logbook.countries(), &logbook.tally(), &logbook.worked()};
  entries_ = app::BuildSpotList(core_.spots().DisplayLines(), tables, Filter());
  list_->clear();
  for (const app::SpotListEntry& e : entries_) {
    auto* item = new QListWidgetItem(
        QString("%1  %2")
            .arg(e.number, 3)
            .arg(QString::fromLatin1(e.line.data(), static_cast<int>(e.line.size()))));
    item->setForeground(MarkColour(e.mark));
    item->setData(Qt::UserRole, static_cast<int>(e.mark));
    list_->addItem(item);
  }
}

void SpotWindow::TakeRow(int row) {
  if (row < 0 || static_cast<size_t>(row) >= entries_.size()) return;
  const spots::SpotRecord& r = entries_[static_cast<size_t>(row)].record;
  // The rig goes where the spotted signal sits under the receive marker in the current mode.
  if (r.frequency > 0) core_.rig().SetOperatingFrequency(r.frequency);
  core_.logbook().entry().call = r.dxCall;
  if (onTake_) onTake_(r.dxCall, r.frequency);
}

spots::SpotPost SpotWindow::PrefilledSpot() const {
  return spots::PrefillSpot(qsoText_ ? qsoText_() : std::string(),
                            static_cast<int32_t>(core_.rig().operatingHz()));
}

void SpotWindow::SendSpot(const spots::SpotPost& spot, bool toWeb) {
  if (toWeb) {
    if (!core_.spots().PostSpot(spot)) status_->setText(tr("Busy: the last request is running"));
  } else {
    core_.spots().SendClusterSpot(spot);
  }
}

void SpotWindow::AskAndSendSpot() {
  const spots::SpotPost pre = PrefilledSpot();
  QDialog d(this);
  d.setWindowTitle("Spot");
  auto* form = new QFormLayout(&d);
  auto* call = new QLineEdit(QString::fromStdString(pre.dxCall));
  auto* freq = new QLineEdit(QString::fromStdString(spots::FormatPostFrequency(pre.frequencyKhz)));
  auto* comment = new QLineEdit(QString::fromStdString(pre.comment));
  form->addRow("DX call", call);
  form->addRow("kHz", freq);
  form->addRow("Comment", comment);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
  QPushButton* web = buttons->addButton("Post to web cluster", QDialogButtonBox::AcceptRole);
  QPushButton* telnet = buttons->addButton("Send to telnet cluster", QDialogButtonBox::AcceptRole);
  telnet->setEnabled(core_.spots().clusterRunning());
  form->addRow(buttons);
  bool toWeb = true;
  connect(web, &QPushButton::clicked, &d, [&] { toWeb = true; });
  connect(telnet, &QPushButton::clicked, &d, [&] { toWeb = false; });
  connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  if (d.exec() != QDialog::Accepted) return;
  spots::SpotPost spot;
  spot.dxCall = call->text().trimmed().toStdString();
  spot.frequencyKhz = freq->text().toDouble();
  spot.comment = comment->text().toStdString();
  if (spot.dxCall.empty() || spot.frequencyKhz <= 0) {
    status_->setText(tr("A spot needs a call and a frequency"));
    return;
  }
  SendSpot(spot, toWeb);
}

void SpotWindow::WebBusy(bool busy) {
  list_->setEnabled(!busy);
  refresh_->setEnabled(!busy);
  post_->setEnabled(!busy);
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void SpotWindow::WebFinished(int error, const std::string& message) {
  status_->setText((error == spots::kWebOk ? QString() : tr("Error: ")) +
                   QString::fromStdString(message));
}

void SpotWindow::ClusterText(const std::vector<std::string>& lines) {
  for (const std::string& l : lines)
    clusterText_->appendPlainText(QString::fromLatin1(l.data(), static_cast<int>(l.size())));
}

void SpotWindow::ClusterStatus(const std::string& status) {
  clusterStatus_->setText(QString::fromStdString(status));
  const bool running = core_.spots().clusterRunning();
  if (connect_->isChecked() != running) {
    QSignalBlocker block(connect_);
    connect_->setChecked(running);
  }
}

}  // namespace vexa::ui
