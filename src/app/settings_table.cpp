#include "app/settings_table.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace vexa::app {
namespace {

// Built-in key texts, chosen for a new operator: a CQ, an answer, a first over, a turn-over,
// the 73, a QRZ, log helpers, and contest keys on the shifted row.
constexpr std::array<std::string_view, 24> kKeyTexts = {
    // F1 .. F12
    "<TX><CR><LF>CQ CQ CQ de <MYCALL> <MYCALL> <MYCALL><CR><LF>CQ CQ CQ de <MYCALL> <MYCALL> "
    "<MYCALL> pse k<CR><LF><RX>",
    "<TX><CR><LF><CALL> <CALL> de <MYCALL> <MYCALL> <MYCALL> pse k<CR><LF><RX>",
    "<TX><CR><LF><CALL> de <MYCALL><CR><LF>Thank you for the call. Your RST is <RST> <RST>.<CR><LF>"
    "My name is <MYNAME> <MYNAME> and my QTH is <MYQTH> <MYQTH>.<CR><LF>How copy? <CALL> de "
    "<MYCALL> k<CR><LF><RX>",
    "<TX><CR><LF><CALL> de <MYCALL><CR><LF>", "<CR><LF><CALL> de <MYCALL> k<CR><LF><RX>",
    "<TX><CR><LF>Thank you for the QSO, <NAME>. 73 and good DX!<CR><LF><CALL> de <MYCALL> "
    "<SK><CR><LF><RX>",
    "<TX><CR><LF>QRZ? de <MYCALL> k<CR><LF><RX>", "<UTC> UTC <DATE>", "<SAVE>", "<CLEAR>",
    "<GETCALL>", "IMD <IMD><SP>",
    // Shift F1 .. Shift F12
    "<TX><CR><LF>CQ TEST <MYCALL> <MYCALL> TEST<CR><LF><RX>",
    "<TX><CR><LF><CALL> <RST> <NR> <NR> <CALL><CR><LF><RX>",
    "<TX><CR><LF>TU <MYCALL> TEST<CR><LF><RX><SAVE><CLEAR>", "<TX><CR><LF>AGN? AGN?<CR><LF><RX>",
    "<TX><CR><LF>NR? NR?<CR><LF><RX>", "<TX><CR><LF>CALL? CALL?<CR><LF><RX>", "", "", "", "", "",
    ""};

std::vector<SettingDef> Build() {
  std::vector<SettingDef> t;
  auto I = [&](const char* s, const char* k, int d, unsigned r) {
    t.push_back({s, k, SettingType::Int, d, "", r, 0, false});
  };
  auto T = [&](const char* s, const char* k, std::string d, unsigned r) {
    t.push_back({s, k, SettingType::Text, 0, std::move(d), r, 0, false});
  };
  auto C = [&](const char* s, const char* k, std::string d, bool myCall, unsigned r) {
    t.push_back({s, k, SettingType::Callsign, 0, std::move(d), r, 0, myCall});
  };
  auto L = [&](const char* s, const char* k, int cap, bool myCall, unsigned r) {
    t.push_back({s, k, SettingType::CallList, 0, "", r, cap, myCall});
  };
  const unsigned M = kMember, In = kInit, W = kWindow;

  // Misc
  I("Misc", "SaveFqOnExit", 1, M);
  I("Misc", "ModeOnExit", 9, M);
  I("Misc", "FqOnExit", 14070000, M);
  I("Misc", "UseBandMap", 1, M);
  I("Misc", "BandMapMinutes", 60, M);
  I("Misc", "Beep", 1, M);
  I("Misc", "BeepFq", 1500, M);
  I("Misc", "BeepTime", 100, M);
  const int columns[8] = {1200, 1400, 1000, 1300, 600, 700, 700, 3000};
  static const char* kColumnKeys[8] = {"Column1", "Column2", "Column3", "Column4",
                                       "Column5", "Column6", "Column7", "Column8"};
  for (int i = 0; i < 8; ++i) I("Misc", kColumnKeys[i], columns[i], M);
  I("Misc", "SoundHistory", 0, M);
  I("Misc", "AFC", 0, M);
  I("Misc", "NET", 0, M);
  I("Misc", "RttyDemod", 0, In);  // RTTY, MTTY, PSK31, CW: 0 classic demodulators, 1 stronger
  I("Misc", "Language", 0, In);
  T("Misc", "QrzCd", "", In);
  T("Misc", "InputDevice", "", In);   // sound card for receiving, by name ("" = by argument)
  T("Misc", "OutputDevice", "", In);  // sound card for transmitting, by name

  // TX1: transmitter port and transceiver
  I("TX1", "FqCorrection", 0, M);
  I("TX1", "FqCorrCW", 0, M);
  I("TX1", "FqCorrUSB", 0, M);
  I("TX1", "FqCorrLSB", 0, M);
  I("TX1", "DtrMode", 0, M);
  I("TX1", "RtsMode", 0, M);
  I("TX1", "ComPort", 2, In);
  I("TX1", "ComSpeed", 1200, In);
  I("TX1", "Type", 0, In);
  I("TX1", "DigiSide", 0, In);
  I("TX1", "IcomAddr", 0, In);
  I("TX1", "Yaesu", 0, In);
  I("TX1", "Kenwood", 0, In);
  I("TX1", "TenTec", 0, In);
  I("TX1", "Other", 0, In);
  I("TX1", "DigiCommand", -1, In);
  T("TX1", "NetRigHost", "127.0.0.1", In);  // Type 6: the rig server on the network
  I("TX1", "NetRigPort", 4532, In);
  I("TX1", "TxTimeout", 300, In);  // transmit watchdog, seconds; 0 = off

  // CW
  I("CW", "Pitch", 800, M);
  I("CW", "LSB", 1, M);
  I("CW", "SpectrumZoom", 1, M);
  I("CW", "SpectrumMode", 2, M);
  I("CW", "SkipLeading0", 0, M);
  I("CW", "NormalSpeed", 20, M);
  I("CW", "FastSpeed", 10, M);
  I("CW", "FastSpeedFlag", 0, M);
  I("CW", "Short0", 0, M);
  I("CW", "Short1", 0, M);
  I("CW", "Short9", 0, M);
  I("CW", "UseSB", 1, M);
  T("CW", "ExtModule", "", M);

  // Spectrum
  I("Spectrum", "Type", 2, M);
  I("Spectrum", "SoundFq", 1000, In);
  I("Spectrum", "StartFq", 800, In);
  I("Spectrum", "SoundFqHitones", 2100, In);
  I("Spectrum", "StartFqHitones", 1900, In);
  I("Spectrum", "UseHitones", 0, In);
  I("Spectrum", "Zoom", 1, In);
  I("Spectrum", "AverageInverted", 0, In);
  I("Spectrum", "ShowAverage", 0, In);
  I("Spectrum", "AverageThickLine", 0, In);

  // Station
  I("Station", "UseDE", 0, M);
  T("Station", "MyCall", "NOCALL", M);
  T("Station", "MyName", "OP", In);
  T("Station", "MyQth", "HOME", In);
  T("Station", "MyLatitude", "0.000000", In);
  T("Station", "MyLongitude", "0.000000", In);
  I("Station", "CwId", 2, In);

  // Contest
  I("Contest", "QtcNumber", 1, M);
  I("Contest", "QtcPosition", 1, M);
  T("Contest", "Name", "", In | W);
  I("Contest", "SingleBandIdx", -1, In | W);
  I("Contest", "Class", 0, W);

  // Keyboard
  I("Keyboard", "LargeScreen", 0, In);
  for (int k = 0; k < 24; ++k) {
    t.push_back({"Keyboard", FunctionKeyName(k), SettingType::Text, 0,
                 std::string(kKeyTexts[static_cast<size_t>(k)]), In | W, 0, false});
  }
  for (int k = 0; k < 24; ++k) {
    t.push_back({"Keyboard", FunctionKeyName(k) + " Caption", SettingType::Text, 0,
                 FunctionKeyName(k), In | W, 0, false});
  }
  T("Keyboard", "Ins", "<TX><CR><LF><CALL> de <MYCALL> <MYCALL> k<CR><LF><RX>", In | W);
  T("Keyboard", "GrayPlus", "<TX><CR><LF><CALL> <RST> <NR><CR><LF><RX>", In | W);
  T("Keyboard", "AutoCq", "<CR><LF>CQ CQ CQ de <MYCALL> <MYCALL> <MYCALL> pse k<CR><LF><RX>",
    In | W);
  I("Keyboard", "AutoCqDelay", 10, In | W);
  I("Keyboard", "Wrap", 80, In);
  I("Keyboard", "Simple", 0, In);

  // Font of the text windows
  T("Font", "FaceName", "", In);
  for (const char* k :
       {"Height", "Width", "Escapement", "Orientation", "Weight", "Italic", "Underline",
        "StrikeOut", "CharSet", "OutPrecision", "ClipPrecision", "Quality", "PitchAndFamily"})
    I("Font", k, 0, In);

  // AX.25
  C("AX.25", "DefaultMyCall", "", true, M);
  C("AX.25", "DefaultRemoteCall", "", true, M);
  L("AX.25", "DefaultDigis", 7, false, M);
  I("AX.25", "TryAllSsids", 1, M);
  L("AX.25", "IncomingMyCalls", 10, true, M);
  I("AX.25", "AlwaysAcceptIncoming", 1, M);
  L("AX.25", "MyDigis", 7, false, M);
  I("AX.25", "EnableDigipeating", 1, M);
  I("AX.25", "Modem_type", 0, M);
  I("AX.25", "UsePskOn24004800", 1, M);
  I("AX.25", "MaxFrame", 3, M);
  I("AX.25", "PacLen", 100, M);
  I("AX.25", "TxDelay", 30, M);
  I("AX.25", "TxTail", 0, M);
  I("AX.25", "Persist", 63, M);
  I("AX.25", "SlotTime", 1, M);
  I("AX.25", "FullDuplex", 0, M);
  I("AX.25", "RetryTime", 10, M);
  I("AX.25", "RetryLimit", 15, M);
  I("AX.25", "ResponceDelay", 0, M);
  I("AX.25", "IdlePollTime", 60, M);
  I("AX.25", "RedundancyTime", 300, M);
  C("AX.25", "BeaconSrcCall", "", true, M);
  C("AX.25", "BeaconDestCall", "QST", false, M);
  L("AX.25", "BeaconDigis", 7, false, M);
  T("AX.25", "BeaconText", "beacon", M);
  I("AX.25", "BeaconInterval", 60, M);
  I("AX.25", "EnableBeacon", 0, M);
  I("AX.25", "MonitorMask", 15, M);
  I("AX.25", "TncCom", 0, M);
  I("AX.25", "TncSpeed", 9600, M);
  T("AX.25", "KissEnableCommand", "KISS ON\\nRESTART\\n", M);
  T("AX.25", "KissDisableCommand", "^C^C^C", M);  // takes the TNC out of KISS mode
  T("AX.25", "TncHost", "", M);  // HOST:PORT of a KISS TNC on the network instead of the port
  I("AX.25", "TncDtr", 0, M);
  I("AX.25", "TncRts", 0, M);
  I("AX.25", "TncData8bits", 1, M);
  I("AX.25", "TncStopBits", 0, M);
  I("AX.25", "CustomAfskBaudrate", 2400, M);
  I("AX.25", "CustomAfskTone1", 2000, M);
  I("AX.25", "CustomAfskTone2", 3600, M);
  // Bit n set: sound-card modem n listens with the correlator demodulator instead of its
  // classic one.
  I("AX.25", "BestDemodModems", 0, M);

  // Web DX cluster
  T("WEBCLUSTER", "Server", "www.dxsummit.fi", W);
  T("WEBCLUSTER", "Page", "/dxs/hfdx25.html?", W);
  T("WEBCLUSTER", "SpotPage", "/cgi-bin/spotin2.sh", W);
  I("WEBCLUSTER", "Port", 80, W);
  I("WEBCLUSTER", "LoadOnStart", 0, W);

  // Telnet DX cluster: Call empty logs in with Station/MyCall; AutoConnect 1 connects at start.
  T("DXCLUSTER", "Host", "", W);
  I("DXCLUSTER", "Port", 7300, W);
  T("DXCLUSTER", "Call", "", W);
  I("DXCLUSTER", "AutoConnect", 0, W);

  // Hellschreiber window
  I("Hellscreiber", "Scroll", 0, W);
  I("Hellscreiber", "Negative", 1, W);

  // TNC terminal window
  I("TNC", "Com", 2, W);
  I("TNC", "Speed", 9600, W);
  I("TNC", "Bits", 8, W);
  I("TNC", "StopBits", 1, W);
  I("TNC", "UseDtr", 1, W);
  I("TNC", "UseRts", 1, W);

  // Serial devices behind the port numbers
  static const char* kComKeys[9] = {"COM1", "COM2", "COM3", "COM4", "COM5",
                                    "COM6", "COM7", "COM8", "COM9"};
  for (int n = 1; n <= 9; ++n) T("Ports", kComKeys[n - 1], DefaultPortDevice(n), In);

  // Frequency memories: Memory1..Memory9, then Memory0 for the tenth
  for (int m = 0; m < 10; ++m) {
    std::string s = "Memory" + std::to_string((m + 1) % 10);
    for (const char* k : {"HfFqRx", "HfFqTx", "SoundFq", "SoundFqTx", "SecondFq"})
      t.push_back({s, k, SettingType::Int, 0, "", In | W, 0, false});
    t.push_back({s, "Mode", SettingType::Int, 9, "", In | W, 0, false});
    for (const char* k : {"Param1", "Param2", "Param3", "Flags"})
      t.push_back({s, k, SettingType::Int, 0, "", In | W, 0, false});
    t.push_back({s, "Text", SettingType::Text, 0, "", In | W, 0, false});
  }

  // Window positions
  for (const char* s :
       {"Main", "Auto CQ", "About", "Contest", "CwDialog", "HellDlg", "Input Multiline", "Partner",
        "Test PTT/CW", "Texts", "DXC", "Input Box", "TNC", "Second RX channel", "Browser"}) {
    t.push_back({s, "Left", SettingType::Int, 0, "", W, 0, false});
    t.push_back({s, "Top", SettingType::Int, 0, "", W, 0, false});
  }
  return t;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::span<const SettingDef> SettingsTable() {
  static const std::vector<SettingDef> table = Build();
  return table;
}

const SettingDef* FindSetting(std::string_view section, std::string_view key) {
  for (const auto& d : SettingsTable())
    if (EqualNoCase(d.section, section) && EqualNoCase(d.key, key)) return &d;
  return nullptr;
}

std::string DefaultText(const SettingDef& def, const platform::SettingsStore& store) {
  if (def.type == SettingType::Int) return std::to_string(def.intDefault);
  if (!def.defaultIsMyCall) return def.textDefault;
  std::string myCall = store.ReadSettingText("Station", "MyCall", "NOCALL");
  if (def.type == SettingType::CallList) myCall += ' ';
  return myCall;
}

std::string CurrentValueText(const SettingDef& def, const platform::SettingsStore& store) {
  if (def.type == SettingType::Int)
    return std::to_string(store.ReadSettingInt(def.section, def.key, def.intDefault));
  return store.ReadSettingText(def.section, def.key, DefaultText(def, store));
}

std::string FunctionKeyName(int key) {
  std::string name = key < 12 ? "F" : "Shift F";
  name += std::to_string(key < 12 ? key + 1 : key - 11);
  return name;
}

std::string_view BuiltInKeyText(int key) {
  if (key < 0 || key >= 24) return {};
  return kKeyTexts[static_cast<size_t>(key)];
}

int ReadIntSetting(const platform::SettingsStore& store, std::string_view section,
                   std::string_view key) {
  const SettingDef* def = FindSetting(section, key);
  return store.ReadSettingInt(section, key, def != nullptr ? def->intDefault : 0);
}

std::string DefaultPortDevice(int n) {
  std::string device = "/dev/ttyUSB";
  device += std::to_string(n - 1);
  return device;
}

}  // namespace vexa::app
