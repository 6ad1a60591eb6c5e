#include "fp_render/reader.h"

#include <cmath>
#include <numbers>
#include <random>

#include <gtest/gtest.h>

#include "fp_render/footprint_patterns.h"

namespace {

// The plain search the reader's element finder must agree with: after an
// unclosed element it starts again one character later, which costs
// quadratic time on many unclosed openers.
std::vector<std::string_view> reference_find_elements(std::string_view text,
                                                      std::string_view kind) {
  std::string needle = "(" + std::string(kind) + " ";
  std::vector<std::string_view> out;
  size_t from = 0;
  while (true) {
    size_t s = text.find(needle, from);
    if (s == std::string_view::npos) break;
    size_t e = s;
    int depth = 0;
    for (size_t i = s; i < text.size(); ++i) {
      if (text[i] == '(') ++depth;
      if (text[i] == ')' && --depth == 0) {
        e = i;
        break;
      }
    }
    out.push_back(text.substr(s, std::min(e, text.size() - 1) - s + 1));
    from = e + 1;
  }
  return out;
}

TEST(ReadNumber, AcceptsOneDecimalNumberOnly) {
  struct Case {
    std::string text;
    std::optional<double> want;
  } cases[] = {
      {"1", 1.0},
      {"-2.5", -2.5},
      {"1.", 1.0},
      {".5", 0.5},
      {"-.5", -0.5},
      {"007.25", 7.25},
      {".", std::nullopt},
      {"-", std::nullopt},
      {"", std::nullopt},
      {"1.2.3", std::nullopt},
      {"--1", std::nullopt},
      {"1e5", std::nullopt},
      {"inf", std::nullopt},
      {"\xd9\xa3", std::nullopt},  // ARABIC-INDIC DIGIT THREE
      {std::string(400, '9'), std::nullopt},
      {std::string(400, '9') + ".5", std::nullopt},
      {"0." + std::string(400, '0') + "1", 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read_number(c.text), c.want) << c.text.substr(0, 20);
  }
  std::optional<double> negative_zero = read_number("-0");
  ASSERT_TRUE(negative_zero.has_value());
  EXPECT_TRUE(std::signbit(*negative_zero));
}

TEST(FindElements, CutsBalancedElementsInFileOrder) {
  struct Case {
    std::string text;
    std::vector<std::string> want;
  } cases[] = {
      {"", {}},
      {"(pad 1 (at 0 0)) (pad 2)", {"(pad 1 (at 0 0))", "(pad 2)"}},
      {"(padx 1) (pad\t2) (pad\n3) (pads 4)", {}},
      // Unclosed at the end: a lone "(" after the elements before it.
      {"(pad 1) (pad 2 (at", {"(pad 1)", "("}},
      // Unclosed opener swallows nothing: the search goes on inside it.
      {"(pad 1 (pad 2 (x))", {"(", "(pad 2 (x))"}},
      // Nested element of the same kind is part of its parent only.
      {"(pad 1 (pad 2)) (pad 3)", {"(pad 1 (pad 2))", "(pad 3)"}},
      // Parentheses inside quotes count too.
      {"(pad \")\" 1) x)", {"(pad \")"}},
      {"))(pad 1))", {"(pad 1)"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string_view> got = find_elements(c.text, "pad");
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.end()), c.want)
        << c.text;
    EXPECT_EQ(got, reference_find_elements(c.text, "pad")) << c.text;
  }
}

TEST(FindElements, AgreesWithPlainSearchOnRandomTexts) {
  std::mt19937 random(12345);
  const std::string_view pieces[] = {"(pad ", "(pad", "(", ")", " ", "x",
                                     "(fp_line ", "(padpad ", "\"", "(p"};
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    int length = static_cast<int>(random() % 30);
    for (int i = 0; i < length; ++i) text += pieces[random() % 10];
    for (std::string_view kind : {"pad", "fp_line", "p"}) {
      ASSERT_EQ(find_elements(text, kind), reference_find_elements(text, kind))
          << "kind " << kind << " text " << text;
    }
  }
}

