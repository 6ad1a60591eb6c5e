// Regular expressions written once, in Perl syntax, whose `\d`, `\s` and `\w`
// (and `\D`, `\S`, `\W`) keep their Unicode meaning: decimal digits (Nd), the
// White_Space property, and the word characters (alphabetic, marks, decimal
// digits, connector punctuation, joiners). RE2 reads those escapes as ASCII
// classes, so a pattern is compiled in one of two forms, chosen by the text
// it runs on:
//  - ASCII text (no byte above 0x7F): the escapes become their ASCII
//    members. On such text this form matches exactly where the Unicode one
//    would, and it compiles in a fraction of the time: the Unicode classes
//    cost each short run of the program milliseconds.
//  - any other text: the escapes become explicit Unicode classes.
// Each form is compiled at most once per process, on the first search that
// needs it; a form no text needs is never compiled, nor is a pattern whose
// leading literal the searched text lacks.
//
// What a pattern may hold: any RE2 syntax except `\b` and `\B` (RE2's word
// boundary is ASCII-only and has no Unicode spelling; write the class test
// instead, e.g. `(?:\W.*?)??`), `\D`, `\S` and `\W` only outside brackets, and
// no byte above 0x7F (write `\x{..}`). A pattern that breaks these rules, or
// does not compile, aborts the program on its first use: patterns are fixed
// text, so that is a programming error, and each module's tests reach every
// pattern it has.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include <re2/re2.h>

// Whether every byte of `text` is below 0x80. One pass, eight bytes a step.
bool is_ascii(std::string_view text);

// `perl` with the class escapes spelled as the ASCII members of their
// Unicode classes (`\d` -> `[0-9]`).
std::string narrow_to_ascii_classes(std::string_view perl);

// `perl` with the class escapes spelled as explicit Unicode classes RE2
// understands (`\d` -> `[\p{Nd}]`).
std::string widen_unicode_classes(std::string_view perl);

class TextPattern {
 public:
  enum Form { kAscii = 0, kUnicode = 1 };

  // The form that `text` needs: kAscii when `is_ascii(text)`.
  static Form form_for(std::string_view text) { return is_ascii(text) ? kAscii : kUnicode; }

  // `perl` must outlive the pattern: a string literal, or text that is
  // never freed. Nothing is compiled here, so a namespace-scope
  // `constinit TextPattern` costs nothing at start-up.
  constexpr explicit TextPattern(std::string_view perl) : perl_(perl) { find_leading_literal(); }
  TextPattern(const TextPattern&) = delete;
  TextPattern& operator=(const TextPattern&) = delete;

  std::string_view perl() const { return perl_; }

  // The literal every match starts with ("(at" for `\(at\s+...`); empty when
  // the pattern starts with anything else, or when a match could depend on
  // what comes before it (`^`, `\A`).
  std::string_view leading_literal() const { return {literal_, literal_size_}; }

  // The program of `form`, compiled on the first call. Thread-safe.
  const RE2& compiled(Form form) const;

  // The first match in `text` that starts at or after `from`, with
  // `ngroups` slots in `groups`: the whole match in groups[0], capture group
  // i in groups[i], a null data pointer for a group that took no part.
  // False when there is none or `from` is past the end. `form` must be
  // `form_for(text)` (or kUnicode). Time linear in the length of `text`.
  bool find(Form form, std::string_view text, size_t from, re2::StringPiece* groups, int ngroups) const {
    int failures_left = kMaxFailedTries;
    return find(form, text, from, groups, ngroups, failures_left);
  }
  bool find(std::string_view text, re2::StringPiece* groups, int ngroups) const {
    return find(form_for(text), text, 0, groups, ngroups);
  }

 private:
  friend class MatchScan;

  static constexpr size_t kMaxLiteral = 24;
  // Up to this length a search tries the places where the leading literal
  // stands, each with an anchored match (see find in the .cc).
  static constexpr size_t kShortText = 4096;
  // Anchored tries that may fail, per search or per scan of one text, before
  // the rest is left to one unanchored search.
  static constexpr int kMaxFailedTries = 16;

  constexpr void find_leading_literal();
  bool find(Form form, std::string_view text, size_t from, re2::StringPiece* groups, int ngroups,
            int& failures_left) const;

  std::string_view perl_;
  char literal_[kMaxLiteral] = {};
  uint8_t literal_size_ = 0;
  // Compiled programs are never freed: patterns live as long as the process
  // and no destructor needs to run at exit.
  mutable std::atomic<const RE2*> compiled_[2] = {nullptr, nullptr};
};

// The successive matches of one pattern in one text, left to right, none
// overlapping: each search starts where the previous match ended (one byte
// further after an empty match). The form is found once, and the whole scan
// takes time linear in the length of the text.
class MatchScan {
 public:
  MatchScan(const TextPattern& pattern, std::string_view text)
      : MatchScan(pattern, TextPattern::form_for(text), text) {}
  MatchScan(const TextPattern& pattern, TextPattern::Form form, std::string_view text)
      : pattern_(pattern), form_(form), text_(text) {}

  // The next match, with `groups` filled as by TextPattern::find (`ngroups`
  // at least 1); false when there is none.
  bool next(re2::StringPiece* groups, int ngroups);

 private:
  const TextPattern& pattern_;
  const TextPattern::Form form_;
  const std::string_view text_;
  size_t from_ = 0;
  int failures_left_ = TextPattern::kMaxFailedTries;
};

// The leading literal: plain characters and escaped punctuation up to the
// first operator. A character made optional or repeated by the quantifier
// after it does not count; an alternation outside every group, or an
// assertion about the text before the match, voids it all.
constexpr void TextPattern::find_leading_literal() {
  auto is_plain = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view(" _-\"',:;/=<>!@%&~#").find(c) != std::string_view::npos;
  };
  auto is_punctuation = [](char c) { return std::string_view("()[]{}.*+?|^$\\/-").find(c) != std::string_view::npos; };
  for (size_t i = 0; literal_size_ < kMaxLiteral && i < perl_.size();) {
    char c = perl_[i];
    size_t width = 1;
    if (c == '\\' && i + 1 < perl_.size() && is_punctuation(perl_[i + 1])) {
      c = perl_[i + 1];
      width = 2;
    } else if (!is_plain(c)) {
      break;
    }
    const char next = i + width < perl_.size() ? perl_[i + width] : '\0';
    if (next == '*' || next == '+' || next == '?' || next == '{') break;
    literal_[literal_size_++] = c;
    i += width;
  }
  int depth = 0;
  bool in_brackets = false;
  for (size_t i = 0; i < perl_.size(); ++i) {
    const char c = perl_[i];
    if (c == '\\') {
      // A search from the literal sees no text before it.
      if (i + 1 < perl_.size() && perl_[i + 1] == 'A') literal_size_ = 0;
      ++i;
    } else if (in_brackets) {
      in_brackets = c != ']';
    } else if (c == '[') {
      in_brackets = true;
      if (i + 1 < perl_.size() && perl_[i + 1] == '^') ++i;
      if (i + 1 < perl_.size() && perl_[i + 1] == ']') ++i;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if ((c == '|' && depth == 0) || c == '^') {
      literal_size_ = 0;
    }
  }
}
