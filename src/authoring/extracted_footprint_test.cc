#include "authoring/extracted_footprint.h"

#include <gtest/gtest.h>

#include "authoring/kicad_writer.h"

namespace {

Json parse(std::string_view text) {
  Result<Json> value = parse_json(text);
  EXPECT_TRUE(value.ok()) << text;
  return value.ok() ? *value : Json();
}

CreateInput convert_ok(std::string_view text) {
  Result<CreateInput> input = convert_extracted_footprint(parse(text));
  EXPECT_TRUE(input.ok()) << text << ": " << (input.ok() ? "" : input.error().message());
  return input.ok() ? *input : CreateInput{};
}

JsonPad plain_pad(std::string number, double x, double y, double dx, double dy) {
  JsonPad pad;
  pad.number = std::move(number);
  pad.x = x;
  pad.y = y;
  pad.dx = dx;
  pad.dy = dy;
  return pad;
}

TEST(ConvertExtractedFootprintTest, OnePad) {
  CreateInput input = convert_ok(R"({"pads": [{"number": "1", "at": [0.95, 0], "size": [0.6, 0.7]}],
                                     "manufacturer": "x", "padCount": 1, "tags": "ignored"})");
  CreateInput expected;
  expected.footprint_name = "footprint";
  expected.pads = {plain_pad("1", 0.95, 0, 0.6, 0.7)};
  EXPECT_EQ(input, expected);
  EXPECT_NE(write_kicad_mod(input).find(
                "  (pad \"1\" smd roundrect (at 0.95 0) (size 0.6 0.7)\n"
                "    (layers \"F.Cu\" \"F.Paste\" \"F.Mask\") (roundrect_rratio 0.25))\n"),
            std::string::npos);
}

