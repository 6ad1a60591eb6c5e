// A reader for the S-expression text of KiCad files: lists of atoms, quoted
// strings and lists, read into a tree.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

struct Sexpr {
  bool is_list = false;
  std::string atom;           // the word or the unquoted string, when !is_list
  std::vector<Sexpr> items;   // when is_list

  // The first word of a list ("pad" for (pad ...)), or "".
  const std::string& head() const;
  // The first child list whose head is `name`, or nullptr.
  const Sexpr* find(std::string_view name) const;
  // Every child list whose head is `name`, in order.
  std::vector<const Sexpr*> find_all(std::string_view name) const;
  // True when an atom child equals `word` (as in (layers "F.Cu" ...) or (hide)).
  bool has_atom(std::string_view word) const;
  // The atom at `index` read as a number; nullopt when absent or not a number.
  std::optional<double> number(size_t index) const;
  // The atom at `index`, or "" when absent or a list.
  std::string text(size_t index) const;
};

// Lists may nest this deep; deeper input is refused rather than risking the
// stack on a crafted file.
inline constexpr size_t kMaxSexprDepth = 64;

// Reads exactly one top-level list (whitespace around it is allowed).
// Errors name the byte offset: "unbalanced parenthesis at byte 120".
Result<Sexpr> parse_sexpr(std::string_view text);
