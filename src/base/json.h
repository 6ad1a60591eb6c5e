// The one JSON reader and writer of the program.
//
// Reading is strict (one document, only whitespace after it, UTF-8, nesting at
// most kMaxJsonDepth levels) and reports failures with line and column.
// JsonNode keeps what a generic value loses: members in document order,
// repeated keys, and where each value started, so record readers can name
// duplicates and point at a value of the wrong type.
//
// Writing follows one rule set everywhere: object members in ascending byte
// order of their keys (nlohmann's object is a std::map), integers as integers,
// floating-point numbers in the shortest round-trip form that always shows a
// fraction or an exponent (1.0, 1e16, 1.5e-7), and the non-ASCII characters
// as they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/error.h"

using Json = nlohmann::json;

inline constexpr int kMaxJsonDepth = 128;

struct JsonNode {
  enum class Kind { kNull, kBool, kInteger, kUnsigned, kFloat, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  int64_t integer = 0;
  uint64_t unsigned_integer = 0;
  double number = 0;                                     // kFloat
  std::string text;                                      // kString
  std::vector<JsonNode> items;                           // kArray
  std::vector<std::pair<std::string, JsonNode>> members; // kObject, document order
  // Where the value ended in the text, 1-based; 0 when built from a Json.
  size_t line = 0;
  size_t column = 0;

  bool is_number() const { return kind == Kind::kInteger || kind == Kind::kUnsigned || kind == Kind::kFloat; }
  // REQUIRES: is_number()
  double as_double() const;
};

// Parses one complete document. Errors read like
// "expected value at line 1 column 1" or "EOF while parsing a value at line 1 column 0".
Result<JsonNode> parse_json_node(std::string_view text);

// Parses one complete document into a generic value (a repeated key keeps its last value).
Result<Json> parse_json(std::string_view text);

Json to_json(const JsonNode& node);
JsonNode to_json_node(const Json& value);

// Compact text: no whitespace at all.
std::string write_json(const Json& value);

// Two blanks of indentation per level, one member or element per line.
std::string write_json_pretty(const Json& value);

// The floating-point form of the rules above, e.g. 1.0, -1.4, 0.00002, 1e16, 1.5e-7.
std::string format_json_double(double value);
