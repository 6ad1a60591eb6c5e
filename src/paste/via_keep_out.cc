#include "paste/via_keep_out.h"

#include <algorithm>
#include <cmath>

namespace {

// The indices c with |origin + c * pitch - value| < 1.5 * pitch, clamped to
// the grid; every other via is farther than the keep-out from `value`.
void candidate_range(double value, double origin, int64_t count, int64_t& lo, int64_t& hi) {
  double k = std::round((value - origin) / kViaPitch);
  if (std::isnan(k)) k = 0;
  int64_t mid = static_cast<int64_t>(std::clamp(k, 0.0, double(count - 1)));
  lo = std::max<int64_t>(mid - 1, 0);
  hi = std::min<int64_t>(mid + 1, count - 1);
}

}  // namespace

bool ThermalViaGrid::near_via(double x, double y) const {
  if (nx <= 0 || ny <= 0) return false;
  int64_t c_lo, c_hi, r_lo, r_hi;
  candidate_range(x, x0, nx, c_lo, c_hi);
  candidate_range(y, y0, ny, r_lo, r_hi);
  for (int64_t r = r_lo; r <= r_hi; ++r) {
    for (int64_t c = c_lo; c <= c_hi; ++c) {
      double dx = x - (x0 + double(c) * kViaPitch), dy = y - (y0 + double(r) * kViaPitch);
      if (std::sqrt(dx * dx + dy * dy) < kViaKeepOut) return true;
    }
  }
  return false;
}

ThermalViaGrid thermal_vias_for(const std::vector<PasteAperture>& apertures) {
  const PasteAperture* chosen = nullptr;
  for (const PasteAperture& a : apertures) {
    if (!is_heatsink_sized(a.width, a.height)) continue;
    if (chosen == nullptr || chosen->width * chosen->height <= a.width * a.height) chosen = &a;
  }
  if (chosen == nullptr) return {};
  ThermalViaGrid grid;
  grid.nx = via_count(chosen->width);
  grid.ny = via_count(chosen->height);
  grid.x0 = chosen->x - double(grid.nx - 1) * kViaPitch * 0.5;
  grid.y0 = chosen->y - double(grid.ny - 1) * kViaPitch * 0.5;
  return grid;
}
