#pragma once
// The Hellschreiber window: paints the received pixel columns. With Scroll the newest columns
// stay at the right edge and the picture moves left; otherwise painting wraps around at the
// right edge like a tape. Negative shows tone as light on dark. Both switches are remembered
// (section "Hellscreiber"), and so is the window's position (section "HellDlg").
#include <QCheckBox>
#include <QDialog>

#include "app/position_dialog.h"
#include "decoders/hell_image.h"
#include "platform/files/settings_store.h"

namespace vexa::ui {

class HellCanvas;

class HellWindow final : public QDialog {
  Q_OBJECT
 public:
  HellWindow(platform::SettingsStore& store, QWidget* parent = nullptr);
  ~HellWindow() override;

  // The pixel sink for the Hellschreiber receiver.
  decoders::HellImage& image() { return image_; }
  bool scroll() const;
  bool negative() const;
  // Repaints when new pixels arrived.
  void Refresh();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void SaveState();

  platform::SettingsStore& store_;
  app::CPositionDialog position_{"HellDlg"};
  decoders::HellImage image_;
  HellCanvas* canvas_ = nullptr;
  QCheckBox* scroll_ = nullptr;
  QCheckBox* negative_ = nullptr;
  int64_t shownPixels_ = -1;
};

}  // namespace vexa::ui
