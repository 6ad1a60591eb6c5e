#include "server/part_library_unicode.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

namespace {

struct LowerPair {
  uint32_t from, to;
};
struct CodeRange {
  uint32_t first, last;
};

#include "server/part_library_unicode_tables.inc"

constexpr uint32_t kCapitalSigma = 0x3A3;
constexpr uint32_t kSmallSigma = 0x3C3;
constexpr uint32_t kFinalSigma = 0x3C2;
constexpr uint32_t kNotUtf8 = 0xFFFFFFFF;  // marks a byte kept as it is

template <size_t N>
bool in_ranges(const CodeRange (&ranges)[N], uint32_t c) {
  auto it = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                             [](uint32_t v, const CodeRange& r) { return v < r.first; });
  return it != std::begin(ranges) && c <= std::prev(it)->last;
}

uint32_t simple_lower(uint32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  auto it = std::lower_bound(std::begin(kLowerPairs), std::end(kLowerPairs), c,
                             [](const LowerPair& p, uint32_t v) { return p.from < v; });
  return it != std::end(kLowerPairs) && it->from == c ? it->to : c;
}

// Decoded characters; each invalid byte becomes kNotUtf8 with the byte kept.
struct Decoded {
  std::vector<uint32_t> chars;
  std::vector<unsigned char> raw;  // the byte, for kNotUtf8 entries
};

Decoded decode(std::string_view text) {
  Decoded d;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    unsigned char c = *p;
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool ok = len > 0 && static_cast<size_t>(end - p) >= len;
    uint32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (size_t i = 1; ok && i < len; ++i) {
      ok = (p[i] & 0xC0) == 0x80;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (ok) {
      d.chars.push_back(cp);
      d.raw.push_back(0);
      p += len;
    } else {
      d.chars.push_back(kNotUtf8);
      d.raw.push_back(c);
      ++p;
    }
  }
  return d;
}

void append_utf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool is_ignorable(uint32_t c) { return c != kNotUtf8 && in_ranges(kCaseIgnorable, c); }
bool is_cased(uint32_t c) { return c != kNotUtf8 && in_ranges(kCased, c); }

// A capital sigma ends a word when a cased letter comes before it and none
// after it, case-ignorable characters skipped on both sides.
bool is_final_sigma(const std::vector<uint32_t>& chars, size_t i) {
  size_t j = i;
  while (j > 0 && is_ignorable(chars[j - 1])) --j;
  if (j == 0 || !is_cased(chars[j - 1])) return false;
  size_t k = i + 1;
  while (k < chars.size() && is_ignorable(chars[k])) ++k;
  return k == chars.size() || !is_cased(chars[k]);
}

}  // namespace

std::string unicode_lower(std::string_view text) {
  // Part numbers are nearly always ASCII: no decoding needed then.
  if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
    std::string out(text);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
  }
  Decoded d = decode(text);
  std::string out;
  out.reserve(text.size() + 2);
  for (size_t i = 0; i < d.chars.size(); ++i) {
    uint32_t c = d.chars[i];
    if (c == kNotUtf8) {
      out += static_cast<char>(d.raw[i]);
    } else if (c == 0x130) {
      append_utf8(out, 'i');
      append_utf8(out, 0x307);
    } else if (c == kCapitalSigma) {
      append_utf8(out, is_final_sigma(d.chars, i) ? kFinalSigma : kSmallSigma);
    } else {
      append_utf8(out, simple_lower(c));
    }
  }
  return out;
}