TEST(ConvertExtractedFootprintTest, Pads) {
  struct Case {
    std::string_view pad;
    JsonPad expected;
  };
  JsonPad rotated = plain_pad("", 0, 0, 0, 0);
  rotated.angle = 90;
  JsonPad rotation_wins = rotated;
  rotation_wins.angle = 45;
  JsonPad through = plain_pad("", 0, 0, 0, 0);
  through.mount = "thru_hole";
  through.drill = 1.0;
  JsonPad shaped = plain_pad("A", 1, 0, 2, 0);
  shaped.shape = "oval";
  const Case cases[] = {
      {R"({"rotation": "90", "angle": 90})", rotated},
      {R"({"rotation": 45, "angle": 90})", rotation_wins},
      {R"({"type": "thru_hole", "hole": 1.0})", through},
      {R"({"mount": 1, "type": "thru_hole", "drill": "x", "hole": 1})", plain_pad("", 0, 0, 0, 0)},
      {R"({"drillDiameter": null, "hole": 1})", plain_pad("", 0, 0, 0, 0)},
      {R"({"number": 1, "at": ["a", 2], "size": [3]})", plain_pad("", 0, 2, 3, 0)},
      {R"({"number": "A", "at": [1], "size": [2, "b"], "shape": "oval"})", shaped},
      {R"({"at": {"x": 1}, "size": 5})", plain_pad("", 0, 0, 0, 0)},
      {R"("not an object")", plain_pad("", 0, 0, 0, 0)},
      {R"([1, 2])", plain_pad("", 0, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    std::string text = R"({"pads": [)" + std::string(c.pad) + "]}";
    CreateInput input = convert_ok(text);
    ASSERT_EQ(input.pads.size(), 1u) << text;
    EXPECT_EQ(input.pads[0], c.expected) << text;
  }
}

TEST(ConvertExtractedFootprintTest, TopLevelMembers) {
  const std::string pads = R"("pads": [{"number": "1"}])";
  struct Case {
    std::string members;
    std::optional<JsonRect> body, courtyard;
    std::string name, description;
    std::optional<std::string> body_shape;
  } cases[] = {
      {"", {}, {}, "footprint", "", {}},
      {R"("footprintName": "SOT-23", "description": "d")", {}, {}, "SOT-23", "d", {}},
      {R"("footprintName": 7, "description": 1)", {}, {}, "footprint", "", {}},
      {R"("bodyDimensions": [3, 2])", JsonRect{-1.5, -1, 1.5, 1}, {}, "footprint", "", {}},
      {R"("bodyDimensions": [3, 2, 9])", JsonRect{-1.5, -1, 1.5, 1}, {}, "footprint", "", {}},
      {R"("bodyDimensions": {"w": 3, "h": 2})", JsonRect{-1.5, -1, 1.5, 1}, {}, "footprint", "", {}},
      {R"("bodyDimensions": {"x": 3, "h": 2, "y": 4})", JsonRect{-1.5, -2, 1.5, 2}, {}, "footprint", "", {}},
      {R"("bodyDimensions": {"x": "3", "w": 3, "h": 2})", {}, {}, "footprint", "", {}},
      {R"("bodyDimensions": [3])", {}, {}, "footprint", "", {}},
      {R"("bodyDimensions": [])", {}, {}, "footprint", "", {}},
      {R"("bodyDimensions": ["3", 2])", {}, {}, "footprint", "", {}},
      {R"("bodyDimensions": 3)", {}, {}, "footprint", "", {}},
      {R"("courtyard": {"x1": -2, "y1": -1, "x2": 2, "y2": 1})", {}, JsonRect{-2, -1, 2, 1}, "footprint", "", {}},
      {R"("courtyard": {"x1": -2, "y1": -1, "x2": 2})", {}, {}, "footprint", "", {}},
      {R"("courtyard": {"x1": -2, "y1": -1, "x2": 2, "y2": "1"})", {}, {}, "footprint", "", {}},
      {R"("shape": "circle")", {}, {}, "footprint", "", "circle"},
      {R"("bodyShape": "rect", "shape": "circle")", {}, {}, "footprint", "", "rect"},
      {R"("bodyShape": 1, "shape": "circle")", {}, {}, "footprint", "", {}},
  };
  for (const Case& c : cases) {
    std::string text = "{" + c.members + (c.members.empty() ? "" : ", ") + pads + "}";
    CreateInput input = convert_ok(text);
    EXPECT_EQ(input.body, c.body) << text;
    EXPECT_EQ(input.courtyard, c.courtyard) << text;
    EXPECT_EQ(input.footprint_name, c.name) << text;
    EXPECT_EQ(input.description, c.description) << text;
    EXPECT_EQ(input.body_shape, c.body_shape) << text;
    EXPECT_EQ(input.tags, "") << text;
  }
}

TEST(ConvertExtractedFootprintTest, Failures) {
  struct Case {
    std::string_view text;
    std::string message;
  } cases[] = {
      {R"({"footprintName": "X"})", "footprint JSON has no pads[]"},
      {R"({"pads": {"1": {}}})", "footprint JSON has no pads[]"},
      {R"({"pads": null})", "footprint JSON has no pads[]"},
      {R"([{"pads": []}])", "footprint JSON has no pads[]"},
      {R"("pads")", "footprint JSON has no pads[]"},
      {R"({"pads": []})", "footprint extraction has no pads"},
  };
  for (const Case& c : cases) {
    Result<CreateInput> input = convert_extracted_footprint(parse(c.text));
    ASSERT_FALSE(input.ok()) << c.text;
    EXPECT_EQ(input.error().message(), c.message) << c.text;
  }
}

TEST(ConvertExtractedFootprintTest, WrittenFootprint) {
  CreateInput input = convert_ok(R"({"shape": "circle", "bodyDimensions": [2, 1],
      "pads": [{"number": 1, "at": [0, 0], "size": [1, 1]}]})");
  std::string text = write_kicad_mod(input);
  EXPECT_NE(text.find("  (fp_circle (center 0 0) (end 1 0)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  (pad \"\" smd roundrect (at 0 0) (size 1 1)\n"), std::string::npos) << text;
}

}  // namespace
