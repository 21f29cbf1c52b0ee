#pragma once
// The complete table of settings: every section and key the program stores, with its type,
// default and the regime in which it is loaded and saved. This is the one place that names them.
//
// Regimes: Member (a setting object of the main window: read when it is built, written when it
// is deleted), Init (read while the main window initialises, written by Setup or its owner),
// Window (read and written by the dialog or command that owns it).
#include <span>
#include <string>
#include <string_view>

#include "platform/files/settings_store.h"

namespace vexa::app {

enum class SettingType { Int, Text, Callsign, CallList };

enum SettingRegime : unsigned { kMember = 1, kInit = 2, kWindow = 4 };

struct SettingDef {
  std::string section;
  std::string key;
  SettingType type = SettingType::Int;
  int intDefault = 0;
  std::string textDefault;  // for Text, Callsign and CallList
  unsigned regime = kMember;
  int listCapacity = 0;          // CallList: 7 or 10
  bool defaultIsMyCall = false;  // the default is the current value of Station/MyCall
};

// The table, built once, in the order of construction of the member settings.
std::span<const SettingDef> SettingsTable();
// Case-insensitive lookup; null when the key is not in the table.
const SettingDef* FindSetting(std::string_view section, std::string_view key);

// A number setting as stored, or its default from the table (0 for a key the table lacks).
int ReadIntSetting(const platform::SettingsStore& store, std::string_view section,
                   std::string_view key);

// The default text of a setting (resolving the MyCall-dependent defaults from the store).
std::string DefaultText(const SettingDef& def, const platform::SettingsStore& store);
// The current value as text: the stored value, or the default when the key is missing.
std::string CurrentValueText(const SettingDef& def, const platform::SettingsStore& store);

// Names of the 24 programmable keys: "F1".."F12", then "Shift F1".."Shift F12".
std::string FunctionKeyName(int key);
// The built-in macro text of key 0..23 (stored form: "<CR>", "<LF>", "<SP>").
std::string_view BuiltInKeyText(int key);

// The serial device behind port number n when Ports/COMn is not set: /dev/ttyUSB{n-1}.
std::string DefaultPortDevice(int n);

}  // namespace vexa::app
