#include "authoring/text_ops.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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
      // On one line the clauses are one blank apart, as KiCad 6 writes them;
      // other spacing on one line does not count.
      {"(pad 1 smd rect (at 1 2)  (size 2 4)) (pad (at 1 2)\t(size 2 4))", {-2, -2, 2, 2}},
      {"(fp_line (start -1 -1)  (end 3 2))", {-2, -2, 2, 2}},
      // A line break with the indentation around it separates clauses too.
      {"(pad (at 1 2)\n\t(size 2 4))", {0, 0, 2, 4}},
      {"(pad (at 1 2 90) \r\n    (size 2 4))", {0, 0, 2, 4}},
      {"(pad (at\n1\n2\n90)\n(size\n2\n4))", {0, 0, 2, 4}},
      {"(fp_line\n\t\t(start -1 -1)\n\t\t(end 3 2)\n\t\t(stroke (width 0.1)))", {-1, -1, 3, 2}},
      {"(fp_line (start -1 -1)\n\n(end 3 2))", {-1, -1, 3, 2}},
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

// The layout KiCad 7 and later write: each clause of an element on its own
// tab-indented line.
constexpr std::string_view kKicad9Layout =
    "(footprint \"L\"\n"
    "\t(property \"Reference\" \"REF**\"\n"
    "\t\t(at 0 -3 0)\n"
    "\t\t(layer \"F.SilkS\")\n"
    "\t\t(effects\n\t\t\t(font\n\t\t\t\t(size 1 1)\n\t\t\t\t(thickness 0.15)\n\t\t\t)\n\t\t)\n"
    "\t)\n"
    "\t(fp_line\n"
    "\t\t(start -1.2 -0.9)\n"
    "\t\t(end 1.2 -0.9)\n"
    "\t\t(stroke\n\t\t\t(width 0.12)\n\t\t\t(type solid)\n\t\t)\n"
    "\t\t(layer \"F.SilkS\")\n"
    "\t)\n"
    "\t(fp_circle\n\t\t(center 0 0)\n\t\t(end 4 0)\n\t)\n"
    "\t(pad \"1\" smd roundrect\n"
    "\t\t(at -1.5 0 90)\n"
    "\t\t(size 1.2 1.4)\n"
    "\t\t(layers \"F.Cu\" \"F.Mask\" \"F.Paste\")\n"
    "\t)\n"
    "\t(pad \"2\" smd roundrect\n"
    "\t\t(at 1.5 0.25)\n"
    "\t\t(size 1 1.6)\n"
    "\t)\n"
    ")\n";

