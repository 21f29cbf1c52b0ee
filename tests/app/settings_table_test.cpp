#include "app/settings_table.h"

#include <gtest/gtest.h>

#include <set>

#include "app/profile_setting.h"
#include "support/test_paths.h"

namespace vexa::app {
namespace {

using platform::SettingsStore;

TEST(SettingsTable, NamesEveryKeyOnceWithTheDocumentedDefaults) {
  std::set<std::string> seen;
  for (const auto& d : SettingsTable()) {
    std::string id = d.section + "/" + d.key;
    for (auto& c : id) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(seen.insert(id).second) << "duplicate " << id;
  }
  struct Int {
    const char* s;
    const char* k;
    int v;
  };
  for (Int e :
       {Int{"Misc", "ModeOnExit", 9}, Int{"Misc", "FqOnExit", 14070000},
        Int{"Misc", "Column8", 3000}, Int{"TX1", "ComPort", 2}, Int{"TX1", "DigiCommand", -1},
        Int{"CW", "NormalSpeed", 20}, Int{"Spectrum", "Type", 2},
        Int{"Spectrum", "StartFqHitones", 1900}, Int{"Station", "CwId", 2},
        Int{"Contest", "SingleBandIdx", -1}, Int{"Keyboard", "Wrap", 80},
        Int{"AX.25", "Persist", 63}, Int{"AX.25", "MonitorMask", 15},
        Int{"AX.25", "TncSpeed", 9600}, Int{"WEBCLUSTER", "Port", 80},
        Int{"Hellscreiber", "Negative", 1}, Int{"TNC", "StopBits", 1}, Int{"Memory0", "Mode", 9},
        Int{"TX1", "TxTimeout", 300}}) {
    const SettingDef* d = FindSetting(e.s, e.k);
    ASSERT_NE(d, nullptr) << e.s << "/" << e.k;
    EXPECT_EQ(d->intDefault, e.v) << e.s << "/" << e.k;
  }
  EXPECT_EQ(FindSetting("ax.25", "kissenablecommand")->textDefault, "KISS ON\\nRESTART\\n");
  EXPECT_EQ(FindSetting("AX.25", "KissDisableCommand")->textDefault, "^C^C^C");
  EXPECT_EQ(FindSetting("WEBCLUSTER", "Page")->textDefault, "/dxs/hfdx25.html?");
  EXPECT_EQ(FindSetting("Keyboard", "Shift F12 Caption")->textDefault, "Shift F12");
  EXPECT_EQ(FindSetting("Ports", "COM3")->textDefault, "/dev/ttyUSB2");
  EXPECT_EQ(FindSetting("Main", "Left")->intDefault, 0);
  EXPECT_EQ(FindSetting("Second RX channel", "Top")->regime, kWindow);
  EXPECT_EQ(FindSetting("Misc", "Language")->regime, kInit);
  EXPECT_EQ(FindSetting("Contest", "Name")->regime, kInit | kWindow);
  EXPECT_EQ(FindSetting("AX.25", "IncomingMyCalls")->listCapacity, 10);
  EXPECT_EQ(FindSetting("Nope", "Nothing"), nullptr);
}

TEST(SettingsTable, FunctionKeysAreNamedAndFilled) {
  EXPECT_EQ(FunctionKeyName(0), "F1");
  EXPECT_EQ(FunctionKeyName(11), "F12");
  EXPECT_EQ(FunctionKeyName(12), "Shift F1");
  EXPECT_EQ(FunctionKeyName(23), "Shift F12");
  // Every built-in key text is in stored form: no raw line breaks, macros well formed.
  for (int k = 0; k < 24; ++k) {
    const std::string_view t = BuiltInKeyText(k);
    EXPECT_EQ(t.find_first_of("\r\n"), std::string_view::npos) << k;
    int depth = 0;
    for (char c : t) {
      depth += c == '<' ? 1 : c == '>' ? -1 : 0;
      ASSERT_GE(depth, 0) << k;
      ASSERT_LE(depth, 1) << k;
    }
    EXPECT_EQ(depth, 0) << k;
    EXPECT_EQ(FindSetting("Keyboard", FunctionKeyName(k))->textDefault, t);
  }
  // A transmitting key that starts a transmission also ends it.
  EXPECT_NE(BuiltInKeyText(0).find("<RX>"), std::string_view::npos);
}

TEST(SettingsTable, AFreshInstallationStartsInPsk31On20mAsNocall) {
  test::TempDir dir;
  SettingsStore store(dir.File("vexa.ini"));
  auto value = [&](const char* s, const char* k) {
    return CurrentValueText(*FindSetting(s, k), store);
  };
  EXPECT_EQ(value("Misc", "ModeOnExit"), "9");
  EXPECT_EQ(value("Misc", "FqOnExit"), "14070000");
  EXPECT_EQ(value("Station", "MyCall"), "NOCALL");
  for (const char* k : {"DefaultMyCall", "DefaultRemoteCall", "BeaconSrcCall"})
    EXPECT_EQ(value("AX.25", k), "NOCALL") << k;
  EXPECT_EQ(value("AX.25", "IncomingMyCalls"), "NOCALL ");
  EXPECT_EQ(value("AX.25", "BeaconDestCall"), "QST");
  // The packet defaults follow a changed MyCall.
  ASSERT_EQ(store.WriteSettingText("Station", "MyCall", "DL1ABC"), 0);
  EXPECT_EQ(value("AX.25", "DefaultMyCall"), "DL1ABC");
}

TEST(ProfileSettings, ReadOnConstructionAndWriteWhenDestroyed) {
  test::TempDir dir;
  SettingsStore store(dir.File("vexa.ini"));
  {
    CProfileInt speed(store, "CW", "NormalSpeed", 20);
    EXPECT_EQ(speed.value, 20);
    EXPECT_FALSE(store.HasSetting("CW", "NormalSpeed"));  // nothing written until it goes
    speed = 14;
  }
  EXPECT_EQ(store.ReadSettingInt("CW", "NormalSpeed", 0), 14);
  CProfileInt again(store, "CW", "NormalSpeed", 20);
  EXPECT_EQ(again.value, 14);
  {
    CProfileString call(store, "Station", "MyCall", "NOCALL");
    EXPECT_EQ(call.value, "NOCALL");
    call.value = "W1AW";
    ASSERT_EQ(call.Save(), 0);
  }
  EXPECT_EQ(store.ReadSettingText("Station", "MyCall", ""), "W1AW");
}

TEST(ProfileSettings, MembersAreWrittenInReverseOrderOfConstruction) {
  // Two objects on one key: the one built first is destroyed last, so its value stays.
  test::TempDir dir;
  SettingsStore store(dir.File("vexa.ini"));
  {
    CProfileString first(store, "AX.25", "KissEnableCommand", "a");
    CProfileString second(store, "AX.25", "KissEnableCommand", "b");
    first.value = "first";
    second.value = "second";
  }
  EXPECT_EQ(store.ReadSettingText("AX.25", "KissEnableCommand", ""), "first");
}

TEST(ProfileSettings, CallListsRoundTripAndStopAtABadToken) {
  test::TempDir dir;
  SettingsStore store(dir.File("vexa.ini"));
  {
    CProfileCallList digis(store, "AX.25", "DefaultDigis", 7, "");
    EXPECT_EQ(digis.value.count(), 0);
    auto a = packet::ParseCallsign("DB0AAA-3");
    auto b = packet::ParseCallsign("DB0BBB");
    ASSERT_TRUE(digis.value.Add(*a));
    ASSERT_TRUE(digis.value.Add(*b));
  }
  // Stored with a space after each call (a read trims the trailing blank, as for every text).
  EXPECT_NE(test::ReadFileBytes(store.path()).find("DefaultDigis=DB0AAA-3 DB0BBB \n"),
            std::string::npos);
  CProfileCallList back(store, "AX.25", "DefaultDigis", 7, "");
  ASSERT_EQ(back.value.count(), 2);
  EXPECT_EQ(back.value[0].ssid, 3);
  EXPECT_EQ(back.value[1].ssid, 0);

  ASSERT_EQ(store.WriteSettingText("AX.25", "MyDigis", "DB0AAA DB0TOOLONG DB0CCC "), 0);
  CProfileCallList partial(store, "AX.25", "MyDigis", 7, "");
  ASSERT_EQ(partial.value.count(), 1);
  EXPECT_EQ(partial.value[0].Call(), "DB0AAA");
}

}  // namespace
}  // namespace vexa::app
