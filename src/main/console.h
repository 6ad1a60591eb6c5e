// Writing result lines: commands print through these, so that output goes out
// unbuffered by iostreams and in one piece.
#pragma once

#include <string_view>

void write_stdout(std::string_view text);
void write_stderr(std::string_view text);
