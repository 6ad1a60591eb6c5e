#include "authoring/text_ops.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

constexpr std::string_view kRotatedHidden =
    "(footprint \"X\"\n"
    "  (fp_text reference \"REF**\" (at 0 -2.6 90) (layer \"F.SilkS\") hide\n"
    "    (effects (font (size 1.2 1.2) (thickness 0.18))))\n"
    "  (fp_text value \"X\" (at 0 2.6) (layer \"F.Fab\")\n"
    "    (effects (font (size 0.8 0.9) (thickness 0.12))))\n"
    "  (fp_text reference \"second\" (at 5 5) (layer \"F.SilkS\")\n"
    "    (effects (font (size 2 2) (thickness 0.3))))\n"
    "  (pad \"1\" smd rect (at 0 0) (size 1 1) (layers \"F.Cu\"))\n"
    ")\n";

TEST(FootprintBoundingBoxTest, Cases) {
  struct Case {
    std::string text;
    BoundingBox box;
  } cases[] = {
      {"", {-2, -2, 2, 2}},
      {"(fp_circle (center 0 0) (end 5 0)) (fp_text reference R (at 9 9))", {-2, -2, 2, 2}},
      {"(pad 1 smd rect (at 1 2) (size 2 4))", {0, 0, 2, 4}},
      {"(pad 1 smd rect (at 1 2 90) (size 2 4))", {0, 0, 2, 4}},
      {"(pad 1 smd rect (at 1 2 -90.5) (size 2 4))", {0, 0, 2, 4}},
      {"(fp_line (start -1 -1) (end 3 2) (layer F.SilkS))", {-1, -1, 3, 2}},
      {"(fp_line (start 3 2) (end -1 -1)) (pad 1 smd rect (at 0 0) (size 10 0.5))", {-5, -1, 5, 2}},
      // Single blanks only, as KiCad 6 writes them; other layouts do not count.
      {"(pad 1 smd rect (at 1 2)  (size 2 4)) (pad (at 1 2)\n\t(size 2 4))", {-2, -2, 2, 2}},
      // A capture that does not read as a number drops the whole element.
      {"(pad (at 1.2.3 0) (size 1 1)) (pad (at 0 0) (size 2 2))", {-1, -1, 1, 1}},
      {"(pad (at . 0) (size 1 1)) (fp_line (start 0 0) (end 1 1))", {0, 0, 1, 1}},
      {"(pad (at \xD9\xA1 0) (size 1 1)) (fp_line (start 0 0) (end 1 1))", {0, 0, 1, 1}},
      // A number too large to be finite does not read either.
      {"(pad (at 1" + std::string(400, '0') + " 0) (size 1 1))", {-2, -2, 2, 2}},
      {"(pad (at 1e3 0) (size 1 1))", {-2, -2, 2, 2}},
      {".5 (pad (at .5 -.5) (size 1. 1))", {0, -1, 1, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(footprint_bounding_box(c.text), c.box) << c.text;
}

TEST(TextInfoTest, Cases) {
  struct Case {
    std::string text;
    TextKind kind;
    std::optional<TextInfo> info;
  } cases[] = {
      {std::string(kRotatedHidden), TextKind::kReference, TextInfo{0, -2.6, 1.2, true}},
      {std::string(kRotatedHidden), TextKind::kValue, TextInfo{0, 2.6, 0.8, false}},
      {"(fp_text reference \"R\" (at 1 2))", TextKind::kReference, TextInfo{1, 2, 1, false}},
      {"(fp_text reference \"R\" (at 1 2))", TextKind::kValue, std::nullopt},
      {"(fp_text reference REF** (at -1.5 .5 0) (layer F.SilkS))", TextKind::kReference, TextInfo{-1.5, 0.5, 1, false}},
      {"(fp_text reference \"R\" (at . -) (size 2 2))", TextKind::kReference, std::nullopt},
      {"(fp_text reference \"R\" (at . 2) (size .) )", TextKind::kReference, TextInfo{0, 2, 1, false}},
      {"(fp_text value \"has (paren\" (at 3 4))", TextKind::kValue, TextInfo{3, 4, 1, false}},
      // \s means every Unicode space: no-break and ideographic spaces separate too.
      {"(fp_text value\xC2\xA0\"V\"\xE3\x80\x80(at\xC2\xA0" "1 2))", TextKind::kValue, TextInfo{1, 2, 1, false}},
      // A text word that is a prefix of the kind is not that kind.
      {"(fp_text values \"V\" (at 1 2))", TextKind::kValue, std::nullopt},
      // The size is the first "(size" after the first entry of the kind with a
      // word boundary after the kind, even across entries.
      {"(fp_text values (size 2 2)) (fp_text value \"V\" (at 0 0) (effects (font (size 3 3))))",
       TextKind::kValue, TextInfo{0, 0, 3, false}},
      {"(fp_text value\xC3\xA9 (size 2 2)) (fp_text value \"V\" (at 0 0) (effects (font (size 3 3))))",
       TextKind::kValue, TextInfo{0, 0, 3, false}},
      {"(fp_text value(size 2 2)) (fp_text value \"V\" (at 0 0) (effects (font (size 3 3))))",
       TextKind::kValue, TextInfo{0, 0, 2, false}},
      {"(fp_text reference \"R\" (at 0 0))\n(fp_text value \"V\" (at 0 1) (effects (font (size 0.7 0.7))))",
       TextKind::kReference, TextInfo{0, 0, 0.7, false}},
  };
  for (const Case& c : cases) EXPECT_EQ(text_info(c.text, c.kind), c.info) << c.text;
}

// " hide" counts only inside the entry's window: up to the next text entry,
// else up to the first pad line, else 400 bytes.
TEST(TextInfoTest, HiddenWindow) {
  struct Case {
    std::string text;
    bool hidden;
  } cases[] = {
      {"(fp_text value \"V\" (at 0 0) (layer F.Fab) hide)", true},
      {"(fp_text value \"V\" (at 0 0) (layer F.Fab))\n  (fp_text user \"U\" (at 0 0) hide)", false},
      {"(fp_text value \"V\" (at 0 0) (layer F.Fab))\n  (pad \"1\" smd rect hide)", false},
      {"(fp_text value \"V\" (at 0 0) (layer F.Fab))\n (pad \"1\" smd rect hide)", true},
      {"(fp_text value \"V\" (at 0 0))" + std::string(360, ' ') + " hide", true},
      {"(fp_text value \"V\" (at 0 0))" + std::string(380, ' ') + " hide", false},
      {"(fp_text value \"V hide\" (at 0 0) (layer F.Fab))", true},
      {"(fp_text value \"V\" (at 0 0) (layer F.Fab)\thide)", false},
  };
  for (const Case& c : cases) {
    std::optional<TextInfo> info = text_info(c.text, TextKind::kValue);
    ASSERT_TRUE(info.has_value()) << c.text;
    EXPECT_EQ(info->hidden, c.hidden) << c.text;
  }
}

TEST(TextsInfoTest, Json) {
  EXPECT_EQ(write_json(texts_info(kRotatedHidden)),
            R"({"reference":{"hidden":true,"size":1.2,"x":0.0,"y":-2.6},"value":{"hidden":false,"size":0.8,"x":0.0,"y":2.6}})");
  EXPECT_EQ(write_json(texts_info("(footprint \"X\")")), R"({"reference":null,"value":null})");
}

TEST(SetTextPositionTest, Cases) {
  struct Case {
    std::string text;
    TextKind kind;
    double x, y;
    std::string result;
  } cases[] = {
      {"(fp_text reference \"R\" (at 0 -2.6 90) (layer F.SilkS))\n(fp_text reference \"S\" (at 5 5 90))",
       TextKind::kReference, 1, -3,
       "(fp_text reference \"R\" (at 1 -3) (layer F.SilkS))\n(fp_text reference \"S\" (at 5 5 90))"},
      {"(fp_text value V (at\t1  2 unlocked)(layer F.Fab))", TextKind::kValue, 0.25, -0.1,
       "(fp_text value V (at\t0.25 -0.1)(layer F.Fab))"},
      {"(fp_text value V (at 1 2))", TextKind::kReference, 9, 9, "(fp_text value V (at 1 2))"},
      {"(fp_text value V (at 1 2))", TextKind::kValue, -0.0, 1e-7, "(fp_text value V (at -0 0.0000001))"},
      {"(fp_text value V (at 1 2))", TextKind::kValue, NAN, 0, "(fp_text value V (at 1 2))"},
      {"(fp_text value V (at 1 2))", TextKind::kValue, 0, INFINITY, "(fp_text value V (at 1 2))"},
  };
  for (const Case& c : cases) EXPECT_EQ(set_text_position(c.text, c.kind, c.x, c.y), c.result) << c.text;
}

TEST(SetTextSizeTest, Cases) {
  struct Case {
    std::string text;
    TextKind kind;
    double size;
    std::string result;
  } cases[] = {
      {std::string(kRotatedHidden), TextKind::kReference, 1.234, [] {
         std::string t(kRotatedHidden);
         t.replace(t.find("(size 1.2 1.2) (thickness 0.18)"), 31, "(size 1.23 1.23) (thickness 0.19)");
         return t;
       }()},
      {"(fp_text value V (at 0 0) (effects (font (size 1 2) (thickness 0.1))))", TextKind::kValue, 0.5,
       "(fp_text value V (at 0 0) (effects (font (size 0.5 0.5) (thickness 0.08))))"},
      // No thickness in the entry: the next one found is changed.
      {"(fp_text value V (effects (font (size 1 1)))) (fp_text user U (effects (font (thickness 0.1))))",
       TextKind::kValue, 2,
       "(fp_text value V (effects (font (size 2 2)))) (fp_text user U (effects (font (thickness 0.3))))"},
      {"(fp_text value V (effects (font (size 1  1) (thickness 0.1))))", TextKind::kValue, 2,
       "(fp_text value V (effects (font (size 1  1) (thickness 0.1))))"},
      {"(fp_text value V (effects (font (size 1 1) (thickness 0.1))))", TextKind::kValue, 1e307,
       "(fp_text value V (effects (font (size 1 1) (thickness 0.1))))"},
  };
  for (const Case& c : cases) EXPECT_EQ(set_text_size(c.text, c.kind, c.size), c.result) << c.text;
}

}  // namespace
