#include "paste/paste_overlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Expected markup, written from literal number texts.
std::string outline(const char* x, const char* y, const char* w, const char* h,
                    const char* angle, const char* cx, const char* cy) {
  return std::string("<rect x=\"") + x + "\" y=\"" + y + "\" width=\"" + w + "\" height=\"" + h +
         "\" rx=\"0.05\" transform=\"rotate(" + angle + " " + cx + " " + cy +
         ")\" fill=\"none\" stroke=\"#8aa0b8\" stroke-width=\"0.03\" "
         "stroke-dasharray=\"0.12 0.08\" opacity=\"0.7\"/>";
}

std::string dot(const char* x, const char* y) {
  return std::string("<circle cx=\"") + x + "\" cy=\"" + y +
         "\" r=\"0.150\" fill=\"#37c8a6\" opacity=\"0.92\"/>";
}

const std::string kAperturesOpen = "<g class=\"tovik-layer-paste-apertures\">";
const std::string kDotsOpen = "<g class=\"tovik-layer-paste-dots\">";

size_t count(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1)) ++n;
  return n;
}

// The cx/cy pairs of the dots, in output order.
std::vector<std::string> dot_centres(const std::string& dots) {
  std::vector<std::string> centres;
  for (size_t p = dots.find("cx=\""); p != std::string::npos; p = dots.find("cx=\"", p + 1)) {
    size_t end = dots.find("\" r=", p);
    centres.push_back(dots.substr(p, end - p));
  }
  return centres;
}

