// The telnet cluster client: the line reader over telnet bytes, the login and the back-off of
// the session, and the client against a recorded node session replayed on 127.0.0.1.
#include "spots/cluster_client.h"

#include <gtest/gtest.h>

#include "spots/spot_ring.h"
#include "support/scripted_tcp_server.h"
#include "support/test_paths.h"

namespace vexa::spots {
namespace {

std::span<const uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(ClusterLineReader, SplitsAtCrLfAndCrLfAndDropsControlBytes) {
  ClusterLineReader r;
  std::vector<std::string> lines;
  r.Feed(Bytes("one\r\ntwo\nthree\rfour\x07\a\r\n\r\n\n"), lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "four"}));
  lines.clear();
  // A CR at the end of one block and the LF at the start of the next end one line.
  r.Feed(Bytes("fi"), lines);
  r.Feed(Bytes("ve\r"), lines);
  r.Feed(Bytes("\nsix\tcol"), lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"five"}));
  EXPECT_EQ(r.pending(), "six\tcol");
}

TEST(ClusterLineReader, TakesOutTelnetCommandsAndRefusesEachOptionOnce) {
  ClusterLineReader r;
  std::vector<std::string> lines;
  // IAC DO TERMINAL-TYPE, IAC WILL ECHO, IAC WILL ECHO again, a sub-negotiation, IAC NOP,
  // an escaped 0xFF, IAC WONT and IAC DONT (no answer needed).
  const std::string in =
      "ab\xff\xfd\x18"
      "c\xff\xfb\x01\xff\xfb\x01"
      "d\xff\xfa\x18\x01\xff\xf0"
      "e\xff\xf1"
      "f\xff\xff"
      "g\xff\xfc\x03\xff\xfe\x05\r\n";
  r.Feed(Bytes(in), lines);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "abcdef\xffg");
  EXPECT_EQ(r.TakeReplies(), "\xff\xfc\x18\xff\xfe\x01");  // WONT TTYPE, DONT ECHO
  EXPECT_EQ(r.TakeReplies(), "");
  // A command split over two blocks.
  r.Feed(Bytes("x\xff"), lines);
  r.Feed(Bytes("\xfd\x1fy\n"), lines);
  EXPECT_EQ(lines.back(), "xy");
  EXPECT_EQ(r.TakeReplies(), "\xff\xfc\x1f");
}

TEST(ClusterLineReader, LinesAndSubnegotiationsAreBounded) {
  ClusterLineReader r;
  std::vector<std::string> lines;
  r.Feed(Bytes(std::string(1 << 20, 'x')), lines);  // a node that never sends a line end
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(r.pending().size(), ClusterLineReader::kMaxLineChars);
  r.Feed(Bytes("\n"), lines);
  ASSERT_EQ(lines.size(), 1u);
  // An endless sub-negotiation is given up and the text after it read again.
  r.Feed(Bytes("\xff\xfa" + std::string(ClusterLineReader::kMaxSubnegotiation + 1, 'z') + "ok\n"),
         lines);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "ok");
}

TEST(ClusterLineReader, RecognisesLoginQuestions) {
  EXPECT_TRUE(IsLoginPrompt("login: "));
  EXPECT_TRUE(IsLoginPrompt("Please enter your call: "));
  EXPECT_TRUE(IsLoginPrompt("Enter your CALLSIGN:"));
  EXPECT_FALSE(IsLoginPrompt("login"));
  EXPECT_FALSE(IsLoginPrompt("DX de K7GS:"));
  EXPECT_FALSE(IsLoginPrompt(""));
}

TEST(ClusterSession, AnswersTheLoginOnceAndBacksOff) {
  ClusterSession s("KT1F");
  std::vector<std::string> lines;
  std::string send;
  s.OnConnected();
  s.OnBytes(Bytes("Welcome\r\nlog"), lines, send);
  EXPECT_EQ(send, "");
  s.OnBytes(Bytes("in: "), lines, send);
  EXPECT_EQ(send, "KT1F\r\n");
  EXPECT_TRUE(s.loginSent());
  // The answered question is a line of its own: the node's next text starts a new one.
  EXPECT_EQ(lines, (std::vector<std::string>{"Welcome", "login: "}));
  s.OnBytes(Bytes("Hello KT1F\r\n"), lines, send);
  EXPECT_EQ(lines.back(), "Hello KT1F");
  send.clear();
  s.OnBytes(Bytes("login: \r\n"), lines, send);  // the echo of the question is not asked again
  EXPECT_EQ(send, "");
  // Failures double the pause up to five minutes; a login starts again at 5 s.
  EXPECT_EQ(s.OnDisconnected(), 5000);
  EXPECT_EQ(s.OnDisconnected(), 10000);
  EXPECT_EQ(s.OnDisconnected(), 20000);
  for (int i = 0; i < 10; ++i) (void)s.OnDisconnected();
  EXPECT_EQ(s.OnDisconnected(), kMaxRetryMs);
  s.OnConnected();
  s.OnBytes(Bytes("Please enter your call:\r\n"), lines, send);
  EXPECT_EQ(send, "KT1F\r\n");
  EXPECT_EQ(s.OnDisconnected(), 5000);
}

