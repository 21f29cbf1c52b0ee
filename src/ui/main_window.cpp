#include "ui/main_window.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include "decoders/decoder_chain.h"
#include "engine/mode.h"

namespace vexa::ui {
namespace {

// The modes the operator can pick, in the order of the selector.
constexpr int kSelectableModes[] = {9, 10, 4, 17, 0, 11, 16, 15, 14, 12, 13, 1};

}  // namespace

ReceiveTextEdit::ReceiveTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setMaximumBlockCount(20000);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  QFont f("Monospace");
  f.setStyleHint(QFont::TypeWriter);
  setFont(f);
}

void ReceiveTextEdit::AppendChar(uint8_t c) {
  QTextCursor cur(document());
  cur.movePosition(QTextCursor::End);
  if (c == '\r' || c == '\n') {
    // CR LF, a lone CR and a lone LF each make one line break.
    if (!(c == '\n' && prev_ == '\r')) cur.insertBlock();
  } else if (c >= 32 || c == '\t') {
    // Received bytes are shown as Latin-1, so no byte is lost or turned into garbage.
    cur.insertText(QString(QChar(static_cast<ushort>(c))));
  }
  prev_ = c;
}

void ReceiveTextEdit::DeleteLastChar() {
  QTextCursor cur(document());
  cur.movePosition(QTextCursor::End);
  cur.deletePreviousChar();
}

