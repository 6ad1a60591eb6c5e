#include "authoring/create_input.h"

#include <gtest/gtest.h>

namespace {

JsonPad pad(std::string number, double x, double y, double dx, double dy) {
  JsonPad p;
  p.number = std::move(number);
  p.x = x;
  p.y = y;
  p.dx = dx;
  p.dy = dy;
  return p;
}

CreateInput read_ok(std::string_view text) {
  Result<CreateInput> input = read_create_input(text);
  EXPECT_TRUE(input.ok()) << text << "\n" << (input.ok() ? "" : input.error().message());
  return input.ok() ? *input : CreateInput{};
}

TEST(ReadCreateInputTest, FullRecord) {
  CreateInput input = read_ok(R"({
    "footprintName": "SOT-23", "description": "a \"quoted\" text", "tags": "sot small",
    "pads": [{"number": "1", "x": -0.95, "y": 1, "dx": 0.6, "dy": 0.7, "shape": "rect",
              "angle": 90, "layers": "\"F.Cu\"", "mount": "smd", "drill": 0.8}],
    "body": {"x1": -1.5, "y1": -0.7, "x2": 1.5, "y2": 0.7},
    "courtyard": {"x1": -2, "y1": -1.5, "x2": 2, "y2": 1.5},
    "bodyShape": "circle"})");
  CreateInput expected;
  expected.footprint_name = "SOT-23";
  expected.description = "a \"quoted\" text";
  expected.tags = "sot small";
  JsonPad p = pad("1", -0.95, 1, 0.6, 0.7);
  p.shape = "rect";
  p.angle = 90;
  p.layers = "\"F.Cu\"";
  p.mount = "smd";
  p.drill = 0.8;
  expected.pads = {p};
  expected.body = JsonRect{-1.5, -0.7, 1.5, 0.7};
  expected.courtyard = JsonRect{-2, -1.5, 2, 1.5};
  expected.body_shape = "circle";
  EXPECT_EQ(input, expected);
}

TEST(ReadCreateInputTest, DefaultsAliasesAndNulls) {
  struct Case {
    std::string_view text;
    CreateInput expected;
  };
  CreateInput name_only;
  name_only.footprint_name = "X";
  CreateInput circle = name_only;
  circle.body = JsonRect{-1, -1, 1, 1};
  circle.body_shape = "circle";
  CreateInput with_pad = name_only;
  with_pad.pads = {pad("1", 1, 0, 1, 1)};
  CreateInput through = name_only;
  through.pads = {pad("1", 1, 0, 1, 1)};
  through.pads[0].mount = "thru_hole";
  through.pads[0].drill = 0.8;
  CreateInput pad_type = through;
  pad_type.pads[0].drill.reset();
  pad_type.pads[0].drill = 1.1;
  const Case cases[] = {
      {R"({"footprintName": "X"})", name_only},
      {R"({"footprintName": "X", "mpn": {"any": [1, null]}, "textPlacement": {"units": "mm"}})", name_only},
      {R"({"footprintName": "X", "body": null, "courtyard": null, "bodyShape": null})", name_only},
      {R"({"footprintName": "X", "shape": "circle", "body": {"x1": -1, "y1": -1, "x2": 1, "y2": 1}})", circle},
      {R"({"footprintName": "X", "body_shape": "circle", "body": [-1, -1, 1, 1]})", circle},
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 1, "y": 0, "dx": 1, "dy": 1,
           "shape": null, "angle": null, "layers": null, "mount": null, "drill": null, "extra": 1}]})",
       with_pad},
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 1, "y": 0, "dx": 1, "dy": 1,
           "type": "thru_hole", "hole": 0.8}]})",
       through},
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 1, "y": 0, "dx": 1, "dy": 1,
           "padType": "thru_hole", "drillDiameter": 1.1}]})",
       pad_type},
      {R"(["X"])", name_only},
      {R"(["X", [["1", 1, 0, 1, 1]]])", with_pad},
      {R"(["X", [["1", 1, 0, 1, 1, null, null, null, "thru_hole", 0.8]]])", through},
      {R"(["X", [], [-1, -1, 1, 1], null, "", "", "circle"])", circle},
  };
  for (const Case& c : cases) EXPECT_EQ(read_ok(c.text), c.expected) << c.text;
}

TEST(ReadCreateInputTest, IntegerReadsAsDouble) {
  CreateInput input = read_ok(R"({"footprintName": "X", "pads": [{"number": "1", "x": 1, "y": -2, "dx": 18446744073709551615, "dy": 1}]})");
  ASSERT_EQ(input.pads.size(), 1u);
  EXPECT_EQ(input.pads[0].x, 1.0);
  EXPECT_EQ(input.pads[0].y, -2.0);
  EXPECT_EQ(input.pads[0].dx, 18446744073709551615.0);
}

