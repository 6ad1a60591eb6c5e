#include "fp_render/pad_markup.h"

#include <gtest/gtest.h>

#include "fp_render/svg_renderer.h"

namespace {

using Kind = PadPrimitive::Kind;

GeoPad pad(std::string shape, double x, double y, double width, double height) {
  GeoPad p;
  p.number = "1";
  p.kind = "smd";
  p.shape = std::move(shape);
  p.x = x;
  p.y = y;
  p.width = width;
  p.height = height;
  return p;
}

GeoPad trapezoid(double x, double y, double w, double h, double dx, double dy) {
  GeoPad p = pad("trapezoid", x, y, w, h);
  p.delta_x = dx;
  p.delta_y = dy;
  return p;
}

GeoPad chamfered(std::string shape, double w, double h, double rratio,
                 unsigned corners, double ratio) {
  GeoPad p = pad(std::move(shape), 0, 0, w, h);
  p.rratio = rratio;
  p.chamfer_corners = corners;
  p.chamfer_ratio = ratio;
  return p;
}

std::string shaped(const GeoPad& p) {
  std::string out;
  EXPECT_TRUE(append_shaped_pad(out, p)) << p.shape;
  return out;
}

TEST(AppendShapedPad, Trapezoids) {
  struct Case {
    const char* label;
    GeoPad pad;
    const char* want;
  } cases[] = {
      {"left side longer", trapezoid(1, 2, 3.6, 1.7, 0.6, 0),
       R"(<path d="M-0.800,0.850 L2.800,1.450 L2.800,2.550 L-0.800,3.150 Z" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/>)"},
      {"bottom side longer", trapezoid(0, 0, 1, 0.3, 0, 0.3),
       R"(<path d="M-0.350,-0.150 L0.350,-0.150 L0.650,0.150 L-0.650,0.150 Z" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/>)"},
      {"top side longer", trapezoid(0, 0, 1, 0.3, 0, -0.3),
       R"(<path d="M-0.650,-0.150 L0.650,-0.150 L0.350,0.150 L-0.350,0.150 Z" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/>)"},
  };
  for (const Case& c : cases) EXPECT_EQ(shaped(c.pad), c.want) << c.label;
}

TEST(AppendShapedPad, ChamferedCornersWithRounding) {
  struct Case {
    const char* label;
    GeoPad pad;
    const char* want;
  } cases[] = {
      {"one chamfer, other corners rounded",
       chamfered("roundrect", 2, 1, 0.25, kChamferTopLeft, 0.2),
       R"(<path d="M-1.000,-0.300 L-0.800,-0.500 L0.750,-0.500 A0.250,0.250 0 0 1 1.000,-0.250 )"
       R"(L1.000,0.250 A0.250,0.250 0 0 1 0.750,0.500 L-0.750,0.500 A0.250,0.250 0 0 1 -1.000,0.250 )"
       R"(Z" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/>)"},
      {"rect: no rounding; the ratio stops at one half",
       chamfered("rect", 2, 1, 0.25, kChamferTopLeft | kChamferTopRight, 0.8),
       R"(<path d="M-1.000,0.000 L-0.500,-0.500 L0.500,-0.500 L1.000,0.000 L1.000,0.500 )"
       R"(L-1.000,0.500 Z" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/>)"},
      {"roundrect with ratio 0 has square corners",
       chamfered("roundrect", 1, 2, 0, kChamferBottomRight | kChamferBottomLeft, 0.25),
       R"(<path d="M-0.500,-1.000 L0.500,-1.000 L0.500,0.750 L0.250,1.000 L-0.250,1.000 )"
       R"(L-0.500,0.750 Z" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/>)"},
  };
  for (const Case& c : cases) EXPECT_EQ(shaped(c.pad), c.want) << c.label;
}