TEST(FindElements, ManyUnclosedOpenersStayCheap) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "(pad ";
  text += "(pad 1)";
  std::vector<std::string_view> got = find_elements(text, "pad");
  ASSERT_EQ(got.size(), 200001u);
  EXPECT_EQ(got.front(), "(");
  EXPECT_EQ(got.back(), "(pad 1)");
}

TEST(ElementLayer, FirstLayerAttributeWithoutQuotes) {
  struct Case {
    std::string element;
    std::string want;
  } cases[] = {
      {"(fp_line (layer \"F.SilkS\"))", "F.SilkS"},
      {"(fp_line (layer F.Fab) (layer F.Cu))", "F.Fab"},
      {"(fp_line (layer  \"F.Cu\" ))", "F.Cu"},
      {"(pad 1 smd rect (layers \"F.Cu\" \"F.Mask\"))", ""},
      {"(fp_line (layer))", ""},
      {"(fp_line)", ""},
      {"(fp_line (layer\xc2\xa0" "F.Fab))", "F.Fab"},  // NO-BREAK SPACE
  };
  for (const Case& c : cases) {
    EXPECT_EQ(element_layer(c.element), c.want) << c.element;
  }
}

void expect_points(const GeoPolyline& line, const std::vector<GeoPoint>& want,
                   const std::string& label) {
  ASSERT_EQ(line.points.size(), want.size()) << label;
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(line.points[i].x, want[i].x, 1e-12) << label << " point " << i;
    EXPECT_NEAR(line.points[i].y, want[i].y, 1e-12) << label << " point " << i;
  }
}

TEST(FlattenArc, ThreePointArcs) {
  // cos 45 and sin 45 differ in the last digit as doubles.
  std::optional<GeoPolyline> quarter = flatten_arc(
      "(fp_arc (start 1 0) (mid 0.70710678118654757 0.70710678118654746) "
      "(end 0 1))");
  ASSERT_TRUE(quarter.has_value());
  ASSERT_EQ(quarter->points.size(), 10u);  // 9 segments over +90 degrees
  for (size_t i = 0; i < 10; ++i) {
    double a = std::numbers::pi / 2 * static_cast<double>(i) / 9;
    EXPECT_NEAR(quarter->points[i].x, std::cos(a), 1e-6) << i;
    EXPECT_NEAR(quarter->points[i].y, std::sin(a), 1e-6) << i;
  }

  std::optional<GeoPolyline> half =
      flatten_arc("(fp_arc (start 1 0) (mid 0 -1) (end -1 0))");
  ASSERT_TRUE(half.has_value());
  ASSERT_EQ(half->points.size(), 19u);  // 18 segments over -180 degrees
  EXPECT_NEAR(half->points[9].x, 0, 1e-12);
  EXPECT_NEAR(half->points[9].y, -1, 1e-12);

  std::optional<GeoPolyline> collinear =
      flatten_arc("(fp_arc (start 0 0) (mid 1 1) (end 2 2))");
  ASSERT_TRUE(collinear.has_value());
  expect_points(*collinear, {{0, 0}, {2, 2}}, "collinear");
}

