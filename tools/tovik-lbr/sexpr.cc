#include "sexpr.h"

#include <cstdlib>

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

Error error_at(const std::string& what, size_t offset) {
  return Error(what + " at byte " + std::to_string(offset));
}

// Reads the quoted string starting at text[i] == '"'; leaves i after it.
Result<std::string> read_string(std::string_view text, size_t& i) {
  const size_t start = i++;
  std::string s;
  while (i < text.size() && text[i] != '"') {
    char c = text[i++];
    if (c == '\\' && i < text.size()) {
      char e = text[i++];
      s += e == 'n' ? '\n' : e == 't' ? '\t' : e;
    } else {
      s += c;
    }
  }
  if (i >= text.size()) return error_at("unterminated string", start);
  ++i;
  return s;
}

}  // namespace

const std::string& Sexpr::head() const {
  static const std::string kNone;
  return is_list && !items.empty() && !items[0].is_list ? items[0].atom : kNone;
}

const Sexpr* Sexpr::find(std::string_view name) const {
  for (const Sexpr& item : items)
    if (item.head() == name) return &item;
  return nullptr;
}

std::vector<const Sexpr*> Sexpr::find_all(std::string_view name) const {
  std::vector<const Sexpr*> found;
  for (const Sexpr& item : items)
    if (item.head() == name) found.push_back(&item);
  return found;
}

bool Sexpr::has_atom(std::string_view word) const {
  for (const Sexpr& item : items)
    if (!item.is_list && item.atom == word) return true;
  return false;
}

std::optional<double> Sexpr::number(size_t index) const {
  if (index >= items.size() || items[index].is_list || items[index].atom.empty())
    return std::nullopt;
  const std::string& a = items[index].atom;
  char* end = nullptr;
  double v = std::strtod(a.c_str(), &end);
  if (end != a.c_str() + a.size()) return std::nullopt;
  return v;
}

std::string Sexpr::text(size_t index) const {
  return index < items.size() && !items[index].is_list ? items[index].atom : std::string();
}

Result<Sexpr> parse_sexpr(std::string_view text) {
  // An explicit stack of open lists: no recursion, so depth costs no stack.
  std::vector<Sexpr> open;
  std::optional<Sexpr> done;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (is_space(c)) { ++i; continue; }
    if (done) return error_at("text after the end of the expression", i);
    if (c == '(') {
      if (open.size() >= kMaxSexprDepth) return error_at("lists nested too deep", i);
      open.push_back(Sexpr{true, {}, {}});
      ++i;
    } else if (c == ')') {
      if (open.empty()) return error_at("unbalanced parenthesis", i);
      Sexpr closed = std::move(open.back());
      open.pop_back();
      if (open.empty()) done = std::move(closed);
      else open.back().items.push_back(std::move(closed));
      ++i;
    } else {
      if (open.empty()) return error_at("expected (", i);
      Sexpr atom;
      if (c == '"') {
        ASSIGN_OR_RETURN(atom.atom, read_string(text, i));
      } else {
        size_t start = i;
        while (i < text.size() && !is_space(text[i]) && text[i] != '(' && text[i] != ')') ++i;
        atom.atom = std::string(text.substr(start, i - start));
      }
      open.back().items.push_back(std::move(atom));
    }
  }
  if (!open.empty()) return error_at("unbalanced parenthesis", text.size());
  if (!done) return Error("empty input");
  return std::move(*done);
}
