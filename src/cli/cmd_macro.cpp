// vexa-cli macro: expands a key text as a key press would and shows what it would send and do,
// so key texts can be checked without a transmitter.
#include <cstdio>
#include <ctime>
#include <iostream>
#include <map>

#include "app/console_section.h"
#include "app/settings_table.h"
#include "cli/cli.h"
#include "console/console.h"
#include "platform/files/settings_store.h"

namespace vexa::cli {
namespace {

constexpr const char* kUsage =
    "usage: vexa-cli macro [--at YYYY-MM-DDTHH:MM:SSZ] [--mode M] [--field NAME=VALUE]... "
    "[--line] TEXT\n"
    "  fields: call name qth rst myrst nr mynr prevnr myprevnr imd band mode fq\n";

const std::map<std::string, console::QsoField>& FieldNames() {
  static const std::map<std::string, console::QsoField> kNames = {
      {"call", console::QsoField::kCall},         {"name", console::QsoField::kName},
      {"qth", console::QsoField::kQth},           {"rst", console::QsoField::kRst},
      {"myrst", console::QsoField::kMyRst},       {"nr", console::QsoField::kNr},
      {"mynr", console::QsoField::kMyNr},         {"prevnr", console::QsoField::kPrevNr},
      {"myprevnr", console::QsoField::kMyPrevNr}, {"imd", console::QsoField::kImd},
      {"band", console::QsoField::kBand},         {"mode", console::QsoField::kMode},
      {"fq", console::QsoField::kFrequency}};
  return kNames;
}

const char* ActionName(console::MacroAction a) {
  switch (a) {
    case console::MacroAction::kNet:
      return "NET";
    case console::MacroAction::kNetRx:
      return "NETRX";
    case console::MacroAction::kSave:
      return "SAVE";
    case console::MacroAction::kClear:
      return "CLEAR";
    case console::MacroAction::kSendWaeQtc:
      return "SENDWAEQTC";
    case console::MacroAction::kTimeStamp:
      return "TIMESTAMP";
    case console::MacroAction::kLookup:
      return "LOOKUP";
    case console::MacroAction::kGetCall:
      return "GETCALL";
    case console::MacroAction::kAutoCqOn:
      return "ACQ";
  }
  return "?";
}

// "2026-12-07T14:05:09Z" as seconds since the epoch; false for anything else.
bool ParseUtc(const std::string& text, int64_t& seconds) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char z = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &z) != 7 ||
      z != 'Z' || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
    return false;
  std::tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = s;
  seconds = static_cast<int64_t>(timegm(&t));
  return true;
}

// The station as the settings describe it, with the QSO fields of the command line.
class CliConsoleHost final : public console::ConsoleHost {
 public:
  void InsertTransmitText(std::string_view text) override { window += text; }
  bool TransmitRunning() const override { return transmitting; }
  void ToggleTransmit() override {
    transmitting = !transmitting;
    actions.emplace_back("TX");
  }
  void PlayVoiceMessage(int key) override { actions.push_back("VOICE " + std::to_string(key)); }
  Mode CurrentMode() const override { return mode; }
  console::StationData Station() const override { return station; }
  console::CutNumbers CutNumberSwitches() const override { return cut; }
  std::string VersionText() const override { return "Vexa"; }
  int64_t NowUtcSeconds() const override { return now; }
  std::string WorkingFolder() const override { return folder; }
  std::string Field(console::QsoField f) override {
    auto it = fields.find(f);
    return it != fields.end() ? it->second : std::string();
  }
  void Perform(console::MacroAction a) override { actions.emplace_back(ActionName(a)); }

  std::string window;
  std::vector<std::string> actions;
  bool transmitting = false;
  Mode mode = Mode::Psk31;
  console::StationData station;
  console::CutNumbers cut;
  int64_t now = 0;
  std::string folder;
  std::map<console::QsoField, std::string> fields;
};

// Control bytes and other unprintable bytes as <0xNN>; line ends as line breaks.
std::string Visible(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c == '\r') {
      if (i + 1 < s.size() && s[i + 1] == '\n') continue;
      out += '\n';
    } else if (c == '\n' || c == '\t' || (c >= 0x20 && c < 0x7F)) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "<0x%02X>", c);
      out += buf;
    }
  }
  return out;
}

}  // namespace

int CmdMacro(CliContext& ctx) {
  const platform::SettingsStore store(ctx.paths.settingsFile);
  CliConsoleHost host;
  host.folder = ctx.paths.workDir;
  host.now = static_cast<int64_t>(std::time(nullptr));
  host.station.myCall = store.ReadSettingText("Station", "MyCall", "NOCALL");
  host.station.myName = store.ReadSettingText("Station", "MyName", "");
  host.station.myQth = store.ReadSettingText("Station", "MyQth", "");
  auto flag = [&](const char* key) { return app::ReadIntSetting(store, "CW", key) != 0; };
  host.cut = {flag("Short0"), flag("Short1"), flag("Short9"), flag("SkipLeading0")};
  if (auto m = ModeFromNumber(app::ReadIntSetting(store, "Misc", "ModeOnExit"))) host.mode = *m;
  const int64_t hz = app::ReadIntSetting(store, "Misc", "FqOnExit");

  bool line = false;
  std::string text;
  bool haveText = false;
  const auto& a = ctx.args;
  for (size_t i = 0; i < a.size(); ++i) {
    const bool hasValue = i + 1 < a.size();
    if (a[i] == "--line") {
      line = true;
    } else if (a[i] == "--at" && hasValue) {
      if (!ParseUtc(a[++i], host.now)) {
        ctx.err << "vexa-cli macro: --at wants a time like 2026-12-07T14:05:09Z\n";
        return kExitUsage;
      }
    } else if (a[i] == "--mode" && hasValue) {
      const std::optional<Mode> m = ParseMode(a[++i]);
      if (!m) {
        ctx.err << "vexa-cli macro: unknown mode '" << a[i] << "'\n";
        return kExitUsage;
      }
      host.mode = *m;
    } else if (a[i] == "--field" && hasValue) {
      const std::string& f = a[++i];
      const size_t eq = f.find('=');
      auto it = eq == std::string::npos ? FieldNames().end() : FieldNames().find(f.substr(0, eq));
      if (it == FieldNames().end()) {
        ctx.err << "vexa-cli macro: unknown field '" << f << "'\n" << kUsage;
        return kExitUsage;
      }
      host.fields[it->second] = f.substr(eq + 1);
    } else if (a[i] == "-h" || a[i] == "--help") {
      ctx.out << kUsage;
      return kExitOk;
    } else {
      if (haveText) text += ' ';
      text += a[i];
      haveText = true;
    }
  }
  if (!haveText) {
    ctx.err << kUsage;
    return kExitUsage;
  }
  host.fields.try_emplace(console::QsoField::kMode, ModeName(host.mode));
  host.fields.try_emplace(console::QsoField::kFrequency, app::FrequencyText(hz));
  host.fields.try_emplace(console::QsoField::kBand, app::BandText(hz));

  console::Console console(host);
  console.keys() = app::ReadKeyTable(store);
  if (line) {
    console.SendTextLine(text);
  } else {
    console.PlayText(text, -1);
  }
  ctx.out << Visible(host.window) << "\n";
  for (const std::string& action : host.actions) ctx.out << "action: " << action << "\n";
  return kExitOk;
}

}  // namespace vexa::cli