void ReceiveTextEdit::LineCompleted() {
  if (!textCursor().hasSelection()) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

MainWindow::MainWindow(app::MainCore& core, int templateNumber, QWidget* parent)
    : QWidget(parent), core_(core) {
  setWindowTitle(QString::fromStdString(core.caption()));
  auto* top = new QHBoxLayout;
  mode_ = new QComboBox;
  for (int m : kSelectableModes) {
    QString name = ModeName(m);
    if (m == 16) name += " (B)";
    if (m == 13) name = "AX25TX";
    mode_->addItem(name, m);
  }
  rxFreq_ = new QDoubleSpinBox;
  txFreq_ = new QDoubleSpinBox;
  for (auto* s : {rxFreq_, txFreq_}) {
    s->setRange(100, 4000);
    s->setDecimals(1);
    s->setSuffix(" Hz");
    s->setSingleStep(1);
  }
  afc_ = new QCheckBox("AFC");
  net_ = new QCheckBox("NET");
  squelch_ = new QCheckBox("SQL");
  twoTone_ = new QCheckBox("2-tone");
  rxOn_ = new QCheckBox("RX");
  signal_ = new QCheckBox("SIG");
  signal_->setToolTip(tr("Signal check: the box next to it is ticked while no signal is seen"));
  noSignal_ = new QCheckBox;
  noSignal_->setEnabled(false);
  noSignal_->setToolTip(tr("No signal"));
  txButton_ = new QPushButton("TX");
  txButton_->setCheckable(true);
  txButton_->setToolTip(tr("Switch between receive and transmit (Pause, Alt+X)"));
  top->addWidget(new QLabel("Mode"));
  top->addWidget(mode_);
  top->addWidget(new QLabel("RX"));
  top->addWidget(rxFreq_);
  top->addWidget(new QLabel("TX"));
  top->addWidget(txFreq_);
  for (auto* c : {afc_, net_, squelch_, twoTone_, rxOn_, signal_, noSignal_}) top->addWidget(c);
  top->addStretch();
  top->addWidget(txButton_);
  // The program's menu: layout, log export, about.
  auto* menuButton = new QToolButton;
  menuButton->setText("Menu");
  menuButton->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(menuButton);
  QAction* largeAction = menu->addAction("Large layout");
  largeAction->setCheckable(true);
  largeAction->setChecked(templateNumber == app::kTemplateLarge);
  connect(largeAction, &QAction::toggled, this, [this](bool on) {
    core_.ApplyLayoutAndLanguage(on, core_.settingsStore().ReadSettingInt("Misc", "Language", 0));
  });
  menu->addSeparator();
  connect(menu->addAction("Export to ADIF"), &QAction::triggered, this,
          [this] { core_.OnSysCommand(app::kCmdExportAdif); });
  connect(menu->addAction("Export to CSV"), &QAction::triggered, this,
          [this] { core_.OnSysCommand(app::kCmdExportCsv); });
  menu->addSeparator();
  connect(menu->addAction("About Vexa"), &QAction::triggered, this, [this] {
    QMessageBox::about(
        this, "About Vexa",
        QString::fromStdString(core_.caption()) + "\nA multimode terminal for amateur radio.");
  });
  menuButton->setMenu(menu);
  top->addWidget(menuButton);

  spectrum_ = new SpectrumWidget(core_);
  rxText_ = new ReceiveTextEdit;
  txText_ = new TransmitTextEdit;
  txText_->setPlaceholderText(tr("Type here to transmit: only the text before the cursor is sent"));
  txText_->setFont(rxText_->font());
  core_.AttachReceiveView(rxText_);
  core_.AttachTransmitText(txText_);

  auto* status = new QHBoxLayout;
  imd_ = new QLabel;
  quality_ = new QLabel;
  clock_ = new QLabel;
  hint_ = new QLabel;
  hint_->setStyleSheet("color: #a00000; font-weight: bold");
  status->addWidget(quality_);
  status->addWidget(imd_);
  status->addWidget(hint_);
  port_ = new QLabel;
  port_->setStyleSheet("color: #805000");
  // Long notices must not widen the window: the label takes the room left and the full text
  // is in its tooltip.
  port_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  port_->setMinimumWidth(0);
  status->addWidget(port_, 1);
  status->addWidget(clock_);

  auto* split = new QSplitter(Qt::Vertical);
  split->addWidget(spectrum_);
  split->addWidget(rxText_);
  split->addWidget(txText_);
  const bool large = templateNumber == app::kTemplateLarge;
  split->setSizes({large ? 260 : 180, large ? 420 : 280, large ? 160 : 110});
  auto* v = new QVBoxLayout(this);
  v->addLayout(top);
  v->addWidget(split, 1);
  v->addLayout(status);
  resize(large ? 1280 : 1060, large ? 900 : 640);

  secondWindow_ = new QDialog(this);
  secondWindow_->setWindowTitle("Second RX channel");
  secondText_ = new QPlainTextEdit(secondWindow_);
  secondText_->setReadOnly(true);
  secondText_->setFont(rxText_->font());
  (new QVBoxLayout(secondWindow_))->addWidget(secondText_);
  secondWindow_->resize(520, 200);
  {
    const auto pos = secondPosition_.RestorePosition(core_.settingsStore(), "Second RX channel");
    if (pos.left != 0 || pos.top != 0) secondWindow_->move(pos.left, pos.top);
  }

  connect(mode_, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (syncing_) return;
    core_.SetMode(mode_->itemData(i).toInt());
    ShowModeWindows();
  });
  connect(txButton_, &QPushButton::clicked, this, [this] {
    core_.ToggleTransmit();
    txButton_->setChecked(core_.transmitting());
    txText_->setFocus();
  });
  // The operating keys.
  auto key = [this](QKeySequence seq, auto fn) {
    auto* sc = new QShortcut(seq, this);
    sc->setContext(Qt::WindowShortcut);
    connect(sc, &QShortcut::activated, this, fn);
  };
  auto toggle = [this] {
    core_.ToggleTransmit();
    txButton_->setChecked(core_.transmitting());
    txText_->setFocus();
  };
  key(QKeySequence(Qt::Key_Pause), toggle);
  key(QKeySequence(Qt::ALT | Qt::Key_X), toggle);
  key(QKeySequence(Qt::CTRL | Qt::Key_End), [this] { core_.EndOfTransmitKey(); });
  key(QKeySequence(Qt::CTRL | Qt::Key_Delete), [this] { core_.ClearTransmitBuffers(); });
  key(QKeySequence(Qt::Key_Escape), [this] { core_.EscapeKey(); });

  hell_ = new HellWindow(core_.settingsStore(), this);
  core_.decoders().hell().set_sink(&hell_->image());
  connect(rxFreq_, &QDoubleSpinBox::valueChanged, this, [this](double hz) {
    if (syncing_) return;
    core_.TuneAll(hz);
    if (core_.net()) core_.SetTxFrequency(hz);
    SyncControls();
  });
  connect(txFreq_, &QDoubleSpinBox::valueChanged, this, [this](double hz) {
    if (!syncing_) core_.SetTxFrequency(hz);
  });
  connect(afc_, &QCheckBox::toggled, this, [this](bool on) { core_.SetAfc(on); });
  connect(net_, &QCheckBox::toggled, this, [this](bool on) {
    core_.SetNet(on);
    SyncControls();
  });
  connect(squelch_, &QCheckBox::toggled, this, [this](bool on) { core_.SetSquelchSwitch(on); });
  connect(twoTone_, &QCheckBox::toggled, this, [this](bool on) { core_.SetTwoTone(on); });
  connect(rxOn_, &QCheckBox::toggled, this, [this](bool on) { core_.SetReceiveOn(on); });
  connect(signal_, &QCheckBox::toggled, this, [this](bool on) { core_.SetSignalCheck(on); });
  connect(spectrum_, &SpectrumWidget::FrequenciesChanged, this, [this] { SyncControls(); });
  SyncControls();
}

