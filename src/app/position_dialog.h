#pragma once
// Position memory of top-level dialogs: each keeps its top-left corner as Left and Top in a
// settings section of its own (a fixed name, or the window's caption when it has none). Restored
// when the dialog opens; saved when it closes unless it is minimised.
#include <string>

#include "platform/files/settings_store.h"

namespace vexa::app {

class CPositionDialog {
 public:
  // section: the dialog's own section name, or "" to use the caption given at initialisation.
  explicit CPositionDialog(std::string section = "") : section_(std::move(section)) {}
  virtual ~CPositionDialog() = default;

  struct Position {
    int left = 0;
    int top = 0;
  };

  // Reads Left and Top (0 each when missing) from the dialog's section.
  Position RestorePosition(const platform::SettingsStore& store, const std::string& caption) {
    if (section_.empty()) section_ = caption;
    return {store.ReadSettingInt(section_, "Left", 0), store.ReadSettingInt(section_, "Top", 0)};
  }
  // Writes the corner unless the window is minimised. Returns 0 or the store's error.
  int SavePosition(platform::SettingsStore& store, Position p, bool minimised) {
    if (minimised || section_.empty()) return 0;
    if (int r = store.WriteSettingInt(section_, "Left", p.left)) return r;
    return store.WriteSettingInt(section_, "Top", p.top);
  }
  const std::string& section() const { return section_; }

 private:
  std::string section_;
};

}  // namespace vexa::app
