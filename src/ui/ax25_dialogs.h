#pragma once
// The packet dialogs of mode 13: "Connect to..." (the remote call, the own call, the digipeater
// path, and whether every SSID of the own call may be tried) and the "AX.25 Setup" sheet with
// its four pages, built from the sheet's field table (app/ax25_setup.h).
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <vector>

#include "app/main_core.h"

namespace vexa::ui {

class ConnectDialog final : public QDialog {
 public:
  // Filled from the connect defaults (DefaultRemoteCall, DefaultMyCall, DefaultDigis,
  // TryAllSsids). Accepted with "CONNECT", rejected with "Cancel/Disc".
  ConnectDialog(app::MainCore& core, QWidget* parent = nullptr);
  QLineEdit* remote() { return remote_; }
  QLineEdit* myCall() { return myCall_; }
  QLineEdit* digis() { return digis_; }
  QCheckBox* tryAllSsids() { return tryAll_; }
  QPushButton* connectButton() { return connect_; }
  QPushButton* cancelButton() { return cancel_; }

 private:
  QLineEdit *remote_, *myCall_, *digis_;
  QCheckBox* tryAll_;
  QPushButton *connect_, *cancel_;
};

// The pages of the sheet.
class CAx25GeneralPage final : public QWidget {
 public:
  using QWidget::QWidget;
};
class CAx25BeaconPage final : public QWidget {
 public:
  using QWidget::QWidget;
};
class CAx25ParamsPage final : public QWidget {
 public:
  using QWidget::QWidget;
};
class TncPage final : public QWidget {
 public:
  using QWidget::QWidget;
};

class CAx25PropertySheet final : public QDialog {
 public:
  CAx25PropertySheet(app::MainCore& core, QWidget* parent = nullptr);
  // The editor of a field (object name: the key, "MonitorMask/<bit>" for the mask boxes).
  QWidget* Editor(const char* key, int bit = 0) const;
  QTabWidget* tabs() { return tabs_; }
  // The values as the controls hold them, in the order of the field table.
  std::vector<std::string> Collect() const;
  // OK: the values are checked; a refused one keeps the sheet open on its page with the
  // message; otherwise the packet section takes them (TNC closed, stored, applied).
  void accept() override;
  const std::string& lastError() const { return error_; }

 private:
  app::MainCore& core_;
  QTabWidget* tabs_;
  std::vector<QWidget*> editors_;
  std::string error_;
};

}  // namespace vexa::ui
