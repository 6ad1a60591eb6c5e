// Reading and editing the reference and value texts of any `.kicad_mod` text,
// and its extent, with a fixed set of regular expressions. These work on
// footprints from any source, not only on those this program wrote; the live
// app server uses them to show and move the texts.
//
// Every operation is a pure function that never fails: what it cannot read it
// skips or reads as 0, an edit that finds nothing returns the text unchanged,
// and no operation writes a number that is not finite. Each runs in time
// linear in the length of the text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "authoring/kicad_writer.h"
#include "base/json.h"

enum class TextKind { kReference, kValue };

// "reference" or "value", the word that follows `(fp_text`.
std::string_view text_kind_word(TextKind kind);

// What a footprint says about one of its texts.
struct TextInfo {
  double x = 0;
  double y = 0;
  double size = 1;
  bool hidden = false;

  bool operator==(const TextInfo&) const = default;
};

// The extent of every `(at X Y) (size W H)` element (pads and the like) and
// every `(start X1 Y1) (end X2 Y2)` element (lines, rectangles), on all layers;
// the fixed box (-2, -2, 2, 2) when there is none. Circles, arcs, polygons and
// texts do not count.
BoundingBox footprint_bounding_box(std::string_view kicad_mod);

// The first text entry of the kind: its position (0 for a number that does
// not read), its size (1 when it has none) and whether the word " hide" stands
// in the entry. Nothing when the footprint has no entry of that kind.
std::optional<TextInfo> text_info(std::string_view kicad_mod, TextKind kind);

// {"reference": ..., "value": ...}, each {"hidden", "size", "x", "y"} or null.
Json texts_info(std::string_view kicad_mod);

// Moves the first entry of the kind to (x, y), dropping whatever else stood in
// its `(at ...)` (a rotation). Numbers are written in shortest form.
std::string set_text_position(std::string_view kicad_mod, TextKind kind, double x, double y);

// Sets the first entry's font size to `size` and its thickness to 0.15 ×
// `size`, both rounded to hundredths.
std::string set_text_size(std::string_view kicad_mod, TextKind kind, double size);
