#pragma once
// The settings that live as members of the main window: read when the window object is built,
// written back (in reverse order of construction) when it is deleted. Dialogs change the values
// only; nothing reaches the file before the window goes. Declaration order is construction
// order, and follows the settings table.
#include <array>
#include <vector>

#include "app/profile_setting.h"

namespace vexa::app {

struct MemberSettings {
  explicit MemberSettings(platform::SettingsStore& store);

  // Misc
  CProfileInt saveFqOnExit, modeOnExit, fqOnExit, useBandMap, bandMapMinutes, beep, beepFq,
      beepTime;
  CProfileInt column1, column2, column3, column4, column5, column6, column7, column8;
  CProfileInt soundHistory, afc, net;
  // TX1
  CProfileInt fqCorrection, fqCorrCw, fqCorrUsb, fqCorrLsb, dtrMode, rtsMode;
  // CW
  CProfileInt cwPitch, cwLsb, cwSpectrumZoom, cwSpectrumMode, skipLeading0, normalSpeed, fastSpeed,
      fastSpeedFlag, short0, short1, short9, useSb;
  CProfileString extModule;
  // Spectrum
  CProfileInt spectrumType;
  // Station
  CProfileInt useDe;
  CProfileString myCall;
  // Contest
  CProfileInt qtcNumber, qtcPosition;
  // AX.25
  CProfileString defaultMyCall, defaultRemoteCall;
  CProfileCallList defaultDigis;
  CProfileInt tryAllSsids;
  CProfileCallList incomingMyCalls;
  CProfileInt alwaysAcceptIncoming;
  CProfileCallList myDigis;
  CProfileInt enableDigipeating, modemType, usePskOn24004800, maxFrame, pacLen, txDelay, txTail,
      persist, slotTime, fullDuplex, retryTime, retryLimit, responceDelay, idlePollTime,
      redundancyTime;
  CProfileString beaconSrcCall, beaconDestCall;
  CProfileCallList beaconDigis;
  CProfileString beaconText;
  CProfileInt beaconInterval, enableBeacon, monitorMask, tncCom, tncSpeed;
  CProfileString kissEnableCommand, kissDisableCommand, tncHost;
  CProfileInt tncDtr, tncRts, tncData8bits, tncStopBits, customAfskBaudrate, customAfskTone1,
      customAfskTone2;
  CProfileInt bestDemodModems;  // bit n: modem n listens with the correlator demodulator

  // Every member, in the order of construction.
  std::vector<CProfileSetting*> All();

  // The eight log-grid column widths in order.
  std::array<CProfileInt*, 8> Columns() {
    return {&column1, &column2, &column3, &column4, &column5, &column6, &column7, &column8};
  }
};

}  // namespace vexa::app
