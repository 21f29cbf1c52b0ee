#include "ui/main_window.h"

#include "ui/contest_dialog.h"
#include "ui/setup_dialog.h"
#include "ui/tnc_window.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "callinfo/multiplier_tally.h"
#include "common/mode.h"
#include "decoders/decoder_chain.h"

namespace vexa::ui {
namespace {

// The modes the operator can pick, in the order of the selector.
constexpr Mode kSelectableModes[] = {Mode::Psk31,  Mode::Qpsk,  Mode::Rtty,   Mode::Mtty,
                                     Mode::Cw,     Mode::Fsk31, Mode::Fsk31b, Mode::Hell,
                                     Mode::Pactor, Mode::Ax25,  Mode::Ax25Tx, Mode::Ssb1};

QString SelectorName(Mode m) {
  if (m == Mode::Fsk31b) return "FSK31 (B)";
  if (m == Mode::Ax25Tx) return "AX25TX";
  return ModeName(m);
}

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
  setAcceptDrops(true);
  auto* top = new QHBoxLayout;
  mode_ = new QComboBox;
  for (Mode m : kSelectableModes) mode_->addItem(SelectorName(m), static_cast<int>(m));
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
  bestDemod_ = new QCheckBox("BEST");
  bestDemod_->setObjectName("bestDemod");
  bestDemod_->setToolTip(
      tr("RTTY, MTTY, PSK31, QPSK, CW: the stronger demodulators (matched filters, "
         "timing from the whole signal, soft decisions) instead of the classic ones"));
  rxOn_ = new QCheckBox("RX");
  signal_ = new QCheckBox("SIG");
  uos_ = new QCheckBox("UOS");
  uos_->setObjectName("unshiftOnSpace");
  uos_->setToolTip(tr("RTTY: unshift on space (letters after every space)"));
  lsb_ = new QCheckBox("LSB");
  lsb_->setObjectName("lowerSideband");
  lsb_->setToolTip(
      tr("The transceiver is on the lower sideband: the data modes are inverted "
         "unless DigiSide says the rig runs them on LSB"));
  signal_->setToolTip(tr("Signal check: the box next to it is ticked while no signal is seen"));
  noSignal_ = new QCheckBox;
  noSignal_->setEnabled(false);
  noSignal_->setToolTip(tr("No signal"));
  txButton_ = new QPushButton("TX");
  txButton_->setCheckable(true);
  txButton_->setToolTip(tr("Switch between receive and transmit (Pause, Alt+X)"));
  // The transceiver's operating frequency, large; a click asks for a new one.
  rigFreq_ = new QPushButton;
  rigFreq_->setObjectName("rigFrequency");
  rigFreq_->setFlat(true);
  rigFreq_->setToolTip(tr("Transceiver operating frequency: click to type a new one"));
  QFont big = rigFreq_->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  rigFreq_->setFont(big);
  rigStatus_ = new QLabel;
  rigStatus_->setObjectName("rigStatus");
  top->addWidget(new QLabel("Mode"));
  top->addWidget(mode_);
  top->addWidget(new QLabel("RX"));
  top->addWidget(rxFreq_);
  top->addWidget(new QLabel("TX"));
  top->addWidget(txFreq_);
  for (auto* c : {afc_, net_, squelch_, twoTone_, bestDemod_, rxOn_, signal_, noSignal_})
    top->addWidget(c);
  // The second row: the transceiver, the sideband and the RTTY and CW commands.
  auto* second = new QHBoxLayout;
  second->addWidget(rigFreq_);
  second->addWidget(rigStatus_);
  // The ten frequency memories: the list shows each one's transceiver frequency.
  memories_ = new QComboBox;
  memories_->setObjectName("memoryList");
  memories_->setToolTip(tr("Frequency memories: Store keeps the whole set-up, Recall restores it"));
  auto* store = new QPushButton("Store");
  store->setObjectName("memoryStore");
  auto* recall = new QPushButton("Recall");
  recall->setObjectName("memoryRecall");
  second->addSpacing(12);
  second->addWidget(memories_);
  second->addWidget(store);
  second->addWidget(recall);
  connect(store, &QPushButton::clicked, this, [this] {
    core_.OnMenuCommand(app::kCmdStoreMemory + memories_->currentIndex());
    RefreshMemoryList();
  });
  connect(recall, &QPushButton::clicked, this, [this] {
    core_.OnMenuCommand(app::kCmdRecallMemory + memories_->currentIndex());
    SyncControls();
    RefreshAfterTick();
  });
  second->addStretch();
  second->addWidget(uos_);
  second->addWidget(lsb_);
  auto* unshift = new QPushButton("Unshift");
  unshift->setObjectName("unshift");
  unshift->setToolTip(tr("RTTY: back to letters"));
  auto* baud = new QPushButton("Baud");
  baud->setObjectName("rttyBaud");
  baud->setToolTip(tr("RTTY: set the baud rate"));
  auto* cwSpeed = new QPushButton("CW speed");
  cwSpeed->setObjectName("cwSpeed");
  second->addWidget(unshift);
  second->addWidget(baud);
  second->addWidget(cwSpeed);
  top->addStretch();
  top->addWidget(txButton_);
  // The program's menu: layout, log export, about.
  auto* menuButton = new QToolButton;
  menuButton->setText("Menu");
  menuButton->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(menuButton);
  connect(menu->addAction("Setup..."), &QAction::triggered, this, [this] { OpenSetup(); });
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
  QAction* sendFile = menu->addAction("Send text file...");
  sendFile->setObjectName("sendTextFile");
  connect(sendFile, &QAction::triggered, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, "Send text file", QString(),
                                                      "Text files(*.txt);;All Files (*.*)");
    if (!path.isEmpty()) (void)core_.console().SendTextFile(path.toStdString());
  });
  QAction* logAction = menu->addAction("Log");
  logAction->setObjectName("logView");
  connect(logAction, &QAction::triggered, this, [this] { ShowLogView(); });
  QAction* stats = menu->addAction("Statistics");
  stats->setObjectName("statistics");
  connect(stats, &QAction::triggered, this, [this] {
    ShowTextWindow("Statistics", callinfo::StatisticsText(core_.logbook().tally(),
                                                          core_.logbook().logScan().qsoTotal));
  });
  QAction* dxcc = menu->addAction("DXCC INFO");
  dxcc->setObjectName("dxccInfo");
  connect(dxcc, &QAction::triggered, this, [this] {
    auto& lb = core_.logbook();
    const std::string call = core_.console().analysedCall();
    std::string text;
    for (const std::string& t : callinfo::DxccInfoTexts(lb.countries(), &lb.tally(), call,
                                                        lb.myLatitude(), lb.myLongitude()))
      text += t + "\n";
    ShowTextWindow("DXCC INFO", text.empty() ? "No country for \"" + call + "\"" : text);
  });
  menu->addSeparator();
  monitorAction_ = menu->addAction("Port monitor");
  monitorAction_->setObjectName("portMonitor");
  monitorAction_->setCheckable(true);
  connect(monitorAction_, &QAction::toggled, this, [this](bool on) { SetPortMonitor(on); });
  QAction* contestAction = menu->addAction("Contest dialog");
  contestAction->setObjectName("contestDialog");
  connect(contestAction, &QAction::triggered, this, [this] { contestDialog_->Open(); });
  QAction* qtcAction = menu->addAction("QTC window");
  qtcAction->setObjectName("qtcWindow");
  connect(qtcAction, &QAction::triggered, this, [this] { (void)qtcDialog_->OpenQtc(); });
  QAction* saveQtc = menu->addAction("Save received QTC");
  saveQtc->setObjectName("saveQtc");
  connect(saveQtc, &QAction::triggered, this, [this] { (void)SaveReceivedQtc(); });
  QAction* tncAction = menu->addAction("TNC terminal");
  tncAction->setObjectName("tncTerminal");
  connect(tncAction, &QAction::triggered, this, [this] { tncWindow_->Toggle(); });
  menu->addSeparator();
  QAction* connectAction = menu->addAction("Connect to...");
  connectAction->setObjectName("connectTo");
  connect(connectAction, &QAction::triggered, this, [this] { ConnectCommand(); });
  QAction* ax25Action = menu->addAction("A&X.25 Setup");
  ax25Action->setObjectName("ax25Setup");
  connect(ax25Action, &QAction::triggered, this, [this] { OpenAx25Setup(); });
  menu->addSeparator();
  QAction* spotsAction = menu->addAction("DX spots");
  spotsAction->setObjectName("dxSpots");
  connect(spotsAction, &QAction::triggered, this, [this] { spotWindow_->OpenSpotWindow(); });
  QAction* browserAction = menu->addAction("Signal browser");
  browserAction->setObjectName("signalBrowserAction");
  connect(browserAction, &QAction::triggered, this, [this] { browserWindow_->Toggle(); });
  QAction* testLines = menu->addAction("Test PTT/CW");
  testLines->setObjectName("testLines");
  connect(testLines, &QAction::triggered, this,
          [this] { ShowDialog(testDialog_, testPosition_, "Test PTT/CW"); });
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
  core_.receive().AttachReceiveView(rxText_);
  core_.transmit().AttachTransmitText(txText_);

  // The QSO entry line: what is typed here is saved to the log.
  auto* entry = new QHBoxLayout;
  qso_ = new QLineEdit;
  qso_->setPlaceholderText(tr("QSO: call, report, name... (Enter saves it to the log)"));
  auto* save = new QPushButton("Save");
  save->setObjectName("qsoSave");
  entry->addWidget(new QLabel("QSO"));
  entry->addWidget(qso_, 1);
  entry->addWidget(save);
  connect(qso_, &QLineEdit::textEdited, this,
          [this](const QString& t) { core_.logbook().TypeEntry(t.toStdString()); });
  auto saveEntry = [this] {
    (void)core_.console().SaveEntry();
    qso_->setText(QString::fromStdString(core_.logbook().entry().text));
    if (logDialog_ != nullptr && logDialog_->isVisible()) FillLogTable();
    RefreshMemoryList();
  };
  connect(save, &QPushButton::clicked, this, saveEntry);
  connect(qso_, &QLineEdit::returnPressed, this, saveEntry);

  // The programmable keys: F1..F12 above Shift F1..Shift F12. The buttons take no focus, so the
  // keyboard stays where the operator types.
  auto* keyRows = new QGridLayout;
  keyRows->setSpacing(2);
  for (int k = 0; k < 24; ++k) {
    auto* b = new QPushButton;
    b->setObjectName(QString("key%1").arg(k));
    b->setFocusPolicy(Qt::NoFocus);
    b->setToolTip(QString::fromStdString(console::KeyName(k)));
    b->setMinimumWidth(40);
    b->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    connect(b, &QPushButton::clicked, this, [this, k] { ProgrammableKey(k); });
    keyRows->addWidget(b, k / 12, k % 12);
    keys_[static_cast<size_t>(k)] = b;
  }
  RefreshKeyCaptions();
  core_.console().SetTextInserter([this](std::string_view t) { InsertKeyText(t); });

  // The call analysis: the alert line, the country line and the beam map.
  alert_ = new QLabel;
  alert_->setObjectName("alertLine");
  alert_->setStyleSheet("color: #c00000; font-weight: bold");
  country_ = new QLabel;
  country_->setObjectName("countryLine");
  beam_ = new QLabel;
  beam_->setObjectName("beamMap");
  beam_->setFixedSize(128, 128);
  auto* analysis = new QHBoxLayout;
  auto* analysisText = new QVBoxLayout;
  analysisText->addWidget(alert_);
  analysisText->addWidget(country_);
  contestRate_ = new QLabel;
  contestRate_->setObjectName("contestRate");
  analysisText->addWidget(contestRate_);
  analysisText->addStretch(1);
  analysis->addLayout(analysisText, 1);
  analysis->addWidget(beam_);

  auto* status = new QHBoxLayout;
  imd_ = new QLabel;
  quality_ = new QLabel;
  clock_ = new QLabel;
  hint_ = new QLabel;
  hint_->setStyleSheet("color: #a00000; font-weight: bold");
  status->addWidget(quality_);
  status->addWidget(imd_);
  auto* imdSend = new QPushButton("Send IMD");
  imdSend->setObjectName("sendImd");
  imdSend->setFocusPolicy(Qt::NoFocus);
  connect(imdSend, &QPushButton::clicked, this, [this] { core_.console().SendImdReport(); });
  status->addWidget(imdSend);
  status->addWidget(hint_);
  port_ = new QLabel;
  port_->setStyleSheet("color: #805000");
  // Long notices must not widen the window: the label takes the room left and the full text
  // is in its tooltip.
  port_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  port_->setMinimumWidth(0);
  status->addWidget(port_, 1);
  // Mode 13 with a sound-card modem: lit while the channel is busy (carrier detected).
  carrier_ = new QLabel("DCD");
  carrier_->setObjectName("carrierDetect");
  carrier_->setToolTip(tr("Packet channel busy: carrier detected"));
  carrier_->setStyleSheet("background: #20a020; color: white; font-weight: bold; padding: 0 4px");
  carrier_->setVisible(false);
  status->addWidget(carrier_);
  status->addWidget(clock_);

  auto* split = new QSplitter(Qt::Vertical);
  split->addWidget(spectrum_);
  split->addWidget(rxText_);
  split->addWidget(txText_);
  const bool large = templateNumber == app::kTemplateLarge;
  split->setSizes({large ? 260 : 180, large ? 420 : 280, large ? 160 : 110});
  auto* v = new QVBoxLayout(this);
  v->addLayout(top);
  v->addLayout(second);
  v->addWidget(split, 1);
  v->addLayout(keyRows);
  v->addLayout(entry);
  v->addLayout(analysis);
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
    if (const auto m = ModeFromNumber(mode_->itemData(i).toInt())) core_.SetMode(*m);
    ShowModeWindows();
  });
  auto toggle = [this] {
    core_.console().ToggleTransmitCommand();
    txButton_->setChecked(core_.transmit().transmitting());
    txText_->setFocus();
  };
  connect(txButton_, &QPushButton::clicked, this, toggle);
  // The operating keys.
  auto key = [this](QKeySequence seq, auto fn) {
    auto* sc = new QShortcut(seq, this);
    sc->setContext(Qt::WindowShortcut);
    connect(sc, &QShortcut::activated, this, fn);
  };
  key(QKeySequence(Qt::Key_Pause), toggle);
  key(QKeySequence(Qt::ALT | Qt::Key_X), toggle);
  auto& tx = core_.transmit();
  key(QKeySequence(Qt::CTRL | Qt::Key_End), [&tx] { tx.EndOfTransmitKey(); });
  key(QKeySequence(Qt::CTRL | Qt::Key_Delete), [&tx] { tx.ClearTransmitBuffers(); });
  auto& con = core_.console();
  key(QKeySequence(Qt::Key_Escape), [&con] { con.PressEscape(); });
  for (int k = 0; k < 12; ++k) {
    const auto f = static_cast<Qt::Key>(Qt::Key_F1 + k);
    key(QKeySequence(f), [this, k] { ProgrammableKey(k); });
    key(QKeySequence(Qt::SHIFT | f), [this, k] { ProgrammableKey(12 + k); });
    key(QKeySequence(Qt::CTRL | f), [this, k] { EditKeyText(k); });
    key(QKeySequence(Qt::SHIFT | Qt::CTRL | f), [this, k] { EditKeyText(12 + k); });
    key(QKeySequence(Qt::CTRL | Qt::ALT | f), [this, k] { EditKeyCaption(k); });
    key(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::ALT | f), [this, k] { EditKeyCaption(12 + k); });
  }
  key(QKeySequence(Qt::Key_Insert), [&con] { con.PressIns(); });
  key(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Insert),
      [this] { EditKeyText(console::kKeyIns); });
  key(QKeySequence(Qt::KeypadModifier | Qt::Key_Plus), [&con] { con.PressGrayPlus(); });
  key(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::KeypadModifier | Qt::Key_Plus),
      [this] { EditKeyText(console::kKeyGrayPlus); });
  key(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_A), [this] { ShowAutoCqDialog(); });

  hell_ = new HellWindow(core_.settingsStore(), this);
  auto& rx = core_.receive();
  rx.decoders().hell().set_sink(&hell_->image());
  connect(rxFreq_, &QDoubleSpinBox::valueChanged, this, [this, &rx](double hz) {
    if (syncing_) return;
    rx.TuneAll(hz);
    if (rx.net()) rx.SetTxFrequency(hz);
    SyncControls();
  });
  connect(txFreq_, &QDoubleSpinBox::valueChanged, this, [this, &rx](double hz) {
    if (!syncing_) rx.SetTxFrequency(hz);
  });
  connect(afc_, &QCheckBox::toggled, this, [&rx](bool on) { rx.SetAfc(on); });
  connect(net_, &QCheckBox::toggled, this, [this, &rx](bool on) {
    rx.SetNet(on);
    SyncControls();
  });
  connect(squelch_, &QCheckBox::toggled, this, [&rx](bool on) { rx.SetSquelchSwitch(on); });
  connect(twoTone_, &QCheckBox::toggled, this, [&rx](bool on) { rx.SetTwoTone(on); });
  connect(bestDemod_, &QCheckBox::toggled, this, [this, &rx](bool on) {
    rx.SetBestDemod(on);
    core_.browser().SetBest(on);
  });
  connect(rxOn_, &QCheckBox::toggled, this, [&rx](bool on) { rx.SetReceiveOn(on); });
  connect(signal_, &QCheckBox::toggled, this, [&rx](bool on) { rx.SetSignalCheck(on); });
  connect(uos_, &QCheckBox::toggled, this, [&rx](bool on) { rx.SetUnshiftOnSpace(on); });
  connect(lsb_, &QCheckBox::toggled, this, [&rx](bool on) { rx.SetLowerSideband(on); });
  connect(unshift, &QPushButton::clicked, this, [&rx] { rx.Unshift(); });
  connect(baud, &QPushButton::clicked, this, [&rx] { (void)rx.AskRttyBaud(); });
  connect(rigFreq_, &QPushButton::clicked, this, [this] {
    if (core_.rig().AskOperatingFrequency()) RefreshAfterTick();
  });
  connect(cwSpeed, &QPushButton::clicked, this,
          [this] { ShowDialog(cwDialog_, cwPosition_, "CwDialog"); });
  BuildDialogs();
  RefreshMemoryList();
  // The spot window: a taken spot puts its call into the QSO entry.
  tncWindow_ = new TncWindow(core_, this);
  contestDialog_ = new ContestDialog(core_, this);
  browserWindow_ = new BrowserWindow(
      core_, [this] { SyncControls(); }, this);
  qtcDialog_ = new QtcDialog(core_, this);
  spotWindow_ = new SpotWindow(
      core_,
      [this](const std::string& call, int32_t) {
        qso_->setText(QString::fromStdString(call));
        core_.logbook().TypeEntry(call);
        SyncControls();
      },
      [this] { return qso_->text().toStdString(); }, this);
  connect(spectrum_, &SpectrumWidget::FrequenciesChanged, this, [this] { SyncControls(); });
  SyncControls();
}

