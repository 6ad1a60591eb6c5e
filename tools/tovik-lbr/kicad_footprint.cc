#include "kicad_footprint.h"

#include <algorithm>
#include <cmath>

#include "sexpr.h"

namespace {

Point point_of(const Sexpr* list) {
  if (list == nullptr) return {};
  return {list->number(1).value_or(0), list->number(2).value_or(0)};
}

double stroke_width(const Sexpr& element) {
  if (const Sexpr* stroke = element.find("stroke"))
    if (const Sexpr* w = stroke->find("width")) return w->number(1).value_or(0);
  if (const Sexpr* w = element.find("width")) return w->number(1).value_or(0);
  return 0;
}

// (fill solid), (fill yes) and the old (fill (type solid)) are filled.
bool is_filled(const Sexpr& element, bool fallback) {
  const Sexpr* fill = element.find("fill");
  if (fill == nullptr) return fallback;
  if (const Sexpr* type = fill->find("type")) return type->text(1) == "solid";
  const std::string v = fill->text(1);
  return v == "solid" || v == "yes";
}

Point rotate(Point centre, Point p, double degrees) {
  const double a = degrees * M_PI / 180;
  const double dx = p.x - centre.x, dy = p.y - centre.y;
  return {centre.x + dx * std::cos(a) - dy * std::sin(a),
          centre.y + dx * std::sin(a) + dy * std::cos(a)};
}

FootprintPad read_pad(const Sexpr& e) {
  FootprintPad pad;
  pad.number = e.text(1);
  pad.kind = e.text(2);
  pad.shape = e.text(3);
  if (const Sexpr* at = e.find("at")) {
    pad.at = point_of(at);
    pad.rotation = at->number(3).value_or(0);
  }
  if (const Sexpr* size = e.find("size")) {
    pad.width = size->number(1).value_or(0);
    pad.height = size->number(2).value_or(pad.width);
  }
  if (const Sexpr* r = e.find("roundrect_rratio")) pad.rratio = r->number(1).value_or(0);
  if (const Sexpr* drill = e.find("drill")) {
    // (drill d), (drill oval w h) or (drill d (offset x y)): a slot keeps its narrow side.
    size_t first = drill->text(1) == "oval" ? 2 : 1;
    double w = drill->number(first).value_or(0);
    double h = drill->number(first + 1).value_or(w);
    pad.drill = std::min(w, h);
  }
  if (const Sexpr* layers = e.find("layers"))
    for (size_t i = 1; i < layers->items.size(); ++i) pad.layers.push_back(layers->text(i));
  return pad;
}

std::optional<Graphic> read_graphic(const Sexpr& e) {
  Graphic g;
  g.layer = e.find("layer") ? e.find("layer")->text(1) : "";
  g.width = stroke_width(e);
  const std::string& kind = e.head();
  if (kind == "fp_line" || kind == "fp_rect") {
    if (!e.find("start") || !e.find("end")) return std::nullopt;
    g.kind = kind == "fp_line" ? Graphic::Kind::kLine : Graphic::Kind::kRect;
    g.filled = kind == "fp_rect" && is_filled(e, false);
    g.points = {point_of(e.find("start")), point_of(e.find("end"))};
  } else if (kind == "fp_circle") {
    if (!e.find("center") || !e.find("end")) return std::nullopt;
    g.kind = Graphic::Kind::kCircle;
    g.filled = is_filled(e, false);
    g.points = {point_of(e.find("center")), point_of(e.find("end"))};
  } else if (kind == "fp_arc") {
    if (!e.find("start") || !e.find("end")) return std::nullopt;
    g.kind = Graphic::Kind::kArc;
    Point start = point_of(e.find("start")), end = point_of(e.find("end"));
    if (const Sexpr* mid = e.find("mid")) {
      g.points = {start, point_of(mid), end};
    } else {
      // Old form: start is the centre, end the first point, angle the sweep.
      double angle = e.find("angle") ? e.find("angle")->number(1).value_or(0) : 0;
      g.points = {end, arc_mid_point(start, end, angle), arc_end_point(start, end, angle)};
    }
  } else if (kind == "fp_poly") {
    g.kind = Graphic::Kind::kPoly;
    // Before KiCad 7 polygons had no fill setting and were always filled.
    g.filled = is_filled(e, true);
    if (const Sexpr* pts = e.find("pts")) {
      for (const Sexpr& p : pts->items) {
        if (p.head() == "xy") g.points.push_back(point_of(&p));
        if (p.head() == "arc") {
          std::vector<Point> arc = flatten_arc(point_of(p.find("start")), point_of(p.find("mid")),
                                               point_of(p.find("end")));
          g.points.insert(g.points.end(), arc.begin(), arc.end());
        }
      }
    }
    if (g.points.empty()) return std::nullopt;
  } else {
    return std::nullopt;
  }
  return g;
}

TextSpot read_text_spot(const Sexpr& e) {
  TextSpot spot;
  if (const Sexpr* at = e.find("at")) {
    spot.at = point_of(at);
    spot.rotation = at->number(3).value_or(0);
  }
  if (const Sexpr* effects = e.find("effects"))
    if (const Sexpr* font = effects->find("font"))
      if (const Sexpr* size = font->find("size")) spot.size = size->number(1).value_or(1);
  if (spot.size <= 0) spot.size = 1;
  return spot;
}

// (fp_text reference ...) in older files, (property "Reference" ...) in newer.
void read_text(const Sexpr& e, KicadFootprint& fp) {
  const std::string& kind = e.head();
  const std::string which = e.text(1);
  bool is_reference = (kind == "fp_text" && which == "reference") ||
                      (kind == "property" && which == "Reference");
  bool is_value = (kind == "fp_text" && which == "value") ||
                  (kind == "property" && which == "Value");
  if (is_reference && !fp.reference) fp.reference = read_text_spot(e);
  if (is_value && !fp.value) fp.value = read_text_spot(e);
}

}  // namespace

