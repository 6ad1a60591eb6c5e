#include "render/normalize.h"

#include <re2/re2.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "base/text_pattern.h"
#include "fp_render/number_format.h"
#include "fp_render/reader.h"

namespace {

// Written in Perl syntax with `\s` and `\d` in their Unicode sense, as in the
// footprint reader.
constinit const TextPattern model_pattern(R"re(\(model\s+([^\s()\n]+))re");
constinit const TextPattern text_pattern(
    R"re(\(fp_text (reference|value|user) ([^"\s()][^\s()]*) )re");
constinit const TextPattern old_arc_pattern(
    R"re(\(fp_arc \(start (-?[\d.]+) (-?[\d.]+)\) \(end (-?[\d.]+) (-?[\d.]+)\) )re"
    R"re(\(angle (-?[\d.]+)\) \(layer ([^)]+)\) \(width ([\d.]+)\)\))re");
constinit const TextPattern width_ending_pattern(R"re(\(width ([\d.]+)\)\))re");
constinit const TextPattern element_keyword_pattern(
    R"re(\((pad|fp_line|fp_rect|fp_poly|fp_arc|fp_circle|fp_text)\s+)re");

double to_number(std::string_view s) { return read_number(s).value_or(0.0); }

std::string fixed4(double v) { return format_fixed(v, 4); }

std::string_view view(const re2::StringPiece& p) { return {p.data(), p.size()}; }

// Replaces every non-overlapping match of `pattern` from left to right with
// what `make` returns for its capture groups (group 0 is the whole match).
template <typename Make>
std::string replace_each(std::string_view text, const TextPattern& pattern, TextPattern::Form form, Make make) {
  constexpr int kGroups = 8;  // the old arc has the most: seven
  std::vector<re2::StringPiece> groups(kGroups);
  MatchScan scan(pattern, form, text);
  std::string out;
  size_t pos = 0;  // the end of the last match
  while (scan.next(groups.data(), kGroups)) {
    size_t start = groups[0].data() - text.data();
    out.append(text.substr(pos, start - pos));
    out += make(groups);
    pos = start + groups[0].size();
  }
  out.append(text.substr(pos));
  return out;
}

std::string replace_first(std::string text, std::string_view from, std::string_view to) {
  size_t p = text.find(from);
  if (p != std::string::npos) text.replace(p, from.size(), to);
  return text;
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  size_t pos = 0;
  for (size_t p; (p = text.find(from, pos)) != std::string_view::npos; pos = p + from.size()) {
    out.append(text.substr(pos, p - pos));
    out.append(to);
  }
  out.append(text.substr(pos));
  return out;
}

std::string quote_model_path(const std::vector<re2::StringPiece>& g) {
  std::string_view path = view(g[1]);
  if (path.starts_with('"')) return "(model " + std::string(path);
  return "(model \"" + std::string(path) + "\"";
}

std::string quote_text(const std::vector<re2::StringPiece>& g) {
  return "(fp_text " + std::string(view(g[1])) + " \"" + std::string(view(g[2])) + "\" ";
}

// Old arcs give the centre C, the first point P and the signed sweep; the
// three-point form needs P, a point halfway along and the end point.
std::string three_point_arc(const std::vector<re2::StringPiece>& g) {
  double cx = to_number(view(g[1])), cy = to_number(view(g[2]));
  double px = to_number(view(g[3])), py = to_number(view(g[4]));
  double sweep = to_number(view(g[5])) * std::numbers::pi / 180.0;
  double dx = px - cx, dy = py - cy;
  double r = std::sqrt(dx * dx + dy * dy);
  double a0 = std::atan2(dy, dx);
  double ex = cx + r * std::cos(a0 + sweep), ey = cy + r * std::sin(a0 + sweep);
  double mx = cx + r * std::cos(a0 + sweep / 2), my = cy + r * std::sin(a0 + sweep / 2);
  // Coordinates too large to survive the arithmetic leave the arc as written
  // rather than writing "inf" or "nan" into the text.
  for (double v : {px, py, mx, my, ex, ey}) {
    if (!std::isfinite(v)) return std::string(view(g[0]));
  }
  return "(fp_arc (start " + fixed4(px) + " " + fixed4(py) + ") (mid " + fixed4(mx) + " " +
         fixed4(my) + ") (end " + fixed4(ex) + " " + fixed4(ey) + ") (stroke (width " +
         std::string(view(g[7])) + ") (type solid)) (layer " + std::string(view(g[6])) + "))";
}

