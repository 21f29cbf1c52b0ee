// The spots section inside the station core: received lines of any mode reach the ring, the
// web cluster runs beside the main loop and hands its page to the tick, and the ring outlives
// a rebuilt main window.
#include "app/spots_section.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "app/main_core.h"
#include "callinfo/local_http_server.h"
#include "support/core_config.h"
#include "support/script_prompt.h"
#include "support/scripted_tcp_server.h"
#include "support/test_paths.h"
#include "support/wake_host.h"

namespace vexa::app {
namespace {

constexpr const char* kSpot1 =
    "DX de K7GS:      14004.0  C5R          op2                            2141Z";
constexpr const char* kSpot2 =
    "DX de VE3BR:     14051.9  W6SC         CW                             2141Z";

class RecordingSpotsView final : public SpotsView {
 public:
  void SpotsChanged() override { ++changes; }
  void WebBusy(bool b) override { busy.push_back(b); }
  void WebFinished(int error, const std::string& message) override {
    errors.push_back(error);
    messages.push_back(message);
  }
  int changes = 0;
  std::vector<bool> busy;
  std::vector<int> errors;
  std::vector<std::string> messages;
};

struct Station {
  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  test::ScriptPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio = platform::MakeNullBackend();
  test::WakeHost host;
  TextReceiveView view;
  RecordingSpotsView spotsView;
  spots::SpotRing* sharedRing = nullptr;
  std::unique_ptr<MainCore> core;

