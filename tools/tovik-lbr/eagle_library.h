// An EAGLE library (.lbr, the XML form read by EAGLE 6 and later and by
// Fusion 360) holding one part made from one KiCad footprint:
// - a package with the footprint's copper pads (smd pads, through-hole pads
//   with their drills, holes), its outlines on the silkscreen, fabrication,
//   courtyard and copper layers, and the >NAME and >VALUE texts where the
//   footprint has its reference and value texts;
// - a symbol with one pin per pad number, drawn as a box;
// - a device set connecting each pin to the pads of that number.
//
// KiCad's y axis points down and EAGLE's up, so every y is negated; angles
// keep their sense on screen (KiCad and EAGLE both turn counter-clockwise).
// EAGLE's pad shapes are fewer than KiCad's: through-hole pads become round,
// square or long pads whose diameter is the pad's narrower side, and slots
// keep only their narrower width as the drill.
#pragma once

#include <string>

#include "kicad_footprint.h"

// Number of pads that get a pin: copper pads with a non-empty number, pads
// that share a number counting once. A footprint with none cannot make a part.
size_t pin_count(const KicadFootprint& fp);

// The library text; the package, symbol and device set are named `name`
// (blanks replaced by "_").
// REQUIRES: pin_count(fp) > 0
std::string write_eagle_library(const KicadFootprint& fp, const std::string& name);
