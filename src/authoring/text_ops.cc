#include "authoring/text_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

#include "authoring/property_text.h"
#include "base/text_pattern.h"

namespace {

// The patterns are written in Perl syntax with \s, \S and \d in their Unicode
// meaning (base/text_pattern.h). A word boundary after the kind word is
// written as its class test, `(?:\W(?s:.)*?)??`: the word ends in a letter, so
// a boundary follows it exactly when the next character is not a word
// character, and the shortest run after it may be empty only when the rest of
// the pattern starts with a non-word character, as it does here.

// `perl` with each blank widened to a blank or a whitespace run that holds a
// line break: KiCad 7 and later put each clause of an element on its own
// indented line, while on one line the clauses stay one blank apart.
std::string one_blank_or_line_break(std::string_view perl) {
  std::string out;
  for (char c : perl) out += c == ' ' ? std::string_view(R"((?: |\s*\n\s*))") : std::string_view(&c, 1);
  return out;
}

const TextPattern& at_size_pattern() {
  // The widened text lives as long as the pattern, which is never destroyed.
  static const TextPattern re(*new std::string(one_blank_or_line_break(
      R"(\(at (-?[\d.]+) (-?[\d.]+)(?: [-\d.]+)?\) \(size (-?[\d.]+) (-?[\d.]+)\))")));
  return re;
}

const TextPattern& start_end_pattern() {
  static const TextPattern re(*new std::string(
      one_blank_or_line_break(R"(\(start (-?[\d.]+) (-?[\d.]+)\) \(end (-?[\d.]+) (-?[\d.]+)\))")));
  return re;
}

// One pattern per kind of text, the kind word standing between `before` and
// `after`.
struct PerKind {
  TextPattern reference;
  TextPattern value;

  const TextPattern& operator[](TextKind kind) const { return kind == TextKind::kReference ? reference : value; }
};

#define TOVIK_PER_KIND(before, after) \
  PerKind { TextPattern(before "reference" after), TextPattern(before "value" after) }

constinit const PerKind entry_patterns =
    TOVIK_PER_KIND(R"(\(fp_text )", R"(\s+(?:"[^"]*"|\S+)\s+\(at\s+(-?[\d.]+)\s+(-?[\d.]+)[^)]*\))");
constinit const PerKind entry_size_patterns =
    TOVIK_PER_KIND(R"(\(fp_text )", R"((?:\W(?s:.)*?)??\(size\s+(-?[\d.]+))");
constinit const PerKind position_edit_patterns =
    TOVIK_PER_KIND(R"((\(fp_text )", R"(\s+(?:"[^"]*"|\S+)\s+\(at\s+)-?[\d.]+\s+-?[\d.]+[^)]*(\)))");
constinit const PerKind size_edit_patterns = TOVIK_PER_KIND(
    R"((\(fp_text )", R"((?:\W(?s:.)*?)??\(size )[-\d.]+ [-\d.]+(\)(?s:.)*?\(thickness )[-\d.]+)");

#undef TOVIK_PER_KIND

// The form of the entry patterns for `text`. An entry search reads the text
// only up to the entry, which stands near the top, while the check for bytes
// above 0x7F reads all of it: on a text of megabytes the check took longer
// than the search. Past 64 KB the Unicode programs, compiled once in the
// live app that runs these operations again and again, serve any text.
TextPattern::Form entry_form_for(std::string_view text) {
  constexpr size_t kScanLimit = 64 * 1024;
  return text.size() > kScanLimit ? TextPattern::kUnicode : TextPattern::form_for(text);
}

// The first match, with `groups` capture groups in m[1..].
bool search(const TextPattern& pattern, TextPattern::Form form, std::string_view text, re2::StringPiece* m,
            int groups) {
  return pattern.find(form, text, 0, m, groups + 1);
}

std::string_view view(const re2::StringPiece& piece) { return {piece.data(), piece.size()}; }

