#include "server/session.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sys/stat.h>
#include <utility>

#include "authoring/footprint_info.h"
#include "authoring/text_ops.h"
#include "base/file_io.h"
#include "base/utf8_lossy.h"
#include "render/pages.h"
#include "render/pipeline.h"
#include "server/part_library.h"
#include "server/state_document.h"

namespace {

constexpr char kOkBody[] = R"({"ok":true})";
constexpr char kNeedCoordinates[] = "need reference.{x,y} and value.{x,y}";
constexpr char kNothingToEdit[] = "no .kicad_mod loaded to edit";
constexpr char kNothingToSave[] = "no file to save (footprint was pushed, not loaded from disk)";

// The member `name` of `value` when `value` is an object and the member a string.
std::optional<std::string> string_member(const Json& value, const char* name) {
  if (!value.is_object()) return std::nullopt;
  auto it = value.find(name);
  if (it == value.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

std::string string_or_empty(const Json& value, const char* name) { return string_member(value, name).value_or(""); }

// The number at value[object][member], if there is one.
std::optional<double> number_at(const Json& value, const char* object, const char* member) {
  if (!value.is_object()) return std::nullopt;
  auto outer = value.find(object);
  if (outer == value.end() || !outer->is_object()) return std::nullopt;
  auto inner = outer->find(member);
  if (inner == outer->end() || !inner->is_number()) return std::nullopt;
  return inner->get<double>();
}

uint64_t pad_count_member(const Json& value) {
  if (!value.is_object()) return 0;
  auto it = value.find("padCount");
  if (it == value.end()) return 0;
  if (it->is_number_unsigned()) return it->get<uint64_t>();
  if (it->is_number_integer() && it->get<int64_t>() >= 0) return static_cast<uint64_t>(it->get<int64_t>());
  return 0;
}

LiveSession session_from_text(std::string text, std::string name, std::string mpn) {
  LiveSession session;
  session.footprintName = std::move(name);
  session.svg = render_full_svg(text);
  session.padCount = count_pads(text);
  session.mpn = std::move(mpn);
  session.kicadMod = std::move(text);
  return session;
}

// Keeps the file's contents before the first save as "{path}.orig"; later
// saves find the copy and leave it alone. Failures only cost the copy.
void keep_original_once(const std::string& path) {
  std::string backup = path + ".orig";
  struct stat info;
  if (lstat(backup.c_str(), &info) == 0) return;
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return;
  (void)write_file(backup, bytes);
}

}  // namespace

std::string part_number_from_path(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().filename().string();
  if (folder == "." || folder == ".." || !is_valid_utf8(folder)) return {};
  return folder;
}

Status preload_session(const std::string& path) {
  Result<std::string> text = read_text_file(path);
  if (!text.ok()) return std::move(text).error().context("reading " + path);
  std::string name = footprint_name(*text).value_or("footprint");
  LiveSession session = session_from_text(std::move(text).value(), std::move(name), part_number_from_path(path));
  set_library_root_override(path);
  source_path_slot().set(path);
  session_slot().set(std::move(session));
  return {};
}

std::optional<LiveSession> session_from_load_body(std::string_view body) {
  Result<Json> parsed = parse_json(body);
  if (!parsed.ok()) return std::nullopt;
  const Json& value = *parsed;
  std::optional<std::string> text = string_member(value, "kicadMod");
  LiveSession session;
  if (text) {
    std::string name = string_member(value, "footprintName")
                           .value_or(footprint_name(*text).value_or("footprint"));
    session = session_from_text(std::move(*text), std::move(name), string_or_empty(value, "mpn"));
  } else {
    session.footprintName = string_or_empty(value, "footprintName");
    session.svg = string_or_empty(value, "svg");
    session.padCount = pad_count_member(value);
    session.mpn = string_or_empty(value, "mpn");
  }
  session.description = string_or_empty(value, "description");
  session.tags = string_or_empty(value, "tags");
  return session;
}

Reply load_session(std::string_view body) {
  // Cleared even when the body is unusable: from now on the footprint shown
  // may not be the file's, so "/save" must refuse until a file is loaded.
  source_path_slot().set(std::nullopt);
  if (std::optional<LiveSession> session = session_from_load_body(body)) session_slot().set(std::move(*session));
  return json_reply(std::string(kOkBody));
}

Reply state_reply() {
  std::string state = session_slot().with([](const std::optional<LiveSession>& session) {
    if (!session) return std::string("{}");
    // The source_path lock nests inside the session lock, the one order allowed.
    bool source_known = source_path_slot().with([](const std::optional<std::string>& p) { return p.has_value(); });
    return state_document_text(*session, source_known);
  });
  return json_reply(std::move(state));
}

// Positions edited in the live app are kept to hundredths (kicad_writer's
// rounding: on the value of v × 100, halves away from zero).
Reply move_texts(std::string_view body) {
  Json value = Json::object();
  if (Result<Json> parsed = parse_json(body); parsed.ok()) value = std::move(parsed).value();
  std::optional<double> rx = number_at(value, "reference", "x");
  std::optional<double> ry = number_at(value, "reference", "y");
  std::optional<double> vx = number_at(value, "value", "x");
  std::optional<double> vy = number_at(value, "value", "y");
  if (!rx || !ry || !vx || !vy) return error_reply(400, kNeedCoordinates);
  std::optional<double> reference_size = number_at(value, "reference", "size");
  std::optional<double> value_size = number_at(value, "value", "size");
  return session_slot().with([&](std::optional<LiveSession>& session) {
    if (!session || session->kicadMod.empty()) return error_reply(422, kNothingToEdit);
    std::string& text = session->kicadMod;
    text = set_text_position(text, TextKind::kReference, round_to_hundredths(*rx), round_to_hundredths(*ry));
    text = set_text_position(text, TextKind::kValue, round_to_hundredths(*vx), round_to_hundredths(*vy));
    if (reference_size) text = set_text_size(text, TextKind::kReference, *reference_size);
    if (value_size) text = set_text_size(text, TextKind::kValue, *value_size);
    return json_reply(Json{{"ok", true}, {"text", texts_info(text)}});
  });
}

Reply save_session() {
  std::optional<std::string> path = source_path_slot().get();
  std::string text = session_slot().with(
      [](const std::optional<LiveSession>& session) { return session ? session->kicadMod : std::string(); });
  if (!path || text.empty()) return error_reply(422, kNothingToSave);
  keep_original_once(*path);
  // Written beside and renamed over the file: a failed save leaves the old
  // footprint whole instead of a truncated one.
  if (Status written = replace_file_atomically(*path, text); !written.ok()) {
    return error_reply(500, written.error().message());
  }
  return json_reply(Json{{"ok", true}, {"path", utf8_lossy(*path)}});
}

Reply embed_reply() {
  // Copied under the lock, rendered after it.
  using TextAndName = std::pair<std::string, std::string>;
  std::optional<TextAndName> footprint =
      session_slot().with([](const std::optional<LiveSession>& session) -> std::optional<TextAndName> {
        if (!session || session->kicadMod.empty()) return std::nullopt;
        return TextAndName{session->kicadMod, session->footprintName};
      });
  if (!footprint) return html_reply(kEmbedNoticePage);
  return html_reply(render_embed_page(footprint->first, footprint->second));
}