std::string stroke_block(const std::vector<re2::StringPiece>& g) {
  return "(stroke (width " + std::string(view(g[1])) + ") (type solid)))";
}

// KiCad 9 breaks the line after the keyword; the reader finds elements by
// their keyword and one space.
std::string one_space_after_keyword(const std::vector<re2::StringPiece>& g) {
  return "(" + std::string(view(g[1])) + " ";
}

// Cheap tests, for ASCII text, of whether a rewrite can change anything:
// files that KiCad 6 and later or `create` wrote quote their texts, end no
// element with a bare width and put one blank after each keyword, and then
// the patterns of those rewrites are never compiled.

bool is_ascii_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A reference, value or user text whose first byte could start an unquoted
// token.
bool has_unquoted_text(std::string_view text) {
  for (std::string_view head : {"(fp_text reference ", "(fp_text value ", "(fp_text user "}) {
    for (size_t at = text.find(head); at != std::string_view::npos; at = text.find(head, at + 1)) {
      const size_t next = at + head.size();
      if (next == text.size()) continue;
      const char c = text[next];
      if (c != '"' && c != '(' && c != ')' && !is_ascii_space(c)) return true;
    }
  }
  return false;
}

// "(width W))" with W digits and points.
bool has_width_ending(std::string_view text) {
  constexpr std::string_view kHead = "(width ";
  for (size_t at = text.find(kHead); at != std::string_view::npos; at = text.find(kHead, at + 1)) {
    const size_t number = at + kHead.size();
    const size_t end = text.find_first_not_of("0123456789.", number);
    if (end != std::string_view::npos && end > number && text.substr(end, 2) == "))") return true;
  }
  return false;
}

// An element keyword followed by whitespace other than one blank before the
// next token.
bool has_loose_element_keyword(std::string_view text) {
  constexpr std::string_view kKeywords[] = {"pad", "fp_line", "fp_rect", "fp_poly", "fp_arc", "fp_circle", "fp_text"};
  for (size_t at = text.find('('); at != std::string_view::npos; at = text.find('(', at + 1)) {
    const std::string_view rest = text.substr(at + 1);
    for (std::string_view keyword : kKeywords) {
      if (!rest.starts_with(keyword) || rest.size() == keyword.size()) continue;
      const char first = rest[keyword.size()];
      const bool second_is_space = rest.size() > keyword.size() + 1 && is_ascii_space(rest[keyword.size() + 1]);
      if (is_ascii_space(first) && (first != ' ' || second_is_space)) return true;
    }
  }
  return false;
}

}  // namespace

std::string normalize_kicad_text(std::string_view text) {
  // The rewrites add only ASCII, so ASCII text stays ASCII through all of them.
  const TextPattern::Form form = TextPattern::form_for(text);
  // A pattern whose leading literal the text lacks is neither compiled nor run.
  std::string t = replace_first(std::string(text), "(module ", "(footprint ");
  t = replace_each(t, model_pattern, form, quote_model_path);
  t = replace_all(t, "(at (xyz", "(offset (xyz");
  const bool unicode = form == TextPattern::kUnicode;
  if (unicode || has_unquoted_text(t)) t = replace_each(t, text_pattern, form, quote_text);
  t = replace_each(t, old_arc_pattern, form, three_point_arc);
  if (unicode || has_width_ending(t)) t = replace_each(t, width_ending_pattern, form, stroke_block);
  if (unicode || has_loose_element_keyword(t)) {
    t = replace_each(t, element_keyword_pattern, form, one_space_after_keyword);
  }
  return t;
}
