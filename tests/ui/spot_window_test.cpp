// The spot window under a headless display: received spots fill its list with the log's
// marks, the filter narrows it, a double click takes a spot into the QSO entry and the rig
// frequency, and the web cluster's refresh and status work through the core.
#include "ui/spot_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>

#include "app/headless_runner.h"
#include "callinfo/local_http_server.h"
#include "support/core_config.h"
#include "support/qt_app.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"
#include "ui/main_window.h"

namespace vexa::ui {
namespace {

using test::App;

constexpr const char* kFrance =
    "DX de K7GS:      14004.0  F5IN         op2                            2141Z";
constexpr const char* kGermany20 =
    "DX de VE3BR:     14051.9  DL1ABC       CW                             2142Z";
constexpr const char* kGermany40 =
    "DX de LU5WA:      7018.0  DK2XY        qrs test                       2143Z";

struct Station {
  Station() {
    App();
    if (test::HaveTestData() &&
        std::filesystem::exists(test::TestDataPath("cty/cty.dat")))  // copied for this run only
      std::filesystem::copy_file(test::TestDataPath("cty/cty.dat"), dir.File("cty.dat"));
    test::WriteFileBytes(dir.File("log.log"), "DL1ABC 04/Sep/2000 12:34:56z 14.020.000 CW\r\n\r\n");
    core = std::make_unique<app::MainCore>(test::TestCoreConfig(store, dir.path(), prompt, *audio),
                                           platform::TraceLog(), host, app::kTemplateNormal);
    core->OnInitDialog();
    window = std::make_unique<MainWindow>(*core, app::kTemplateNormal);
  }
  void Receive(const std::string& line) {
    core->receive().mainQueue().Put((line + "\r\n").c_str());
    core->OnTimer();
  }
  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  test::ScriptPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio = platform::MakeNullBackend();
  app::HeadlessRunner host;
  std::unique_ptr<app::MainCore> core;
  std::unique_ptr<MainWindow> window;
};

TEST(SpotWindow, ReceivedSpotsAppearNewestFirstWithTheMarksOfTheLog) {
  VEXA_REQUIRE_TESTDATA("cty/cty.dat");
  Station st;
  SpotWindow& w = *st.window->spotWindow();
  w.OpenSpotWindow();
  EXPECT_EQ(w.windowTitle(), "DXC");
  EXPECT_EQ(w.list()->count(), 0);
  st.Receive(kFrance);
  st.Receive(kGermany20);
  st.Receive(kGermany40);
  ASSERT_EQ(w.list()->count(), 3);
  EXPECT_EQ(w.list()->item(0)->text().toStdString(),
            "  1  LU5WA      7018.0 2143 DK2XY       qrs test");
  auto mark = [&](int row) {
    return static_cast<app::SpotMark>(w.list()->item(row)->data(Qt::UserRole).toInt());
  };
  EXPECT_EQ(mark(0), app::SpotMark::NewBandCountry);  // Germany only worked on 20 m
  EXPECT_EQ(mark(1), app::SpotMark::WorkedOnBand);    // DL1ABC is in the log on 20 m
  EXPECT_EQ(mark(2), app::SpotMark::NewCountry);      // France never worked
  EXPECT_NE(w.list()->item(2)->foreground().color(), w.list()->item(1)->foreground().color());

  // 20 m only: the numbers stay those of the whole list.
  w.bandFilter()->setCurrentIndex(w.bandFilter()->findData(4));
  ASSERT_EQ(w.list()->count(), 2);
  EXPECT_TRUE(w.list()->item(0)->text().startsWith("  2  VE3BR"));
  w.modeFilter()->setCurrentIndex(w.modeFilter()->findData(log::kSegmentPhone));
  EXPECT_EQ(w.list()->count(), 0);
  w.modeFilter()->setCurrentIndex(0);
  w.bandFilter()->setCurrentIndex(0);
  EXPECT_EQ(w.list()->count(), 3);
}

TEST(SpotWindow, ADoubleClickTakesTheSpotAndTheFormIsPrefilled) {
  Station st;
  SpotWindow& w = *st.window->spotWindow();
  w.OpenSpotWindow();
  st.Receive(kFrance);
  ASSERT_EQ(w.list()->count(), 1);
  emit w.list()->itemDoubleClicked(w.list()->item(0));
  EXPECT_EQ(st.window->qsoEntry()->text().toStdString(), "F5IN");
  EXPECT_EQ(st.core->logbook().entry().text, "F5IN");
  // The rig is tuned so that the spotted signal sits under the receive marker (1000 Hz).
  EXPECT_EQ(st.core->rig().operatingHz(), 14004000);
  EXPECT_EQ(st.core->rig().dialHz(), 14003000);
  EXPECT_EQ(st.core->receive().rigFrequency(), 14003000);
  // The form takes the call and remark from the QSO entry and the rig frequency.
  st.window->qsoEntry()->setText("OX3XR up 5");
  const spots::SpotPost p = w.PrefilledSpot();
  EXPECT_EQ(p.dxCall, "OX3XR");
  EXPECT_EQ(p.comment, "up 5");
  EXPECT_DOUBLE_EQ(p.frequencyKhz, 14004.0);
}

TEST(SpotWindow, RefreshFetchesThePageWithoutFreezingAndShowsTheResult) {
  const std::string page = std::string("<PRE>") + kGermany20 + "\r\n" + kFrance + "\r\n";
  test::LocalHttpServer server({{"/dxs/hfdx25.html?", {200, page}}});
  ASSERT_TRUE(server.ok());
  Station st;
  const std::string url = server.Url("");
  (void)st.store.WriteSettingText("WEBCLUSTER", "Server", "127.0.0.1");
  (void)st.store.WriteSettingInt("WEBCLUSTER", "Port", std::stoi(url.substr(url.rfind(':') + 1)));
  SpotWindow& w = *st.window->spotWindow();
  w.OpenSpotWindow();  // LoadOnStart 0: nothing is fetched
  EXPECT_EQ(server.requests(), 0);
  w.refreshButton()->click();
  EXPECT_FALSE(w.list()->isEnabled());  // busy while the worker runs
  ASSERT_TRUE(st.core->spots().WaitForWebWork());
  EXPECT_TRUE(w.list()->isEnabled());
  ASSERT_EQ(w.list()->count(), 2);
  EXPECT_TRUE(w.list()->item(0)->text().contains("DL1ABC"));  // the page's first line newest
  EXPECT_TRUE(w.status()->text().contains("2 new spots")) << w.status()->text().toStdString();
  // A server that is gone: an error in the status, the window usable.
  (void)st.store.WriteSettingInt("WEBCLUSTER", "Port", 1);
  w.OpenSpotWindow();
  w.refreshButton()->click();
  ASSERT_TRUE(st.core->spots().WaitForWebWork());
  EXPECT_TRUE(w.status()->text().startsWith("Error: ")) << w.status()->text().toStdString();
  EXPECT_TRUE(w.refreshButton()->isEnabled());
  EXPECT_EQ(w.list()->count(), 2);
}

}  // namespace
}  // namespace vexa::ui
