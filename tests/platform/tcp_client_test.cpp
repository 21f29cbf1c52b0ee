// The non-blocking TCP client against a local server: connect, a round trip, the other end
// closing, a refused connection and a bad port, all without waiting in the client.
#include "platform/net/tcp_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/line_server.h"

namespace vexa::platform {
namespace {

// Calls Poll/Receive until `done` or about two seconds passed.
template <typename F>
void Until(F done) {
  for (int i = 0; i < 2000 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(TcpClient, ConnectsSendsAndReceivesWithoutBlocking) {
  test::LineServer server([](const std::string& l) { return "echo " + l + "\n"; });
  ASSERT_GT(server.port(), 0);
  TcpClient c;
  ASSERT_TRUE(c.Connect("localhost", server.port())) << c.error();
  // Sent while still connecting: queued and flushed once open.
  ASSERT_TRUE(c.Send("hello\n"));
  Until([&] { return c.Poll() == TcpClient::State::Open; });
  ASSERT_EQ(c.state(), TcpClient::State::Open) << c.error();
  std::string got;
  Until([&] {
    got += c.Receive();
    return got.find('\n') != std::string::npos;
  });
  EXPECT_EQ(got, "echo hello\n");
  EXPECT_EQ(c.Receive(), "");  // nothing more: returns at once

  server.Drop();
  Until([&] {
    (void)c.Receive();
    return c.state() == TcpClient::State::Closed;
  });
  EXPECT_EQ(c.state(), TcpClient::State::Closed);
  EXPECT_NE(c.error().find("closed"), std::string::npos) << c.error();
  EXPECT_FALSE(c.Send("x\n"));
}

TEST(TcpClient, ARefusedConnectionAndBadAddressesAreErrors) {
  int freePort = 0;
  {
    test::LineServer probe([](const std::string&) { return std::string(); });
    freePort = probe.port();
  }  // closed again: nothing listens there now
  TcpClient c;
  if (c.Connect("127.0.0.1", freePort)) {
    Until([&] { return c.Poll() != TcpClient::State::Connecting; });
  }
  EXPECT_EQ(c.state(), TcpClient::State::Closed);
  EXPECT_NE(c.error().find("127.0.0.1:" + std::to_string(freePort)), std::string::npos)
      << c.error();
  EXPECT_FALSE(c.Connect("127.0.0.1", 0));
  EXPECT_FALSE(c.Connect("127.0.0.1", 70000));
  EXPECT_FALSE(c.Connect("no such host name.invalid", 4532));
  EXPECT_EQ(c.Receive(), "");
}

}  // namespace
}  // namespace vexa::platform
