// vexa-cli spots: the real cluster lines through the ring, the web cluster page and the spot
// form against servers on 127.0.0.1.
#include <gtest/gtest.h>

#include <sstream>

#include "callinfo/local_http_server.h"
#include "cli/cli.h"
#include "support/scripted_tcp_server.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

class SpotsCliTest : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    args.insert(args.begin(), {"--workdir", dir.path(), "--config", dir.File("vexa.ini")});
    return RunCli(args, out, err);
  }
  std::vector<std::string> OutLines() const {
    std::vector<std::string> lines;
    std::istringstream is(out.str());
    for (std::string l; std::getline(is, l);) lines.push_back(l);
    return lines;
  }
  void UseServer(const test::LocalHttpServer& server) {
    const std::string url = server.Url("");
    ASSERT_EQ(Run({"settings", "set", "WEBCLUSTER", "Server", "127.0.0.1"}), kExitOk);
    ASSERT_EQ(Run({"settings", "set", "WEBCLUSTER", "Port", url.substr(url.rfind(':') + 1)}),
              kExitOk);
  }

  test::TempDir dir;
  std::ostringstream out, err;
};

TEST_F(SpotsCliTest, ParsePrintsTheRealSpotsNewestFirst) {
  VEXA_REQUIRE_TESTDATA("spots/dxspots.txt");
  ASSERT_EQ(Run({"spots", "parse", test::TestDataPath("spots/dxspots.txt")}), kExitOk) << err.str();
  const auto lines = OutLines();
  ASSERT_EQ(lines.size(), 64u);
  EXPECT_EQ(lines[0], "1\tG7SOZ     14012.2 1307 R7KM          CW    17 dB  31 WPM  CQ");
  EXPECT_EQ(lines[3], "4\tK2PO       1823.4 1307 HL5IV         CW     8 dB  22 WPM  CQ");
  EXPECT_EQ(lines[63], "64\tK7GS      14004.0 2141 C5R         op2");
  // A spot without a remark is shown without the DX call's padding.
  EXPECT_NE(out.str().find("\tTK4TH     14023.0 2143 PY1KO\n"), std::string::npos);
  EXPECT_EQ(err.str(), "80 lines, 64 new spots\n");
}

TEST_F(SpotsCliTest, ParseTakesLinesInFileOrderAndSurvivesJunk) {
  // The same spot twice and a duplicate ended by a lone CR, then a file without line ends.
  const std::string spot =
      "DX de K7GS:      14004.0  C5R          op2                            2141Z";
  test::WriteFileBytes(dir.File("rx.txt"), spot + "\r\n" + std::string(5000, '\x01') + "\n" + spot +
                                               "\r" + "\xff\xfe\n\n");
  ASSERT_EQ(Run({"spots", "parse", dir.File("rx.txt")}), kExitOk);
  EXPECT_EQ(out.str(), "1\tK7GS      14004.0 2141 C5R         op2\n");
  EXPECT_EQ(err.str(), "4 lines, 1 new spots\n");
  test::WriteFileBytes(dir.File("one.txt"), std::string(3u << 20, 'D'));
  ASSERT_EQ(Run({"spots", "parse", dir.File("one.txt")}), kExitOk);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(Run({"spots", "parse", dir.File("missing.txt")}), kExitBadInput);
  EXPECT_EQ(Run({"spots", "parse"}), kExitUsage);
  EXPECT_EQ(Run({"spots"}), kExitUsage);
}

