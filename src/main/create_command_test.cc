#include "main/create_command.h"

#include <gtest/gtest.h>

#include "main/placement_command.h"

namespace {

TEST(CheckPlainFileNameTest, Cases) {
  struct Case {
    std::string name;
    bool plain;
  } cases[] = {
      {"SOT-23", true},       {"R_0603 (1608 Metric)", true}, {"...", true},  {".hidden", true},
      {"a\\b", true},         {".", false},                   {"..", false}, {"../x", false},
      {"a/b", false},         {"/abs", false},                {"x/", false}, {std::string("a\0b", 3), false},
  };
  for (const Case& c : cases) {
    Status status = check_plain_file_name(c.name);
    EXPECT_EQ(status.ok(), c.plain) << c.name;
    if (!status.ok())
      EXPECT_EQ(status.error().message(), "footprintName `" + c.name + "` is not a plain file name");
  }
}

TEST(IsCreateJsonTest, Cases) {
  struct Case {
    std::string_view text;
    bool create;
  } cases[] = {
      {R"({"pads": [{"x": null, "dx": "?"}]})", true},
      {R"({"pads": [{"x": 0, "dx": 1}, 7]})", true},
      {R"({"pads": [{"x": 0}]})", false},
      {R"({"pads": [{"at": [0, 0], "size": [1, 1]}]})", false},
      {R"({"pads": []})", false},
      {R"({"pads": [[0, 0]]})", false},
      {R"({"pads": {"x": 0, "dx": 1}})", false},
      {R"([{"pads": [{"x": 0, "dx": 1}]}])", false},
      {R"({})", false},
  };
  for (const Case& c : cases) {
    Result<Json> document = parse_json(c.text);
    ASSERT_TRUE(document.ok()) << c.text;
    EXPECT_EQ(is_create_json(*document), c.create) << c.text;
  }
}

TEST(PlacementFootprintTest, ContextsByKind) {
  struct Case {
    std::string_view text;
    std::string message;
  } cases[] = {
      {R"({"pads": [{"x": 0, "dx": 1}]})", "parsing create JSON: missing field `number`"},
      {R"({"pads": [{"number": "1", "x": 0, "dx": 1, "y": 0, "dy": 1}]})",
       "parsing create JSON: missing field `footprintName`"},
      {R"({"footprintName": 3, "pads": [{"x": 0, "dx": 1}]})",
       "parsing create JSON: invalid type: integer `3`, expected a string"},
      {R"({"pads": [{"x": 0}]})", ""},  // extracted: lenient
      {R"({"pads": []})", "footprint extraction has no pads"},
      {R"({"pad": []})", "footprint JSON has no pads[]"},
      // Not validated here: an empty name and no pads pass.
      {R"({"footprintName": "", "pads": [{"number": "1", "x": 0, "dx": 1, "y": 0, "dy": 1}]})", ""},
  };
  for (const Case& c : cases) {
    Result<CreateInput> input = placement_footprint(*parse_json(c.text));
    EXPECT_EQ(input.ok() ? "" : input.error().message(), c.message) << c.text;
  }
}

}  // namespace
