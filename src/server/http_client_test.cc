#include "server/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// A listening socket on 127.0.0.1 with a free port.
class Listener {
 public:
  Listener() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd_, 4);
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~Listener() { close(fd_); }
  uint16_t port() const { return port_; }

  // Accepts one connection, reads until the request's blank line and
  // `body_bytes` more, answers `reply` and closes. Returns what it read.
  std::string answer_one(const std::string& reply, size_t body_bytes) {
    int client = accept(fd_, nullptr, nullptr);
    std::string received;
    char buffer[4096];
    for (ssize_t n; (n = read(client, buffer, sizeof buffer)) > 0;) {
      received.append(buffer, static_cast<size_t>(n));
      size_t end = received.find("\r\n\r\n");
      if (end != std::string::npos && received.size() >= end + 4 + body_bytes) break;
    }
    (void)!write(client, reply.data(), reply.size());
    close(client);
    return received;
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

TEST(HttpClientTest, SendsTheRequestAndReadsTheReply) {
  Listener server;
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
  uint16_t port;
  {
    Listener gone;
    port = gone.port();
  }
  HttpRequest request;
  request.port = port;
  Result<HttpResponse> response = send_http_request(request);
  ASSERT_FALSE(response.ok());
  EXPECT_EQ(response.error().message(), "Connection refused");
}

TEST(HttpClientTest, ASilentServerRunsIntoTheTimeOut) {
  // The kernel accepts the connection; nobody ever answers.
  Listener silent;
  HttpRequest request;
  request.port = silent.port();
  request.timeout = std::chrono::milliseconds(200);
  Result<HttpResponse> response = send_http_request(request);
  ASSERT_FALSE(response.ok());
  EXPECT_EQ(response.error().message(), "The socket was closed due to a timeout");
}

TEST(HttpClientTest, AReplyThatIsNoHttpFails) {
  Listener server;
  std::thread answer([&] { server.answer_one("garbage\r\n\r\n", 0); });
  HttpRequest request;
  request.port = server.port();
  Result<HttpResponse> response = send_http_request(request);
  answer.join();
  EXPECT_FALSE(response.ok());
}

}  // namespace
