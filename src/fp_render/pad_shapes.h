// The attributes that give KiCad's later pad shapes their outline: the
// `rect_delta` of trapezoid pads, the `chamfer` corners and `chamfer_ratio`
// of chamfered pads, and the anchor and `primitives` of custom pads.
//
// KiCad 9 lays primitives out over several lines with tabs; every attribute
// here accepts any whitespace after its keyword.
#pragma once

#include <string_view>
#include <vector>

#include "fp_render/reader.h"

// Reads into `pad` what its shape needs: delta_x and delta_y for shape
// "trapezoid"; chamfer_corners and chamfer_ratio for "rect" and
// "roundrect"; anchor (default "circle") and primitives for "custom".
// Leaves every other field, and every other shape, alone.
void read_pad_outline(std::string_view element, GeoPad& pad);

// The drawings inside the first `(primitives …)` list of `element`, in
// order: gr_poly, gr_rect, gr_circle, gr_line and gr_arc (both arc forms).
// A drawing missing a point it needs is left out, as is any other kind.
std::vector<PadPrimitive> read_primitives(std::string_view element);
