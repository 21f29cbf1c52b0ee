// vexa-cli lookup: country, zones and bearing of callsigns, one tab-separated line per call.
#include <iostream>

#include "callinfo/country_file_update.h"
#include "callinfo/country_table.h"
#include "cli/cli.h"
#include "platform/files/settings_store.h"

namespace vexa::cli {

int CmdLookup(CliContext& ctx) {
  if (ctx.args.empty()) {
    ctx.err << "usage: vexa-cli lookup CALL...\n";
    return kExitUsage;
  }
  callinfo::CountryTable table;
  if (table.LoadCountryFile(ctx.paths.WorkFile(callinfo::kCountryFileName)) ==
      callinfo::kCountryFileMissing)
    ctx.err << callinfo::kNoCountryFileHint << "\n";

  // Own position: the settings, else the country of the own call.
  platform::SettingsStore store(ctx.paths.settingsFile);
  const double lat = std::atof(store.ReadSettingText("Station", "MyLatitude", "0").c_str());
  const double lon = std::atof(store.ReadSettingText("Station", "MyLongitude", "0").c_str());
  if (lat != 0 || lon != 0) {
    table.SetStationPosition(lat, lon);
  } else {
    callinfo::CountryInfo own;
    if (table.LookupCountry(store.ReadSettingText("Station", "MyCall", ""), &own) >= 0)
      table.SetStationPosition(own.latitude, own.longitude);
  }

  for (const std::string& call : ctx.args) {
    callinfo::CountryInfo info;
    const int n = table.LookupCountry(call, &info);
    ctx.out << call << '\t' << n << '\t' << info.name << '\t' << info.primaryPrefix << '\t'
            << info.continent << '\t' << (n >= 0 ? info.cqZone : -1) << '\t'
            << (n >= 0 ? info.ituZone : -1) << '\t' << info.beamText << '\n';
  }
  return kExitOk;
}

}  // namespace vexa::cli
