// The single entry to footprint drawing. Every command and page that shows a
// footprint goes through one of these: the thumbnail (the layer groups of the
// SVG renderer) or the full drawing (the same plus the paste groups). Both
// first bring older KiCad syntax into the current form.
#pragma once

#include <string>
#include <string_view>

#include "render/normalize.h"

// normalize_kicad_text, then the footprint reader and the SVG renderer: an
// SVG document with the seven layer groups. Never fails.
std::string render_thumbnail_svg(std::string_view footprint_text);

// The thumbnail drawing with the groups `tovik-layer-paste-apertures` and
// `tovik-layer-paste-dots` inserted just before the final "</svg>", so they
// are the last two groups of the document. The paste apertures are read from
// the normalised text. Never fails.
std::string render_full_svg(std::string_view footprint_text);
