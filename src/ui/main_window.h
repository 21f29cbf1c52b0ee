#pragma once
// The main window: a view over the main window core. It shows the spectrum and waterfall, the
// receive and transmit text windows, the operating controls and the status, and forwards the
// operator's actions to the core.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QWidget>
#include <array>
#include <string_view>

class QAction;
class QTableWidget;

#include "app/main_core.h"
#include "ui/ax25_dialogs.h"
#include "ui/browser_window.h"
#include "ui/contest_dialog.h"
#include "ui/hell_window.h"
#include "ui/qtc_dialog.h"
#include "ui/spectrum_widget.h"
#include "ui/spot_window.h"
#include "ui/tnc_window.h"
#include "ui/transmit_text_edit.h"

namespace vexa::ui {

// The receive text window.
class ReceiveTextEdit final : public QPlainTextEdit, public app::ReceiveView {
 public:
  explicit ReceiveTextEdit(QWidget* parent = nullptr);
  void AppendChar(uint8_t c) override;
  void DeleteLastChar() override;
  void LineCompleted() override;
  bool HasFocus() const override { return hasFocus() && textCursor().hasSelection(); }

 private:
  uint8_t prev_ = 0;
};

class MainWindow final : public QWidget {
  Q_OBJECT
 public:
  MainWindow(app::MainCore& core, int templateNumber, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Refreshes everything the tick may have changed (status, hint, second channel text).
  void RefreshAfterTick();
  // Brings the controls in line with the core (after start-up or a change made elsewhere).
  void SyncControls();
  SpectrumWidget* spectrum() { return spectrum_; }
  ReceiveTextEdit* receiveText() { return rxText_; }
  TransmitTextEdit* transmitText() { return txText_; }
  QPushButton* txButton() { return txButton_; }
  HellWindow* hellWindow() { return hell_; }
  QLineEdit* qsoEntry() { return qso_; }
  QPushButton* rigFrequency() { return rigFreq_; }
  QLabel* rigStatus() { return rigStatus_; }
  QComboBox* memoryList() { return memories_; }
  QDialog* portMonitorWindow() { return monitorWindow_; }
  QPlainTextEdit* portMonitorText() { return monitorText_; }
  QDialog* cwSpeedDialog() { return cwDialog_; }
  QDialog* testLinesDialog() { return testDialog_; }
  SpotWindow* spotWindow() { return spotWindow_; }
  TncWindow* tncWindow() { return tncWindow_; }
  BrowserWindow* browserWindow() { return browserWindow_; }
  ContestDialog* contestDialog() { return contestDialog_; }
  QtcDialog* qtcDialog() { return qtcDialog_; }
  // Save QTC: the text marked in the receive window is kept in "QTC.LOG" after the question;
  // the focus goes back to the QSO entry. A contest::QtcResult.
  int SaveReceivedQtc();
  // The main settings sheet, modal; setupSheet() is the open one (null when closed).
  void OpenSetup();
  QDialog* setupSheet() { return setupSheet_; }
  // "Connect to..." (mode 13): a running link is aborted first, then the dialog, modal;
  // CONNECT stores its entries and connects. connectDialog() is the open one.
  void ConnectCommand();
  ConnectDialog* connectDialog() { return connectDialog_; }
  // "AX.25 Setup", modal; OK applies the values (the TNC port closed and opened again).
  void OpenAx25Setup();
  CAx25PropertySheet* ax25Sheet() { return ax25Sheet_; }
  // The programmable keys 0..23 (F1..F12, Shift+F1..F12), played through the console.
  void ProgrammableKey(int key);
  QPushButton* keyButton(int key) { return keys_[static_cast<size_t>(key)]; }
  QLabel* alertLine() { return alert_; }
  QLabel* beamMap() { return beam_; }
  QLabel* countryLine() { return country_; }
  // The packet carrier-detect indicator (shown while the packet channel is busy).
  QLabel* carrierIndicator() { return carrier_; }
  QDialog* secondWindow() { return secondWindow_; }
  QPlainTextEdit* secondText() { return secondText_; }
  // The key text and caption dialogs (Ctrl+F1.., Ctrl+Alt+F1..), the Auto CQ dialog.
  void EditKeyText(int key);
  void EditKeyCaption(int key);
  void ShowAutoCqDialog();
  // The log view with Edit and Delete.
  void ShowLogView();
  QDialog* logDialog() { return logDialog_; }
  // Files dropped on the window: the first is sent as a text file. False when none was sent.
  bool DropFiles(const QList<QUrl>& urls);
  // Switches the port monitor on or off with its window.
  void SetPortMonitor(bool on);

 signals:
  void CloseRequested();

 protected:
  void closeEvent(QCloseEvent* e) override;
  // A text file dropped on the window is sent like the Send text file command.
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  QDialog* setupSheet_ = nullptr;
  ConnectDialog* connectDialog_ = nullptr;
  CAx25PropertySheet* ax25Sheet_ = nullptr;
  TncWindow* tncWindow_ = nullptr;
  ContestDialog* contestDialog_ = nullptr;
  QtcDialog* qtcDialog_ = nullptr;
  void DrainSecondChannel();
  void ShowModeWindows();
  void BuildDialogs();
  void RefreshMemoryList();
  void ShowDialog(QDialog* d, app::CPositionDialog& pos, const char* caption);
  void RememberDialog(QDialog* d, app::CPositionDialog& pos);
  // Expanded key text into the transmit window at its caret (Latin-1, CR LF as a line break).
  void InsertKeyText(std::string_view text);
  void RefreshCallAnalysis();
  void FillLogTable();
  void EditLogRow(int row);
  // A read-only text window (statistics, DXCC INFO), made on first use.
  void ShowTextWindow(const char* title, const std::string& text);
  void RefreshKeyCaptions();

  app::MainCore& core_;
  QComboBox* mode_ = nullptr;
  QDoubleSpinBox* rxFreq_ = nullptr;
  QDoubleSpinBox* txFreq_ = nullptr;
  QCheckBox *afc_ = nullptr, *net_ = nullptr, *squelch_ = nullptr, *twoTone_ = nullptr,
            *rxOn_ = nullptr, *signal_ = nullptr, *noSignal_ = nullptr, *uos_ = nullptr,
            *lsb_ = nullptr;
  QCheckBox* bestDemod_ = nullptr;  // the stronger RTTY demodulator
  QLineEdit* qso_ = nullptr;
  QPushButton* rigFreq_ = nullptr;
  QLabel* rigStatus_ = nullptr;
  QComboBox* memories_ = nullptr;
  QDialog* monitorWindow_ = nullptr;
  QPlainTextEdit* monitorText_ = nullptr;
  QAction* monitorAction_ = nullptr;
  QDialog* cwDialog_ = nullptr;
  QLabel* cwCaption_ = nullptr;
  QDialog* testDialog_ = nullptr;
  SpotWindow* spotWindow_ = nullptr;
  BrowserWindow* browserWindow_ = nullptr;
  app::CPositionDialog cwPosition_{"CwDialog"};
  app::CPositionDialog testPosition_{"Test PTT/CW"};
  QPushButton* txButton_ = nullptr;
  SpectrumWidget* spectrum_ = nullptr;
  ReceiveTextEdit* rxText_ = nullptr;
  TransmitTextEdit* txText_ = nullptr;
  HellWindow* hell_ = nullptr;
  QLabel *imd_ = nullptr, *quality_ = nullptr, *clock_ = nullptr, *hint_ = nullptr,
         *port_ = nullptr;
  QDialog* secondWindow_ = nullptr;
  QPlainTextEdit* secondText_ = nullptr;
  std::array<QPushButton*, 24> keys_{};
  QLabel *alert_ = nullptr, *beam_ = nullptr, *country_ = nullptr;
  QLabel* carrier_ = nullptr;
  QLabel* contestRate_ = nullptr;
  QDialog* logDialog_ = nullptr;
  QTableWidget* logTable_ = nullptr;
  std::string shownBeamLabel_;
  bool afterCr_ = false;  // the last key text piece ended with CR
  double shownBeamX_ = -1, shownBeamY_ = -1;
  bool syncing_ = false;
  app::CPositionDialog secondPosition_{""};  // stored under the window's caption
};

}  // namespace vexa::ui
