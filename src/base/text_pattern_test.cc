#include "base/text_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Every match of `re` in `text`, left to right, as (start, length) pairs of
// the whole match and of each group; what RE2's own unanchored search finds.
using Spans = std::vector<std::pair<std::ptrdiff_t, size_t>>;

Spans reference_matches(const RE2& re, std::string_view text) {
  const int n = re.NumberOfCapturingGroups() + 1;
  std::vector<re2::StringPiece> g(n);
  Spans spans;
  size_t pos = 0;
  const re2::StringPiece whole(text.data(), text.size());
  while (pos <= text.size() && re.Match(whole, pos, text.size(), RE2::UNANCHORED, g.data(), n)) {
    for (const re2::StringPiece& p : g) {
      spans.push_back({p.data() ? p.data() - text.data() : -1, p.size()});
    }
    pos = static_cast<size_t>(g[0].data() - text.data()) + std::max<size_t>(g[0].size(), 1);
  }
  return spans;
}

Spans pattern_matches(const TextPattern& pattern, TextPattern::Form form, std::string_view text) {
  const int n = pattern.compiled(form).NumberOfCapturingGroups() + 1;
  std::vector<re2::StringPiece> g(n);
  Spans spans;
  MatchScan scan(pattern, form, text);
  while (scan.next(g.data(), n)) {
    for (const re2::StringPiece& p : g) {
      spans.push_back({p.data() ? p.data() - text.data() : -1, p.size()});
    }
  }
  return spans;
}

std::string first_match(const TextPattern& pattern, std::string_view text) {
  re2::StringPiece g[1];
  if (!pattern.find(text, g, 1)) return "<none>";
  return std::string(g[0].data(), g[0].size());
}

TEST(IsAscii, SeesAHighByteAnywhere) {
  EXPECT_TRUE(is_ascii(""));
  EXPECT_TRUE(is_ascii("(pad \"1\" smd rect\t\n\x7f)"));
  const std::string base(19, 'a');
  for (size_t at = 0; at < base.size(); ++at) {
    std::string text = base;
    text[at] = '\x80';
    EXPECT_FALSE(is_ascii(text)) << "high byte at " << at;
    text[at] = '\xff';
    EXPECT_FALSE(is_ascii(text)) << "0xff at " << at;
  }
}

