// The footprint reader: turns the text of any KiCad footprint file, old
// `(module …)` or new `(footprint …)` form, into the drawable primitives that
// the SVG renderer draws.
//
// It is not an S-expression parser. It finds the elements it draws by their
// opening keyword, cuts each one out by counting parentheses and reads their
// attributes with a fixed set of patterns. Whatever it does not recognise is
// ignored: a missing or malformed attribute drops the element or reads as 0,
// and no input makes it fail.
//
// Units are millimetres and degrees exactly as written, in the file's own
// axes (x right, y down).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct GeoPoint {
  double x = 0;
  double y = 0;
  bool operator==(const GeoPoint&) const = default;
};

// One drawing of a custom pad, in the pad's own axes (relative to its
// centre, before its rotation).
struct PadPrimitive {
  enum class Kind { kPolygon, kRect, kCircle, kLine, kArc };
  Kind kind = Kind::kPolygon;
  // Polygon: its corners; rect: two opposite corners; line: its ends; arc:
  // the flattened polyline; circle: the centre.
  std::vector<GeoPoint> points;
  double radius = 0;  // circles only
  double width = 0;   // stroke width
  bool filled = false;
  bool operator==(const PadPrimitive&) const = default;
};

// Corners a chamfered pad cuts off (bits of GeoPad::chamfer_corners).
inline constexpr unsigned kChamferTopLeft = 1;
inline constexpr unsigned kChamferTopRight = 2;
inline constexpr unsigned kChamferBottomRight = 4;
inline constexpr unsigned kChamferBottomLeft = 8;

struct GeoPad {
  std::string number;  // without quotes; never empty
  std::string kind;    // smd, thru_hole, np_thru_hole, connect or any word
  std::string shape;   // rect, roundrect, circle, oval or any word
  double x = 0;
  double y = 0;
  double rotation = 0;  // degrees, as written
  double width = 0;
  double height = 0;
  double rratio = 0.25;  // corner radius as a fraction of the shorter side
  double drill = 0;      // first number of `drill`; 0 when absent or oval
  // Trapezoid pads (`rect_delta`): the left side is longer than the right by
  // delta_x, the bottom side longer than the top by delta_y.
  double delta_x = 0;
  double delta_y = 0;
  // Rect and roundrect pads with `chamfer`: the corners cut off, each by
  // chamfer_ratio times the shorter side.
  unsigned chamfer_corners = 0;
  double chamfer_ratio = 0;
  // Custom pads: the anchor shape ("rect" or "circle", of the pad's size)
  // and the drawings that make up the rest of the copper.
  std::string anchor;
  std::vector<PadPrimitive> primitives;
  bool operator==(const GeoPad&) const = default;
};

// A line, or a rectangle given by two opposite corners in written order.
struct GeoSegment {
  double x1 = 0;
  double y1 = 0;
  double x2 = 0;
  double y2 = 0;
  bool operator==(const GeoSegment&) const = default;
};

struct GeoCircle {
  double cx = 0;
  double cy = 0;
  double r = 0;
  bool filled = false;
  bool operator==(const GeoCircle&) const = default;
};

// A polygon (at least one point) or a flattened arc (at least two).
struct GeoPolyline {
  std::vector<GeoPoint> points;
  bool operator==(const GeoPolyline&) const = default;
};

// The drawable primitives of one footprint; each list keeps file order.
// Only the front courtyard (F.CrtYd), fabrication (F.Fab) and silkscreen
// (F.SilkS) layers are kept, and of those only the kinds listed here.
struct FootprintGeometry {
  std::vector<GeoPad> pads;
  std::vector<GeoSegment> courtyard_lines;
  std::vector<GeoSegment> courtyard_rects;
  std::vector<GeoPolyline> courtyard_arcs;
  std::vector<GeoCircle> courtyard_circles;
  std::vector<GeoSegment> fab_lines;
  std::vector<GeoSegment> fab_rects;
  std::vector<GeoPolyline> fab_polys;
  std::vector<GeoPolyline> fab_arcs;
  std::vector<GeoCircle> fab_circles;
  std::vector<GeoSegment> silk_lines;
  std::vector<GeoPolyline> silk_polys;
  std::vector<GeoPolyline> silk_arcs;
  std::vector<GeoCircle> silk_circles;
  bool operator==(const FootprintGeometry&) const = default;
};

// Reads every pad and every front courtyard, fabrication and silkscreen
// line, rectangle, polygon, arc and circle of `text`. Never fails: text that
// is no footprint gives fourteen empty lists.
FootprintGeometry parse_footprint(std::string_view text);

// Every element of `text` that begins with "(" + kind + " " (one space, no
// other whitespace), in file order, each slice running from its opening
// parenthesis to the matching closing one. Parentheses count everywhere,
// quoted strings included. An element that never closes yields the
// one-character slice "(" and the search goes on one character later; an
// element nested inside one of the same kind is not found separately.
// Time is linear in the length of `text`.
std::vector<std::string_view> find_elements(std::string_view text,
                                            std::string_view kind);

// The value of the first `(layer …)` attribute in `element`, without quotes;
// empty when there is none. A pad's `(layers …)` list never counts.
std::string element_layer(std::string_view element);

// The points of an `fp_arc` element: a three-point arc (start, mid, end) or
// an old centre-and-angle arc (start is the centre, end the first point,
// angle the signed sweep in degrees), flattened into 2 to 64 segments, or
// just [start, end] when the arc has neither form or is degenerate.
// Returns nullopt when `start` or `end` is missing. Every point is finite.
std::optional<GeoPolyline> flatten_arc(std::string_view element);

// The value of a number captured from footprint text (an optional minus sign
// then digits and dots): nullopt when it is not one decimal number ("1.2.3",
// ".", non-ASCII digits) or does not fit a finite double.
std::optional<double> read_number(std::string_view text);
