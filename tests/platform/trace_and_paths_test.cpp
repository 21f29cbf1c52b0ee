#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/files/paths.h"
#include "platform/files/trace_log.h"
#include "support/test_paths.h"

namespace vexa::platform {
namespace {

TEST(TraceLog, AppendsLinesAndStartsEmptyAfterClear) {
  test::TempDir dir;
  TraceLog t(dir.File(TraceLog::kFileName));
  t.TraceLine("Init instance\n");
  t.TraceLine("Final Exit\n");
  EXPECT_EQ(test::ReadFileBytes(t.path()), "Init instance\nFinal Exit\n");
  t.Clear();
  t.TraceLine("Init instance\n");
  EXPECT_EQ(test::ReadFileBytes(t.path()), "Init instance\n");
}

TEST(TraceLog, AnUnwritableTraceIsSilentlyDropped) {
  TraceLog t("/nonexistent-dir/VexaDbg.log");
  t.TraceLine("x\n");  // must not crash or throw
  TraceLog none;
  none.TraceLine("y\n");
  SUCCEED();
}

TEST(AppPaths, FollowXdgAndOverrides) {
  test::TempDir dir;
  setenv("XDG_CONFIG_HOME", (dir.path() + "/cfg").c_str(), 1);
  setenv("XDG_DATA_HOME", (dir.path() + "/data").c_str(), 1);
  AppPaths p = DefaultAppPaths();
  EXPECT_EQ(p.settingsFile, dir.path() + "/cfg/vexa/vexa.ini");
  EXPECT_EQ(p.workDir, dir.path() + "/data/vexa");
  ASSERT_EQ(ResolveAppPaths(p, "", ""), 0);
  EXPECT_TRUE(std::filesystem::is_directory(p.workDir));
  ASSERT_EQ(ResolveAppPaths(p, dir.File("my.ini"), dir.path() + "/w/"), 0);
  EXPECT_EQ(p.settingsFile, dir.File("my.ini"));
  EXPECT_EQ(p.workDir, dir.path() + "/w");
  EXPECT_EQ(p.WorkFile("log.log"), dir.path() + "/w/log.log");
  // A relative XDG value is ignored.
  setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_NE(DefaultAppPaths().settingsFile.rfind("relative", 0), 0u);
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("XDG_DATA_HOME");
}

TEST(AppPaths, AWorkingFolderThatCannotBeMadeIsReported) {
  test::TempDir dir;
  test::WriteFileBytes(dir.File("f"), "x");
  AppPaths p = DefaultAppPaths();
  EXPECT_NE(ResolveAppPaths(p, "", dir.File("f") + "/sub"), 0);
}

}  // namespace
}  // namespace vexa::platform
