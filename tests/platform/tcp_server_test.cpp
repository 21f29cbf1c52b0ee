// The listening socket of the KISS port: several clients, bytes both ways, and a client that
// never reads is dropped once its outbox is full while the others go on.
#include "platform/net/tcp_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/net/tcp_socket.h"

namespace vexa::platform {
namespace {

TEST(TcpServer, ServesSeveralClientsAndDropsOneThatNeverReads) {
  TcpServer server;
  std::string error;
  ASSERT_EQ(server.Listen("127.0.0.1", 0, error), 0) << error;
  ASSERT_GT(server.port(), 0);
  TcpSocket reader, silent;
  ASSERT_EQ(reader.Connect("127.0.0.1", server.port(), 1000, error), kTcpOk) << error;
  ASSERT_EQ(silent.Connect("127.0.0.1", server.port(), 1000, error), kTcpOk) << error;
  std::string got;
  auto onBytes = [&](int, std::span<const uint8_t> b) { got.append(b.begin(), b.end()); };
  for (int i = 0; i < 50 && server.clientCount() < 2; ++i) server.Service(onBytes, 20);
  ASSERT_EQ(server.clientCount(), 2);
  ASSERT_TRUE(reader.SendAll("from the reader", 1000));
  ASSERT_TRUE(silent.SendAll(" and the silent one", 1000));
  for (int i = 0; i < 50 && got.size() < 34; ++i) server.Service(onBytes, 20);
  EXPECT_EQ(got.size(), 34u);
  // 4 kB pieces until the kernel's buffers and the outbox of the silent client are full (at
  // most 64 MB): it is dropped, the reader takes everything.
  const std::vector<uint8_t> piece(4096, 0x55);
  size_t received = 0, pieces = 0;
  uint8_t buf[65536];
  for (; pieces < 16384 && server.dropped() == 0; ++pieces) {
    server.Broadcast(piece);
    server.Service(onBytes, 0);
    for (int n; (n = reader.Receive(buf, sizeof buf, 0)) > 0;) received += static_cast<size_t>(n);
  }
  for (int i = 0; i < 200 && received < pieces * 4096; ++i) {
    server.Service(onBytes, 5);
    for (int n; (n = reader.Receive(buf, sizeof buf, 5)) > 0;) received += static_cast<size_t>(n);
  }
  EXPECT_EQ(received, pieces * 4096);
  EXPECT_EQ(server.dropped(), 1);
  EXPECT_EQ(server.clientCount(), 1);
}

}  // namespace
}  // namespace vexa::platform
