// Copper markup of the pad shapes that a plain rect, rounded rect or circle
// cannot show: trapezoids, chamfered rectangles and custom pads. Every other
// pad is drawn by the renderer's basic shapes.
#pragma once

#include <functional>
#include <string>

#include "fp_render/reader.h"

// True for a trapezoid pad with a non-zero delta.
bool is_trapezoid_pad(const GeoPad& pad);

// True for a rect or roundrect pad with at least one chamfered corner and a
// positive chamfer ratio.
bool is_chamfered_pad(const GeoPad& pad);

// True for a custom pad.
bool is_custom_pad(const GeoPad& pad);

// Appends the unrotated copper markup of a pad for which one of the three
// tests above holds, in footprint coordinates (the caller's wrapper turns
// it):
// - a trapezoid: one closed path through its four corners;
// - a chamfered pad: one closed path with the named corners cut off by
//   chamfer_ratio times the shorter side (at most half of it) and the other
//   corners rounded as a roundrect's;
// - a custom pad: its anchor and primitives twice, first each widened by
//   the outline width in the outline colour, then in the copper colour, so
//   that only the outline of their union shows.
// Returns false, appending nothing, for any other pad.
bool append_shaped_pad(std::string& out, const GeoPad& pad);

// Calls `add` with points whose box holds what append_shaped_pad draws
// beyond the pad's own unrotated size box: a trapezoid's corners (unrotated,
// like the box) and a custom pad's primitives as turned with the pad.
void shaped_pad_extent(const GeoPad& pad,
                       const std::function<void(double, double)>& add);
