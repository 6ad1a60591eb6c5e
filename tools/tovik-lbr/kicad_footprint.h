// What an EAGLE package needs from a KiCad footprint (.kicad_mod, the old
// (module ...) form or the new (footprint ...) form): pads, drawn outlines on
// known layers and the positions of the reference and value texts. All
// coordinates stay in KiCad's axes: millimetres, y growing downwards.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

struct Point {
  double x = 0, y = 0;
};

struct FootprintPad {
  std::string number;          // may be empty (unnamed holes, paste-only pads)
  std::string kind;            // smd, thru_hole, np_thru_hole, connect
  std::string shape;           // rect, roundrect, circle, oval, trapezoid, custom
  Point at;
  double rotation = 0;         // degrees, counter-clockwise on screen
  double width = 0, height = 0;
  double rratio = 0;           // roundrect corner radius / shorter side
  double drill = 0;            // round drill, or the narrower side of a slot
  std::vector<std::string> layers;

  bool on_layer(std::string_view layer) const;
  bool has_copper() const;
  bool on_back_only() const;   // copper on B.Cu and not on the front
};

struct Graphic {
  enum class Kind { kLine, kRect, kCircle, kArc, kPoly };
  Kind kind = Kind::kLine;
  std::string layer;
  double width = 0;
  bool filled = false;
  // kLine, kRect: the two points. kCircle: centre and a point on the circle.
  // kArc: start, mid, end (old centre-and-angle arcs are converted).
  // kPoly: the outline (arcs in it flattened).
  std::vector<Point> points;
};

struct TextSpot {
  Point at;
  double rotation = 0;
  double size = 1;  // height in mm
};

struct KicadFootprint {
  std::string name;
  std::string description;
  std::vector<FootprintPad> pads;
  std::vector<Graphic> graphics;
  std::optional<TextSpot> reference, value;
};

// Reads footprint text. Fails when the text is not an S-expression whose
// top list is (footprint ...) or (module ...).
Result<KicadFootprint> read_kicad_footprint(std::string_view text);

// The circle through three points of an arc, and how it runs: angles in
// radians in KiCad's axes, so a positive sweep turns clockwise on screen.
// `straight` when the points are (nearly) on one line.
struct ArcGeometry {
  Point centre;
  double radius = 0;
  double start_angle = 0;
  double sweep = 0;
  bool straight = false;
};
ArcGeometry arc_through(Point start, Point mid, Point end);

// The arc from `start` through `mid` to `end` as points about 10 degrees
// apart (at least 2 and at most 64 pieces), both ends included.
std::vector<Point> flatten_arc(Point start, Point mid, Point end);

// The middle point of the arc around `centre` that starts at `start` and
// sweeps `degrees` (positive clockwise on screen, as old KiCad files write it).
Point arc_mid_point(Point centre, Point start, double degrees);
// Its end point.
Point arc_end_point(Point centre, Point start, double degrees);
