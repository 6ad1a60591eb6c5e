#include "authoring/property_text.h"

#include <cstdint>
#include <vector>

#include "authoring/unicode_space.h"

namespace {

bool is_delimiter(char c) { return c == '(' || c == ')' || c == '"'; }

// Where the quoted string starting at `at` ends (after its closing quote, or
// the end of the text); backslashes escape the next character.
size_t skip_string(std::string_view text, size_t at) {
  for (size_t i = at + 1; i < text.size(); ++i) {
    if (text[i] == '\\') ++i;
    else if (text[i] == '"') return i + 1;
  }
  return text.size();
}

size_t skip_space(std::string_view text, size_t at) {
  while (at < text.size()) {
    size_t width = unicode_space_width(text.substr(at));
    if (width == 0) break;
    at += width;
  }
  return at;
}

size_t atom_end(std::string_view text, size_t at) {
  while (at < text.size() && !is_delimiter(text[at]) && unicode_space_width(text.substr(at)) == 0) ++at;
  return at;
}

// True when "(property" at `at` is followed by blanks and the quoted NAME.
bool names(std::string_view text, size_t at, std::string_view name) {
  const size_t after = at + std::string_view("(property").size();
  const size_t quote = skip_space(text, after);
  if (quote == after) return false;  // "(propertyx"
  const std::string_view rest = text.substr(quote);
  return rest.size() >= name.size() + 2 && rest[0] == '"' && rest.substr(1, name.size()) == name &&
         rest[name.size() + 1] == '"';
}

// One list being read: which head it has (the ones that matter here) and how
// many atoms followed the head. Two bytes, as crafted text can open a list at
// nearly every byte.
enum class Head : uint8_t { kNone, kAt, kSize, kThickness, kHide, kOther };

struct OpenList {
  Head head = Head::kNone;
  uint8_t atoms = 0;  // saturates; only the first two count
};

Head head_of(std::string_view atom) {
  if (atom == "at") return Head::kAt;
  if (atom == "size") return Head::kSize;
  if (atom == "thickness") return Head::kThickness;
  if (atom == "hide") return Head::kHide;
  return Head::kOther;
}

// Reads the property that starts at `start` token by token. Its extent is
// set even when it has no position, so the caller can skip past it.
std::optional<PropertyText> scan_property(std::string_view text, size_t start, size_t& end) {
  PropertyText p;
  p.whole.begin = start;
  bool have_at = false;
  std::vector<OpenList> open;
  size_t i = start;
  while (i < text.size()) {
    char c = text[i];
    if (c == '(') {
      open.push_back({});
      ++i;
    } else if (c == ')') {
      open.pop_back();
      ++i;
      if (open.empty()) break;
    } else if (c == '"') {
      i = skip_string(text, i);
      if (!open.empty() && open.back().atoms < 255) ++open.back().atoms;
    } else if (size_t width = unicode_space_width(text.substr(i))) {
      i += width;
    } else {
      const size_t stop = atom_end(text, i);
      std::string_view atom = text.substr(i, stop - i);
      TokenSpan span{i, stop};
      i = stop;
      OpenList& list = open.back();
      if (list.head == Head::kNone) {
        list.head = head_of(atom);
        continue;
      }
      if (list.atoms < 255) ++list.atoms;
      if (atom == "hide" && list.head != Head::kHide) p.hidden = true;
      if (list.head == Head::kHide && list.atoms == 1 && atom == "yes") p.hidden = true;
      if (list.head == Head::kAt && open.size() == 2 && !have_at) {
        if (list.atoms == 1) p.x = span;
        if (list.atoms == 2) {
          p.y = span;
          have_at = true;
        }
      }
      // Width and height come from the same list: the first one with both.
      if (list.head == Head::kSize && open.size() >= 2 && !p.height) {
        if (list.atoms == 1) p.width = span;
        if (list.atoms == 2) p.height = span;
      }
      if (list.head == Head::kThickness && list.atoms == 1 && !p.thickness) p.thickness = span;
    }
  }
  p.whole.end = end = i;
  if (!have_at) return std::nullopt;
  if (!p.height) p.width.reset();
  return p;
}

}  // namespace

std::optional<PropertyText> find_property_text(std::string_view text, std::string_view name) {
  constexpr std::string_view kOpen = "(property";
  for (size_t at = text.find(kOpen); at != std::string_view::npos;) {
    size_t next = at + 1;
    if (names(text, at, name)) {
      if (std::optional<PropertyText> property = scan_property(text, at, next)) return property;
    }
    // Past a property without a position: every byte is scanned once.
    at = text.find(kOpen, next);
  }
  return std::nullopt;
}
