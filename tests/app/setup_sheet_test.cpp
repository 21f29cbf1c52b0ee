// The main settings sheet through the core: which values it shows, what closing it with OK
// writes and when, the refusal of bad values, and what the sections do with the new values
// (the transceiver port opened again and asked, the Yaesu wake-up, the own position, the
// rebuild on a layout change).
#include "app/setup_sheet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "app/main_core.h"
#include "app/settings_table.h"
#include "support/scripted_rig.h"
#include "support/test_paths.h"
#include "support/test_station.h"

namespace vexa::app {
namespace {

struct Station : test::TestStation {
  bool Stored(const char* section, const char* key) {
    return store.ReadSettingText(section, key, "<missing>") != "<missing>";
  }
  // Serves the port until the rig has done `steps` steps.
  void ServeUntil(const test::ScriptedRig& rig, size_t steps) {
    (void)Serve([&] { return rig.stepsDone() >= steps; });
  }
};

TEST(SetupSheet, TheTableNamesOnlyKnownSettingsAndEveryPageHasFields) {
  int perPage[kSetupPageCount] = {};
  for (const SetupField& f : SetupFields()) {
    ASSERT_NE(FindSetting(f.section, f.key), nullptr) << f.section << "/" << f.key;
    EXPECT_EQ(FindSetupField(f.section, f.key), &f - SetupFields().data()) << "listed twice";
    ++perPage[static_cast<int>(f.page)];
    if (f.kind == SetupKind::Choice) {
      EXPECT_FALSE(f.choices.empty()) << f.key;
    }
  }
  for (int p = 0; p < kSetupPageCount; ++p)
    EXPECT_GT(perPage[p], 0) << SetupPageTitle(SetupPage(p));
  // The fixed lists are those of the transceiver code: 22 Icom addresses, types 0 to 6.
  EXPECT_EQ(SetupFields()[static_cast<size_t>(FindSetupField("TX1", "IcomAddr"))].choices.size(),
            22u);
  EXPECT_EQ(SetupFields()[static_cast<size_t>(FindSetupField("TX1", "Type"))].choices.size(), 7u);
}

TEST(SetupSheet, ShowsTheValuesInEffectFromMembersAndFile) {
  Station s;
  ASSERT_EQ(s.store.WriteSettingText("Station", "MyName", "Anna"), 0);
  s.Start();
  s.core->members().cwPitch.value = 650;  // changed this run, not yet in the file
  const SetupValues v = s.core->ReadSetup();
  EXPECT_EQ(v.Get("Station", "MyCall"), "NOCALL");
  EXPECT_EQ(v.Get("Station", "MyName"), "Anna");
  EXPECT_EQ(v.Get("Station", "MyLatitude"), "0.000000");
  EXPECT_EQ(v.Get("CW", "Pitch"), "650");
  EXPECT_EQ(v.Get("TX1", "ComPort"), "2");
  EXPECT_EQ(v.Get("TX1", "NetRigHost"), "127.0.0.1");
  EXPECT_EQ(v.GetInt("TX1", "NetRigPort"), 4532);
  EXPECT_EQ(v.GetInt("TX1", "DigiCommand"), -1);
}

TEST(SetupSheet, OkWritesEveryInitSettingOfItsSectionsAndLeavesMembersToTheExit) {
  Station s;
  s.Start();
  SetupValues v = s.core->ReadSetup();
  ASSERT_TRUE(v.Set("Station", "MyName", "  Bert "));
  ASSERT_TRUE(v.Set("Station", "MyCall", "dl1abc"));
  ASSERT_TRUE(v.Set("CW", "Pitch", "700"));
  ASSERT_TRUE(v.Set("Station", "MyLatitude", "52.5"));
  const SetupOutcome out = s.core->ApplySetup(v);
  ASSERT_TRUE(out.applied) << out.error;
  EXPECT_FALSE(out.reload);
  EXPECT_EQ(s.host.endedWith, -1);
  EXPECT_EQ(s.store.ReadSettingText("Station", "MyName", ""), "Bert");
  EXPECT_EQ(s.store.ReadSettingText("Station", "MyLatitude", ""), "52.500000");
  // Unchanged ones are written too: key texts, fonts, spectrum, the transceiver, the callbook.
  for (auto [sec, key] : {std::pair{"Keyboard", "F1"},
                          {"Keyboard", "AutoCqDelay"},
                          {"Font", "PitchAndFamily"},
                          {"Spectrum", "AverageThickLine"},
                          {"TX1", "DigiCommand"},
                          {"Station", "CwId"},
                          {"Misc", "QrzCd"}})
    EXPECT_TRUE(s.Stored(sec, key)) << sec << "/" << key;
  EXPECT_EQ(s.store.ReadSettingText("Keyboard", "F1", ""), std::string(BuiltInKeyText(0)));
  // The layout and the language only when changed; other sections not at all.
  EXPECT_FALSE(s.Stored("Keyboard", "LargeScreen"));
  EXPECT_FALSE(s.Stored("Misc", "Language"));
  EXPECT_FALSE(s.Stored("Contest", "Name"));
  // Members change in memory only, and reach the file when the window goes.
  EXPECT_EQ(s.core->members().cwPitch.value, 700);
  EXPECT_EQ(s.core->members().myCall.value, "DL1ABC");
  EXPECT_FALSE(s.Stored("CW", "Pitch"));
  EXPECT_FALSE(s.Stored("Station", "MyCall"));
  s.core->OnDestroy();
  s.core.reset();
  EXPECT_EQ(s.store.ReadSettingInt("CW", "Pitch", 0), 700);
  EXPECT_EQ(s.store.ReadSettingText("Station", "MyCall", ""), "DL1ABC");
}

TEST(SetupSheet, ARefusedValueChangesNothingAndSaysWhich) {
  Station s;
  s.Start();
  const std::string before = test::ReadFileBytes(s.store.path());
  struct Case {
    const char* section;
    const char* key;
    const char* value;
    const char* says;
  };
  for (const Case& c : {Case{"TX1", "NetRigPort", "70000", "Rig server port: from 1 to 65535"},
                        Case{"TX1", "NetRigPort", "80x", "not a whole number"},
                        Case{"TX1", "Type", "9", "not one of the choices"},
                        Case{"Station", "MyLatitude", "95", "from -90 to 90"},
                        Case{"Station", "MyLongitude", "east", "not a number of degrees"},
                        Case{"Station", "MyCall", "", "the callsign is empty"},
                        Case{"Station", "MyCall", "DL1 ABC", "letters, digits"},
                        Case{"Station", "MyQth", "two\nlines", "a line break"},
                        Case{"CW", "UseSB", "2", "0 or 1"}}) {
    SetupValues v = s.core->ReadSetup();
    ASSERT_TRUE(v.Set("Station", "MyName", "Changed"));
    ASSERT_TRUE(v.Set("CW", "Pitch", "900"));
    ASSERT_TRUE(v.Set(c.section, c.key, c.value));
    const SetupOutcome out = s.core->ApplySetup(v);
    EXPECT_FALSE(out.applied) << c.key << "=" << c.value;
    EXPECT_NE(out.error.find(c.says), std::string::npos) << out.error;
    EXPECT_EQ(s.core->members().cwPitch.value, 800) << "members untouched";
  }
  EXPECT_EQ(test::ReadFileBytes(s.store.path()), before) << "the file untouched";
}

TEST(SetupSheet, ALayoutChangeIsWrittenAtOnceAndRebuildsTheWindow) {
  Station s;
  s.Start();
  SetupValues v = s.core->ReadSetup();
  ASSERT_TRUE(v.Set("Keyboard", "LargeScreen", "1"));
  const SetupOutcome out = s.core->ApplySetup(v);
  ASSERT_TRUE(out.applied);
  EXPECT_TRUE(out.reload);
  EXPECT_EQ(s.host.endedWith, kResultReload);
  EXPECT_EQ(s.store.ReadSettingInt("Keyboard", "LargeScreen", 0), 1);
  EXPECT_EQ(s.core->templateNumber(), kTemplateLarge);
  // The same values again: nothing to rebuild.
  s.host.endedWith = -1;
  const SetupOutcome again = s.core->ApplySetup(s.core->ReadSetup());
  EXPECT_FALSE(again.reload);
  EXPECT_EQ(s.host.endedWith, -1);
}

TEST(SetupSheet, TheOwnPositionIsPlacedAgainFromTheNewCallsign) {
  Station s;
  test::WriteFileBytes(s.dir.File("cty.dat"),
                       "Fed. Rep. of Germany:     14:  28:  EU:   51.00:   -10.00:    -1.0:  DL:\n"
                       "    DA,DB,DC,DD,DE,DF,DG,DH,DI,DJ,DK,DL,DM,DN,DO,DP,DQ,DR;\n"
                       "Japan:                    25:  45:  AS:   36.40:  -138.38:    -9.0:  JA:\n"
                       "    JA,JE,JF,JG,JH,JI,JJ,JK,JL,JM,JN,JO,JP,JQ,JR,JS;\n");
  ASSERT_EQ(s.store.WriteSettingText("Station", "MyCall", "DL1ABC"), 0);
  s.Start();
  ASSERT_EQ(s.core->logbook().countries().size(), 2u) << s.core->startupNotice();
  EXPECT_NEAR(s.core->logbook().myLatitude(), 51.0, 0.01);
  SetupValues v = s.core->ReadSetup();
  ASSERT_TRUE(v.Set("Station", "MyCall", "JA1XYZ"));
  ASSERT_TRUE(s.core->ApplySetup(v).applied);
  EXPECT_NEAR(s.core->logbook().myLatitude(), 36.40, 0.01);
  EXPECT_NEAR(s.core->logbook().myLongitude(), 138.38, 0.01);
  // A position typed in wins over the callsign's country.
  ASSERT_TRUE(v.Set("Station", "MyLatitude", "-33.5"));
  ASSERT_TRUE(v.Set("Station", "MyLongitude", "151.25"));
  ASSERT_TRUE(s.core->ApplySetup(v).applied);
  EXPECT_DOUBLE_EQ(s.core->logbook().myLatitude(), -33.5);
  EXPECT_DOUBLE_EQ(s.core->logbook().myLongitude(), 151.25);
}

TEST(SetupSheet, ANewPortIsOpenedAndTheTransceiverAskedAtOnce) {
  test::ScriptedRig rig(
      std::vector<test::ScriptedRig::Step>{{"IF;", "IF00007040000     +00000000002000000 ;"}});
  ASSERT_TRUE(rig.ok()) << "no pseudo-terminal";
  Station s;
  ASSERT_EQ(s.store.WriteSettingInt("TX1", "ComPort", 0), 0);  // no port at start
  ASSERT_EQ(s.store.WriteSettingText("Ports", "COM3", rig.device()), 0);
  rig.Start();
  s.Start(/*openPort=*/true);
  EXPECT_FALSE(s.core->transmit().portOpen());
  SetupValues v = s.core->ReadSetup();
  ASSERT_TRUE(v.Set("TX1", "ComPort", "3"));
  ASSERT_TRUE(v.Set("TX1", "ComSpeed", "9600"));
  ASSERT_TRUE(v.Set("TX1", "Type", "4"));
  ASSERT_TRUE(s.core->ApplySetup(v).applied);
  ASSERT_TRUE(s.core->transmit().portOpen());
  EXPECT_EQ(s.core->transmit().portSpeed(), 9600);
  s.ServeUntil(rig, 1);
  (void)s.Serve([&] { return s.core->rig().dialHz() == 7040000; }, 1);
  EXPECT_EQ(s.core->rig().dialHz(), 7040000);
  EXPECT_EQ(rig.error(), "");
}

TEST(SetupSheet, AYaesuOfTheFifthModelGetsFiveZeroBytesAndAPauseBeforeTheQuery) {
  const std::string zeros(5, '\0');
  const std::string status("\x00\x00\x00\x00\x03", 5);
  test::ScriptedRig rig({{zeros, ""}, {status, ""}});
  ASSERT_TRUE(rig.ok()) << "no pseudo-terminal";
  Station s;
  ASSERT_EQ(s.store.WriteSettingInt("TX1", "ComPort", 2), 0);
  ASSERT_EQ(s.store.WriteSettingText("Ports", "COM2", rig.device()), 0);
  rig.Start();
  s.Start(/*openPort=*/true);  // type 0: nothing is sent
  s.sleeps.clear();
  SetupValues v = s.core->ReadSetup();
  ASSERT_TRUE(v.Set("TX1", "Type", "3"));
  ASSERT_TRUE(v.Set("TX1", "Yaesu", "5"));
  ASSERT_TRUE(s.core->ApplySetup(v).applied);
  s.ServeUntil(rig, 2);
  EXPECT_TRUE(rig.finished()) << rig.stepsDone();
  EXPECT_EQ(rig.error(), "");
  EXPECT_EQ(rig.received().substr(0, 10), zeros + status);
  EXPECT_NE(std::find(s.sleeps.begin(), s.sleeps.end(), 250), s.sleeps.end());
}

}  // namespace
}  // namespace vexa::app