TEST_F(SpotsCliTest, FetchReadsTheConfiguredPage) {
  const std::string page =
      "<PRE>DX de K7GS:      14004.0  C5R          op2                            2141Z\r\n"
      "DX de VE3BR:     14051.9  W6SC         CW                             2141Z\r\n";
  test::LocalHttpServer server({{"/spots.html", {200, page}}});
  ASSERT_TRUE(server.ok());
  UseServer(server);
  ASSERT_EQ(Run({"settings", "set", "WEBCLUSTER", "Page", "/spots.html"}), kExitOk);
  ASSERT_EQ(Run({"spots", "fetch"}), kExitOk) << err.str();
  EXPECT_EQ(OutLines(), (std::vector<std::string>{"1\tK7GS      14004.0 2141 C5R         op2",
                                                  "2\tVE3BR     14051.9 2141 W6SC        CW"}));
  // The default page is not served here: the command fails and says why.
  ASSERT_EQ(Run({"settings", "set", "WEBCLUSTER", "Page", "/dxs/hfdx25.html?"}), kExitOk);
  EXPECT_EQ(Run({"spots", "fetch"}), kExitFailure);
  EXPECT_NE(err.str().find("HTTP status 404"), std::string::npos) << err.str();
}

TEST_F(SpotsCliTest, PostSendsTheFormWithTheOwnCall) {
  test::LocalHttpServer server({{"/cgi-bin/spotin2.sh", {200, "ok"}}});
  ASSERT_TRUE(server.ok());
  UseServer(server);
  ASSERT_EQ(Run({"settings", "set", "Station", "MyCall", "DL1ABC"}), kExitOk);
  ASSERT_EQ(
      Run({"spots", "post", "--dx", "OX3XR", "--freq", "14025.34", "--comment", "tnx QSO! 73"}),
      kExitOk)
      << err.str();
  const std::string request = server.lastRequest();
  EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4),
            "mycall=DL1ABC&dxcall=OX3XR&freq=14025.3&info=tnx+QSO%21+73&Submit%21=Submit%21");
  EXPECT_EQ(Run({"spots", "post", "--dx", "OX3XR"}), kExitUsage);
  EXPECT_EQ(Run({"spots", "post", "--dx", "OX 3", "--freq", "14000"}), kExitUsage);
  EXPECT_EQ(Run({"spots", "post", "--freq", "abc", "--dx", "OX3XR"}), kExitUsage);
  EXPECT_EQ(server.requests(), 1);
}

TEST_F(SpotsCliTest, TelnetReplaysARecordedNodeSession) {
  VEXA_REQUIRE_TESTDATA("spots/dxcluster-session-NG7M-2026-10-04.txt");
  const std::string text =
      test::ReadFileBytes(test::TestDataPath("spots/dxcluster-session-NG7M-2026-10-04.txt"));
  const size_t at = text.find("login: ");
  ASSERT_NE(at, std::string::npos);
  test::ScriptedTcpServer::Script script;
  script.reply = text.substr(0, at + 7);
  script.afterLine = text.substr(text.find('\n', at) + 1);
  script.waitForRequest = false;
  script.holdOpen = true;
  test::ScriptedTcpServer node(script);
  ASSERT_TRUE(node.ok());
  ASSERT_EQ(Run({"spots", "telnet", "127.0.0.1", std::to_string(node.port()), "--call", "KT1F",
                 "--seconds", "1", "--command", "sh/dx 3"}),
            kExitOk)
      << err.str();
  EXPECT_EQ(node.received(), "KT1F\r\nsh/dx 3\r\n");
  const auto lines = OutLines();
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[0], "1\tW8RKW     28395.0 2144 LW3DG       USB");
  EXPECT_EQ(lines[17], "18\tK7GS      14004.0 2141 C5R         op2");
  EXPECT_NE(err.str().find("as KT1F\n"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find(" 18 new spots"), std::string::npos) << err.str();
  EXPECT_EQ(Run({"spots", "telnet", "127.0.0.1"}), kExitUsage);
  EXPECT_EQ(Run({"spots", "telnet", "127.0.0.1", "0"}), kExitUsage);
}

TEST_F(SpotsCliTest, TelnetToADeadNodeFails) {
  int port = 0;
  {
    test::ScriptedTcpServer gone({});
    port = gone.port();
  }
  EXPECT_EQ(Run({"spots", "telnet", "127.0.0.1", std::to_string(port), "--seconds", "0.3"}),
            kExitFailure);
  EXPECT_NE(err.str().find("cannot connect"), std::string::npos) << err.str();
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace vexa::cli
