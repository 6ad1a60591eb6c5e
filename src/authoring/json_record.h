// Reading typed records out of a positional JSON tree (JsonNode), with the
// messages of a strict record reader: wrong types, missing and repeated
// fields, wrong array lengths, each pointing at the value it is about.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/json.h"

// How a value of the wrong type is named in a message: "null",
// "boolean `true`", "integer `-1`", "floating point `1.5`", "string \"a\"",
// "sequence", "map".
std::string describe_json_value(const JsonNode& node);

// `message` followed by " at line L column C" when the node came from text.
Error json_error_at(std::string message, const JsonNode& node);

// "invalid type: {description of node}, expected {expected}" with position.
Error json_type_error(const JsonNode& node, std::string_view expected);

// A JSON string, or the type error "expected a string".
Result<std::string> read_json_string(const JsonNode& node);

// A JSON number of any kind as a double, or the type error "expected f64".
Result<double> read_json_number(const JsonNode& node);

// One field of a record type R: its main name, up to two aliases (empty when
// unused), whether it must be present, and how its value is stored.
template <typename R>
struct RecordField {
  std::string_view name;
  std::array<std::string_view, 2> aliases;
  bool required;
  Status (*read)(const JsonNode& value, R& record);
};

// Fills `record` from an object (members matched by name or alias, unknown
// ones skipped) or from an array of the field values in declaration order
// (trailing fields that are not required may be left out). `expecting` names
// the record, e.g. "struct JsonPad".
template <typename R>
Status read_json_record(const JsonNode& node, const std::vector<RecordField<R>>& fields,
                        std::string_view expecting, R& record) {
  if (node.kind == JsonNode::Kind::kObject) {
    std::vector<bool> seen(fields.size(), false);
    for (const auto& [key, value] : node.members) {
      size_t index = 0;
      for (; index < fields.size(); ++index) {
        const RecordField<R>& f = fields[index];
        if (key == f.name) break;
        bool alias = false;
        for (std::string_view a : f.aliases) alias = alias || (!a.empty() && key == a);
        if (alias) break;
      }
      if (index == fields.size()) continue;
      if (seen[index])
        return json_error_at("duplicate field `" + std::string(fields[index].name) + "`", value);
      seen[index] = true;
      RETURN_IF_ERROR(fields[index].read(value, record));
    }
    for (size_t i = 0; i < fields.size(); ++i)
      if (fields[i].required && !seen[i])
        return json_error_at("missing field `" + std::string(fields[i].name) + "`", node);
    return {};
  }
  if (node.kind == JsonNode::Kind::kArray) {
    auto length_error = [&] {
      return json_error_at("invalid length " + std::to_string(node.items.size()) + ", expected " +
                               std::string(expecting) + " with " + std::to_string(fields.size()) +
                               " elements",
                           node);
    };
    if (node.items.size() > fields.size()) return length_error();
    for (size_t i = 0; i < fields.size(); ++i) {
      if (i < node.items.size()) {
        RETURN_IF_ERROR(fields[i].read(node.items[i], record));
      } else if (fields[i].required) {
        return length_error();
      }
    }
    return {};
  }
  return json_type_error(node, expecting);
}