TEST(FlattenArc, CentreAndAngleArcs) {
  struct Case {
    std::string element;
    size_t want_points;
  } cases[] = {
      {"(fp_arc (start 0 0) (end 1 0) (angle 90))", 10},
      {"(fp_arc (start 0 0) (end 1 0) (angle -90))", 10},
      {"(fp_arc (start 0 0) (end 1 0) (angle 720))", 65},
      {"(fp_arc (start 0 0) (end 1 0) (angle 0.5))", 3},
      {"(fp_arc (start 0 0) (end 1 0) (angle 99999999999999999999))", 65},
  };
  for (const Case& c : cases) {
    std::optional<GeoPolyline> arc = flatten_arc(c.element);
    ASSERT_TRUE(arc.has_value()) << c.element;
    EXPECT_EQ(arc->points.size(), c.want_points) << c.element;
    EXPECT_EQ(arc->points.front(), (GeoPoint{1, 0})) << c.element;
  }
  std::optional<GeoPolyline> minus = flatten_arc(cases[1].element);
  EXPECT_NEAR(minus->points.back().x, 0, 1e-12);
  EXPECT_NEAR(minus->points.back().y, -1, 1e-12);

  // An exponent is no angle: the arc is its chord.
  std::optional<GeoPolyline> chord =
      flatten_arc("(fp_arc (start 0 0) (end 1 0) (angle 1e9))");
  ASSERT_TRUE(chord.has_value());
  expect_points(*chord, {{0, 0}, {1, 0}}, "angle 1e9");

  std::optional<GeoPolyline> zero =
      flatten_arc("(fp_arc (start 0 0) (end 1 2) (angle 0))");
  ASSERT_TRUE(zero.has_value());
  expect_points(*zero, {{1, 2}, {1, 2}, {1, 2}}, "angle 0");
}

TEST(FlattenArc, MissingEndsAndDegenerateInput) {
  EXPECT_FALSE(flatten_arc("(fp_arc (start 0 0) (mid 1 1))").has_value());
  EXPECT_FALSE(flatten_arc("(fp_arc (mid 1 1) (end 0 0))").has_value());
  std::optional<GeoPolyline> bare = flatten_arc("(fp_arc (end 3 4) (start 1 2))");
  ASSERT_TRUE(bare.has_value());
  expect_points(*bare, {{1, 2}, {3, 4}}, "no mid, no angle");

  // Coordinates near the largest double overflow the centre: the chord is
  // drawn instead of infinities or NaN.
  std::string big = "1" + std::string(300, '0');
  std::optional<GeoPolyline> huge = flatten_arc(
      "(fp_arc (start -" + big + " 0) (mid 0 1) (end " + big + " 0.5))");
  ASSERT_TRUE(huge.has_value());
  ASSERT_EQ(huge->points.size(), 2u);
  std::optional<GeoPolyline> wide = flatten_arc(
      "(fp_arc (start -" + big + " 0) (end " + big + " 0) (angle 45))");
  ASSERT_TRUE(wide.has_value());
  ASSERT_EQ(wide->points.size(), 2u);
  for (const GeoPoint& p : wide->points) {
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
  }
}

TEST(ParseFootprint, ReadsPadsInBothSyntaxes) {
  GeoPad want{"1", "smd", "roundrect", 1, 2, 90, 1, 0.5, 0.25, 0};
  const char* texts[] = {
      "(pad \"1\" smd roundrect (at 1 2 90) (size 1 0.5) "
      "(layers \"F.Cu\" \"F.Paste\" \"F.Mask\") (roundrect_rratio 0.25))",
      "(pad 1 smd roundrect (at 1 2 90) (size 1 0.5) (layers F.Cu F.Paste F.Mask))",
  };
  for (const char* text : texts) {
    FootprintGeometry g = parse_footprint(text);
    ASSERT_EQ(g.pads.size(), 1u) << text;
    EXPECT_EQ(g.pads[0], want) << text;
  }
}

