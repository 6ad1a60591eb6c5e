#include "paste/paste_overlay.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "fp_render/footprint_patterns.h"
#include "fp_render/number_format.h"
#include "fp_render/reader.h"
#include "paste/via_keep_out.h"

namespace {

constexpr double kDotPitch = 0.45;
constexpr double kDotRadius = 0.15;
constexpr double kEdgeAllowance1 = 0.12;
constexpr double kEdgeAllowance2 = 0.3;

// Dots left out by the via keep-out do not count towards the dot limit, so
// on their own they would not end the loops. Real footprints skip a few
// thousand at most (each via hides at most nine lattice points); only a
// crafted file, whose grid collapses onto the vias in floating point, gets
// anywhere near this.
constexpr uint64_t kMaxSkippedDots = 1'000'000;

double number_or_zero(std::string_view text) { return read_number(text).value_or(0.0); }

// floor(max(side - allowances, 0) / pitch), clamped into the 32-bit range.
int64_t dot_steps(double side) {
  double f = std::floor(std::max(side - kEdgeAllowance1 - kEdgeAllowance2, 0.0) / kDotPitch);
  if (std::isnan(f)) return 0;
  return static_cast<int64_t>(std::clamp(f, double(INT32_MIN), double(INT32_MAX)));
}

void append_outline(std::string& out, const PasteAperture& a) {
  out += "<rect x=\"";
  append_mm(out, a.x - a.width / 2);
  out += "\" y=\"";
  append_mm(out, a.y - a.height / 2);
  out += "\" width=\"";
  append_mm(out, a.width);
  out += "\" height=\"";
  append_mm(out, a.height);
  // 0 - r rather than -r: an unrotated aperture then prints 0.00, not -0.00.
  out += "\" rx=\"0.05\" transform=\"rotate(";
  append_fixed(out, 0 - a.rotation, 2);
  out += ' ';
  append_mm(out, a.x);
  out += ' ';
  append_mm(out, a.y);
  out += ")\" fill=\"none\" stroke=\"#8aa0b8\" stroke-width=\"0.03\" "
         "stroke-dasharray=\"0.12 0.08\" opacity=\"0.7\"/>";
}

void append_dot(std::string& out, double x, double y) {
  out += "<circle cx=\"";
  append_mm(out, x);
  out += "\" cy=\"";
  append_mm(out, y);
  out += "\" r=\"";
  append_mm(out, kDotRadius);
  out += "\" fill=\"#37c8a6\" opacity=\"0.92\"/>";
}

struct DotBudget {
  size_t drawn = 0;
  uint64_t skipped = 0;
  bool exhausted() const { return drawn >= kMaxPasteDots || skipped >= kMaxSkippedDots; }
};

// Lays the dot grid of one aperture, rotated with the pad (the same sense as
// the copper drawing), column by column.
void append_dots(std::string& out, const PasteAperture& a, const ThermalViaGrid& vias,
                 DotBudget& budget) {
  const int64_t fx = dot_steps(a.width), fy = dot_steps(a.height);
  const double hx = double(fx) * kDotPitch * 0.5, hy = double(fy) * kDotPitch * 0.5;
  const double theta = -a.rotation * (std::numbers::pi / 180.0);
  const double c = std::cos(theta), s = std::sin(theta);
  for (int64_t i = 0; i <= fx; ++i) {
    for (int64_t j = 0; j <= fy; ++j) {
      if (budget.exhausted()) return;
      double u = double(i) * kDotPitch - hx, v = double(j) * kDotPitch - hy;
      double px = a.x + c * u - s * v, py = a.y + s * u + c * v;
      if (vias.near_via(px, py)) {
        ++budget.skipped;
        continue;
      }
      append_dot(out, px, py);
      ++budget.drawn;
    }
  }
}

}  // namespace

std::vector<PasteAperture> find_paste_apertures(std::string_view text) {
  std::vector<PasteAperture> apertures;
  for (std::string_view pad : find_elements(text, "pad")) {
    if (pad.find(" smd ") == std::string_view::npos) continue;
    PatternMatch at, size;
    if (!search(at_pattern(), pad, at) || !search(size_pattern(), pad, size)) continue;
    PasteAperture a;
    a.x = number_or_zero(at.text(1));
    a.y = number_or_zero(at.text(2));
    a.rotation = at.took_part(3) ? number_or_zero(at.text(3)) : 0.0;
    a.width = number_or_zero(size.text(1));
    a.height = number_or_zero(size.text(2));
    if (!(a.width > 0 && a.height > 0)) continue;
    bool has_paste = pad.find("F.Paste") != std::string_view::npos;
    bool has_layers = pad.find("(layers") != std::string_view::npos;
    if (has_paste || !has_layers || is_heatsink_sized(a.width, a.height)) {
      apertures.push_back(a);
    }
  }
  return apertures;
}

PasteOverlay render_paste_overlay(const std::vector<PasteAperture>& apertures) {
  PasteOverlay overlay;
  // Room for every outline and the dots up front: large outputs then grow
  // without copies.
  overlay.apertures.reserve(64 + apertures.size() * 224);
  overlay.dots.reserve(64 + std::min(apertures.size() * 8, kMaxPasteDots) * 88);
  overlay.apertures = "<g class=\"tovik-layer-paste-apertures\">";
  overlay.dots = "<g class=\"tovik-layer-paste-dots\">";
  const ThermalViaGrid vias = thermal_vias_for(apertures);
  DotBudget budget;
  for (const PasteAperture& a : apertures) {
    append_outline(overlay.apertures, a);
    append_dots(overlay.dots, a, vias, budget);
  }
  overlay.apertures += "</g>";
  overlay.dots += "</g>";
  overlay.dot_count = budget.drawn;
  return overlay;
}
