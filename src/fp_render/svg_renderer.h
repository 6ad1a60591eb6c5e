// The SVG renderer: draws a FootprintGeometry as one self-contained SVG text
// in a fixed dark theme, one group per layer so that pages can show or hide
// layers by class.
//
// The document has no line breaks and no whitespace between elements. One
// user unit is one millimetre in the footprint's own axes, never mirrored or
// shifted; every number has three decimals (see number_format.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fp_render/reader.h"

// The SVG document: the opening tag with a view box of the drawing's extent
// plus 1 mm on every side, then the groups tovik-layer-courtyard, -fab,
// -copper, -heatsink, -drill, -silk and -padnum in that order (each always
// present), then "</svg>". Each pad is one group in the copper layer carrying
// data-pad, data-shape, data-size and data-mount. Never fails.
std::string render_svg(const FootprintGeometry& geometry);

// `text` with "&", "<", ">" and the double quote replaced by their entities
// (apostrophes stay).
std::string xml_escape(std::string_view text);

// True for an smd pad whose size makes it an exposed heat-sink pad (see
// is_heatsink_sized in thermal_vias.h).
bool is_heatsink_pad(const GeoPad& pad);

// SVG path data: "M" before the first point and "L" before each later one,
// each point as "x,y " with three decimals; "Z" after the last space when
// `closed`.
std::string path_data(const std::vector<GeoPoint>& points, bool closed);
