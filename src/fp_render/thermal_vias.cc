#include "fp_render/thermal_vias.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

bool is_heatsink_sized(double width, double height) {
  double ratio = width / std::max(height, 0.001);
  return std::min(width, height) >= 1.8 && ratio >= 0.6 && ratio <= 1.67;
}

int via_count(double side) {
  // The margin is computed, not written as 0.9, so that sides at exact
  // multiples of the pitch fall on the same count everywhere.
  constexpr double kMargin = kViaPitch - 0.3;
  double steps = std::floor(std::fmax(side - kMargin, 0) / kViaPitch);
  if (std::isnan(steps)) steps = 0;
  steps = std::clamp(steps, static_cast<double>(INT32_MIN),
                     static_cast<double>(INT32_MAX));
  int64_t count = static_cast<int64_t>(steps) + 1;
  return static_cast<int>(std::clamp<int64_t>(count, 1, kMaxViasPerSide));
}

std::vector<GeoPoint> thermal_via_centres(double x, double y, double width,
                                          double height) {
  int nx = via_count(width);
  int ny = via_count(height);
  double x0 = x - (nx - 1) * kViaPitch * 0.5;
  double y0 = y - (ny - 1) * kViaPitch * 0.5;
  std::vector<GeoPoint> centres;
  centres.reserve(static_cast<size_t>(nx) * static_cast<size_t>(ny));
  for (int r = 0; r < ny; ++r) {
    for (int c = 0; c < nx; ++c) {
      centres.push_back({x0 + c * kViaPitch, y0 + r * kViaPitch});
    }
  }
  return centres;
}
