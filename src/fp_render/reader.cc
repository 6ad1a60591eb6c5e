#include "fp_render/reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "fp_render/footprint_patterns.h"
#include "fp_render/pad_shapes.h"

namespace {

constexpr size_t kUnclosed = std::string_view::npos;

// An occurrence of the element needle and its matching ")" (or kUnclosed).
struct Opener {
  size_t start = 0;
  size_t closer = kUnclosed;
};

// Every occurrence of `needle` in `text`, overlapping ones included.
std::vector<Opener> find_openers(std::string_view text,
                                 std::string_view needle) {
  size_t count = 0;
  for (size_t p = text.find(needle); p != std::string_view::npos;
       p = text.find(needle, p + 1)) {
    ++count;
  }
  std::vector<Opener> openers;
  openers.reserve(count);
  for (size_t p = text.find(needle); p != std::string_view::npos;
       p = text.find(needle, p + 1)) {
    openers.push_back({p, kUnclosed});
  }
  return openers;
}

// Fills in the closer of every opener in one pass with a stack, so many
// unclosed openers cost no more than closed ones. Only the parentheses
// from the first opener on matter: a ")" before it cannot close it.
void match_closers(std::string_view text, std::vector<Opener>& openers) {
  constexpr size_t kOther = SIZE_MAX;  // a "(" that opens no element
  std::vector<size_t> open;            // index into openers, or kOther
  size_t next = 0;
  for (size_t i = openers.front().start; i < text.size(); ++i) {
    char c = text[i];
    if (c == '(') {
      bool is_opener = next < openers.size() && openers[next].start == i;
      open.push_back(is_opener ? next++ : kOther);
    } else if (c == ')' && !open.empty()) {
      if (open.back() != kOther) openers[open.back()].closer = i;
      open.pop_back();
    }
  }
}

double number_or(std::string_view text, double fallback) {
  return read_number(text).value_or(fallback);
}

// The two numbers of groups `first` and `first + 1`, unreadable ones as 0.
GeoPoint point_at(const PatternMatch& m, int first) {
  return {number_at(m, first), number_at(m, first + 1)};
}

// Segment count for a sweep of `degrees`: one per 10 degrees, 2 to 64.
size_t segment_count(double degrees) {
  double wanted = std::ceil(std::fabs(degrees) / 10.0);
  // A NaN fails the comparison and counts as 0, like a negative count.
  size_t n = wanted > 0 ? (wanted < 64 ? static_cast<size_t>(wanted) : 64) : 0;
  return std::clamp<size_t>(n, 2, 64);
}

GeoPolyline arc_points(GeoPoint centre, double r, double start_angle,
                       double sweep, size_t n) {
  GeoPolyline line;
  line.points.reserve(n + 1);
  for (size_t i = 0; i <= n; ++i) {
    double angle = start_angle + sweep * static_cast<double>(i) /
                                     static_cast<double>(n);
    line.points.push_back(
        {centre.x + r * std::cos(angle), centre.y + r * std::sin(angle)});
  }
  return line;
}

double reduce_turn(double angle) {
  constexpr double kTurn = 2 * std::numbers::pi;
  double reduced = std::fmod(angle, kTurn);
  return reduced < 0 ? reduced + kTurn : reduced;
}

std::optional<GeoPolyline> three_point_arc(GeoPoint s, GeoPoint m,
                                           GeoPoint e) {
  double d = 2 * (s.x * (m.y - e.y) + m.x * (e.y - s.y) + e.x * (s.y - m.y));
  if (std::fabs(d) < 1e-9) return std::nullopt;
  double ss = s.x * s.x + s.y * s.y;
  double mm = m.x * m.x + m.y * m.y;
  double ee = e.x * e.x + e.y * e.y;
  GeoPoint u{(ss * (m.y - e.y) + mm * (e.y - s.y) + ee * (s.y - m.y)) / d,
             (ss * (e.x - m.x) + mm * (s.x - e.x) + ee * (m.x - s.x)) / d};
  double r = std::sqrt((s.x - u.x) * (s.x - u.x) + (s.y - u.y) * (s.y - u.y));
  double as = std::atan2(s.y - u.y, s.x - u.x);
  double am = std::atan2(m.y - u.y, m.x - u.x);
  double ae = std::atan2(e.y - u.y, e.x - u.x);
  double to_end = reduce_turn(ae - as);
  double to_mid = reduce_turn(am - as);
  double sweep = to_mid <= to_end ? to_end : to_end - 2 * std::numbers::pi;
  size_t n = segment_count(std::fabs(sweep) * 180 / std::numbers::pi);
  return arc_points(u, r, as, sweep, n);
}

GeoPolyline centre_angle_arc(GeoPoint c, GeoPoint p, double degrees) {
  double r = std::sqrt((p.x - c.x) * (p.x - c.x) + (p.y - c.y) * (p.y - c.y));
  double a0 = std::atan2(p.y - c.y, p.x - c.x);
  double sweep = degrees * std::numbers::pi / 180;
  return arc_points(c, r, a0, sweep, segment_count(degrees));
}

bool all_finite(const GeoPolyline& line) {
  for (const GeoPoint& p : line.points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
  }
  return true;
}

std::optional<GeoPad> read_pad(std::string_view element) {
  PatternMatch header, at, size;
  if (!search(pad_header_pattern(), element, header)) return std::nullopt;
  if (!search(at_pattern(), element, at)) return std::nullopt;
  if (!search(size_pattern(), element, size)) return std::nullopt;
  GeoPad pad;
  pad.number = header.text(1);
  pad.kind = header.text(2);
  pad.shape = header.text(3);
  pad.x = number_or(at.text(1), 0);
  pad.y = number_or(at.text(2), 0);
  if (at.took_part(3)) pad.rotation = number_or(at.text(3), 0);
  pad.width = number_or(size.text(1), 0);
  pad.height = number_or(size.text(2), 0);
  PatternMatch m;
  if (search(rratio_pattern(), element, m)) pad.rratio = number_or(m.text(1), 0.25);
  if (search(drill_pattern(), element, m)) pad.drill = number_or(m.text(1), 0);
  read_pad_outline(element, pad);
  return pad;
}

std::optional<GeoSegment> read_segment(std::string_view element) {
  PatternMatch m;
  if (!search(start_end_pattern(), element, m)) return std::nullopt;
  GeoPoint a = point_at(m, 1);
  GeoPoint b = point_at(m, 3);
  return GeoSegment{a.x, a.y, b.x, b.y};
}

std::optional<GeoCircle> read_circle(std::string_view element) {
  std::optional<GeoPoint> c = find_point(center_pattern(), element);
  std::optional<GeoPoint> e = find_point(end_pattern(), element);
  if (!c || !e) return std::nullopt;
  double dx = e->x - c->x;
  double dy = e->y - c->y;
  bool filled = element.find("(fill solid)") != std::string_view::npos ||
                element.find("(fill yes)") != std::string_view::npos;
  return GeoCircle{c->x, c->y, std::sqrt(dx * dx + dy * dy), filled};
}

// Sends `item` to the list of its element's layer; other layers drop it.
template <typename T>
void file_by_layer(std::string_view element, T item, std::vector<T>* courtyard,
                   std::vector<T>* fab, std::vector<T>* silk) {
  std::string layer = element_layer(element);
  std::vector<T>* list = layer == "F.CrtYd" ? courtyard
                         : layer == "F.Fab" ? fab
                         : layer == "F.SilkS" ? silk
                                              : nullptr;
  if (list != nullptr) list->push_back(std::move(item));
}

}  // namespace

