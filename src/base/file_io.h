// Whole-file reading and writing with failures as values. Messages are the
// operating system's alone; callers add "reading {}" / "writing {}" frames.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"

// True when `text` is well-formed UTF-8 (no overlongs, no surrogates).
bool is_valid_utf8(std::string_view text);

// The message every text reader gives for input that is not UTF-8.
inline constexpr std::string_view kNotUtf8 = "stream did not contain valid UTF-8";

// Reads the whole file as UTF-8 text.
Result<std::string> read_text_file(const std::string& path);

// Reads all of standard input as UTF-8 text.
Result<std::string> read_stdin_text();

// Creates `path`, or replaces its contents, with `contents`. On failure the
// file is left empty (or as it was, when it cannot be opened).
Status write_file(const std::string& path, std::string_view contents);

// Replaces `path` as one step: writes a temporary file beside the target and
// renames it over the target, so a failed write leaves the old file whole.
// Keeps the old file's mode and, when `path` is a symbolic link, replaces the
// file it points to rather than the link.
Status replace_file_atomically(const std::string& path, std::string_view contents);
