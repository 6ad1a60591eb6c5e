#include "fp_render/pad_shapes.h"

#include <gtest/gtest.h>

namespace {

using Kind = PadPrimitive::Kind;

// A custom pad as KiCad 9 writes it: one attribute per line, tabs.
constexpr const char* kKicad9CustomPad =
    "(pad \"1\" smd custom\n"
    "\t\t(at -0.65 0 90)\n"
    "\t\t(size 1 0.5)\n"
    "\t\t(layers \"F.Cu\" \"F.Mask\")\n"
    "\t\t(options\n\t\t\t(clearance outline)\n\t\t\t(anchor rect)\n\t\t)\n"
    "\t\t(primitives\n"
    "\t\t\t(gr_circle\n\t\t\t\t(center 0 0.25)\n\t\t\t\t(end 0.5 0.25)\n"
    "\t\t\t\t(width 0)\n\t\t\t\t(fill yes)\n\t\t\t)\n"
    "\t\t\t(gr_poly\n\t\t\t\t(pts\n"
    "\t\t\t\t\t(xy 0.5 0.75) (xy 0 0.75) (xy 0 -0.75) (xy 0.5 -0.75)\n"
    "\t\t\t\t)\n\t\t\t\t(width 0)\n\t\t\t\t(fill yes)\n\t\t\t)\n"
    "\t\t\t(gr_line\n\t\t\t\t(start -1 0)\n\t\t\t\t(end 1 0)\n"
    "\t\t\t\t(width 0.1)\n\t\t\t)\n"
    "\t\t)\n"
    "\t\t(uuid \"9003f6f7-52c6-46a0-bdfb-49f7aa2ac367\")\n"
    "\t)";

// The same pad in KiCad 6 layout.
constexpr const char* kKicad6CustomPad =
    "(pad \"1\" smd custom (at -0.65 0 90) (size 1 0.5) (layers \"F.Cu\" \"F.Mask\")\n"
    "    (options (clearance outline) (anchor rect))\n"
    "    (primitives\n"
    "      (gr_circle (center 0 0.25) (end 0.5 0.25) (width 0) (fill yes))\n"
    "      (gr_poly (pts\n"
    "          (xy 0.5 0.75) (xy 0 0.75) (xy 0 -0.75) (xy 0.5 -0.75)\n"
    "        ) (width 0) (fill yes))\n"
    "      (gr_line (start -1 0) (end 1 0) (width 0.1))\n"
    "    ) (tstamp 58c66ad0-e32b-47fb-8fec-44ca00117132))";

TEST(ReadPadOutline, CustomPadInBothLayouts) {
  std::vector<PadPrimitive> want = {
      {Kind::kCircle, {{0, 0.25}}, 0.5, 0, true},
      {Kind::kPolygon, {{0.5, 0.75}, {0, 0.75}, {0, -0.75}, {0.5, -0.75}}, 0, 0,
       true},
      {Kind::kLine, {{-1, 0}, {1, 0}}, 0, 0.1, false},
  };
  for (const char* text : {kKicad9CustomPad, kKicad6CustomPad}) {
    FootprintGeometry g = parse_footprint(text);
    ASSERT_EQ(g.pads.size(), 1u) << text;
    const GeoPad& pad = g.pads[0];
    EXPECT_EQ(pad.shape, "custom");
    EXPECT_EQ(pad.rotation, 90);
    EXPECT_EQ(pad.anchor, "rect");
    EXPECT_EQ(pad.primitives, want) << text;
  }
}

TEST(ReadPrimitives, KindsFillsAndWidths) {
  struct Case {
    const char* primitive;
    std::optional<PadPrimitive> want;
  } cases[] = {
      // Without a written fill, zero width means solid, as older files meant.
      {"(gr_circle (center 1 1) (end 1 4) (width 0))",
       PadPrimitive{Kind::kCircle, {{1, 1}}, 3, 0, true}},
      {"(gr_circle (center 0 0) (end 2 0) (width 1.5))",
       PadPrimitive{Kind::kCircle, {{0, 0}}, 2, 1.5, false}},
      {"(gr_circle (center 0 0) (end 2 0) (width 1.5) (fill solid))",
       PadPrimitive{Kind::kCircle, {{0, 0}}, 2, 1.5, true}},
      {"(gr_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (width 0.2))",
       PadPrimitive{Kind::kPolygon, {{0, 0}, {1, 0}, {1, 1}}, 0, 0.2, true}},
      {"(gr_poly (pts (xy 0 0) (xy 1 0)) (width 0.2) (fill no))",
       PadPrimitive{Kind::kPolygon, {{0, 0}, {1, 0}}, 0, 0.2, false}},
      {"(gr_rect (start -1 -2) (end 1 2) (width 0) (fill yes))",
       PadPrimitive{Kind::kRect, {{-1, -2}, {1, 2}}, 0, 0, true}},
      {"(gr_rect (start -1 -2) (end 1 2) (stroke (width 0.1) (type solid)) (fill none))",
       PadPrimitive{Kind::kRect, {{-1, -2}, {1, 2}}, 0, 0.1, false}},
      {"(gr_line (start 0 0) (end 0 3))",
       PadPrimitive{Kind::kLine, {{0, 0}, {0, 3}}, 0, 0, false}},
      {"(gr_arc (start 0 0) (end 3 4) (width 0.2) (fill yes))",
       PadPrimitive{Kind::kArc, {{0, 0}, {3, 4}}, 0, 0.2, false}},
      {"(gr_poly (pts) (width 0))", std::nullopt},
      {"(gr_line (start 0 0) (width 0.1))", std::nullopt},
      {"(gr_circle (center 0 0))", std::nullopt},
      {"(gr_curve (pts (xy 0 0) (xy 1 1) (xy 2 1) (xy 3 0)) (width 0.1))",
       std::nullopt},
  };
  for (const Case& c : cases) {
    std::string pad = std::string("(pad 1 smd custom (at 0 0) (size 1 1) (primitives\n\t") +
                      c.primitive + "\n))";
    std::vector<PadPrimitive> got = read_primitives(pad);
    if (!c.want) {
      EXPECT_TRUE(got.empty()) << c.primitive;
      continue;
    }
    ASSERT_EQ(got.size(), 1u) << c.primitive;
    EXPECT_EQ(got[0], *c.want) << c.primitive;
  }
}

TEST(ReadPrimitives, ArcsInBothForms) {
  std::vector<PadPrimitive> arcs = read_primitives(
      "(pad 1 smd custom (primitives\n"
      "\t(gr_arc\n\t\t(start 1 0)\n\t\t(mid 0 -1)\n\t\t(end -1 0)\n\t\t(width 0.2)\n\t)\n"
      "\t(gr_arc (start 0 0) (end 1 0) (angle 90) (width 0.1))))");
  ASSERT_EQ(arcs.size(), 2u);
  EXPECT_EQ(arcs[0].points.size(), 19u);
  EXPECT_EQ(arcs[0].width, 0.2);
  EXPECT_EQ(arcs[1].points.size(), 10u);
  EXPECT_NEAR(arcs[1].points.back().y, 1, 1e-12);
}

TEST(ReadPrimitives, OnlyTheFirstListAndOnlyWhenThere) {
  EXPECT_TRUE(read_primitives("(pad 1 smd custom (at 0 0) (size 1 1))").empty());
  EXPECT_TRUE(read_primitives("(pad 1 smd custom (primitives_x (gr_line (start 0 0) (end 1 1))))").empty());
  // A list left open at the end of the text still gives what it holds.
  std::vector<PadPrimitive> open =
      read_primitives("(pad 1 smd custom (primitives (gr_line (start 0 0) (end 1 1))");
  EXPECT_EQ(open.size(), 1u);
}

TEST(ReadPadOutline, ShapeSpecificAttributes) {
  struct Case {
    const char* text;
    double delta_x, delta_y;
    unsigned corners;
    double chamfer_ratio;
    const char* anchor;
  } cases[] = {
      {"(pad 1 smd trapezoid (at 0 0) (size 3.6 1.7) (rect_delta 0.6 0))", 0.6, 0, 0, 0, ""},
      {"(pad 1 smd trapezoid (at 0 0) (size 1 0.3)\n\t\t(rect_delta\n\t\t\t0 -0.3))", 0, -0.3, 0, 0, ""},
      {"(pad 1 smd trapezoid (at 0 0) (size 1 1))", 0, 0, 0, 0, ""},
      // rect_delta only counts for trapezoids, chamfers only for rectangles.
      {"(pad 1 smd rect (at 0 0) (size 1 1) (rect_delta 0.6 0))", 0, 0, 0, 0, ""},
      {"(pad 1 smd roundrect (at 0 0) (size 3 1.88) (roundrect_rratio 0.16) "
       "(chamfer_ratio 0.2) (chamfer top_left))",
       0, 0, kChamferTopLeft, 0.2, ""},
      {"(pad 1 smd rect (at 0 0) (size 3 2) (chamfer_ratio 0.5)\n"
       "\t\t(chamfer top_right bottom_left bottom_right))",
       0, 0, kChamferTopRight | kChamferBottomLeft | kChamferBottomRight, 0.5, ""},
      {"(pad 1 smd roundrect (at 0 0) (size 3 2) (chamfer_ratio 0.5) (chamfer left sideways))",
       0, 0, 0, 0.5, ""},
      {"(pad 1 smd circle (at 0 0) (size 3 3) (chamfer_ratio 0.5) (chamfer top_left))",
       0, 0, 0, 0, ""},
      {"(pad 1 smd custom (at 0 0) (size 1 1))", 0, 0, 0, 0, "circle"},
      {"(pad 1 smd custom (at 0 0) (size 1 1) (options (anchor rect)))", 0, 0, 0, 0, "rect"},
  };
  for (const Case& c : cases) {
    FootprintGeometry g = parse_footprint(c.text);
    ASSERT_EQ(g.pads.size(), 1u) << c.text;
    const GeoPad& pad = g.pads[0];
    EXPECT_EQ(pad.delta_x, c.delta_x) << c.text;
    EXPECT_EQ(pad.delta_y, c.delta_y) << c.text;
    EXPECT_EQ(pad.chamfer_corners, c.corners) << c.text;
    EXPECT_EQ(pad.chamfer_ratio, c.chamfer_ratio) << c.text;
    EXPECT_EQ(pad.anchor, c.anchor) << c.text;
  }
}

}  // namespace
