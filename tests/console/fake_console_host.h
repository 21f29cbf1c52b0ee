#pragma once
// A console host over plain values: collects the transmit window text and the actions.
#include <map>
#include <string>
#include <vector>

#include "console/console_host.h"

namespace vexa::console::testing {

class FakeConsoleHost : public ConsoleHost {
 public:
  void InsertTransmitText(std::string_view text) override {
    window += text;
    inserts.emplace_back(text);
  }
  bool TransmitRunning() const override { return running; }
  bool CwThroughTnc() const override { return throughTnc; }
  void ToggleTransmit() override {
    ++toggles;
    events.push_back("TX after \"" + window + "\"");
  }
  void PlayVoiceMessage(int key) override { voice.push_back(key); }
  Mode CurrentMode() const override { return mode; }
  StationData Station() const override { return station; }
  CutNumbers CutNumberSwitches() const override { return cut; }
  std::string VersionText() const override { return "Vexa 1.0"; }
  int64_t NowUtcSeconds() const override {
    ++timeReads;
    return now;
  }
  std::string WorkingFolder() const override { return folder; }
  std::string Field(QsoField f) override { return fields[f]; }
  void Perform(MacroAction a) override { actions.push_back(a); }

  std::string window;
  std::vector<std::string> inserts;
  std::vector<std::string> events;
  std::vector<int> voice;
  std::vector<MacroAction> actions;
  std::map<QsoField, std::string> fields;
  bool running = false;
  bool throughTnc = false;
  int toggles = 0;
  Mode mode = Mode::Psk31;
  StationData station{"DL1ABC", "Hans", "Berlin"};
  CutNumbers cut;
  int64_t now = 1796652309;  // 2026-12-07 14:05:09 UTC, a Monday
  mutable int timeReads = 0;
  std::string folder;
};

}  // namespace vexa::console::testing