TEST(ParseFootprint, PadAttributeRules) {
  struct Case {
    std::string text;
    std::optional<GeoPad> want;
  } cases[] = {
      {"(pad \"\" np_thru_hole circle (at 0 0) (size 1 1) (drill 1))",
       std::nullopt},
      {"(pad 1 smd rect (at 0 0))", std::nullopt},
      {"(pad 1 smd rect (size 1 1))", std::nullopt},
      {"(pad 1 smd (at 0 0) (size 1 1))", std::nullopt},
      {"(pad 2 thru_hole oval (at 1.5 -2) (size 2 3) (drill oval 1 2) "
       "(layers \"*.Cu\"))",
       GeoPad{"2", "thru_hole", "oval", 1.5, -2, 0, 2, 3, 0.25, 0}},
      {"(pad A1 thru_hole circle (at 0 0 45) (size 1.7 1.7) (drill 1.0) "
       "(layers \"B.Cu\" \"B.Mask\"))",
       GeoPad{"A1", "thru_hole", "circle", 0, 0, 45, 1.7, 1.7, 0.25, 1.0}},
      // Unreadable numbers read 0, an unreadable ratio keeps 0.25.
      {"(pad 3 smd roundrect (at 1.2.3 .) (size 1..0 2) (roundrect_rratio ..))",
       GeoPad{"3", "smd", "roundrect", 0, 0, 0, 0, 2, 0.25, 0}},
      {"(pad 4 smd roundrect (at 1 2) (size 1 1) (roundrect_rratio 0.1))",
       GeoPad{"4", "smd", "roundrect", 1, 2, 0, 1, 1, 0.1, 0}},
      // Exponents do not match the number patterns at all.
      {"(pad 5 smd rect (at 1e1 0) (size 1 1))", std::nullopt},
      // Unicode whitespace and digits, word characters in kind and shape.
      {"(pad 6\xc2\xa0sm\xc3\xa9 rect (at\xe2\x80\x83" "1 \xd9\xa3) (size 1 1))",
       GeoPad{"6", "sm\xc3\xa9", "rect", 1, 0, 0, 1, 1, 0.25, 0}},
  };
  for (const Case& c : cases) {
    FootprintGeometry g = parse_footprint(c.text);
    if (!c.want) {
      EXPECT_TRUE(g.pads.empty()) << c.text;
      continue;
    }
    ASSERT_EQ(g.pads.size(), 1u) << c.text;
    EXPECT_EQ(g.pads[0], *c.want) << c.text;
  }
}

TEST(ParseFootprint, SortsGraphicsByKindAndLayer) {
  const std::string text =
      "(footprint \"X\"\n"
      "  (fp_line (start 0 0) (end 1 1) (layer \"F.CrtYd\"))\n"
      "  (fp_line (start 0 0) (end 2 2) (stroke (width 0.1)) (layer \"F.Fab\"))\n"
      "  (fp_line (start 0 0) (end 3 3) (layer F.SilkS))\n"
      "  (fp_line (start 0 0) (end 4 4) (layer \"F.Cu\"))\n"
      "  (fp_line (start 0 0) (layer \"F.Fab\") (end 5 5))\n"
      "  (fp_line (start 0 0) (end 6 6) (layer \"f.fab\"))\n"
      "  (fp_rect (start 1 2) (end -1 -2) (layer \"F.CrtYd\"))\n"
      "  (fp_rect (start 1 2) (end 3 4) (layer \"F.Fab\"))\n"
      "  (fp_rect (start 1 2) (end 3 4) (layer \"F.SilkS\"))\n"
      "  (fp_poly (pts (xy 0 0) (arc (start 9 9) (mid 8 8) (end 7 7)) (xy 1 0)"
      " (xy 1 1)) (layer \"F.Fab\"))\n"
      "  (fp_poly (pts (xy 5 5)) (layer \"F.SilkS\") (fill solid))\n"
      "  (fp_poly (pts (xy 5 5)) (layer \"F.CrtYd\"))\n"
      "  (fp_poly (pts) (layer \"F.Fab\"))\n"
      "  (fp_arc (start 0 0) (end 1 1) (layer \"F.CrtYd\"))\n"
      "  (fp_arc (start 0 0) (end 2 2) (layer \"F.Fab\"))\n"
      "  (fp_arc (start 0 0) (end 3 3) (layer \"F.SilkS\"))\n"
      "  (fp_arc (start 0 0) (end 4 4) (layer \"B.SilkS\"))\n"
      "  (fp_circle (center 0 0) (end 1 0) (layer \"F.Fab\") (fill solid))\n"
      "  (fp_circle (center 0 0) (end 0 2) (layer \"F.Fab\") (fill none))\n"
      "  (fp_circle (center 1 1) (end 4 5) (layer \"F.SilkS\") (fill yes))\n"
      "  (fp_circle (center 0 0) (end 3 0) (layer \"F.CrtYd\"))\n"
      "  (fp_circle (center 0 0) (layer \"F.CrtYd\"))\n"
      "  (fp_line (start 9 9) (end 9 9) (layer \"F.SilkS\")\n";  // unclosed
  FootprintGeometry g = parse_footprint(text);
  EXPECT_EQ(g.courtyard_lines, (std::vector<GeoSegment>{{0, 0, 1, 1}}));
  EXPECT_EQ(g.fab_lines, (std::vector<GeoSegment>{{0, 0, 2, 2}}));
  EXPECT_EQ(g.silk_lines, (std::vector<GeoSegment>{{0, 0, 3, 3}}));
  EXPECT_EQ(g.courtyard_rects, (std::vector<GeoSegment>{{1, 2, -1, -2}}));
  EXPECT_EQ(g.fab_rects, (std::vector<GeoSegment>{{1, 2, 3, 4}}));
  EXPECT_EQ(g.fab_polys,
            (std::vector<GeoPolyline>{{{{0, 0}, {1, 0}, {1, 1}}}}));
  EXPECT_EQ(g.silk_polys, (std::vector<GeoPolyline>{{{{5, 5}}}}));
  EXPECT_EQ(g.courtyard_arcs, (std::vector<GeoPolyline>{{{{0, 0}, {1, 1}}}}));
  EXPECT_EQ(g.fab_arcs, (std::vector<GeoPolyline>{{{{0, 0}, {2, 2}}}}));
  EXPECT_EQ(g.silk_arcs, (std::vector<GeoPolyline>{{{{0, 0}, {3, 3}}}}));
  EXPECT_EQ(g.fab_circles,
            (std::vector<GeoCircle>{{0, 0, 1, true}, {0, 0, 2, false}}));
  EXPECT_EQ(g.silk_circles, (std::vector<GeoCircle>{{1, 1, 5, true}}));
  EXPECT_EQ(g.courtyard_circles, (std::vector<GeoCircle>{{0, 0, 3, false}}));
  EXPECT_TRUE(g.pads.empty());
}

