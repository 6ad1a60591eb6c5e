#include "fp_render/svg_renderer.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "fp_render/number_format.h"
#include "fp_render/pad_markup.h"
#include "fp_render/thermal_vias.h"

namespace {

constexpr std::string_view kCourtyardStroke =
    R"(stroke="#FF26E2" stroke-width="0.05" stroke-dasharray="0.2,0.1")";
constexpr std::string_view kFabStroke = R"(stroke="#6e7681" stroke-width="0.1")";
constexpr std::string_view kSilkStroke =
    R"(stroke="#00cccc" stroke-width="0.12" stroke-linecap="round")";
constexpr std::string_view kCopperPaint =
    R"(fill="#C83434" stroke="#ef5350" stroke-width="0.04")";

void append_path_data(std::string& out, const std::vector<GeoPoint>& points,
                      bool closed) {
  for (size_t i = 0; i < points.size(); ++i) {
    out += i == 0 ? 'M' : 'L';
    append_mm(out, points[i].x);
    out += ',';
    append_mm(out, points[i].y);
    out += ' ';
  }
  if (closed) out += 'Z';
}

// The extent of everything drawn, rotation of pads ignored.
class Bounds {
 public:
  void add(double x, double y) {
    if (!any_) {
      min_ = {x, y};
      max_ = {x, y};
      any_ = true;
      return;
    }
    min_ = {std::min(min_.x, x), std::min(min_.y, y)};
    max_ = {std::max(max_.x, x), std::max(max_.y, y)};
  }
  void add_box(double x1, double y1, double x2, double y2) {
    add(x1, y1);
    add(x2, y2);
  }
  void add_segments(const std::vector<GeoSegment>& segments) {
    for (const GeoSegment& s : segments) add_box(s.x1, s.y1, s.x2, s.y2);
  }
  void add_lines(const std::vector<GeoPolyline>& lines) {
    for (const GeoPolyline& line : lines) {
      for (const GeoPoint& p : line.points) add(p.x, p.y);
    }
  }
  void add_circles(const std::vector<GeoCircle>& circles) {
    for (const GeoCircle& c : circles) {
      add_box(c.cx - c.r, c.cy - c.r, c.cx + c.r, c.cy + c.r);
    }
  }
  GeoPoint min() const { return any_ ? min_ : GeoPoint{-5, -5}; }
  GeoPoint max() const { return any_ ? max_ : GeoPoint{5, 5}; }

 private:
  bool any_ = false;
  GeoPoint min_;
  GeoPoint max_;
};

Bounds drawing_bounds(const FootprintGeometry& g) {
  Bounds b;
  for (const GeoPad& p : g.pads) {
    b.add_box(p.x - p.width / 2, p.y - p.height / 2, p.x + p.width / 2,
              p.y + p.height / 2);
    shaped_pad_extent(p, [&b](double x, double y) { b.add(x, y); });
  }
  for (const auto* list : {&g.courtyard_lines, &g.fab_lines, &g.silk_lines,
                           &g.courtyard_rects, &g.fab_rects}) {
    b.add_segments(*list);
  }
  for (const auto* list : {&g.fab_polys, &g.silk_polys, &g.courtyard_arcs,
                           &g.fab_arcs, &g.silk_arcs}) {
    b.add_lines(*list);
  }
  for (const auto* list :
       {&g.courtyard_circles, &g.fab_circles, &g.silk_circles}) {
    b.add_circles(*list);
  }
  return b;
}

void open_document(std::string& out, const Bounds& bounds) {
  GeoPoint lo = bounds.min();
  GeoPoint hi = bounds.max();
  out += R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox=")";
  append_mm(out, lo.x - 1);
  out += ' ';
  append_mm(out, lo.y - 1);
  out += ' ';
  append_mm(out, (hi.x + 1) - (lo.x - 1));
  out += ' ';
  append_mm(out, (hi.y + 1) - (lo.y - 1));
  out += R"(" preserveAspectRatio="xMidYMid meet">)";
}

void open_group(std::string& out, std::string_view layer) {
  out += R"(<g class="tovik-layer-)";
  out += layer;
  out += R"(">)";
}

void line(std::string& out, const GeoSegment& s, std::string_view stroke) {
  out += "<line";
  append_mm_attr(out, "x1", s.x1);
  append_mm_attr(out, "y1", s.y1);
  append_mm_attr(out, "x2", s.x2);
  append_mm_attr(out, "y2", s.y2);
  out += ' ';
  out += stroke;
  out += "/>";
}

