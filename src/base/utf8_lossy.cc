#include "base/utf8_lossy.h"

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// How many bytes starting at `p` form a valid sequence (0 when they do not),
// and in `bad` how many to replace when they do not: the lead byte plus the
// continuation bytes that were still acceptable.
size_t valid_length(const unsigned char* p, const unsigned char* end, size_t& bad) {
  unsigned char c = *p;
  bad = 1;
  if (c < 0x80) return 1;
  size_t len;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  for (size_t i = 1; i < len; ++i) {
    if (p + i >= end) return 0;
    unsigned char min = i == 1 ? lo : 0x80, max = i == 1 ? hi : 0xBF;
    if (p[i] < min || p[i] > max) return 0;
    bad = i + 1;
  }
  return len;
}

}  // namespace

std::string utf8_lossy(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    size_t bad = 1;
    size_t len = valid_length(p, end, bad);
    if (len > 0) {
      text.append(reinterpret_cast<const char*>(p), len);
      p += len;
    } else {
      text += kReplacement;
      p += bad;
    }
  }
  return text;
}
