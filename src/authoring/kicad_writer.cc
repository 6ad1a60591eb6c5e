#include "authoring/kicad_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kCourtyardWidth = 0.05;
constexpr double kFabWidth = 0.1;
constexpr double kSilkWidth = 0.12;
constexpr double kSilkOffset = 0.12;
constexpr double kPinMark = 0.3;
constexpr double kThicknessRatio = 0.15;

double round_to(double value, double scale) { return std::round(value * scale) / scale; }

// The digits and decimal exponent of the shortest round-trip form:
// value = 0.DIGITS × 10^(exponent), e.g. 1.27 -> ("127", 1).
void shortest_digits(double magnitude, std::string& digits, int& exponent) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
  std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
  size_t e = text.find('e');
  for (char c : text.substr(0, e))
    if (c != '.') digits += c;
  exponent = std::atoi(std::string(text.substr(e + 1)).c_str()) + 1;
}

struct Writer {
  std::string out;

  Writer& text(std::string_view s) {
    out += s;
    return *this;
  }
  Writer& num(double v) {
    out += format_number(v);
    return *this;
  }
};

// Collects x and y values separately (the corners never pair up), so the
// first value of each axis seeds that axis.
class AxisRange {
 public:
  void add(double v) {
    if (!any_) min_ = max_ = v;
    any_ = true;
    min_ = std::min(min_, v);
    max_ = std::max(max_, v);
  }
  bool any() const { return any_; }
  double min() const { return min_; }
  double max() const { return max_; }

 private:
  bool any_ = false;
  double min_ = 0;
  double max_ = 0;
};

void write_rect(Writer& w, double x1, double y1, double x2, double y2) {
  w.text("  (fp_rect (start ").num(x1).text(" ").num(y1).text(") (end ").num(x2).text(" ").num(y2).text(")\n");
}

void write_stroke(Writer& w, double width, bool fill, std::string_view layer) {
  w.text("    (stroke (width ").num(width).text(") (type default))");
  if (fill) w.text(" (fill none)");
  w.text(" (layer \"").text(layer).text("\"))\n");
}

void write_circle_body(Writer& w, const JsonRect& b) {
  double cx = (b.x1 + b.x2) * 0.5;
  double cy = (b.y1 + b.y2) * 0.5;
  double half = std::max(std::fabs(b.x2 - b.x1), std::fabs(b.y2 - b.y1)) * 0.5;
  auto circle = [&](double offset, double width, std::string_view layer) {
    double r = half + offset;
    w.text("  (fp_circle (center ").num(cx).text(" ").num(cy).text(") (end ").num(cx + r).text(" ").num(cy).text(")\n");
    write_stroke(w, width, true, layer);
  };
  circle(0, kFabWidth, "F.Fab");
  circle(kSilkOffset, kSilkWidth, "F.SilkS");
}

void write_rect_body(Writer& w, const JsonRect& b, bool pin_mark) {
  write_rect(w, b.x1, b.y1, b.x2, b.y2);
  write_stroke(w, kFabWidth, true, "F.Fab");
  write_rect(w, b.x1 - kSilkOffset, b.y1 - kSilkOffset, b.x2 + kSilkOffset, b.y2 + kSilkOffset);
  write_stroke(w, kSilkWidth, true, "F.SilkS");
  if (!pin_mark) return;
  w.text("  (fp_line (start ").num(b.x1 - kPinMark).text(" ").num(b.y1 - kPinMark);
  w.text(") (end ").num(b.x1 + kPinMark).text(" ").num(b.y1 - kPinMark).text(")\n");
  write_stroke(w, kSilkWidth, false, "F.SilkS");
}

void write_text(Writer& w, std::string_view kind, std::string_view text, const PlacedText& t) {
  w.text("  (fp_text ").text(kind).text(" \"").text(text).text("\" (at ").num(t.x).text(" ").num(t.y);
  if (t.rotation != 0) w.text(" ").num(t.rotation);
  w.text(")\n    (layer \"").text(t.layer).text("\") (effects (font (size ").num(t.size).text(" ").num(t.size);
  w.text(") (thickness ").num(round_to_hundredths(t.size * kThicknessRatio)).text("))))\n");
}

void write_pad(Writer& w, const JsonPad& pad) {
  const std::string& kind = pad.mount ? *pad.mount : "smd";
  const bool through_hole = kind == "thru_hole" || kind == "np_thru_hole";
  const std::string& shape = pad.shape ? *pad.shape : "roundrect";
  w.text("  (pad \"").text(pad.number).text("\" ").text(kind).text(" ").text(shape);
  w.text(" (at ").num(pad.x).text(" ").num(pad.y);
  if (pad.angle && *pad.angle != 0) w.text(" ").num(*pad.angle);
  w.text(") (size ").num(pad.dx).text(" ").num(pad.dy).text(")");
  if (pad.drill && *pad.drill > 0) w.text(" (drill ").num(*pad.drill).text(")");
  w.text("\n    (layers ");
  if (pad.layers) w.text(*pad.layers);
  else w.text(through_hole ? "\"*.Cu\" \"*.Mask\"" : "\"F.Cu\" \"F.Paste\" \"F.Mask\"");
  w.text(")");
  if (shape == "roundrect") w.text(" (roundrect_rratio 0.25)");
  w.text(")\n");
}

bool all_finite(std::initializer_list<double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

Status check_rect(const std::optional<JsonRect>& rect, std::string_view name) {
  if (!rect || all_finite({rect->x1, rect->y1, rect->x2, rect->y2})) return {};
  return Error("the corners of " + std::string(name) + " are not finite numbers");
}

}  // namespace

