#include "fp_render/footprint_patterns.h"

#include <cassert>

namespace {

// Members of each Unicode class, written to sit inside brackets.
constexpr std::string_view kDigitMembers = R"(\p{Nd})";
constexpr std::string_view kSpaceMembers =
    R"(\t\n\x{0B}\f\r \x{85}\x{A0}\x{1680}\x{2000}-\x{200A}\x{2028}\x{2029})"
    R"(\x{202F}\x{205F}\x{3000})";
// Alphabetic is the letters, letter numbers and Other_Alphabetic; the latter
// is marks apart from the circled and squared Latin letters listed here.
constexpr std::string_view kWordMembers =
    R"(\p{L}\p{Nl}\p{M}\p{Nd}\p{Pc}\x{200C}\x{200D}\x{24B6}-\x{24E9})"
    R"(\x{1F130}-\x{1F149}\x{1F150}-\x{1F169}\x{1F170}-\x{1F189})";

std::string_view class_members(char escape) {
  switch (escape) {
    case 'd': return kDigitMembers;
    case 's': return kSpaceMembers;
    case 'w': return kWordMembers;
    default: return {};
  }
}

}  // namespace

std::string widen_unicode_classes(std::string_view perl_pattern) {
  std::string out;
  bool in_brackets = false;
  for (size_t i = 0; i < perl_pattern.size(); ++i) {
    char c = perl_pattern[i];
    if (c == '\\' && i + 1 < perl_pattern.size()) {
      char next = perl_pattern[++i];
      std::string_view members = class_members(next);
      if (members.empty()) {
        out += c;
        out += next;
      } else if (in_brackets) {
        out += members;
      } else {
        out += '[';
        out += members;
        out += ']';
      }
      continue;
    }
    // None of the patterns puts a bracket first in a class, so "[" opens and
    // "]" closes without further cases.
    if (c == '[') in_brackets = true;
    if (c == ']') in_brackets = false;
    out += c;
  }
  return out;
}

// Each pattern is compiled by the first caller and kept for the life of the
// process (function-local statics make the first use thread-safe).
#define TOVIK_PATTERN(name, text)                                       \
  const RE2& name() {                                                   \
    static const RE2* const re = new RE2(widen_unicode_classes(text)); \
    return *re;                                                         \
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

bool search(const RE2& re, std::string_view text, PatternMatch& match) {
  int groups = re.NumberOfCapturingGroups() + 1;
  assert(groups <= PatternMatch::kMaxGroups);
  return re.Match(re2::StringPiece(text.data(), text.size()), 0, text.size(),
                  RE2::UNANCHORED, match.groups, groups);
}

double number_at(const PatternMatch& match, int group) {
  return read_number(match.text(group)).value_or(0);
}

std::optional<GeoPoint> find_point(const RE2& re, std::string_view element) {
  PatternMatch m;
  if (!search(re, element, m)) return std::nullopt;
  return GeoPoint{number_at(m, 1), number_at(m, 2)};
}

std::vector<GeoPoint> xy_points(std::string_view element) {
  std::vector<GeoPoint> points;
  const RE2& xy = xy_pattern();
  re2::StringPiece text(element.data(), element.size());
  PatternMatch m;
  size_t pos = 0;
  while (xy.Match(text, pos, text.size(), RE2::UNANCHORED, m.groups, 3)) {
    points.push_back({number_at(m, 1), number_at(m, 2)});
    pos = static_cast<size_t>(m.groups[0].data() + m.groups[0].size() -
                              text.data());
  }
  return points;
}
