#include "authoring/footprint_info.h"

#include "authoring/unicode_space.h"

namespace {

// Shortens `end` past trailing separators and "." components, keeping a lone
// root separator and a leading ".".
size_t trim_trailing_separators(const std::string& path, size_t end) {
  for (;;) {
    while (end > 1 && path[end - 1] == '/') --end;
    if (end >= 2 && path[end - 1] == '.' && path[end - 2] == '/') {
      --end;
      continue;
    }
    return end;
  }
}

}  // namespace

std::optional<std::string> footprint_name(std::string_view text) {
  constexpr std::string_view kQuoted = "(footprint \"";
  if (size_t at = text.find(kQuoted); at != std::string_view::npos) {
    size_t start = at + kQuoted.size();
    size_t close = text.find('"', start);
    if (close == std::string_view::npos) return std::nullopt;
    return std::string(text.substr(start, close - start));
  }
  constexpr std::string_view kBare = "(footprint ";
  size_t at = text.find(kBare);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = text.substr(at + kBare.size());
  size_t end = 0;
  while (end < rest.size() && rest[end] != '(' && unicode_space_width(rest.substr(end)) == 0) ++end;
  // The word stops at the first blank, so there is nothing left to trim.
  if (end == 0) return std::nullopt;
  return std::string(rest.substr(0, end));
}

size_t count_pads(std::string_view text) {
  constexpr std::string_view kPad = "(pad ";
  size_t count = 0;
  for (size_t at = text.find(kPad); at != std::string_view::npos; at = text.find(kPad, at + kPad.size()))
    ++count;
  return count;
}

std::string input_directory(const std::string& path) {
  size_t end = trim_trailing_separators(path, path.size());
  if (end == 0 || (end == 1 && path[0] == '/')) return ".";
  size_t slash = path.rfind('/', end - 1);
  if (slash == std::string::npos) return "";
  return path.substr(0, trim_trailing_separators(path, slash + 1));
}

std::string join_path(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (directory.back() == '/') return directory + name;
  return directory + "/" + name;
}
