#include "fp_render/svg_renderer.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

constexpr std::string_view kLayers[] = {"courtyard", "fab",  "copper",
                                        "heatsink",  "drill", "silk",
                                        "padnum"};

// The markup inside the layer group `name` of a document from render_svg.
std::string layer(const std::string& svg, std::string_view name) {
  std::string open = "<g class=\"tovik-layer-" + std::string(name) + "\">";
  size_t begin = svg.find(open);
  if (begin == std::string::npos) return "<missing>";
  begin += open.size();
  size_t end = svg.find("<g class=\"tovik-layer-", begin);
  if (end == std::string::npos) end = svg.rfind("</svg>");
  // Each group ends with its own "</g>".
  return svg.substr(begin, end - begin - 4);
}

std::string view_box(const std::string& svg) {
  size_t begin = svg.find("viewBox=\"") + 9;
  return svg.substr(begin, svg.find('"', begin) - begin);
}

size_t count(const std::string& text, std::string_view needle) {
  size_t n = 0;
  for (size_t p = text.find(needle); p != std::string::npos;
       p = text.find(needle, p + 1)) {
    ++n;
  }
  return n;
}

GeoPad pad(std::string number, std::string kind, std::string shape, double x,
           double y, double width, double height) {
  GeoPad p;
  p.number = std::move(number);
  p.kind = std::move(kind);
  p.shape = std::move(shape);
  p.x = x;
  p.y = y;
  p.width = width;
  p.height = height;
  return p;
}

TEST(RenderSvg, EmptyDrawing) {
  EXPECT_EQ(render_svg(FootprintGeometry{}),
            R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="-6.000 -6.000 12.000 12.000" preserveAspectRatio="xMidYMid meet">)"
            R"(<g class="tovik-layer-courtyard"></g><g class="tovik-layer-fab"></g>)"
            R"(<g class="tovik-layer-copper"></g><g class="tovik-layer-heatsink"></g>)"
            R"(<g class="tovik-layer-drill"></g><g class="tovik-layer-silk"></g>)"
            R"(<g class="tovik-layer-padnum"></g></svg>)");
}

TEST(RenderSvg, SingleRectPadWholeDocument) {
  FootprintGeometry g;
  g.pads.push_back(pad("1", "smd", "rect", 0, 0, 2, 1));
  EXPECT_EQ(render_svg(g),
            R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="-2.000 -1.500 4.000 3.000" preserveAspectRatio="xMidYMid meet">)"
            R"(<g class="tovik-layer-courtyard"></g><g class="tovik-layer-fab"></g>)"
            R"(<g class="tovik-layer-copper"><g data-pad="1" data-shape="rect" data-size="2.000x1.000" data-mount="smd">)"
            R"(<rect x="-1.000" y="-0.500" width="2.000" height="1.000" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/></g></g>)"
            R"(<g class="tovik-layer-heatsink"></g><g class="tovik-layer-drill"></g><g class="tovik-layer-silk"></g>)"
            R"(<g class="tovik-layer-padnum"><text x="0.000" y="0.000" text-anchor="middle" dominant-baseline="central" font-size="0.420" fill="#fff" font-family="sans-serif" style="pointer-events:none">1</text></g></svg>)");
}