bool FootprintPad::on_layer(std::string_view layer) const {
  for (const std::string& l : layers)
    if (l == layer) return true;
  return false;
}

bool FootprintPad::has_copper() const {
  for (const std::string& l : layers)
    if (l.size() >= 3 && l.compare(l.size() - 3, 3, ".Cu") == 0) return true;
  return false;
}

bool FootprintPad::on_back_only() const {
  return on_layer("B.Cu") && !on_layer("F.Cu") && !on_layer("*.Cu");
}

ArcGeometry arc_through(Point s, Point m, Point e) {
  ArcGeometry arc;
  const double d = 2 * (s.x * (m.y - e.y) + m.x * (e.y - s.y) + e.x * (s.y - m.y));
  if (std::fabs(d) < 1e-9) {
    arc.straight = true;
    return arc;
  }
  const double s2 = s.x * s.x + s.y * s.y, m2 = m.x * m.x + m.y * m.y, e2 = e.x * e.x + e.y * e.y;
  arc.centre = {(s2 * (m.y - e.y) + m2 * (e.y - s.y) + e2 * (s.y - m.y)) / d,
                (s2 * (e.x - m.x) + m2 * (s.x - e.x) + e2 * (m.x - s.x)) / d};
  arc.radius = std::hypot(s.x - arc.centre.x, s.y - arc.centre.y);
  arc.start_angle = std::atan2(s.y - arc.centre.y, s.x - arc.centre.x);
  auto turn = [&](Point p) {
    double a = std::fmod(std::atan2(p.y - arc.centre.y, p.x - arc.centre.x) - arc.start_angle,
                         2 * M_PI);
    return a < 0 ? a + 2 * M_PI : a;
  };
  const double to_end = turn(e), to_mid = turn(m);
  arc.sweep = to_mid <= to_end ? to_end : to_end - 2 * M_PI;
  return arc;
}

std::vector<Point> flatten_arc(Point start, Point mid, Point end) {
  ArcGeometry arc = arc_through(start, mid, end);
  if (arc.straight) return {start, end};
  double pieces = std::ceil(std::fabs(arc.sweep) * 180 / M_PI / 10);
  int n = static_cast<int>(std::clamp(pieces, 2.0, 64.0));
  std::vector<Point> points;
  for (int i = 0; i <= n; ++i) {
    double a = arc.start_angle + arc.sweep * i / n;
    points.push_back({arc.centre.x + arc.radius * std::cos(a),
                      arc.centre.y + arc.radius * std::sin(a)});
  }
  return points;
}

Point arc_mid_point(Point centre, Point start, double degrees) {
  return rotate(centre, start, degrees / 2);
}

Point arc_end_point(Point centre, Point start, double degrees) {
  return rotate(centre, start, degrees);
}

Result<KicadFootprint> read_kicad_footprint(std::string_view text) {
  ASSIGN_OR_RETURN(Sexpr root, parse_sexpr(text));
  if (root.head() != "footprint" && root.head() != "module")
    return Error("not a KiCad footprint (no (footprint ...) or (module ...) at the top)");
  KicadFootprint fp;
  fp.name = root.text(1);
  if (const Sexpr* descr = root.find("descr")) fp.description = descr->text(1);
  for (const Sexpr& e : root.items) {
    if (!e.is_list) continue;
    const std::string& kind = e.head();
    if (kind == "pad") fp.pads.push_back(read_pad(e));
    else if (kind == "fp_text" || kind == "property") read_text(e, fp);
    else if (std::optional<Graphic> g = read_graphic(e)) fp.graphics.push_back(std::move(*g));
  }
  return fp;
}
