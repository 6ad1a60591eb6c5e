#include "server/part_library.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <numeric>
#include <sstream>

#include "authoring/footprint_info.h"
#include "base/file_io.h"
#include "base/utf8_lossy.h"
#include "render/pipeline.h"
#include "server/live_state.h"
#include "server/part_library_unicode.h"

namespace {

namespace fs = std::filesystem;

Slot<std::optional<fs::path>>& override_slot() {
  static Slot<std::optional<fs::path>> slot;
  return slot;
}

bool is_regular_file_at(const fs::path& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// The footprint source of the part folder `folder` (relative to the
// directory `at_fd`, or to the working directory for AT_FDCWD): the name of
// the chosen file inside it. Working relative to an open directory keeps
// the listing's thousands of look-ups short.
std::optional<std::string> source_name_at(int at_fd, const std::string& folder,
                                          const std::string& mpn) {
  for (const char* variant : {".kicad_mod", ".fusion.kicad_mod", ".altium.kicad_mod",
                              ".manufacturer.kicad_mod"}) {
    std::string name = mpn + variant;
    struct stat st;
    if (fstatat(at_fd, (folder + "/" + name).c_str(), &st, 0) == 0 && S_ISREG(st.st_mode))
      return name;
  }
  int fd = openat(at_fd, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  DirHandle dir(fdopendir(fd));
  if (!dir) {
    close(fd);
    return std::nullopt;
  }
  constexpr std::string_view kExtension = ".kicad_mod";
  while (const dirent* entry = readdir(dir.get())) {
    std::string_view name = entry->d_name;
    // A name that is only ".kicad_mod" has no stem and does not count.
    if (name.size() > kExtension.size() && name.ends_with(kExtension)) return std::string(name);
  }
  return std::nullopt;
}

// The part number of the loaded footprint, "" when none is loaded.
std::string loaded_part_number() {
  return session_slot().with(
      [](const std::optional<LiveSession>& s) { return s ? s->mpn : std::string(); });
}

// A path split the way path parents are taken: no empty or "." parts after
// the first, and a leading "/" as a part of its own.
std::vector<std::string> path_parts(const std::string& path) {
  std::vector<std::string> parts;
  if (!path.empty() && path[0] == '/') parts.push_back("/");
  std::istringstream in(path);
  for (std::string part; std::getline(in, part, '/');) {
    if (part.empty() || (part == "." && !parts.empty())) continue;
    parts.push_back(part);
  }
  return parts;
}

// Drops the last part; false when there is no parent (no parts, or only "/").
bool to_parent(std::vector<std::string>& parts) {
  if (parts.empty() || (parts.size() == 1 && parts[0] == "/")) return false;
  parts.pop_back();
  return true;
}

Result<std::string> read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error("cannot open " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return Error("cannot read " + path.string());
  return std::move(bytes).str();
}

// The JSON value of a metadata file; null when it is missing, unreadable,
// not UTF-8 or not JSON.
Json read_json_file(const fs::path& path) {
  Result<std::string> text = read_text_file(path.native());
  if (!text.ok()) return nullptr;
  Result<Json> value = parse_json(*text);
  return value.ok() ? std::move(*value) : Json(nullptr);
}

Json member(const Json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() ? Json(nullptr) : *it;
}

Json first_present(Json preferred, Json fallback) {
  return preferred.is_null() ? std::move(fallback) : std::move(preferred);
}

}  // namespace

// --- Finding the library ------------------------------------------------------

std::optional<fs::path> library_override_for(const std::string& footprint_path) {
  std::vector<std::string> parts = path_parts(footprint_path);
  if (!to_parent(parts) || !to_parent(parts)) return std::nullopt;
  // The bare relative case leaves nothing: that is the working directory.
  if (parts.empty()) return fs::path(".");
  fs::path root;
  for (const std::string& part : parts) root /= part;
  return root;
}

void set_library_root_override(const std::string& footprint_path) {
  override_slot().set(library_override_for(footprint_path));
}

void clear_library_root_override() { override_slot().set(std::nullopt); }

std::vector<fs::path> library_candidates(const char* home) {
  return {std::string(home ? home : "") + "/project/partloom/library", "partloom/library",
          "/home/tovik/project/partloom/library"};
}

std::optional<fs::path> library_root() {
  if (std::optional<fs::path> forced = override_slot().get()) return forced;
  for (const fs::path& candidate : library_candidates(std::getenv("HOME"))) {
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return candidate;
  }
  return std::nullopt;
}

fs::path projects_file(const char* home) {
  return fs::path(home ? home : "") / ".config/tovik-partloom/projects.json";
}

// --- Parts -----------------------------------------------------------------------

bool is_safe_part_number(std::string_view mpn) {
  return !mpn.empty() && mpn != "." && mpn.find_first_of(std::string_view("/\\\0", 3)) ==
                                           std::string_view::npos &&
         mpn.find("..") == std::string_view::npos;
}

std::optional<fs::path> pick_footprint_source(const fs::path& folder, const std::string& mpn) {
  std::optional<std::string> name =
      source_name_at(AT_FDCWD, folder.empty() ? "." : folder.native(), mpn);
  if (!name) return std::nullopt;
  return folder / *name;
}

std::vector<ChipEntry> list_chips(const fs::path& root, const std::string& current_mpn) {
  std::vector<ChipEntry> chips;
  DirHandle dir(opendir(root.c_str()));
  if (!dir) return chips;
  const int dir_fd = dirfd(dir.get());
  while (const dirent* entry = readdir(dir.get())) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool is_dir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat st;
      is_dir = fstatat(dir_fd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    if (!is_dir) continue;
    std::string mpn = utf8_lossy(name);
    if (!source_name_at(dir_fd, entry->d_name, mpn)) continue;
    bool current = mpn == current_mpn;
    chips.push_back({std::move(mpn), current});
  }

  std::vector<std::string> keys;
  keys.reserve(chips.size());
  for (const ChipEntry& c : chips) keys.push_back(unicode_lower(c.mpn));
  std::vector<size_t> order(chips.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
  std::vector<ChipEntry> sorted;
  sorted.reserve(chips.size());
  for (size_t i : order) sorted.push_back(std::move(chips[i]));
  return sorted;
}

Json chip_metadata_in(const fs::path& root, const std::string& mpn) {
  if (!is_safe_part_number(mpn)) return nullptr;
  const fs::path folder = root / mpn;
  const Json extracted = read_json_file(folder / (mpn + "-footprint.extracted.json"));
  const Json info = read_json_file(folder / "info.json");
  const bool has3d = is_regular_file_at(folder / (mpn + "-3d-iso-named.png")) ||
                     is_regular_file_at(folder / (mpn + "-3d-iso.png"));
  return {
      {"bodyDimensions", member(extracted, "bodyDimensions")},
      {"datasheet", member(info, "datasheet_url")},
      {"description",
       first_present(member(extracted, "description"), member(info, "description"))},
      {"family", member(info, "family")},
      {"has3d", has3d},
      {"manufacturer",
       first_present(member(extracted, "manufacturer"), member(info, "manufacturer"))},
      {"mpn", mpn},
      {"package", member(extracted, "package")},
      {"padCount", member(extracted, "padCount")},
  };
}

Json chip_metadata(const std::string& mpn) {
  if (mpn.empty()) return nullptr;
  std::optional<fs::path> root = library_root();
  if (!root) return nullptr;
  return chip_metadata_in(*root, mpn);
}

// --- Routes ----------------------------------------------------------------------

Reply chips_reply() {
  std::vector<ChipEntry> chips;
  if (std::optional<fs::path> root = library_root()) chips = list_chips(*root, loaded_part_number());
  Json list = Json::array();
  for (ChipEntry& c : chips) list.push_back({{"current", c.current}, {"mpn", std::move(c.mpn)}});
  return json_reply(Json{{"chips", std::move(list)}, {"current", loaded_part_number()}});
}

Reply projects_reply() {
  Result<std::string> text = read_text_file(projects_file(std::getenv("HOME")).native());
  return json_reply(text.ok() ? std::move(*text) : std::string(kNoProjectsBody));
}

Reply chip3d_reply() {
  std::optional<fs::path> root = library_root();
  if (!root) return not_found_reply();
  const std::string mpn = loaded_part_number();
  if (!is_safe_part_number(mpn)) return not_found_reply();
  for (const char* suffix : {"-3d-iso-named.png", "-3d-iso.png", "-3d-iso-lg.png"}) {
    Result<std::string> image = read_bytes(*root / mpn / (mpn + suffix));
    if (image.ok()) return Reply{200, kPngType, std::move(*image)};
  }
  return not_found_reply();
}

Reply load_chip_reply(std::string_view body) {
  Result<Json> request = parse_json(body);
  const Json mpn_value = request.ok() ? member(*request, "mpn") : Json(nullptr);
  if (!mpn_value.is_string() || mpn_value.get_ref<const std::string&>().empty())
    return error_reply(400, "mpn required");
  const std::string mpn = mpn_value.get<std::string>();

  const Reply not_found = error_reply(404, "chip not found in library");
  if (!is_safe_part_number(mpn)) return not_found;
  std::optional<fs::path> root = library_root();
  if (!root) return not_found;
  std::optional<fs::path> source = pick_footprint_source(*root / mpn, mpn);
  if (!source) return not_found;
  Result<std::string> text = read_text_file(source->native());
  if (!text.ok()) return not_found;

  LiveSession session;
  session.footprintName = footprint_name(*text).value_or(mpn);
  session.svg = render_full_svg(*text);
  session.padCount = count_pads(*text);
  session.mpn = mpn;
  session.kicadMod = std::move(*text);
  // The source first, then the session in one step: a state request sees
  // either the old part or the new one.
  source_path_slot().set(source->native());
  session_slot().set(std::move(session));
  return json_reply(Json{{"mpn", mpn}, {"ok", true}});
}
