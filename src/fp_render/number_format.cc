#include "fp_render/number_format.h"

#include <charconv>
#include <cmath>

void append_fixed(std::string& out, double value, int decimals) {
  if (!std::isfinite(value)) value = 0.0;
  // The largest double has 309 integral digits; 17 places, a sign and a
  // point fit easily.
  char buffer[352];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                              std::chars_format::fixed, decimals);
  out.append(buffer, result.ptr);
}

std::string format_fixed(double value, int decimals) {
  std::string out;
  append_fixed(out, value, decimals);
  return out;
}

void append_mm_attr(std::string& out, std::string_view name, double value) {
  out += ' ';
  out += name;
  out += "=\"";
  append_mm(out, value);
  out += '"';
}
