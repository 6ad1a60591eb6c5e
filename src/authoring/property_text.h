// The reference and value texts of KiCad 7 and later footprints, which are
// properties rather than `fp_text` entries:
//   (property "Reference" "REF**" (at 0 -2.3 0) (layer "F.SilkS") (hide yes)
//     (effects (font (size 1 1) (thickness 0.15))))
// in one-line or multi-line layout (tabs and line breaks between the parts).
// The property is read as S-expression tokens, so its quoted texts never
// count as its parts.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// Where a token stands in the text: [begin, end).
struct TokenSpan {
  size_t begin = 0;
  size_t end = 0;
};

struct PropertyText {
  TokenSpan whole;                     // from "(property" to its closing parenthesis
  TokenSpan x, y;                      // the first two atoms of its (at ...)
  std::optional<TokenSpan> width;      // the first (size W H) inside it
  std::optional<TokenSpan> height;
  std::optional<TokenSpan> thickness;  // the first (thickness T) inside it
  bool hidden = false;                 // a bare `hide` or (hide yes) inside it
};

// The first `(property "NAME" ...)` of the text that has an (at X Y) part;
// nothing when there is none. A property that is never closed runs to the end
// of the text. Linear in the length of the text.
std::optional<PropertyText> find_property_text(std::string_view text, std::string_view name);