  void Start() {
    CoreConfig c = test::TestCoreConfig(store, dir.path(), prompt, *audio);
    c.spotRing = sharedRing;
    core = std::make_unique<MainCore>(c, platform::TraceLog(), host, kTemplateNormal);
    core->OnInitDialog();
    core->receive().AttachReceiveView(&view);
    core->spots().AttachView(&spotsView);
  }
  void Receive(const std::string& text) {
    core->receive().mainQueue().Put(text.c_str());
    core->OnTimer();
  }
  void UseServer(const test::LocalHttpServer& server) {
    const std::string url = server.Url("");
    (void)store.WriteSettingText("WEBCLUSTER", "Server", "127.0.0.1");
    (void)store.WriteSettingInt("WEBCLUSTER", "Port", std::stoi(url.substr(url.rfind(':') + 1)));
  }
};

TEST(SpotsSection, EveryCompletedReceivedLineIsOfferedToTheRing) {
  Station st;
  st.Start();
  auto& ring = st.core->spots().ring();
  // Half a line waits for its end.
  st.Receive(std::string(kSpot1).substr(0, 40));
  EXPECT_EQ(ring.size(), 0);
  st.Receive(std::string(kSpot1).substr(40) + "\r\n");
  ASSERT_EQ(ring.size(), 1);
  EXPECT_EQ(ring.slot(0), "K7GS      14004.0 2141 C5R         op2");
  EXPECT_EQ(st.spotsView.changes, 1);
  // In another mode, ended by a lone LF, and the same spot again from the air.
  st.core->SetMode(Mode::Rtty);
  st.Receive(std::string("RYRYRY\n") + kSpot2 + "\n" + kSpot1 + "\r");
  EXPECT_EQ(ring.size(), 2);
  EXPECT_EQ(st.spotsView.changes, 2);
  EXPECT_EQ(st.core->spots().DisplayLines().front(), "VE3BR     14051.9 2141 W6SC        CW");
  // A received backspace takes the last character out of the line before it is offered.
  st.Receive(std::string(kSpot2).substr(0, 74) + "X\bZ\r");
  EXPECT_EQ(ring.size(), 2);
}

TEST(SpotsSection, TheFetchedPageReachesTheRingOnTheTick) {
  const std::string page =
      std::string("<html><PRE>") + kSpot1 + "\r\n" + kSpot2 + "\r\n</PRE></html>\r\n";
  test::LocalHttpServer server({{"/dxs/hfdx25.html?", {200, page}}});
  ASSERT_TRUE(server.ok());
  Station st;
  st.UseServer(server);
  st.Start();
  SpotsSection& spots = st.core->spots();
  ASSERT_TRUE(spots.FetchSpots());
  EXPECT_TRUE(spots.webBusy());
  EXPECT_FALSE(spots.FetchSpots());  // one network job at a time
  EXPECT_FALSE(spots.PostSpot({"W1AW", 14000, ""}));
  // The worker wakes the main loop; the next tick feeds the ring.
  for (int guard = 0; guard < 10 && spots.webBusy() && st.host.WaitForWake(); ++guard)
    st.core->OnTimer();
  EXPECT_FALSE(spots.webBusy());
  EXPECT_EQ(spots.lastWebError(), spots::kWebOk) << spots.lastWebMessage();
  EXPECT_EQ(spots.lastNewSpots(), 2);
  const auto shown = spots.DisplayLines();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "K7GS      14004.0 2141 C5R         op2");
  EXPECT_EQ(st.spotsView.busy, (std::vector<bool>{true, false}));
  EXPECT_EQ(st.spotsView.errors, (std::vector<int>{spots::kWebOk}));
  // Fetching again adds nothing.
  ASSERT_TRUE(spots.FetchSpots());
  ASSERT_TRUE(spots.WaitForWebWork());
  EXPECT_EQ(spots.lastNewSpots(), 0);
  EXPECT_EQ(spots.DisplayLines(), shown);
  EXPECT_EQ(server.requests(), 2);
}

TEST(SpotsSection, AFailedFetchLeavesTheWindowUsable) {
  int port = 0;
  {
    test::LocalHttpServer gone({});
    const std::string url = gone.Url("");
    port = std::stoi(url.substr(url.rfind(':') + 1));
  }
  Station st;
  (void)st.store.WriteSettingText("WEBCLUSTER", "Server", "127.0.0.1");
  (void)st.store.WriteSettingInt("WEBCLUSTER", "Port", port);
  st.Start();
  SpotsSection& spots = st.core->spots();
  ASSERT_TRUE(spots.FetchSpots());
  ASSERT_TRUE(spots.WaitForWebWork());
  EXPECT_EQ(spots.lastWebError(), spots::kWebNoResponse);
  EXPECT_EQ(st.spotsView.busy, (std::vector<bool>{true, false}));
  EXPECT_FALSE(spots.webBusy());
  EXPECT_TRUE(spots.FetchSpots());  // usable again
  ASSERT_TRUE(spots.WaitForWebWork());
  EXPECT_FALSE(spots.WaitForWebWork());  // nothing running
}

TEST(SpotsSection, LoadOnStartDecidesWhetherOpeningTheWindowFetches) {
  test::LocalHttpServer server(
      {{"/dxs/hfdx25.html?", {200, std::string("<PRE>") + kSpot2 + "\n"}}});
  Station st;
  st.UseServer(server);
  st.Start();
  st.Receive(std::string(kSpot1) + "\r");
  SpotsSection& spots = st.core->spots();
  spots.OpenSpotWindow();
  EXPECT_FALSE(spots.webBusy());
  EXPECT_EQ(server.requests(), 0);
  EXPECT_EQ(spots.DisplayLines().size(), 1u);  // the spots already in the ring
  (void)st.store.WriteSettingInt("WEBCLUSTER", "LoadOnStart", 1);
  spots.OpenSpotWindow();
  ASSERT_TRUE(spots.WaitForWebWork());
  EXPECT_EQ(server.requests(), 1);
  EXPECT_EQ(spots.DisplayLines().size(), 2u);
}

TEST(SpotsSection, APostCarriesTheOwnCall) {
  test::LocalHttpServer server({{"/cgi-bin/spotin2.sh", {200, "ok"}}});
  Station st;
  st.UseServer(server);
  (void)st.store.WriteSettingText("Station", "MyCall", "DL1ABC");
  st.Start();
  ASSERT_TRUE(st.core->spots().PostSpot({"OX3XR", 14025.3, "cq up 5"}));
  ASSERT_TRUE(st.core->spots().WaitForWebWork());
  EXPECT_EQ(st.core->spots().lastWebError(), spots::kWebOk) << st.core->spots().lastWebMessage();
  const std::string request = server.lastRequest();
  EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4),
            "mycall=DL1ABC&dxcall=OX3XR&freq=14025.3&info=cq+up+5&Submit%21=Submit%21");
  EXPECT_EQ(st.spotsView.changes, 0);  // a post does not touch the list
}

