#include "server/reply.h"

Reply json_reply(std::string text) { return {200, kJsonType, std::move(text)}; }

Reply json_reply(const Json& value) { return json_reply(write_json(value)); }

Reply html_reply(std::string text) { return {200, kHtmlType, std::move(text)}; }

Reply error_reply(int status, const std::string& message) {
  return {status, kJsonType, write_json(Json{{"error", message}, {"ok", false}})};
}

Reply not_found_reply() { return {404, kJsonType, R"({"error":"not found"})"}; }
