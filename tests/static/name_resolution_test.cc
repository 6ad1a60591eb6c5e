// The executable is linked statically with glibc (see CMakeLists.txt), and
// this test is linked the same way. glibc then cannot load name-service
// modules; its built-in "files" and "dns" sources must serve the port
// announcement, which resolves the container host's name.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "server/port_registration.h"
#include "server/test_listener.h"

namespace {

// A name besides localhost that /etc/hosts maps to 127.0.0.1, if any.
std::optional<std::string> hosts_file_name() {
  std::ifstream hosts("/etc/hosts");
  for (std::string line; std::getline(hosts, line);) {
    std::istringstream fields(line.substr(0, line.find('#')));
    std::string address, name;
    if (!(fields >> address) || address != "127.0.0.1") continue;
    while (fields >> name) {
      if (name != "localhost") return name;
    }
  }
  return std::nullopt;
}

// Opens a connection to `port` of 127.0.0.1 and closes it at once.
void connect_and_close(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  (void)!connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  close(fd);
}

// The announcement sent to `host` reaches a listener on 127.0.0.1.
void expect_announcement_arrives(const std::string& host) {
  TestListener service;
  std::string received;
  std::thread reader([&] { received = service.receive_one(); });
  post_port_forward_to(host, service.port(), register_body(8782));
  // Had the name not resolved, nothing would have connected: this empty
  // connection then ends the reader's wait instead of the announcement.
  connect_and_close(service.port());
  reader.join();
  EXPECT_EQ(received, port_forward_request(host, register_body(8782))) << host;
}

TEST(StaticNameResolution, Localhost) { expect_announcement_arrives("localhost"); }

TEST(StaticNameResolution, NameFromHostsFile) {
  std::optional<std::string> name = hosts_file_name();
  if (!name) GTEST_SKIP() << "/etc/hosts maps no other name to 127.0.0.1";
  expect_announcement_arrives(*name);
}

TEST(StaticNameResolution, UnknownNameFailsQuietly) {
  TestListener service;
  std::string received = "unset";
  std::thread reader([&] { received = service.receive_one(); });
  post_port_forward_to("no-such-host.invalid", service.port(), register_body(8782));
  connect_and_close(service.port());
  reader.join();
  EXPECT_EQ(received, "");
}

}  // namespace
