#include "server/port_registration.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "server/test_listener.h"

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

TEST(PortRegistrationTest, WritesTheRequestAndCloses) {
  TestListener service;
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
  TestListener silent;
  expect_returns_promptly("127.0.0.1", silent.port());
  // Nobody listening: the port of a listener that is gone.
  expect_returns_promptly("127.0.0.1", closed_port());
  // A name that cannot resolve.
  expect_returns_promptly("no-such-host.invalid", 47084);
}

}  // namespace
