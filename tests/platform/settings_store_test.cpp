#include "platform/files/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/test_paths.h"

namespace vexa::platform {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(SettingsStore, MissingFileReadsAsEmptyAndGivesDefaults) {
  TempDir dir;
  SettingsStore s(dir.File("none.ini"));
  EXPECT_EQ(s.ReadSettingInt("Misc", "ModeOnExit", 9), 9);
  EXPECT_EQ(s.ReadSettingText("Station", "MyCall", "NOCALL"), "NOCALL");
  EXPECT_FALSE(s.HasSetting("Station", "MyCall"));
}

TEST(SettingsStore, SectionsAndKeysAreCaseInsensitive) {
  TempDir dir;
  SettingsStore s(dir.File("v.ini"));
  ASSERT_EQ(s.WriteSettingText("Station", "MyCall", "DL1ABC"), 0);
  EXPECT_EQ(s.ReadSettingText("STATION", "mycall", ""), "DL1ABC");
  // Writing through another spelling replaces the same key, not a second one.
  ASSERT_EQ(s.WriteSettingText("station", "MYCALL", "DL2XYZ"), 0);
  EXPECT_EQ(s.ReadSettingText("Station", "MyCall", ""), "DL2XYZ");
  const std::string file = ReadFileBytes(s.path());
  EXPECT_EQ(file.find("DL1ABC"), std::string::npos);
  EXPECT_EQ(file.find("[station]"), std::string::npos) << file;
}

TEST(SettingsStore, IntegersRoundTripIncludingNegatives) {
  TempDir dir;
  SettingsStore s(dir.File("v.ini"));
  for (int v : {0, 1, -1, 14070000, -2147483647 - 1, 2147483647}) {
    ASSERT_EQ(s.WriteSettingInt("TX1", "DigiCommand", v), 0);
    EXPECT_EQ(s.ReadSettingInt("TX1", "DigiCommand", 5), v);
  }
  EXPECT_NE(ReadFileBytes(s.path()).find("DigiCommand=2147483647\n"), std::string::npos);
}

TEST(SettingsStore, IntegerReadOfANonNumberGivesZeroNotTheDefault) {
  TempDir dir;
  WriteFileBytes(dir.File("v.ini"),
                 "[Misc]\nBeepFq=loud\nBeepTime=  250ms\nEmpty=\nSign=-\nBig=99999999999\n");
  SettingsStore s(dir.File("v.ini"));
  EXPECT_EQ(s.ReadSettingInt("Misc", "BeepFq", 1500), 0);
  EXPECT_EQ(s.ReadSettingInt("Misc", "BeepTime", 100), 250);  // leading digits count
  EXPECT_EQ(s.ReadSettingInt("Misc", "Empty", 7), 0);
  EXPECT_EQ(s.ReadSettingInt("Misc", "Sign", 7), 0);
  EXPECT_EQ(s.ReadSettingInt("Misc", "Big", 7), 2147483647);  // saturates
  EXPECT_EQ(s.ReadSettingInt("Misc", "Missing", 7), 7);
}

TEST(SettingsStore, LongTextsAreCutAt4095Characters) {
  TempDir dir;
  SettingsStore s(dir.File("v.ini"));
  const std::string longText(5000, 'x');
  ASSERT_EQ(s.WriteSettingText("Keyboard", "F1", longText), 0);
  EXPECT_EQ(s.ReadSettingText("Keyboard", "F1", "").size(), 4095u);
  EXPECT_EQ(s.ReadSettingText("Keyboard", "F2", std::string(6000, 'y')).size(), 4095u);
}

TEST(SettingsStore, KeepsForeignLinesCommentsAndOrder) {
  TempDir dir;
  WriteFileBytes(dir.File("v.ini"),
                 "; my notes\r\n[Misc]\r\nAFC=1\r\nodd line\r\n\r\n[CW]\r\nPitch=700\r\n");
  SettingsStore s(dir.File("v.ini"));
  ASSERT_EQ(s.WriteSettingInt("Misc", "NET", 1), 0);
  ASSERT_EQ(s.WriteSettingInt("CW", "Pitch", 650), 0);
  ASSERT_EQ(s.WriteSettingInt("Spectrum", "Zoom", 2), 0);
  EXPECT_EQ(
      ReadFileBytes(s.path()),
      "; my notes\n[Misc]\nAFC=1\nodd line\nNET=1\n\n[CW]\nPitch=650\n\n[Spectrum]\nZoom=2\n");
}

TEST(SettingsStore, CorruptFileReadsWhatItCan) {
  TempDir dir;
  std::string junk = "\x01\x02garbage\n[Unclosed\nKey=1\n=novalue\n[Misc]\nAFC=1\n";
  junk += std::string("\0\xff\xfe", 3);
  junk += "\n[Misc\nNET=1\n";
  WriteFileBytes(dir.File("v.ini"), junk);
  SettingsStore s(dir.File("v.ini"));
  EXPECT_EQ(s.ReadSettingInt("Misc", "AFC", 0), 1);
  // "[Misc" without its bracket is not a header: NET still belongs to [Misc].
  EXPECT_EQ(s.ReadSettingInt("Misc", "NET", 0), 1);
  EXPECT_EQ(s.ReadSettingInt("Unclosed", "Key", 5), 5);
}

TEST(SettingsStore, QuotedValuesReadWithoutTheirQuotes) {
  TempDir dir;
  WriteFileBytes(dir.File("v.ini"), "[Station]\nMyName=\"John Smith\"\nMyQth='x\n");
  SettingsStore s(dir.File("v.ini"));
  EXPECT_EQ(s.ReadSettingText("Station", "MyName", ""), "John Smith");
  EXPECT_EQ(s.ReadSettingText("Station", "MyQth", ""), "'x");
}

TEST(SettingsStore, RejectsValuesAndNamesTheFileCannotCarry) {
  TempDir dir;
  SettingsStore s(dir.File("v.ini"));
  ASSERT_EQ(s.WriteSettingText("Misc", "A", "keep"), 0);
  EXPECT_EQ(s.WriteSettingText("Misc", "A", "two\nlines"), kSettingsBadValue);
  EXPECT_EQ(s.WriteSettingText("Mi]sc", "A", "x"), kSettingsBadName);
  EXPECT_EQ(s.WriteSettingText("Misc", "A=B", "x"), kSettingsBadName);
  EXPECT_EQ(s.WriteSettingText("", "A", "x"), kSettingsBadName);
  EXPECT_EQ(s.ReadSettingText("Misc", "A", ""), "keep");
}

TEST(SettingsStore, AFailedWriteLeavesTheOldFileIntactAndIsReported) {
  if (geteuid() == 0) {
    // Root ignores directory permissions; use a path whose parent is a regular file instead.
    TempDir dir;
    WriteFileBytes(dir.File("file"), "x");
    SettingsStore s(dir.File("file") + "/v.ini");
    EXPECT_EQ(s.WriteSettingInt("Misc", "AFC", 1), kSettingsWriteFailed);
    EXPECT_FALSE(s.lastError().empty());
    EXPECT_EQ(ReadFileBytes(dir.File("file")), "x");
    return;
  }
  TempDir dir;
  SettingsStore s(dir.File("v.ini"));
  ASSERT_EQ(s.WriteSettingInt("Misc", "AFC", 1), 0);
  const std::string before = ReadFileBytes(s.path());
  chmod(dir.path().c_str(), 0500);  // no new files in the folder: the temporary cannot be made
  EXPECT_EQ(s.WriteSettingInt("Misc", "AFC", 0), kSettingsWriteFailed);
  chmod(dir.path().c_str(), 0700);
  EXPECT_EQ(ReadFileBytes(s.path()), before);
  EXPECT_EQ(s.ReadSettingInt("Misc", "AFC", 0), 1);
}

TEST(SettingsStore, WritesLeaveNoTemporaryFilesBehind) {
  TempDir dir;
  SettingsStore s(dir.File("v.ini"));
  for (int i = 0; i < 20; ++i) ASSERT_EQ(s.WriteSettingInt("Misc", "AFC", i), 0);
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST(SettingsStore, CreatesTheConfigurationFolderOnFirstWrite) {
  TempDir dir;
  SettingsStore s(dir.File("a/b/vexa.ini"));
  ASSERT_EQ(s.WriteSettingText("Station", "MyCall", "K1ABC"), 0);
  EXPECT_EQ(s.ReadSettingText("Station", "MyCall", ""), "K1ABC");
}

}  // namespace
}  // namespace vexa::platform
