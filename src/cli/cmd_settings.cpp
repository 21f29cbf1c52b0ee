// vexa-cli settings: show and change the settings file.
#include <iostream>

#include "app/settings_table.h"
#include "cli/cli.h"
#include "platform/files/settings_store.h"

namespace vexa::cli {

int CmdSettings(CliContext& ctx) {
  const auto& a = ctx.args;
  platform::SettingsStore store(ctx.paths.settingsFile);
  if (a.empty()) {
    ctx.err << "usage: vexa-cli settings dump | get SECTION KEY | set SECTION KEY VALUE\n";
    return kExitUsage;
  }
  if (a[0] == "dump" && a.size() == 1) {
    ctx.out << "; " << store.path() << "\n";
    std::string section;
    for (const auto& d : app::SettingsTable()) {
      if (d.section != section) {
        if (!section.empty()) ctx.out << "\n";
        section = d.section;
        ctx.out << "[" << section << "]\n";
      }
      ctx.out << d.key << "=" << app::CurrentValueText(d, store) << "\n";
    }
    return kExitOk;
  }
  if (a[0] == "get" && a.size() == 3) {
    const app::SettingDef* d = app::FindSetting(a[1], a[2]);
    if (d != nullptr) {
      ctx.out << app::CurrentValueText(*d, store) << "\n";
    } else if (store.HasSetting(a[1], a[2])) {
      ctx.out << store.ReadSettingText(a[1], a[2], "") << "\n";
    } else {
      ctx.err << "vexa-cli: no setting [" << a[1] << "] " << a[2] << "\n";
      return kExitFailure;
    }
    return kExitOk;
  }
  if (a[0] == "set" && a.size() == 4) {
    const app::SettingDef* d = app::FindSetting(a[1], a[2]);
    if (d == nullptr) {
      ctx.err << "vexa-cli: unknown setting [" << a[1] << "] " << a[2] << "\n";
      return kExitUsage;
    }
    int r = 0;
    if (d->type == app::SettingType::Int) {
      const std::string& v = a[3];
      size_t i = (!v.empty() && (v[0] == '-' || v[0] == '+')) ? 1 : 0;
      bool digits = i < v.size();
      for (; i < v.size(); ++i) digits = digits && v[i] >= '0' && v[i] <= '9';
      if (!digits) {
        ctx.err << "vexa-cli: [" << d->section << "] " << d->key << " takes a whole number\n";
        return kExitUsage;
      }
      r = store.WriteSettingInt(d->section, d->key, platform::SettingsStore::ParseProfileInt(v));
    } else {
      r = store.WriteSettingText(d->section, d->key, a[3]);
    }
    if (r != 0) {
      ctx.err << "vexa-cli: " << store.lastError() << "\n";
      return kExitFailure;
    }
    return kExitOk;
  }
  ctx.err << "usage: vexa-cli settings dump | get SECTION KEY | set SECTION KEY VALUE\n";
  return kExitUsage;
}

}  // namespace vexa::cli
