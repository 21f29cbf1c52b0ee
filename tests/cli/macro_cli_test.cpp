#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "platform/files/settings_store.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

struct CliRun {
  int code;
  std::string out, err;
};

struct MacroCli {
  test::TempDir dir;
  std::string ini = dir.File("vexa.ini");
  platform::SettingsStore store{ini};

  CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--config", ini, "--workdir", dir.path(), "macro"});
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
};

TEST(MacroCli, ExpandsNestedKeysStationDataAndControlBytes) {
  MacroCli m;
  (void)m.store.WriteSettingText("Station", "MyCall", "DL1ABC");
  (void)m.store.WriteSettingText("Keyboard", "F2", "de <MYCALL><SP>");
  const CliRun r = m.Run({"<TX>CQ <F2>pse k<CR><LF><RX><CWID><SK><SAVE>"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "CQ de DL1ABC pse k\n<0xAE><0xA9><0xA4>\naction: TX\naction: SAVE\n");
}

TEST(MacroCli, TimeFieldsAndCutNumbers) {
  MacroCli m;
  (void)m.store.WriteSettingInt("CW", "Short0", 1);
  (void)m.store.WriteSettingInt("CW", "Short9", 1);
  const CliRun r = m.Run({"--at", "2026-12-07T14:05:09Z", "--mode", "cw", "--field", "call=G4XYZ",
                          "--field", "nr=090", "<CALL> <NR> <DATE> <UTC> <WEEKDAY>"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "G4XYZ TNT 07/Dec/2026 14:05 Monday\n");
  const CliRun psk = m.Run({"--mode", "psk31", "--field", "nr=090", "<NR>"});
  EXPECT_EQ(psk.out, "090\n");
}

TEST(MacroCli, LineModeKeepsTheTransmitSwitchWithAnUnknownMacro) {
  MacroCli m;
  const CliRun r = m.Run({"--line", "<TX>hello <FOO>"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "hello <TX><FOO>\n");
  // As a key press the same text switches on before "hello" and leaves <FOO> alone.
  const CliRun key = m.Run({"<TX>hello <FOO>"});
  EXPECT_EQ(key.out, "hello <FOO>\naction: TX\n");
}

TEST(MacroCli, RejectsBadArguments) {
  MacroCli m;
  EXPECT_EQ(m.Run({}).code, 2);
  EXPECT_EQ(m.Run({"--at", "yesterday", "x"}).code, 2);
  EXPECT_EQ(m.Run({"--mode", "nomode", "x"}).code, 2);
  EXPECT_EQ(m.Run({"--field", "colour=red", "x"}).code, 2);
  // An unclosed "<" is text.
  const CliRun r = m.Run({"a < b"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "a < b\n");
}

}  // namespace
}  // namespace vexa::cli
