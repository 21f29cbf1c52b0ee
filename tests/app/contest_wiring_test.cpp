// The chosen contest in the station core: the stamp asks the exchange by the contest's rules,
// the exchange kind decides the serial numbers, and the score and report come from the log.
#include <gtest/gtest.h>

#include "app/headless_runner.h"
#include "app/main_core.h"
#include "platform/audio/audio_backend.h"
#include "platform/files/trace_log.h"
#include "support/core_config.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"

namespace vexa::app {
namespace {

const char* const kCty =
    "United States:  05:  08:  NA:  37.60:  91.87:  5.0:  K:\n    K,W,N;\n"
    "Fed. Rep. of Germany:  14:  28:  EU:  51.00:  -10.00:  -1.0:  DL:\n    DA,DL;\n";

struct ContestRig {
  explicit ContestRig(const char* contest, const char* myCall) {
    test::WriteFileBytes(dir.File("cty.dat"), kCty);
    EXPECT_EQ(store.WriteSettingText("Station", "MyCall", myCall), 0);
    EXPECT_EQ(store.WriteSettingText("Contest", "Name", contest), 0);
    core = std::make_unique<MainCore>(test::TestCoreConfig(store, dir.path(), prompt, *audio),
                                      trace, host, kTemplateNormal);
    core->OnInitDialog();
  }
  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  test::ScriptPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio = platform::MakeNullBackend();
  platform::TraceLog trace{dir.File("VexaDbg.log")};
  HeadlessRunner host;
  std::unique_ptr<MainCore> core;
};

TEST(ContestWiring, ArrlTenDxStationNumbersItsContactsAndScoresThem) {
  ContestRig r("ARRL 10 METERS", "DL1ABC");
  log::QsoEntry& e = r.core->logbook().entry();
  EXPECT_TRUE(e.contest.serialNumbers);
  e.frequencyText = "28.020.000";
  e.mode = Mode::Cw;
  e.call = "K1AR";
  r.core->logbook().TypeEntry("K1AR");
  r.prompt.answers = {"001", "MA"};
  ASSERT_EQ(r.core->logbook().SaveEntry(), log::kSaveOk);
  EXPECT_NE(test::ReadFileBytes(r.dir.File("log.log")).find("K1AR 599/599 001&MA "),
            std::string::npos)
      << test::ReadFileBytes(r.dir.File("log.log")) << r.prompt.asked;
  EXPECT_EQ(e.ownNumber, "002");
  // One CW contact with a US station: 4 points, one country, one state.
  EXPECT_EQ(r.core->logbook().ContestScore(),
            "\t QSOs\tPoints\tDxcc\tStates/Prov.\r\n"
            " 10\t    1\t    4\t    1\t    1\r\n"
            "Total:\t    1\t    4\t    1\t    1\r\n\r\n"
            "  Claimed Score:\t4*(1+1) = 8 points\r\n");
  ASSERT_EQ(r.core->logbook().CreateContestReport({}), 0);
  EXPECT_FALSE(test::ReadFileBytes(r.dir.File("DL1ABC.sum")).empty());
  ASSERT_EQ(r.core->logbook().ExportCabrillo(), 0);
  EXPECT_NE(test::ReadFileBytes(r.dir.File("DL1ABC.cbr")).find("CONTEST: ARRL-10\r\n"),
            std::string::npos);
}

TEST(ContestWiring, UsStationInArrlTenSendsItsStateWithoutNumbers) {
  ContestRig r("ARRL 10 METERS", "W1AW");
  EXPECT_FALSE(r.core->logbook().entry().contest.serialNumbers);
  ContestRig none("", "W1AW");
  EXPECT_EQ(none.core->logbook().ContestScore(), "");
  EXPECT_FALSE(static_cast<bool>(none.core->logbook().entry().askExchange));
}

}  // namespace
}  // namespace vexa::app
