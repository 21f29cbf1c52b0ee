#pragma once
// The spot window ("DXC"): the spot list newest first with the marks of the log (new country,
// new on the band, already worked on the band), a band and mode filter, the web cluster's
// refresh and spot form, and the telnet cluster's text, status and command line. A double
// click takes a spot: the rig frequency and the call of the QSO entry follow it.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>

#include "app/main_core.h"
#include "app/spot_marks.h"
#include "app/spots_section.h"

namespace vexa::ui {

class SpotWindow final : public QDialog, public app::SpotsView {
  Q_OBJECT
 public:
  // `onTake` receives the call and frequency (Hz) of a double-clicked spot.
  using TakeSpot = std::function<void(const std::string& call, int32_t hz)>;
  // `qsoText` gives the text of the console's QSO entry (the spot form is prefilled from it).
  SpotWindow(app::MainCore& core, TakeSpot onTake, std::function<std::string()> qsoText,
             QWidget* parent = nullptr);
  ~SpotWindow() override;

  // Shows the window at its remembered place, filled from the ring; fetches the page when the
  // settings say LoadOnStart.
  void OpenSpotWindow();
  // Refills the list from the ring through the filter.
  void Refill();
  // Takes the spot of list row `row` as a double click does.
  void TakeRow(int row);
  // The spot form's fields before the operator edits them.
  spots::SpotPost PrefilledSpot() const;
  // Sends a spot to the web cluster (toWeb) or announces it on the telnet cluster.
  void SendSpot(const spots::SpotPost& spot, bool toWeb);

  QListWidget* list() { return list_; }
  QComboBox* bandFilter() { return band_; }
  QComboBox* modeFilter() { return modeFilter_; }
  QLabel* status() { return status_; }
  QLabel* clusterStatusLabel() { return clusterStatus_; }
  QPlainTextEdit* clusterText() { return clusterText_; }
  QLineEdit* commandLine() { return command_; }
  QPushButton* refreshButton() { return refresh_; }

  // app::SpotsView
  void SpotsChanged() override { Refill(); }
  void WebBusy(bool busy) override;
  void WebFinished(int error, const std::string& message) override;
  void ClusterText(const std::vector<std::string>& lines) override;
  void ClusterStatus(const std::string& status) override;

 private:
  void AskAndSendSpot();
  app::SpotFilter Filter() const;

  app::MainCore& core_;
  TakeSpot onTake_;
  std::function<std::string()> qsoText_;
  app::CPositionDialog position_{"DXC"};
  std::vector<app::SpotListEntry> entries_;  // the rows of the list
  QListWidget* list_ = nullptr;
  QComboBox *band_ = nullptr, *modeFilter_ = nullptr;
  QPushButton *refresh_ = nullptr, *post_ = nullptr, *connect_ = nullptr;
  QLabel *status_ = nullptr, *clusterStatus_ = nullptr;
  QPlainTextEdit* clusterText_ = nullptr;
  QLineEdit* command_ = nullptr;
};

}  // namespace vexa::ui
