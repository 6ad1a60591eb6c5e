#include "render/normalize.h"

#include <re2/re2.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "fp_render/footprint_patterns.h"
#include "fp_render/number_format.h"
#include "fp_render/reader.h"

namespace {

// `perl_pattern` with `\d`, `\s` and `\w` as the ASCII members of their
// Unicode classes. On text without a byte above 0x7F such a pattern matches
// exactly where the widened one does, and it compiles many times faster: the
// Unicode classes make each run of the program pay milliseconds otherwise.
std::string narrow_to_ascii_classes(std::string_view perl_pattern) {
  std::string out;
  bool in_brackets = false;
  for (size_t i = 0; i < perl_pattern.size(); ++i) {
    char c = perl_pattern[i];
    if (c == '\\' && i + 1 < perl_pattern.size()) {
      char next = perl_pattern[++i];
      std::string_view members = next == 'd'   ? "0-9"
                                 : next == 's' ? R"(\t\n\x0B\f\r )"
                                 : next == 'w' ? "0-9A-Za-z_"
                                               : "";
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
    // No pattern here puts a bracket first in a class.
    if (c == '[') in_brackets = true;
    if (c == ']') in_brackets = false;
    out += c;
  }
  return out;
}

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Each pattern is written in Perl syntax with `\s` and `\d` in their Unicode
// sense, as in the footprint reader, and compiled on first use in the form
// the text needs: ASCII classes for ASCII text, widened classes otherwise.
#define TOVIK_PATTERN(name, text)                                                  \
  const RE2& name(bool ascii) {                                                    \
    if (ascii) {                                                                   \
      static const RE2* const narrow = new RE2(narrow_to_ascii_classes(text));    \
      return *narrow;                                                              \
    }                                                                              \
    static const RE2* const wide = new RE2(widen_unicode_classes(text));          \
    return *wide;                                                                  \
  }

TOVIK_PATTERN(model_pattern, R"re((?m)\(model\s+([^\s()\n]+))re")
TOVIK_PATTERN(text_pattern, R"re(\(fp_text (reference|value|user) ([^"\s()][^\s()]*) )re")
TOVIK_PATTERN(old_arc_pattern,
              R"re(\(fp_arc \(start (-?[\d.]+) (-?[\d.]+)\) \(end (-?[\d.]+) (-?[\d.]+)\) )re"
              R"re(\(angle (-?[\d.]+)\) \(layer ([^)]+)\) \(width ([\d.]+)\)\))re")
TOVIK_PATTERN(width_ending_pattern, R"re(\(width ([\d.]+)\)\))re")
TOVIK_PATTERN(element_keyword_pattern,
              R"re(\((pad|fp_line|fp_rect|fp_poly|fp_arc|fp_circle|fp_text)\s+)re")

#undef TOVIK_PATTERN

double to_number(std::string_view s) { return read_number(s).value_or(0.0); }

std::string fixed4(double v) { return format_fixed(v, 4); }

std::string_view view(const re2::StringPiece& p) { return {p.data(), p.size()}; }

// Replaces every non-overlapping match of `re` from left to right with what
// `make` returns for its capture groups (group 0 is the whole match).
template <typename Make>
std::string replace_each(std::string_view text, const RE2& re, Make make) {
  const int ngroups = re.NumberOfCapturingGroups() + 1;
  std::vector<re2::StringPiece> groups(ngroups);
  std::string out;
  size_t pos = 0;
  while (pos <= text.size() &&
         re.Match(text, pos, text.size(), RE2::UNANCHORED, groups.data(), ngroups)) {
    size_t start = groups[0].data() - text.data();
    out.append(text.substr(pos, start - pos));
    out += make(groups);
    pos = start + groups[0].size();
    if (groups[0].empty()) {  // not possible with these patterns; never loop
      if (pos < text.size()) out += text[pos];
      ++pos;
    }
  }
  if (pos < text.size()) out.append(text.substr(pos));
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

}  // namespace

std::string normalize_kicad_text(std::string_view text) {
  const bool ascii = is_ascii(text);
  // A rewrite whose pattern starts with a literal the text lacks cannot
  // match; skipping it spares compiling the pattern.
  auto has = [](const std::string& t, std::string_view literal) {
    return t.find(literal) != std::string::npos;
  };
  std::string t = replace_first(std::string(text), "(module ", "(footprint ");
  if (has(t, "(model")) t = replace_each(t, model_pattern(ascii), quote_model_path);
  t = replace_all(t, "(at (xyz", "(offset (xyz");
  if (has(t, "(fp_text ")) t = replace_each(t, text_pattern(ascii), quote_text);
  if (has(t, "(fp_arc (start ")) t = replace_each(t, old_arc_pattern(ascii), three_point_arc);
  if (has(t, "(width ")) t = replace_each(t, width_ending_pattern(ascii), stroke_block);
  t = replace_each(t, element_keyword_pattern(ascii), one_space_after_keyword);
  return t;
}
