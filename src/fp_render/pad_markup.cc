#include "fp_render/pad_markup.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "fp_render/number_format.h"
#include "fp_render/svg_renderer.h"

namespace {

constexpr std::string_view kCopperPaint =
    R"(fill="#C83434" stroke="#ef5350" stroke-width="0.04")";
// The outline every pad shows, drawn half outside the copper.
constexpr double kOutlineWidth = 0.04;

void point(std::string& out, char command, GeoPoint p) {
  out += command;
  append_mm(out, p.x);
  out += ',';
  append_mm(out, p.y);
  out += ' ';
}

std::array<GeoPoint, 4> trapezoid_corners(const GeoPad& p) {
  double hw = p.width * 0.5;
  double hh = p.height * 0.5;
  double dx = p.delta_x * 0.5;
  double dy = p.delta_y * 0.5;
  return {{{p.x - hw + dy, p.y - hh - dx},
           {p.x + hw - dy, p.y - hh + dx},
           {p.x + hw + dy, p.y + hh - dx},
           {p.x - hw - dy, p.y + hh + dx}}};
}

void trapezoid(std::string& out, const GeoPad& pad) {
  std::array<GeoPoint, 4> corners = trapezoid_corners(pad);
  out += R"(<path d=")";
  out += path_data({corners.begin(), corners.end()}, true);
  out += "\" ";
  out += kCopperPaint;
  out += "/>";
}

// Clockwise on screen from the top-left corner; each corner with the
// direction of the edge that leaves it.
struct Corner {
  unsigned bit;
  double sx, sy;  // which side of the centre
  GeoPoint leave;
};
constexpr Corner kCorners[4] = {{kChamferTopLeft, -1, -1, {1, 0}},
                                {kChamferTopRight, 1, -1, {0, 1}},
                                {kChamferBottomRight, 1, 1, {-1, 0}},
                                {kChamferBottomLeft, -1, 1, {0, -1}}};

void chamfered(std::string& out, const GeoPad& pad) {
  double hw = std::fabs(pad.width) * 0.5;
  double hh = std::fabs(pad.height) * 0.5;
  double half_short = std::min(hw, hh);
  // Both cuts stay within half the shorter side, so neighbouring corners
  // never overlap and the outline stays simple.
  double chamfer = std::clamp(pad.chamfer_ratio, 0.0, 0.5) * 2 * half_short;
  double radius = pad.shape == "roundrect"
                      ? std::clamp(half_short * pad.rratio * 2, 0.0, half_short)
                      : 0.0;
  out += R"(<path d=")";
  for (int k = 0; k < 4; ++k) {
    const Corner& c = kCorners[k];
    const GeoPoint& enter = kCorners[(k + 3) % 4].leave;
    GeoPoint at{pad.x + c.sx * hw, pad.y + c.sy * hh};
    bool cut = (pad.chamfer_corners & c.bit) != 0;
    double d = cut ? chamfer : radius;
    point(out, k == 0 ? 'M' : 'L', {at.x - enter.x * d, at.y - enter.y * d});
    if (d <= 0) continue;
    GeoPoint after{at.x + c.leave.x * d, at.y + c.leave.y * d};
    if (cut) {
      point(out, 'L', after);
      continue;
    }
    out += 'A';
    append_mm(out, d);
    out += ',';
    append_mm(out, d);
    out += " 0 0 1 ";
    append_mm(out, after.x);
    out += ',';
    append_mm(out, after.y);
    out += ' ';
  }
  out += R"(Z" )";
  out += kCopperPaint;
  out += "/>";
}

// The anchor as one more filled primitive, in the pad's own axes.
PadPrimitive anchor_of(const GeoPad& pad) {
  PadPrimitive anchor;
  anchor.filled = true;
  double hw = pad.width * 0.5;
  double hh = pad.height * 0.5;
  if (pad.anchor == "rect") {
    anchor.kind = PadPrimitive::Kind::kRect;
    anchor.points = {{-hw, -hh}, {hw, hh}};
  } else {
    anchor.kind = PadPrimitive::Kind::kCircle;
    anchor.points = {{0, 0}};
    anchor.radius = std::min(hw, hh);
  }
  return anchor;
}

