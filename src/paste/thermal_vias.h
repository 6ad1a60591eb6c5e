// The thermal-via grid under a footprint's exposed heat-sink pad, as the SVG
// renderer draws it, for keeping paste dots clear of the vias.
#pragma once

#include <cstdint>
#include <vector>

#include "paste/paste_overlay.h"

// Vias closer than this to a dot centre leave the dot out.
inline constexpr double kViaKeepOut = 0.55;
inline constexpr double kViaPitch = 1.2;
// Via columns and rows are capped like the drawn grid: 100 vias span 120 mm,
// more than any real exposed pad, and an absurd pad size no longer asks for
// billions of vias.
inline constexpr int64_t kMaxViasPerSide = 100;

// True for the size of an exposed heat-sink pad: shorter side at least
// 1.8 mm and width / height between 0.6 and 1.67.
bool is_heatsink_sized(double width, double height);

// A regular grid of via centres x0 + c * pitch, y0 + r * pitch for
// c < nx, r < ny; empty when nx or ny is 0.
struct ThermalViaGrid {
  double x0 = 0;
  double y0 = 0;
  int64_t nx = 0;
  int64_t ny = 0;

  // True when some via centre lies closer than kViaKeepOut to (x, y). Looks
  // only at the vias around the nearest grid position, so it takes constant
  // time however large the grid.
  bool near_via(double x, double y) const;
};

// The grid of the heat-sink-sized aperture with the largest area (the later
// one among equal areas, the first one when none is larger); an empty grid
// when no aperture is heat-sink-sized.
ThermalViaGrid thermal_vias_for(const std::vector<PasteAperture>& apertures);
