// The mode table: its rows line up with the enum, the codes and classes the log and the tallies
// store agree with each other, and ParseMode understands every way a mode is written.
#include "common/mode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

namespace vexa {
namespace {

TEST(ModeTable, RowsLineUpWithTheEnumAndCodesAgreeWithClasses) {
  for (int i = 0; i < kModeCount; ++i) {
    const ModeRow& r = kModeTable[static_cast<size_t>(i)];
    EXPECT_EQ(static_cast<int>(r.mode), i);
    // Log codes are four characters wide, or absent together with the class.
    EXPECT_TRUE(std::strlen(r.logCode) == 4 || (*r.logCode == '\0' && r.modeClass < 0)) << i;
    for (const ModeRow& other : kModeTable) {
      if (other.modeClass == r.modeClass && r.modeClass >= 0) {
        EXPECT_EQ(other.modeBit, r.modeBit) << r.name << " / " << other.name;
      }
    }
  }
  // Out-of-range numbers behave as the unnamed mode, never index past the table.
  EXPECT_STREQ(ModeName(static_cast<Mode>(18)), "???");
  EXPECT_STREQ(ModeName(static_cast<Mode>(-1)), "???");
  EXPECT_FALSE(HasOwnChannel(static_cast<Mode>(1000)));
}

TEST(ModeTable, PropertiesMatchWhatEachSubsystemNeeds) {
  auto modesWith = [](bool (*pred)(Mode)) {
    std::set<int> out;
    for (const ModeRow& r : kModeTable)
      if (pred(r.mode)) out.insert(static_cast<int>(r.mode));
    return out;
  };
  EXPECT_EQ(modesWith(IsPskFamily), (std::set<int>{9, 10, 11, 16}));
  EXPECT_EQ(modesWith(IsSoundDataMode), (std::set<int>{4, 9, 10, 11, 16, 17}));
  EXPECT_EQ(modesWith(IsPhone), (std::set<int>{1, 2, 3}));
  EXPECT_EQ(modesWith(UsesHiTones), (std::set<int>{4, 12}));
  EXPECT_EQ(modesWith(HasSquelch), (std::set<int>{9, 10}));
  EXPECT_EQ(modesWith(IsPacket), (std::set<int>{12, 13}));
  EXPECT_EQ(modesWith(IgnoresTxSwitch), (std::set<int>{12, 14}));
  EXPECT_EQ(modesWith(HasOwnChannel), (std::set<int>{0, 4, 9, 10, 11, 14, 15, 16, 17}));
  EXPECT_EQ(modesWith([](Mode m) { return UsesAudioOffset(m, false); }),
            (std::set<int>{4, 9, 10, 11, 12, 13, 14, 15, 16, 17}));
  // The rig mode each selects: data for the sound-card modes, none for 3 and 13.
  std::vector<int> rig;
  for (const ModeRow& r : kModeTable) rig.push_back(RigModeOf(r.mode, false));
  EXPECT_EQ(rig, (std::vector<int>{kRigCw, kRigUsb, kRigLsb, kNoRigMode, kRigData, kRigUsb, kRigUsb,
                                   kRigAm, kRigFm, kRigData, kRigData, kRigData, kRigData,
                                   kNoRigMode, kRigData, kRigData, kRigData, kRigData}));
  EXPECT_EQ(RigModeOf(Mode::Cw, true), kRigData);
}

TEST(ParseMode, NamesNumbersAndCaseAndNothingElse) {
  EXPECT_EQ(ParseMode("psk31"), Mode::Psk31);
  EXPECT_EQ(ParseMode("PSK31"), Mode::Psk31);
  EXPECT_EQ(ParseMode("Rtty"), Mode::Rtty);
  EXPECT_EQ(ParseMode("fsk31b"), Mode::Fsk31b);
  EXPECT_EQ(ParseMode("FSK31"), Mode::Fsk31);  // the first mode of a shared display name
  EXPECT_EQ(ParseMode("SSB"), Mode::Ssb1);
  EXPECT_EQ(ParseMode("ax25tx"), Mode::Ax25Tx);
  EXPECT_EQ(ParseMode("AX25"), Mode::Ax25);
  EXPECT_EQ(ParseMode("0"), Mode::Cw);
  EXPECT_EQ(ParseMode("17"), Mode::Mtty);
  EXPECT_EQ(ParseMode("07"), Mode::Unnamed7);
  for (const char* bad : {"", "18", "99", "-1", "123", "1x", "psk", "psk31 ", "???", " cw"}) {
    EXPECT_EQ(ParseMode(bad), std::nullopt) << "'" << bad << "'";
  }
  // Every command-line name parses back to its own row.
  for (const ModeRow& r : kModeTable) {
    if (*r.cliName != '\0') {
      EXPECT_EQ(ParseMode(r.cliName), r.mode) << r.cliName;
    }
  }
}

TEST(ModeCliNames, ListsTheAcceptedModesInTableOrder) {
  EXPECT_EQ(ModeCliNames(IsPhone, "|"), "ssb|ssb2|ssb3");
  EXPECT_EQ(ModeCliNames(IsPacket, ", "), "ax25, ax25tx");
  EXPECT_EQ(ModeCliNames([](Mode) { return false; }, "|"), "");
}

}  // namespace
}  // namespace vexa
