#include "server/http_client.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "server/test_listener.h"

namespace {

TEST(HttpClientTest, SendsTheRequestAndReadsTheReply) {
  TestListener server;
  std::string received;
  std::thread answer([&] {
    received = server.answer_one("HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\n\r\nhello", 10);
  });
  HttpRequest request;
  request.method = "POST";
  request.port = server.port();
  request.target = "/eval";
  request.body = R"({"code":1})";
  request.content_type = "application/json";
  Result<HttpResponse> response = send_http_request(request);
  answer.join();
  ASSERT_TRUE(response.ok()) << response.error().message();
  EXPECT_EQ(response->status, 404u);
  EXPECT_EQ(response->body, "hello");
  EXPECT_TRUE(received.starts_with("POST /eval HTTP/1.1\r\n")) << received;
  EXPECT_NE(received.find("Content-Type: application/json\r\n"), std::string::npos) << received;
  EXPECT_NE(received.find("Content-Length: 10\r\n"), std::string::npos) << received;
  EXPECT_TRUE(received.ends_with("\r\n\r\n{\"code\":1}")) << received;
}

TEST(HttpClientTest, ConnectionRefused) {
  HttpRequest request;
  request.port = closed_port();
  Result<HttpResponse> response = send_http_request(request);
  ASSERT_FALSE(response.ok());
  EXPECT_EQ(response.error().message(), "Connection refused");
}

TEST(HttpClientTest, ASilentServerRunsIntoTheTimeOut) {
  // The kernel accepts the connection; nobody ever answers.
  TestListener silent;
  HttpRequest request;
  request.port = silent.port();
  request.timeout = std::chrono::milliseconds(200);
  Result<HttpResponse> response = send_http_request(request);
  ASSERT_FALSE(response.ok());
  EXPECT_EQ(response.error().message(), "The socket was closed due to a timeout");
}

TEST(HttpClientTest, AReplyThatIsNoHttpFails) {
  TestListener server;
  std::thread answer([&] { server.answer_one("garbage\r\n\r\n", 0); });
  HttpRequest request;
  request.port = server.port();
  Result<HttpResponse> response = send_http_request(request);
  answer.join();
  EXPECT_FALSE(response.ok());
}

}  // namespace