MainWindow::~MainWindow() {
  if (secondWindow_->isVisible())
    (void)secondPosition_.SavePosition(core_.settingsStore(),
                                       {secondWindow_->x(), secondWindow_->y()},
                                       secondWindow_->isMinimized());
  RememberDialog(cwDialog_, cwPosition_);
  RememberDialog(testDialog_, testPosition_);
  if (spotWindow_->isVisible())
    (void)app::CPositionDialog("DXC").SavePosition(
        core_.settingsStore(), {spotWindow_->x(), spotWindow_->y()}, spotWindow_->isMinimized());
  core_.transmit().SetPortMonitor(false);
  core_.receive().decoders().hell().set_sink(nullptr);
  core_.transmit().AttachTransmitText(nullptr);
  core_.receive().AttachReceiveView(nullptr);
}

void MainWindow::BuildDialogs() {
  // The CW speed dialog: the keyer's speed with a button each way.
  cwDialog_ = new QDialog(this);
  cwDialog_->setWindowTitle("CW speed");
  cwCaption_ = new QLabel;
  auto* slower = new QPushButton("Slower");
  auto* faster = new QPushButton("Faster");
  slower->setObjectName("cwSlower");
  faster->setObjectName("cwFaster");
  cwCaption_->setObjectName("cwCaption");
  auto* cw = new QGridLayout(cwDialog_);
  cw->addWidget(cwCaption_, 0, 0, 1, 2, Qt::AlignCenter);
  cw->addWidget(slower, 1, 0);
  cw->addWidget(faster, 1, 1);
  auto showSpeed = [this] {
    cwCaption_->setText(QString::fromStdString(core_.transmit().CwSpeedCaption()));
  };
  connect(slower, &QPushButton::clicked, this, [this, showSpeed] {
    core_.transmit().CwSlower();
    showSpeed();
  });
  connect(faster, &QPushButton::clicked, this, [this, showSpeed] {
    core_.transmit().CwFaster();
    showSpeed();
  });
  showSpeed();
  connect(cwDialog_, &QDialog::finished, this, [this] { RememberDialog(cwDialog_, cwPosition_); });

  // "Test PTT/CW": the two lines of the transceiver port by hand.
  testDialog_ = new QDialog(this);
  testDialog_->setWindowTitle("Test PTT/CW");
  auto* dtr = new QCheckBox("DTR");
  auto* rts = new QCheckBox("RTS");
  auto* state = new QLabel;
  dtr->setObjectName("testDtr");
  rts->setObjectName("testRts");
  state->setObjectName("testState");
  auto* t = new QVBoxLayout(testDialog_);
  t->addWidget(dtr);
  t->addWidget(rts);
  t->addWidget(state);
  auto setLine = [this, state](QCheckBox* box, bool dtrLine, bool on) {
    auto& tx = core_.transmit();
    const bool ok = dtrLine ? tx.TestDtr(on) : tx.TestRts(on);
    if (!ok) {
      QSignalBlocker block(box);
      box->setChecked(false);
    }
    state->setText(ok ? QString() : tr("The transceiver port is not open"));
  };
  connect(dtr, &QCheckBox::toggled, this, [dtr, setLine](bool on) { setLine(dtr, true, on); });
  connect(rts, &QCheckBox::toggled, this, [rts, setLine](bool on) { setLine(rts, false, on); });
  connect(testDialog_, &QDialog::finished, this, [this, dtr, rts] {
    // The lines go back to rest when the test ends.
    dtr->setChecked(false);
    rts->setChecked(false);
    RememberDialog(testDialog_, testPosition_);
  });

  // The port monitor: transceiver bytes in hexadecimal.
  monitorWindow_ = new QDialog(this);
  monitorWindow_->setWindowTitle("Port monitor");
  monitorText_ = new QPlainTextEdit(monitorWindow_);
  monitorText_->setReadOnly(true);
  monitorText_->setMaximumBlockCount(5000);
  monitorText_->setFont(rxText_->font());
  (new QVBoxLayout(monitorWindow_))->addWidget(monitorText_);
  monitorWindow_->resize(560, 260);
  connect(monitorWindow_, &QDialog::finished, this, [this] { monitorAction_->setChecked(false); });
}

