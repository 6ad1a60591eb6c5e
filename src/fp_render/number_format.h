// Fixed-point number text for SVG output.
//
// Every number in the drawings is printed with a fixed count of decimals,
// rounded to nearest with exact ties to even on the binary value, the same
// text as printf("%.*f"): 0.0005 prints "0.001" at three places only because
// its binary value lies above the tie, and negative zero prints "-0.000".
#pragma once

#include <string>
#include <string_view>

// Appends `value` with `decimals` places (0 to 17) to `out`. A NaN or an
// infinity, which no drawing can use, is written as zero so the document
// stays readable.
void append_fixed(std::string& out, double value, int decimals);

// `value` with `decimals` places, as append_fixed writes it.
std::string format_fixed(double value, int decimals);

// Three places: the precision of every SVG coordinate and size.
inline void append_mm(std::string& out, double value) {
  append_fixed(out, value, 3);
}

// Appends the attribute ` name="value"` with the value in three places.
void append_mm_attr(std::string& out, std::string_view name, double value);
