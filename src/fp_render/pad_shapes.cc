#include "fp_render/pad_shapes.h"

#include <cmath>
#include <optional>

#include "fp_render/footprint_patterns.h"

namespace {

constinit const TextPattern rect_delta_pattern(R"re(\(rect_delta\s+(-?[\d.]+)\s+(-?[\d.]+)\))re");
constinit const TextPattern chamfer_ratio_pattern(R"re(\(chamfer_ratio\s+([\d.]+)\))re");
constinit const TextPattern chamfer_pattern(R"re(\(chamfer\s+([^()]*)\))re");
constinit const TextPattern word_pattern(R"re((\w+))re");
constinit const TextPattern anchor_pattern(R"re(\(anchor\s+(\w+)\s*\))re");
constinit const TextPattern width_pattern(R"re(\(width\s+(-?[\d.]+)\))re");
constinit const TextPattern fill_pattern(R"re(\(fill\s+(\w+)\s*\))re");

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' ||
         c == '\v';
}

// One element directly inside another: its keyword and its whole text.
struct Child {
  std::string_view keyword;
  std::string_view text;
};

// The elements directly inside `element` (which starts with its own "("),
// in order. An element left open at the end of the text runs to the end.
std::vector<Child> children(std::string_view element) {
  std::vector<Child> found;
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i < element.size(); ++i) {
    if (element[i] == '(') {
      if (++depth == 2) start = i;
    } else if (element[i] == ')') {
      if (depth == 2) found.push_back({{}, element.substr(start, i - start + 1)});
      if (--depth == 0) break;
    }
  }
  if (depth >= 2) found.push_back({{}, element.substr(start)});
  for (Child& child : found) {
    size_t end = 1;
    while (end < child.text.size() && !is_space(child.text[end]) &&
           child.text[end] != '(' && child.text[end] != ')') {
      ++end;
    }
    child.keyword = child.text.substr(1, end - 1);
  }
  return found;
}

// The first "(primitives" list of a pad element, or empty.
std::string_view primitives_list(std::string_view element) {
  constexpr std::string_view kKeyword = "(primitives";
  for (size_t p = element.find(kKeyword); p != std::string_view::npos;
       p = element.find(kKeyword, p + 1)) {
    size_t after = p + kKeyword.size();
    if (after == element.size()) return {};
    char c = element[after];
    if (is_space(c) || c == '(' || c == ')') {
      int depth = 0;
      for (size_t i = p; i < element.size(); ++i) {
        if (element[i] == '(') ++depth;
        if (element[i] == ')' && --depth == 0) {
          return element.substr(p, i - p + 1);
        }
      }
      return element.substr(p);
    }
  }
  return {};
}

double stroke_width(std::string_view text) {
  PatternMatch m;
  return search(width_pattern, text, m) ? number_at(m, 1) : 0;
}

// Written fills win; without one, a polygon is solid and a rectangle or
// circle is solid only when it has no stroke (older files drew zero-width
// shapes filled and gave rings a width).
bool is_filled(std::string_view text, PadPrimitive::Kind kind, double width) {
  PatternMatch m;
  if (search(fill_pattern, text, m)) {
    return m.text(1) == "yes" || m.text(1) == "solid";
  }
  return kind == PadPrimitive::Kind::kPolygon || width == 0;
}

std::optional<PadPrimitive> read_primitive(const Child& child) {
  using Kind = PadPrimitive::Kind;
  PadPrimitive p;
  p.width = stroke_width(child.text);
  if (child.keyword == "gr_poly") {
    p.kind = Kind::kPolygon;
    p.points = xy_points(child.text);
    if (p.points.empty()) return std::nullopt;
  } else if (child.keyword == "gr_rect" || child.keyword == "gr_line") {
    p.kind = child.keyword == "gr_rect" ? Kind::kRect : Kind::kLine;
    std::optional<GeoPoint> start = find_point(start_pattern(), child.text);
    std::optional<GeoPoint> end = find_point(end_pattern(), child.text);
    if (!start || !end) return std::nullopt;
    p.points = {*start, *end};
  } else if (child.keyword == "gr_circle") {
    p.kind = Kind::kCircle;
    std::optional<GeoPoint> centre = find_point(center_pattern(), child.text);
    std::optional<GeoPoint> end = find_point(end_pattern(), child.text);
    if (!centre || !end) return std::nullopt;
    p.points = {*centre};
    p.radius = std::hypot(end->x - centre->x, end->y - centre->y);
  } else if (child.keyword == "gr_arc") {
    p.kind = Kind::kArc;
    std::optional<GeoPolyline> arc = flatten_arc(child.text);
    if (!arc) return std::nullopt;
    p.points = std::move(arc->points);
  } else {
    return std::nullopt;
  }
  p.filled = p.kind != Kind::kLine && p.kind != Kind::kArc &&
             is_filled(child.text, p.kind, p.width);
  return p;
}

unsigned chamfer_corners(std::string_view words) {
  unsigned corners = 0;
  MatchScan scan(word_pattern, words);
  re2::StringPiece m[2];
  while (scan.next(m, 2)) {
    const re2::StringPiece& word = m[1];
    if (word == "top_left") corners |= kChamferTopLeft;
    if (word == "top_right") corners |= kChamferTopRight;
    if (word == "bottom_right") corners |= kChamferBottomRight;
    if (word == "bottom_left") corners |= kChamferBottomLeft;
  }
  return corners;
}

}  // namespace

std::vector<PadPrimitive> read_primitives(std::string_view element) {
  std::vector<PadPrimitive> primitives;
  std::string_view list = primitives_list(element);
  if (list.empty()) return primitives;
  for (const Child& child : children(list)) {
    if (std::optional<PadPrimitive> p = read_primitive(child)) {
      primitives.push_back(std::move(*p));
    }
  }
  return primitives;
}

void read_pad_outline(std::string_view element, GeoPad& pad) {
  PatternMatch m;
  if (pad.shape == "trapezoid") {
    if (search(rect_delta_pattern, element, m)) {
      pad.delta_x = number_at(m, 1);
      pad.delta_y = number_at(m, 2);
    }
  } else if (pad.shape == "rect" || pad.shape == "roundrect") {
    if (search(chamfer_pattern, element, m)) {
      pad.chamfer_corners = chamfer_corners(m.text(1));
    }
    if (search(chamfer_ratio_pattern, element, m)) {
      pad.chamfer_ratio = number_at(m, 1);
    }
  } else if (pad.shape == "custom") {
    pad.anchor = "circle";
    if (search(anchor_pattern, element, m)) pad.anchor = m.text(1);
    pad.primitives = read_primitives(element);
  }
}
