// What the HTTP layer decides on its own, before a request reaches the route
// table: how the path and body handed to `route_request` are made, and which
// requests are refused outright. Kept apart from the HTTP library so that the
// rules can be tested without a socket.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "server/reply.h"

// Bodies above this are refused with 413; the server does not buffer more.
inline constexpr size_t kMaxRequestBodyBytes = size_t{32} << 20;

// The request target up to, not including, the first "?". Nothing is decoded.
std::string_view request_path(std::string_view target);

// The body as routes see it: for POST the received bytes when they are UTF-8,
// else the empty text; for every other method the empty text.
std::string request_body_text(std::string_view method, std::string body);

// Whether a request carrying `origin` comes from the server's own page,
// i.e. `origin` is "http://" followed by the Host header (letters compared
// without regard to case). Anything else, "null" included, is foreign.
bool is_same_origin(std::string_view origin, std::string_view host);

// 403: a request from another site's page.
Reply cross_origin_reply();
// 413: a body above kMaxRequestBodyBytes.
Reply body_too_large_reply();
// 400: bytes that are not an HTTP request.
Reply bad_request_reply();
