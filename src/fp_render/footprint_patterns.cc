#include "fp_render/footprint_patterns.h"

#define TOVIK_PATTERN(name, text)                 \
  const TextPattern& name() {                     \
    static constinit const TextPattern re(text); \
    return re;                                    \
  }

TOVIK_PATTERN(at_pattern, R"re(\(at\s+(-?[\d.]+)\s+(-?[\d.]+)(?:\s+(-?[\d.]+))?\))re")
TOVIK_PATTERN(size_pattern, R"re(\(size\s+(-?[\d.]+)\s+(-?[\d.]+)\))re")
TOVIK_PATTERN(drill_pattern, R"re(\(drill\s+(-?[\d.]+))re")
TOVIK_PATTERN(rratio_pattern, R"re(\(roundrect_rratio\s+([\d.]+)\))re")
TOVIK_PATTERN(layer_pattern, R"re(\(layer\s+"?([^"()\s]+)"?\s*\))re")
TOVIK_PATTERN(start_end_pattern,
              R"re(\(start\s+(-?[\d.]+)\s+(-?[\d.]+)\)\s*\(end\s+(-?[\d.]+)\s+(-?[\d.]+)\))re")
TOVIK_PATTERN(pad_header_pattern, R"re(\(pad\s+"?([^"\s]+)"?\s+(\w+)\s+(\w+))re")
TOVIK_PATTERN(xy_pattern, R"re(\(xy\s+(-?[\d.]+)\s+(-?[\d.]+)\))re")
TOVIK_PATTERN(start_pattern, R"re(\(start\s+(-?[\d.]+)\s+(-?[\d.]+)\))re")
TOVIK_PATTERN(end_pattern, R"re(\(end\s+(-?[\d.]+)\s+(-?[\d.]+)\))re")
TOVIK_PATTERN(mid_pattern, R"re(\(mid\s+(-?[\d.]+)\s+(-?[\d.]+)\))re")
TOVIK_PATTERN(angle_pattern, R"re(\(angle\s+(-?[\d.]+)\))re")
TOVIK_PATTERN(center_pattern, R"re(\(center\s+(-?[\d.]+)\s+(-?[\d.]+)\))re")

#undef TOVIK_PATTERN

bool search(const TextPattern& pattern, std::string_view text, PatternMatch& match) {
  return pattern.find(text, match.groups, PatternMatch::kMaxGroups);
}

double number_at(const PatternMatch& match, int group) {
  return read_number(match.text(group)).value_or(0);
}

std::optional<GeoPoint> find_point(const TextPattern& pattern, std::string_view element) {
  PatternMatch m;
  if (!search(pattern, element, m)) return std::nullopt;
  return GeoPoint{number_at(m, 1), number_at(m, 2)};
}

std::vector<GeoPoint> xy_points(std::string_view element) {
  std::vector<GeoPoint> points;
  MatchScan scan(xy_pattern(), element);
  PatternMatch m;
  while (scan.next(m.groups, 3)) points.push_back({number_at(m, 1), number_at(m, 2)});
  return points;
}
