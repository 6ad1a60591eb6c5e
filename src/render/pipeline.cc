#include "render/pipeline.h"

#include "fp_render/reader.h"
#include "fp_render/svg_renderer.h"
#include "paste/paste_overlay.h"

std::string render_thumbnail_svg(std::string_view footprint_text) {
  return render_svg(parse_footprint(normalize_kicad_text(footprint_text)));
}

std::string render_full_svg(std::string_view footprint_text) {
  const std::string text = normalize_kicad_text(footprint_text);
  std::string svg = render_svg(parse_footprint(text));
  const PasteOverlay overlay = render_paste_overlay(find_paste_apertures(text));
  const size_t end = svg.rfind("</svg>");
  if (end == std::string::npos) return svg;
  svg.insert(end, overlay.apertures + overlay.dots);
  return svg;
}
