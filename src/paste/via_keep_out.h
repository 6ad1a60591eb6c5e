// The keep-out around the thermal vias that the SVG renderer draws under a
// footprint's exposed heat-sink pad: paste dots must not land on them.
#pragma once

#include <cstdint>
#include <vector>

#include "fp_render/thermal_vias.h"
#include "paste/paste_overlay.h"

// A dot whose centre is closer than this to a via centre is left out.
inline constexpr double kViaKeepOut = 0.55;

// The drawn via grid: centres x0 + c * kViaPitch, y0 + r * kViaPitch for
// c < nx, r < ny; no vias when nx or ny is 0.
struct ThermalViaGrid {
  double x0 = 0;
  double y0 = 0;
  int64_t nx = 0;
  int64_t ny = 0;

  // True when some via centre lies closer than kViaKeepOut to (x, y). Looks
  // only at the vias around the nearest grid position, so it takes constant
  // time however many vias there are.
  bool near_via(double x, double y) const;
};

// The grid of the heat-sink-sized aperture with the largest area (the later
// one among equal areas), laid out as the renderer lays out its via grid
// (same counts and bound per side); no vias when no aperture is
// heat-sink-sized.
ThermalViaGrid thermal_vias_for(const std::vector<PasteAperture>& apertures);
