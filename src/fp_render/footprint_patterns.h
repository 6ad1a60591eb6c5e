// The thirteen attribute patterns of the footprint reader and the readers of
// what they capture. The patterns are written in Perl syntax with `\d`, `\s`
// and `\w` in their Unicode sense (base/text_pattern.h); each is compiled on
// its first search, in the form the searched text needs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_pattern.h"
#include "fp_render/reader.h"

const TextPattern& at_pattern();         // (at X Y [ROT])
const TextPattern& size_pattern();       // (size W H)
const TextPattern& drill_pattern();      // (drill D
const TextPattern& rratio_pattern();     // (roundrect_rratio R)
const TextPattern& layer_pattern();      // (layer NAME), quoted or not
const TextPattern& start_end_pattern();  // (start X Y) then directly (end X Y)
const TextPattern& pad_header_pattern(); // (pad NUMBER KIND SHAPE
const TextPattern& xy_pattern();         // (xy X Y)
const TextPattern& start_pattern();      // (start X Y)
const TextPattern& end_pattern();        // (end X Y)
const TextPattern& mid_pattern();        // (mid X Y)
const TextPattern& angle_pattern();      // (angle A)
const TextPattern& center_pattern();     // (center X Y)

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

// Searches `text` for the first match of `pattern` (which has fewer than
// kMaxGroups groups); fills `match` and returns true when there is one.
bool search(const TextPattern& pattern, std::string_view text, PatternMatch& match);

// The number captured by `group` of `match`; 0 when it does not read.
double number_at(const PatternMatch& match, int group);

// The point of the first match of `pattern` (groups 1 and 2), if any.
std::optional<GeoPoint> find_point(const TextPattern& pattern, std::string_view element);

// Every match of the `xy` pattern in `element`, in order.
std::vector<GeoPoint> xy_points(std::string_view element);
