// The thirteen attribute patterns of the footprint reader, compiled once per
// process on first use, and the readers of what they capture. The patterns
// are written in Perl syntax with `\d`, `\s` and `\w` in their Unicode sense;
// RE2 gives those escapes their ASCII sense, so each is widened to the
// Unicode class before compiling.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <re2/re2.h>

#include "fp_render/reader.h"

// `perl_pattern` with `\d`, `\s` and `\w` (inside or outside brackets)
// replaced by explicit Unicode classes RE2 understands: decimal digits
// (\p{Nd}), the White_Space property, and the word characters (alphabetic,
// marks, decimal digits, connector punctuation, joiners).
std::string widen_unicode_classes(std::string_view perl_pattern);

const RE2& at_pattern();         // (at X Y [ROT])
const RE2& size_pattern();       // (size W H)
const RE2& drill_pattern();      // (drill D
const RE2& rratio_pattern();     // (roundrect_rratio R)
const RE2& layer_pattern();      // (layer NAME), quoted or not
const RE2& start_end_pattern();  // (start X Y) then directly (end X Y)
const RE2& pad_header_pattern(); // (pad NUMBER KIND SHAPE
const RE2& xy_pattern();         // (xy X Y)
const RE2& start_pattern();      // (start X Y)
const RE2& end_pattern();        // (end X Y)
const RE2& mid_pattern();        // (mid X Y)
const RE2& angle_pattern();      // (angle A)
const RE2& center_pattern();     // (center X Y)

// Capture groups of one search; a group that took no part in the match has
// a null data pointer.
struct PatternMatch {
  static constexpr int kMaxGroups = 5;
  re2::StringPiece groups[kMaxGroups];

  bool took_part(int group) const { return groups[group].data() != nullptr; }
  std::string_view text(int group) const {
    return {groups[group].data(), groups[group].size()};
  }
};

// Searches `text` for the first match of `re` (which has fewer than
// kMaxGroups groups); fills `match` and returns true when there is one.
bool search(const RE2& re, std::string_view text, PatternMatch& match);

// The number captured by `group` of `match`; 0 when it does not read.
double number_at(const PatternMatch& match, int group);

// The point of the first match of `re` (groups 1 and 2), if any.
std::optional<GeoPoint> find_point(const RE2& re, std::string_view element);

// Every match of the `xy` pattern in `element`, in order.
std::vector<GeoPoint> xy_points(std::string_view element);