void MainWindow::RefreshMemoryList() {
  const int current = std::max(0, memories_->currentIndex());
  memories_->clear();
  for (int n = 0; n < app::kMemoryCount; ++n) {
    const std::string f = core_.memories().ListText(n);
    memories_->addItem(
        QString("M%1  %2").arg(n + 1).arg(f.empty() ? QString("-") : QString::fromStdString(f)));
  }
  memories_->setCurrentIndex(current);
}

void MainWindow::ShowDialog(QDialog* d, app::CPositionDialog& pos, const char* caption) {
  if (!d->isVisible()) {
    const auto p = pos.RestorePosition(core_.settingsStore(), caption);
    if (p.left != 0 || p.top != 0) d->move(p.left, p.top);
  }
  d->show();
  d->raise();
}

void MainWindow::RememberDialog(QDialog* d, app::CPositionDialog& pos) {
  if (d == nullptr || pos.section().empty()) return;
  (void)pos.SavePosition(core_.settingsStore(), {d->x(), d->y()}, d->isMinimized());
}

void MainWindow::SetPortMonitor(bool on) {
  if (on) {
    core_.transmit().SetPortMonitor(true, [this](const std::string& text) {
      QTextCursor cur(monitorText_->document());
      cur.movePosition(QTextCursor::End);
      QString t = QString::fromLatin1(text.data(), static_cast<int>(text.size()));
      t.replace("\r\n", "\n");
      cur.insertText(t);
      monitorText_->verticalScrollBar()->setValue(monitorText_->verticalScrollBar()->maximum());
    });
    monitorWindow_->show();
  } else {
    core_.transmit().SetPortMonitor(false);
    monitorWindow_->hide();
  }
  if (monitorAction_->isChecked() != on) {
    QSignalBlocker block(monitorAction_);
    monitorAction_->setChecked(on);
  }
}

