// The KiCad footprint writer and the canonical placement of the reference and
// value texts. The same CreateInput always gives the same bytes, and every
// footprint written here carries exactly the placement that the `placement`
// command reports for its create JSON.
#pragma once

#include <string>

#include "authoring/create_input.h"
#include "base/error.h"
#include "base/json.h"

// A footprint's extent in millimetres; the fixed box (-2, -2, 2, 2) stands for
// an empty footprint.
struct BoundingBox {
  double minx = -2;
  double miny = -2;
  double maxx = 2;
  double maxy = 2;

  bool operator==(const BoundingBox&) const = default;
};

struct PlacedText {
  double x = 0;
  double y = 0;
  double size = 1;
  double rotation = 0;
  std::string anchor = "center";
  std::string layer;  // "F.SilkS" for the reference, "F.Fab" for the value

  bool operator==(const PlacedText&) const = default;
};

// The footprint's extent, each side rounded to hundredths.
struct PlacementBox {
  double top = 0;
  double bottom = 0;
  double left = 0;
  double right = 0;

  bool operator==(const PlacementBox&) const = default;
};

// The `textPlacement` block.
struct TextPlacement {
  std::string units = "mm";
  std::string y_axis = "down";
  std::string origin_relative = "footprint-center";
  PlacedText reference;
  PlacedText value;
  PlacementBox courtyard;

  bool operator==(const TextPlacement&) const = default;
};

// The shortest decimal text that reads back to the same double, never with an
// exponent, without a point for integral values: 1, 0.5, -1.27, "-0",
// 0.30000000000000004, 0.0000001. REQUIRES: value is finite.
std::string format_number(double value);

// value × 100 (× 10) rounded half away from zero, divided back: 0.125 gives
// 0.13, -0.125 gives -0.13, and 1.005 gives 1 (1.005 × 100 < 100.5).
double round_to_hundredths(double value);
double round_to_tenths(double value);

// The extent of courtyard, body and pads (pad rotation ignored), or the fixed
// box when the input has none of them.
BoundingBox create_bounding_box(const CreateInput& input);

// Both texts on x = 0, the reference 1 mm above the extent, the value 1 mm
// below, sized by the extent's larger side (0.5 to 1 in tenths).
TextPlacement compute_text_placement(const CreateInput& input);

// The complete `.kicad_mod` text (file version 20240108), one line feed after
// every line. Texts of the input are inserted unescaped.
// REQUIRES: check_finite_numbers(input) is ok, or the output holds "inf"/"nan".
std::string write_kicad_mod(const CreateInput& input);

// The block as a JSON object with members in the order of their keys and all
// numbers floating point.
Json text_placement_to_json(const TextPlacement& placement);

// Fails when a number of the input, or one that the writer or the placement
// computes from them (extent, offsets, radii, rounded positions), is not
// finite: "the numbers of pad `1` are not all finite", "the corners of body
// are not finite numbers", "the footprint's extent is too large to write".
Status check_finite_numbers(const CreateInput& input);
