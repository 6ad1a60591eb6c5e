// The create JSON: the structured description of a footprint (pads, body,
// courtyard, texts) from which the writer produces a `.kicad_mod` and the
// canonical text placement. Lengths are millimetres in footprint axes (x
// right, y down); angles are degrees.
//
// Reading is strict about types and lenient about unknown keys. Every record
// is an object whose keys match field names or aliases exactly, or an array of
// the field values in declaration order. Messages follow one pattern:
//   "missing field `x`", "duplicate field `mount`",
//   "invalid type: integer `1`, expected a string",
//   "invalid length 2, expected struct JsonRect with 4 elements",
// each followed by " at line L column C" when read from text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/json.h"

// Two opposite corners, used as given (x1 > x2 is allowed).
struct JsonRect {
  double x1 = 0;
  double y1 = 0;
  double x2 = 0;
  double y2 = 0;

  bool operator==(const JsonRect&) const = default;
};

struct JsonPad {
  std::string number;                  // required; a JSON string
  double x = 0;                        // required: centre
  double y = 0;                        // required
  double dx = 0;                       // required: size before rotation
  double dy = 0;                       // required
  std::optional<std::string> shape;    // KiCad shape keyword, as written
  std::optional<double> angle;         // rotation in degrees
  std::optional<std::string> layers;   // the literal content of `(layers ...)`
  std::optional<std::string> mount;    // aliases padType, type
  std::optional<double> drill;         // aliases drillDiameter, hole

  bool operator==(const JsonPad&) const = default;
};

struct CreateInput {
  std::string footprint_name;              // key footprintName; required
  std::vector<JsonPad> pads;               // empty when absent
  std::optional<JsonRect> body;
  std::optional<JsonRect> courtyard;
  std::string description;                 // empty when absent
  std::string tags;                        // one text, not a list
  std::optional<std::string> body_shape;   // key bodyShape; aliases body_shape, shape

  bool operator==(const CreateInput&) const = default;
};

// Parses one complete JSON document (nothing but whitespace after it) into a
// CreateInput. Syntax and type errors carry the line and column.
Result<CreateInput> read_create_input(std::string_view text);
// Texts convert to Json too; these keep a text a text.
inline Result<CreateInput> read_create_input(const std::string& text) {
  return read_create_input(std::string_view(text));
}
inline Result<CreateInput> read_create_input(const char* text) {
  return read_create_input(std::string_view(text));
}

// The same rules applied to an already parsed value (no positions in
// messages; a repeated key has already collapsed to its last value).
Result<CreateInput> read_create_input(const Json& value);

// The two rules a footprint to be created must meet, checked in this order:
// "footprintName is required" (empty name), "pads array is required" (no pads).
Status validate_create_input(const CreateInput& input);
