#pragma once
// The main settings sheet ("Setup"): its pages and fields as data, the values the operator
// edits, and their checks. The window builds its pages from the field table; the core reads the
// values in effect into a SetupValues and applies an edited one (MainCore::ApplySetup).
//
// A field either edits a member setting of the main window (kept in the member until the window
// goes) or a setting loaded at initialisation (written to the file when the sheet is closed
// with OK). Which one it is comes from the settings table.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/member_settings.h"
#include "platform/files/settings_store.h"

namespace vexa::app {

enum class SetupPage { Personal, Transceiver, Cw, Spectrum, Misc, Language };
inline constexpr int kSetupPageCount = 6;
// The tab titles, in page order.
std::string_view SetupPageTitle(SetupPage page);

enum class SetupKind {
  Text,    // free text on one line
  Int,     // a whole number within [minValue, maxValue]
  Check,   // 0 or 1
  Choice,  // one of the listed values
  Degrees  // decimal degrees within [minValue, maxValue], stored "%f"
};

struct SetupChoice {
  int value;
  const char* label;
};

struct SetupField {
  SetupPage page;
  const char* label;
  const char* section;
  const char* key;
  SetupKind kind;
  int minValue = 0;
  int maxValue = 0;
  std::span<const SetupChoice> choices = {};
};

// Every field of the sheet, page by page in the order they are shown.
std::span<const SetupField> SetupFields();
// The index of a field in SetupFields(), or -1.
int FindSetupField(std::string_view section, std::string_view key);

// The member setting a field edits, or null when the field holds a setting loaded at
// initialisation.
CProfileSetting* SetupMember(MemberSettings& members, const SetupField& field);

// One text per field of SetupFields(), in the same order.
class SetupValues {
 public:
  SetupValues() : texts_(SetupFields().size()) {}
  const std::string& Get(std::string_view section, std::string_view key) const;
  int GetInt(std::string_view section, std::string_view key) const;
  // False when the sheet has no such field.
  bool Set(std::string_view section, std::string_view key, std::string text);
  std::string& at(size_t field) { return texts_[field]; }
  const std::string& at(size_t field) const { return texts_[field]; }
  size_t size() const { return texts_.size(); }

 private:
  std::vector<std::string> texts_;
};

// The values now in effect: members from the members, the rest from the file (or defaults).
SetupValues ReadSetupValues(MemberSettings& members, const platform::SettingsStore& store);

// Checks one value against its field; returns "" or the reason it is refused.
std::string CheckSetupValue(const SetupField& field, std::string_view text);
// The value in the form it is stored (numbers without blanks, degrees "%f").
std::string NormalisedSetupValue(const SetupField& field, std::string_view text);

// What applying the sheet did.
struct SetupOutcome {
  bool applied = false;   // false: a value was refused and nothing was changed
  std::string error;      // the refused field and why
  bool reload = false;    // the layout or the language changed: the window is rebuilt
  int writeFailures = 0;  // settings the file did not take (reported, not fatal)
};

}  // namespace vexa::app
