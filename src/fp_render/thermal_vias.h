// The thermal-via grid drawn on a footprint's heat-sink pad; the paste
// overlay keeps its dots clear of the same vias.
#pragma once

#include <vector>

#include "fp_render/reader.h"

// Spacing of the via grid in both directions, in millimetres.
inline constexpr double kViaPitch = 1.2;

// At most this many vias along either side of a pad. Real exposed pads stay
// far below (the widest grid in the KiCad library has 17); the bound
// keeps a pad written with an absurd size from asking for billions of vias.
inline constexpr int kMaxViasPerSide = 100;

// True when a pad of this size is large enough and square enough to be an
// exposed heat-sink pad: the shorter side at least 1.8 and width / height
// (height taken as at least 0.001) between 0.6 and 1.67.
bool is_heatsink_sized(double width, double height);

// Vias along one side of length `side`: one per pitch that fits once a
// margin is left at both ends, at least 1 and at most kMaxViasPerSide.
int via_count(double side);

// Via centres of a pad centred at (x, y) with the given unrotated size,
// row by row (top to bottom), each row left to right, centred on the pad.
std::vector<GeoPoint> thermal_via_centres(double x, double y, double width,
                                          double height);