TEST(FindPasteAperturesTest, WhichPadsPrintPaste) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<PasteAperture> expected;
  };
  const Case cases[] = {
      {"through-hole pad", "(pad 1 thru_hole circle (at 0 0) (size 2 2) (drill 1) (layers *.Cu))",
       {}},
      {"smd pad with paste, new syntax",
       "(pad \"1\" smd roundrect (at -1 0.5 90) (size 1 0.5) (layers \"F.Cu\" \"F.Paste\" "
       "\"F.Mask\") (roundrect_rratio 0.25))",
       {{-1, 0.5, 1, 0.5, 90}}},
      {"smd pad with paste, old syntax",
       "(pad 2 smd rect (at 1 2) (size 0.9 1.2) (layers F.Cu F.Paste F.Mask))",
       {{1, 2, 0.9, 1.2, 0}}},
      {"small pad without paste layer", "(pad 1 smd rect (at 0 0) (size 1 1) (layers F.Cu F.Mask))",
       {}},
      {"exposed pad without paste layer",
       "(pad 9 smd rect (at 0 0) (size 3 3) (layers F.Cu F.Mask))", {{0, 0, 3, 3, 0}}},
      {"too elongated for an exposed pad",
       "(pad 9 smd rect (at 0 0) (size 4 2) (layers F.Cu F.Mask))", {}},
      {"no layers list at all", "(pad 1 smd rect (at 0 0) (size 1 1))", {{0, 0, 1, 1, 0}}},
      {"unnumbered paste-only pad",
       "(pad \"\" smd roundrect (at 0.5 0.5) (size 1 1) (layers \"F.Paste\"))",
       {{0.5, 0.5, 1, 1, 0}}},
      {"missing size", "(pad 1 smd rect (at 0 0) (layers F.Paste))", {}},
      {"missing at", "(pad 1 smd rect (size 1 1) (layers F.Paste))", {}},
      {"zero height", "(pad 1 smd rect (at 0 0) (size 1 0) (layers F.Paste))", {}},
      {"negative width", "(pad 1 smd rect (at 0 0) (size -1 1) (layers F.Paste))", {}},
      {"unreadable number reads as 0",
       "(pad 1 smd rect (at 1.2.3 4) (size 1 1) (layers F.Paste))", {{0, 4, 1, 1, 0}}},
      {"smd needs a space on both sides", "(pad 1 smd\trect (at 0 0) (size 1 1) (layers F.Paste))",
       {}},
      {"keyword needs one space", "(pad\t1 smd rect (at 0 0) (size 1 1) (layers F.Paste))", {}},
      {"unclosed pad", "(pad 1 smd rect (at 0 0) (size 1 1) (layers F.Paste)", {}},
      {"file order",
       "(pad 2 smd rect (at 2 0) (size 1 1)) (pad 1 smd rect (at 1 0) (size 1 1))",
       {{2, 0, 1, 1, 0}, {1, 0, 1, 1, 0}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(find_paste_apertures(c.text), c.expected) << c.name;
  }
}

TEST(RenderPasteOverlayTest, NoAperturesGivesEmptyGroups) {
  PasteOverlay overlay = render_paste_overlay({});
  EXPECT_EQ(overlay.apertures, kAperturesOpen + "</g>");
  EXPECT_EQ(overlay.dots, kDotsOpen + "</g>");
  EXPECT_EQ(overlay.dot_count, 0u);
}

TEST(RenderPasteOverlayTest, SmallAperturesExactly) {
  struct Case {
    const char* name;
    PasteAperture aperture;
    std::string apertures;
    std::string dots;
  };
  const Case cases[] = {
      {"1.0 x 0.5: two dots side by side",
       {0, 0, 1.0, 0.5, 0},
       outline("-0.500", "-0.250", "1.000", "0.500", "0.00", "0.000", "0.000"),
       dot("-0.225", "0.000") + dot("0.225", "0.000")},
      {"0.4 x 0.4: one dot at the centre",
       {1.5, -2, 0.4, 0.4, 0},
       outline("1.300", "-2.200", "0.400", "0.400", "0.00", "1.500", "-2.000"),
       dot("1.500", "-2.000")},
      {"rotated by 90: the grid turns with the pad",
       {0, 0, 1.0, 0.5, 90},
       outline("-0.500", "-0.250", "1.000", "0.500", "-90.00", "0.000", "0.000"),
       dot("-0.000", "0.225") + dot("0.000", "-0.225")},
      {"negative rotation prints a positive angle",
       {2, 1, 0.5, 0.5, -45},
       outline("1.750", "0.750", "0.500", "0.500", "45.00", "2.000", "1.000"),
       dot("2.000", "1.000")},
      {"angle with two decimals",
       {0, 0, 0.3, 0.3, 12.345},
       outline("-0.150", "-0.150", "0.300", "0.300", "-12.35", "0.000", "0.000"),
       dot("0.000", "0.000")},
  };
  for (const Case& c : cases) {
    PasteOverlay overlay = render_paste_overlay({c.aperture});
    EXPECT_EQ(overlay.apertures, kAperturesOpen + c.apertures + "</g>") << c.name;
    EXPECT_EQ(overlay.dots, kDotsOpen + c.dots + "</g>") << c.name;
    EXPECT_EQ(overlay.dot_count, count(c.dots, "<circle")) << c.name;
  }
}

TEST(RenderPasteOverlayTest, RotatedByThirtyUsesTheCopperTransform) {
  // The copper drawing rotates the unrotated rectangle about the pad centre by
  // the negated angle; the outline does the same, so both coincide.
  PasteOverlay overlay = render_paste_overlay({{1, 2, 1.6, 0.8, 30}});
  EXPECT_EQ(overlay.apertures,
            kAperturesOpen +
                outline("0.200", "1.600", "1.600", "0.800", "-30.00", "1.000", "2.000") + "</g>");
  // 3 x 1 grid (fx = floor(1.18 / 0.45) = 2), u = -0.45, 0, 0.45 turned by -30°.
  EXPECT_EQ(overlay.dots, kDotsOpen + dot("0.610", "2.225") + dot("1.000", "2.000") +
                              dot("1.390", "1.775") + "</g>");
}

TEST(RenderPasteOverlayTest, RotatedByNinetyMatchesExchangedSides) {
  PasteOverlay turned = render_paste_overlay({{3, 4, 2.2, 1.1, 90}});
  PasteOverlay upright = render_paste_overlay({{3, 4, 1.1, 2.2, 0}});
  std::vector<std::string> a = dot_centres(turned.dots), b = dot_centres(upright.dots);
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a.size(), 8u);
  EXPECT_EQ(a, b);
}

