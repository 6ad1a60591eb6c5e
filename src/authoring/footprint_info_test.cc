#include "authoring/footprint_info.h"

#include <gtest/gtest.h>

namespace {

TEST(FootprintNameTest, Cases) {
  struct Case {
    std::string_view text;
    std::optional<std::string> name;
  } cases[] = {
      {"(footprint \"R_0603_1608Metric\" (version 20240108)", "R_0603_1608Metric"},
      {"(footprint R_0603 (layer F.Cu)", "R_0603"},
      {"(footprint R_0603(layer F.Cu)", "R_0603"},
      {"(footprint R_0603\n  (layer F.Cu)", "R_0603"},
      {"(footprint R\xC2\xA0X", "R"},             // no-break space ends the word
      {"(footprint R\xE3\x80\x80X", "R"},         // ideographic space too
      {"(footprint R\xC3\xA9X (at", "R\xC3\xA9X"},  // a letter beyond ASCII does not
      {"(footprint \"\" (version 1)", ""},
      {"(footprint \"unterminated", std::nullopt},
      {"(footprint  R1", std::nullopt},           // second blank: empty word
      {"(footprint (layer F.Cu)", std::nullopt},
      {"(footprint ", std::nullopt},
      {"(module R_0603 (layer F.Cu))", std::nullopt},
      {"", std::nullopt},
      // The quoted form anywhere wins over an earlier bare form.
      {"(footprint bare (x)) (footprint \"quoted\"", "quoted"},
      {"(footprint \"first\") (footprint \"second\")", "first"},
      {"(footprint\t\"tab\"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(footprint_name(c.text), c.name) << c.text;
}

TEST(CountPadsTest, Cases) {
  struct Case {
    std::string_view text;
    size_t count;
  } cases[] = {
      {"", 0},
      {"(pad \"1\" smd rect) (pad \"2\" smd rect)\n(pad \"3\" thru_hole circle)", 3},
      {"(fp_text value \"(pad \") (pad 1)", 2},  // whatever else holds it
      {"(pads) (pad\t1) (padx 1)", 0},
      {"(pad (pad (pad ", 3},
  };
  for (const Case& c : cases) EXPECT_EQ(count_pads(c.text), c.count) << c.text;
}

TEST(InputDirectoryTest, Cases) {
  struct Case {
    std::string path;
    std::string directory;
  } cases[] = {
      {"a/b.kicad_mod", "a"},
      {"b.kicad_mod", ""},
      {"/abs/dir/b.kicad_mod", "/abs/dir"},
      {"/b.kicad_mod", "/"},
      {"/", "."},
      {"//", "."},
      {"", "."},
      {"./b.json", "."},
      {"../b.json", ".."},
      {"a//b.json", "a"},
      {"a/./b.json", "a"},
      {"a/b/", "a"},
      {"a/b/.", "a"},
      {"a/", ""},
      {".", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(input_directory(c.path), c.directory) << c.path;
}

TEST(JoinPathTest, Cases) {
  EXPECT_EQ(join_path("", "x.svg"), "x.svg");
  EXPECT_EQ(join_path(".", "x.svg"), "./x.svg");
  EXPECT_EQ(join_path("/", "x.svg"), "/x.svg");
  EXPECT_EQ(join_path("build/", "x.svg"), "build/x.svg");
  EXPECT_EQ(join_path("build", "x.svg"), "build/x.svg");
}

}  // namespace