TEST(RenderSvg, PadShapesAndRotation) {
  GeoPad round = pad("2", "smd", "roundrect", 0, 0, 1, 0.5);
  GeoPad rotated = pad("3", "smd", "rect", 1, 2, 2, 1);
  rotated.rotation = 90;
  GeoPad barely = pad("4", "smd", "rect", 0, 0, 2, 1);
  barely.rotation = 0.01;
  GeoPad negative = pad("5", "smd", "oval", 0, 0, 2, 1);
  negative.rotation = -0.02;
  struct Case {
    GeoPad pad;
    const char* want;
  } cases[] = {
      {pad("1", "thru_hole", "circle", 1, 2, 1.5, 1.7),
       R"(<g data-pad="1" data-shape="circle" data-size="1.500x1.700" data-mount="thru_hole">)"
       R"(<circle cx="1.000" cy="2.000" r="0.750" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/></g>)"},
      {pad("1", "smd", "oval", 0, 0, 2, 1),
       R"(<g data-pad="1" data-shape="oval" data-size="2.000x1.000" data-mount="smd">)"
       R"(<rect x="-1.000" y="-0.500" width="2.000" height="1.000" rx="0.500" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/></g>)"},
      {round,
       R"(<g data-pad="2" data-shape="roundrect" data-size="1.000x0.500" data-mount="smd">)"
       R"(<rect x="-0.500" y="-0.250" width="1.000" height="0.500" rx="0.125" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/></g>)"},
      {rotated,
       R"svg(<g transform="rotate(-90.000 1.000 2.000)" data-pad="3" data-shape="rect" data-size="2.000x1.000" data-mount="smd">)svg"
       R"(<rect x="0.000" y="1.500" width="2.000" height="1.000" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/></g>)"},
      {barely,
       R"(<g data-pad="4" data-shape="rect" data-size="2.000x1.000" data-mount="smd">)"
       R"(<rect x="-1.000" y="-0.500" width="2.000" height="1.000" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/></g>)"},
      {negative,
       R"svg(<g transform="rotate(0.020 0.000 0.000)" data-pad="5" data-shape="oval" data-size="2.000x1.000" data-mount="smd">)svg"
       R"(<rect x="-1.000" y="-0.500" width="2.000" height="1.000" rx="0.500" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/></g>)"},
      // Any other shape is a plain rect, a trapezoid without delta too.
      {pad("MP", "connect", "trapezoid", 0, 0, 1, 1),
       R"(<g data-pad="MP" data-shape="trapezoid" data-size="1.000x1.000" data-mount="connect">)"
       R"(<rect x="-0.500" y="-0.500" width="1.000" height="1.000" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/></g>)"},
      {pad("<&\"'>", "s\"md", "r<ect", 0, 0, 1, 1),
       R"(<g data-pad="&lt;&amp;&quot;'&gt;" data-shape="r&lt;ect" data-size="1.000x1.000" data-mount="s&quot;md">)"
       R"(<rect x="-0.500" y="-0.500" width="1.000" height="1.000" fill="#C83434" stroke="#ef5350" stroke-width="0.04"/></g>)"},
  };
  for (const Case& c : cases) {
    FootprintGeometry g;
    g.pads.push_back(c.pad);
    EXPECT_EQ(layer(render_svg(g), "copper"), c.want) << c.pad.number;
  }
}

TEST(RenderSvg, PadNumberLabels) {
  struct Case {
    GeoPad pad;
    const char* want;
  } cases[] = {
      {pad("1", "smd", "rect", 1, -2, 0.3, 1),
       R"(<text x="1.000" y="-2.000" text-anchor="middle" dominant-baseline="central" font-size="0.126" fill="#fff" font-family="sans-serif" style="pointer-events:none">1</text>)"},
      {pad("2", "smd", "rect", 0, 0, 0.25, 0.25), ""},  // 0.105 is too small
      {pad("a<b&c", "smd", "rect", 0, 0, 1, 1),
       R"(<text x="0.000" y="0.000" text-anchor="middle" dominant-baseline="central" font-size="0.420" fill="#fff" font-family="sans-serif" style="pointer-events:none">a&lt;b&amp;c</text>)"},
  };
  for (const Case& c : cases) {
    FootprintGeometry g;
    g.pads.push_back(c.pad);
    g.pads.back().rotation = 45;  // labels are never turned
    EXPECT_EQ(layer(render_svg(g), "padnum"), c.want) << c.pad.number;
  }
}

std::string vias(std::initializer_list<std::pair<const char*, const char*>> at) {
  std::string out;
  for (auto [x, y] : at) {
    out += std::string("<circle cx=\"") + x + "\" cy=\"" + y +
           R"(" r="0.30" fill="#8a5a2b" stroke="#e8a13a" stroke-width="0.05"/>)" +
           "<circle cx=\"" + x + "\" cy=\"" + y + R"(" r="0.15" fill="#0d1117"/>)";
  }
  return out;
}

TEST(RenderSvg, HeatsinkGrid) {
  struct Case {
    const char* label;
    std::vector<GeoPad> pads;
    std::string want;
  } cases[] = {
      {"3x3", {pad("EP", "smd", "rect", 0, 0, 3, 3)},
       vias({{"-0.600", "-0.600"}, {"0.600", "-0.600"},
             {"-0.600", "0.600"}, {"0.600", "0.600"}})},
      {"1.8x1.8", {pad("EP", "smd", "rect", 1, 1, 1.8, 1.8)},
       vias({{"1.000", "1.000"}})},
      {"4.2x3, rows outer",
       {pad("EP", "smd", "roundrect", 0, 0, 4.2, 3)},
       vias({{"-1.200", "-0.600"}, {"0.000", "-0.600"}, {"1.200", "-0.600"},
             {"-1.200", "0.600"}, {"0.000", "0.600"}, {"1.200", "0.600"}})},
      {"shorter side below 1.8", {pad("EP", "smd", "rect", 0, 0, 3, 1.7)}, ""},
      {"ratio 2", {pad("EP", "smd", "rect", 0, 0, 4, 2)}, ""},
      {"not smd", {pad("EP", "thru_hole", "rect", 0, 0, 3, 3)}, ""},
      {"equal areas: the later",
       {pad("A", "smd", "rect", 0, 0, 1.8, 1.8),
        pad("B", "smd", "rect", 10, 0, 1.8, 1.8),
        pad("C", "smd", "rect", 20, 0, 1.8, 1.8)},
       vias({{"20.000", "0.000"}})},
      {"larger first",
       {pad("A", "smd", "rect", 0, 0, 1.8, 2.0),
        pad("B", "smd", "rect", 10, 0, 1.8, 1.8)},
       vias({{"0.000", "0.000"}})},
      {"rotation ignored",
       {[] {
         GeoPad p = pad("EP", "smd", "rect", 0, 0, 1.9, 3);
         p.rotation = 90;
         return p;
       }()},
       vias({{"0.000", "-0.600"}, {"0.000", "0.600"}})},
  };
  for (const Case& c : cases) {
    FootprintGeometry g;
    g.pads = c.pads;
    EXPECT_EQ(layer(render_svg(g), "heatsink"), c.want) << c.label;
  }
}

TEST(RenderSvg, HeatsinkGridIsBoundedOnAbsurdPads) {
  FootprintGeometry g;
  g.pads.push_back(pad("EP", "smd", "rect", 0, 0, 100000, 100000));
  std::string svg = render_svg(g);
  EXPECT_EQ(count(layer(svg, "heatsink"), R"(r="0.30")"), 100u * 100u);
  // The grid stays centred on the pad.
  EXPECT_NE(svg.find(R"(<circle cx="-59.400" cy="-59.400" r="0.30")"),
            std::string::npos);
  EXPECT_NE(svg.find(R"(<circle cx="59.400" cy="59.400" r="0.30")"),
            std::string::npos);
}

TEST(RenderSvg, Drills) {
  GeoPad drilled = pad("1", "thru_hole", "circle", 1, 2, 2, 2);
  drilled.drill = 1.0;
  GeoPad smd_with_drill = pad("3", "smd", "rect", 0, 0, 2, 2);
  smd_with_drill.drill = 1.0;
  FootprintGeometry g;
  g.pads = {drilled, pad("2", "np_thru_hole", "circle", 0, 0, 2, 3),
            smd_with_drill, pad("4", "connect", "rect", 0, 0, 2, 2)};
  EXPECT_EQ(layer(render_svg(g), "drill"),
            R"(<circle cx="1.000" cy="2.000" r="0.500" fill="#0d1117" stroke="#666" stroke-width="0.05"/>)"
            R"(<circle cx="0.000" cy="0.000" r="0.500" fill="#0d1117" stroke="#666" stroke-width="0.05"/>)");
}

TEST(RenderSvg, GraphicLayers) {
  FootprintGeometry g;
  g.courtyard_lines = {{0, 0, 1, -1}};
  g.courtyard_rects = {{2, 3, -2, -3}};
  g.courtyard_arcs = {{{{0, 0}, {1, 1}}}};
  g.courtyard_circles = {{0, 0, 1, true}};
  g.fab_lines = {{0, 0, 1, 1}};
  g.fab_rects = {{-1, -1, 1, 1}};
  g.fab_polys = {{{{0, 0}, {1, 0}, {1, 1}}}};
  g.fab_arcs = {{{{0, 0}, {0.5, 0.25}}}};
  g.fab_circles = {{0, 0, 1, true}, {1, 1, 0.5, false}};
  g.silk_lines = {{-1, 0, 1, 0}};
  g.silk_polys = {{{{0, 0}}}};
  g.silk_arcs = {{{{0, 0}, {1, 0}, {1, 1}}}};
  g.silk_circles = {{0, 0, 1, true}, {0, 0, 2, false}};
  std::string svg = render_svg(g);
  EXPECT_EQ(layer(svg, "courtyard"),
            R"(<line x1="0.000" y1="0.000" x2="1.000" y2="-1.000" stroke="#FF26E2" stroke-width="0.05" stroke-dasharray="0.2,0.1"/>)"
            R"(<rect x="-2.000" y="-3.000" width="4.000" height="6.000" fill="none" stroke="#FF26E2" stroke-width="0.05" stroke-dasharray="0.2,0.1"/>)"
            R"(<path d="M0.000,0.000 L1.000,1.000 " fill="none" stroke="#FF26E2" stroke-width="0.05" stroke-dasharray="0.2,0.1"/>)"
            R"(<circle cx="0.000" cy="0.000" r="1.000" fill="none" stroke="#FF26E2" stroke-width="0.05" stroke-dasharray="0.2,0.1"/>)");
  EXPECT_EQ(layer(svg, "fab"),
            R"(<line x1="0.000" y1="0.000" x2="1.000" y2="1.000" stroke="#6e7681" stroke-width="0.1"/>)"
            R"(<rect x="-1.000" y="-1.000" width="2.000" height="2.000" fill="none" stroke="#6e7681" stroke-width="0.1"/>)"
            R"(<path d="M0.000,0.000 L1.000,0.000 L1.000,1.000 Z" fill="none" stroke="#6e7681" stroke-width="0.1"/>)"
            R"(<path d="M0.000,0.000 L0.500,0.250 " fill="none" stroke="#6e7681" stroke-width="0.1"/>)"
            R"(<circle cx="0.000" cy="0.000" r="1.000" fill="#6e7681" stroke="#6e7681" stroke-width="0.1"/>)"
            R"(<circle cx="1.000" cy="1.000" r="0.500" fill="none" stroke="#6e7681" stroke-width="0.1"/>)");
  EXPECT_EQ(layer(svg, "silk"),
            R"(<line x1="-1.000" y1="0.000" x2="1.000" y2="0.000" stroke="#00cccc" stroke-width="0.12" stroke-linecap="round"/>)"
            R"(<path d="M0.000,0.000 Z" fill="#00cccc" stroke="#00cccc" stroke-width="0.1"/>)"
            R"(<path d="M0.000,0.000 L1.000,0.000 L1.000,1.000 " fill="none" stroke="#00cccc" stroke-width="0.12" stroke-linecap="round"/>)"
            R"(<circle cx="0.000" cy="0.000" r="1.000" fill="#00cccc" stroke="#00cccc" stroke-width="0.12"/>)"
            R"(<circle cx="0.000" cy="0.000" r="2.000" fill="none" stroke="#00cccc" stroke-width="0.12"/>)");
  EXPECT_EQ(view_box(svg), "-3.000 -4.000 6.000 8.000");
}

TEST(RenderSvg, ArcsInBothFormsFromText) {
  FootprintGeometry g = parse_footprint(
      "(fp_arc (start 2 1) (mid 1 2) (end 0 1) (layer \"F.SilkS\"))"
      "(fp_arc (start 0 0) (end 0 -2) (angle -45) (layer \"F.Fab\"))");
  std::string svg = render_svg(g);
  EXPECT_EQ(layer(svg, "silk"),
            R"(<path d="M2.000,1.000 L1.985,1.174 L1.940,1.342 L1.866,1.500 )"
            R"(L1.766,1.643 L1.643,1.766 L1.500,1.866 L1.342,1.940 L1.174,1.985 )"
            R"(L1.000,2.000 L0.826,1.985 L0.658,1.940 L0.500,1.866 L0.357,1.766 )"
            R"(L0.234,1.643 L0.134,1.500 L0.060,1.342 L0.015,1.174 L0.000,1.000 )"
            R"(" fill="none" stroke="#00cccc" stroke-width="0.12" stroke-linecap="round"/>)");
  EXPECT_EQ(layer(svg, "fab"),
            R"(<path d="M0.000,-2.000 L-0.313,-1.975 L-0.618,-1.902 L-0.908,-1.782 )"
            R"(L-1.176,-1.618 L-1.414,-1.414 " fill="none" stroke="#6e7681" stroke-width="0.1"/>)");
}

TEST(RenderSvg, ViewBoxCoversEverythingDrawn) {
  struct Case {
    const char* label;
    FootprintGeometry g;
    const char* want;
  } cases[] = {
      {"rotated pad counts unrotated",
       {.pads = {[] {
          GeoPad p = pad("1", "smd", "rect", 1, 0, 4, 2);
          p.rotation = 90;
          return p;
        }()}},
       "-2.000 -2.000 6.000 4.000"},
      {"circle extent", {.silk_circles = {{10, 0, 2, false}}},
       "7.000 -3.000 6.000 6.000"},
      {"arc points", {.courtyard_arcs = {{{{-3, 0.5}, {0.25, 4}}}}},
       "-4.000 -0.500 5.250 5.500"},
      {"polygon points", {.fab_polys = {{{{0, 0}}}}},
       "-1.000 -1.000 2.000 2.000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(view_box(render_svg(c.g)), c.want) << c.label;
  }
}

TEST(RenderSvg, NoNonFiniteNumberReachesTheText) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  FootprintGeometry g;
  g.pads = {pad("1", "smd", "roundrect", nan, inf, 3, 3)};
  g.pads[0].rotation = inf;
  g.fab_circles = {{nan, 0, -inf, true}};
  g.silk_arcs = {{{{nan, inf}, {1, 1}}}};
  std::string svg = render_svg(g);
  // "nan" and "inf" as words of their own, not inside "dominant".
  for (std::string_view word : {"nan", "inf"}) {
    for (size_t p = svg.find(word); p != std::string::npos;
         p = svg.find(word, p + 1)) {
      EXPECT_TRUE(p > 0 && std::isalpha(static_cast<unsigned char>(svg[p - 1])))
          << svg.substr(p > 20 ? p - 20 : 0, 40);
    }
  }
  for (std::string_view name : kLayers) {
    EXPECT_NE(layer(svg, name), "<missing>") << name;
  }
}

TEST(XmlEscape, EntitiesForMarkupCharacters) {
  EXPECT_EQ(xml_escape(""), "");
  EXPECT_EQ(xml_escape("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e'f");
  EXPECT_EQ(xml_escape("&amp;"), "&amp;amp;");
}

TEST(PathData, OpenAndClosed) {
  std::vector<GeoPoint> points = {{0, 0}, {1, 0.5}};
  EXPECT_EQ(path_data(points, false), "M0.000,0.000 L1.000,0.500 ");
  EXPECT_EQ(path_data(points, true), "M0.000,0.000 L1.000,0.500 Z");
  EXPECT_EQ(path_data({}, true), "Z");
  EXPECT_EQ(path_data({{-0.0, -0.0004}}, false), "M-0.000,-0.000 ");
}

TEST(IsHeatsinkPad, SizeRatioAndKind) {
  struct Case {
    GeoPad pad;
    bool want;
  } cases[] = {
      {pad("1", "smd", "rect", 0, 0, 1.8, 1.8), true},
      {pad("1", "smd", "rect", 0, 0, 1.79, 1.8), false},
      {pad("1", "smd", "rect", 0, 0, 3.0, 5.0), true},   // ratio 0.6
      {pad("1", "smd", "rect", 0, 0, 3.0, 5.01), false},
      {pad("1", "smd", "rect", 0, 0, 3.34, 2.0), true},  // ratio 1.67
      {pad("1", "smd", "rect", 0, 0, 3.35, 2.0), false},
      {pad("1", "SMD", "rect", 0, 0, 3, 3), false},
      {pad("1", "thru_hole", "rect", 0, 0, 3, 3), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_heatsink_pad(c.pad), c.want)
        << c.pad.kind << " " << c.pad.width << "x" << c.pad.height;
  }
}

}  // namespace