TEST(AppendShapedPad, CustomPadsDrawOutlineThenCopper) {
  GeoPad rect_anchor = pad("custom", 1, 2, 1, 0.5);
  rect_anchor.anchor = "rect";
  rect_anchor.primitives = {
      {Kind::kPolygon, {{0, 0}, {1, 0}, {1, 1}}, 0, 0, true},
      {Kind::kCircle, {{0, 0.5}}, 0.5, 0.2, false},
      {Kind::kLine, {{-1, 0}, {1, 0}}, 0, 0.1, false},
  };
  GeoPad circle_anchor = pad("custom", 0, 0, 1, 1);
  circle_anchor.anchor = "circle";
  circle_anchor.primitives = {
      {Kind::kRect, {{2, 0}, {0, -1}}, 0, 0, true},
      {Kind::kArc, {{0, 0}, {1, 1}}, 0, 0.2, false},
  };
  GeoPad bare = pad("custom", 0, 0, 2, 1);
  bare.anchor = "circle";
  struct Case {
    const char* label;
    GeoPad pad;
    const char* want;
  } cases[] = {
      {"rect anchor", rect_anchor,
       R"(<g fill="#ef5350" stroke="#ef5350" stroke-linecap="round" stroke-linejoin="round">)"
       R"(<rect x="0.500" y="1.750" width="1.000" height="0.500" stroke-width="0.040"/>)"
       R"(<path d="M1.000,2.000 L2.000,2.000 L2.000,3.000 Z" stroke-width="0.040"/>)"
       R"(<circle cx="1.000" cy="2.500" r="0.500" fill="none" stroke-width="0.240"/>)"
       R"(<line x1="0.000" y1="2.000" x2="2.000" y2="2.000" stroke-width="0.140"/>)"
       R"(</g><g fill="#C83434" stroke-linecap="round" stroke-linejoin="round">)"
       R"(<rect x="0.500" y="1.750" width="1.000" height="0.500" stroke="none"/>)"
       R"(<path d="M1.000,2.000 L2.000,2.000 L2.000,3.000 Z" stroke="none"/>)"
       R"(<circle cx="1.000" cy="2.500" r="0.500" fill="none" stroke="#C83434" stroke-width="0.200"/>)"
       R"(<line x1="0.000" y1="2.000" x2="2.000" y2="2.000" stroke="#C83434" stroke-width="0.100"/>)"
       R"(</g>)"},
      {"circle anchor", circle_anchor,
       R"(<g fill="#ef5350" stroke="#ef5350" stroke-linecap="round" stroke-linejoin="round">)"
       R"(<circle cx="0.000" cy="0.000" r="0.500" stroke-width="0.040"/>)"
       R"(<rect x="0.000" y="-1.000" width="2.000" height="1.000" stroke-width="0.040"/>)"
       R"(<path d="M0.000,0.000 L1.000,1.000 " fill="none" stroke-width="0.240"/>)"
       R"(</g><g fill="#C83434" stroke-linecap="round" stroke-linejoin="round">)"
       R"(<circle cx="0.000" cy="0.000" r="0.500" stroke="none"/>)"
       R"(<rect x="0.000" y="-1.000" width="2.000" height="1.000" stroke="none"/>)"
       R"(<path d="M0.000,0.000 L1.000,1.000 " fill="none" stroke="#C83434" stroke-width="0.200"/>)"
       R"(</g>)"},
      {"anchor only", bare,
       R"(<g fill="#ef5350" stroke="#ef5350" stroke-linecap="round" stroke-linejoin="round">)"
       R"(<circle cx="0.000" cy="0.000" r="0.500" stroke-width="0.040"/>)"
       R"(</g><g fill="#C83434" stroke-linecap="round" stroke-linejoin="round">)"
       R"(<circle cx="0.000" cy="0.000" r="0.500" stroke="none"/></g>)"},
  };
  for (const Case& c : cases) EXPECT_EQ(shaped(c.pad), c.want) << c.label;
}

TEST(AppendShapedPad, EveryOtherPadIsLeftToTheBasicShapes) {
  GeoPad no_ratio = chamfered("roundrect", 2, 1, 0.25, kChamferTopLeft, 0);
  GeoPad no_corner = chamfered("roundrect", 2, 1, 0.25, 0, 0.2);
  GeoPad round_chamfer = chamfered("oval", 2, 1, 0.25, kChamferTopLeft, 0.2);
  for (const GeoPad& p :
       {pad("rect", 0, 0, 1, 1), pad("roundrect", 0, 0, 1, 1),
        pad("circle", 0, 0, 1, 1), pad("oval", 0, 0, 1, 1),
        trapezoid(0, 0, 1, 1, 0, 0), no_ratio, no_corner, round_chamfer}) {
    std::string out;
    EXPECT_FALSE(append_shaped_pad(out, p)) << p.shape;
    EXPECT_EQ(out, "") << p.shape;
  }
}

TEST(RenderSvg, ShapedPadsInTheirOneWrapper) {
  GeoPad turned = pad("custom", 0, 0, 1, 1);
  turned.anchor = "rect";
  turned.rotation = 90;
  turned.primitives = {{Kind::kLine, {{0, 0}, {3, 0}}, 0, 0.1, false}};
  FootprintGeometry g;
  g.pads = {turned};
  std::string svg = render_svg(g);
  EXPECT_NE(svg.find(R"svg(<g class="tovik-layer-copper"><g transform="rotate(-90.000 0.000 0.000)" )svg"
                     R"(data-pad="1" data-shape="custom" data-size="1.000x1.000" data-mount="smd">)"
                     R"(<g fill="#ef5350")"),
            std::string::npos)
      << svg;
  // The line reaches up to y = -3 once turned; the view box follows it.
  EXPECT_NE(svg.find(R"(viewBox="-1.500 -4.000 3.000 5.500")"), std::string::npos) << svg;

  FootprintGeometry t;
  t.pads = {trapezoid(0, 0, 2, 1, 1, 0)};
  svg = render_svg(t);
  EXPECT_NE(svg.find(R"(viewBox="-2.000 -2.000 4.000 4.000")"), std::string::npos) << svg;
  EXPECT_NE(svg.find(R"(<g data-pad="1" data-shape="trapezoid" data-size="2.000x1.000" data-mount="smd"><path d=")"),
            std::string::npos)
      << svg;
}

}  // namespace
