#include "render/normalize.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const char* name;
  std::string in;
  std::string out;
};

void expect_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(normalize_kicad_text(c.in), c.out) << c.name << "\ninput: " << c.in;
  }
}

TEST(NormalizeTest, ModuleAndModelRewrites) {
  expect_cases({
      {"only the first module keyword", "(module A (module B",
       "(footprint A (module B"},
      {"module without a following space stays", "(module\tA", "(module\tA"},
      {"unquoted model path gets quotes", "(model Pkg.3dshapes/X.wrl (at (xyz 0 0 0)))",
       "(model \"Pkg.3dshapes/X.wrl\" (offset (xyz 0 0 0)))"},
      {"quoted path with spaces stays", "(model \"my dir/X.wrl\" (offset (xyz 0 0 0)))",
       "(model \"my dir/X.wrl\" (offset (xyz 0 0 0)))"},
      {"line break before the path becomes one space", "(model\n   X.wrl\n)",
       "(model \"X.wrl\"\n)"},
      {"blanks before a quoted path become one space", "(model  \t\"X.wrl\")",
       "(model \"X.wrl\")"},
      {"no-break space counts as whitespace", "(model\u00a0X.wrl)", "(model \"X.wrl\")"},
      {"vertical tab counts as whitespace", "(model\vX.wrl)", "(model \"X.wrl\")"},
      {"path ends at a no-break space", "(descr \"5 µm\") (model X.wrl\u3000(at",
       "(descr \"5 µm\") (model \"X.wrl\"\u3000(at"},
      {"path is cut at a parenthesis", "(model X.wrl(at", "(model \"X.wrl\"(at"},
      {"model without a path", "(model (offset (xyz 1 2 3)))", "(model (offset (xyz 1 2 3)))"},
      {"every model offset", "(at (xyz 1 2 3)) (at (xyz 4 5 6))",
       "(offset (xyz 1 2 3)) (offset (xyz 4 5 6))"},
      {"pad positions are not model offsets", "(pad 1 smd rect (at 1 2) (size 1 1))",
       "(pad 1 smd rect (at 1 2) (size 1 1))"},
  });
}

TEST(NormalizeTest, TextQuoting) {
  expect_cases({
      {"reference", "(fp_text reference REF** (at 0 -3) (layer F.SilkS)",
       "(fp_text reference \"REF**\" (at 0 -3) (layer F.SilkS)"},
      {"value", "(fp_text value R_0603 (at 0 3)", "(fp_text value \"R_0603\" (at 0 3)"},
      {"user", "(fp_text user %R (at 0 0)", "(fp_text user \"%R\" (at 0 0)"},
      {"text with a quote inside", "(fp_text user a\"b (at 0 0)",
       "(fp_text user \"a\"b\" (at 0 0)"},
      {"already quoted", "(fp_text reference \"REF**\" (at 0 0)",
       "(fp_text reference \"REF**\" (at 0 0)"},
      {"other text kinds stay", "(fp_text label X (at 0 0)", "(fp_text label X (at 0 0)"},
      {"text not followed by a space", "(fp_text value X(at 0 0)", "(fp_text value X(at 0 0)"},
      {"two texts", "(fp_text reference R1 (at 0 0))(fp_text value 10k (at 0 1))",
       "(fp_text reference \"R1\" (at 0 0))(fp_text value \"10k\" (at 0 1))"},
      {"an unquoted text after quoted ones",
       "(fp_text reference \"R1\" (at 0 0))(fp_text value \"10k\")(fp_text user %V (at 0 1))",
       "(fp_text reference \"R1\" (at 0 0))(fp_text value \"10k\")(fp_text user \"%V\" (at 0 1))"},
  });
}

