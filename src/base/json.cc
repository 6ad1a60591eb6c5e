#include "base/json.h"

#include "base/file_io.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <system_error>

namespace {

// A recursive-descent reader over the whole text. Depth is bounded by
// kMaxJsonDepth, so recursion cannot exhaust the stack on any input.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  Result<JsonNode> parse_document() {
    JsonNode node;
    skip_whitespace();
    if (!parse_value(node, 0)) return std::move(*error_);
    skip_whitespace();
    if (pos_ < text_.size()) {
      advance();
      return fail_here("trailing characters");
    }
    return node;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  size_t line_ = 1;
  size_t column_ = 0;  // of the last character consumed
  std::optional<Error> error_;

  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return text_[pos_]; }

  void advance() {
    if (text_[pos_] == '\n') {
      ++line_;
      column_ = 0;
    } else {
      ++column_;
    }
    ++pos_;
  }

  Error fail_here(const std::string& what) {
    return Error(what + " at line " + std::to_string(line_) + " column " + std::to_string(column_));
  }

  bool fail(const std::string& what) {
    error_ = fail_here(what);
    return false;
  }

  void skip_whitespace() {
    while (!at_end()) {
      char c = peek();
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
      advance();
    }
  }

  void mark_end(JsonNode& node) const {
    node.line = line_;
    node.column = column_;
  }

  bool parse_value(JsonNode& node, int depth) {
    if (at_end()) return fail("EOF while parsing a value");
    switch (peek()) {
      case '{': return parse_object(node, depth + 1);
      case '[': return parse_array(node, depth + 1);
      case '"':
        node.kind = JsonNode::Kind::kString;
        if (!parse_string(node.text)) return false;
        mark_end(node);
        return true;
      case 't': return parse_literal(node, "true", JsonNode::Kind::kBool, true);
      case 'f': return parse_literal(node, "false", JsonNode::Kind::kBool, false);
      case 'n': return parse_literal(node, "null", JsonNode::Kind::kNull, false);
      default:
        if (peek() == '-' || (peek() >= '0' && peek() <= '9')) return parse_number(node);
        advance();
        return fail("expected value");
    }
  }

  bool parse_literal(JsonNode& node, std::string_view word, JsonNode::Kind kind, bool value) {
    for (char expected : word) {
      if (at_end()) return fail("EOF while parsing a value");
      if (peek() != expected) {
        advance();
        return fail("expected ident");
      }
      advance();
    }
    node.kind = kind;
    node.boolean = value;
    mark_end(node);
    return true;
  }

  bool parse_number(JsonNode& node) {
    const size_t start = pos_;
    bool is_float = false;
    if (peek() == '-') advance();
    if (at_end()) return fail("EOF while parsing a value");
    if (peek() == '0') {
      advance();
    } else if (peek() >= '1' && peek() <= '9') {
      while (!at_end() && peek() >= '0' && peek() <= '9') advance();
    } else {
      advance();
      return fail("invalid number");
    }
    if (!at_end() && peek() == '.') {
      is_float = true;
      advance();
      if (at_end()) return fail("EOF while parsing a value");
      if (peek() < '0' || peek() > '9') {
        advance();
        return fail("invalid number");
      }
      while (!at_end() && peek() >= '0' && peek() <= '9') advance();
    }
    if (!at_end() && (peek() == 'e' || peek() == 'E')) {
      is_float = true;
      advance();
      if (!at_end() && (peek() == '+' || peek() == '-')) advance();
      if (at_end()) return fail("EOF while parsing a value");
      if (peek() < '0' || peek() > '9') {
        advance();
        return fail("invalid number");
      }
      while (!at_end() && peek() >= '0' && peek() <= '9') advance();
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + pos_;
    mark_end(node);
    if (!is_float) {
      if (*first == '-') {
        int64_t v;
        if (std::from_chars(first, last, v).ec == std::errc()) {
          node.kind = JsonNode::Kind::kInteger;
          node.integer = v;
          return true;
        }
      } else {
        uint64_t v;
        if (std::from_chars(first, last, v).ec == std::errc()) {
          if (v <= static_cast<uint64_t>(INT64_MAX)) {
            node.kind = JsonNode::Kind::kInteger;
            node.integer = static_cast<int64_t>(v);
          } else {
            node.kind = JsonNode::Kind::kUnsigned;
            node.unsigned_integer = v;
          }
          return true;
        }
      }
    }
    double v = 0;
    auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec == std::errc::result_out_of_range) {
      // from_chars reports underflow and overflow alike; strtod tells them
      // apart (underflow reads as zero or a subnormal, overflow as infinity).
      v = std::strtod(std::string(first, last).c_str(), nullptr);
    } else if (ec != std::errc()) {
      return fail("invalid number");
    }
    if (!std::isfinite(v)) return fail("number out of range");
    node.kind = JsonNode::Kind::kFloat;
    node.number = v;
    return true;
  }

  bool parse_hex4(uint32_t& out) {
    out = 0;
    for (int i = 0; i < 4; ++i) {
      if (at_end()) return fail("EOF while parsing a string");
      char c = peek();
      advance();
      out <<= 4;
      if (c >= '0' && c <= '9') out |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') out |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') out |= static_cast<uint32_t>(c - 'A' + 10);
      else return fail("invalid escape");
    }
    return true;
  }

  static void append_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  bool parse_escape(std::string& out) {
    if (at_end()) return fail("EOF while parsing a string");
    char c = peek();
    advance();
    switch (c) {
      case '"': out += '"'; return true;
      case '\\': out += '\\'; return true;
      case '/': out += '/'; return true;
      case 'b': out += '\b'; return true;
      case 'f': out += '\f'; return true;
      case 'n': out += '\n'; return true;
      case 'r': out += '\r'; return true;
      case 't': out += '\t'; return true;
      case 'u': break;
      default: return fail("invalid escape");
    }
    uint32_t cp;
    if (!parse_hex4(cp)) return false;
    if (cp >= 0xDC00 && cp <= 0xDFFF) return fail("lone leading surrogate in hex escape");
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (text_.substr(pos_, 2) != "\\u") return fail("unexpected end of hex escape");
      advance();
      advance();
      uint32_t low;
      if (!parse_hex4(low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return fail("lone leading surrogate in hex escape");
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    append_utf8(out, cp);
    return true;
  }

  bool parse_string(std::string& out) {
    advance();  // opening quote
    for (;;) {
      // Copy plain runs in one step; only quotes, escapes and control
      // characters need a closer look.
      size_t run = pos_;
      while (run < text_.size()) {
        unsigned char c = static_cast<unsigned char>(text_[run]);
        if (c == '"' || c == '\\' || c < 0x20) break;
        ++run;
      }
      if (run > pos_) {
        std::string_view chunk = text_.substr(pos_, run - pos_);
        if (!is_valid_utf8_chunk(chunk)) return fail(std::string(kNotUtf8Json));
        out.append(chunk);
        column_ += run - pos_;
        pos_ = run;
      }
      if (at_end()) return fail("EOF while parsing a string");
      char c = peek();
      advance();
      if (c == '"') return true;
      if (c == '\\') {
        if (!parse_escape(out)) return false;
        continue;
      }
      return fail("control character (\\u0000-\\u001F) found while parsing a string");
    }
  }

  static constexpr std::string_view kNotUtf8Json = "invalid unicode code point";

  static bool is_valid_utf8_chunk(std::string_view chunk);

  bool parse_array(JsonNode& node, int depth) {
    if (depth > kMaxJsonDepth) {
      advance();
      return fail("recursion limit exceeded");
    }
    node.kind = JsonNode::Kind::kArray;
    advance();
    skip_whitespace();
    if (!at_end() && peek() == ']') {
      advance();
      mark_end(node);
      return true;
    }
    for (;;) {
      node.items.emplace_back();
      if (!parse_value(node.items.back(), depth)) return false;
      skip_whitespace();
      if (at_end()) return fail("EOF while parsing a list");
      char c = peek();
      advance();
      if (c == ']') break;
      if (c != ',') return fail("expected `,` or `]`");
      skip_whitespace();
      if (!at_end() && peek() == ']') {
        advance();
        return fail("trailing comma");
      }
    }
    mark_end(node);
    return true;
  }

  bool parse_object(JsonNode& node, int depth) {
    if (depth > kMaxJsonDepth) {
      advance();
      return fail("recursion limit exceeded");
    }
    node.kind = JsonNode::Kind::kObject;
    advance();
    skip_whitespace();
    if (!at_end() && peek() == '}') {
      advance();
      mark_end(node);
      return true;
    }
    for (;;) {
      if (at_end()) return fail("EOF while parsing an object");
      if (peek() != '"') {
        advance();
        return fail("key must be a string");
      }
      std::string key;
      if (!parse_string(key)) return false;
      skip_whitespace();
      if (at_end()) return fail("EOF while parsing an object");
      if (peek() != ':') {
        advance();
        return fail("expected `:`");
      }
      advance();
      skip_whitespace();
      node.members.emplace_back(std::move(key), JsonNode{});
      if (!parse_value(node.members.back().second, depth)) return false;
      skip_whitespace();
      if (at_end()) return fail("EOF while parsing an object");
      char c = peek();
      advance();
      if (c == '}') break;
      if (c != ',') return fail("expected `,` or `}`");
      skip_whitespace();
      if (!at_end() && peek() == '}') {
        advance();
        return fail("trailing comma");
      }
    }
    mark_end(node);
    return true;
  }

};

bool Parser::is_valid_utf8_chunk(std::string_view chunk) {
  for (unsigned char c : chunk)
    if (c >= 0x80) return is_valid_utf8(chunk);
  return true;
}

void write_string(std::string& out, const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

void write_value(std::string& out, const Json& value, int indent, int level) {
  auto newline = [&](int at) {
    if (indent < 0) return;
    out += '\n';
    out.append(static_cast<size_t>(indent * at), ' ');
  };
  switch (value.type()) {
    case Json::value_t::null: out += "null"; break;
    case Json::value_t::discarded: out += "null"; break;
    case Json::value_t::boolean: out += value.get<bool>() ? "true" : "false"; break;
    case Json::value_t::number_integer: out += std::to_string(value.get<int64_t>()); break;
    case Json::value_t::number_unsigned: out += std::to_string(value.get<uint64_t>()); break;
    case Json::value_t::number_float: out += format_json_double(value.get<double>()); break;
    case Json::value_t::string: write_string(out, value.get_ref<const std::string&>()); break;
    case Json::value_t::binary: out += "null"; break;
    case Json::value_t::array: {
      if (value.empty()) {
        out += "[]";
        break;
      }
      out += '[';
      bool first = true;
      for (const Json& item : value) {
        if (!first) out += ',';
        first = false;
        newline(level + 1);
        write_value(out, item, indent, level + 1);
      }
      newline(level);
      out += ']';
      break;
    }
    case Json::value_t::object: {
      if (value.empty()) {
        out += "{}";
        break;
      }
      out += '{';
      bool first = true;
      for (const auto& [key, item] : value.items()) {
        if (!first) out += ',';
        first = false;
        newline(level + 1);
        write_string(out, key);
        out += indent < 0 ? ":" : ": ";
        write_value(out, item, indent, level + 1);
      }
      newline(level);
      out += '}';
      break;
    }
  }
}

}  // namespace

double JsonNode::as_double() const {
  switch (kind) {
    case Kind::kInteger: return static_cast<double>(integer);
    case Kind::kUnsigned: return static_cast<double>(unsigned_integer);
    default: return number;
  }
}

Result<JsonNode> parse_json_node(std::string_view text) { return Parser(text).parse_document(); }

Json to_json(const JsonNode& node) {
  switch (node.kind) {
    case JsonNode::Kind::kNull: return nullptr;
    case JsonNode::Kind::kBool: return node.boolean;
    case JsonNode::Kind::kInteger: return node.integer;
    case JsonNode::Kind::kUnsigned: return node.unsigned_integer;
    case JsonNode::Kind::kFloat: return node.number;
    case JsonNode::Kind::kString: return node.text;
    case JsonNode::Kind::kArray: {
      Json array = Json::array();
      for (const JsonNode& item : node.items) array.push_back(to_json(item));
      return array;
    }
    case JsonNode::Kind::kObject: {
      Json object = Json::object();
      for (const auto& [key, item] : node.members) object[key] = to_json(item);
      return object;
    }
  }
  return nullptr;
}

JsonNode to_json_node(const Json& value) {
  JsonNode node;
  switch (value.type()) {
    case Json::value_t::boolean:
      node.kind = JsonNode::Kind::kBool;
      node.boolean = value.get<bool>();
      break;
    case Json::value_t::number_integer:
      node.kind = JsonNode::Kind::kInteger;
      node.integer = value.get<int64_t>();
      break;
    case Json::value_t::number_unsigned:
      node.kind = JsonNode::Kind::kUnsigned;
      node.unsigned_integer = value.get<uint64_t>();
      if (node.unsigned_integer <= static_cast<uint64_t>(INT64_MAX)) {
        node.kind = JsonNode::Kind::kInteger;
        node.integer = static_cast<int64_t>(node.unsigned_integer);
      }
      break;
    case Json::value_t::number_float:
      node.kind = JsonNode::Kind::kFloat;
      node.number = value.get<double>();
      break;
    case Json::value_t::string:
      node.kind = JsonNode::Kind::kString;
      node.text = value.get<std::string>();
      break;
    case Json::value_t::array:
      node.kind = JsonNode::Kind::kArray;
      for (const Json& item : value) node.items.push_back(to_json_node(item));
      break;
    case Json::value_t::object:
      node.kind = JsonNode::Kind::kObject;
      for (const auto& [key, item] : value.items()) node.members.emplace_back(key, to_json_node(item));
      break;
    default:
      break;
  }
  return node;
}

Result<Json> parse_json(std::string_view text) {
  ASSIGN_OR_RETURN(JsonNode node, parse_json_node(text));
  return to_json(node);
}

std::string write_json(const Json& value) {
  std::string out;
  write_value(out, value, -1, 0);
  return out;
}

std::string write_json_pretty(const Json& value) {
  std::string out;
  write_value(out, value, 2, 0);
  return out;
}

std::string format_json_double(double value) {
  if (!std::isfinite(value)) return "null";  // JSON has no spelling for these
  if (value == 0) return std::signbit(value) ? "-0.0" : "0.0";
  // Shortest round-trip digits, taken from the scientific form d.ddde±x.
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  std::string_view sci(buffer, static_cast<size_t>(end - buffer));
  const bool negative = sci.front() == '-';
  if (negative) sci.remove_prefix(1);
  const size_t e_pos = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, e_pos))
    if (c != '.') digits += c;
  int exponent = 0;
  std::from_chars(sci.data() + e_pos + 1 + (sci[e_pos + 1] == '+'), sci.data() + sci.size(), exponent);

  std::string out = negative ? "-" : "";
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e16 || magnitude < 1e-5) {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out.append(digits, 1);
    }
    out += 'e';
    out += std::to_string(exponent);
    return out;
  }
  const int point = exponent + 1;  // digits before the decimal point
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-point), '0');
    out += digits;
  } else if (static_cast<size_t>(point) >= digits.size()) {
    out += digits;
    out.append(static_cast<size_t>(point) - digits.size(), '0');
    out += ".0";
  } else {
    out.append(digits, 0, static_cast<size_t>(point));
    out += '.';
    out.append(digits, static_cast<size_t>(point));
  }
  return out;
}