TEST(ReadCreateInputTest, Failures) {
  struct Case {
    std::string_view text;
    std::string message;
  } cases[] = {
      {"", "EOF while parsing a value at line 1 column 0"},
      {R"({"pads": []})", "missing field `footprintName` at line 1 column 12"},
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 1, "y": 1, "dx": 1}]})",
       "missing field `dy` at line 1 column 72"},
      {R"({"footprintName": "X", "courtyard": {"x1": 1, "y1": 1, "x2": 2}})",
       "missing field `y2` at line 1 column 63"},
      {R"({"footprintName": "X", "footprintName": "Y"})", "duplicate field `footprintName` at line 1 column 43"},
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 1, "y": 1, "dx": 1, "dy": 1, "mount": "smd", "padType": "smd"}]})",
       "duplicate field `mount` at line 1 column 114"},
      {R"({"footprintName": "X", "shape": "a", "bodyShape": "b"})", "duplicate field `bodyShape` at line 1 column 53"},
      {R"({"footprintName": "X", "pads": [{"number": 1, "x": 1, "y": 1, "dx": 1, "dy": 1}]})",
       "invalid type: integer `1`, expected a string at line 1 column 44"},
      {"{\"footprintName\": \"X\",\n \"pads\": [{\"number\": \"1\",\n  \"x\": \"1\"}]}",
       "invalid type: string \"1\", expected f64 at line 3 column 10"},
      {R"({"footprintName": null})", "invalid type: null, expected a string at line 1 column 22"},
      {R"({"footprintName": -3})", "invalid type: integer `-3`, expected a string at line 1 column 20"},
      {R"({"footprintName": 1.5})", "invalid type: floating point `1.5`, expected a string at line 1 column 21"},
      {R"({"footprintName": 2.0})", "invalid type: floating point `2.0`, expected a string at line 1 column 21"},
      {R"({"footprintName": true})", "invalid type: boolean `true`, expected a string at line 1 column 22"},
      {R"({"footprintName": ["a"]})", "invalid type: sequence, expected a string at line 1 column 23"},
      {R"({"footprintName": "X", "description": null})", "invalid type: null, expected a string at line 1 column 42"},
      {R"({"footprintName": "X", "pads": null})", "invalid type: null, expected a sequence at line 1 column 35"},
      {R"({"footprintName": "X", "pads": {}})", "invalid type: map, expected a sequence at line 1 column 33"},
      {R"({"footprintName": "X", "pads": ["1"]})", "invalid type: string \"1\", expected struct JsonPad at line 1 column 35"},
      {R"({"footprintName": "X", "body": "a\"b\n"})",
       "invalid type: string \"a\\\"b\\n\", expected struct JsonRect at line 1 column 39"},
      {R"({"footprintName": "X", "tags": ["a", "b"]})", "invalid type: sequence, expected a string at line 1 column 41"},
      {"7", "invalid type: integer `7`, expected struct CreateInput at line 1 column 1"},
      {"[]", "invalid length 0, expected struct CreateInput with 7 elements at line 1 column 2"},
      {R"(["X", [], null, null, "", "", null, 1])",
       "invalid length 8, expected struct CreateInput with 7 elements at line 1 column 38"},
      {R"(["X", [["1", 1, 0, 1]]])", "invalid length 4, expected struct JsonPad with 10 elements at line 1 column 21"},
      {R"(["X", [], [1, 2]])", "invalid length 2, expected struct JsonRect with 4 elements at line 1 column 16"},
      {R"({"footprintName": "X"} x)", "trailing characters at line 1 column 24"},
  };
  for (const Case& c : cases) {
    Result<CreateInput> input = read_create_input(c.text);
    ASSERT_FALSE(input.ok()) << c.text;
    EXPECT_EQ(input.error().message(), c.message) << c.text;
  }
}

// A parsed value goes through the same rules, without positions.
TEST(ReadCreateInputTest, FromJsonValue) {
  struct Case {
    Json value;
    std::string message;  // empty: reads
  } cases[] = {
      {Json{{"footprintName", "X"}, {"pads", Json::array()}}, ""},
      {Json{{"footprintName", "X"}, {"type", 1}}, ""},
      {Json{{"pads", Json::array()}}, "missing field `footprintName`"},
      {Json{{"footprintName", 1}}, "invalid type: integer `1`, expected a string"},
      {Json{{"footprintName", "X"}, {"pads", Json::array({Json{{"number", "1"}, {"x", 1}, {"y", 1}, {"dx", 1}, {"dy", 1}, {"mount", "a"}, {"type", "b"}}})}},
       "duplicate field `mount`"},
      {Json{{"footprintName", "X"}, {"courtyard", Json{{"x1", 1}, {"y1", 1}, {"x2", 1}}}}, "missing field `y2`"},
  };
  for (const Case& c : cases) {
    Result<CreateInput> input = read_create_input(c.value);
    if (c.message.empty()) {
      EXPECT_TRUE(input.ok()) << c.value.dump();
    } else {
      ASSERT_FALSE(input.ok()) << c.value.dump();
      EXPECT_EQ(input.error().message(), c.message) << c.value.dump();
    }
  }
}

TEST(ValidateCreateInputTest, NameFirstThenPads) {
  struct Case {
    std::string_view text;
    std::string message;  // empty: valid
  } cases[] = {
      {R"({"footprintName": "", "pads": []})", "footprintName is required"},
      {R"({"footprintName": ""})", "footprintName is required"},
      {R"({"footprintName": "X"})", "pads array is required"},
      {R"({"footprintName": "X", "pads": []})", "pads array is required"},
      // Nothing else is checked: odd sizes, equal numbers, swapped corners.
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 0, "y": 0, "dx": -1, "dy": 0},
          {"number": "1", "x": 0, "y": 0, "dx": 1, "dy": 1, "shape": "blob", "mount": "weird"}],
          "body": {"x1": 1, "y1": 1, "x2": -1, "y2": -1}})",
       ""},
  };
  for (const Case& c : cases) {
    Status status = validate_create_input(read_ok(c.text));
    EXPECT_EQ(status.ok() ? "" : status.error().message(), c.message) << c.text;
  }
}

}  // namespace