std::optional<double> read_number(std::string_view text) {
  std::string_view unsigned_part = text.substr(text.starts_with('-') ? 1 : 0);
  if (unsigned_part.find_first_not_of("0123456789.") != std::string_view::npos) {
    return std::nullopt;
  }
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ptr != end) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    // Too small to represent is a zero; too large would be an infinity,
    // which no drawing can use, so it is unreadable.
    size_t first = text.find_first_not_of("-0.");
    size_t point = text.find('.');
    bool at_least_one = first != std::string_view::npos && first < point;
    if (at_least_one) return std::nullopt;
    return text.starts_with('-') ? -0.0 : 0.0;
  }
  if (ec != std::errc()) return std::nullopt;
  return value;
}

std::vector<std::string_view> find_elements(std::string_view text,
                                            std::string_view kind) {
  std::string needle = "(" + std::string(kind) + " ";
  std::vector<Opener> openers = find_openers(text, needle);
  std::vector<std::string_view> elements;
  if (openers.empty()) return elements;
  match_closers(text, openers);
  elements.reserve(openers.size());
  size_t resume = 0;  // where the next search would begin
  for (const Opener& o : openers) {
    if (o.start < resume) continue;
    size_t end = o.closer == kUnclosed ? o.start : o.closer;
    elements.push_back(text.substr(o.start, end - o.start + 1));
    resume = end + 1;
  }
  return elements;
}

