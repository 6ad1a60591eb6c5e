#include "server/request_rules.h"

#include <utility>

#include "base/file_io.h"

namespace {

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string_view request_path(std::string_view target) { return target.substr(0, target.find('?')); }

std::string request_body_text(std::string_view method, std::string body) {
  if (method != "POST" || !is_valid_utf8(body)) return {};
  return body;
}

bool is_same_origin(std::string_view origin, std::string_view host) {
  constexpr std::string_view kScheme = "http://";
  if (host.empty() || origin.size() <= kScheme.size() || !origin.starts_with(kScheme)) return false;
  return equal_ignoring_ascii_case(origin.substr(kScheme.size()), host);
}

Reply cross_origin_reply() { return error_reply(403, "cross-origin request refused"); }

Reply body_too_large_reply() { return error_reply(413, "request body larger than 32 MiB"); }

Reply bad_request_reply() { return error_reply(400, "bad request"); }