std::string format_number(double value) {
  if (value == 0) return std::signbit(value) ? "-0" : "0";
  std::string out = value < 0 ? "-" : "";
  std::string digits;
  int exponent = 0;
  shortest_digits(std::fabs(value), digits, exponent);
  if (exponent <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-exponent), '0');
    out += digits;
  } else if (static_cast<size_t>(exponent) >= digits.size()) {
    out += digits;
    out.append(static_cast<size_t>(exponent) - digits.size(), '0');
  } else {
    out += digits.substr(0, static_cast<size_t>(exponent));
    out += '.';
    out += digits.substr(static_cast<size_t>(exponent));
  }
  return out;
}

double round_to_hundredths(double value) { return round_to(value, 100); }
double round_to_tenths(double value) { return round_to(value, 10); }

BoundingBox create_bounding_box(const CreateInput& input) {
  AxisRange xs, ys;
  for (const std::optional<JsonRect>* rect : {&input.courtyard, &input.body}) {
    if (!*rect) continue;
    xs.add((*rect)->x1);
    xs.add((*rect)->x2);
    ys.add((*rect)->y1);
    ys.add((*rect)->y2);
  }
  for (const JsonPad& pad : input.pads) {
    xs.add(pad.x - pad.dx * 0.5);
    xs.add(pad.x + pad.dx * 0.5);
    ys.add(pad.y - pad.dy * 0.5);
    ys.add(pad.y + pad.dy * 0.5);
  }
  if (!xs.any()) return BoundingBox{};
  return BoundingBox{xs.min(), ys.min(), xs.max(), ys.max()};
}

TextPlacement compute_text_placement(const CreateInput& input) {
  const BoundingBox box = create_bounding_box(input);
  const double largest = std::max(box.maxx - box.minx, box.maxy - box.miny);
  const double size = round_to_tenths(std::min(std::max(largest / 2.5, 0.5), 1.0));
  TextPlacement placement;
  placement.reference = {0, round_to_hundredths(box.miny - 1), size, 0, "center", "F.SilkS"};
  placement.value = {0, round_to_hundredths(box.maxy + 1), size, 0, "center", "F.Fab"};
  placement.courtyard = {round_to_hundredths(box.miny), round_to_hundredths(box.maxy),
                         round_to_hundredths(box.minx), round_to_hundredths(box.maxx)};
  return placement;
}

std::string write_kicad_mod(const CreateInput& input) {
  Writer w;
  w.out.reserve(512 + input.pads.size() * 128);
  w.text("(footprint \"").text(input.footprint_name).text("\"\n");
  w.text("  (version 20240108)\n  (generator \"tovik-footprint\")\n  (layer \"F.Cu\")\n");
  if (!input.description.empty()) w.text("  (descr \"").text(input.description).text("\")\n");
  if (!input.tags.empty()) w.text("  (tags \"").text(input.tags).text("\")\n");
  w.text("  (attr smd)\n");
  if (const auto& c = input.courtyard) {
    write_rect(w, c->x1, c->y1, c->x2, c->y2);
    write_stroke(w, kCourtyardWidth, true, "F.CrtYd");
  }
  if (const auto& body = input.body) {
    if (input.body_shape == "circle") write_circle_body(w, *body);
    else write_rect_body(w, *body, !input.pads.empty());
  }
  const TextPlacement placement = compute_text_placement(input);
  write_text(w, "reference", "REF**", placement.reference);
  write_text(w, "value", input.footprint_name, placement.value);
  for (const JsonPad& pad : input.pads) write_pad(w, pad);
  w.text(")\n");
  return std::move(w.out);
}

Json text_placement_to_json(const TextPlacement& p) {
  auto text = [](const PlacedText& t) {
    return Json{{"x", t.x}, {"y", t.y}, {"size", t.size}, {"rotation", t.rotation},
                {"anchor", t.anchor}, {"layer", t.layer}};
  };
  return Json{{"units", p.units},
              {"yAxis", p.y_axis},
              {"originRelative", p.origin_relative},
              {"reference", text(p.reference)},
              {"value", text(p.value)},
              {"courtyard", Json{{"top", p.courtyard.top}, {"bottom", p.courtyard.bottom},
                                 {"left", p.courtyard.left}, {"right", p.courtyard.right}}}};
}

Status check_finite_numbers(const CreateInput& input) {
  for (const JsonPad& pad : input.pads) {
    if (!all_finite({pad.x, pad.y, pad.dx, pad.dy, pad.angle.value_or(0), pad.drill.value_or(0)}))
      return Error("the numbers of pad `" + pad.number + "` are not all finite");
  }
  RETURN_IF_ERROR(check_rect(input.courtyard, "courtyard"));
  RETURN_IF_ERROR(check_rect(input.body, "body"));
  const Error too_large("the footprint's extent is too large to write");
  const BoundingBox box = create_bounding_box(input);
  const TextPlacement p = compute_text_placement(input);
  if (!all_finite({box.maxx - box.minx, box.maxy - box.miny, p.reference.y, p.value.y, p.courtyard.top,
                   p.courtyard.bottom, p.courtyard.left, p.courtyard.right}))
    return too_large;
  if (const auto& b = input.body) {
    // The circle's centre and end point are the only other computed numbers.
    double cx = (b->x1 + b->x2) * 0.5;
    double r = std::max(std::fabs(b->x2 - b->x1), std::fabs(b->y2 - b->y1)) * 0.5 + kSilkOffset;
    if (!all_finite({cx, (b->y1 + b->y2) * 0.5, cx + r})) return too_large;
  }
  return {};
}
