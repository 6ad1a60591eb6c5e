// A small blocking HTTP/1.1 client for the `ui` command: one request on a
// fresh connection, the whole exchange (connect, send, receive) bounded by
// one time-out.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.h"

struct HttpRequest {
  std::string method = "GET";
  std::string host = "127.0.0.1";
  uint16_t port = 80;
  std::string target = "/";
  std::string body;          // sent only when not empty
  std::string content_type;  // header left out when empty
  std::chrono::milliseconds timeout = std::chrono::seconds(30);
};

struct HttpResponse {
  unsigned status = 0;
  std::string body;
};

// Sends `request` and reads the whole reply. Failures carry the network
// library's message ("Connection refused", a time-out, a malformed reply).
Result<HttpResponse> send_http_request(const HttpRequest& request);
