// Announces the live server's port to the container host's port-forward
// service, so a browser outside the container can reach the app, and
// withdraws the announcement at shutdown.
//
// Every announcement is one raw HTTP request written on a fresh connection;
// the answer is never read, and every failure (no such host, nobody
// listening, a time-out) is silent. A call returns within about two seconds
// in all cases: resolution, connect and write each have their own bound.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr uint16_t kPortForwardServicePort = 47084;
inline constexpr char kRegisteredName[] = "tovik-footprint";
inline constexpr char kRegistrationReason[] = "PCB footprint viewer live app (AI-drivable)";
// The name under which a container reaches the machine that runs it.
inline constexpr char kContainerHostName[] = "host.docker.internal";

inline constexpr std::chrono::milliseconds kResolveTimeout{400};
inline constexpr std::chrono::milliseconds kConnectTimeout{800};
inline constexpr std::chrono::milliseconds kWriteTimeout{800};

// The JSON bodies of the two announcements.
std::string register_body(uint16_t port);
std::string unregister_body(uint16_t port);

// The whole request (headers and body) sent to `host` for `body`.
std::string port_forward_request(std::string_view host, std::string_view body);

// Sends `body` to the port-forward service on the container host.
void post_port_forward(std::string_view body);

// The same, to any host and port (tests point it at a local listener).
void post_port_forward_to(const std::string& host, uint16_t service_port, std::string_view body);

// Started on a detached thread after the start-up line; never waited for.
void register_port(uint16_t port);

// Called on the serving thread when the loop has ended, and waited for.
void unregister_port(uint16_t port);
