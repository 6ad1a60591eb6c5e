// A small XML well-formedness checker for the drawings, used by the tests:
// balanced tags, quoted attributes, no attribute twice, entities only where
// allowed, one root element. It also sums up the document's top-level groups
// so tests can compare them with what the reader found.
#pragma once

#include <cctype>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct SvgGroup {
  std::string cls;        // class attribute of a child of the root
  size_t children = 0;    // its direct child elements
};

struct SvgSummary {
  std::vector<SvgGroup> groups;
  size_t data_pad_count = 0;  // elements carrying data-pad
};

namespace svg_check {

inline bool name_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':'; }
inline bool name_char(char c) {
  return name_start(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.';
}

// "&" must start one of the five predefined entities or a character reference.
inline bool entities_ok(std::string_view s) {
  for (size_t p = s.find('&'); p != std::string_view::npos; p = s.find('&', p + 1)) {
    size_t semi = s.find(';', p);
    if (semi == std::string_view::npos) return false;
    std::string_view e = s.substr(p + 1, semi - p - 1);
    if (e == "amp" || e == "lt" || e == "gt" || e == "quot" || e == "apos") continue;
    if (e.size() >= 2 && e[0] == '#') continue;
    return false;
  }
  return true;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : t_(text) {}

  // The error, or nullopt with `summary` filled.
  std::optional<std::string> run(SvgSummary& summary) {
    std::vector<std::string> stack;
    bool root_done = false;
    while (pos_ < t_.size()) {
      size_t lt = t_.find('<', pos_);
      std::string_view text = t_.substr(pos_, lt == std::string_view::npos ? t_.npos : lt - pos_);
      if (!entities_ok(text)) return fail("bad entity in text");
      if ((stack.empty()) && text.find_first_not_of(" \t\r\n") != std::string_view::npos) {
        return fail("text outside the root element");
      }
      if (lt == std::string_view::npos) break;
      pos_ = lt + 1;
      if (pos_ < t_.size() && t_[pos_] == '/') {
        ++pos_;
        std::string name = read_name();
        if (name.empty() || !expect('>')) return fail("bad end tag");
        if (stack.empty() || stack.back() != name) return fail("unbalanced </" + name + ">");
        stack.pop_back();
        if (stack.empty()) root_done = true;
        continue;
      }
      if (root_done) return fail("second root element");
      std::string name = read_name();
      if (name.empty()) return fail("bad tag name");
      std::vector<std::pair<std::string, std::string>> attrs;
      bool self_closing = false;
      for (;;) {
        size_t before = pos_;
        skip_space();
        if (pos_ >= t_.size()) return fail("unclosed tag <" + name);
        if (t_[pos_] == '>') { ++pos_; break; }
        if (t_[pos_] == '/') {
          ++pos_;
          if (!expect('>')) return fail("bad self-closing tag");
          self_closing = true;
          break;
        }
        if (pos_ == before) return fail("attributes must be separated by space in <" + name);
        std::string attr = read_name();
        if (attr.empty() || !expect('=')) return fail("bad attribute in <" + name);
        if (pos_ >= t_.size() || t_[pos_] != '"') return fail("unquoted attribute " + attr);
        size_t close = t_.find('"', pos_ + 1);
        if (close == std::string_view::npos) return fail("unterminated attribute " + attr);
        std::string_view value = t_.substr(pos_ + 1, close - pos_ - 1);
        if (value.find('<') != std::string_view::npos || !entities_ok(value)) {
          return fail("bad character in attribute " + attr);
        }
        for (const auto& a : attrs) {
          if (a.first == attr) return fail("duplicate attribute " + attr);
        }
        attrs.emplace_back(attr, std::string(value));
        pos_ = close + 1;
      }
      note_element(stack.size(), name, attrs, summary);
      if (!self_closing) stack.push_back(name);
      else if (stack.empty()) root_done = true;
    }
    if (!stack.empty()) return fail("unclosed <" + stack.back() + ">");
    if (!root_done) return fail("no root element");
    return std::nullopt;
  }

 private:
  void note_element(size_t depth, const std::string& name,
                    const std::vector<std::pair<std::string, std::string>>& attrs,
                    SvgSummary& summary) {
    for (const auto& a : attrs) {
      if (a.first == "data-pad") ++summary.data_pad_count;
    }
    if (depth == 1) {
      SvgGroup g;
      for (const auto& a : attrs) {
        if (a.first == "class") g.cls = a.second;
      }
      if (name != "g") g.cls = "<" + name + ">";
      summary.groups.push_back(g);
    } else if (depth == 2 && !summary.groups.empty()) {
      ++summary.groups.back().children;
    }
  }
  std::string read_name() {
    size_t start = pos_;
    if (pos_ < t_.size() && name_start(t_[pos_])) {
      while (pos_ < t_.size() && name_char(t_[pos_])) ++pos_;
    }
    return std::string(t_.substr(start, pos_ - start));
  }
  void skip_space() {
    while (pos_ < t_.size() && std::isspace(static_cast<unsigned char>(t_[pos_]))) ++pos_;
  }
  bool expect(char c) {
    if (pos_ < t_.size() && t_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  std::optional<std::string> fail(const std::string& why) const {
    return why + " at byte " + std::to_string(pos_);
  }

  std::string_view t_;
  size_t pos_ = 0;
};

}  // namespace svg_check

// Checks `svg` and fills `summary`; returns the first fault found.
inline std::optional<std::string> check_svg(std::string_view svg, SvgSummary& summary) {
  return svg_check::Parser(svg).run(summary);
}