MainWindow::~MainWindow() {
  if (secondWindow_->isVisible())
    (void)secondPosition_.SavePosition(core_.settingsStore(),
                                       {secondWindow_->x(), secondWindow_->y()},
                                       secondWindow_->isMinimized());
  core_.decoders().hell().set_sink(nullptr);
  core_.AttachTransmitText(nullptr);
  core_.AttachReceiveView(nullptr);
}

void MainWindow::ShowModeWindows() {
  if (core_.mode() == 15) hell_->show();
}

void MainWindow::SyncControls() {
  syncing_ = true;
  const int idx = mode_->findData(core_.mode());
  if (idx >= 0) mode_->setCurrentIndex(idx);
  rxFreq_->setValue(core_.rxFrequency());
  txFreq_->setValue(core_.txFrequency());
  afc_->setChecked(core_.afc());
  net_->setChecked(core_.net());
  squelch_->setChecked(core_.squelchSwitch());
  twoTone_->setChecked(core_.receiveLoop().twoTone());
  rxOn_->setChecked(core_.receiveOn());
  signal_->setChecked(core_.signalCheck());
  setWindowTitle(QString::fromStdString(core_.caption()));
  syncing_ = false;
  ShowModeWindows();
  if (core_.secondFrequency() > 0 && !secondWindow_->isVisible()) {
    secondWindow_->setWindowTitle(
        QString("Second RX channel %1 Hz").arg(core_.secondFrequency(), 0, 'f', 1));
    secondWindow_->show();
  }
}

void MainWindow::DrainSecondChannel() {
  auto& q = core_.secondQueue();
  if (q.Empty()) return;
  QString text;
  uint8_t c = 0;
  while (q.Get(c)) {
    if (c == '\r') continue;
    if (c == '\n' || c >= 32) text += QChar(static_cast<ushort>(c));
  }
  QTextCursor cur(secondText_->document());
  cur.movePosition(QTextCursor::End);
  cur.insertText(text);
  secondText_->verticalScrollBar()->setValue(secondText_->verticalScrollBar()->maximum());
}

void MainWindow::RefreshAfterTick() {
  const bool psk = core_.mode() == 9 || core_.mode() == 10;
  quality_->setText(psk ? QString("Quality: %1").arg(core_.pskQuality()) : QString());
  imd_->setText(QString::fromStdString(core_.ImdText()));
  hint_->setText(app::MainCore::HintText(core_.hint()));
  clock_->setText(QDateTime::currentDateTimeUtc().toString("HH:mm:ss 'UTC'"));
  if (core_.secondFrequency() > 0) DrainSecondChannel();
  noSignal_->setChecked(core_.signalCheck() && core_.spectrum().signalCheckChecked());
  noSignal_->setVisible(core_.signalCheck());
  txButton_->setChecked(core_.transmitting());
  txButton_->setText(core_.transmitting() ? "RX" : "TX");
  if (hell_->isVisible()) hell_->Refresh();
  std::string notes = core_.portStatus();
  if (!core_.startupNotice().empty()) notes += (notes.empty() ? "" : "  ") + core_.startupNotice();
  const QString n = QString::fromStdString(notes);
  if (port_->toolTip() != n) {
    port_->setToolTip(n);
    port_->setText(n);
  }
}

void MainWindow::closeEvent(QCloseEvent* e) {
  // The core decides (it may ask about unsaved text); it ends the modal loop itself.
  e->ignore();
  emit CloseRequested();
}

}  // namespace vexa::ui
