// Solder-paste apertures of a footprint and the "solder paste jet" overlay:
// 300 µm paste-dispensing dots laid out inside each aperture, kept clear of
// the thermal vias that the SVG renderer draws under the exposed heat-sink
// pad. Produces two SVG layer groups, `tovik-layer-paste-apertures` and
// `tovik-layer-paste-dots`, that the render pipeline inserts into the
// footprint drawing, and the counts the pages show beside the layer toggles.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One SMD pad that prints paste. Millimetres and degrees as written.
struct PasteAperture {
  double x = 0;  // pad centre, the first two numbers of `at`
  double y = 0;
  double width = 0;  // the two numbers of `size`
  double height = 0;
  double rotation = 0;  // the optional third number of `at`, else 0
  bool operator==(const PasteAperture&) const = default;
};

struct PasteOverlay {
  std::string apertures;  // the whole <g class="tovik-layer-paste-apertures"> group
  std::string dots;       // the whole <g class="tovik-layer-paste-dots"> group
  size_t dot_count = 0;   // dots written into `dots`, at most kMaxPasteDots
};

// Bounds the overlay of footprints with hundreds of pads.
inline constexpr size_t kMaxPasteDots = 600;

// The paste apertures of footprint `text`, in file order: every "(pad "
// element containing " smd " with readable `at` and `size`, a positive width
// and height, and either "F.Paste" in it, no "(layers" list at all, or the
// size of an exposed heat-sink pad (shorter side at least 1.8 mm, side ratio
// 0.6 to 1.67). Never fails.
std::vector<PasteAperture> find_paste_apertures(std::string_view text);

// The two groups for `apertures`: one dashed outline per aperture (always,
// also past the dot limit) and a 0.45 mm grid of dots over each aperture,
// leaving out dots closer than 0.55 mm to a thermal via of the largest
// heat-sink-sized aperture, and stopping at kMaxPasteDots dots. Never fails;
// no number in the output is NaN or infinite.
PasteOverlay render_paste_overlay(const std::vector<PasteAperture>& apertures);