TEST(FootprintBoundingBoxTest, Kicad9Layout) {
  // Pads from x -2.1 to 2, y -0.7 to 1.05; the line reaches y -0.9; the
  // circle and the property's position do not count.
  EXPECT_EQ(footprint_bounding_box(kKicad9Layout), (BoundingBox{-2.1, -0.9, 2, 1.05}));
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

namespace {

// A KiCad 9 footprint: texts as properties in multi-line layout with tabs, a
// user text that repeats the reference, and no `fp_text` of either kind.
constexpr std::string_view kKicad9 =
    "(footprint \"C_1210\"\n"
    "\t(version 20241229)\n"
    "\t(property \"Reference\" \"REF**\"\n"
    "\t\t(at 0 -2.3 0)\n"
    "\t\t(layer \"F.SilkS\")\n"
    "\t\t(uuid \"1a\")\n"
    "\t\t(effects\n"
    "\t\t\t(font\n"
    "\t\t\t\t(size 1 1)\n"
    "\t\t\t\t(thickness 0.15)\n"
    "\t\t\t)\n"
    "\t\t)\n"
    "\t)\n"
    "\t(property \"Value\" \"C_1210\"\n"
    "\t\t(at 0.75 2.3 90)\n"
    "\t\t(layer \"F.Fab\")\n"
    "\t\t(hide yes)\n"
    "\t\t(effects\n"
    "\t\t\t(font\n"
    "\t\t\t\t(size 0.8 0.9)\n"
    "\t\t\t\t(thickness 0.12)\n"
    "\t\t\t)\n"
    "\t\t)\n"
    "\t)\n"
    "\t(fp_text user \"${REFERENCE}\"\n"
    "\t\t(at 0 0 0)\n"
    "\t\t(layer \"F.Fab\")\n"
    "\t)\n"
    ")\n";

// KiCad 7 and 8 keep the properties on one line and hide with a bare word.
constexpr std::string_view kKicad8 =
    "(footprint \"R\" (version 20240108)\n"
    "  (property \"Reference\" \"REF**\" (at 1 -2 180) (unlocked yes) (layer \"F.SilkS\") hide\n"
    "    (effects (font (size 1.5 1.5) (thickness 0.2))))\n"
    "  (property \"Value\" \"R\" (at 0 2 0) (layer \"F.Fab\")\n"
    "    (effects (font (size 1 1) (thickness 0.15))))\n"
    ")\n";

std::string replaced(std::string_view text, std::string_view from, std::string_view to) {
  std::string out(text);
  size_t at = out.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) out.replace(at, from.size(), to);
  return out;
}

TEST(PropertyTextsTest, Info) {
  EXPECT_EQ(text_info(kKicad9, TextKind::kReference), (TextInfo{0, -2.3, 1, false}));
  EXPECT_EQ(text_info(kKicad9, TextKind::kValue), (TextInfo{0.75, 2.3, 0.8, true}));
  EXPECT_EQ(text_info(kKicad8, TextKind::kReference), (TextInfo{1, -2, 1.5, true}));
  EXPECT_EQ(text_info(kKicad8, TextKind::kValue), (TextInfo{0, 2, 1, false}));
  EXPECT_EQ(write_json(texts_info(kKicad9)),
            R"({"reference":{"hidden":false,"size":1.0,"x":0.0,"y":-2.3},"value":{"hidden":true,"size":0.8,"x":0.75,"y":2.3}})");
}

TEST(PropertyTextsTest, MoveKeepsTheRestOfTheProperty) {
  EXPECT_EQ(set_text_position(kKicad9, TextKind::kReference, 1.25, -3),
            replaced(kKicad9, "(at 0 -2.3 0)", "(at 1.25 -3 0)"));
  EXPECT_EQ(set_text_position(kKicad9, TextKind::kValue, -0.5, 4),
            replaced(kKicad9, "(at 0.75 2.3 90)", "(at -0.5 4 90)"));
  EXPECT_EQ(set_text_position(kKicad8, TextKind::kReference, 0, -3.1),
            replaced(kKicad8, "(at 1 -2 180)", "(at 0 -3.1 180)"));
}

TEST(PropertyTextsTest, Resize) {
  EXPECT_EQ(set_text_size(kKicad9, TextKind::kValue, 1.234),
            replaced(replaced(kKicad9, "(size 0.8 0.9)", "(size 1.23 1.23)"), "(thickness 0.12)", "(thickness 0.19)"));
  EXPECT_EQ(set_text_size(kKicad8, TextKind::kReference, 0.5),
            replaced(kKicad8, "(size 1.5 1.5) (thickness 0.2)", "(size 0.5 0.5) (thickness 0.08)"));
  // No size to change: the text stays as it is.
  const std::string no_size = "(property \"Value\" \"V\" (at 1 2) (layer \"F.Fab\"))";
  EXPECT_EQ(set_text_size(no_size, TextKind::kValue, 2), no_size);
}

// Wherever an `fp_text` of the kind is found, the property is not looked at.
TEST(PropertyTextsTest, FpTextComesFirst) {
  const std::string both = "(fp_text value \"V\" (at 5 6) (effects (font (size 2 2) (thickness 0.3))))\n" +
                           std::string(kKicad9);
  EXPECT_EQ(text_info(both, TextKind::kValue), (TextInfo{5, 6, 2, false}));
  EXPECT_EQ(set_text_position(both, TextKind::kValue, 1, 1), replaced(both, "(at 5 6)", "(at 1 1)"));
  EXPECT_EQ(set_text_size(both, TextKind::kValue, 1),
            replaced(both, "(size 2 2) (thickness 0.3)", "(size 1 1) (thickness 0.15)"));
  // The reference has no fp_text here, so its property is used.
  EXPECT_EQ(text_info(both, TextKind::kReference), (TextInfo{0, -2.3, 1, false}));
}

std::string corpus_dir(std::string_view which) {
  const char* source = std::getenv("TOVIK_SOURCE_DIR");
  return std::string(source ? source : ".") + "/../shared/corpus/" + std::string(which);
}

std::string read_all(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Every KiCad 9 footprint of the corpus: both texts are found, and moving
// and resizing a text is read back, and moving it back restores the file.
TEST(PropertyTextsTest, Kicad9Corpus) {
  const std::filesystem::path dir = corpus_dir("kicad9");
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no corpus at " << dir;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".kicad_mod") continue;
    ++files;
    const std::string text = read_all(entry.path());
    const std::string name = entry.path().filename().string();
    for (TextKind kind : {TextKind::kReference, TextKind::kValue}) {
      std::optional<TextInfo> info = text_info(text, kind);
      ASSERT_TRUE(info.has_value()) << name << " " << text_kind_word(kind);
      const std::string moved = set_text_position(text, kind, info->x + 1.25, info->y - 0.5);
      ASSERT_NE(moved, text) << name;
      std::optional<TextInfo> after = text_info(moved, kind);
      ASSERT_TRUE(after.has_value()) << name;
      EXPECT_EQ(after->x, info->x + 1.25) << name;
      EXPECT_EQ(after->y, info->y - 0.5) << name;
      EXPECT_EQ(after->size, info->size) << name;
      EXPECT_EQ(after->hidden, info->hidden) << name;
      EXPECT_EQ(moved.size() - text.size(),
                format_number(info->x + 1.25).size() + format_number(info->y - 0.5).size() -
                    format_number(info->x).size() - format_number(info->y).size())
          << name << ": only the two numbers change";
      EXPECT_EQ(set_text_position(moved, kind, info->x, info->y), text) << name;
      const std::string resized = set_text_size(text, kind, 1.7);
      EXPECT_EQ(text_info(resized, kind)->size, 1.7) << name;
      EXPECT_EQ(text_info(resized, kind)->x, info->x) << name;
    }
    // The two kinds never touch each other's entry.
    const std::string moved = set_text_position(text, TextKind::kValue, 9, 9);
    EXPECT_EQ(text_info(moved, TextKind::kReference), text_info(text, TextKind::kReference)) << name;
  }
  EXPECT_GE(files, 200);
}

// The text with every whitespace run turned into one blank: the one-line
// layout of the same elements.
std::string collapse_whitespace(std::string_view text) {
  std::string out;
  bool in_run = false;
  for (char c : text) {
    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (space && !in_run) out += ' ';
    if (!space) out += c;
    in_run = space;
  }
  return out;
}

// Every KiCad 9 footprint of the corpus has the extent of its one-line form.
TEST(FootprintBoundingBoxTest, Kicad9Corpus) {
  const std::filesystem::path dir = corpus_dir("kicad9");
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no corpus at " << dir;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".kicad_mod") continue;
    ++files;
    const std::string text = read_all(entry.path());
    const std::string name = entry.path().filename().string();
    const std::string one_line = collapse_whitespace(text);
    ASSERT_EQ(one_line.find('\n'), std::string::npos) << name;
    EXPECT_EQ(footprint_bounding_box(text), footprint_bounding_box(one_line)) << name;
  }
  EXPECT_GE(files, 200);
}

}  // namespace