void MainWindow::ProgrammableKey(int key) {
  // The console plays the text, or in the phone modes the recorded voice message.
  core_.console().PressKey(key);
  if (core_.transmit().transmitting()) txText_->setFocus();
}

int MainWindow::SaveReceivedQtc() {
  // The receive window's paragraph separators are its line ends; its text is Latin-1.
  QString marked = rxText_->textCursor().selectedText();
  marked.replace(QChar::ParagraphSeparator, QChar('\n'));
  const int rc = core_.console().SaveReceivedQtc(marked.toLatin1().toStdString());
  qso_->setFocus();
  return rc;
}

void MainWindow::InsertKeyText(std::string_view text) {
  QString q;
  q.reserve(static_cast<qsizetype>(text.size()));
  // CR and LF arrive as separate pieces of a key text: a CR LF pair is one line break.
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    const bool pairedLf = c == '\n' && afterCr_;
    afterCr_ = c == '\r';
    if (pairedLf) continue;
    q += c == '\r' ? QChar('\n') : QChar(static_cast<ushort>(c));
  }
  txText_->textCursor().insertText(q);
}

void MainWindow::RefreshKeyCaptions() {
  for (int k = 0; k < 24; ++k) {
    const std::string& caption = core_.console().Caption(k);
    keys_[static_cast<size_t>(k)]->setText(
        QString::fromStdString(caption.empty() ? console::KeyName(k) : caption));
  }
}

