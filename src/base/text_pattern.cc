#include "base/text_pattern.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// The members of each class, written to sit inside brackets.
struct ClassSpelling {
  std::string_view digit;
  std::string_view space;
  std::string_view word;
};

// Within ASCII the Unicode classes keep exactly these members. RE2's own
// `\s` lacks the vertical tab, which White_Space has.
constexpr ClassSpelling kAsciiSpelling = {"0-9", R"(\t\n\x0B\f\r )", "0-9A-Za-z_"};

// Alphabetic is the letters, letter numbers and Other_Alphabetic; the latter
// is marks apart from the circled and squared Latin letters listed here.
constexpr ClassSpelling kUnicodeSpelling = {
    R"(\p{Nd})",
    R"(\t\n\x{0B}\f\r \x{85}\x{A0}\x{1680}\x{2000}-\x{200A}\x{2028}\x{2029})"
    R"(\x{202F}\x{205F}\x{3000})",
    R"(\p{L}\p{Nl}\p{M}\p{Nd}\p{Pc}\x{200C}\x{200D}\x{24B6}-\x{24E9})"
    R"(\x{1F130}-\x{1F149}\x{1F150}-\x{1F169}\x{1F170}-\x{1F189})",
};

[[noreturn]] void reject(std::string_view perl, const char* why) {
  std::fprintf(stderr, "pattern %.*s: %s\n", static_cast<int>(perl.size()), perl.data(), why);
  std::abort();
}

std::string_view members_of(char escape, const ClassSpelling& spelling) {
  switch (escape) {
    case 'd': case 'D': return spelling.digit;
    case 's': case 'S': return spelling.space;
    case 'w': case 'W': return spelling.word;
    default: return {};
  }
}

std::string spell_classes(std::string_view perl, const ClassSpelling& spelling) {
  std::string out;
  out.reserve(perl.size() * 2);
  bool in_brackets = false;
  for (size_t i = 0; i < perl.size(); ++i) {
    char c = perl[i];
    if (static_cast<unsigned char>(c) >= 0x80) reject(perl, "a byte above 0x7F; write \\x{..}");
    if (c == '\\' && i + 1 < perl.size()) {
      char escape = perl[++i];
      if (escape == 'b' || escape == 'B') reject(perl, "\\b is ASCII-only in RE2");
      std::string_view members = members_of(escape, spelling);
      bool negated = escape == 'D' || escape == 'S' || escape == 'W';
      if (members.empty()) {
        out += c;
        out += escape;
      } else if (in_brackets) {
        if (negated) reject(perl, "\\D, \\S and \\W have no spelling inside brackets");
        out += members;
      } else {
        out += negated ? "[^" : "[";
        out += members;
        out += ']';
      }
      continue;
    }
    out += c;
    if (in_brackets) {
      in_brackets = c != ']';
    } else if (c == '[') {
      in_brackets = true;
      // A "]" first in the class, after an optional "^", is a member.
      if (i + 1 < perl.size() && perl[i + 1] == '^') out += perl[++i];
      if (i + 1 < perl.size() && perl[i + 1] == ']') out += perl[++i];
    }
  }
  return out;
}

const RE2* compile(std::string_view perl, TextPattern::Form form) {
  RE2::Options options;
  options.set_log_errors(false);
  std::string spelled;
  if (form == TextPattern::kAscii) {
    // Bytes and characters are one on ASCII text, and a byte program is
    // smaller: negated classes need no UTF-8 sequences.
    options.set_encoding(RE2::Options::EncodingLatin1);
    spelled = narrow_to_ascii_classes(perl);
  } else {
    spelled = widen_unicode_classes(perl);
  }
  const RE2* re = new RE2(spelled, options);
  if (!re->ok()) reject(perl, re->error().c_str());
  return re;
}

}  // namespace

bool is_ascii(std::string_view text) {
  // Eight bytes at a time; the OR of all of them shows any high bit.
  uint64_t high = 0;
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    high |= word;
  }
  for (; i < text.size(); ++i) high |= static_cast<unsigned char>(text[i]);
  return (high & 0x8080808080808080u) == 0;
}

std::string narrow_to_ascii_classes(std::string_view perl) {
  return spell_classes(perl, kAsciiSpelling);
}

std::string widen_unicode_classes(std::string_view perl) {
  return spell_classes(perl, kUnicodeSpelling);
}

const RE2& TextPattern::compiled(Form form) const {
  if (const RE2* re = compiled_[form].load(std::memory_order_acquire)) return *re;
  // One lock for every pattern, as compiling is rare. Unlike std::call_once,
  // whose glibc form wakes possible waiters with a system call each time, a
  // mutex nobody waits for costs none.
  static constinit std::mutex compiling;
  std::lock_guard lock(compiling);
  const RE2* re = compiled_[form].load(std::memory_order_relaxed);
  if (re == nullptr) {
    re = compile(perl_, form);
    compiled_[form].store(re, std::memory_order_release);
  }
  return *re;
}

bool TextPattern::find(Form form, std::string_view text, size_t from, re2::StringPiece* groups, int ngroups,
                       int& failures_left) const {
  if (from > text.size()) return false;
  const std::string_view literal = leading_literal();
  size_t at = from;
  if (!literal.empty()) {
    // No match can start before the literal, and a text without it needs
    // no program at all.
    at = text.find(literal, from);
    if (at == std::string_view::npos) return false;
  }
  const RE2& re = compiled(form);
  // An unanchored search that reports where its match lies runs a forward
  // program, then a reverse one that RE2 compiles on first use, then a third
  // pass for the groups. On short text it is cheaper to try each place
  // where the literal stands with a search anchored there: that runs one
  // pass over the text after it, and never needs the reverse program. The
  // tries that fail are few in practice but could each run to the end of the
  // text, so after kMaxFailedTries of them the rest is left to the
  // unanchored search, and the whole stays linear.
  if (!literal.empty() && text.size() <= kShortText) {
    for (; failures_left > 0; --failures_left) {
      // The text from the literal on: RE2 picks its one-pass engine for
      // short texts, and nothing before it can matter (see
      // leading_literal).
      const re2::StringPiece rest(text.data() + at, text.size() - at);
      if (re.Match(rest, 0, rest.size(), RE2::ANCHOR_START, groups, ngroups)) return true;
      at = text.find(literal, at + 1);
      if (at == std::string_view::npos) return false;
    }
  }
  return re.Match(re2::StringPiece(text.data(), text.size()), at, text.size(), RE2::UNANCHORED, groups,
                  ngroups);
}

bool MatchScan::next(re2::StringPiece* groups, int ngroups) {
  if (!pattern_.find(form_, text_, from_, groups, ngroups, failures_left_)) return false;
  const size_t start = static_cast<size_t>(groups[0].data() - text_.data());
  from_ = start + std::max<size_t>(groups[0].size(), 1);
  return true;
}
