#include "app/member_settings.h"

#include "app/settings_table.h"

namespace vexa::app {
namespace {

// Defaults come from the one settings table, so no number is written twice.
int D(const char* section, const char* key) {
  return FindSetting(section, key)->intDefault;
}
std::string T(platform::SettingsStore& s, const char* section, const char* key) {
  return DefaultText(*FindSetting(section, key), s);
}
int Cap(const char* section, const char* key) {
  return FindSetting(section, key)->listCapacity;
}

}  // namespace

#define VX_INT(member, section, key) member(store, section, key, D(section, key))
#define VX_TEXT(member, section, key) member(store, section, key, T(store, section, key))
#define VX_LIST(member, section, key) \
  member(store, section, key, Cap(section, key), T(store, section, key))

MemberSettings::MemberSettings(platform::SettingsStore& store)
    : VX_INT(saveFqOnExit, "Misc", "SaveFqOnExit"),
      VX_INT(modeOnExit, "Misc", "ModeOnExit"),
      VX_INT(fqOnExit, "Misc", "FqOnExit"),
      VX_INT(useBandMap, "Misc", "UseBandMap"),
      VX_INT(bandMapMinutes, "Misc", "BandMapMinutes"),
      VX_INT(beep, "Misc", "Beep"),
      VX_INT(beepFq, "Misc", "BeepFq"),
      VX_INT(beepTime, "Misc", "BeepTime"),
      VX_INT(column1, "Misc", "Column1"),
      VX_INT(column2, "Misc", "Column2"),
      VX_INT(column3, "Misc", "Column3"),
      VX_INT(column4, "Misc", "Column4"),
      VX_INT(column5, "Misc", "Column5"),
      VX_INT(column6, "Misc", "Column6"),
      VX_INT(column7, "Misc", "Column7"),
      VX_INT(column8, "Misc", "Column8"),
      VX_INT(soundHistory, "Misc", "SoundHistory"),
      VX_INT(afc, "Misc", "AFC"),
      VX_INT(net, "Misc", "NET"),
      VX_INT(fqCorrection, "TX1", "FqCorrection"),
      VX_INT(fqCorrCw, "TX1", "FqCorrCW"),
      VX_INT(fqCorrUsb, "TX1", "FqCorrUSB"),
      VX_INT(fqCorrLsb, "TX1", "FqCorrLSB"),
      VX_INT(dtrMode, "TX1", "DtrMode"),
      VX_INT(rtsMode, "TX1", "RtsMode"),
      VX_INT(cwPitch, "CW", "Pitch"),
      VX_INT(cwLsb, "CW", "LSB"),
      VX_INT(cwSpectrumZoom, "CW", "SpectrumZoom"),
      VX_INT(cwSpectrumMode, "CW", "SpectrumMode"),
      VX_INT(skipLeading0, "CW", "SkipLeading0"),
      VX_INT(normalSpeed, "CW", "NormalSpeed"),
      VX_INT(fastSpeed, "CW", "FastSpeed"),
      VX_INT(fastSpeedFlag, "CW", "FastSpeedFlag"),
      VX_INT(short0, "CW", "Short0"),
      VX_INT(short1, "CW", "Short1"),
      VX_INT(short9, "CW", "Short9"),
      VX_INT(useSb, "CW", "UseSB"),
      VX_TEXT(extModule, "CW", "ExtModule"),
      VX_INT(spectrumType, "Spectrum", "Type"),
      VX_INT(useDe, "Station", "UseDE"),
      VX_TEXT(myCall, "Station", "MyCall"),
      VX_INT(qtcNumber, "Contest", "QtcNumber"),
      VX_INT(qtcPosition, "Contest", "QtcPosition"),
      VX_TEXT(defaultMyCall, "AX.25", "DefaultMyCall"),
      VX_TEXT(defaultRemoteCall, "AX.25", "DefaultRemoteCall"),
      VX_LIST(defaultDigis, "AX.25", "DefaultDigis"),
      VX_INT(tryAllSsids, "AX.25", "TryAllSsids"),
      VX_LIST(incomingMyCalls, "AX.25", "IncomingMyCalls"),
      VX_INT(alwaysAcceptIncoming, "AX.25", "AlwaysAcceptIncoming"),
      VX_LIST(myDigis, "AX.25", "MyDigis"),
      VX_INT(enableDigipeating, "AX.25", "EnableDigipeating"),
      VX_INT(modemType, "AX.25", "Modem_type"),
      VX_INT(usePskOn24004800, "AX.25", "UsePskOn24004800"),
      VX_INT(maxFrame, "AX.25", "MaxFrame"),
      VX_INT(pacLen, "AX.25", "PacLen"),
      VX_INT(txDelay, "AX.25", "TxDelay"),
      VX_INT(txTail, "AX.25", "TxTail"),
      VX_INT(persist, "AX.25", "Persist"),
      VX_INT(slotTime, "AX.25", "SlotTime"),
      VX_INT(fullDuplex, "AX.25", "FullDuplex"),
      VX_INT(retryTime, "AX.25", "RetryTime"),
      VX_INT(retryLimit, "AX.25", "RetryLimit"),
      VX_INT(responceDelay, "AX.25", "ResponceDelay"),
      VX_INT(idlePollTime, "AX.25", "IdlePollTime"),
      VX_INT(redundancyTime, "AX.25", "RedundancyTime"),
      VX_TEXT(beaconSrcCall, "AX.25", "BeaconSrcCall"),
      VX_TEXT(beaconDestCall, "AX.25", "BeaconDestCall"),
      VX_LIST(beaconDigis, "AX.25", "BeaconDigis"),
      VX_TEXT(beaconText, "AX.25", "BeaconText"),
      VX_INT(beaconInterval, "AX.25", "BeaconInterval"),
      VX_INT(enableBeacon, "AX.25", "EnableBeacon"),
      VX_INT(monitorMask, "AX.25", "MonitorMask"),
      VX_INT(tncCom, "AX.25", "TncCom"),
      VX_INT(tncSpeed, "AX.25", "TncSpeed"),
      VX_TEXT(kissEnableCommand, "AX.25", "KissEnableCommand"),
      VX_TEXT(kissDisableCommand, "AX.25", "KissDisableCommand"),
      VX_INT(tncDtr, "AX.25", "TncDtr"),
      VX_INT(tncRts, "AX.25", "TncRts"),
      VX_INT(tncData8bits, "AX.25", "TncData8bits"),
      VX_INT(tncStopBits, "AX.25", "TncStopBits"),
      VX_INT(customAfskBaudrate, "AX.25", "CustomAfskBaudrate"),
      VX_INT(customAfskTone1, "AX.25", "CustomAfskTone1"),
      VX_INT(customAfskTone2, "AX.25", "CustomAfskTone2"),
      VX_INT(bestDemodModems, "AX.25", "BestDemodModems") {}

#undef VX_INT
#undef VX_TEXT
#undef VX_LIST

}  // namespace vexa::app