void MainWindow::EditKeyText(int key) {
  auto& con = core_.console();
  bool ok = false;
  const QString label = key == console::kKeyIns        ? "Enter text for Ins key"
                        : key == console::kKeyGrayPlus ? "Enter text for Gray Plus key"
                                                       : "Text";
  const QString text = QInputDialog::getMultiLineText(
      this, QString::fromStdString(app::ConsoleSection::TextDialogTitle(key)), label,
      QString::fromLatin1(con.EditText(key)), &ok);
  if (ok) con.SetEditedText(key, text.toLatin1().toStdString());
}

void MainWindow::EditKeyCaption(int key) {
  auto& con = core_.console();
  bool ok = false;
  const QString text = QInputDialog::getText(
      this, QString::fromStdString(app::ConsoleSection::CaptionDialogTitle(key)), "Caption",
      QLineEdit::Normal, QString::fromStdString(con.Caption(key)), &ok);
  if (!ok) return;
  con.SetCaption(key, text.toStdString());
  RefreshKeyCaptions();
}

void MainWindow::ShowAutoCqDialog() {
  auto& con = core_.console();
  QDialog d(this);
  d.setWindowTitle("Auto CQ");
  auto* text = new QPlainTextEdit(QString::fromLatin1(con.EditText(console::kKeyAutoCq)));
  auto* listen = new QSpinBox;
  listen->setRange(0, 3600);
  listen->setValue(con.console().keys().autoCqDelaySeconds);
  auto* begin = new QPushButton("BEGIN");
  auto* apply = new QPushButton("Apply");
  auto* cancel = new QPushButton("Cancel");
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel("Listen time"));
  row->addWidget(listen);
  row->addWidget(new QLabel("seconds"));
  row->addStretch(1);
  row->addWidget(begin);
  row->addWidget(apply);
  row->addWidget(cancel);
  auto* v = new QVBoxLayout(&d);
  v->addWidget(text);
  v->addLayout(row);
  using B = app::ConsoleSection::AutoCqButton;
  B chosen = B::kCancel;
  connect(begin, &QPushButton::clicked, &d, [&] {
    chosen = B::kBegin;
    d.accept();
  });
  connect(apply, &QPushButton::clicked, &d, [&] {
    chosen = B::kApply;
    d.accept();
  });
  connect(cancel, &QPushButton::clicked, &d, &QDialog::reject);
  (void)d.exec();
  con.AutoCqDialog(chosen, text->toPlainText().toLatin1().toStdString(), listen->value());
}

