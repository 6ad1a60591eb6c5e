// Full Unicode lower-casing, the key by which the part library sorts its
// part numbers.
#pragma once

#include <string>
#include <string_view>

// `text` (UTF-8) lower-cased character by character with Unicode's full
// mapping: U+0130 becomes "i" plus U+0307, and a capital sigma at the end of
// a word becomes the final sigma. Bytes that are not UTF-8 are kept as they are.
std::string unicode_lower(std::string_view text);
