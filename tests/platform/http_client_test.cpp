// The HTTP client against a server on 127.0.0.1 started inside the test.
#include "platform/http/http_client.h"

#include <gtest/gtest.h>

#include "callinfo/local_http_server.h"

namespace vexa::platform {
namespace {

TEST(HttpClient, GetsBodiesAndStatusCodes) {
  std::string big(200000, 'x');
  for (size_t i = 0; i < big.size(); i += 7) big[i] = static_cast<char>('A' + i % 26);
  test::LocalHttpServer server(
      {{"/a.txt", {200, "hello\r\nworld"}}, {"/big", {200, big}}, {"/gone", {410, "gone"}}});
  ASSERT_TRUE(server.ok());
  HttpResponse r;
  ASSERT_EQ(HttpGet(server.Url("/a.txt"), r), kHttpOk);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "hello\r\nworld");
  ASSERT_EQ(HttpGet(server.Url("/big"), r), kHttpOk);
  EXPECT_EQ(r.body, big);
  ASSERT_EQ(HttpGet(server.Url("/gone"), r), kHttpOk);
  EXPECT_EQ(r.status, 410);
  ASSERT_EQ(HttpGet(server.Url("/nothing"), r), kHttpOk);
  EXPECT_EQ(r.status, 404);
}

TEST(HttpClient, RefusesBodiesBeyondTheLimit) {
  test::LocalHttpServer server({{"/big", {200, std::string(5000, 'y')}}});
  ASSERT_TRUE(server.ok());
  HttpOptions o;
  o.maxBytes = 4096;
  HttpResponse r;
  EXPECT_EQ(HttpGet(server.Url("/big"), r, o), kHttpTooLarge);
  EXPECT_TRUE(r.body.empty());
}

TEST(HttpClient, PostsForms) {
  test::LocalHttpServer server({{"/form", {200, "ok"}}});
  ASSERT_TRUE(server.ok());
  HttpResponse r;
  const std::string form = "call=" + UrlEncode("DL1ABC/P") + "&text=" + UrlEncode("tnx 73 & gl");
  ASSERT_EQ(HttpPostForm(server.Url("/form"), form, r), kHttpOk);
  EXPECT_EQ(r.body, "ok");
  EXPECT_EQ(server.lastRequest().rfind("POST /form ", 0), 0u);
  EXPECT_NE(server.lastRequest().find("\r\n\r\ncall=DL1ABC%2FP&text=tnx%2073%20%26%20gl"),
            std::string::npos);
}

TEST(HttpClient, ReportsFailedConnections) {
  int port = 0;
  {
    test::LocalHttpServer gone({});
    ASSERT_TRUE(gone.ok());
    port = std::stoi(gone.Url("").substr(17));
  }  // closed again: nothing listens on the port now
  HttpResponse r;
  EXPECT_EQ(HttpGet("http://127.0.0.1:" + std::to_string(port) + "/x", r), kHttpTransferFailed);
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(r.error.empty());
  EXPECT_EQ(HttpGet("notascheme://x", r), kHttpTransferFailed);
}

}  // namespace
}  // namespace vexa::platform