void MainWindow::ShowTextWindow(const char* title, const std::string& text) {
  auto* d = findChild<QDialog*>(title);
  QPlainTextEdit* view = nullptr;
  if (d == nullptr) {
    d = new QDialog(this);
    d->setObjectName(title);
    d->setWindowTitle(title);
    view = new QPlainTextEdit(d);
    view->setReadOnly(true);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    (new QVBoxLayout(d))->addWidget(view);
    d->resize(640, 360);
  } else {
    view = d->findChild<QPlainTextEdit*>();
  }
  QString t = QString::fromLatin1(text);
  t.remove(QChar('\r'));
  view->setPlainText(t);
  d->show();
  d->raise();
}

void MainWindow::ShowLogView() {
  if (logDialog_ == nullptr) {
    logDialog_ = new QDialog(this);
    logDialog_->setObjectName("logDialog");
    logDialog_->setWindowTitle("Log");
    logTable_ = new QTableWidget(logDialog_);
    logTable_->setObjectName("logTable");
    logTable_->setColumnCount(log::kLogViewColumnCount);
    QStringList headers;
    for (const char* h : log::kLogViewColumns) headers << h;
    logTable_->setHorizontalHeaderLabels(headers);
    logTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    logTable_->setSelectionMode(QAbstractItemView::SingleSelection);
    logTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* edit = new QPushButton("Edit");
    edit->setObjectName("logEdit");
    auto* del = new QPushButton("Delete");
    del->setObjectName("logDelete");
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(edit);
    row->addWidget(del);
    auto* v = new QVBoxLayout(logDialog_);
    v->addWidget(logTable_);
    v->addLayout(row);
    logDialog_->resize(760, 420);
    // Enter edits the selected contact, Delete removes it (after the question).
    connect(edit, &QPushButton::clicked, this, [this] { EditLogRow(logTable_->currentRow()); });
    connect(logTable_, &QTableWidget::cellActivated, this, [this](int r, int) { EditLogRow(r); });
    connect(del, &QPushButton::clicked, this, [this] {
      (void)core_.console().DeleteLogRow(logTable_->currentRow());
      FillLogTable();
    });
    auto* delKey = new QShortcut(QKeySequence(Qt::Key_Delete), logTable_);
    delKey->setContext(Qt::WidgetShortcut);
    connect(delKey, &QShortcut::activated, del, &QPushButton::click);
  }
  FillLogTable();
  logDialog_->show();
  logDialog_->raise();
  logTable_->setFocus();
}