TEST(TextPattern, ClassSpellings) {
  const struct {
    const char* perl;
    const char* ascii;
    const char* unicode_start;  // the widened form starts with this
  } cases[] = {
      {R"(\d)", "[0-9]", R"([\p{Nd}])"},
      {R"(a[\d.]b)", "a[0-9.]b", R"(a[\p{Nd}.]b)"},
      {R"(\D)", "[^0-9]", R"([^\p{Nd}])"},
      {R"(\s)", R"([\t\n\x0B\f\r ])", R"([\t\n\x{0B}\f\r \x{85}\x{A0})"},
      {R"(\S+)", R"([^\t\n\x0B\f\r ]+)", R"([^\t\n\x{0B}\f\r \x{85})"},
      {R"(\w)", "[0-9A-Za-z_]", R"([\p{L}\p{Nl}\p{M}\p{Nd}\p{Pc})"},
      {R"(\W)", "[^0-9A-Za-z_]", R"([^\p{L}\p{Nl})"},
      // Escaped brackets open no class; a "]" first in a class is a member.
      {R"(\[\d\])", R"(\[[0-9]\])", R"(\[[\p{Nd}]\])"},
      {R"([]\d][^]\s]\d)", R"([]0-9][^]\t\n\x0B\f\r ][0-9])", R"([]\p{Nd}][^]\t\n)"},
      {R"(\(at \\d\p{Lu})", R"(\(at \\d\p{Lu})", R"(\(at \\d\p{Lu})"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(narrow_to_ascii_classes(c.perl), c.ascii) << c.perl;
    EXPECT_TRUE(widen_unicode_classes(c.perl).starts_with(c.unicode_start))
        << c.perl << " -> " << widen_unicode_classes(c.perl);
  }
}

TEST(TextPattern, LeadingLiteral) {
  const struct {
    const char* perl;
    const char* literal;
  } cases[] = {
      {R"(\(at\s+(-?[\d.]+))", "(at"},
      {R"(\(fp_text reference(?:\W.*?)??\(size)", "(fp_text reference"},
      {R"(\(pads?\s)", "(pad"},             // "s" is optional
      {R"(\(model\s+([^\s()\n]+))", "(model"},
      {R"(ab*c)", "a"},
      {R"(ab{2}c)", "a"},
      {R"(ab|cd)", ""},                      // neither side is required
      {R"(ab(?:c|d)e)", "ab"},               // an alternation inside a group is not
      {R"(ab[|]c)", "ab"},
      {R"(a\|b)", "a|b"},
      {R"((?i)abc)", ""},
      {R"(^abc)", ""},
      {R"(\w+)", ""},
      {R"(\((pad|fp_line)\s+)", "("},
      {R"(a(?m:^b))", ""},                  // the text before the match counts
      {R"(ab\Ac)", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextPattern(c.perl).leading_literal(), c.literal) << c.perl;
  }
}

// The ASCII form finds exactly what the Unicode form finds on ASCII text,
// and both find what RE2's plain unanchored search of the Unicode form finds.
TEST(TextPattern, AsciiAndUnicodeFormsAgreeOnAsciiText) {
  const struct {
    const char* perl;
    const char* text;
    const char* first;  // the first match
  } cases[] = {
      {R"(\(at\s+(-?[\d.]+)\s+(-?[\d.]+)(?:\s+(-?[\d.]+))?\))", "(pad 1 (at 1 2) (at\v-3.5\t4 90))",
       "(at 1 2)"},
      {R"re(\(layer\s+"?([^"()\s]+)"?\s*\))re", "(layer\n\"F.Cu\" ) (layer B.Cu)", "(layer\n\"F.Cu\" )"},
      {R"re(\(pad\s+"?([^"\s]+)"?\s+(\w+)\s+(\w+))re", "(pad \"\" smd) (pad \"A1\" thru_hole circle",
       "(pad \"A1\" thru_hole circle"},
      {R"((\w+))", "top_left, bottom-right;x_1", "top_left"},
      {R"(\(fp_text value(?:\W(?s:.)*?)??\(size\s+(-?[\d.]+))",
       "(fp_text values (size 9)) (fp_text value \"V\"\n (size 1.5 1.5)", "(fp_text value \"V\"\n (size 1.5"},
      {R"(\(fp_text value(?:\W(?s:.)*?)??\(size\s+(-?[\d.]+))", "(fp_text value(size 2", "(fp_text value(size 2"},
      {R"(\S+\s\D\W)", "ab\v- 1_ 7 x+", "ab\v- "},
      {R"(\((pad|fp_line|fp_text)\s+)", "(pads (fp_line\t\t(pad\n", "(fp_line\t\t"},
      {R"(x\d)", "x x1 xx2", "x1"},
      {R"(x*)", "axxb", ""},                 // empty matches move the scan on
      {R"(\(xy (\d) (\d)\))", "(pts (xy 1 2)(xy 3 4) (xy 5 x) (xy 6 7))", "(xy 1 2)"},
  };
  for (const auto& c : cases) {
    const TextPattern pattern(c.perl);
    const Spans ascii = pattern_matches(pattern, TextPattern::kAscii, c.text);
    const Spans unicode = pattern_matches(pattern, TextPattern::kUnicode, c.text);
    EXPECT_EQ(ascii, unicode) << c.perl << " on " << c.text;
    EXPECT_EQ(ascii, reference_matches(pattern.compiled(TextPattern::kUnicode), c.text)) << c.perl;
    EXPECT_EQ(first_match(pattern, c.text), c.first) << c.perl;
  }
}

TEST(TextPattern, UnicodeTextGetsUnicodeClasses) {
  const struct {
    const char* perl;
    const char* text;
    const char* first;
  } cases[] = {
      {R"(\(size\s+(\d+))", "(size\xe3\x80\x80\xd9\xa3)", "(size\xe3\x80\x80\xd9\xa3"},  // U+3000, U+0663
      {R"(\(size\s+(\d+))", "(size\xe2\x80\x8b" "1)", "<none>"},                         // U+200B is no space
      {R"(\w+)", "\xc3\xa9t\xc3\xa9 \xe2\x93\x90", "\xc3\xa9t\xc3\xa9"},                  // été, then U+24D0
      {R"(\S+)", "\xc2\xa0\xc3\xa9x\xc2\xa0", "\xc3\xa9x"},                               // U+00A0 around éx
      {R"(a\W)", "a\xc3\xa9 a\xe2\x80\x94", "a\xe2\x80\x94"},                             // é is a word char
      {R"(a\D)", "a\xd9\xa3 a-", "a-"},
  };
  for (const auto& c : cases) {
    const TextPattern pattern(c.perl);
    EXPECT_EQ(first_match(pattern, c.text), c.first) << c.perl << " on " << c.text;
  }
}

// Many places that hold the leading literal without a match, on short and
// long text: the search still finds the first real match, from any start,
// and a scan still finds every match.
TEST(TextPattern, FindFromAnyStartOnShortAndLongText) {
  const TextPattern pattern(R"(\(at (\d+) (\d+)\))");
  for (size_t decoys : {0, 3, 40, 400, 1000}) {
    std::string text;
    for (size_t i = 0; i < decoys; ++i) text += "(at x) ";
    text += "(at 1 2) (at 3 4)";
    for (size_t i = 0; i < decoys; ++i) text += i % 2 ? "(at 5 6) " : "(at y) ";
    EXPECT_EQ(pattern_matches(pattern, TextPattern::kAscii, text),
              reference_matches(pattern.compiled(TextPattern::kUnicode), text))
        << decoys << " decoys";
    const RE2& unicode = pattern.compiled(TextPattern::kUnicode);
    const size_t last = text.rfind("(at");
    for (size_t from : {size_t{0}, text.size() / 2, last, last + 1, text.size()}) {
      for (TextPattern::Form form : {TextPattern::kAscii, TextPattern::kUnicode}) {
        re2::StringPiece got[3], want[3];
        const bool found = pattern.find(form, text, from, got, 3);
        const bool expected = unicode.Match(text, from, text.size(), RE2::UNANCHORED, want, 3);
        ASSERT_EQ(found, expected) << decoys << " decoys, from " << from;
        if (found) {
          EXPECT_EQ(got[0].data(), want[0].data()) << decoys << " decoys, from " << from;
        }
      }
    }
    re2::StringPiece g[1];
    EXPECT_FALSE(pattern.find(TextPattern::kAscii, text, text.size() + 1, g, 1));
  }
}

TEST(TextPattern, AbsentLeadingLiteralIsNeitherCompiledNorRun) {
  // Compiling this pattern would abort (see below); a text without "abc"
  // never gets that far.
  const TextPattern never(R"(abc\b)");
  re2::StringPiece g[1];
  EXPECT_FALSE(never.find("xyz ab", g, 1));
}

TEST(TextPatternDeathTest, PatternsWithoutBothFormsAbortOnFirstUse) {
  const char* bad[] = {R"(ab\b)", R"(a[\S])", R"(a[x\W])", "a\xc3\xa9", R"(a(b)"};
  for (const char* perl : bad) {
    const TextPattern pattern(perl);
    EXPECT_DEATH(pattern.compiled(TextPattern::kAscii), "pattern") << perl;
  }
}

}  // namespace