std::string element_layer(std::string_view element) {
  PatternMatch m;
  if (!search(layer_pattern(), element, m)) return {};
  return std::string(m.text(1));
}

std::optional<GeoPolyline> flatten_arc(std::string_view element) {
  std::optional<GeoPoint> s = find_point(start_pattern(), element);
  std::optional<GeoPoint> e = find_point(end_pattern(), element);
  if (!s || !e) return std::nullopt;
  std::optional<GeoPolyline> arc;
  PatternMatch m;
  if (std::optional<GeoPoint> mid = find_point(mid_pattern(), element)) {
    arc = three_point_arc(*s, *mid, *e);
  } else if (search(angle_pattern(), element, m)) {
    arc = centre_angle_arc(*s, *e, number_or(m.text(1), 0));
  }
  // Extreme coordinates can overflow the centre or radius; such an arc is
  // drawn as its chord, like a degenerate one.
  if (!arc || !all_finite(*arc)) return GeoPolyline{{*s, *e}};
  return arc;
}

FootprintGeometry parse_footprint(std::string_view text) {
  FootprintGeometry g;
  for (std::string_view element : find_elements(text, "pad")) {
    if (std::optional<GeoPad> pad = read_pad(element)) {
      g.pads.push_back(std::move(*pad));
    }
  }
  for (std::string_view element : find_elements(text, "fp_line")) {
    if (std::optional<GeoSegment> line = read_segment(element)) {
      file_by_layer(element, *line, &g.courtyard_lines, &g.fab_lines,
                    &g.silk_lines);
    }
  }
  for (std::string_view element : find_elements(text, "fp_rect")) {
    if (std::optional<GeoSegment> rect = read_segment(element)) {
      file_by_layer<GeoSegment>(element, *rect, &g.courtyard_rects,
                                &g.fab_rects, nullptr);
    }
  }
  for (std::string_view element : find_elements(text, "fp_poly")) {
    GeoPolyline polygon{xy_points(element)};
    if (!polygon.points.empty()) {
      file_by_layer<GeoPolyline>(element, std::move(polygon), nullptr,
                                 &g.fab_polys, &g.silk_polys);
    }
  }
  for (std::string_view element : find_elements(text, "fp_arc")) {
    if (std::optional<GeoPolyline> arc = flatten_arc(element)) {
      file_by_layer(element, std::move(*arc), &g.courtyard_arcs, &g.fab_arcs,
                    &g.silk_arcs);
    }
  }
  for (std::string_view element : find_elements(text, "fp_circle")) {
    if (std::optional<GeoCircle> circle = read_circle(element)) {
      file_by_layer(element, *circle, &g.courtyard_circles, &g.fab_circles,
                    &g.silk_circles);
    }
  }
  return g;
}
