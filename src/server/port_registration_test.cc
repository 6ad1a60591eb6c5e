#include "server/port_registration.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

TEST(PortRegistrationTest, Bodies) {
  EXPECT_EQ(register_body(8782),
            R"({"port":8782,"action":"register","name":"tovik-footprint",)"
            R"j("reason":"PCB footprint viewer live app (AI-drivable)","expose":"internal"})j");
  EXPECT_EQ(unregister_body(8782), R"({"port":8782,"action":"unregister"})");
  EXPECT_EQ(unregister_body(0), R"({"port":0,"action":"unregister"})");
}

TEST(PortRegistrationTest, RequestCarriesTheBodyAndItsLength) {
  EXPECT_EQ(port_forward_request("host.docker.internal", R"({"port":1,"action":"unregister"})"),
            "POST /port-forward HTTP/1.1\r\nHost: host.docker.internal\r\nContent-Type: application/json\r\n"
            "Content-Length: 32\r\nConnection: close\r\n\r\n{\"port\":1,\"action\":\"unregister\"}");
  // The length counts bytes, not characters.
  EXPECT_NE(port_forward_request("h", "é").find("Content-Length: 2\r\n"), std::string::npos);
}

// A listening socket on 127.0.0.1 with a free port.
class LocalListener {
 public:
  LocalListener() {
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
  ~LocalListener() { close(fd_); }

  uint16_t port() const { return port_; }

  // Accepts one connection and reads it to its end.
  std::string receive_one() {
    int client = accept(fd_, nullptr, nullptr);
    std::string received;
    char buffer[512];
    for (ssize_t n; (n = read(client, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(n));
    close(client);
    return received;
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

TEST(PortRegistrationTest, WritesTheRequestAndCloses) {
  LocalListener service;
  std::string received;
  std::thread reader([&] { received = service.receive_one(); });
  post_port_forward_to("127.0.0.1", service.port(), register_body(8782));
  reader.join();
  EXPECT_EQ(received, port_forward_request("127.0.0.1", register_body(8782)));
}

// The calls below must come back on their own; the generous bound only
// catches a call that waits for an answer or for the kernel's own time-outs.
void expect_returns_promptly(const std::string& host, uint16_t port) {
  auto start = std::chrono::steady_clock::now();
  post_port_forward_to(host, port, unregister_body(8782));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500)) << host << ":" << port;
}

TEST(PortRegistrationTest, FailuresAreSilentAndBounded) {
  // A service that accepts (the kernel does) but never reads or answers.
  LocalListener silent;
  expect_returns_promptly("127.0.0.1", silent.port());
  // Nobody listening: the port of a listener that is gone.
  uint16_t closed_port;
  {
    LocalListener gone;
    closed_port = gone.port();
  }
  expect_returns_promptly("127.0.0.1", closed_port);
  // A name that cannot resolve.
  expect_returns_promptly("no-such-host.invalid", 47084);
}

}  // namespace
