// The web cluster client against servers on 127.0.0.1: a spot page, the spot form, and servers
// that fail (a refused connection, an error status, a page too large, a server that never
// answers, one that closes in the middle of a line).
#include "spots/web_cluster.h"

#include <gtest/gtest.h>

#include <fstream>

#include "callinfo/local_http_server.h"
#include "support/scripted_tcp_server.h"
#include "support/test_paths.h"

namespace vexa::spots {
namespace {

WebClusterSettings Local(int port) {
  WebClusterSettings s;
  s.server = "127.0.0.1";
  s.port = port;
  s.page = "/dxs/hfdx25.html?";
  s.spotPage = "/cgi-bin/spotin2.sh";
  s.connectTimeoutSeconds = 2;
  s.timeoutSeconds = 2;
  return s;
}

int PortOf(const test::LocalHttpServer& server) {
  const std::string url = server.Url("");
  return std::stoi(url.substr(url.rfind(':') + 1));
}

// The first `n` real cluster lines.
std::string RealLines(int n) {
  std::ifstream in(test::TestDataPath("spots/dxspots.txt"), std::ios::binary);
  std::string text, line;
  for (int i = 0; i < n && std::getline(in, line); ++i) text += line + "\r\n";
  return text;
}

TEST(WebCluster, PageLinesDropThePreTagAndTrailingSpaces) {
  const auto lines = PageLines("<html><body>\r\n<PRE>DX de A  \r\nsecond\t\r\n\r\nlast");
  EXPECT_EQ(lines, (std::vector<std::string>{"<html><body>", "DX de A", "second", "", "last"}));
  // Only the text up to and including the first "<PRE>" goes; the tag is matched exactly.
  EXPECT_EQ(PageLines("a<PRE>b<PRE>c\n<pre>d"), (std::vector<std::string>{"b<PRE>c", "<pre>d"}));
  EXPECT_TRUE(PageLines("").empty());
}

TEST(WebCluster, PageLinesAreBounded) {
  const auto one = PageLines(std::string(1 << 20, 'x'));  // a page without a newline
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].size(), kMaxPageLineChars);
  std::string many;
  for (size_t i = 0; i < kMaxPageLines + 5; ++i) many += "l\n";
  EXPECT_EQ(PageLines(many).size(), kMaxPageLines);
}

TEST(WebCluster, FetchedPageFillsTheRingWithTheFirstLineNewest) {
  VEXA_REQUIRE_TESTDATA("spots/dxspots.txt");
  // The first spot follows the "<PRE>" tag on the same line.
  const std::string page = "<HTML><HEAD><TITLE>spots</TITLE></HEAD><BODY>\r\n<PRE>" +
                           RealLines(10) + "</PRE></BODY>\r\n";
  test::LocalHttpServer server({{"/dxs/hfdx25.html?", {200, page}}});
  ASSERT_TRUE(server.ok());
  SpotRing ring;
  int added = -1;
  std::string message;
  ASSERT_EQ(FetchSpots(ring, Local(PortOf(server)), added, message), kWebOk) << message;
  EXPECT_EQ(added, 10);
  const auto shown = ring.DisplayLines();
  ASSERT_EQ(shown.size(), 10u);
  EXPECT_EQ(shown.front(), "K7GS      14004.0 2141 C5R         op2");  // the page's first line
  EXPECT_EQ(shown.back(), "KF8GG     14307.0 2143 TT1GD       59 NE OH UP 5");
  // Always from the server, never from a cache; the session's own agent name.
  const std::string request = server.lastRequest();
  EXPECT_EQ(request.rfind("GET /dxs/hfdx25.html? HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nCache-Control: no-cache\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nPragma: no-cache\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nUser-Agent: My HTTP Session\r\n"), std::string::npos);
  // The same page again: no duplicates, nothing moves.
  ASSERT_EQ(FetchSpots(ring, Local(PortOf(server)), added, message), kWebOk);
  EXPECT_EQ(added, 0);
  EXPECT_EQ(ring.next(), 10);
  EXPECT_EQ(ring.DisplayLines(), shown);
  EXPECT_EQ(server.requests(), 2);
}

TEST(WebCluster, ErrorsLeaveTheRingAlone) {
  SpotRing ring;
  int added = -1;
  std::string message;
  {
    test::LocalHttpServer server({{"/other", {200, "x"}}});  // the page path answers 404
    EXPECT_EQ(FetchSpots(ring, Local(PortOf(server)), added, message), kWebHttpFailure);
    EXPECT_NE(message.find("404"), std::string::npos) << message;
  }
  {
    test::LocalHttpServer big({{"/dxs/hfdx25.html?", {200, std::string(10u << 20, 'D')}}});
    EXPECT_EQ(FetchSpots(ring, Local(PortOf(big)), added, message), kWebTooLarge);
  }
  int deadPort = 0;
  {
    test::LocalHttpServer gone({});
    deadPort = PortOf(gone);
  }
  EXPECT_EQ(FetchSpots(ring, Local(deadPort), added, message), kWebNoResponse);
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(added, 0);
  EXPECT_EQ(ring.size(), 0);
}