TEST(RenderPasteOverlayTest, HeatsinkViasKeepDotsAway) {
  // A 3 x 3 exposed pad at the origin has vias at (±0.6, ±0.6); of its 6 x 6
  // dots only the three per quadrant that are at least 0.55 from the nearest
  // via stay: (0.225, 1.125), (1.125, 0.225) and (1.125, 1.125) mirrored.
  PasteOverlay overlay = render_paste_overlay({{0, 0, 3, 3, 0}});
  EXPECT_EQ(overlay.dots, kDotsOpen + dot("-1.125", "-1.125") + dot("-1.125", "-0.225") +
                              dot("-1.125", "0.225") + dot("-1.125", "1.125") +
                              dot("-0.225", "-1.125") + dot("-0.225", "1.125") +
                              dot("0.225", "-1.125") + dot("0.225", "1.125") +
                              dot("1.125", "-1.125") + dot("1.125", "-0.225") +
                              dot("1.125", "0.225") + dot("1.125", "1.125") + "</g>");
  EXPECT_EQ(overlay.dot_count, 12u);
}

TEST(RenderPasteOverlayTest, KeepOutAppliesToEveryAperture) {
  // A small aperture sitting on a via of the exposed pad loses its dot; the
  // vias belong to the larger of two exposed pads (the later one on a tie).
  struct Case {
    const char* name;
    std::vector<PasteAperture> apertures;
    size_t dots_of_last;
  };
  const Case cases[] = {
      {"on a via", {{0, 0, 3, 3, 0}, {0.6, 0.6, 0.4, 0.4, 0}}, 0},
      {"between vias", {{0, 0, 3, 3, 0}, {0, 0, 0.4, 0.4, 0}}, 1},
      {"vias of the larger pad only", {{0, 0, 3, 3, 0}, {10, 0, 2, 2, 0}, {10, 0, 0.4, 0.4, 0}}, 1},
      {"equal areas: the later pad has the vias",
       {{10, 0, 3, 3, 0}, {0, 0, 3, 3, 0}, {10.6, 0.6, 0.4, 0.4, 0}}, 1},
      {"larger later pad wins",
       {{0, 0, 3, 3, 0}, {10, 0, 3.1, 3.1, 0}, {10.6, 0.6, 0.4, 0.4, 0}}, 0},
  };
  for (const Case& c : cases) {
    std::vector<PasteAperture> without_last(c.apertures.begin(), c.apertures.end() - 1);
    size_t before = render_paste_overlay(without_last).dot_count;
    EXPECT_EQ(render_paste_overlay(c.apertures).dot_count - before, c.dots_of_last) << c.name;
  }
}

TEST(RenderPasteOverlayTest, DotLimitKeepsEveryOutline) {
  // Ten 10 x 2 pads (not exposed-pad shaped): 22 x 4 = 88 dots each.
  std::vector<PasteAperture> apertures;
  for (int i = 0; i < 10; ++i) apertures.push_back({0, 3.0 * i, 10, 2, 0});
  PasteOverlay overlay = render_paste_overlay(apertures);
  EXPECT_EQ(overlay.dot_count, 600u);
  EXPECT_EQ(count(overlay.dots, "<circle"), 600u);
  EXPECT_EQ(count(overlay.apertures, "<rect"), 10u);
  // The 600th dot is dot 72 of the seventh pad: column 17, row 3.
  EXPECT_NE(overlay.dots.find(dot("2.925", "18.675") + "</g>"), std::string::npos);
}

TEST(RenderPasteOverlayTest, HugeRotationStaysFinite) {
  // -r * pi / 180 evaluated left to right overflows for r = 1e308; the dot
  // must still sit at the pad centre.
  double rotation = 1e308;
  PasteOverlay overlay = render_paste_overlay({{5, 5, 0.4, 0.4, rotation}});
  EXPECT_EQ(overlay.dots, kDotsOpen + dot("5.000", "5.000") + "</g>");
}

TEST(RenderPasteOverlayTest, HugePadsFinishPromptly) {
  // A 100 km exposed pad asks for about 7 billion vias and 5e16 dots; the
  // dot limit and the bounded via grid make it as quick as any footprint.
  PasteOverlay overlay = render_paste_overlay({{0, 0, 1e5, 1e5, 0}});
  EXPECT_EQ(overlay.dot_count, 600u);
  // Far out, where the grid collapses in floating point onto the vias, every
  // dot is kept out; the loop still ends.
  overlay = render_paste_overlay({{1e300, 1e300, 1e12, 1e12, 0}});
  EXPECT_EQ(overlay.dot_count, 0u);
  EXPECT_EQ(overlay.dots, kDotsOpen + "</g>");
  EXPECT_EQ(count(overlay.apertures, "<rect"), 1u);
}

}  // namespace