void MainWindow::FillLogTable() {
  const log::LogView& view = core_.console().logView();
  const int keep = logTable_->currentRow();
  logTable_->setRowCount(view.RowCount());
  for (int r = 0; r < view.RowCount(); ++r) {
    const log::LogViewCells cells = view.Cells(r);
    for (int c = 0; c < log::kLogViewColumnCount; ++c)
      logTable_->setItem(r, c,
                         new QTableWidgetItem(QString::fromLatin1(cells[static_cast<size_t>(c)])));
  }
  const int last = view.RowCount() - 1;
  logTable_->setCurrentCell(keep >= 0 && keep <= last ? keep : last, 0);
}

void MainWindow::EditLogRow(int row) {
  auto& con = core_.console();
  if (row < 0 || row >= con.logView().RowCount()) return;
  bool ok = false;
  const QString text = QInputDialog::getText(logDialog_, "Edit QSO", "QSO", QLineEdit::Normal,
                                             QString::fromLatin1(con.LogRowText(row)), &ok);
  if (!ok) return;
  if (con.EditLogRow(row, text.toLatin1().toStdString()) < 0)
    QMessageBox::warning(logDialog_, "Error", "This is not a QSO record: the log is unchanged.");
  FillLogTable();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e) {
  if (DropFiles(e->mimeData()->urls())) e->acceptProposedAction();
}

bool MainWindow::DropFiles(const QList<QUrl>& urls) {
  // Only the first of several dropped files is sent.
  if (urls.isEmpty() || !urls.front().isLocalFile()) return false;
  return core_.console().SendTextFile(urls.front().toLocalFile().toStdString());
}

void MainWindow::RefreshCallAnalysis() {
  auto& con = core_.console();
  const QString alert = QString::fromStdString(con.alertText());
  if (alert_->text() != alert) alert_->setText(alert);
  // The contest's Total and Rate lines (CR LF between them), empty outside a contest.
  QString rate = QString::fromStdString(con.contestLines()).trimmed();
  rate.remove(QChar('\r'));
  if (contestRate_->text() != rate) contestRate_->setText(rate);
  const QString country = QString::fromStdString(con.countryLine());
  if (country_->text() != country) country_->setText(country);
  const auto& m = con.beamMap();
  if (beam_->pixmap().isNull() || m.label != shownBeamLabel_ || m.endX != shownBeamX_ ||
      m.endY != shownBeamY_) {
    shownBeamLabel_ = m.label;
    shownBeamX_ = m.endX;
    shownBeamY_ = m.endY;
    QPixmap pix(128, 128);
    pix.fill(QColor(0, 0, 80));
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0, 90, 160));
    p.drawEllipse(QRectF(0.5, 0.5, 127, 127));
    if (m.line) {
      p.setPen(QPen(QColor(255, 255, 255), 1.5));
      p.drawLine(QPointF(64, 64), QPointF(m.endX, m.endY));
      p.setPen(QColor(0xF0, 0xF0, 0));
      QFont f = p.font();
      f.setPixelSize(11);
      p.setFont(f);
      p.drawText(QRect(20, m.labelTop, 88, m.labelBottom - m.labelTop), Qt::AlignCenter,
                 QString::fromStdString(m.label));
    }
    p.end();
    beam_->setPixmap(pix);
  }
}

