#include "authoring/json_record.h"

#include <cstdio>

namespace {

// A string as a debugging aid shows it: quoted, with quotes, backslashes and
// control characters escaped.
std::string quote_for_message(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char buffer[16];
          std::snprintf(buffer, sizeof buffer, "\\u{%x}", static_cast<unsigned char>(c));
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace

std::string describe_json_value(const JsonNode& node) {
  switch (node.kind) {
    case JsonNode::Kind::kNull: return "null";
    case JsonNode::Kind::kBool: return node.boolean ? "boolean `true`" : "boolean `false`";
    case JsonNode::Kind::kInteger: return "integer `" + std::to_string(node.integer) + "`";
    case JsonNode::Kind::kUnsigned: return "integer `" + std::to_string(node.unsigned_integer) + "`";
    case JsonNode::Kind::kFloat: return "floating point `" + format_json_double(node.number) + "`";
    case JsonNode::Kind::kString: return "string " + quote_for_message(node.text);
    case JsonNode::Kind::kArray: return "sequence";
    case JsonNode::Kind::kObject: return "map";
  }
  return "value";
}

Error json_error_at(std::string message, const JsonNode& node) {
  if (node.line != 0)
    message += " at line " + std::to_string(node.line) + " column " + std::to_string(node.column);
  return Error(std::move(message));
}

Error json_type_error(const JsonNode& node, std::string_view expected) {
  return json_error_at("invalid type: " + describe_json_value(node) + ", expected " + std::string(expected), node);
}

Result<std::string> read_json_string(const JsonNode& node) {
  if (node.kind != JsonNode::Kind::kString) return json_type_error(node, "a string");
  return node.text;
}

Result<double> read_json_number(const JsonNode& node) {
  if (!node.is_number()) return json_type_error(node, "f64");
  return node.as_double();
}