void outline_rect(std::string& out, const GeoSegment& s,
                  std::string_view stroke) {
  out += "<rect";
  append_mm_attr(out, "x", std::min(s.x1, s.x2));
  append_mm_attr(out, "y", std::min(s.y1, s.y2));
  append_mm_attr(out, "width", std::fabs(s.x2 - s.x1));
  append_mm_attr(out, "height", std::fabs(s.y2 - s.y1));
  out += R"( fill="none" )";
  out += stroke;
  out += "/>";
}

// `paint` is everything after the d attribute: fill and stroke.
void path(std::string& out, const GeoPolyline& line, bool closed,
          std::string_view paint) {
  out += R"(<path d=")";
  append_path_data(out, line.points, closed);
  out += "\" ";
  out += paint;
  out += "/>";
}

void circle(std::string& out, const GeoCircle& c, std::string_view fill,
            std::string_view stroke) {
  out += "<circle";
  append_mm_attr(out, "cx", c.cx);
  append_mm_attr(out, "cy", c.cy);
  append_mm_attr(out, "r", c.r);
  out += R"( fill=")";
  out += fill;
  out += "\" ";
  out += stroke;
  out += "/>";
}

void courtyard_group(std::string& out, const FootprintGeometry& g) {
  open_group(out, "courtyard");
  for (const GeoSegment& s : g.courtyard_lines) line(out, s, kCourtyardStroke);
  for (const GeoSegment& s : g.courtyard_rects) {
    outline_rect(out, s, kCourtyardStroke);
  }
  std::string paint = "fill=\"none\" " + std::string(kCourtyardStroke);
  for (const GeoPolyline& a : g.courtyard_arcs) path(out, a, false, paint);
  for (const GeoCircle& c : g.courtyard_circles) {
    circle(out, c, "none", kCourtyardStroke);
  }
  out += "</g>";
}

void fab_group(std::string& out, const FootprintGeometry& g) {
  open_group(out, "fab");
  for (const GeoSegment& s : g.fab_lines) line(out, s, kFabStroke);
  for (const GeoSegment& s : g.fab_rects) outline_rect(out, s, kFabStroke);
  std::string paint = "fill=\"none\" " + std::string(kFabStroke);
  for (const GeoPolyline& p : g.fab_polys) path(out, p, true, paint);
  for (const GeoPolyline& a : g.fab_arcs) path(out, a, false, paint);
  for (const GeoCircle& c : g.fab_circles) {
    circle(out, c, c.filled ? "#6e7681" : "none", kFabStroke);
  }
  out += "</g>";
}

void pad_shape(std::string& out, const GeoPad& pad) {
  if (append_shaped_pad(out, pad)) return;
  double hw = pad.width * 0.5;
  double hh = pad.height * 0.5;
  if (pad.shape == "circle") {
    out += "<circle";
    append_mm_attr(out, "cx", pad.x);
    append_mm_attr(out, "cy", pad.y);
    append_mm_attr(out, "r", std::min(hw, hh));
  } else {
    out += "<rect";
    append_mm_attr(out, "x", pad.x - hw);
    append_mm_attr(out, "y", pad.y - hh);
    append_mm_attr(out, "width", pad.width);
    append_mm_attr(out, "height", pad.height);
    if (pad.shape == "oval") append_mm_attr(out, "rx", std::min(hw, hh));
    if (pad.shape == "roundrect") {
      append_mm_attr(out, "rx", std::min(hw, hh) * pad.rratio * 2);
    }
  }
  out += ' ';
  out += kCopperPaint;
  out += "/>";
}

void pad_group(std::string& out, const GeoPad& pad) {
  out += "<g";
  if (std::fabs(pad.rotation) > 0.01) {
    out += R"( transform="rotate()";
    append_mm(out, -pad.rotation);
    out += ' ';
    append_mm(out, pad.x);
    out += ' ';
    append_mm(out, pad.y);
    out += ")\"";
  }
  out += R"( data-pad=")";
  out += xml_escape(pad.number);
  out += R"(" data-shape=")";
  out += xml_escape(pad.shape);
  out += R"(" data-size=")";
  append_mm(out, pad.width);
  out += 'x';
  append_mm(out, pad.height);
  out += R"(" data-mount=")";
  out += xml_escape(pad.kind);
  out += "\">";
  pad_shape(out, pad);
  out += "</g>";
}

void copper_group(std::string& out, const FootprintGeometry& g) {
  open_group(out, "copper");
  for (const GeoPad& pad : g.pads) pad_group(out, pad);
  out += "</g>";
}

// The largest heat-sink pad; among equal areas the last one.
const GeoPad* heatsink_choice(const std::vector<GeoPad>& pads) {
  const GeoPad* choice = nullptr;
  for (const GeoPad& pad : pads) {
    if (!is_heatsink_pad(pad)) continue;
    if (choice == nullptr ||
        !(choice->width * choice->height > pad.width * pad.height)) {
      choice = &pad;
    }
  }
  return choice;
}

