// Reads and draws every real footprint at hand: the KiCad 6 library of the
// Debian package kicad-footprints and the sample corpus beside the checkout.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include <gtest/gtest.h>

#include "base/file_io.h"
#include "fp_render/reader.h"
#include "fp_render/svg_renderer.h"
#include "fp_render/thermal_vias.h"

namespace {

namespace fs = std::filesystem;

size_t count(const std::string& text, std::string_view needle) {
  size_t n = 0;
  for (size_t p = text.find(needle); p != std::string::npos;
       p = text.find(needle, p + needle.size())) {
    ++n;
  }
  return n;
}

struct Tally {
  size_t files = 0;
  size_t pads = 0;
  size_t drawings_in_custom_pads = 0;  // "(gr_" inside numbered custom pads
  size_t primitives = 0;
  int widest_via_grid = 0;  // vias along the longer side of any heat-sink pad
};

void check_footprint(const fs::path& path, Tally& tally) {
  Result<std::string> text = read_text_file(path.string());
  ASSERT_TRUE(text.ok()) << text.error().message();
  FootprintGeometry g = parse_footprint(*text);
  std::string svg = render_svg(g);
  ++tally.files;
  tally.pads += g.pads.size();
  EXPECT_EQ(count(svg, " data-pad=\""), g.pads.size()) << path;
  size_t at = 0;
  for (std::string_view name : {"courtyard", "fab", "copper", "heatsink",
                                "drill", "silk", "padnum"}) {
    size_t found = svg.find("<g class=\"tovik-layer-" + std::string(name) + "\">");
    EXPECT_TRUE(found != std::string::npos && found >= at) << path << " " << name;
    at = found;
  }
  EXPECT_TRUE(svg.ends_with("</g></svg>")) << path;
  for (std::string_view element : find_elements(*text, "pad")) {
    if (element.find(" custom") == std::string_view::npos ||
        element.starts_with("(pad \"\"")) {
      continue;
    }
    tally.drawings_in_custom_pads += count(std::string(element), "(gr_");
  }
  for (const GeoPad& pad : g.pads) {
    tally.primitives += pad.primitives.size();
    if (!is_heatsink_pad(pad)) continue;
    tally.widest_via_grid = std::max(
        {tally.widest_via_grid, via_count(pad.width), via_count(pad.height)});
  }
}

Tally check_folder(const fs::path& folder) {
  Tally tally;
  for (const fs::directory_entry& entry :
       fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path().extension() == ".kicad_mod") {
      check_footprint(entry.path(), tally);
    }
  }
  return tally;
}

TEST(Corpus, KiCadLibrary) {
  fs::path folder = "/usr/share/kicad/footprints";
  if (!fs::is_directory(folder)) GTEST_SKIP() << folder << " is missing";
  Tally tally = check_folder(folder);
  EXPECT_GT(tally.files, 1000u);
  EXPECT_GT(tally.primitives, 0u);
  EXPECT_EQ(tally.primitives, tally.drawings_in_custom_pads);
  EXPECT_GT(tally.pads, tally.files);
  // The via bound only guards against absurd sizes: no real pad comes near.
  EXPECT_LT(tally.widest_via_grid, kMaxViasPerSide / 4);
  std::cout << tally.files << " files, " << tally.pads << " pads, "
            << tally.primitives << " custom pad drawings, widest via grid "
            << tally.widest_via_grid << "\n";
}

TEST(Corpus, SampleFootprints) {
  const char* source = std::getenv("TOVIK_SOURCE_DIR");
  if (source == nullptr) GTEST_SKIP() << "TOVIK_SOURCE_DIR is not set";
  fs::path folder = fs::path(source) / ".." / "shared" / "corpus";
  if (!fs::is_directory(folder)) GTEST_SKIP() << folder << " is missing";
  Tally tally = check_folder(folder);
  EXPECT_GT(tally.files, 400u);
  EXPECT_GT(tally.primitives, 0u);
  EXPECT_EQ(tally.primitives, tally.drawings_in_custom_pads);
  EXPECT_LT(tally.widest_via_grid, kMaxViasPerSide / 4);
  std::cout << tally.files << " files, " << tally.pads << " pads, "
            << tally.primitives << " custom pad drawings, widest via grid "
            << tally.widest_via_grid << "\n";
}

}  // namespace