TEST(NormalizeTest, OldArcsBecomeThreePointArcs) {
  expect_cases({
      {"quarter arc",
       "(fp_arc (start 0 0) (end 1 0) (angle 90) (layer F.SilkS) (width 0.12))",
       "(fp_arc (start 1.0000 0.0000) (mid 0.7071 0.7071) (end 0.0000 1.0000) "
       "(stroke (width 0.12) (type solid)) (layer F.SilkS))"},
      {"negative sweep keeps the sign of a tiny coordinate",
       "(fp_arc (start 0 0) (end 1 0) (angle -180) (layer F.Fab) (width 0.1))",
       "(fp_arc (start 1.0000 0.0000) (mid 0.0000 -1.0000) (end -1.0000 -0.0000) "
       "(stroke (width 0.1) (type solid)) (layer F.Fab))"},
      {"off-origin centre, widths kept as written",
       "(fp_arc (start 15.2 0) (end 4.01 3.6) (angle -162.5) (layer F.CrtYd) (width 0.050))",
       "(fp_arc (start 4.0100 3.6000) (mid 17.0558 11.6074) (end 26.9546 -0.0685) "
       "(stroke (width 0.050) (type solid)) (layer F.CrtYd))"},
      {"quoted layer keeps its quotes",
       "(fp_arc (start 0 0) (end 0 2) (angle 90) (layer \"F.SilkS\") (width 0.12))",
       "(fp_arc (start 0.0000 2.0000) (mid -1.4142 1.4142) (end -2.0000 0.0000) "
       "(stroke (width 0.12) (type solid)) (layer \"F.SilkS\"))"},
      {"unconvertible angle reads as 0",
       "(fp_arc (start 0 0) (end 1 0) (angle 1.2.3) (layer F.Fab) (width 0.1))",
       "(fp_arc (start 1.0000 0.0000) (mid 1.0000 0.0000) (end 1.0000 0.0000) "
       "(stroke (width 0.1) (type solid)) (layer F.Fab))"},
      {"two spaces: only the width ending is rewritten",
       "(fp_arc (start 0 0)  (end 1 0) (angle 90) (layer F.SilkS) (width 0.12))",
       "(fp_arc (start 0 0)  (end 1 0) (angle 90) (layer F.SilkS) "
       "(stroke (width 0.12) (type solid)))"},
      {"other attribute order: only the width ending is rewritten",
       "(fp_arc (start 0 0) (end 1 0) (layer F.SilkS) (angle 90) (width 0.12))",
       "(fp_arc (start 0 0) (end 1 0) (layer F.SilkS) (angle 90) "
       "(stroke (width 0.12) (type solid)))"},
      {"three-point arcs stay",
       "(fp_arc (start 1 0) (mid 0.7 0.7) (end 0 1) (stroke (width 0.12) (type solid)) "
       "(layer \"F.SilkS\"))",
       "(fp_arc (start 1 0) (mid 0.7 0.7) (end 0 1) (stroke (width 0.12) (type solid)) "
       "(layer \"F.SilkS\"))"},
  });
}

TEST(NormalizeTest, ArcTooLargeForFiniteNumbersStaysAsWritten) {
  // 1.7e308 written out: the radius overflows, so the arc keeps its old form
  // (and its width ending still becomes a stroke block).
  std::string big = "17" + std::string(307, '0');
  std::string arc = "(fp_arc (start -" + big + " 0) (end " + big +
                    " 0) (angle 90) (layer F.SilkS) (width 0.12))";
  std::string out = normalize_kicad_text(arc);
  EXPECT_EQ(out, arc.substr(0, arc.size() - std::string("(width 0.12))").size()) +
                     "(stroke (width 0.12) (type solid)))");
  EXPECT_EQ(out.find("inf"), std::string::npos);
  EXPECT_EQ(out.find("nan"), std::string::npos);
}

TEST(NormalizeTest, WidthEndings) {
  expect_cases({
      {"old line",
       "(fp_line (start 0 0) (end 1 0) (layer F.SilkS) (width 0.12))",
       "(fp_line (start 0 0) (end 1 0) (layer F.SilkS) (stroke (width 0.12) (type solid)))"},
      {"old circle and polygon",
       "(fp_circle (center 0 0) (end 1 0) (layer F.Fab) (width 0.1))"
       "(fp_poly (pts (xy 0 0) (xy 1 1)) (layer F.SilkS) (width 0.15))",
       "(fp_circle (center 0 0) (end 1 0) (layer F.Fab) (stroke (width 0.1) (type solid)))"
       "(fp_poly (pts (xy 0 0) (xy 1 1)) (layer F.SilkS) (stroke (width 0.15) (type solid)))"},
      {"current stroke block stays",
       "(fp_line (start 0 0) (end 1 0) (stroke (width 0.12) (type solid)) (layer \"F.SilkS\"))",
       "(fp_line (start 0 0) (end 1 0) (stroke (width 0.12) (type solid)) (layer \"F.SilkS\"))"},
      {"negative width is not a width", "(width -1))", "(width -1))"},
      {"an old ending after a stroke block",
       "(fp_line (stroke (width 0.12) (type solid)))(fp_circle (width .1))(fp_line (width 0.2) (layer F.Fab))",
       "(fp_line (stroke (width 0.12) (type solid)))(fp_circle (stroke (width .1) (type solid)))"
       "(fp_line (width 0.2) (layer F.Fab))"},
  });
}