TEST(SpotsSection, TheProgramsRingOutlivesTheWindow) {
  spots::SpotRing ring;
  Station st;
  st.sharedRing = &ring;
  st.Start();
  st.Receive(std::string(kSpot1) + "\r");
  st.core.reset();  // the window is rebuilt after a layout change
  st.Start();
  EXPECT_EQ(&st.core->spots().ring(), &ring);
  EXPECT_EQ(st.core->spots().DisplayLines().size(), 1u);
}

TEST(SpotsSection, TheTelnetClusterLogsInFeedsTheRingAndSendsSpots) {
  test::ScriptedTcpServer::Script script;
  script.reply = "Welcome to the node\r\nPlease enter your call: ";
  script.afterLine = std::string(kSpot1) + "\a\a\r\n" + kSpot2 + "\r\nKT1F de NODE >\r\n";
  script.waitForRequest = false;
  script.holdOpen = true;
  test::ScriptedTcpServer node(script);
  ASSERT_TRUE(node.ok());
  Station st;
  (void)st.store.WriteSettingText("Station", "MyCall", "KT1F");
  (void)st.store.WriteSettingText("DXCLUSTER", "Host", "127.0.0.1");
  (void)st.store.WriteSettingInt("DXCLUSTER", "Port", node.port());
  st.Start();
  SpotsSection& spots = st.core->spots();
  EXPECT_FALSE(spots.clusterRunning());  // AutoConnect is 0
  ASSERT_TRUE(spots.ConnectCluster());
  for (int i = 0; i < 50 && spots.ring().size() < 2; ++i) {
    (void)spots.WaitForClusterLines(1, std::chrono::milliseconds(200));
    st.core->OnTimer();
  }
  EXPECT_EQ(spots.ring().size(), 2);
  EXPECT_EQ(spots.DisplayLines().front(), "VE3BR     14051.9 2141 W6SC        CW");
  EXPECT_GE(st.spotsView.changes, 1);
  ASSERT_FALSE(spots.clusterText().empty());
  EXPECT_EQ(spots.clusterText().front(), "Welcome to the node");
  ASSERT_GE(spots.clusterText().size(), 3u);
  EXPECT_EQ(spots.clusterText()[1], "Please enter your call: ");
  EXPECT_EQ(spots.clusterText()[2], kSpot1);  // the BEL bytes are gone
  EXPECT_EQ(spots.clusterStatus(),
            "connected to 127.0.0.1:" + std::to_string(node.port()) + " as KT1F");
  spots.SendClusterSpot({"OX3XR", 14025.3, "up 5"});
  spots.SendClusterCommand("sh/dx 10");
  const std::string expected = "KT1F\r\nDX 14025.3 OX3XR up 5\r\nsh/dx 10\r\n";
  for (int i = 0; i < 100 && node.received() != expected; ++i)
    (void)spots.WaitForClusterLines(1000000, std::chrono::milliseconds(20));
  EXPECT_EQ(node.received(), expected);
  spots.DisconnectCluster();
  EXPECT_FALSE(spots.clusterRunning());
  EXPECT_EQ(spots.clusterStatus(), "disconnected");
}

TEST(SpotsSection, AutoConnectStartsTheClusterAndAMissingHostIsSaid) {
  Station st;
  (void)st.store.WriteSettingInt("DXCLUSTER", "AutoConnect", 1);
  st.Start();
  EXPECT_FALSE(st.core->spots().clusterRunning());  // no host
  EXPECT_NE(st.core->spots().clusterStatus().find("no cluster host"), std::string::npos);
  test::ScriptedTcpServer node({"login: ", true, false, ""});
  Station st2;
  (void)st2.store.WriteSettingInt("DXCLUSTER", "AutoConnect", 1);
  (void)st2.store.WriteSettingText("DXCLUSTER", "Host", "127.0.0.1");
  (void)st2.store.WriteSettingInt("DXCLUSTER", "Port", node.port());
  st2.Start();
  EXPECT_TRUE(st2.core->spots().clusterRunning());
  st2.core->RequestClose();  // closing stops the connection
  EXPECT_FALSE(st2.core->spots().clusterRunning());
}

}  // namespace
}  // namespace vexa::app
