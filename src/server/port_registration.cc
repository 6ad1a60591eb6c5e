#include "server/port_registration.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace {

struct Address {
  sockaddr_storage storage{};
  socklen_t length = 0;
  int family = 0;
};

// What the resolver thread hands back; shared so that a resolver that
// outlives its caller's wait still has somewhere to write.
struct Resolution {
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  std::optional<Address> address;
};

// The first address of `host`, or nothing. The system's resolver can block
// for many seconds when no DNS server answers; that must not hold up the
// server's shutdown, so the look-up runs on its own thread and is abandoned
// after kResolveTimeout.
std::optional<Address> resolve_first(const std::string& host, uint16_t port) {
  auto resolution = std::make_shared<Resolution>();
  std::thread([resolution, host, port] {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    std::optional<Address> first;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) == 0 && list) {
      Address a;
      std::memcpy(&a.storage, list->ai_addr, list->ai_addrlen);
      a.length = list->ai_addrlen;
      a.family = list->ai_family;
      first = a;
    }
    if (list) freeaddrinfo(list);
    std::lock_guard lock(resolution->mutex);
    resolution->address = first;
    resolution->done = true;
    resolution->done_cv.notify_all();
  }).detach();
  std::unique_lock lock(resolution->mutex);
  if (!resolution->done_cv.wait_for(lock, kResolveTimeout, [&] { return resolution->done; })) return std::nullopt;
  return resolution->address;
}

// A connected socket, or -1. The connect is non-blocking so that a host that
// drops packets costs kConnectTimeout, not the kernel's minutes.
int connect_with_timeout(const Address& address) {
  int fd = socket(address.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) != 0) {
    if (errno != EINPROGRESS) {
      close(fd);
      return -1;
    }
    pollfd p{fd, POLLOUT, 0};
    int ready;
    do ready = poll(&p, 1, static_cast<int>(kConnectTimeout.count()));
    while (ready < 0 && errno == EINTR);
    int so_error = 0;
    socklen_t len = sizeof so_error;
    if (ready != 1 || (p.revents & (POLLERR | POLLHUP)) ||
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len) != 0 || so_error != 0) {
      close(fd);
      return -1;
    }
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

void write_all(int fd, std::string_view data) {
  timeval tv{};
  tv.tv_sec = kWriteTimeout.count() / 1000;
  tv.tv_usec = (kWriteTimeout.count() % 1000) * 1000;
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  while (!data.empty()) {
    ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace

std::string register_body(uint16_t port) {
  return R"({"port":)" + std::to_string(port) + R"(,"action":"register","name":")" + kRegisteredName +
         R"(","reason":")" + kRegistrationReason + R"(","expose":"internal"})";
}

std::string unregister_body(uint16_t port) {
  return R"({"port":)" + std::to_string(port) + R"(,"action":"unregister"})";
}

std::string port_forward_request(std::string_view host, std::string_view body) {
  std::string request = "POST /port-forward HTTP/1.1\r\nHost: ";
  request += host;
  request += "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\nConnection: close\r\n\r\n";
  request += body;
  return request;
}

void post_port_forward_to(const std::string& host, uint16_t service_port, std::string_view body) {
  std::optional<Address> address = resolve_first(host, service_port);
  if (!address) return;
  int fd = connect_with_timeout(*address);
  if (fd < 0) return;
  write_all(fd, port_forward_request(host, body));
  close(fd);
}

void post_port_forward(std::string_view body) {
  post_port_forward_to(kContainerHostName, kPortForwardServicePort, body);
}

void register_port(uint16_t port) { post_port_forward(register_body(port)); }

void unregister_port(uint16_t port) { post_port_forward(unregister_body(port)); }
