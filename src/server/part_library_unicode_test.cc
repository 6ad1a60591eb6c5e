#include "server/part_library_unicode.h"

#include <gtest/gtest.h>

namespace {

TEST(UnicodeLower, FullMapping) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"LM358-N/NOPB", "lm358-n/nopb"},
      {"\xC3\x80\xC3\x89\xC3\x8E", "\xC3\xA0\xC3\xA9\xC3\xAE"},              // ÀÉÎ
      {"\xD0\x94\xD0\x96", "\xD0\xB4\xD0\xB6"},                              // ДЖ
      {"\xE2\x84\xA6\xE2\x84\xAA", "\xCF\x89k"},                             // Ohm, Kelvin signs
      {"\xE1\xBA\x9E", "\xC3\x9F"},                                          // capital sharp s
      {"\xEF\xBC\xA1", "\xEF\xBD\x81"},                                      // fullwidth A
      {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8"},                              // Deseret, 4 bytes
      {"\xC4\xB0X", "i\xCC\x87x"},                                           // İ: two characters
      {"\xCE\x91\xCE\xA3", "\xCE\xB1\xCF\x82"},                              // ΑΣ: final sigma
      {"\xCE\x91\xCE\xA3 \xCE\xA3", "\xCE\xB1\xCF\x82 \xCF\x83"},            // alone: not final
      {"\xCE\x91\xCE\xA3\xCE\x91", "\xCE\xB1\xCF\x83\xCE\xB1"},              // inside a word
      {"\xCE\x91'\xCE\xA3'", "\xCE\xB1'\xCF\x82'"},                          // ignorables skipped
      {"\xCE\x91\xCE\xA3'\xCE\x91", "\xCE\xB1\xCF\x83'\xCE\xB1"},
      {"1\xCE\xA3", "1\xCF\x83"},                                            // digits are not cased
      {"A\xFF" "B", "a\xFF" "b"},                                            // stray bytes kept
  };
  for (const Case& c : cases) EXPECT_EQ(unicode_lower(c.in), c.out) << c.in;
}

}  // namespace