TEST(NormalizeTest, OneSpaceAfterElementKeywords) {
  expect_cases({
      {"line break and tabs", "(fp_line\n\t\t(start 0 0)\n\t\t(end 1 0)",
       "(fp_line (start 0 0)\n\t\t(end 1 0)"},
      {"every element keyword",
       "(pad\t\"1\" smd)(fp_rect\r\n (start)(fp_poly  (pts)(fp_arc\n(start)(fp_circle\n(center)"
       "(fp_text\n user)",
       "(pad \"1\" smd)(fp_rect (start)(fp_poly (pts)(fp_arc (start)(fp_circle (center)"
       "(fp_text user)"},
      {"trailing blanks after one space", "(pad \n\t\"1\"", "(pad \"1\""},
      {"no-break space", "(fp_arc\u00a0(start", "(fp_arc (start"},
      {"vertical tab", "(fp_circle\v(center", "(fp_circle (center"},
      {"one space stays", "(pad \"1\" smd rect", "(pad \"1\" smd rect"},
      {"longer keywords stay", "(pads\n\t(pad_prop\n(fp_text_box\n\t(start",
       "(pads\n\t(pad_prop\n(fp_text_box\n\t(start"},
      {"other elements stay", "(gr_line\n\t(start 0 0)(property\n\"x\")",
       "(gr_line\n\t(start 0 0)(property\n\"x\")"},
      {"keyword at the end", "(fp_line", "(fp_line"},
      {"one blank at the end", "(fp_line ", "(fp_line "},
      {"only the last keyword is loose", "(pad 1)(pad 2)(fp_text user)(fp_line\n(start",
       "(pad 1)(pad 2)(fp_text user)(fp_line (start"},
      {"two blanks", "(fp_poly  (pts", "(fp_poly (pts"},
  });
}

TEST(NormalizeTest, EmptyAndUnrelatedText) {
  expect_cases({
      {"empty", "", ""},
      {"not a footprint", "hello (world)", "hello (world)"},
      {"unclosed", "(module X (fp_text reference", "(footprint X (fp_text reference"},
  });
}

// A complete footprint in the KiCad 5 layout, as the library's older variants
// are written.
TEST(NormalizeTest, OldSyntaxFootprint) {
  const std::string in =
      "(module Test_Old (layer F.Cu) (tedit 5A02FF57)\n"
      "  (descr \"old style\")\n"
      "  (fp_text reference REF** (at 0 -2) (layer F.SilkS)\n"
      "    (effects (font (size 1 1) (thickness 0.15)))\n"
      "  )\n"
      "  (fp_text value Test_Old (at 0 2) (layer F.Fab)\n"
      "    (effects (font (size 1 1) (thickness 0.15)))\n"
      "  )\n"
      "  (fp_arc (start 0 0) (end 0 -1.5) (angle 180) (layer F.SilkS) (width 0.12))\n"
      "  (fp_line (start -1 -1) (end 1 -1) (layer F.CrtYd) (width 0.05))\n"
      "  (fp_circle (center 0 0) (end 0.5 0) (layer F.Fab) (width 0.1))\n"
      "  (pad 1 smd rect (at -0.8 0) (size 0.9 1) (layers F.Cu F.Paste F.Mask))\n"
      "  (pad 2 thru_hole circle (at 0.8 0) (size 1.2 1.2) (drill 0.6) (layers *.Cu *.Mask))\n"
      "  (model ${KISYS3DMOD}/Test.3dshapes/Test_Old.wrl\n"
      "    (at (xyz 0 0 0))\n"
      "    (scale (xyz 1 1 1))\n"
      "    (rotate (xyz 0 0 0))\n"
      "  )\n"
      ")\n";
  const std::string out =
      "(footprint Test_Old (layer F.Cu) (tedit 5A02FF57)\n"
      "  (descr \"old style\")\n"
      "  (fp_text reference \"REF**\" (at 0 -2) (layer F.SilkS)\n"
      "    (effects (font (size 1 1) (thickness 0.15)))\n"
      "  )\n"
      "  (fp_text value \"Test_Old\" (at 0 2) (layer F.Fab)\n"
      "    (effects (font (size 1 1) (thickness 0.15)))\n"
      "  )\n"
      "  (fp_arc (start 0.0000 -1.5000) (mid 1.5000 0.0000) (end 0.0000 1.5000) "
      "(stroke (width 0.12) (type solid)) (layer F.SilkS))\n"
      "  (fp_line (start -1 -1) (end 1 -1) (layer F.CrtYd) (stroke (width 0.05) (type solid)))\n"
      "  (fp_circle (center 0 0) (end 0.5 0) (layer F.Fab) (stroke (width 0.1) (type solid)))\n"
      "  (pad 1 smd rect (at -0.8 0) (size 0.9 1) (layers F.Cu F.Paste F.Mask))\n"
      "  (pad 2 thru_hole circle (at 0.8 0) (size 1.2 1.2) (drill 0.6) (layers *.Cu *.Mask))\n"
      "  (model \"${KISYS3DMOD}/Test.3dshapes/Test_Old.wrl\"\n"
      "    (offset (xyz 0 0 0))\n"
      "    (scale (xyz 1 1 1))\n"
      "    (rotate (xyz 0 0 0))\n"
      "  )\n"
      ")\n";
  EXPECT_EQ(normalize_kicad_text(in), out);
}

}  // namespace
