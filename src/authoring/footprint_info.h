// Small facts about a footprint that several commands and the server need:
// its name as written in `.kicad_mod` text, how many pads it has, and where
// the outputs of a command go relative to its input.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The footprint's name from `(footprint "NAME"` (the first such keyword), or
// from a bare `(footprint NAME ` word; nothing for the older `(module ...)`
// form, an unterminated quote or an empty bare word. Callers that get nothing
// use the name "footprint".
std::optional<std::string> footprint_name(std::string_view kicad_mod);

// The number of non-overlapping occurrences of "(pad " in the text.
size_t count_pads(std::string_view kicad_mod);

// The directory that holds `path`, in the form the user typed it: "a/b.json"
// gives "a", a bare "b.json" gives "" (so joining keeps outputs relative to
// the working directory), and a path without any parent ("/", "") gives ".".
// Trailing separators and "." components are not components of their own.
std::string input_directory(const std::string& path);

// `directory` joined with `name`: just `name` when the directory is empty,
// no doubled separator when the directory already ends in "/".
std::string join_path(const std::string& directory, const std::string& name);
