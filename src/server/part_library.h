// The part library: a folder kept by partloom with one sub-folder per part,
// named by the part's manufacturer part number (MPN), holding its KiCad
// footprint in one or more variants, the datasheet extraction, "info.json"
// and rendered 3D images. This module finds the folder, lists and loads its
// parts, builds the chip metadata of the state document and answers the
// library routes. It only reads the library.
//
// Locks: the routes take the session lock only to copy or replace the
// session, never while reading files. `chip_metadata` takes the root
// override's lock and may be called with the session lock held (the order
// is always session first).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/json.h"
#include "server/reply.h"

// The body "/api/projects" sends when the projects file cannot be read.
inline constexpr char kNoProjectsBody[] = R"({"projects":{}})";

// --- Finding the library ------------------------------------------------------

// Points the library at the folder that holds the footprint file's own folder
// (`serve --file <root>/<mpn>/<mpn>.kicad_mod` browses <root>) for the rest of
// the process. A path without such a folder ("x.kicad_mod", "/x.kicad_mod")
// leaves the override unset; a relative path with a single folder
// ("ABC/ABC.kicad_mod") sets it to the working directory.
void set_library_root_override(const std::string& footprint_path);

// Forgets the override (for tests).
void clear_library_root_override();

// The override `set_library_root_override` derives from a path.
std::optional<std::filesystem::path> library_override_for(const std::string& footprint_path);

// The folders tried in order when there is no override: "{home}/project/
// partloom/library" (home = $HOME, "" when unset), "partloom/library" and
// "/home/tovik/project/partloom/library".
std::vector<std::filesystem::path> library_candidates(const char* home);

// The library folder for this request: the override when set, else the first
// candidate that is an existing directory (links followed), else nothing.
// Not cached: a library created while the server runs shows up at once.
std::optional<std::filesystem::path> library_root();

// "{home}/.config/tovik-partloom/projects.json", relative to the working
// directory when HOME is unset.
std::filesystem::path projects_file(const char* home);

// --- Parts -----------------------------------------------------------------------

// Whether `mpn` can name a part folder: not empty, not "." and free of "/",
// "\\", ".." and NUL. Part numbers from requests and sessions are checked
// before they are joined to the root, so nothing outside the library is read.
bool is_safe_part_number(std::string_view mpn);

// The footprint file to load from `folder` for `mpn`: the first regular file
// of "{mpn}.kicad_mod", "{mpn}.fusion.kicad_mod", "{mpn}.altium.kicad_mod",
// "{mpn}.manufacturer.kicad_mod"; else the first entry in directory order
// named "<something>.kicad_mod"; else nothing (also when unreadable).
std::optional<std::filesystem::path> pick_footprint_source(const std::filesystem::path& folder,
                                                           const std::string& mpn);

struct ChipEntry {
  std::string mpn;  // the folder name (invalid UTF-8 replaced)
  bool current = false;

  bool operator==(const ChipEntry&) const = default;
};

// The part folders of `root` that hold a footprint source, sorted by their
// lower-cased names (full Unicode lower-casing, byte order, stable), each
// marked current when its name equals `current_mpn`. Unreadable roots and
// entries are skipped.
std::vector<ChipEntry> list_chips(const std::filesystem::path& root,
                                  const std::string& current_mpn);

// The `chip` member of the state document for the loaded part `mpn`: null
// without a library or with an empty (or unsafe) part number, else the object
// of mpn, manufacturer, package, bodyDimensions, padCount, family,
// description, datasheet and has3d taken from the part's extraction and
// "info.json" (unreadable or invalid files give null members).
Json chip_metadata(const std::string& mpn);
Json chip_metadata_in(const std::filesystem::path& root, const std::string& mpn);

// --- Routes ----------------------------------------------------------------------

// GET "/api/chips": {"chips":[{"current":..,"mpn":..},...],"current":<loaded mpn>}.
Reply chips_reply();

// GET "/api/projects": the projects file's text as it is, or kNoProjectsBody.
Reply projects_reply();

// GET "/api/chip3d": the loaded part's 3D image ("{mpn}-3d-iso-named.png",
// "-3d-iso.png" or "-3d-iso-lg.png", the first readable) as "image/png";
// 404 without a library, a loaded part or an image.
Reply chip3d_reply();

// POST "/load-chip" with {"mpn": <part number>}: loads the part's footprint
// as the session and its file as the source path. 400 "mpn required" for a
// missing, empty or non-string mpn or a body that is not JSON; 404 "chip not
// found in library" for everything else that fails, the previous session
// then staying loaded.
Reply load_chip_reply(std::string_view body);