TEST(ParseFootprint, NonFootprintTextGivesEmptyGeometry) {
  for (const char* text : {"", "hello", "((((", "(footprint \"x\")",
                           "(pad (pad (pad"}) {
    EXPECT_EQ(parse_footprint(text), FootprintGeometry{}) << text;
  }
}

TEST(FootprintPatterns, WidenedClassesCompile) {
  EXPECT_EQ(widen_unicode_classes(R"(\(a\d[\d.]\))"),
            R"(\(a[\p{Nd}][\p{Nd}.]\))");
  const TextPattern* all[] = {
      &at_pattern(),    &size_pattern(),       &drill_pattern(),
      &rratio_pattern(), &layer_pattern(),     &start_end_pattern(),
      &pad_header_pattern(), &xy_pattern(),    &start_pattern(),
      &end_pattern(),   &mid_pattern(),        &angle_pattern(),
      &center_pattern()};
  for (const TextPattern* pattern : all) {
    for (TextPattern::Form form : {TextPattern::kAscii, TextPattern::kUnicode}) {
      const RE2& re = pattern->compiled(form);
      EXPECT_TRUE(re.ok()) << re.pattern() << ": " << re.error();
    }
  }
  // Vertical tab and the Unicode spaces are whitespace; U+200B is not.
  PatternMatch m;
  EXPECT_TRUE(search(size_pattern(), "(size\v1\xe3\x80\x80" "2)", m));
  EXPECT_FALSE(search(size_pattern(), "(size\xe2\x80\x8b" "1 2)", m));
  // Circled letters are word characters, the plus sign is not.
  EXPECT_TRUE(search(pad_header_pattern(), "(pad 1 \xe2\x93\x90 x", m));
  EXPECT_FALSE(search(pad_header_pattern(), "(pad 1 + x", m));
}

}  // namespace
