// What a route hands back to the HTTP layer: status, one content type, body.
// Every reply names its content type; none is plain text.
#pragma once

#include <string>

#include "base/json.h"

struct Reply {
  int status = 200;
  std::string content_type;
  std::string body;
};

inline constexpr char kJsonType[] = "application/json";
inline constexpr char kHtmlType[] = "text/html; charset=utf-8";
inline constexpr char kSvgType[] = "image/svg+xml";
inline constexpr char kPngType[] = "image/png";

// 200 "application/json" with `text` as it is.
Reply json_reply(std::string text);
// 200 "application/json" with the compact text of `value` (keys ascending).
Reply json_reply(const Json& value);
// 200 "text/html; charset=utf-8".
Reply html_reply(std::string text);
// `status` with {"error":message,"ok":false}.
Reply error_reply(int status, const std::string& message);
// 404 with the fixed body {"error":"not found"}.
Reply not_found_reply();
