// Bytes from outside (file names, other programs' output) as UTF-8 text.
#pragma once

#include <string>
#include <string_view>

// `bytes` with every invalid UTF-8 sequence replaced by U+FFFD, one
// replacement per maximal ill-formed part (the usual "lossy" decoding).
// Valid input comes back unchanged.
std::string utf8_lossy(std::string_view bytes);
