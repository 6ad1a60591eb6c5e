#include "render/pipeline.h"

#include <gtest/gtest.h>

#include <string>

#include "fp_render/reader.h"
#include "fp_render/svg_renderer.h"
#include "paste/paste_overlay.h"

namespace {

const char* const kOldSyntax =
    "(module Old_Part (layer F.Cu) (tedit 5A02FF57)\n"
    "  (fp_text reference REF** (at 0 -2) (layer F.SilkS)\n"
    "    (effects (font (size 1 1) (thickness 0.15)))\n"
    "  )\n"
    "  (fp_arc (start 0 0) (end 0 -1.5) (angle 180) (layer F.SilkS) (width 0.12))\n"
    "  (fp_arc (start 1 1) (end 2 1) (angle -90) (layer F.Fab) (width 0.1))\n"
    "  (fp_line (start -1 -1) (end 1 -1) (layer F.CrtYd) (width 0.05))\n"
    "  (fp_circle (center 0 0) (end 0.5 0) (layer F.Fab) (width 0.1))\n"
    "  (pad 1 smd rect (at -0.8 0) (size 0.9 1) (layers F.Cu F.Paste F.Mask))\n"
    "  (pad 2 thru_hole circle (at 0.8 0) (size 1.2 1.2) (drill 0.6) (layers *.Cu *.Mask))\n"
    "  (model Old.3dshapes/Old_Part.wrl (at (xyz 0 0 0)) (scale (xyz 1 1 1)))\n"
    ")\n";

// The same part as KiCad 6 writes it, with the arcs in the three-point form
// at four decimals.
const char* const kNewSyntax =
    "(footprint \"Old_Part\" (version 20211014) (generator pcbnew) (layer \"F.Cu\")\n"
    "  (fp_text reference \"REF**\" (at 0 -2) (layer \"F.SilkS\")\n"
    "    (effects (font (size 1 1) (thickness 0.15)))\n"
    "  )\n"
    "  (fp_arc (start 0 -1.5) (mid 1.5 0) (end 0 1.5) (stroke (width 0.12) (type solid)) "
    "(layer \"F.SilkS\"))\n"
    "  (fp_arc (start 2 1) (mid 1.7071 0.2929) (end 1 0) (stroke (width 0.1) (type solid)) "
    "(layer \"F.Fab\"))\n"
    "  (fp_line (start -1 -1) (end 1 -1) (stroke (width 0.05) (type solid)) (layer \"F.CrtYd\"))\n"
    "  (fp_circle (center 0 0) (end 0.5 0) (stroke (width 0.1) (type solid)) (fill none) "
    "(layer \"F.Fab\"))\n"
    "  (pad \"1\" smd rect (at -0.8 0) (size 0.9 1) (layers \"F.Cu\" \"F.Paste\" \"F.Mask\"))\n"
    "  (pad \"2\" thru_hole circle (at 0.8 0) (size 1.2 1.2) (drill 0.6) "
    "(layers \"*.Cu\" \"*.Mask\"))\n"
    "  (model \"Old.3dshapes/Old_Part.wrl\" (offset (xyz 0 0 0)) (scale (xyz 1 1 1)))\n"
    ")\n";

const char* const kQfn =
    "(footprint \"QFN\" (layer \"F.Cu\")\n"
    "  (pad \"1\" smd roundrect (at -1.5 0 90) (size 0.8 0.3) (layers \"F.Cu\" \"F.Paste\" "
    "\"F.Mask\") (roundrect_rratio 0.25))\n"
    "  (pad \"9\" smd rect (at 0 0) (size 2.5 2.5) (layers \"F.Cu\" \"F.Mask\"))\n"
    "  (pad \"\" smd roundrect (at 0.6 0.6) (size 1 1) (layers \"F.Paste\"))\n"
    ")\n";

TEST(PipelineTest, OldSyntaxDrawsLikeTheCurrentSyntax) {
  EXPECT_EQ(render_thumbnail_svg(kOldSyntax), render_thumbnail_svg(kNewSyntax));
  EXPECT_EQ(render_full_svg(kOldSyntax), render_full_svg(kNewSyntax));
  // Without normalisation the old arcs would be drawn from unrounded points.
  EXPECT_NE(render_svg(parse_footprint(kOldSyntax)), render_thumbnail_svg(kOldSyntax));
}

TEST(PipelineTest, FullDrawingIsTheThumbnailWithPasteGroupsLast) {
  const char* const texts[] = {kOldSyntax, kNewSyntax, kQfn, "", "not a footprint",
                               "(footprint \"x\" (pad \"1\" smd rect (at 0 0) (size 1 0.5)"};
  for (const char* text : texts) {
    std::string thumb = render_thumbnail_svg(text);
    std::string full = render_full_svg(text);
    PasteOverlay overlay = render_paste_overlay(find_paste_apertures(normalize_kicad_text(text)));
    ASSERT_TRUE(thumb.ends_with("</g></svg>")) << text;
    EXPECT_EQ(full, thumb.substr(0, thumb.size() - 6) + overlay.apertures + overlay.dots + "</svg>")
        << text;
  }
}

TEST(PipelineTest, PasteGroupsOfASmallPad) {
  const std::string text = "(footprint \"x\" (pad \"1\" smd rect (at 0 0) (size 1 0.5) "
                           "(layers \"F.Cu\" \"F.Paste\" \"F.Mask\")))";
  const std::string full = render_full_svg(text);
  EXPECT_TRUE(full.ends_with(
      "<g class=\"tovik-layer-paste-apertures\"><rect x=\"-0.500\" y=\"-0.250\" width=\"1.000\" "
      "height=\"0.500\" rx=\"0.05\" transform=\"rotate(0.00 0.000 0.000)\" fill=\"none\" "
      "stroke=\"#8aa0b8\" stroke-width=\"0.03\" stroke-dasharray=\"0.12 0.08\" opacity=\"0.7\"/>"
      "</g><g class=\"tovik-layer-paste-dots\"><circle cx=\"-0.225\" cy=\"0.000\" r=\"0.150\" "
      "fill=\"#37c8a6\" opacity=\"0.92\"/><circle cx=\"0.225\" cy=\"0.000\" r=\"0.150\" "
      "fill=\"#37c8a6\" opacity=\"0.92\"/></g></svg>"))
      << full;
}

TEST(PipelineTest, QfnExposedPadAndPastePads) {
  // The exposed pad has no paste layer but gets an aperture for its size;
  // the unnumbered paste-only pad is no copper pad but is an aperture.
  const std::string full = render_full_svg(kQfn);
  auto count = [&](const std::string& needle) {
    size_t n = 0;
    for (size_t p = full.find(needle); p != std::string::npos; p = full.find(needle, p + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("data-pad="), 2u);
  EXPECT_EQ(count("stroke-dasharray=\"0.12 0.08\""), 3u);
  EXPECT_EQ(find_paste_apertures(kQfn).size(), 3u);
}

}  // namespace
