// Pieces of the `create` command that are worth testing on their own.
#pragma once

#include <string>

#include "base/error.h"

// The footprint name becomes a directory and file name, so it must be one
// plain path component: not ".", not "..", without "/" or NUL. Fails with
// "footprintName `{}` is not a plain file name".
Status check_plain_file_name(const std::string& name);

// Creates `directory` and any missing parents; an existing directory is fine,
// and the empty path (the working directory) needs nothing. Fails with the
// operating system's message alone.
Status make_directories(const std::string& directory);
