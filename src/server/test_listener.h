// For tests of the code that connects out: a plain listening socket on a free
// port of 127.0.0.1 that plays the other side, one connection at a time.
// Test-only; nothing outside the *_test.cc files includes it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

class TestListener {
 public:
  // The kernel accepts connections into the backlog even while nobody calls
  // accept, which is how a silent service looks to a client.
  TestListener() {
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
  ~TestListener() { close(fd_); }
  TestListener(const TestListener&) = delete;
  TestListener& operator=(const TestListener&) = delete;

  uint16_t port() const { return port_; }

  // Accepts one connection and reads it until the client closes it.
  std::string receive_one() {
    int client = accept(fd_, nullptr, nullptr);
    std::string received;
    char buffer[4096];
    for (ssize_t n; (n = read(client, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(n));
    close(client);
    return received;
  }

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

// A port of 127.0.0.1 on which nobody listens: that of a listener just closed.
inline uint16_t closed_port() { return TestListener().port(); }