// The decimal reading of a captured number: an optional minus, then digits
// with at most one point. Values too large to be finite do not read.
std::optional<double> read_number(std::string_view text) {
  size_t i = text.starts_with('-') ? 1 : 0;
  size_t digits = 0, points = 0;
  for (size_t j = i; j < text.size(); ++j) {
    if (text[j] >= '0' && text[j] <= '9') ++digits;
    else if (text[j] == '.') ++points;
    else return std::nullopt;
  }
  if (digits == 0 || points > 1) return std::nullopt;
  double value = std::strtod(std::string(text).c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

// Adds the values of every match of a four-number pattern to the two ranges.
template <typename Add>
void scan_fours(const TextPattern& pattern, TextPattern::Form form, std::string_view text, Add add) {
  MatchScan scan(pattern, form, text);
  re2::StringPiece m[5];
  while (scan.next(m, 5)) {
    std::optional<double> v[4];
    for (int i = 0; i < 4; ++i) v[i] = read_number(view(m[i + 1]));
    if (v[0] && v[1] && v[2] && v[3]) add(*v[0], *v[1], *v[2], *v[3]);
  }
}

struct Range {
  bool any = false;
  double min = 0, max = 0;
  void add(double v) {
    min = any ? std::min(min, v) : v;
    max = any ? std::max(max, v) : v;
    any = true;
  }
};

// Whether " hide" stands in the entry that starts at `start`. The entry is
// taken to end at the next text entry, else at the first pad, else 400 bytes on.
bool entry_hidden(std::string_view text, size_t start) {
  size_t end = text.find("(fp_text ", start + 1);
  if (end == std::string_view::npos) end = text.find("\n  (pad ", start);
  if (end == std::string_view::npos) end = start + 400;
  end = std::min(end, text.size());
  return text.substr(start, end - start).find(" hide") != std::string_view::npos;
}

Json info_json(const std::optional<TextInfo>& info) {
  if (!info) return nullptr;
  return Json{{"hidden", info->hidden}, {"size", info->size}, {"x", info->x}, {"y", info->y}};
}

// Footprints of KiCad 7 and later hold their reference and value as
// properties; they are used when the footprint has no `fp_text` of the kind.
std::string_view property_name(TextKind kind) { return kind == TextKind::kReference ? "Reference" : "Value"; }

std::string_view token(std::string_view text, TokenSpan span) { return text.substr(span.begin, span.end - span.begin); }

std::optional<TextInfo> property_info(std::string_view text, TextKind kind) {
  std::optional<PropertyText> property = find_property_text(text, property_name(kind));
  if (!property) return std::nullopt;
  TextInfo info;
  info.x = read_number(token(text, property->x)).value_or(0);
  info.y = read_number(token(text, property->y)).value_or(0);
  if (property->width) info.size = read_number(token(text, *property->width)).value_or(1);
  info.hidden = property->hidden;
  return info;
}

// The text with each span replaced by its text; the spans do not overlap.
std::string replace_spans(std::string_view text, std::vector<std::pair<TokenSpan, std::string>> edits) {
  std::sort(edits.begin(), edits.end(), [](const auto& a, const auto& b) { return a.first.begin < b.first.begin; });
  std::string out;
  out.reserve(text.size() + 32);
  size_t at = 0;
  for (const auto& [span, replacement] : edits) {
    out.append(text.substr(at, span.begin - at));
    out.append(replacement);
    at = span.end;
  }
  out.append(text.substr(at));
  return out;
}

std::string splice(std::string_view text, const re2::StringPiece& whole, std::string_view replacement) {
  size_t start = static_cast<size_t>(whole.data() - text.data());
  std::string out;
  out.reserve(text.size() + replacement.size());
  out.append(text.substr(0, start));
  out.append(replacement);
  out.append(text.substr(start + whole.size()));
  return out;
}

// What the first text entry of the kind says, searched with `form`.
std::optional<TextInfo> text_info_in(std::string_view text, TextKind kind, TextPattern::Form form) {
  re2::StringPiece m[3];
  if (!search(entry_patterns[kind], form, text, m, 2)) return property_info(text, kind);
  TextInfo info;
  info.x = read_number(view(m[1])).value_or(0);
  info.y = read_number(view(m[2])).value_or(0);
  info.hidden = entry_hidden(text, static_cast<size_t>(m[0].data() - text.data()));
  re2::StringPiece s[2];
  if (search(entry_size_patterns[kind], form, text, s, 1)) info.size = read_number(view(s[1])).value_or(1);
  return info;
}

}  // namespace

std::string_view text_kind_word(TextKind kind) {
  return kind == TextKind::kReference ? "reference" : "value";
}

BoundingBox footprint_bounding_box(std::string_view text) {
  const TextPattern::Form form = TextPattern::form_for(text);
  Range xs, ys;
  scan_fours(at_size_pattern(), form, text, [&](double x, double y, double w, double h) {
    double x1 = x - w * 0.5, x2 = x + w * 0.5, y1 = y - h * 0.5, y2 = y + h * 0.5;
    if (!std::isfinite(x1) || !std::isfinite(x2) || !std::isfinite(y1) || !std::isfinite(y2)) return;
    xs.add(x1);
    xs.add(x2);
    ys.add(y1);
    ys.add(y2);
  });
  scan_fours(start_end_pattern(), form, text, [&](double x1, double y1, double x2, double y2) {
    xs.add(x1);
    xs.add(x2);
    ys.add(y1);
    ys.add(y2);
  });
  if (!xs.any) return BoundingBox{};
  return BoundingBox{xs.min, ys.min, xs.max, ys.max};
}


std::optional<TextInfo> text_info(std::string_view text, TextKind kind) {
  return text_info_in(text, kind, entry_form_for(text));
}

Json texts_info(std::string_view text) {
  const TextPattern::Form form = entry_form_for(text);
  return Json{{"reference", info_json(text_info_in(text, TextKind::kReference, form))},
              {"value", info_json(text_info_in(text, TextKind::kValue, form))}};
}

std::string set_text_position(std::string_view text, TextKind kind, double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return std::string(text);
  re2::StringPiece m[3];
  if (!search(position_edit_patterns[kind], entry_form_for(text), text, m, 2)) {
    // A property keeps its rotation and everything else; only X and Y change.
    std::optional<PropertyText> property = find_property_text(text, property_name(kind));
    if (!property) return std::string(text);
    return replace_spans(text, {{property->x, format_number(x)}, {property->y, format_number(y)}});
  }
  std::string replacement = std::string(view(m[1])) + format_number(x) + " " + format_number(y) + std::string(view(m[2]));
  return splice(text, m[0], replacement);
}

std::string set_text_size(std::string_view text, TextKind kind, double size) {
  const double s = round_to_hundredths(size);
  const double t = round_to_hundredths(size * 0.15);
  if (!std::isfinite(s) || !std::isfinite(t)) return std::string(text);
  const std::string number = format_number(s);
  re2::StringPiece m[3];
  if (!search(size_edit_patterns[kind], entry_form_for(text), text, m, 2)) {
    std::optional<PropertyText> property = find_property_text(text, property_name(kind));
    if (!property || !property->width) return std::string(text);
    std::vector<std::pair<TokenSpan, std::string>> edits = {{*property->width, number}, {*property->height, number}};
    if (property->thickness) edits.push_back({*property->thickness, format_number(t)});
    return replace_spans(text, std::move(edits));
  }
  std::string replacement = std::string(view(m[1])) + number + " " + number + std::string(view(m[2])) + format_number(t);
  return splice(text, m[0], replacement);
}
