// Unicode whitespace (the White_Space property) in UTF-8 text.
#pragma once

#include <cstddef>
#include <string_view>

// The byte length of the whitespace character that `text` starts with, or 0
// when it starts with anything else (or is empty).
size_t unicode_space_width(std::string_view text);