void MainWindow::ShowModeWindows() {
  if (core_.mode() == Mode::Hell) hell_->show();
}

void MainWindow::SyncControls() {
  syncing_ = true;
  auto& rx = core_.receive();
  const int idx = mode_->findData(static_cast<int>(core_.mode()));
  if (idx >= 0) mode_->setCurrentIndex(idx);
  rxFreq_->setValue(rx.rxFrequency());
  txFreq_->setValue(rx.txFrequency());
  afc_->setChecked(rx.afc());
  net_->setChecked(rx.net());
  squelch_->setChecked(rx.squelchSwitch());
  twoTone_->setChecked(rx.twoTone());
  bestDemod_->setChecked(rx.bestDemod());
  rxOn_->setChecked(rx.receiveOn());
  signal_->setChecked(rx.signalCheck());
  uos_->setChecked(rx.unshiftOnSpace());
  lsb_->setChecked(rx.lowerSideband());
  qso_->setText(QString::fromStdString(core_.logbook().entry().text));
  setWindowTitle(QString::fromStdString(core_.caption()));
  syncing_ = false;
  ShowModeWindows();
  if (rx.secondFrequency() > 0 && !secondWindow_->isVisible()) {
    secondWindow_->setWindowTitle(
        QString("Second RX channel %1 Hz").arg(rx.secondFrequency(), 0, 'f', 1));
    secondWindow_->show();
  }
}

void MainWindow::DrainSecondChannel() {
  auto& q = core_.receive().secondQueue();
  if (q.Empty()) return;
  if (core_.mode() == Mode::Ax25Tx && !secondWindow_->isVisible()) {
    secondWindow_->setWindowTitle("AX.25 monitor");
    secondWindow_->show();
  }
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
  auto& rx = core_.receive();
  const bool transmitting = core_.transmit().transmitting();
  quality_->setText(HasSquelch(core_.mode()) ? QString("Quality: %1").arg(rx.pskQuality())
                                             : QString());
  imd_->setText(QString::fromStdString(rx.ImdText()));
  hint_->setText(app::ReceiveSection::HintText(rx.hint()));
  const QString clock = QString::fromStdString(core_.console().clockText());
  if (clock_->text() != clock) clock_->setText(clock);
  RefreshCallAnalysis();
  // In mode 13 the second text queue holds the packet monitor and the incoming notices.
  if (rx.secondFrequency() > 0 || core_.mode() == Mode::Ax25Tx) DrainSecondChannel();
  carrier_->setVisible(core_.packet().carrierDetect());
  noSignal_->setChecked(rx.signalCheck() && rx.spectrum().signalCheckChecked());
  noSignal_->setVisible(rx.signalCheck());
  txButton_->setChecked(transmitting);
  txButton_->setText(transmitting ? "RX" : "TX");
  if (hell_->isVisible()) hell_->Refresh();
  if (browserWindow_->isVisible()) browserWindow_->Refresh();
  if (cwDialog_->isVisible())
    cwCaption_->setText(QString::fromStdString(core_.transmit().CwSpeedCaption()));
  auto& rig = core_.rig();
  rigFreq_->setText(QString::fromStdString(rig.OperatingText()));
  const int rigMode = rig.rigMode();
  static const char* kRigModes[] = {"LSB", "USB", "AM", "CW", "DATA", "FM"};
  QString rigText = QString::fromStdString(rig.StatusText());
  if (rig.settings().cat.type != 0 && rigMode >= 0 && rigMode <= 5)
    rigText += QString("  %1").arg(kRigModes[rigMode]);
  rigStatus_->setText(rigText);
  rigStatus_->setStyleSheet(rig.answering() ? "color: #006000" : "color: #805000");
  std::string notes = core_.transmit().portStatus();
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

void MainWindow::OpenSetup() {
  SetupDialog sheet(core_, this);
  setupSheet_ = &sheet;
  const int result = sheet.exec();
  setupSheet_ = nullptr;
  // A reload rebuilds the window; otherwise the controls show the new values.
  if (result == QDialog::Accepted && !sheet.outcome().reload) SyncControls();
}

void MainWindow::ConnectCommand() {
  auto& packet = core_.packet();
  if (!packet.BeginConnect()) return;
  ConnectDialog dialog(core_, this);
  connectDialog_ = &dialog;
  const int result = dialog.exec();
  connectDialog_ = nullptr;
  if (result != QDialog::Accepted) return;  // Cancel/Disc: the station stays disconnected
  (void)packet.ConnectFromDialog(dialog.remote()->text().trimmed().toUpper().toStdString(),
                                 dialog.myCall()->text().trimmed().toUpper().toStdString(),
                                 dialog.digis()->text().trimmed().toUpper().toStdString(),
                                 dialog.tryAllSsids()->isChecked());
}

void MainWindow::OpenAx25Setup() {
  CAx25PropertySheet sheet(core_, this);
  ax25Sheet_ = &sheet;
  (void)sheet.exec();
  ax25Sheet_ = nullptr;
}

}  // namespace vexa::ui
