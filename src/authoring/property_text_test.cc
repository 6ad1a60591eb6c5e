#include "authoring/property_text.h"

#include <string>

#include <gtest/gtest.h>

namespace {

// The text of a span, or "-" when there is none.
std::string at(std::string_view text, const std::optional<TokenSpan>& span) {
  return span ? std::string(text.substr(span->begin, span->end - span->begin)) : "-";
}

// x y width height thickness hidden, as one line.
std::string describe(std::string_view text, const std::optional<PropertyText>& p) {
  if (!p) return "none";
  return at(text, p->x) + " " + at(text, p->y) + " " + at(text, p->width) + " " + at(text, p->height) + " " +
         at(text, p->thickness) + (p->hidden ? " hidden" : "");
}

TEST(FindPropertyTextTest, Cases) {
  struct Case {
    std::string text;
    std::string_view name;
    std::string found;
  } cases[] = {
      {"\t(property \"Reference\" \"REF**\"\n\t\t(at 0 -2.3 0)\n\t\t(layer \"F.SilkS\")\n\t\t(effects\n\t\t\t(font\n"
       "\t\t\t\t(size 1 1.2)\n\t\t\t\t(thickness 0.15)\n\t\t\t)\n\t\t)\n\t)\n",
       "Reference", "0 -2.3 1 1.2 0.15"},
      {"(property \"Value\" \"X\" (at 1 2 90) (layer \"F.Fab\") hide (effects (font (size 0.8 0.8) (thickness 0.12))))",
       "Value", "1 2 0.8 0.8 0.12 hidden"},
      {"(property \"Value\" \"X\" (at 1 2) (layer \"F.Fab\") (hide yes))", "Value", "1 2 - - - hidden"},
      {"(property \"Value\" \"X\" (at 1 2) (layer \"F.Fab\") (hide no))", "Value", "1 2 - - -"},
      {"(property \"Value\" \"X\" (at 1 2) (effects (font (size 1 1)) hide))", "Value", "1 2 1 1 - hidden"},
      // Quoted texts are never parts: not a hide word, not a position.
      {"(property \"Value\" \"hide (at 9 9) \\\" (size 5 5)\" (at 1 2))", "Value", "1 2 - - -"},
      {"(property \"Value\" \"a (hide yes)\" (at 1 2))", "Value", "1 2 - - -"},
      // The first property of the name that has a position.
      {"(property \"Value\" \"X\" (layer \"F.Fab\")) (property \"Value\" \"Y\" (at 3 4))", "Value", "3 4 - - -"},
      {"(property \"Values\" \"X\" (at 1 2)) (property \"Value\" \"Y\" (at 3 4))", "Value", "3 4 - - -"},
      {"(propertyx \"Value\" \"X\" (at 1 2))", "Value", "none"},
      {"(property\n\t\"Value\"\t\"X\"\n(at 1 2))", "Value", "1 2 - - -"},
      {"(property \"Reference\" \"R\" (at 1 2))", "Value", "none"},
      // An (at) deeper down is not the property's own.
      {"(property \"Value\" \"X\" (effects (at 1 2)))", "Value", "none"},
      {"(property \"Value\" \"X\" (at 1))", "Value", "none"},
      {"(property \"Value\" \"X\" (at a b) (effects (font (size 1) (size 2 3))))", "Value", "a b 2 3 -"},
      // Never closed: runs to the end of the text.
      {"(property \"Value\" \"X\" (at 1 2) (effects (font (size 1 1)", "Value", "1 2 1 1 -"},
      {"(property \"Value\" \"X\" (at 1 2) \"unterminated", "Value", "1 2 - - -"},
      {"", "Value", "none"},
  };
  for (const Case& c : cases) EXPECT_EQ(describe(c.text, find_property_text(c.text, c.name)), c.found) << c.text;
}

TEST(FindPropertyTextTest, WholeSpan) {
  const std::string text = "(footprint \"X\" (property \"Value\" \"V\" (at 1 2) (effects (font (size 1 1)))) (attr smd))";
  std::optional<PropertyText> p = find_property_text(text, "Value");
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(text.substr(p->whole.begin, p->whole.end - p->whole.begin),
            "(property \"Value\" \"V\" (at 1 2) (effects (font (size 1 1))))");
}

}  // namespace
