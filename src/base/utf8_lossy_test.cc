#include "base/utf8_lossy.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8Lossy, ReplacesEachMaximalIllFormedPart) {
  const std::string r = "\xEF\xBF\xBD";
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"plain ASCII", "plain ASCII"},
      {"QFN \xE2\x80\x94 \xF0\x9F\x98\x80", "QFN \xE2\x80\x94 \xF0\x9F\x98\x80"},
      {"a\xFF" "b", "a" + r + "b"},
      {"\xC0\xAF", r + r},                        // overlong lead byte: each byte alone
      {"\xE2\x80" "x", r + "x"},                  // truncated sequence: one replacement
      {"\xED\xA0\x80", r + r + r},                // surrogate: not a valid prefix
      {"\xF0\x9F\x98", r},                        // cut off at the end
      {"\xF4\x90\x80\x80", r + r + r + r},        // beyond U+10FFFF
      {"\x80\x80", r + r},                        // stray continuation bytes
  };
  for (const Case& c : cases) EXPECT_EQ(utf8_lossy(c.in), c.out) << c.in;
}

}  // namespace