void heatsink_group(std::string& out, const FootprintGeometry& g) {
  open_group(out, "heatsink");
  if (const GeoPad* pad = heatsink_choice(g.pads)) {
    for (const GeoPoint& via :
         thermal_via_centres(pad->x, pad->y, pad->width, pad->height)) {
      out += "<circle";
      append_mm_attr(out, "cx", via.x);
      append_mm_attr(out, "cy", via.y);
      out += R"( r="0.30" fill="#8a5a2b" stroke="#e8a13a" stroke-width="0.05"/>)";
      out += "<circle";
      append_mm_attr(out, "cx", via.x);
      append_mm_attr(out, "cy", via.y);
      out += R"( r="0.15" fill="#0d1117"/>)";
    }
  }
  out += "</g>";
}

void drill_group(std::string& out, const FootprintGeometry& g) {
  open_group(out, "drill");
  for (const GeoPad& pad : g.pads) {
    if (pad.kind != "thru_hole" && pad.kind != "np_thru_hole") continue;
    double d = pad.drill > 0 ? pad.drill
                             : std::min(pad.width * 0.5, pad.height * 0.5);
    out += "<circle";
    append_mm_attr(out, "cx", pad.x);
    append_mm_attr(out, "cy", pad.y);
    append_mm_attr(out, "r", d * 0.5);
    out += R"( fill="#0d1117" stroke="#666" stroke-width="0.05"/>)";
  }
  out += "</g>";
}

void silk_group(std::string& out, const FootprintGeometry& g) {
  open_group(out, "silk");
  for (const GeoSegment& s : g.silk_lines) line(out, s, kSilkStroke);
  for (const GeoPolyline& p : g.silk_polys) {
    path(out, p, true,
         R"(fill="#00cccc" stroke="#00cccc" stroke-width="0.1")");
  }
  std::string paint = "fill=\"none\" " + std::string(kSilkStroke);
  for (const GeoPolyline& a : g.silk_arcs) path(out, a, false, paint);
  for (const GeoCircle& c : g.silk_circles) {
    circle(out, c, c.filled ? "#00cccc" : "none",
           R"(stroke="#00cccc" stroke-width="0.12")");
  }
  out += "</g>";
}

void padnum_group(std::string& out, const FootprintGeometry& g) {
  open_group(out, "padnum");
  for (const GeoPad& pad : g.pads) {
    double font_size = std::min(pad.width, pad.height) * 0.42;
    if (!(font_size > 0.12)) continue;
    out += "<text";
    append_mm_attr(out, "x", pad.x);
    append_mm_attr(out, "y", pad.y);
    out += R"( text-anchor="middle" dominant-baseline="central")";
    append_mm_attr(out, "font-size", font_size);
    out += R"( fill="#fff" font-family="sans-serif" style="pointer-events:none">)";
    out += xml_escape(pad.number);
    out += "</text>";
  }
  out += "</g>";
}

// At least the document's length for every library footprint and at most
// about three times it, so that large drawings are not copied while they
// grow.
size_t estimated_size(const FootprintGeometry& g) {
  size_t size = 512 + 480 * g.pads.size();
  for (const auto* list : {&g.courtyard_lines, &g.courtyard_rects,
                           &g.fab_lines, &g.fab_rects, &g.silk_lines}) {
    size += 160 * list->size();
  }
  for (const auto* list :
       {&g.courtyard_circles, &g.fab_circles, &g.silk_circles}) {
    size += 150 * list->size();
  }
  for (const auto* list : {&g.courtyard_arcs, &g.fab_polys, &g.fab_arcs,
                           &g.silk_polys, &g.silk_arcs}) {
    for (const GeoPolyline& line : *list) size += 110 + 18 * line.points.size();
  }
  if (const GeoPad* pad = heatsink_choice(g.pads)) {
    size += 190 * static_cast<size_t>(via_count(pad->width)) *
            static_cast<size_t>(via_count(pad->height));
  }
  return size;
}

}  // namespace

std::string xml_escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

bool is_heatsink_pad(const GeoPad& pad) {
  return pad.kind == "smd" && is_heatsink_sized(pad.width, pad.height);
}

std::string path_data(const std::vector<GeoPoint>& points, bool closed) {
  std::string out;
  append_path_data(out, points, closed);
  return out;
}

std::string render_svg(const FootprintGeometry& geometry) {
  std::string out;
  out.reserve(estimated_size(geometry));
  open_document(out, drawing_bounds(geometry));
  courtyard_group(out, geometry);
  fab_group(out, geometry);
  copper_group(out, geometry);
  heatsink_group(out, geometry);
  drill_group(out, geometry);
  silk_group(out, geometry);
  padnum_group(out, geometry);
  out += "</svg>";
  return out;
}
