#include "authoring/unicode_space.h"

#include <cstdint>

namespace {

bool is_white_space(uint32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

}  // namespace

size_t unicode_space_width(std::string_view text) {
  if (text.empty()) return 0;
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(0);
  if (lead < 0x80) return is_white_space(lead) ? 1 : 0;
  // Every Unicode space beyond ASCII takes two or three bytes.
  if ((lead & 0xE0) == 0xC0 && text.size() >= 2) {
    uint32_t c = ((lead & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
    return is_white_space(c) ? 2 : 0;
  }
  if ((lead & 0xF0) == 0xE0 && text.size() >= 3) {
    uint32_t c = ((lead & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
    return is_white_space(c) ? 3 : 0;
  }
  return 0;
}