// One primitive moved to the pad's centre. In the outline pass its stroke
// is widened by the outline width and takes the group's colour; in the
// copper pass only a primitive with a stroke of its own gets one. Copper
// pass paint is set on each element, not inherited, so that a page styling
// the pad's direct children (a hover outline) changes the outline only.
void primitive(std::string& out, const PadPrimitive& p, GeoPoint at,
               bool outline_pass) {
  using Kind = PadPrimitive::Kind;
  auto moved = [&](const GeoPoint& q) { return GeoPoint{at.x + q.x, at.y + q.y}; };
  switch (p.kind) {
    case Kind::kPolygon:
    case Kind::kArc: {
      std::vector<GeoPoint> points;
      points.reserve(p.points.size());
      for (const GeoPoint& q : p.points) points.push_back(moved(q));
      out += R"(<path d=")";
      out += path_data(points, p.kind == Kind::kPolygon);
      out += '"';
      break;
    }
    case Kind::kRect: {
      GeoPoint a = moved(p.points[0]);
      GeoPoint b = moved(p.points[1]);
      out += "<rect";
      append_mm_attr(out, "x", std::min(a.x, b.x));
      append_mm_attr(out, "y", std::min(a.y, b.y));
      append_mm_attr(out, "width", std::fabs(b.x - a.x));
      append_mm_attr(out, "height", std::fabs(b.y - a.y));
      break;
    }
    case Kind::kCircle: {
      GeoPoint c = moved(p.points[0]);
      out += "<circle";
      append_mm_attr(out, "cx", c.x);
      append_mm_attr(out, "cy", c.y);
      append_mm_attr(out, "r", p.radius);
      break;
    }
    case Kind::kLine: {
      GeoPoint a = moved(p.points[0]);
      GeoPoint b = moved(p.points[1]);
      out += "<line";
      append_mm_attr(out, "x1", a.x);
      append_mm_attr(out, "y1", a.y);
      append_mm_attr(out, "x2", b.x);
      append_mm_attr(out, "y2", b.y);
      break;
    }
  }
  if (!p.filled && p.kind != Kind::kLine) out += R"( fill="none")";
  if (outline_pass) {
    append_mm_attr(out, "stroke-width", p.width + kOutlineWidth);
  } else if (p.width > 0 || !p.filled) {
    out += R"( stroke="#C83434")";
    append_mm_attr(out, "stroke-width", p.width);
  } else {
    out += R"( stroke="none")";
  }
  out += "/>";
}

void custom(std::string& out, const GeoPad& pad) {
  PadPrimitive anchor = anchor_of(pad);
  GeoPoint at{pad.x, pad.y};
  out += R"(<g fill="#ef5350" stroke="#ef5350" stroke-linecap="round" stroke-linejoin="round">)";
  primitive(out, anchor, at, true);
  for (const PadPrimitive& p : pad.primitives) primitive(out, p, at, true);
  out += R"(</g><g fill="#C83434" stroke-linecap="round" stroke-linejoin="round">)";
  primitive(out, anchor, at, false);
  for (const PadPrimitive& p : pad.primitives) primitive(out, p, at, false);
  out += "</g>";
}

}  // namespace

bool is_trapezoid_pad(const GeoPad& pad) {
  return pad.shape == "trapezoid" && (pad.delta_x != 0 || pad.delta_y != 0);
}

bool is_chamfered_pad(const GeoPad& pad) {
  return (pad.shape == "rect" || pad.shape == "roundrect") &&
         pad.chamfer_corners != 0 && pad.chamfer_ratio > 0;
}

bool is_custom_pad(const GeoPad& pad) { return pad.shape == "custom"; }

bool append_shaped_pad(std::string& out, const GeoPad& pad) {
  if (is_trapezoid_pad(pad)) {
    trapezoid(out, pad);
  } else if (is_chamfered_pad(pad)) {
    chamfered(out, pad);
  } else if (is_custom_pad(pad)) {
    custom(out, pad);
  } else {
    return false;
  }
  return true;
}

void shaped_pad_extent(const GeoPad& pad,
                       const std::function<void(double, double)>& add) {
  if (is_trapezoid_pad(pad)) {
    for (const GeoPoint& c : trapezoid_corners(pad)) add(c.x, c.y);
    return;
  }
  if (!is_custom_pad(pad)) return;
  // As the wrapper turns the pad: rotate(-rotation) about its centre.
  bool turned = std::fabs(pad.rotation) > 0.01;
  double angle = turned ? -pad.rotation * std::numbers::pi / 180 : 0;
  double cos_a = std::cos(angle);
  double sin_a = std::sin(angle);
  auto add_turned = [&](double dx, double dy, double r) {
    double x = pad.x + dx * cos_a - dy * sin_a;
    double y = pad.y + dx * sin_a + dy * cos_a;
    add(x - r, y - r);
    add(x + r, y + r);
  };
  for (const PadPrimitive& p : pad.primitives) {
    if (p.kind == PadPrimitive::Kind::kRect && p.points.size() == 2) {
      // All four corners: a turned rectangle reaches out at any of them.
      add_turned(p.points[0].x, p.points[1].y, 0);
      add_turned(p.points[1].x, p.points[0].y, 0);
    }
    double r = p.kind == PadPrimitive::Kind::kCircle ? p.radius : 0;
    for (const GeoPoint& q : p.points) add_turned(q.x, q.y, r);
  }
}