TEST(ClusterSession, CommandsAreSingleLines) {
  EXPECT_EQ(ClusterCommandLine("sh/dx 20"), "sh/dx 20\r\n");
  EXPECT_EQ(ClusterCommandLine("set/filter\r\nbye\x07"), "set/filterbye\r\n");
  EXPECT_EQ(ClusterSpotCommand({"OX3XR", 14025.3, "up 5"}), "DX 14025.3 OX3XR up 5");
  EXPECT_EQ(ClusterSpotCommand({"W1AW", 7030.0, ""}), "DX 7030.0 W1AW");
}

// The recorded session, split where the node asks for the call.
struct Recording {
  std::string banner, rest;
};
Recording LoadRecording() {
  const std::string text =
      test::ReadFileBytes(test::TestDataPath("spots/dxcluster-session-NG7M-2026-10-04.txt"));
  const size_t at = text.find("login: ");
  Recording r;
  if (at == std::string::npos) return r;
  r.banner = text.substr(0, at + 7);
  r.rest = text.substr(text.find('\n', at) + 1);
  return r;
}

TEST(ClusterClient, LogsInToARecordedNodeAndFillsTheRing) {
  VEXA_REQUIRE_TESTDATA("spots/dxcluster-session-NG7M-2026-10-04.txt");
  const Recording rec = LoadRecording();
  ASSERT_FALSE(rec.banner.empty());
  // Telnet option requests before the banner and a spot that ends in BEL bytes, as real nodes
  // send them.
  test::ScriptedTcpServer::Script script;
  script.reply = "\xff\xfd\x18\xff\xfb\x01" + rec.banner;
  script.afterLine =
      rec.rest +
      "DX de W3LPL:     14025.0  VP8PJ        CW                             2145Z\x07\x07\r\n";
  script.waitForRequest = false;
  script.holdOpen = true;
  test::ScriptedTcpServer node(script);
  ASSERT_TRUE(node.ok());
  ClusterClient client({"127.0.0.1", node.port(), "KT1F", 2000});
  SpotRing ring;
  std::vector<std::string> lines;
  bool sawLast = false;
  for (int i = 0; i < 200 && !sawLast; ++i) {
    client.Step(50, lines);
    for (const auto& l : lines) {
      (void)ring.addSpotFromLine(l);
      sawLast = sawLast || l.find("W3LPL") != std::string::npos;
    }
    lines.clear();
  }
  ASSERT_TRUE(sawLast) << client.status();
  EXPECT_TRUE(client.loggedIn());
  EXPECT_EQ(client.status(), "connected to 127.0.0.1:" + std::to_string(node.port()) + " as KT1F");
  // The options were refused, then the call was given.
  EXPECT_EQ(node.received().substr(0, 6), "\xff\xfc\x18\xff\xfe\x01");
  EXPECT_EQ(node.received().substr(6), "KT1F\r\n");
  // The 18 distinct spots of the recording and the one with the BEL bytes.
  EXPECT_EQ(ring.size(), 19);
  EXPECT_EQ(ring.DisplayLines().front(), "W3LPL     14025.0 2145 VP8PJ       CW");
  EXPECT_EQ(ring.DisplayLines().back(), "K7GS      14004.0 2141 C5R         op2");
  // A command goes out as one line.
  client.Send("sh/dx 5");
  client.Step(50, lines);
  for (int i = 0; i < 50 && node.received().find("sh/dx 5\r\n") == std::string::npos; ++i)
    client.Step(20, lines);
  EXPECT_NE(node.received().find("KT1F\r\nsh/dx 5\r\n"), std::string::npos);
}

TEST(ClusterClient, ALostNodeIsTriedAgainAfterThePause) {
  auto t = std::chrono::steady_clock::now();
  int port = 0;
  {
    test::ScriptedTcpServer gone({});
    port = gone.port();
  }
  ClusterClient client({"127.0.0.1", port, "KT1F", 1000}, [&t] { return t; });
  std::vector<std::string> lines;
  client.Step(1, lines);
  EXPECT_FALSE(client.connected());
  EXPECT_NE(client.status().find("cannot connect"), std::string::npos) << client.status();
  EXPECT_NE(client.status().find("next try in 5 s"), std::string::npos) << client.status();
  client.Step(1, lines);  // not yet due: no attempt, the same status
  EXPECT_NE(client.status().find("next try in 5 s"), std::string::npos);
  t += std::chrono::seconds(5);
  client.Step(1, lines);
  EXPECT_NE(client.status().find("next try in 10 s"), std::string::npos) << client.status();
  // A node that closes in the middle of a line: the half line is not a spot, the client waits.
  test::ScriptedTcpServer cut({"login: ", false, false, "DX de K7GS:      14004.0  C5"});
  ClusterClient c2({"127.0.0.1", cut.port(), "KT1F", 1000}, [&t] { return t; });
  for (int i = 0; i < 100 && c2.status().find("closed") == std::string::npos; ++i)
    c2.Step(20, lines);
  EXPECT_NE(c2.status().find("closed; next try in 5 s"), std::string::npos) << c2.status();
  EXPECT_EQ(lines, (std::vector<std::string>{"login: "}));  // the half line never comes out
}

}  // namespace
}  // namespace vexa::spots