TEST(WebCluster, ASilentServerTimesOut) {
  test::ScriptedTcpServer silent({"", true, true, ""});
  ASSERT_TRUE(silent.ok());
  WebClusterSettings s = Local(silent.port());
  s.timeoutSeconds = 1;
  SpotRing ring;
  int added = -1;
  std::string message;
  EXPECT_EQ(FetchSpots(ring, s, added, message), kWebNoResponse);
  EXPECT_NE(message.find("timed out"), std::string::npos) << message;
  EXPECT_EQ(ring.size(), 0);
}

TEST(WebCluster, APageCutInTheMiddleOfALineIsNotUsed) {
  VEXA_REQUIRE_TESTDATA("spots/dxspots.txt");
  // The server promises more than it sends and closes mid-line: the lines already read are
  // dropped with the rest.
  const std::string body = "<PRE>" + RealLines(5) + "DX de K7GS:      14";
  test::ScriptedTcpServer cut({"HTTP/1.1 200 OK\r\nContent-Length: " +
                                   std::to_string(body.size() + 100) + "\r\n\r\n" + body,
                               false, true, ""});
  ASSERT_TRUE(cut.ok());
  SpotRing ring;
  int added = -1;
  std::string message;
  EXPECT_EQ(FetchSpots(ring, Local(cut.port()), added, message), kWebNoResponse);
  EXPECT_EQ(ring.size(), 0);
}

TEST(WebCluster, TheCommentIsEncodedOnceAndSpacesBecomePlus) {
  EXPECT_EQ(EncodeSpotComment("tnx QSO!"), "tnx+QSO%21");
  EXPECT_EQ(EncodeSpotComment("!#$%&'()+=|/?,<>"),
            "%21%23%24%25%26%27%28%29%2B%3D%7C%2F%3F%2C%3C%3E");
  // A code put in for one character is not encoded again ("%" becomes "%25" once).
  EXPECT_EQ(EncodeSpotComment("100% up 5"), "100%25+up+5");
  EXPECT_EQ(EncodeSpotComment("a-b_c.d~e:f;g\"h*"), "a-b_c.d~e:f;g\"h*");
  EXPECT_EQ(EncodeSpotComment(""), "");
}

TEST(WebCluster, TheFrequencyLosesItsLeadingSpaces) {
  EXPECT_EQ(FormatPostFrequency(14074.0), "14074.0");
  EXPECT_EQ(FormatPostFrequency(7012.34), "7012.3");
  EXPECT_EQ(FormatPostFrequency(1823.45), "1823.5");
  EXPECT_EQ(FormatPostFrequency(144300.0), "144300.0");
  EXPECT_EQ(FormatPostFrequency(1296000.0), "1296000.0");
}

TEST(WebCluster, ThePostBodyArrivesByteForByte) {
  test::LocalHttpServer server({{"/cgi-bin/spotin2.sh", {200, "<html>thanks</html>"}}});
  ASSERT_TRUE(server.ok());
  std::string message;
  const SpotPost spot{"VP8/G3XYZ", 14025.3, "up 2, tnx QSO!"};
  ASSERT_EQ(PostSpot(Local(PortOf(server)), "DL1ABC", spot, message), kWebOk) << message;
  const std::string request = server.lastRequest();
  const std::string expected =
      "mycall=DL1ABC&dxcall=VP8/G3XYZ&freq=14025.3&info=up+2%2C+tnx+QSO%21&Submit%21=Submit%21";
  const size_t bodyAt = request.find("\r\n\r\n");
  ASSERT_NE(bodyAt, std::string::npos);
  EXPECT_EQ(request.substr(bodyAt + 4), expected);
  EXPECT_EQ(request.rfind("POST /cgi-bin/spotin2.sh HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("Content-Type: application/x-www-form-urlencoded"), std::string::npos);
  // A refused post is reported.
  test::LocalHttpServer refusing({});
  EXPECT_EQ(PostSpot(Local(PortOf(refusing)), "DL1ABC", spot, message), kWebHttpFailure);
}

TEST(WebCluster, TheDialogIsPrefilledFromTheConsoleAndTheRig) {
  SpotPost p = PrefillSpot("  OX3XR  cq cq up 5 ", 14025300);
  EXPECT_EQ(p.dxCall, "OX3XR");
  EXPECT_EQ(p.comment, "cq cq up 5");
  EXPECT_DOUBLE_EQ(p.frequencyKhz, 14025.3);
  p = PrefillSpot("-- no call", 0);
  EXPECT_EQ(p.dxCall, "");
  EXPECT_EQ(p.comment, "-- no call");
  EXPECT_EQ(p.frequencyKhz, 0);
  p = PrefillSpot("W1AW/4", -5);
  EXPECT_EQ(p.dxCall, "W1AW/4");
  EXPECT_EQ(p.comment, "");
}

}  // namespace
}  // namespace vexa::spots
