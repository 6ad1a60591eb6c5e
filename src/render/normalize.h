// Rewrites older KiCad footprint syntax into the current one before the
// footprint reader sees it. Files from the KiCad 5 era use a `module`
// element, unquoted texts and model paths, `(at (xyz …))` model offsets,
// centre-and-angle arcs and bare `(width …)` endings; KiCad 9 puts a line break
// after each element keyword. The reader draws old arcs faithfully only once
// they are in the three-point form, and finds only elements whose keyword is
// followed by exactly one space.
#pragma once

#include <string>
#include <string_view>

// Returns `text` with these rewrites applied in order, each to the output of
// the previous one:
//  1. the first "(module " becomes "(footprint ";
//  2. "(model" + whitespace + an unquoted path becomes "(model \"path\"";
//     whitespace before an already quoted path becomes one space;
//  3. every "(at (xyz" becomes "(offset (xyz";
//  4. "(fp_text reference|value|user TEXT " with an unquoted TEXT gets the
//     text quoted;
//  5. an old centre-and-angle arc written in the canonical token order with
//     single spaces becomes a three-point arc (coordinates with four
//     decimals) with a stroke block;
//  6. "(width W))" becomes "(stroke (width W) (type solid)))";
//  7. the whitespace after an element keyword ("(pad", "(fp_line",
//     "(fp_rect", "(fp_poly", "(fp_arc", "(fp_circle", "(fp_text") becomes
//     one space, so elements laid out over several lines, as KiCad 9 writes
//     them, are found like single-line ones.
// An arc whose three points cannot be written as finite numbers is left as
// it was. Never fails; any text in, any text out.
std::string normalize_kicad_text(std::string_view text);
